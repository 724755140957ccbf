#!/usr/bin/env python3
"""Starts the program against the simulated DAU and stage unit, kills one or
both simulators at a random moment of the start-up, and checks that the
program still answers an open request within a time limit. A program that
stays alive but stops answering is a stall: the run fails and shows the end
of the units' traffic log."""

import argparse
import os
import random
import signal
import socket
import subprocess
import sys
import tempfile
import time

TAG = b"VELTRANE-OPEN 1"


def wait_for(predicate, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.005)
    return False


def ask_to_open(path, file_name, seconds):
    """True once the program's socket answers a whole request with OK."""
    deadline = time.monotonic() + seconds
    request = TAG + b"\0" + file_name.encode() + b"\0\0"
    while time.monotonic() < deadline:
        try:
            with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
                s.settimeout(max(0.05, deadline - time.monotonic()))
                s.connect(path)
                s.sendall(request)
                reply = b""
                while not reply.endswith(b"\n"):
                    chunk = s.recv(16)
                    if not chunk:
                        break
                    reply += chunk
                if reply == b"OK\n":
                    return True
        except OSError:
            pass
        time.sleep(0.02)
    return False


def one_run(args, rng, number):
    with tempfile.TemporaryDirectory(prefix="veltrane-stress-") as tmp:
        runtime = os.path.join(tmp, "run")
        os.mkdir(runtime, 0o700)
        dau_socket = os.path.join(tmp, "dau.sock")
        log = os.path.join(tmp, "traffic.log")
        env = dict(os.environ)
        env.update({
            "HOME": tmp, "XDG_CONFIG_HOME": os.path.join(tmp, "config"),
            "XDG_CACHE_HOME": os.path.join(tmp, "cache"), "XDG_RUNTIME_DIR": runtime,
            "QT_QPA_PLATFORM": "offscreen", "VELTRANE_ARCNET_SOCKET": dau_socket,
        })
        dau = subprocess.Popen([args.dausim, dau_socket], env=env, stdout=subprocess.DEVNULL)
        ascu = subprocess.Popen([args.ascusim], env=env, stdout=subprocess.PIPE, text=True)
        program = None
        try:
            tty = ascu.stdout.readline().strip()
            if not tty or not wait_for(lambda: os.path.exists(dau_socket), 5):
                return "the simulators did not start"
            key = r"Software\Kestrin%20%28UK%29%20Ltd\Veltrane\1.0"
            config = os.path.join(tmp, "machine.ini")
            with open(config, "w") as f:
                f.write(f"[{key}]\nDAU%20Source%20ID=1\nArcnet%20Library={args.arcnet}\n"
                        f"ASCU%20Port%20Name=COM1\nHolder=1\nMonitor=1\nLogFile={log}\n"
                        f"[{key}\\Ports]\nCOM1={tty}\n")
            env["VELTRANE_MACHINE_CONFIG"] = config
            victims = rng.choice([[ascu], [dau], [ascu, dau]])
            delay = rng.uniform(0.0, 0.08)
            program = subprocess.Popen([args.program], env=env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            time.sleep(delay)
            for v in victims:
                v.kill()
            which = "+".join("stage unit" if v is ascu else "DAU" for v in victims)
            if not ask_to_open(os.path.join(runtime, "veltrane.sock"), os.path.join(tmp, "none.vlt"),
                               args.limit):
                if program.poll() is not None:
                    return f"the program ended ({program.returncode}) after the {which} died at {delay * 1000:.0f} ms"
                tail = ""
                if os.path.exists(log):
                    with open(log, errors="replace") as f:
                        tail = "".join(f.readlines()[-8:])
                return (f"no answer within {args.limit} s after the {which} died at {delay * 1000:.0f} ms;"
                        f" the traffic log ends:\n{tail}")
            return None
        finally:
            for p in (program, ascu, dau):
                if p and p.poll() is None:
                    p.kill()
                if p:
                    p.wait()


def main():
    parser = argparse.ArgumentParser()
    for name in ("program", "ascusim", "dausim", "arcnet"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--runs", type=int, default=16)
    parser.add_argument("--limit", type=float, default=10.0, help="seconds to answer")
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    failures = 0
    for n in range(args.runs):
        problem = one_run(args, rng, n)
        if problem:
            failures += 1
            print(f"run {n} (seed {seed}): {problem}", flush=True)
    print(f"{args.runs - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

// veltrane-ascusim: a simulated stage unit on a pseudo-terminal.
//   veltrane-ascusim [--status HEX] [--move-ms N]
// It prints the slave device; map a port to it in the machine configuration
// (subkey "Ports", value "COM1") to use it.

#include "tools/ascusim/AscuSimulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int)
{
    g_stop = 1;
}
} // namespace

int main(int argc, char** argv)
{
    SAscuSimConfig config;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--status") && i + 1 < argc)
            config.m_wStatus = static_cast<uint16_t>(std::strtoul(argv[++i], nullptr, 16));
        else if (!std::strcmp(argv[i], "--move-ms") && i + 1 < argc)
            config.m_iMoveMs = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else {
            std::fprintf(stderr, "usage: %s [--status HEX] [--move-ms N]\n", argv[0]);
            return 2;
        }
    }
    CAscuSimulator sim(config);
    if (!sim.Start()) {
        std::fprintf(stderr, "cannot open a pseudo-terminal\n");
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("%s\n", sim.SlavePath().c_str());
    std::fflush(stdout);
    while (!g_stop)
        pause();
    return 0;
}

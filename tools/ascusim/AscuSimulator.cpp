#include "tools/ascusim/AscuSimulator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string Number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

} // namespace

CAscuSimulator::CAscuSimulator(SAscuSimConfig config) : m_config(config) {}

CAscuSimulator::~CAscuSimulator()
{
    Stop();
}

void CAscuSimulator::InjectError(int number, int second)
{
    std::string line = "ER " + std::to_string(number);
    if (second >= 0)
        line += "," + std::to_string(second);
    InjectReply(line + "\r\n");
}

void CAscuSimulator::InjectSilence(int commands)
{
    std::lock_guard lock(m_lock);
    m_iSilence += commands;
}

void CAscuSimulator::InjectReply(std::string line)
{
    std::lock_guard lock(m_lock);
    m_injected.push_back(std::move(line));
}

void CAscuSimulator::SetStatus(uint16_t status)
{
    std::lock_guard lock(m_lock);
    m_config.m_wStatus = status;
}

std::vector<std::string> CAscuSimulator::Commands() const
{
    std::lock_guard lock(m_lock);
    return m_commands;
}

std::optional<std::string> CAscuSimulator::HandleLine(const std::string& line, unsigned& delayMs)
{
    std::lock_guard lock(m_lock);
    delayMs = 0;
    auto now = std::chrono::steady_clock::now();
    // Two milliseconds allowed for the clocks' granularity and the terminal's delivery.
    if (m_bAny && m_config.m_iMinGapMs > 0 &&
        now - m_lastArrival < std::chrono::milliseconds(m_config.m_iMinGapMs) - std::chrono::milliseconds(2))
        ++m_nGapViolations;
    m_lastArrival = now;
    m_bAny = true;
    m_commands.push_back(line);
    if (m_iSilence > 0) {
        --m_iSilence;
        return std::nullopt;
    }
    if (!m_injected.empty()) {
        std::string r = std::move(m_injected.front());
        m_injected.pop_front();
        return r;
    }
    if (line == "ID 2") {
        char buf[32];
        std::snprintf(buf, sizeof buf, "ID 2,%04X\r\n", m_config.m_wStatus);
        return std::string(buf);
    }
    if (line == "MD MP") {
        const double* a = m_config.m_dArea;
        return "SA (" + Number(a[0]) + "," + Number(a[1]) + ")-(" + Number(a[2]) + "," + Number(a[3]) +
               ")\r\n";
    }
    if (StartsWith(line, "GP (")) {
        // "GP (x,y)(x,y)...": every point must lie in the stored area.
        const double* a = m_config.m_dArea;
        const char* p = line.c_str() + 3;
        bool inside = true;
        while (*p == '(') {
            char* end;
            double x = std::strtod(p + 1, &end);
            if (*end != ',')
                return "ER 1\r\n";
            double y = std::strtod(end + 1, &end);
            if (*end != ')')
                return "ER 1\r\n";
            inside = inside && x >= std::min(a[0], a[2]) && x <= std::max(a[0], a[2]) &&
                     y >= std::min(a[1], a[3]) && y <= std::max(a[1], a[3]);
            p = end + 1;
        }
        if (!inside)
            return "ER 1,1\r\n";
        std::string r = line + "\r\n";
        r[0] = 'C';
        return r;
    }
    if (line == "EX 1") {
        if (m_pending.empty())
            return "ER 1\r\n";
        m_pending.clear();
        delayMs = m_config.m_iMoveMs;
        return "RP 1\r\n";
    }
    if (line == "EX 6")
        return "RP 6\r\n";
    if (StartsWith(line, "EX 7,"))
        return "RP 7\r\n";
    bool motion = StartsWith(line, "MV ") || StartsWith(line, "LI ") || StartsWith(line, "DR ") ||
                  StartsWith(line, "SP ");
    if (StartsWith(line, "MD ") && line.size() > 3 && line[3] >= '0' && line[3] <= '9')
        return std::nullopt; // a mode is set silently
    if (motion) {
        // Axes that are not fitted cannot be driven.
        if (StartsWith(line, "DR 1,") && !(m_config.m_wStatus & 0x1000))
            return "ER 8\r\n";
        m_pending = line;
        return std::nullopt;
    }
    return "ER 1\r\n";
}

bool CAscuSimulator::Start()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        Stop();
        return false;
    }
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0) {
        Stop();
        return false;
    }
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (m_slave < 0 || tcgetattr(m_slave, &tio) != 0) {
        Stop();
        return false;
    }
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        Stop();
        return false;
    }
    m_thread = std::thread(&CAscuSimulator::Run, this);
    return true;
}

void CAscuSimulator::Stop()
{
    if (m_thread.joinable()) {
        char c = 1;
        [[maybe_unused]] auto w = ::write(m_wake[1], &c, 1);
        m_thread.join();
    }
    for (int* fd : {&m_master, &m_slave, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void CAscuSimulator::Run()
{
    std::string line;
    char buf[256];
    for (;;) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            // No user on the slave side for now.
            pollfd w{m_wake[0], POLLIN, 0};
            if (::poll(&w, 1, 20) > 0)
                return;
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
            char c = buf[i];
            if (c == '\r')
                continue;
            if (c != '\n') {
                if (line.size() < 1024)
                    line += c;
                continue;
            }
            unsigned delay = 0;
            std::optional<std::string> reply = HandleLine(line, delay);
            line.clear();
            if (!reply)
                continue;
            if (m_config.m_bRealTime && delay > 0) {
                pollfd w{m_wake[0], POLLIN, 0};
                if (::poll(&w, 1, static_cast<int>(delay)) > 0)
                    return;
            }
            [[maybe_unused]] auto wr = ::write(m_master, reply->data(), reply->size());
        }
    }
}

#include "app/EndSignals.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGHUP, SIGINT};

// The pipe's ends: the handler writes the signal's number, the event loop
// reads it. Only a write may happen in a signal handler.
int g_pipe[2] = {-1, -1};
std::array<struct sigaction, kSignals.size()> g_previous{};

extern "C" void OnEndSignal(int sig)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    // A full pipe already holds a request to end: one more is not needed.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

CEndSignals::CEndSignals(std::function<void(int)> handler) : m_handler(std::move(handler))
{
    // One instance takes the signals; a second one stays without.
    if (g_pipe[0] >= 0)
        return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) < 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    m_pNotifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    struct sigaction sa = {};
    sa.sa_handler = OnEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        // A signal the starter chose to ignore (nohup, a background job) stays
        // ignored: the program is meant to outlive its terminal then.
        if (::sigaction(kSignals[i], nullptr, &g_previous[i]) == 0 && g_previous[i].sa_handler == SIG_IGN)
            continue;
        ::sigaction(kSignals[i], &sa, &g_previous[i]);
    }
}

CEndSignals::~CEndSignals()
{
    if (!m_pNotifier)
        return;
    for (size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_pNotifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void CEndSignals::OnReadable()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        if (m_handler)
            m_handler(byte);
}

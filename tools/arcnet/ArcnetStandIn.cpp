// A stand-in for the ARCNET adapter's driver library. It exports the five
// entry points and carries each packet as one message over a Unix
// sequenced-packet socket to a DAU simulator. The socket's path comes from
// $VELTRANE_ARCNET_SOCKET; the device name is not used. Like the adapter's
// own driver, it lets one opener at a time have the adapter: a lock on a file
// beside the socket is held while a handle is open.

#include "instrument/ArcnetApi.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kMaxHandles = 4;

struct SHandle
{
    int fd = -1;
    int lockFd = -1;
    int timeoutMs = 0;
};

std::mutex g_lock;
SHandle g_handles[kMaxHandles];

SHandle* Get(int handle)
{
    if (handle < 0 || handle >= kMaxHandles || g_handles[handle].fd < 0)
        return nullptr;
    return &g_handles[handle];
}

int PollFor(int fd, short events, int timeoutMs)
{
    pollfd p{fd, events, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return r;
        return (p.revents & events) ? 1 : -1;
    }
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int ArcnetOpen(const char* /*device*/)
{
    const char* path = std::getenv("VELTRANE_ARCNET_SOCKET");
    if (!path || !*path)
        return -1;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof addr.sun_path)
        return -1;
    std::strcpy(addr.sun_path, path);
    const std::string lockPath = std::string(path) + ".lock";
    int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0)
        return -1;
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd); // the adapter is in use
        return -1;
    }
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::lock_guard lock(g_lock);
        for (int i = 0; i < kMaxHandles; ++i) {
            if (g_handles[i].fd < 0) {
                g_handles[i] = {fd, lockFd, 0};
                return i;
            }
        }
    }
    if (fd >= 0)
        ::close(fd);
    ::close(lockFd);
    return -1;
}

__attribute__((visibility("default"))) int ArcnetClose(int handle)
{
    std::lock_guard lock(g_lock);
    SHandle* h = Get(handle);
    if (!h)
        return -1;
    ::close(h->fd);
    ::close(h->lockFd);
    h->fd = -1;
    h->lockFd = -1;
    return 0;
}

__attribute__((visibility("default"))) int ArcnetWrite(int handle, const unsigned char* packet, int size)
{
    int fd, timeout;
    {
        std::lock_guard lock(g_lock);
        SHandle* h = Get(handle);
        if (!h || !packet || size != 256)
            return -1;
        fd = h->fd;
        timeout = h->timeoutMs;
    }
    int w = PollFor(fd, POLLOUT, timeout);
    if (w == 0)
        return -2;
    if (w < 0)
        return -1;
    ssize_t n = ::send(fd, packet, static_cast<size_t>(size), MSG_NOSIGNAL);
    return n == size ? size : -1;
}

__attribute__((visibility("default"))) int ArcnetRead(int handle, unsigned char* buffer, int size)
{
    int fd, timeout;
    {
        std::lock_guard lock(g_lock);
        SHandle* h = Get(handle);
        if (!h || !buffer || size < 512)
            return -1;
        fd = h->fd;
        timeout = h->timeoutMs;
    }
    int w = PollFor(fd, POLLIN, timeout);
    if (w == 0)
        return timeout == 0 ? 0 : -2;
    if (w < 0)
        return -1;
    ssize_t n = ::recv(fd, buffer, static_cast<size_t>(size), MSG_TRUNC);
    if (n <= 0)
        return -1;
    // A message longer than the buffer was cut: the driver reports a failure.
    return n > size ? -1 : static_cast<int>(n);
}

__attribute__((visibility("default"))) int ArcnetIoctl(int handle, int code, void* argument)
{
    std::lock_guard lock(g_lock);
    SHandle* h = Get(handle);
    if (!h || !argument)
        return -1;
    if (code == ARCNETIO_MODE_SET) {
        auto* mode = static_cast<ARC_MODE*>(argument);
        if (mode->m_iTimeout < 0)
            return -1;
        h->timeoutMs = mode->m_iTimeout > 214748364 ? 2147483647 : mode->m_iTimeout * 10;
        return 0;
    }
    if (code == ARCNETIO_ISTS_GET) {
        auto* sts = static_cast<ARC_STS*>(argument);
        int w = PollFor(h->fd, POLLIN, 0);
        if (w < 0)
            return -1;
        sts->m_Status = w > 0 ? 1 : 0;
        return 0;
    }
    return -1;
}

} // extern "C"

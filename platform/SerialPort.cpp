#include "platform/SerialPort.h"

#include "platform/AsciiCase.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool ParseInt(std::string_view s, int& v)
{
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

std::string Lower(std::string_view s)
{
    return AsciiToLower(s);
}

bool ValidParity(char c)
{
    return c == 'N' || c == 'E' || c == 'O' || c == 'M' || c == 'S';
}

speed_t SpeedOf(int baud)
{
    switch (baud) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return 0;
    }
}

int BaudOf(speed_t s)
{
    for (int b : {110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        if (SpeedOf(b) == s)
            return b;
    return 0;
}

int MsUntil(CSerialPort::Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - CSerialPort::Clock::now());
    if (left.count() <= 0)
        return 0;
    // Round up so a wait never ends a little before its deadline.
    return left.count() > 0x7FFFFFF ? 0x7FFFFFF : static_cast<int>(left.count()) + 1;
}

} // namespace

bool ParseSerialMode(std::string_view text, SSerialSettings& settings)
{
    SSerialSettings s = settings;
    std::string t = Lower(text);
    std::string_view v(t);
    // Leading "comN:" names the port; it is ignored here.
    if (auto colon = v.find(':'); colon != std::string_view::npos && v.substr(0, 3) == "com")
        v.remove_prefix(colon + 1);
    while (!v.empty() && v.front() == ' ')
        v.remove_prefix(1);
    if (v.empty())
        return false;
    if (v.find('=') == std::string_view::npos) {
        // Short form: baud[,parity[,data[,stop]]]
        std::string_view parts[4];
        int n = 0;
        while (n < 4) {
            size_t comma = v.find(',');
            parts[n++] = v.substr(0, comma);
            if (comma == std::string_view::npos)
                break;
            v.remove_prefix(comma + 1);
        }
        if (v.find(',') != std::string_view::npos && n == 4)
            return false;
        auto trim = [](std::string_view p) {
            while (!p.empty() && p.front() == ' ')
                p.remove_prefix(1);
            while (!p.empty() && p.back() == ' ')
                p.remove_suffix(1);
            return p;
        };
        if (!ParseInt(trim(parts[0]), s.m_iBaud))
            return false;
        if (n > 1) {
            auto p = trim(parts[1]);
            if (p.size() != 1 || !ValidParity(AsciiToUpper(p[0])))
                return false;
            s.m_cParity = AsciiToUpper(p[0]);
        }
        if (n > 2 && !ParseInt(trim(parts[2]), s.m_iDataBits))
            return false;
        if (n > 3 && !ParseInt(trim(parts[3]), s.m_iStopBits))
            return false;
    } else {
        while (!v.empty()) {
            size_t sp = v.find(' ');
            std::string_view tok = v.substr(0, sp);
            v = sp == std::string_view::npos ? std::string_view() : v.substr(sp + 1);
            if (tok.empty())
                continue;
            size_t eq = tok.find('=');
            if (eq == std::string_view::npos)
                return false;
            std::string_view key = tok.substr(0, eq), val = tok.substr(eq + 1);
            if (key == "baud") {
                if (!ParseInt(val, s.m_iBaud))
                    return false;
            } else if (key == "parity") {
                if (val.size() != 1 || !ValidParity(AsciiToUpper(val[0])))
                    return false;
                s.m_cParity = AsciiToUpper(val[0]);
            } else if (key == "data") {
                if (!ParseInt(val, s.m_iDataBits))
                    return false;
            } else if (key == "stop") {
                if (!ParseInt(val, s.m_iStopBits))
                    return false;
            } else if (key == "xon") {
                if (val != "on" && val != "off")
                    return false;
                s.m_bXonXoff = val == "on";
            } else if (key == "octs") {
                if (val != "on" && val != "off")
                    return false;
                s.m_bRtsCts = val == "on";
            } else if (key == "to" || key == "odsr" || key == "idsr" || key == "dtr" || key == "rts") {
                // Accepted for compatibility with existing mode texts; not used here.
            } else {
                return false;
            }
        }
    }
    if (SpeedOf(s.m_iBaud) == 0 || s.m_iDataBits < 5 || s.m_iDataBits > 8 ||
        (s.m_iStopBits != 1 && s.m_iStopBits != 2))
        return false;
    settings = s;
    return true;
}

bool CSerialPort::Open(const std::string& device)
{
    Close();
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_errno = errno;
        return false;
    }
    // A port mapped by mistake to a file or a disk would have the unit's
    // commands written over its data.
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)) {
        m_errno = ENOTTY;
        ::close(fd);
        return false;
    }
    // Not shared: a second opener gets EBUSY. The exclusive mode does not hold
    // against a privileged opener, the lock does (and against one that sets no
    // exclusive mode).
    if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        m_errno = errno;
        ::close(fd);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_errno = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return false;
    }
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_errno = errno;
        ::close(fd);
        m_wake[0] = m_wake[1] = -1;
        return false;
    }
    m_fd = fd;
    m_errno = 0;
    termios tio{};
    if (tcgetattr(m_fd, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tcsetattr(m_fd, TCSANOW, &tio);
    }
    return true;
}

void CSerialPort::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    for (int& w : m_wake) {
        if (w >= 0)
            ::close(w);
        w = -1;
    }
    m_fd = -1;
}

bool CSerialPort::GetSettings(SSerialSettings& settings)
{
    termios tio{};
    if (m_fd < 0 || tcgetattr(m_fd, &tio) != 0) {
        m_errno = m_fd < 0 ? EBADF : errno;
        return false;
    }
    SSerialSettings s = m_settings;
    if (int b = BaudOf(cfgetospeed(&tio)))
        s.m_iBaud = b;
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        s.m_iDataBits = 5;
        break;
    case CS6:
        s.m_iDataBits = 6;
        break;
    case CS7:
        s.m_iDataBits = 7;
        break;
    default:
        s.m_iDataBits = 8;
        break;
    }
    s.m_iStopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    if (!(tio.c_cflag & PARENB))
        s.m_cParity = 'N';
    else
        s.m_cParity = (tio.c_cflag & PARODD) ? 'O' : 'E';
    s.m_bRtsCts = (tio.c_cflag & CRTSCTS) != 0;
    s.m_bXonXoff = (tio.c_iflag & IXON) != 0;
    settings = s;
    return true;
}

bool CSerialPort::SetSettings(const SSerialSettings& s)
{
    termios tio{};
    if (m_fd < 0 || tcgetattr(m_fd, &tio) != 0) {
        m_errno = m_fd < 0 ? EBADF : errno;
        return false;
    }
    speed_t sp = SpeedOf(s.m_iBaud);
    if (sp == 0 || s.m_iDataBits < 5 || s.m_iDataBits > 8 || !ValidParity(s.m_cParity)) {
        m_errno = EINVAL;
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, sp);
    cfsetospeed(&tio, sp);
    tio.c_cflag &= ~CSIZE;
    tio.c_cflag |= s.m_iDataBits == 5 ? CS5 : s.m_iDataBits == 6 ? CS6 : s.m_iDataBits == 7 ? CS7 : CS8;
    if (s.m_iStopBits == 2)
        tio.c_cflag |= CSTOPB;
    else
        tio.c_cflag &= ~CSTOPB;
    tio.c_cflag &= ~(PARENB | PARODD);
    if (s.m_cParity == 'E')
        tio.c_cflag |= PARENB;
    else if (s.m_cParity == 'O')
        tio.c_cflag |= PARENB | PARODD;
    if (s.m_bRtsCts)
        tio.c_cflag |= CRTSCTS;
    else
        tio.c_cflag &= ~CRTSCTS;
    if (s.m_bXonXoff)
        tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        m_errno = errno;
        return false;
    }
    m_settings = s;
    return true;
}

CSerialPort::Status CSerialPort::WaitReadable(Clock::time_point deadline)
{
    if (m_fd < 0)
        return Status::error;
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        int r = ::poll(fds, 2, MsUntil(deadline));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            m_errno = errno;
            return Status::error;
        }
        if (fds[1].revents & POLLIN)
            return Status::cancelled;
        if (fds[0].revents & POLLIN)
            return Status::ok;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            m_errno = EIO;
            return Status::error;
        }
        if (r == 0 && Clock::now() >= deadline)
            return Status::timeout;
    }
}

CSerialPort::Result CSerialPort::Read(void* buffer, size_t size, Clock::time_point deadline)
{
    Result res;
    if (m_fd < 0) {
        res.m_status = Status::error;
        return res;
    }
    if (size == 0)
        return res;
    bool polled = false;
    for (;;) {
        ssize_t n = ::read(m_fd, buffer, size);
        if (n > 0) {
            res.m_nCount = static_cast<size_t>(n);
            return res;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            m_errno = errno;
            res.m_status = Status::error;
            return res;
        }
        // A raw terminal reads 0 when nothing is there; after poll() said there
        // was input, 0 means the other side has gone.
        if (n == 0 && polled) {
            m_errno = EIO;
            res.m_status = Status::error;
            return res;
        }
        Status w = WaitReadable(deadline);
        polled = true;
        if (w != Status::ok) {
            res.m_status = w;
            return res;
        }
    }
}

CSerialPort::Result CSerialPort::Write(const void* data, size_t size, Clock::time_point deadline)
{
    Result res;
    if (m_fd < 0) {
        res.m_status = Status::error;
        return res;
    }
    auto p = static_cast<const unsigned char*>(data);
    while (res.m_nCount < size) {
        ssize_t n = ::write(m_fd, p + res.m_nCount, size - res.m_nCount);
        if (n > 0) {
            res.m_nCount += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            m_errno = errno;
            res.m_status = Status::error;
            return res;
        }
        pollfd fd{m_fd, POLLOUT, 0};
        int r = ::poll(&fd, 1, MsUntil(deadline));
        if (r < 0 && errno != EINTR) {
            m_errno = errno;
            res.m_status = Status::error;
            return res;
        }
        if (r == 0 && Clock::now() >= deadline) {
            res.m_status = Status::timeout;
            return res;
        }
        if (fd.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            m_errno = EIO;
            res.m_status = Status::error;
            return res;
        }
    }
    return res;
}

long CSerialPort::BytesWaiting()
{
    int n = 0;
    if (m_fd < 0 || ioctl(m_fd, FIONREAD, &n) != 0)
        return -1;
    return n;
}

void CSerialPort::Cancel()
{
    if (m_wake[1] >= 0) {
        char c = 1;
        [[maybe_unused]] auto r = ::write(m_wake[1], &c, 1);
    }
}

void CSerialPort::ClearCancel()
{
    char buf[16];
    if (m_wake[0] >= 0)
        while (::read(m_wake[0], buf, sizeof buf) > 0) {
        }
}

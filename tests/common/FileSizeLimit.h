#pragma once
// Fails this process's writes past a size as a full disk would (EFBIG), for
// root too and without a file system of its own; the old limit comes back
// when it goes.

#include <csignal>
#include <sys/resource.h>

class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit r = m_old;
        r.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &r) == 0;
    }
    ~CFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;
    bool IsSet() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_set = false;
};

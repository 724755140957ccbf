#include "instrument/TrafficLog.h"

#include <algorithm>

#include "platform/Exceptions.h"
#include "platform/File.h"

CLogFile::CLogFile() = default;
CLogFile::~CLogFile() = default;

bool CLogFile::Create(const std::string& path)
{
    std::lock_guard lock(m_lock);
    auto f = std::make_unique<CFile>();
    if (!f->Open(path, CFile::modeCreate | CFile::modeWrite))
        return false;
    m_file = std::move(f);
    return true;
}

void CLogFile::Close()
{
    std::lock_guard lock(m_lock);
    m_file.reset();
}

bool CLogFile::IsOpen() const
{
    std::lock_guard lock(m_lock);
    return m_file && m_file->IsOpen();
}

void CLogFile::Write(std::string_view text)
{
    std::lock_guard lock(m_lock);
    if (!m_file)
        return;
    try {
        m_file->Write(text.data(), text.size());
    } catch (const CFileException&) {
        // The log is a diagnostic aid; a full disk must not end an acquisition.
    }
}

void CTrafficMonitor::Attach(Notify notify)
{
    std::lock_guard nl(m_notifyLock);
    std::lock_guard lock(m_lock);
    m_lines.clear();
    m_first = 0;
    m_notify = std::move(notify);
    m_bAttached = true;
    ++m_generation;
}

void CTrafficMonitor::Detach()
{
    std::lock_guard nl(m_notifyLock);
    std::lock_guard lock(m_lock);
    m_notify = nullptr;
    m_bAttached = false;
    m_lines.clear();
    m_first = 0;
    ++m_generation;
}

bool CTrafficMonitor::IsAttached() const
{
    std::lock_guard lock(m_lock);
    return m_bAttached;
}

void CTrafficMonitor::Append(std::string line, bool bCommand)
{
    {
        std::lock_guard lock(m_lock);
        if (!m_bAttached)
            return;
        m_lines.push_back(std::move(line));
        if (bCommand && m_lines.size() > TrimAbove) {
            const size_t drop = m_lines.size() - TrimTo;
            m_lines.erase(m_lines.begin(), m_lines.begin() + static_cast<long>(drop));
            m_first += drop;
        }
        ++m_generation;
    }
    std::lock_guard nl(m_notifyLock);
    if (m_notify)
        m_notify();
}

std::vector<std::string> CTrafficMonitor::Lines() const
{
    std::lock_guard lock(m_lock);
    return {m_lines.begin(), m_lines.end()};
}

CTrafficMonitor::SNewLines CTrafficMonitor::LinesFrom(unsigned long long from) const
{
    std::lock_guard lock(m_lock);
    SNewLines r;
    r.first = m_first;
    r.start = std::max(from, m_first);
    const unsigned long long end = m_first + m_lines.size();
    if (r.start < end)
        r.lines.assign(m_lines.begin() + static_cast<long>(r.start - m_first), m_lines.end());
    else
        r.start = end;
    return r;
}

size_t CTrafficMonitor::LineCount() const
{
    std::lock_guard lock(m_lock);
    return m_lines.size();
}

unsigned long long CTrafficMonitor::Generation() const
{
    std::lock_guard lock(m_lock);
    return m_generation;
}

#include "platform/Archive.h"

#include "platform/Clock.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

namespace {

template <typename T> T ToLittle(T v)
{
    if constexpr (std::endian::native == std::endian::little || sizeof(T) == 1) {
        return v;
    } else {
        unsigned char b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));
        std::reverse(b, b + sizeof(T));
        std::memcpy(&v, b, sizeof(T));
        return v;
    }
}

constexpr double kUnixEpochOleDays = 25569.0; // 1 January 1970 as an OLE date
constexpr double kSecondsPerDay = 86400.0;

} // namespace

// ---------------------------------------------------------------------------
// COleDateTime

// The stored times are the local wall-clock time of the machine that took the
// data, as the instrument software has always written them.
COleDateTime COleDateTime::GetCurrentTime()
{
    const double now = GetClock()->WallTime(); // a test clock makes the stamps repeatable
    tm local{};
    const time_t secs = time_t(std::floor(now));
    localtime_r(&secs, &local);
    return FromUnixTime(now + double(local.tm_gmtoff));
}

// OLE dates before 30 December 1899 are negative, but their fraction still counts
// forward through the day: -1.25 is 29 December 1899, 06:00. The conversions go
// through a linear day count in which -0.75 is that same moment.
COleDateTime COleDateTime::FromUnixTime(double seconds)
{
    COleDateTime t;
    if (!std::isfinite(seconds)) {
        t.m_status = invalid;
        return t;
    }
    const double linear = seconds / kSecondsPerDay + kUnixEpochOleDays;
    if (linear >= 0) {
        t.m_dt = linear;
    } else {
        const double day = std::floor(linear);
        const double frac = linear - day;
        t.m_dt = day - frac;
    }
    return t;
}

double COleDateTime::ToUnixTime() const
{
    double linear = m_dt;
    if (m_dt < 0) {
        const double day = std::ceil(m_dt);
        linear = day + (day - m_dt);
    }
    return (linear - kUnixEpochOleDays) * kSecondsPerDay;
}

// ---------------------------------------------------------------------------
// CArchive

CArchive::CArchive(CFile* file, Mode mode, size_t bufferSize)
    : m_file(file), m_mode(mode), m_buf(std::max<size_t>(bufferSize, 64))
{
}

CArchive::~CArchive()
{
    // A loading archive gives back its read-ahead here too, so the file is left
    // at the logical position for whoever reads on.
    if (m_file) {
        try {
            Flush();
        } catch (...) {
        }
    }
}

void CArchive::Close()
{
    if (!m_file)
        return;
    Flush();
    m_file = nullptr;
}

void CArchive::Flush()
{
    if (!m_file)
        return;
    if (IsStoring()) {
        if (m_cur == 0)
            return;
        // The buffer is dropped even when the write fails: after a partial write
        // a retry would duplicate bytes, and the caller discards the file anyway.
        const size_t n = m_cur;
        m_cur = 0;
        m_file->Write(m_buf.data(), n);
    } else {
        if (m_lim > m_cur) {
            const int64_t back = int64_t(m_lim - m_cur);
            m_cur = m_lim = 0;
            m_file->Seek(-back, CFile::current);
        }
        m_cur = m_lim = 0;
    }
}

static CFile* Require(CFile* file)
{
    if (!file)
        throw CArchiveException(CArchiveException::genericException);
    return file;
}

uint64_t CArchive::GetPosition()
{
    Require(m_file);
    Flush();
    return m_file->GetPosition();
}

uint64_t CArchive::Seek(int64_t offset, CFile::SeekPosition from)
{
    Require(m_file);
    Flush();
    return m_file->Seek(offset, from);
}

uint64_t CArchive::BytesLeft()
{
    Require(m_file);
    const uint64_t filePos = m_file->GetPosition();
    const uint64_t logical = IsLoading() ? filePos - (m_lim - m_cur) : filePos + m_cur;
    const uint64_t length = m_file->GetLength();
    return length > logical ? length - logical : 0;
}

void CArchive::CheckCount(int64_t count, size_t elementSize)
{
    if (count < 0)
        throw CArchiveException(CArchiveException::badIndex);
    if (count == 0)
        return;
    CheckCount(count, elementSize, BytesLeft());
}

void CArchive::CheckCount(int64_t count, size_t elementSize, uint64_t limit)
{
    if (count < 0)
        throw CArchiveException(CArchiveException::badIndex);
    // Elements of no size still cost a loop turn each; count them as a byte.
    const uint64_t size = std::max<size_t>(elementSize, 1);
    if (uint64_t(count) > limit / size)
        throw CArchiveException(CArchiveException::badIndex);
}

void CArchive::Write(const void* data, size_t count)
{
    Require(m_file);
    if (IsLoading())
        throw CArchiveException(CArchiveException::genericException);
    const auto* p = static_cast<const uint8_t*>(data);
    if (count <= m_buf.size() - m_cur) {
        if (count)
            std::memcpy(m_buf.data() + m_cur, p, count);
        m_cur += count;
        return;
    }
    Flush();
    if (count >= m_buf.size()) {
        m_file->Write(p, count); // bulk data goes straight to the file
        return;
    }
    std::memcpy(m_buf.data(), p, count);
    m_cur = count;
}

void CArchive::FillBuffer(size_t need)
{
    // Keeps the unread bytes, then reads as much as the buffer holds.
    const size_t left = m_lim - m_cur;
    if (left && m_cur)
        std::memmove(m_buf.data(), m_buf.data() + m_cur, left);
    m_cur = 0;
    m_lim = left;
    m_lim += m_file->Read(m_buf.data() + m_lim, m_buf.size() - m_lim);
    if (m_lim < need)
        throw CArchiveException(CArchiveException::endOfFile);
}

void CArchive::Read(void* data, size_t count)
{
    Require(m_file);
    if (IsStoring())
        throw CArchiveException(CArchiveException::genericException);
    auto* p = static_cast<uint8_t*>(data);
    const size_t avail = m_lim - m_cur;
    if (count <= avail) {
        if (count)
            std::memcpy(p, m_buf.data() + m_cur, count);
        m_cur += count;
        return;
    }
    std::memcpy(p, m_buf.data() + m_cur, avail);
    p += avail;
    count -= avail;
    m_cur = m_lim = 0;
    if (count >= m_buf.size()) {
        if (m_file->Read(p, count) < count)
            throw CArchiveException(CArchiveException::endOfFile);
        return;
    }
    FillBuffer(count);
    std::memcpy(p, m_buf.data(), count);
    m_cur = count;
}

// Values that fit in the buffer are copied there directly; the rest go the
// general way, which also reports the end of the file.
#define VELTRANE_ARCHIVE_VALUE(T)                                                                            \
    CArchive& CArchive::operator<<(T v)                                                                      \
    {                                                                                                        \
        v = ToLittle(v);                                                                                     \
        if (m_mode == store && m_file && m_buf.size() - m_cur >= sizeof(T)) {                                \
            std::memcpy(m_buf.data() + m_cur, &v, sizeof(T));                                                \
            m_cur += sizeof(T);                                                                              \
        } else {                                                                                             \
            Write(&v, sizeof(T));                                                                            \
        }                                                                                                    \
        return *this;                                                                                        \
    }                                                                                                        \
    CArchive& CArchive::operator>>(T& v)                                                                     \
    {                                                                                                        \
        if (m_mode == load && m_file && m_lim - m_cur >= sizeof(T)) {                                        \
            std::memcpy(&v, m_buf.data() + m_cur, sizeof(T));                                                \
            m_cur += sizeof(T);                                                                              \
        } else {                                                                                             \
            Read(&v, sizeof(T));                                                                             \
        }                                                                                                    \
        v = ToLittle(v);                                                                                     \
        return *this;                                                                                        \
    }

VELTRANE_ARCHIVE_VALUE(uint8_t)
VELTRANE_ARCHIVE_VALUE(int8_t)
VELTRANE_ARCHIVE_VALUE(uint16_t)
VELTRANE_ARCHIVE_VALUE(int16_t)
VELTRANE_ARCHIVE_VALUE(uint32_t)
VELTRANE_ARCHIVE_VALUE(int32_t)
VELTRANE_ARCHIVE_VALUE(uint64_t)
VELTRANE_ARCHIVE_VALUE(int64_t)
VELTRANE_ARCHIVE_VALUE(float)
VELTRANE_ARCHIVE_VALUE(double)
#undef VELTRANE_ARCHIVE_VALUE

CArchive& CArchive::operator<<(const std::string& s)
{
    const size_t n = s.size();
    if (n < 0xFF) {
        *this << uint8_t(n);
    } else if (n < 0xFFFE) {
        *this << uint8_t(0xFF) << uint16_t(n);
    } else {
        if (n > 0xFFFFFFFFu)
            throw CArchiveException(CArchiveException::badIndex);
        *this << uint8_t(0xFF) << uint16_t(0xFFFF) << uint32_t(n);
    }
    Write(s.data(), n);
    return *this;
}

CArchive& CArchive::operator>>(std::string& s)
{
    uint8_t b;
    *this >> b;
    uint32_t n = b;
    if (b == 0xFF) {
        uint16_t w;
        *this >> w;
        n = w;
        if (w == 0xFFFF)
            *this >> n;
    }
    // A length beyond the data is a cut file; nothing is allocated for it.
    if (n > m_lim - m_cur && n > BytesLeft())
        throw CArchiveException(CArchiveException::endOfFile);
    s.resize(n);
    Read(s.data(), n);
    return *this;
}

CArchive& CArchive::operator<<(const COleDateTime& t)
{
    return *this << t.m_status << t.m_dt;
}

CArchive& CArchive::operator>>(COleDateTime& t)
{
    return *this >> t.m_status >> t.m_dt;
}

void CArchive::WriteDoubles(const double* data, size_t count)
{
    if (count > std::numeric_limits<size_t>::max() / sizeof(double))
        throw CArchiveException(CArchiveException::badIndex);
    if constexpr (std::endian::native == std::endian::little) {
        Write(data, count * sizeof(double));
    } else {
        for (size_t i = 0; i < count; ++i)
            *this << data[i];
    }
}

void CArchive::ReadDoubles(double* data, size_t count)
{
    if (count > std::numeric_limits<size_t>::max() / sizeof(double))
        throw CArchiveException(CArchiveException::badIndex);
    if constexpr (std::endian::native == std::endian::little) {
        Read(data, count * sizeof(double));
    } else {
        for (size_t i = 0; i < count; ++i)
            *this >> data[i];
    }
}

#include "data/Header.h"

#include "platform/Archive.h"
#include "platform/Exceptions.h"
#include "platform/File.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

CHeader::CHeader()
{
    Init();
}

CHeader::CHeader(const CAcquireXPS*)
{
    Init();
}

CHeader::CHeader(const CAcquireAES*)
{
    Init();
}

CHeader::CHeader(CFile* pFile)
{
    uint8_t bytes[Size];
    if (pFile->Read(bytes, Size) != Size)
        throw CArchiveException(CArchiveException::endOfFile);
    std::memcpy(m_ProgName, bytes, ProgNameSize);
    auto le32 = [&](size_t at) {
        return static_cast<int32_t>(uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 |
                                    uint32_t(bytes[at + 2]) << 16 | uint32_t(bytes[at + 3]) << 24);
    };
    m_iFileType = le32(12);
    m_iProgVersion = le32(16);
    m_iFileVersion = le32(20);
}

CHeader& CHeader::operator=(const CHeader& other)
{
    std::memcpy(m_ProgName, other.m_ProgName, ProgNameSize);
    m_iFileType = DataFile;
    m_iProgVersion = other.m_iProgVersion;
    m_iFileVersion = other.m_iFileVersion;
    return *this;
}

void CHeader::Init()
{
    std::memset(m_ProgName, 0, ProgNameSize);
    std::memcpy(m_ProgName, AppName, std::min(sizeof(AppName) - 1, ProgNameSize));
    m_iFileType = DataFile;
    m_iProgVersion = AppVersion;
    m_iFileVersion = CurrentFileVersion;
}

CArchive& CHeader::operator>>(CArchive& ar) const
{
    ar.Write(m_ProgName, ProgNameSize);
    ar << m_iFileType << m_iProgVersion << m_iFileVersion;
    return ar;
}

CArchive& CHeader::operator<<(CArchive& ar)
{
    ar.Read(m_ProgName, ProgNameSize);
    ar >> m_iFileType >> m_iProgVersion >> m_iFileVersion;
    return ar;
}

void CHeader::GetProgName(char* buf) const
{
    std::memcpy(buf, m_ProgName, ProgNameSize);
    buf[ProgNameSize] = '\0';
}

namespace Block {

uint64_t BeginBlock(CArchive& ar, uint16_t id, uint16_t version)
{
    ar << id << version;
    const uint64_t lengthPos = ar.GetPosition();
    ar << int32_t(0);
    return lengthPos;
}

void EndBlock(CArchive& ar, uint64_t lengthPos)
{
    const uint64_t end = ar.GetPosition();
    const uint64_t length = end - lengthPos - 4;
    // A block the length field cannot describe would make the file unreadable:
    // fail the save instead of writing it.
    if (end < lengthPos + 4 || length > uint64_t(std::numeric_limits<int32_t>::max()))
        throw CArchiveException(CArchiveException::badIndex);
    const uint32_t v = static_cast<uint32_t>(length);
    const uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    CFile* file = ar.GetFile();
    file->Seek(static_cast<int64_t>(lengthPos), CFile::begin);
    file->Write(bytes, 4);
    file->Seek(static_cast<int64_t>(end), CFile::begin);
}

SHead ReadHead(CArchive& ar, uint64_t limit)
{
    SHead head;
    ar >> head.version >> head.length;
    head.start = ar.GetPosition();
    limit = std::min(limit, ar.GetFile()->GetLength());
    if (head.length < 0 || head.start > limit || uint64_t(head.length) > limit - head.start)
        throw CArchiveException(CArchiveException::badIndex);
    head.end = head.start + uint64_t(head.length);
    return head;
}

void MoveToEnd(CArchive& ar, const SHead& head)
{
    if (ar.GetPosition() != head.end)
        ar.Seek(static_cast<int64_t>(head.end), CFile::begin);
}

void CheckCount(CArchive& ar, int64_t count, size_t elementSize, uint64_t end)
{
    if (count < 0)
        throw CArchiveException(CArchiveException::badIndex);
    if (count == 0)
        return;
    end = std::min(end, ar.GetFile()->GetLength());
    const uint64_t pos = ar.GetPosition();
    const uint64_t left = end > pos ? end - pos : 0;
    if (elementSize != 0 && uint64_t(count) > left / elementSize)
        throw CArchiveException(CArchiveException::badIndex);
}

void ReadString(CArchive& ar, std::string& s, uint64_t end)
{
    uint8_t b = 0;
    ar >> b;
    uint64_t n = b;
    if (b == 0xFF) {
        uint16_t w = 0;
        ar >> w;
        n = w;
        if (w == 0xFFFF) {
            uint32_t d = 0;
            ar >> d;
            n = d;
        }
    }
    CheckCount(ar, static_cast<int64_t>(n), 1, end);
    s.resize(n);
    if (n != 0)
        ar.Read(s.data(), n);
}

void WriteInts(CArchive& ar, const int32_t* data, size_t count)
{
    if constexpr (std::endian::native == std::endian::little) {
        if (count != 0)
            ar.Write(data, count * sizeof(int32_t));
    } else {
        for (size_t i = 0; i < count; ++i)
            ar << data[i];
    }
}

void ReadInts(CArchive& ar, int32_t* data, size_t count)
{
    if constexpr (std::endian::native == std::endian::little) {
        if (count != 0)
            ar.Read(data, count * sizeof(int32_t));
    } else {
        for (size_t i = 0; i < count; ++i)
            ar >> data[i];
    }
}

} // namespace Block

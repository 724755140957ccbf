#pragma once
// A buffered little-endian byte archive over a seekable CFile, with the
// program's string-length prefixes and its 12-byte date-time.
//
// Values go in with << and come out with >>. Records use the reverse habit
// (record >> ar stores, record << ar loads), as the file format design has it.
//
// Before asking the file for its position, flush the archive: then the file
// position and the archive's logical position agree. GetPosition() does that.
//
// Reading past the end throws CArchiveException(endOfFile). A reader checks a
// count or length against BytesLeft() (or CheckCount) before it allocates.

#include "platform/Exceptions.h"
#include "platform/File.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CDocument;

// An OLE Automation date with its status, as stored in files.
struct COleDateTime
{
    enum DateTimeStatus : int32_t
    {
        valid = 0,
        invalid = 1,
        null = 2
    };
    int32_t m_status = valid;
    double m_dt = 0.0; // days since 30 December 1899 00:00; time of day as the fraction

    bool operator==(const COleDateTime&) const = default;
    // The local wall-clock time now (through GetClock(), platform/Clock.h).
    static COleDateTime GetCurrentTime();
    // From and to seconds since the Unix epoch (UTC).
    static COleDateTime FromUnixTime(double seconds);
    double ToUnixTime() const;
};

class CArchive
{
public:
    enum Mode
    {
        load = 1,
        store = 0
    };
    static constexpr size_t DefaultBufferSize = 4096;

    CArchive(CFile* file, Mode mode, size_t bufferSize = DefaultBufferSize);
    // Flushes a storing archive; errors there are lost, so call Close() or Flush() first.
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    // The document being stored or loaded (set by the document's open and
    // save), so that the reader of one block can reach what the blocks
    // before it put into the document. Null for archives of anything else.
    CDocument* m_pDocument = nullptr;

    bool IsLoading() const { return m_mode == load; }
    bool IsStoring() const { return m_mode == store; }
    CFile* GetFile() const { return m_file; }

    // Storing: writes the buffer to the file. Loading: gives back the bytes read
    // ahead, so the file position is the archive's logical position.
    void Flush();
    void Close();

    // Flushes, then returns the file position.
    uint64_t GetPosition();
    // Flushes, then moves the file position (relative seeks included).
    uint64_t Seek(int64_t offset, CFile::SeekPosition from);
    // Bytes between the logical position and the end of the file (loading).
    uint64_t BytesLeft();
    // Throws CArchiveException(badIndex) unless 0 <= count and count * elementSize
    // fits in limit bytes (default: the bytes left in the file).
    void CheckCount(int64_t count, size_t elementSize);
    void CheckCount(int64_t count, size_t elementSize, uint64_t limit);

    // Raw bytes. Read throws endOfFile when fewer than count bytes are left.
    void Write(const void* data, size_t count);
    void Read(void* data, size_t count);

    CArchive& operator<<(uint8_t v);
    CArchive& operator<<(int8_t v);
    CArchive& operator<<(uint16_t v);
    CArchive& operator<<(int16_t v);
    CArchive& operator<<(uint32_t v);
    CArchive& operator<<(int32_t v);
    CArchive& operator<<(uint64_t v);
    CArchive& operator<<(int64_t v);
    CArchive& operator<<(float v);
    CArchive& operator<<(double v);
    CArchive& operator<<(const std::string& s); // length prefix of 1, 3 or 7 bytes, no terminator
    CArchive& operator<<(const COleDateTime& t);

    CArchive& operator>>(uint8_t& v);
    CArchive& operator>>(int8_t& v);
    CArchive& operator>>(uint16_t& v);
    CArchive& operator>>(int16_t& v);
    CArchive& operator>>(uint32_t& v);
    CArchive& operator>>(int32_t& v);
    CArchive& operator>>(uint64_t& v);
    CArchive& operator>>(int64_t& v);
    CArchive& operator>>(float& v);
    CArchive& operator>>(double& v);
    CArchive& operator>>(std::string& s); // checks the length against the bytes left
    CArchive& operator>>(COleDateTime& t);

    // Bulk arrays of doubles (little-endian), for curve data.
    void WriteDoubles(const double* data, size_t count);
    void ReadDoubles(double* data, size_t count);

private:
    void FillBuffer(size_t need);
    CFile* m_file;
    Mode m_mode;
    std::vector<uint8_t> m_buf;
    size_t m_cur = 0; // next byte in m_buf
    size_t m_lim = 0; // loading: valid bytes in m_buf
};

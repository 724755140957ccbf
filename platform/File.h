#pragma once
// Seekable byte files: a file on disk (CFile) and a file in memory (CMemFile).
// Every reader has one entry point over a CFile&, so the program, the tests and
// the fuzz targets share it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CFile
{
public:
    enum OpenFlags : unsigned
    {
        modeRead = 0x0,
        modeWrite = 0x1,
        modeReadWrite = 0x2,
        modeCreate = 0x1000, // create, or truncate an existing file
        modeNoTruncate = 0x2000,
        shareExclusive = 0x10, // an advisory lock (flock) while open
    };
    enum SeekPosition
    {
        begin = 0,
        current = 1,
        end = 2
    };

    CFile() = default;
    // Opens at once; throws CFileException on failure.
    CFile(const std::string& path, unsigned flags);
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Returns false and fills *error (if given) on failure.
    bool Open(const std::string& path, unsigned flags, class CFileException* error = nullptr);
    virtual void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // Takes over an open descriptor; path names it in messages.
    void Attach(int fd, const std::string& path);
    int GetDescriptor() const { return m_fd; }

    // Read returns the bytes read (short only at end of file); Write writes all
    // or throws CFileException.
    virtual size_t Read(void* buffer, size_t count);
    virtual void Write(const void* buffer, size_t count);
    // Returns the new position; throws CFileException(badSeek) for a position before 0.
    virtual uint64_t Seek(int64_t offset, SeekPosition from);
    uint64_t SeekToBegin() { return Seek(0, begin); }
    uint64_t SeekToEnd() { return Seek(0, end); }
    virtual uint64_t GetPosition() const;
    virtual uint64_t GetLength() const;
    virtual void SetLength(uint64_t length);
    // Pushes written bytes to the disk (fsync).
    virtual void Flush();

    const std::string& GetFilePath() const { return m_path; }
    // The file name without its folder, as the framework's "title".
    std::string GetFileTitle() const;

protected:
    int m_fd = -1;
    std::string m_path;
};

// A file held in memory; readers are fuzzed and tested through it.
class CMemFile : public CFile
{
public:
    CMemFile() = default;
    CMemFile(const void* data, size_t size, std::string name = "memory");
    explicit CMemFile(std::vector<uint8_t> bytes, std::string name = "memory");

    void Close() override {}
    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    uint64_t Seek(int64_t offset, SeekPosition from) override;
    uint64_t GetPosition() const override { return m_pos; }
    uint64_t GetLength() const override { return m_data.size(); }
    void SetLength(uint64_t length) override;
    void Flush() override {}

    const std::vector<uint8_t>& Data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
    uint64_t m_pos = 0;
};

#pragma once
// The 24-byte header of every data and settings file, the identifiers of the
// data file's blocks, and the framing that every block shares.
//
// A block is: WORD identifier, WORD version, int length of the rest, content.
// Writers patch the length after the content (BeginBlock/EndBlock); readers
// take the identifier first, then ReadBlockHead, and finish with
// MoveToBlockEnd so that fields of newer versions are skipped by the length.
//
// Nothing read from a file is trusted: a block length that is negative or runs
// past its enclosing block (or the file) and every count that needs more bytes
// than are left in its block throw CArchiveException(badIndex) before anything
// is allocated.

#include <cstddef>
#include <cstdint>
#include <string>

class CArchive;
class CFile;
class CAcquireXPS;
class CAcquireAES;

enum DocBlockID : uint16_t
{
    CExperimentBlockID = 1,
    CSourceBlockID = 2,
    CIonGunBlockID = 3,
    CStagePosnBlockID = 4,
    CSpecRgnBlockID = 5,
    CImageRgnBlockID = 6,
    CBackgroundBlockID = 169,
    CQuantifyBlockID = 196,
    CEndOfFile = 0xFFFF,
};

class CHeader
{
public:
    enum FileType
    {
        DataFile = 0,
        AESSetupFile = 1,
        XPSSetupFile = 2,
        UPSSetupFile = 3,
    };
    // What this program writes into every header it makes.
    static constexpr char AppName[] = "Veltrane";
    static constexpr int AppVersion = 1;
    static constexpr int CurrentFileVersion = 3;
    static constexpr size_t ProgNameSize = 12;
    static constexpr size_t Size = 24;

    CHeader();
    // The sheet is not consulted; the sheet sets the file type afterwards.
    explicit CHeader(const CAcquireXPS* pSheet);
    explicit CHeader(const CAcquireAES* pSheet);
    // Reads the 24 bytes at the file's current position without validating
    // them; a file shorter than that throws CArchiveException(endOfFile).
    explicit CHeader(CFile* pFile);
    CHeader(const CHeader&) = default;
    virtual ~CHeader() = default;

    // Copies the name and both versions; the copy is always a data file.
    CHeader& operator=(const CHeader& other);

    void Init();

    // Stores (record >> archive) and loads (record << archive) the 24 bytes.
    CArchive& operator>>(CArchive& ar) const;
    CArchive& operator<<(CArchive& ar);

    int GetFileType() const { return m_iFileType; }
    void SetFileType(int type) { m_iFileType = type; }
    int GetProgVersion() const { return m_iProgVersion; }
    int GetFileVersion() const { return m_iFileVersion; }
    // buf holds at least 13 bytes: the 12 name bytes and a terminating zero.
    void GetProgName(char* buf) const;

private:
    friend class CRecordBuilder; // the importers in data/formats fill records field by field

    char m_ProgName[ProgNameSize] = {};
    int32_t m_iFileType = DataFile;
    int32_t m_iProgVersion = 0;
    int32_t m_iFileVersion = 0;
};

// Block framing shared by the records (and by the document for blocks it
// only carries).
namespace Block {

// Where a block's content starts and ends in the file, as read from its head.
struct SHead
{
    uint16_t version = 0;
    int32_t length = 0;
    uint64_t start = 0; // file position of the first content byte
    uint64_t end = 0;   // start + length
};

// Writes identifier, version and a placeholder length; returns the position of
// the length field for EndBlock.
uint64_t BeginBlock(CArchive& ar, uint16_t id, uint16_t version);
// Patches the length field written by BeginBlock with the bytes written since.
void EndBlock(CArchive& ar, uint64_t lengthPos);

// Reads version and length after the identifier. The block must end within
// limit (a file position; by default the end of the file).
SHead ReadHead(CArchive& ar, uint64_t limit = UINT64_MAX);
// Continues reading exactly at the block end, whatever the content reader took.
void MoveToEnd(CArchive& ar, const SHead& head);

// Refuses a count of elementSize-byte items that cannot fit between the
// archive's position and end.
void CheckCount(CArchive& ar, int64_t count, size_t elementSize, uint64_t end);
// Reads an archive string whose length must fit before end.
void ReadString(CArchive& ar, std::string& s, uint64_t end);

// 32-bit integers and bytes as raw little-endian arrays (image planes).
void WriteInts(CArchive& ar, const int32_t* data, size_t count);
void ReadInts(CArchive& ar, int32_t* data, size_t count);

} // namespace Block

#pragma once
// A block of the data file that this library carries without interpreting it:
// the background-subtraction limits (169) and the quantification (196) belong
// to the processing tools, and the document only has to keep them intact.
// The block's version and content are kept as they were read and written back
// unchanged, so a file round-trips byte for byte whatever tool version wrote it.

#include <cstdint>
#include <vector>

class CArchive;

class COpaqueBlock
{
public:
    explicit COpaqueBlock(uint16_t blockId) : m_blockId(blockId) {}
    virtual ~COpaqueBlock() = default;

    // Stores the complete block (identifier, version, length, content), or
    // nothing while the block holds no data.
    void operator>>(CArchive& ar) const;
    // Loads the rest of the block after its identifier and leaves the archive
    // at the block end. A length that is negative or runs past the end of the
    // file throws CArchiveException(badIndex).
    void operator<<(CArchive& ar);

    bool HasData() const { return m_bPresent; }
    uint16_t GetBlockID() const { return m_blockId; }
    uint16_t GetVersion() const { return m_version; }
    const std::vector<uint8_t>& GetContent() const { return m_content; }
    void SetContent(uint16_t version, std::vector<uint8_t> content);
    void Clear();

private:
    uint16_t m_blockId;
    bool m_bPresent = false;
    uint16_t m_version = 1;
    std::vector<uint8_t> m_content;
};

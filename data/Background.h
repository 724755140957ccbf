#pragma once
// The document's background-subtraction limits, block 169 of the data file:
// for every stage position, for every spectrum region of it, a pair of point
// indices (start and finish, either may be the larger) between which the
// background-subtraction dialog computes its background.

#include <cstdint>
#include <vector>

class CArchive;
class CVeltraneDoc;

class CBackground
{
public:
    static constexpr uint16_t BlockID = 169;
    static constexpr uint16_t FileVersion = 1;

    struct SLimits
    {
        int32_t start = 0;
        int32_t finish = 0;
        bool operator==(const SLimits&) const = default;
    };
    using Limits = std::vector<std::vector<SLimits>>; // [stage position][spectrum region]

    CBackground() = default;
    virtual ~CBackground() = default;

    // Stores the complete block, or nothing while the limits are the defaults
    // that no one has set up yet.
    void operator>>(CArchive& ar) const;
    // Loads the rest of a block 169 after its identifier and leaves the archive
    // at the block end. Counts that disagree with the block's length leave the
    // defaults (the length must lie inside the file, else CArchiveException).
    void operator<<(CArchive& ar);
    // After the whole file is read: limits whose counts do not match the
    // document's positions and regions are dropped for the defaults.
    void CheckAgainst(const CVeltraneDoc& doc);

    // Limits of one point-count-p region: p/10 and 9p/10.
    static SLimits DefaultLimits(int nPoints);
    // Sets the default limits of every region when they are still the
    // defaults or no longer match the document's shape.
    void SetUp(const CVeltraneDoc& doc);
    bool IsDefault() const { return m_bDefaults; }

    // The pair of a region, or null when there is none; the indices as stored
    // (the user of an index clamps it to the curve first).
    SLimits* GetLimits(int iPosn, int iRgn);
    const Limits& GetAll() const { return m_caLimits; }
    void SetAll(Limits limits);

    void Clear();

private:
    bool Matches(const CVeltraneDoc& doc) const;

    bool m_bDefaults = true;
    Limits m_caLimits;
};

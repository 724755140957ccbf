#pragma once
// The document's quantification, block 196 of the data file: for every stage
// position one record per spectrum region (name, factor, area limits and a
// result per level), and the settings of the sheet that made them. The sheet
// that computes and shows them lives with the analysis tools; the document
// only keeps, checks and stores the state.

#include <cstdint>
#include <string>
#include <vector>

class CArchive;
class CVeltraneDoc;

// The quantification record of one spectrum region. Record i of a position's
// list belongs to spectrum region i of that position; the record finds its
// region through the document by that index (no stored pointer, so nothing
// dangles when the document is read again).
class CQuantifyRgn
{
public:
    virtual ~CQuantifyRgn() = default;
    CQuantifyRgn() = default;
    CQuantifyRgn(const CQuantifyRgn&) = default;
    CQuantifyRgn& operator=(const CQuantifyRgn&) = default;
    bool operator==(const CQuantifyRgn&) const = default;

    // Limits of an n-point region: n/10 and n - max(1, n/10).
    static void DefaultLimits(int nPoints, int32_t& lower, int32_t& upper);

    int32_t m_bSelected = 1;
    int32_t m_iSpare = 0;
    std::string m_csLabel;
    std::string m_csElement;
    std::string m_csTransition;
    double m_dRSF = 1.0;
    std::vector<double> m_pdResults; // one per level of the region
    int32_t m_iLower = 0;
    int32_t m_iUpper = 0;
    int32_t m_iRegion = 0;
};

class CQuantify
{
public:
    static constexpr uint16_t BlockID = 196;
    static constexpr uint16_t FileVersion = 1;
    static constexpr int32_t RecordVersion = 1;

    // The Auger page's record: the library choice and the beam energy.
    struct SAuger
    {
        int32_t m_iFile = -1;   // 0 to 2 a shipped library, -1 the user's file
        std::string m_csFile;   // the user's file when m_iFile is -1
        double m_dEnergy = 5.0; // kV
        bool operator==(const SAuger&) const = default;
    };
    // The Display page's record.
    struct SDisplay
    {
        int32_t m_iCalc = 0;     // 0 peak height, 1 peak-to-peak, 2 peak area
        int32_t m_iDispMode = 0; // 0 absolute, 1 normalised
        int32_t m_bQuantify = 1;
        bool operator==(const SDisplay&) const = default;
    };
    using RgnList = std::vector<CQuantifyRgn>;

    CQuantify() = default;
    virtual ~CQuantify() = default;
    CQuantify(const CQuantify&) = default;
    CQuantify& operator=(const CQuantify&) = default;
    // The state, not the note of a dropped block.
    bool operator==(const CQuantify& o) const
    {
        return m_bValid == o.m_bValid && m_bAES == o.m_bAES && m_RgnLists == o.m_RgnLists &&
               m_Auger == o.m_Auger && m_Display == o.m_Display;
    }

    // Stores the complete block, or nothing while no state exists.
    void operator>>(CArchive& ar) const;
    // Loads the rest of a block 196 after its identifier and leaves the archive
    // at the block end whatever the content held. Content that disagrees with
    // the block's length, or with the document the archive reads (when it
    // names one), leaves no state and is reported once.
    void operator<<(CArchive& ar);
    // After the whole file is read: a state that does not fit the document's
    // positions, regions and levels is dropped (reported once per file).
    // Returns whether a state remains.
    bool CheckAgainst(const CVeltraneDoc& doc);
    // Whether the state fits the document: a list per position, a record per
    // spectrum region, a result per level, indices inside the document.
    bool Matches(const CVeltraneDoc& doc) const;

    void Clear();

    bool m_bValid = false;
    int32_t m_bAES = 0;
    std::vector<RgnList> m_RgnLists; // one per stage position
    SAuger m_Auger;
    SDisplay m_Display;

private:
    bool m_bRejected = false; // a block was read and dropped: say so at the end
};

#pragma once
// The model of an imported file, in the shape of the older Norvale program's
// records: spectra (one per analysis position) with their levels, regions and
// intensities. Filled from a Norvale data file or from a VAMAS text file, then
// converted into a document.

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CFile;

// Text of a fixed-size character field: up to its first NUL, never past its end.
std::string FieldText(const char* field, size_t size);
template <size_t N> std::string FieldText(const char (&field)[N])
{
    return FieldText(field, N);
}
// Copies text into a fixed field, cut so that a NUL always ends it.
void SetField(char* field, size_t size, std::string_view text);
template <size_t N> void SetField(char (&field)[N], std::string_view text)
{
    SetField(field, N, text);
}

class CNorvale
{
public:
    static constexpr size_t BufferSize = 32768;
    static constexpr size_t FileHeaderSize = 16;
    static constexpr size_t FileSpectrumSize = 496;
    static constexpr size_t FileSpectrumKept = 210;
    static constexpr size_t FileLevelSize = 16;
    static constexpr size_t FileRgnSize = 96;
    static constexpr size_t ProfRgnSize = 4;

    struct FileHeader
    {
        char szProgName[10] = {};
        uint16_t wVersion = 0;
        int16_t nSpec = 0;
        int16_t iSpecNo = 0;
    };

    struct AcquSource
    {
        int32_t lVolts = 0;
        int32_t lCurrent = 0;
        int32_t lSource = 0; // meV
        int16_t iType = 0;   // 1 Mg K-alpha, 2 Al K-alpha, 3 other
    };

    // The kept 210 bytes of the 496-byte spectrum record.
    struct FileSpectrum
    {
        AcquSource Source;
        uint16_t wHistory = 0;
        char szOperator[24] = {};
        char szMode[4] = {};
        char szComment[128] = {};
        int16_t iSpec = 0;
        int16_t nSpec = 0;
        int16_t nRgns = 0;
        int16_t nLevels = 0;
        int16_t iDataType = 0;
        int16_t iPosn = 0;
        int16_t iPosMode = 0;
        int16_t iMode = 0;
        int16_t nPos = 0;
        int32_t lOffset = 0; // mV
        int32_t nPts = 0;
        int64_t lTime = 0; // seconds since 1970; 32 bits on disk
        int8_t EtchPrms[4] = {};
        int32_t bXraysAutoOff = 0;
    };

    struct SpecLevel
    {
        float fTime = 0.0f;
        // The VAMAS file's value at full precision; NaN for a Norvale file.
        double dTime = std::numeric_limits<double>::quiet_NaN();
    };

    struct SpecRgn
    {
        int32_t lPass_V = 0;
        int32_t lStart_RV = 0; // mV
        int32_t lStep_RV = 0;  // mV
        int16_t nPts = 0;
        int16_t iDwell = 0;  // ms
        int32_t lOffset = 0; // mV
        int16_t nScans = 0;
        char szRegion[10] = {};
        char szElement[28] = {};
        int32_t lUnused = 0;
        float fSF = 0.0f, fMin = 0.0f, fMax = 0.0f;
        // Where the region's values start in the spectrum's data (in values).
        size_t nDataOffset = 0;
        int32_t lSource = 0;
        int32_t nLevels = 0;
        // What the VAMAS reader has at the file's full precision, which the
        // millivolt and millisecond fields above would round: the start as the
        // document keeps it (kinetic energy without the offset) and the step in
        // eV, the pass energy in eV and the dwell in ms. NaN for a Norvale file.
        static constexpr double NotSet = std::numeric_limits<double>::quiet_NaN();
        double dStart = NotSet, dStep = NotSet, dPass = NotSet, dDwell = NotSet;

        double RetardVoltsToKE(long rv) const;
        long EnergyToRetardVolts(double e) const;
    };

    struct ProfRgn
    {
        int16_t iStart = 0;
        int16_t iEnd = 0;
    };

    struct VamasBlock
    {
        int32_t iYear = 0, iMon = 0, iDay = 0, iHour = 0, iMin = 0, iSec = 0, iGMT = 0;
        char szSource[31] = {};
        int32_t iIonZ = 0, iIonN = 0, iIonQ = 0;
        double dSrcWidth_x = 0, dSrcWidth_y = 0, dAnlysSrcPhi = 0, dAnlysSrcTheta = 0, dAnalyserMag = 0,
               dAnlysWidth_x = 0, dAnlysWidth_y = 0, dAnlysPhi = 0, dAnlysTheta = 0, dSrcPhi = 0,
               dSrcTheta = 0, dSmplPhi = 0, dSmplTheta = 0, dSmplRot = 0;
    };

    struct Vamas
    {
        VamasBlock VamasBlk;
        char szFormat[81] = {};
        char szInstitute[81] = {};
        char szInstrument[32] = {};
        char szOperator[32] = {};
        char szExpID[32] = {};
        char szComment[128] = {};
        char szExpMode[32] = {};
        char szScanMode[32] = {};
        char szExpVarLabel[32] = {};
        char szExpVarUnits[32] = {};
        uint8_t bInclude[129] = {};
        int32_t nComments = 0, nExpVar = 0, nRgns = 0, nBlocks = 0, nInclude = 0, nManItems = 0,
                nExpUpgrades = 0, nBlkUpgrades = 0;
    };

    class Spectrum : public FileSpectrum
    {
    public:
        std::string m_csFilename;
        std::vector<SpecLevel> m_pLevels;
        std::vector<SpecRgn> m_pRgns;
        std::vector<ProfRgn> m_pProfRgn;
        std::unique_ptr<Vamas> m_pVamas;
        std::vector<double> m_pdData;
        bool m_bAuger = false;
        bool m_bAugerDiff = false; // VAMAS: "AES diff", a differentiated spectrum
        // The file gives the date but not the time of day: lTime is the
        // date's local midnight.
        bool m_bNoTimeOfDay = false;
        // VAMAS: the file's date and time as the wall clock showed them, in
        // seconds since 1970 counted without a zone. lTime is the instant that
        // this machine's zone gives them, which a time in the hour its clocks
        // skip in spring, or across a change of daylight saving, does not
        // carry back to the same wall time.
        std::optional<int64_t> m_wallTime;
        // VAMAS: the stage position's group and comment, where the file keeps them.
        std::string m_csGroup, m_csPosnComment;

        // The values of level l of region r (the region's nPts of them).
        const double* GetRgnData(int r, int l) const;
        // Lays out the data for the regions' point and level counts (VAMAS).
        void AllocateDataArea();
    };

    // Answers the per-user profile entry "Config"/key, writing the default
    // when it is missing. The user interface installs the real profile; the
    // default answers the default.
    using ProfileString = std::function<std::string(const std::string& key, const std::string& def)>;
    static void SetProfileAccess(ProfileString access);

    CNorvale() = default;
    virtual ~CNorvale() = default;
    CNorvale(const CNorvale&) = delete;
    CNorvale& operator=(const CNorvale&) = delete;

    // Reads a Norvale data file; a failure is shown to the user and the command
    // abandoned (CUserException), a file too short for its header raises
    // CFileException(endOfFile).
    explicit CNorvale(CFile* file);
    // Reads a VAMAS file; *result is 0 or the id of the message that says why not.
    CNorvale(CFile* file, int* result);

    // The readers themselves: 0 or a message id. ReadNorvale answers
    // EndOfFirstHeader for a file too short for its first header.
    static constexpr int EndOfFirstHeader = -1;
    [[nodiscard]] int ReadNorvale(CFile& file);
    [[nodiscard]] int ReadVamas(CFile& file);

    int GetSize() const { return static_cast<int>(m_pSpec.size()); }
    const Spectrum* GetSpectrum(int i) const;
    const FileHeader* GetFileHeader() const { return &m_FileHeader; }
    int ErrorCheckHeader(const FileHeader* header) const;
    int ErrorCheckSpectrum(const Spectrum* spectrum, int place) const;

    std::string m_csFileName;

private:
    FileHeader m_FileHeader;
    std::vector<std::unique_ptr<Spectrum>> m_pSpec;

    friend class CVamasReader;
};

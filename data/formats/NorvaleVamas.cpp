// The VAMAS (ISO 14976) text reader that fills the Norvale model.

#include "data/formats/ImportErrors.h"
#include "data/formats/Norvale.h"
#include "data/formats/TextNumbers.h"
#include "platform/File.h"
#include "platform/Strings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

namespace {

constexpr size_t ChunkSize = 28672;
constexpr int MaxRegions = 24;
constexpr int MaxCount16 = 32767;
constexpr unsigned IDS_WIDE = 1152;

struct VamasError
{
    int code;
};

[[noreturn]] void Fail(int code)
{
    throw VamasError{code};
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool StartsNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::string Upper(std::string_view text)
{
    std::string u(text);
    for (char& c : u)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

// round() of the reader: add 0.5 and truncate toward zero. Values that do not
// fit the field (1e37 stands for "not known" in VAMAS) are refused.
int64_t RoundChecked(double v, int64_t lo, int64_t hi)
{
    const double r = std::trunc(v + 0.5);
    if (!(r >= static_cast<double>(lo) && r <= static_cast<double>(hi)))
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    return static_cast<int64_t>(r);
}

int32_t Round32(double v)
{
    return static_cast<int32_t>(
        RoundChecked(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int16_t Round16(double v)
{
    return static_cast<int16_t>(
        RoundChecked(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

int32_t Checked32(int64_t v)
{
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    return static_cast<int32_t>(v);
}

int16_t Checked16(int64_t v)
{
    if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    return static_cast<int16_t>(v);
}

} // namespace

class CVamasReader
{
public:
    CVamasReader(CNorvale& model, CFile& file) : m_model(model), m_file(file), m_buf(ChunkSize) {}

    int Read();

private:
    // Line access: up to and including the next LF, CRs dropped, at most
    // limit - 1 bytes kept (the rest of the line read and dropped), trailing
    // blanks removed. A missing line ends the read with 2065.
    const std::string& Line(size_t limit);
    bool TryLine(size_t limit);
    void Skip(int64_t count, size_t limit = 31)
    {
        for (int64_t i = 0; i < count; ++i)
            Line(limit);
    }
    // The count of additional parameters, then their triples; counted so that no
    // product overflows.
    void SkipAdditionalParams()
    {
        const int64_t count = Int();
        if (count < 0)
            Fail(IDS_ERR_VAMAS_ILLEGAL);
        for (int64_t i = 0; i < count; ++i)
            Skip(3);
    }
    int64_t Int(size_t limit = 31) { return TextNumbers::LineInt(Line(limit)); }
    double Real(size_t limit = 31) { return TextNumbers::LineReal(Line(limit)); }

    void ReadHeader();
    void ReadFirstBlock(int level, int region);
    void ReadFullLaterBlock(int level, int region);
    void ReadListedBlock(int level, int region);
    void ReadAbscissa(CNorvale::SpecRgn& rgn, const std::string& label, double sourceEnergy);
    void ReadOrdinates(int region);
    void SetLevelValue(int level, double value);

    CNorvale& m_model;
    CFile& m_file;
    std::vector<char> m_buf;
    size_t m_pos = 0;
    size_t m_len = 0;
    bool m_eof = false;
    std::string m_line;

    std::unique_ptr<CNorvale::Vamas> m_vamas;
    std::unique_ptr<CNorvale::Spectrum> m_spec;
    int m_nLevels = 0;
    bool m_bSDP = false;
    bool m_bAESDiff = false;
    double m_dSourceEnergy = 0.0; // eV, of the first block
    // The ordinates of every block, in reading order (level-major).
    std::vector<std::vector<float>> m_blocks;
};

bool CVamasReader::TryLine(size_t limit)
{
    m_line.clear();
    bool any = false;
    const size_t keep = limit > 0 ? limit - 1 : 0;
    for (;;) {
        if (m_pos == m_len) {
            if (m_eof)
                break;
            m_len = m_file.Read(m_buf.data(), ChunkSize);
            m_pos = 0;
            if (m_len == 0) {
                m_eof = true;
                break;
            }
        }
        const char* start = m_buf.data() + m_pos;
        const size_t avail = m_len - m_pos;
        const char* lf = static_cast<const char*>(std::memchr(start, '\n', avail));
        const size_t take = lf ? static_cast<size_t>(lf - start) : avail;
        for (size_t i = 0; i < take; ++i) {
            const char c = start[i];
            if (c == '\r')
                continue;
            any = true;
            if (m_line.size() < keep)
                m_line.push_back(c);
        }
        m_pos += take;
        if (lf) {
            ++m_pos;
            any = true;
            break;
        }
    }
    if (!any)
        return false;
    while (!m_line.empty() && (m_line.back() == ' ' || m_line.back() == '\t'))
        m_line.pop_back();
    return true;
}

const std::string& CVamasReader::Line(size_t limit)
{
    if (!TryLine(limit))
        Fail(IDS_ERR_EOF);
    return m_line;
}

void CVamasReader::ReadHeader()
{
    CNorvale::Vamas& v = *m_vamas;
    SetField(v.szFormat, Line(80));
    SetField(v.szInstitute, Line(80));
    SetField(v.szInstrument, Line(31));
    SetField(v.szOperator, Line(31));
    SetField(v.szExpID, Line(31));
    const int64_t nComments = Int(80);
    if (nComments < 0 || nComments > std::numeric_limits<int32_t>::max())
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    v.nComments = static_cast<int32_t>(nComments);
    std::string comment;
    int64_t budget = 128;
    auto append = [&](std::string_view text, int64_t cost) {
        if (budget > 0)
            comment.append(text.substr(0, static_cast<size_t>(std::min<int64_t>(budget - 1, text.size()))));
        budget -= cost;
    };
    for (int64_t i = 0; i < nComments; ++i) {
        if (i > 0)
            append("\r\n", 2);
        const std::string& line = Line(80);
        append(line, static_cast<int64_t>(line.size()));
    }
    SetField(v.szComment, comment);

    SetField(v.szExpMode, Upper(Line(31)));
    if (FieldText(v.szExpMode) != "NORM" && FieldText(v.szExpMode) != "SDP")
        Fail(IDS_ERR_VAMAS_UNSUPPORTED);
    SetField(v.szScanMode, Upper(Line(31)));
    if (FieldText(v.szScanMode) != "REGULAR")
        Fail(IDS_ERR_VAMAS_UNSUPPORTED);
    m_bSDP = FieldText(v.szExpMode) == "SDP";

    const int64_t nRgns = Int();
    const int64_t nExpVar = Int();
    if (nExpVar < 0 || nExpVar > std::numeric_limits<int32_t>::max())
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    v.nExpVar = static_cast<int32_t>(nExpVar);
    for (int64_t i = 0; i < nExpVar; ++i) {
        const std::string label = Line(31);
        const std::string units = Line(31);
        if (i == 0) {
            SetField(v.szExpVarLabel, label);
            SetField(v.szExpVarUnits, units);
        }
    }
    const int64_t nInclude = Int();
    if (nInclude < 0 || nInclude > 128)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    v.nInclude = static_cast<int32_t>(nInclude);
    for (int64_t i = 0; i < nInclude; ++i) {
        const int64_t p = Int();
        if (p < 1 || p > 128)
            Fail(IDS_ERR_VAMAS_ILLEGAL);
        v.bInclude[p] = 1;
    }
    const int64_t nManItems = Int();
    if (nManItems != 0)
        Fail(IDS_ERR_VAMAS_MANUAL);
    const int64_t nExpUpgrades = Int();
    const int64_t nBlkUpgrades = Int();
    if (nExpUpgrades < 0 || nBlkUpgrades < 0 || nBlkUpgrades > std::numeric_limits<int32_t>::max())
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    v.nExpUpgrades = Checked32(nExpUpgrades);
    v.nBlkUpgrades = static_cast<int32_t>(nBlkUpgrades);
    Skip(nExpUpgrades, 80);
    const int64_t nBlocks = Int();
    if (nBlocks < 1)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    if (nRgns > MaxRegions)
        Fail(IDS_ERR_VAMAS_TOO_MANY_REGIONS);
    if (nRgns < 1)
        Fail(IDS_ERR_VAMAS_NO_REGIONS);
    if (nBlocks % nRgns != 0)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    // Level and point counts are 16-bit in the model.
    if (nBlocks / nRgns > MaxCount16)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    v.nRgns = static_cast<int32_t>(nRgns);
    v.nBlocks = static_cast<int32_t>(nBlocks);
    m_nLevels = static_cast<int>(nBlocks / nRgns);
}

void CVamasReader::SetLevelValue(int level, double value)
{
    m_spec->m_pLevels[static_cast<size_t>(level)].fTime = static_cast<float>(value);
}

void CVamasReader::ReadAbscissa(CNorvale::SpecRgn& rgn, const std::string& label, double sourceEnergy)
{
    double start = Real();
    double step = Real();
    // A binding-energy scale runs the other way in kinetic energy.
    if (StartsNoCase(label, "binding")) {
        start = sourceEnergy - start;
        step = -step;
    }
    const double e = start + rgn.lOffset / 1000.0;
    if (!(std::fabs(e) < 1e9))
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    rgn.lStart_RV = Checked32(rgn.EnergyToRetardVolts(e));
    rgn.lStep_RV = Round32(step * 1000.0);
}

void CVamasReader::ReadOrdinates(int region)
{
    CNorvale::SpecRgn& rgn = m_spec->m_pRgns[static_cast<size_t>(region)];
    const int64_t n = Int();
    if (n < 1 || n > MaxCount16)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    rgn.nPts = std::max<int16_t>(rgn.nPts, static_cast<int16_t>(n));
    Skip(2);
    std::vector<float>& values = m_blocks.emplace_back();
    values.resize(static_cast<size_t>(n));
    for (auto& value : values)
        value = static_cast<float>(Real());
}

void CVamasReader::ReadFirstBlock(int level, int region)
{
    CNorvale::Vamas& v = *m_vamas;
    CNorvale::VamasBlock& b = v.VamasBlk;
    CNorvale::Spectrum& s = *m_spec;
    CNorvale::SpecRgn& rgn = s.m_pRgns[static_cast<size_t>(region)];

    Skip(2, 80); // block and sample identifiers
    int32_t* date[] = {&b.iYear, &b.iMon, &b.iDay, &b.iHour, &b.iMin, &b.iSec, &b.iGMT};
    for (int32_t* field : date)
        *field = Checked32(Int());
    std::tm t{};
    t.tm_year = b.iYear - 1900;
    t.tm_mon = b.iMon - 1;
    t.tm_mday = b.iDay;
    t.tm_hour = b.iHour;
    t.tm_min = b.iMin;
    t.tm_sec = b.iSec;
    t.tm_isdst = -1;
    const std::time_t local = b.iYear >= 1970 ? std::mktime(&t) : static_cast<std::time_t>(-1);
    if (local == static_cast<std::time_t>(-1) || local < 0) {
        s.lTime = -1; // not a time: the experiment's time is marked invalid
    } else {
        const int64_t gmt = TextNumbers::LineInt(VamasProfileString("GMT", "0"));
        s.lTime = static_cast<int64_t>(local) - static_cast<int64_t>(b.iGMT) * 3600 + gmt * 3600;
    }

    const int64_t nComment = Int();
    if (nComment < 0 || nComment > 128)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    Skip(nComment, 80);

    const std::string technique = Line(31);
    if (EqualNoCase(technique, "AES dir") || EqualNoCase(technique, "AES diff")) {
        s.m_bAuger = true;
        m_bAESDiff = EqualNoCase(technique, "AES diff");
    } else if (!EqualNoCase(technique, "XPS")) {
        Fail(IDS_ERR_VAMAS_NOT_XPS_AES);
    }
    for (int32_t i = 0; i < v.nExpVar; ++i) {
        const double value = Real();
        if (i == 0 && (v.nInclude == 0 || v.bInclude[11]))
            SetLevelValue(level, value);
    }
    SetField(b.szSource, Line(31));
    if (m_bSDP) {
        b.iIonZ = Checked32(Int());
        b.iIonN = Checked32(Int());
        b.iIonQ = Checked32(Int());
        if (b.iIonZ < 1 || b.iIonZ > 103 || b.iIonN < 1)
            Fail(IDS_ERR_VAMAS_ILLEGAL);
    }
    const double energy = Real();
    m_dSourceEnergy = energy;
    s.Source.lSource = Round32(energy * 1000.0);
    s.Source.iType = 3;
    if (!s.m_bAuger && s.Source.lSource == 1253600)
        s.Source.iType = 1;
    else if (!s.m_bAuger && s.Source.lSource == 1486600)
        s.Source.iType = 2;
    const double strength = Real();
    if (!(strength > 0.0))
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    if (s.m_bAuger) {
        s.Source.lVolts = s.Source.lSource / 1000;
        s.Source.lCurrent = Round32(strength / 1000.0);
    } else {
        s.Source.lVolts = 10000;
        s.Source.lCurrent = Round32(strength / 0.01);
    }
    b.dSrcWidth_x = Real();
    b.dSrcWidth_y = Real();
    b.dAnlysSrcPhi = Real();
    b.dAnlysSrcTheta = Real();
    SetField(s.szMode, std::string_view(Line(31)).substr(0, sizeof s.szMode));
    rgn.lPass_V = Checked32(Int());
    if (m_bAESDiff)
        Skip(1);
    b.dAnalyserMag = Real();
    s.lOffset = Round32(Real() * 1000.0);
    rgn.lOffset = s.lOffset;
    Skip(1); // target bias
    b.dAnlysWidth_x = Real();
    b.dAnlysWidth_y = Real();
    b.dAnlysPhi = Real();
    b.dAnlysTheta = Real();
    SetField(rgn.szElement, Line(28));
    SetField(rgn.szRegion, Line(10));
    Skip(1); // charge of the detected particle
    const std::string label = Line(31);
    Skip(1); // abscissa units
    ReadAbscissa(rgn, label, energy);
    if (Int() != 1)
        Fail(IDS_ERR_VAMAS_UNSUPPORTED);
    Skip(3); // corresponding variable label and units, signal mode
    rgn.iDwell = Round16(Real() * 1000.0);
    rgn.nScans = Checked16(Int());
    if (Int() != 0)
        Fail(IDS_ERR_VAMAS_UNSUPPORTED);
    if (m_bSDP) {
        Skip(4);
        b.dSrcPhi = Real();
        b.dSrcTheta = Real();
        Skip(1);
    }
    b.dSmplPhi = Real();
    b.dSmplTheta = Real();
    b.dSmplRot = Real();
    SkipAdditionalParams();
    Skip(v.nBlkUpgrades);
    ReadOrdinates(region);

    if (v.nRgns == 1) {
        std::string wide;
        if (!TryLoadString(IDS_WIDE, wide))
            Fail(IDS_ERR_STRING);
        if (s.iDataType == 2 && EqualNoCase(FieldText(rgn.szElement), wide)) {
            s.iDataType = 1;
            s.iMode = 0;
        }
    }
}

// A later block of a file with an empty inclusion list carries every
// parameter, as the first block does; only what belongs to the region is kept.
void CVamasReader::ReadFullLaterBlock(int level, int region)
{
    CNorvale::Vamas& v = *m_vamas;
    CNorvale::Spectrum& s = *m_spec;
    CNorvale::SpecRgn& rgn = s.m_pRgns[static_cast<size_t>(region)];

    Skip(2, 80);
    Skip(7);
    const int64_t nComment = Int();
    if (nComment < 0 || nComment > 128)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    Skip(nComment, 80);
    const std::string technique = Line(31);
    const bool aesDiff = EqualNoCase(technique, "AES diff");
    if (!aesDiff && !EqualNoCase(technique, "AES dir") && !EqualNoCase(technique, "XPS"))
        Fail(IDS_ERR_VAMAS_NOT_XPS_AES);
    bool haveValue = false;
    for (int32_t i = 0; i < v.nExpVar; ++i) {
        const double value = Real();
        if (i == 0) {
            SetLevelValue(level, value);
            haveValue = true;
        }
    }
    if (!haveValue)
        SetLevelValue(level, level);
    Skip(1); // source label
    if (m_bSDP)
        Skip(3);
    const double energy = Real();
    Skip(5); // strength, beam widths, source angles
    Skip(1); // analyser mode
    rgn.lPass_V = Checked32(Int());
    if (aesDiff)
        Skip(1);
    Skip(1); // magnification
    Skip(1); // work function: the region keeps the experiment's
    rgn.lOffset = s.lOffset;
    Skip(5); // target bias, analysis widths, take-off angles
    SetField(rgn.szElement, Line(28));
    SetField(rgn.szRegion, Line(10));
    Skip(1);
    const std::string label = Line(31);
    Skip(1);
    ReadAbscissa(rgn, label, energy);
    if (Int() != 1)
        Fail(IDS_ERR_VAMAS_UNSUPPORTED);
    Skip(3);
    rgn.iDwell = Round16(Real() * 1000.0);
    rgn.nScans = Checked16(Int());
    if (Int() != 0)
        Fail(IDS_ERR_VAMAS_UNSUPPORTED);
    if (m_bSDP)
        Skip(7);
    Skip(3);
    SkipAdditionalParams();
    Skip(v.nBlkUpgrades);
    ReadOrdinates(region);
}

// A later block that carries only the parameters of the inclusion list.
void CVamasReader::ReadListedBlock(int level, int region)
{
    CNorvale::Vamas& v = *m_vamas;
    CNorvale::Spectrum& s = *m_spec;
    CNorvale::SpecRgn& rgn = s.m_pRgns[static_cast<size_t>(region)];
    const CNorvale::SpecRgn& first = s.m_pRgns[0];
    auto listed = [&v](int p) { return v.bInclude[p] != 0; };

    Skip(2, 80);
    rgn.lOffset = s.lOffset;
    double energy = m_dSourceEnergy;
    bool abscissa = false;
    for (int p = 1; p <= 128; ++p) {
        if (!listed(p))
            continue;
        switch (p) {
        case 8: { // block comment: its line count, then the lines
            const int64_t n = Int();
            if (n < 0 || n > 128)
                Fail(IDS_ERR_VAMAS_ILLEGAL);
            Skip(n, 80);
            break;
        }
        case 11:
            for (int32_t i = 0; i < v.nExpVar; ++i) {
                const double value = Real();
                if (i == 0)
                    SetLevelValue(level, value);
            }
            break;
        case 14:
            energy = Real();
            break;
        case 22:
            rgn.lPass_V = Checked32(Int());
            break;
        case 29:
            SetField(rgn.szElement, Line(28));
            break;
        case 30:
            SetField(rgn.szRegion, Line(10));
            Skip(1);
            break;
        case 31: {
            const std::string label = Line(31);
            Skip(1);
            ReadAbscissa(rgn, label, energy);
            abscissa = true;
            break;
        }
        case 32: // corresponding variables: the count, then label and units of each
            if (Int() != 1)
                Fail(IDS_ERR_VAMAS_UNSUPPORTED);
            Skip(2);
            break;
        case 34:
            rgn.iDwell = Round16(Real() * 1000.0);
            break;
        case 35:
            rgn.nScans = Checked16(Int());
            break;
        case 40:
            SkipAdditionalParams();
            break;
        case 10:
        case 16:
        case 17:
        case 27:
        case 28:
            Skip(2);
            break;
        case 13:
        case 38:
            Skip(3);
            break;
        case 18:
            Skip(6);
            break;
        case 37:
            Skip(7);
            break;
        default:
            Skip(1);
            break;
        }
    }
    if (!listed(11) || v.nExpVar == 0)
        SetLevelValue(level, level);
    if (!listed(22))
        rgn.lPass_V = first.lPass_V;
    if (!listed(29) && region > 0)
        std::memcpy(rgn.szElement, first.szElement, sizeof rgn.szElement);
    if (!listed(30))
        std::memcpy(rgn.szRegion, first.szRegion, sizeof rgn.szRegion);
    if (!abscissa)
        Fail(IDS_ERR_VAMAS_NO_START);
    if (!listed(34))
        rgn.iDwell = 1000;
    if (!listed(35))
        rgn.nScans = 1;
    Skip(v.nBlkUpgrades);
    ReadOrdinates(region);
}

int CVamasReader::Read()
{
    try {
        m_vamas = std::make_unique<CNorvale::Vamas>();
        ReadHeader();
        const CNorvale::Vamas& v = *m_vamas;

        m_spec = std::make_unique<CNorvale::Spectrum>();
        CNorvale::Spectrum& s = *m_spec;
        s.m_csFilename = m_file.GetFileTitle();
        s.iSpec = 0;
        s.nSpec = 1;
        s.nRgns = static_cast<int16_t>(v.nRgns);
        s.nLevels = static_cast<int16_t>(m_nLevels);
        s.m_pRgns.resize(static_cast<size_t>(v.nRgns));
        s.m_pLevels.resize(static_cast<size_t>(m_nLevels));
        s.m_pProfRgn.resize(static_cast<size_t>(v.nRgns));
        SetField(s.szOperator, FieldText(v.szOperator));
        SetField(s.szComment, FieldText(v.szComment));
        const std::string mode = FieldText(v.szExpMode);
        if (mode == "NORM" && m_nLevels > 1)
            s.iDataType = 16;
        else if (mode == "SDP" && StartsNoCase(FieldText(v.szExpVarLabel), "angle"))
            s.iDataType = 8;
        else if (mode == "SDP")
            s.iDataType = 4;
        else
            s.iDataType = 2;
        s.iMode = 256;
        // No reserve from the header's block count: a few header lines could
        // otherwise claim megabytes before a single block is read.

        for (int l = 0; l < m_nLevels; ++l) {
            for (int r = 0; r < v.nRgns; ++r) {
                s.m_pRgns[static_cast<size_t>(r)].nLevels = m_nLevels;
                if (l == 0 && r == 0)
                    ReadFirstBlock(l, r);
                else if (v.nInclude == 0)
                    ReadFullLaterBlock(l, r);
                else
                    ReadListedBlock(l, r);
            }
        }
        for (CNorvale::SpecRgn& rgn : s.m_pRgns)
            rgn.lSource = s.Source.lSource;

        // Padding short blocks to their region's longest must not turn a small
        // file into a huge data area (one long block and thousands of one-value
        // levels would ask for gigabytes): every value the file really holds
        // takes at least two bytes, so four padded values a byte is far beyond
        // any real file. The spectrum's value count is 32-bit besides.
        int64_t area = 0;
        for (const CNorvale::SpecRgn& rgn : s.m_pRgns)
            area += static_cast<int64_t>(rgn.nPts) * m_nLevels;
        const uint64_t fileBytes = m_file.GetLength();
        if (area > std::numeric_limits<int32_t>::max() ||
            static_cast<uint64_t>(area) > std::max<uint64_t>(fileBytes, 1024) * 4)
            Fail(IDS_ERR_VAMAS_ILLEGAL);

        // Each block's values go to its region and level; a shorter block is
        // padded with zeros up to the region's longest.
        s.AllocateDataArea();
        size_t block = 0;
        for (int l = 0; l < m_nLevels; ++l) {
            for (int r = 0; r < v.nRgns; ++r, ++block) {
                const CNorvale::SpecRgn& rgn = s.m_pRgns[static_cast<size_t>(r)];
                float* dst = s.m_pfData.data() + rgn.nDataOffset + static_cast<size_t>(l) * rgn.nPts;
                const std::vector<float>& src = m_blocks[block];
                std::copy_n(src.begin(), std::min<size_t>(src.size(), static_cast<size_t>(rgn.nPts)), dst);
            }
        }
        m_blocks.clear();

        if (!TryLine(80))
            Fail(IDS_ERR_EOF);
        if (!EqualNoCase(m_line, "end of experiment"))
            Fail(IDS_ERR_VAMAS_UNREADABLE);

        s.m_pVamas = std::move(m_vamas);
        m_model.m_pSpec.clear();
        m_model.m_pSpec.push_back(std::move(m_spec));
        m_model.m_FileHeader = CNorvale::FileHeader{};
        SetField(m_model.m_FileHeader.szProgName, "VAMAS");
        m_model.m_FileHeader.wVersion = 0;
        m_model.m_FileHeader.nSpec = 1;
        m_model.m_FileHeader.iSpecNo = 0;
        m_model.m_csFileName = m_file.GetFileTitle();
        return 0;
    } catch (const VamasError& e) {
        return e.code;
    }
}

int CNorvale::ReadVamas(CFile& file)
{
    m_pSpec.clear();
    CVamasReader reader(*this, file);
    return reader.Read();
}

CNorvale::CNorvale(CFile* file, int* result)
{
    *result = ReadVamas(*file);
    if (*result != 0)
        m_pSpec.clear();
}

// The VAMAS (ISO 14976) text reader that fills the Norvale model.

#include "data/Source.h"
#include "data/formats/ImportErrors.h"
#include "data/formats/Norvale.h"
#include "data/formats/TextNumbers.h"
#include "platform/AsciiCase.h"
#include "platform/Cp1252.h"
#include "platform/File.h"
#include "platform/Strings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
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
    return AsciiEqualNoCase(a, b);
}

bool StartsNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::string Upper(std::string_view text)
{
    return AsciiToUpper(text);
}

// Rounds half away from zero (adding 0.5 and truncating would move every
// negative value up: -0.1 eV as -99 meV). Values that do not fit the field are
// refused; a value that is "not known" never comes here (see Known).
int64_t RoundChecked(double v, int64_t lo, int64_t hi)
{
    const double r = std::round(v);
    if (!(r >= static_cast<double>(lo) && r <= static_cast<double>(hi)))
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    return static_cast<int64_t>(r);
}

int32_t Round32(double v)
{
    return static_cast<int32_t>(
        RoundChecked(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// How far a file's photon energy may lie from an anode's configured one and
// still be that anode, meV. Files give Al K-alpha as anything from 1486.6
// (the K-alpha 1,2 centroid) to 1486.7 or 1486.74 (K-alpha 1, or what a
// monochromator passes), Mg K-alpha as 1253.4 to 1253.7; the lines are 0.7
// (Mg) and 0.85 eV (Al) wide. 0.4 eV takes all of these and is far from any
// other source.
constexpr int32_t AnodeTolerance = 400;

bool IsAnode(int32_t lSource, double configured)
{
    const double diff = std::fabs(static_cast<double>(lSource) - configured * 1000.0);
    return lSource != 0 && diff <= AnodeTolerance + 1e-6;
}

// The element symbols by atomic number.
const char* const kElementSymbols[] = {
    "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si", "P",
    "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn",
    "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru", "Rh",
    "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd",
    "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",  "Re",
    "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th",
    "Pa", "U",  "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr"};

// An orbital as a line is named: shell 1 to 7, s p d or f, and for p d f
// optionally the j of one partner (2p3/2, 4f7/2).
bool IsOrbital(std::string_view t)
{
    if (t.size() < 2 || t[0] < '1' || t[0] > '7')
        return false;
    const char l = t[1];
    if (l != 's' && l != 'p' && l != 'd' && l != 'f')
        return false;
    if (t.size() == 2)
        return true;
    if (l == 's' || t.size() != 5 || t[3] != '/' || t[4] != '2')
        return false;
    const int twoJ = t[2] - '0';
    const int twoL = l == 'p' ? 2 : l == 'd' ? 4 : 6;
    return twoJ == twoL - 1 || twoJ == twoL + 1;
}

// Species written with the line in it and no transition ("Mn2p", "Mn 2p3/2")
// become the element and the line a user reads there; anything else stays.
void SplitSpecies(std::string& species, std::string& transition)
{
    auto trim = [](std::string_view t) {
        while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
            t.remove_prefix(1);
        while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
            t.remove_suffix(1);
        return std::string(t);
    };
    if (!trim(transition).empty())
        return;
    const std::string text = trim(species);
    size_t n = 0;
    while (n < text.size() && std::isalpha(static_cast<unsigned char>(text[n])))
        ++n;
    const std::string symbol = text.substr(0, n);
    size_t o = n;
    while (o < text.size() && text[o] == ' ')
        ++o;
    const std::string line = text.substr(o);
    if (!IsOrbital(line))
        return;
    for (const char* known : kElementSymbols) {
        if (symbol == known) {
            species = symbol;
            transition = line;
            return;
        }
    }
}

// ISO 14976 writes 1E37 for a value that is not known.
bool Known(double v)
{
    return !(std::fabs(v) >= 0.99999e37);
}

bool ContainsNoCase(std::string_view text, std::string_view part)
{
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (EqualNoCase(text.substr(i, part.size()), part))
            return true;
    return false;
}

int16_t Clamp16(double v)
{
    return static_cast<int16_t>(std::clamp(std::round(v), 0.0, static_cast<double>(MaxCount16)));
}

// What one block holds for the region it becomes part of.
struct BlockRead
{
    std::string species, transition;
    double start = 0.0, step = 0.0; // eV; the start as the document keeps it
    double pass = 0.0;              // eV
    double dwell = 1000.0;          // ms
    int16_t scans = 1;
    double level = 0.0;
    bool hasLevel = false; // otherwise the level's value is its number
    double position = 0.0;
    bool hasPosition = false;
    // This program's own export names the position's group after "sample id:"
    // and gives the position's comment as the block's; others' block comments
    // are their own notes, and are not kept.
    bool own = false;
    std::string group, comment;
    int idRegion = 0; // the region's number in the block identifier of this program's export
    int corrVars = 1;
    bool perSecond = false;     // the first corresponding variable is in counts per second
    std::vector<double> values; // the first corresponding variable's
};

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
    // A real that may be "not known": then def.
    double RealOr(double def)
    {
        const double v = Real();
        return Known(v) ? v : def;
    }

    // The signal collection time, in ms; one that is not known or is no
    // number is 0 (the region's 16-bit dwell is made from it).
    double CollectionTime()
    {
        const double t = RealOr(0.0);
        return std::isnan(t) ? 0.0 : t * 1000.0;
    }

    void ReadHeader();
    int ChooseLevelVariable() const;
    void ReadFirstBlockValues();
    void ReadFullBlock(BlockRead& b, bool first);
    void ReadListedBlock(BlockRead& b);
    void ReadAbscissa(BlockRead& b, const std::string& label);
    void ReadCorrespondingVariables(BlockRead& b);
    void ReadOrdinates(BlockRead& b);
    void LayOut();
    std::vector<std::pair<size_t, size_t>> PositionRuns() const;

    CNorvale& m_model;
    CFile& m_file;
    std::vector<char> m_buf;
    size_t m_pos = 0;
    size_t m_len = 0;
    bool m_eof = false;
    std::string m_line;
    // The file began with a UTF-8 byte-order mark: its text is UTF-8, and is
    // kept as cp1252 as the records hold it.
    bool m_bUtf8 = false;

    std::unique_ptr<CNorvale::Vamas> m_vamas;
    std::unique_ptr<CNorvale::Spectrum> m_spec;
    int64_t m_nRgnsHeader = 0;
    int m_levelVar = -1; // the experimental variable that holds the level values
    int m_posnVar = -1;  // the one that holds the stage position, as this program writes it
    bool m_bSDP = false;
    double m_dWorkFunction = 0.0; // eV, as the document keeps it
    std::vector<BlockRead> m_blocks;
};

bool CVamasReader::TryLine(size_t limit)
{
    m_line.clear();
    bool any = false;
    const size_t keep = limit > 0 ? limit - 1 : 0;
    // A UTF-8 character takes up to four bytes of the line.
    const size_t collect = m_bUtf8 ? keep * 4 : keep;
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
            if (m_line.size() < collect)
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
    if (m_bUtf8 && std::any_of(m_line.begin(), m_line.end(), [](char c) { return (c & 0x80) != 0; })) {
        m_line = Utf8ToCp1252(m_line);
        if (m_line.size() > keep)
            m_line.resize(keep);
    }
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
    // Some exporters put a UTF-8 byte-order mark, or blank lines, before the
    // format identifier.
    Line(80);
    if (m_line.rfind("\xEF\xBB\xBF", 0) == 0) {
        m_line.erase(0, 3);
        m_bUtf8 = true;
    }
    while (m_line.find_first_not_of(" \t") == std::string::npos)
        Line(80);
    SetField(v.szFormat, m_line);
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

    m_nRgnsHeader = Int();
    const int64_t nExpVar = Int();
    if (nExpVar < 0 || nExpVar > std::numeric_limits<int32_t>::max())
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    v.nExpVar = static_cast<int32_t>(nExpVar);
    std::string firstLabel, firstUnits;
    for (int64_t i = 0; i < nExpVar; ++i) {
        const std::string label = Line(31);
        const std::string units = Line(31);
        if (i == 0) {
            firstLabel = label;
            firstUnits = units;
        }
        // This program's own files put the stage position first and the
        // level's value (etch time, angle) after it.
        const bool position = EqualNoCase(label, "Position") || EqualNoCase(units, "pixels");
        if (m_posnVar < 0 && EqualNoCase(label, "Position"))
            m_posnVar = static_cast<int>(i);
        if (m_levelVar < 0 && !position) {
            m_levelVar = static_cast<int>(i);
            SetField(v.szExpVarLabel, label);
            SetField(v.szExpVarUnits, units);
        }
    }
    if (m_levelVar < 0) {
        SetField(v.szExpVarLabel, firstLabel);
        SetField(v.szExpVarUnits, firstUnits);
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
    // Blocks that no layout can hold are refused before they are read: more
    // levels than the model's 16-bit count of the header's regions, or,
    // without a count that fits them (the blocks then find their regions
    // themselves), more than the most regions at the most levels.
    if (nBlocks > MaxRegions) {
        const int64_t n = m_nRgnsHeader;
        if (n >= 1 && nBlocks % n == 0) {
            if (n > MaxRegions)
                Fail(IDS_ERR_VAMAS_TOO_MANY_REGIONS);
            if (nBlocks / n > MaxCount16)
                Fail(IDS_ERR_VAMAS_ILLEGAL);
        } else if (nBlocks > int64_t(MaxRegions) * MaxCount16) {
            Fail(IDS_ERR_VAMAS_TOO_MANY_REGIONS);
        }
    }
    v.nBlocks = static_cast<int32_t>(nBlocks);
}

void CVamasReader::ReadAbscissa(BlockRead& b, const std::string& label)
{
    const double start = Real();
    const double step = Real();
    if (!Known(start) || !Known(step))
        Fail(IDS_ERR_VAMAS_NO_START);
    if (!(std::fabs(start) < 1e9) || !(std::fabs(step) < 1e9))
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    // A binding-energy scale runs the other way in kinetic energy. The
    // document shows binding energy as its photon energy minus the kinetic
    // energy with the offset (work function) added, so the kinetic start
    // leaves the offset out: the peaks stay at the binding energies the file
    // gives.
    if (ContainsNoCase(label, "binding")) {
        if (!m_spec->Source.lSource)
            Fail(IDS_ERR_VAMAS_ILLEGAL); // no photon energy to convert with
        b.start = m_spec->Source.lSource / 1000.0 - start - m_dWorkFunction;
        b.step = -step;
    } else {
        b.start = start;
        b.step = step;
    }
}

void CVamasReader::ReadCorrespondingVariables(BlockRead& b)
{
    const int64_t n = Int();
    if (n < 1)
        Fail(IDS_ERR_VAMAS_UNSUPPORTED);
    if (n > MaxCount16)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    b.corrVars = static_cast<int>(n);
    // Labels and units: the document holds the first, the signal. Its unit
    // says whether the values are counts or a count rate.
    Skip(1);
    b.perSecond = EqualNoCase(Line(31), "c/s");
    Skip(2 * (n - 1));
}

// The ordinates of all corresponding variables come point by point; the
// document keeps the first variable's. A line without a number here means the
// block is short of its lines: the file is incomplete.
void CVamasReader::ReadOrdinates(BlockRead& b)
{
    const int64_t n = Int();
    if (n < 1 || n % b.corrVars != 0 || n / b.corrVars > MaxCount16)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    Skip(2 * static_cast<int64_t>(b.corrVars)); // minimum and maximum of each variable
    b.values.resize(static_cast<size_t>(n / b.corrVars));
    for (int64_t i = 0; i < n; ++i) {
        std::string_view text = Line(31);
        const std::optional<double> value = TextNumbers::ScanReal(text);
        if (!value)
            Fail(IDS_ERR_EOF);
        if (i % b.corrVars == 0)
            b.values[static_cast<size_t>(i / b.corrVars)] = *value;
    }
    // The document's curves are counts per point, as its own acquisitions
    // are, and quantification divides them by the dwell time: a count rate
    // divided again made a region's share follow its dwell. The collection
    // time (s) turns a rate back into counts; without one it stays as it is.
    if (b.perSecond && b.dwell > 0.0)
        for (double& y : b.values)
            y *= b.dwell / 1000.0;
}

// Every parameter in its place: the first block, and each later block of a
// file with an empty inclusion list. Only the first block sets what belongs
// to the whole file.
void CVamasReader::ReadFullBlock(BlockRead& b, bool first)
{
    CNorvale::Vamas& v = *m_vamas;
    CNorvale::VamasBlock& vb = v.VamasBlk;
    CNorvale::Spectrum& s = *m_spec;

    // "Nth block id, position, point, level, region" in this program's export.
    const std::string id = Line(80);
    if (const size_t at = id.find("block id,"); at != std::string::npos) {
        std::string_view rest = std::string_view(id).substr(at + 9);
        int fields = 0, value = 0;
        while (!rest.empty()) {
            const size_t comma = rest.find(',');
            std::string_view field = rest.substr(0, comma);
            while (!field.empty() && field.front() == ' ')
                field.remove_prefix(1);
            const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
            if (ec != std::errc() || end != field.data() + field.size())
                break;
            ++fields;
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
        if (fields == 4 && rest.empty() && value >= 1)
            b.idRegion = value;
    }
    constexpr std::string_view OwnSample = "sample id:";
    if (const std::string& sample = Line(80); sample.starts_with(OwnSample)) {
        b.own = true;
        b.group = sample.substr(OwnSample.size() + (sample.size() > OwnSample.size() ? 1 : 0));
    }
    if (first) {
        int32_t* date[] = {&vb.iYear, &vb.iMon, &vb.iDay, &vb.iHour, &vb.iMin, &vb.iSec, &vb.iGMT};
        for (int32_t* field : date)
            *field = Checked32(Int());
        // A negative hour, minute or second (-1) is not known: the date alone.
        s.m_bNoTimeOfDay = vb.iHour < 0 || vb.iMin < 0 || vb.iSec < 0;
        std::tm t{};
        t.tm_year = vb.iYear - 1900;
        t.tm_mon = vb.iMon - 1;
        t.tm_mday = vb.iDay;
        t.tm_hour = s.m_bNoTimeOfDay ? 0 : vb.iHour;
        t.tm_min = s.m_bNoTimeOfDay ? 0 : vb.iMin;
        t.tm_sec = s.m_bNoTimeOfDay ? 0 : vb.iSec;
        t.tm_isdst = -1;
        // A field out of its range is no date: mktime would carry it into the
        // next field (one exporter's month 2021 becomes a year in the 2190s).
        const bool inRange = vb.iMon >= 1 && vb.iMon <= 12 && vb.iDay >= 1 && vb.iDay <= 31 &&
                             (s.m_bNoTimeOfDay || (vb.iHour <= 23 && vb.iMin <= 59 && vb.iSec <= 60));
        std::tm asUtc = t;
        const std::time_t wall = vb.iYear >= 1970 && inRange ? timegm(&asUtc) : static_cast<std::time_t>(-1);
        const std::time_t local = wall == static_cast<std::time_t>(-1) ? wall : std::mktime(&t);
        if (local == static_cast<std::time_t>(-1) || local < 0 || asUtc.tm_mday != vb.iDay) {
            s.lTime = -1; // not a time: the experiment's time is marked invalid
            s.m_bNoTimeOfDay = false;
            s.m_wallTime.reset();
        } else if (s.m_bNoTimeOfDay) {
            s.lTime = static_cast<int64_t>(local); // a date is a date in any time zone
            s.m_wallTime = static_cast<int64_t>(wall);
        } else {
            // More than a day is no zone's hours (and its seconds could overflow).
            int64_t gmt = TextNumbers::LineInt(VamasProfileString("GMT", "0"));
            if (gmt < -24 || gmt > 24)
                gmt = 0;
            const int64_t shift = gmt * 3600 - static_cast<int64_t>(vb.iGMT) * 3600;
            s.lTime = static_cast<int64_t>(local) + shift;
            s.m_wallTime = static_cast<int64_t>(wall) + shift;
        }
    } else {
        Skip(7);
    }

    const int64_t nComment = Int();
    if (nComment < 0 || nComment > 128)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    for (int64_t i = 0; i < nComment; ++i) {
        const std::string& line = Line(80);
        if (b.own)
            b.comment += (i > 0 ? "\r\n" : "") + line;
    }

    const std::string technique = Line(31);
    const bool aesDiff = EqualNoCase(technique, "AES diff");
    if (!aesDiff && !EqualNoCase(technique, "AES dir") && !EqualNoCase(technique, "XPS"))
        Fail(IDS_ERR_VAMAS_NOT_XPS_AES);
    if (first) {
        s.m_bAuger = aesDiff || EqualNoCase(technique, "AES dir");
        s.m_bAugerDiff = aesDiff;
    }
    for (int32_t i = 0; i < v.nExpVar; ++i) {
        const double value = Real();
        // A value that is not known leaves the level its number.
        const bool listed = !first || v.nInclude == 0 || v.bInclude[11];
        if (i == m_levelVar && Known(value) && listed) {
            b.level = value;
            b.hasLevel = true;
        }
        if (i == m_posnVar && Known(value) && listed) {
            b.position = value;
            b.hasPosition = true;
        }
    }
    if (first)
        SetField(vb.szSource, Line(31));
    else
        Skip(1);
    if (m_bSDP) {
        const int64_t z = Int(), n = Int(), q = Int();
        if (first) {
            if (z < 1 || z > 103 || n < 1)
                Fail(IDS_ERR_VAMAS_ILLEGAL);
            vb.iIonZ = static_cast<int32_t>(z);
            vb.iIonN = Checked32(n);
            vb.iIonQ = Checked32(q);
        }
    }
    const double energy = Real();
    const double strength = Real();
    if (first) {
        // Not known: no source energy, an unknown source type.
        s.Source.lSource = Known(energy) ? Round32(energy * 1000.0) : 0;
        // The anode is known by its energy, near enough; the photon energy
        // stays the file's, so its binding energies do too.
        s.Source.iType = 3;
        if (!s.m_bAuger && IsAnode(s.Source.lSource, CSource::m_MgKaEnergy))
            s.Source.iType = 1;
        else if (!s.m_bAuger && IsAnode(s.Source.lSource, CSource::m_AlKaEnergy))
            s.Source.iType = 2;
        // 0 is a closed shutter or an unknown power; only a negative one is wrong.
        if (strength < 0.0)
            Fail(IDS_ERR_VAMAS_ILLEGAL);
        const double known = Known(strength) ? strength : 0.0;
        if (s.m_bAuger) {
            s.Source.lVolts = s.Source.lSource / 1000;
            s.Source.lCurrent = Round32(known / 1000.0);
        } else {
            s.Source.lVolts = 10000;
            s.Source.lCurrent = Round32(known / 0.01);
        }
        vb.dSrcWidth_x = Real();
        vb.dSrcWidth_y = Real();
        vb.dAnlysSrcPhi = Real();
        vb.dAnlysSrcTheta = Real();
        SetField(s.szMode, std::string_view(Line(31)).substr(0, sizeof s.szMode));
    } else {
        Skip(5);
    }
    b.pass = RealOr(0.0);
    if (aesDiff)
        Skip(1); // differential width
    if (first) {
        vb.dAnalyserMag = Real();
        s.lOffset = Round32(RealOr(0.0) * 1000.0);
        m_dWorkFunction = s.lOffset / 1000.0;
        Skip(1); // target bias
        vb.dAnlysWidth_x = Real();
        vb.dAnlysWidth_y = Real();
        vb.dAnlysPhi = Real();
        vb.dAnlysTheta = Real();
    } else {
        Skip(7); // the work function is the experiment's, from the first block
    }
    b.species = Line(28);
    b.transition = Line(10);
    Skip(1); // charge of the detected particle
    const std::string label = Line(31);
    Skip(1); // abscissa units
    ReadAbscissa(b, label);
    ReadCorrespondingVariables(b);
    Skip(1); // signal mode
    b.dwell = CollectionTime();
    b.scans = Checked16(Int());
    Skip(1); // signal time correction: a dead time the document has no place for
    if (m_bSDP) {
        if (first) {
            Skip(4);
            vb.dSrcPhi = Real();
            vb.dSrcTheta = Real();
            Skip(1);
        } else {
            Skip(7);
        }
    }
    if (first) {
        vb.dSmplPhi = Real();
        vb.dSmplTheta = Real();
        vb.dSmplRot = Real();
    } else {
        Skip(3);
    }
    SkipAdditionalParams();
    Skip(v.nBlkUpgrades);
    ReadOrdinates(b);
}

// A later block that carries only the parameters of the inclusion list; the
// others are the first block's or the format's defaults.
void CVamasReader::ReadListedBlock(BlockRead& b)
{
    CNorvale::Vamas& v = *m_vamas;
    const BlockRead& first = m_blocks[0];
    auto listed = [&v](int p) { return v.bInclude[p] != 0; };

    Skip(2, 80);
    b.species = first.species;
    b.transition = first.transition;
    b.pass = first.pass;
    b.corrVars = first.corrVars;
    b.perSecond = first.perSecond;
    b.dwell = 1000.0;
    b.scans = 1;
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
                if (i == m_levelVar && Known(value)) {
                    b.level = value;
                    b.hasLevel = true;
                }
                if (i == m_posnVar && Known(value)) {
                    b.position = value;
                    b.hasPosition = true;
                }
            }
            break;
        case 22:
            b.pass = RealOr(0.0);
            break;
        case 29:
            b.species = Line(28);
            break;
        case 30:
            b.transition = Line(10);
            Skip(1);
            break;
        case 31: {
            const std::string label = Line(31);
            Skip(1);
            ReadAbscissa(b, label);
            abscissa = true;
            break;
        }
        case 32:
            ReadCorrespondingVariables(b);
            break;
        case 34:
            b.dwell = CollectionTime();
            break;
        case 35:
            b.scans = Checked16(Int());
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
    if (!abscissa)
        Fail(IDS_ERR_VAMAS_NO_START);
    Skip(v.nBlkUpgrades);
    ReadOrdinates(b);
}

// Regions and levels from the blocks. The header's region count makes levels
// of its regions only when it divides the blocks and each region's blocks
// share their energy scale and length; otherwise (CasaXPS writes 0 regions,
// others a count that does not fit their blocks) every block is a region of
// its own, never a level drawn on another block's scale.
void CVamasReader::LayOut()
{
    CNorvale::Vamas& v = *m_vamas;
    CNorvale::Spectrum& s = *m_spec;
    const int64_t nBlocks = static_cast<int64_t>(m_blocks.size());
    bool grouped = m_nRgnsHeader >= 1 && nBlocks % m_nRgnsHeader == 0;
    for (int64_t k = m_nRgnsHeader; grouped && k < nBlocks; ++k) {
        const BlockRead& a = m_blocks[static_cast<size_t>(k)];
        const BlockRead& b = m_blocks[static_cast<size_t>(k % m_nRgnsHeader)];
        grouped = a.start == b.start && a.step == b.step && a.values.size() == b.values.size();
    }
    int64_t nRgns = grouped ? m_nRgnsHeader : nBlocks;
    // More blocks than regions can be, with no count that fits them (a depth
    // profile saved with 0 regions): the shortest cycle after which the
    // blocks repeat the same regions - name, transition, energy scale and
    // length - makes the regions, the repeats their levels.
    for (int64_t r = 1; !grouped && nRgns > MaxRegions && r <= MaxRegions; ++r) {
        bool cycle = nBlocks % r == 0;
        for (int64_t k = r; cycle && k < nBlocks; ++k) {
            const BlockRead& a = m_blocks[static_cast<size_t>(k)];
            const BlockRead& b = m_blocks[static_cast<size_t>(k % r)];
            cycle = a.species == b.species && a.transition == b.transition && a.start == b.start &&
                    a.step == b.step && a.values.size() == b.values.size();
        }
        if (cycle)
            nRgns = r;
    }
    // Some instruments write a profile region by region: every level of the
    // first region, then every level of the next. Such a file is runs of like
    // blocks of one length, a run to a region; the blocks are put level by level.
    if (!grouped && nRgns > MaxRegions) {
        auto alike = [](const BlockRead& a, const BlockRead& b) {
            return a.species == b.species && a.transition == b.transition && a.start == b.start &&
                   a.step == b.step && a.values.size() == b.values.size();
        };
        int64_t run = 1;
        while (run < nBlocks && alike(m_blocks[static_cast<size_t>(run)], m_blocks[0]))
            ++run;
        bool runs = run > 1 && nBlocks % run == 0 && nBlocks / run <= MaxRegions;
        for (int64_t k = run; runs && k < nBlocks; ++k)
            runs = alike(m_blocks[static_cast<size_t>(k)], m_blocks[static_cast<size_t>(k - k % run)]);
        if (runs) {
            nRgns = nBlocks / run;
            std::vector<BlockRead> byLevel(m_blocks.size());
            for (int64_t k = 0; k < nBlocks; ++k)
                byLevel[static_cast<size_t>((k % run) * nRgns + k / run)] =
                    std::move(m_blocks[static_cast<size_t>(k)]);
            m_blocks = std::move(byLevel);
        }
    }
    if (nRgns > MaxRegions)
        Fail(IDS_ERR_VAMAS_TOO_MANY_REGIONS);
    const int64_t nLevels = nBlocks / nRgns;
    if (nLevels > MaxCount16)
        Fail(IDS_ERR_VAMAS_ILLEGAL);
    v.nRgns = static_cast<int32_t>(nRgns);

    s.nRgns = static_cast<int16_t>(nRgns);
    s.nLevels = static_cast<int16_t>(nLevels);
    s.m_pRgns.assign(static_cast<size_t>(nRgns), CNorvale::SpecRgn{});
    s.m_pLevels.assign(static_cast<size_t>(nLevels), CNorvale::SpecLevel{});
    s.m_pProfRgn.assign(static_cast<size_t>(nRgns), CNorvale::ProfRgn{});
    for (int64_t l = 0; l < nLevels; ++l) {
        const BlockRead& b = m_blocks[static_cast<size_t>(l * nRgns)];
        CNorvale::SpecLevel& level = s.m_pLevels[static_cast<size_t>(l)];
        level.dTime = b.hasLevel ? b.level : static_cast<double>(l);
        level.fTime = static_cast<float>(level.dTime);
    }

    for (int64_t r = 0; r < nRgns; ++r) {
        CNorvale::SpecRgn& rgn = s.m_pRgns[static_cast<size_t>(r)];
        // A region's parameters are those of its last block.
        const BlockRead& b = m_blocks[static_cast<size_t>((nLevels - 1) * nRgns + r)];
        std::string species = b.species, transition = b.transition;
        SplitSpecies(species, transition);
        SetField(rgn.szElement, species);
        SetField(rgn.szRegion, transition);
        rgn.nLevels = static_cast<int32_t>(nLevels);
        rgn.nPts = static_cast<int16_t>(b.values.size());
        rgn.lOffset = s.lOffset;
        rgn.lSource = s.Source.lSource;
        rgn.dPass = b.pass;
        rgn.lPass_V = Round32(std::clamp(b.pass, -1e9, 1e9));
        rgn.dStart = b.start;
        rgn.dStep = b.step;
        rgn.lStart_RV = Checked32(rgn.EnergyToRetardVolts(b.start + m_dWorkFunction));
        rgn.lStep_RV = Round32(b.step * 1000.0);
        rgn.dDwell = b.dwell;
        rgn.iDwell = Clamp16(b.dwell);
        rgn.nScans = b.scans;
    }

    const std::string mode = FieldText(v.szExpMode);
    if (mode == "NORM" && nLevels > 1)
        s.iDataType = 16;
    else if (mode == "SDP" && StartsNoCase(FieldText(v.szExpVarLabel), "angle"))
        s.iDataType = 8;
    else if (mode == "SDP")
        s.iDataType = 4;
    else
        s.iDataType = 2;
    s.iMode = 256;
    if (nRgns == 1) {
        std::string wide;
        if (!TryLoadString(IDS_WIDE, wide))
            Fail(IDS_ERR_STRING);
        if (s.iDataType == 2 && EqualNoCase(FieldText(s.m_pRgns[0].szElement), wide)) {
            s.iDataType = 1;
            s.iMode = 0;
        }
    }

    s.AllocateDataArea();
    for (int64_t k = 0; k < nBlocks; ++k) {
        const CNorvale::SpecRgn& rgn = s.m_pRgns[static_cast<size_t>(k % nRgns)];
        const std::vector<double>& src = m_blocks[static_cast<size_t>(k)].values;
        double* dst = s.m_pdData.data() + rgn.nDataOffset + static_cast<size_t>(k / nRgns) * rgn.nPts;
        std::copy_n(src.begin(), std::min<size_t>(src.size(), static_cast<size_t>(rgn.nPts)), dst);
    }
    m_blocks.clear();
}

// The runs of blocks of one stage position each, where the file gives every
// block its position (this program's export of profiles and of several
// positions). Otherwise none: the blocks are one position with no number.
std::vector<std::pair<size_t, size_t>> CVamasReader::PositionRuns() const
{
    std::vector<std::pair<size_t, size_t>> runs;
    const bool all = !m_blocks.empty() && std::all_of(m_blocks.begin(), m_blocks.end(),
                                                      [](const BlockRead& b) { return b.hasPosition; });
    for (size_t k = 0; all && k < m_blocks.size(); ++k) {
        if (runs.empty() || m_blocks[k].position != m_blocks[runs.back().first].position)
            runs.emplace_back(k, k);
        runs.back().second = k + 1;
    }
    if (runs.size() > static_cast<size_t>(MaxCount16))
        runs.clear();
    return runs;
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
        SetField(s.szOperator, FieldText(v.szOperator));
        SetField(s.szComment, FieldText(v.szComment));
        // No reserve from the header's block count: a few header lines could
        // otherwise claim megabytes before a single block is read.
        for (int32_t k = 0; k < v.nBlocks; ++k) {
            BlockRead& b = m_blocks.emplace_back();
            if (k == 0 || v.nInclude == 0)
                ReadFullBlock(b, k == 0);
            else
                ReadListedBlock(b);
        }
        // Each stage position becomes a spectrum of its own, with what the
        // first block set for the whole file.
        auto runs = PositionRuns();
        const bool positions = !runs.empty();
        if (runs.empty())
            runs.emplace_back(0, m_blocks.size());
        std::vector<BlockRead> blocks = std::move(m_blocks);
        const CNorvale::FileSpectrum head = s;
        std::vector<std::unique_ptr<CNorvale::Spectrum>> spectra;
        for (size_t i = 0; i < runs.size(); ++i) {
            if (i > 0) {
                auto next = std::make_unique<CNorvale::Spectrum>();
                static_cast<CNorvale::FileSpectrum&>(*next) = head;
                next->m_csFilename = s.m_csFilename;
                next->m_bAuger = s.m_bAuger;
                next->m_bAugerDiff = s.m_bAugerDiff;
                next->m_bNoTimeOfDay = s.m_bNoTimeOfDay;
                next->m_wallTime = s.m_wallTime;
                m_spec = std::move(next);
            }
            m_blocks.assign(blocks.begin() + static_cast<std::ptrdiff_t>(runs[i].first),
                            blocks.begin() + static_cast<std::ptrdiff_t>(runs[i].second));
            // The header counts the regions of all positions' groups together;
            // a position's own are numbered in its blocks' identifiers.
            const int64_t header = m_nRgnsHeader;
            if (runs.size() > 1 && std::all_of(m_blocks.begin(), m_blocks.end(),
                                               [](const BlockRead& b) { return b.own && b.idRegion > 0; })) {
                m_nRgnsHeader = 0;
                for (const BlockRead& b : m_blocks)
                    m_nRgnsHeader = std::max<int64_t>(m_nRgnsHeader, b.idRegion);
            }
            LayOut();
            m_nRgnsHeader = header;
            m_spec->m_csGroup = blocks[runs[i].first].group;
            m_spec->m_csPosnComment = blocks[runs[i].first].comment;
            if (positions) {
                const double at = blocks[runs[i].first].position;
                m_spec->iPosn = std::fabs(at) <= MaxCount16 ? static_cast<int16_t>(std::lround(at))
                                                            : static_cast<int16_t>(i + 1);
            }
            if (runs.size() > 1) {
                m_spec->iSpec = static_cast<int16_t>(i);
                m_spec->nSpec = m_spec->nPos = static_cast<int16_t>(runs.size());
                m_spec->iDataType = static_cast<int16_t>(m_spec->iDataType | 0x100);
                m_spec->iPosMode = 0;
            }
            spectra.push_back(std::move(m_spec));
        }

        if (!TryLine(80))
            Fail(IDS_ERR_EOF);
        if (!EqualNoCase(m_line, "end of experiment"))
            Fail(IDS_ERR_VAMAS_UNREADABLE);

        for (size_t i = 1; i < spectra.size(); ++i)
            spectra[i]->m_pVamas = std::make_unique<CNorvale::Vamas>(*m_vamas);
        spectra[0]->m_pVamas = std::move(m_vamas);
        m_model.m_pSpec = std::move(spectra);
        m_model.m_FileHeader = CNorvale::FileHeader{};
        SetField(m_model.m_FileHeader.szProgName, "VAMAS");
        m_model.m_FileHeader.wVersion = 0;
        m_model.m_FileHeader.nSpec = static_cast<int16_t>(m_model.m_pSpec.size());
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

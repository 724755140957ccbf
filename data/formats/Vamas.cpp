#include "data/formats/Vamas.h"

#include "data/Experiment.h"
#include "data/IonGun.h"
#include "data/Source.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Trace.h"
#include "data/VeltraneDoc.h"
#include "data/formats/ImportErrors.h"
#include "data/formats/Norvale.h"
#include "data/formats/TextNumbers.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"
#include "platform/Settings.h"
#include "platform/Strings.h"
#include "platform/System.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <set>

namespace {

constexpr int IDS_IMAGE_NOT_VAMAS = 2091;
constexpr int IDS_NO_POSNS_NOT_VAMAS = 2092;
constexpr unsigned IDS_WRITE_ERROR = 61705; // "An unexpected error occurred while writing %1."

void PutLine(std::string& out, std::string_view text)
{
    out.append(text);
    out.append("\r\n");
}
// A one-line field: a line break in a name or a machine value would move
// every later line of the file, so it is written as a blank.
void PutText(std::string& out, std::string_view text)
{
    for (char c : text)
        out += c == '\r' || c == '\n' ? ' ' : c;
    out.append("\r\n");
}
void PutInt(std::string& out, long long v)
{
    PutLine(out, std::to_string(v));
}
// Shortest text that reads back to the same double: an export must not round
// the user's data.
void PutReal(std::string& out, double v)
{
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    PutLine(out, ec == std::errc() ? std::string_view(buf, static_cast<size_t>(end - buf)) : FormatG(v));
}
long long Trunc(double v)
{
    if (!std::isfinite(v) || std::fabs(v) > 9.2e18)
        return 0;
    return static_cast<long long>(std::trunc(v));
}

std::string LoadOr(unsigned id, const char* fallback)
{
    std::string s;
    return TryLoadString(id, s) ? s : std::string(fallback);
}

int LineCount(const std::string& text)
{
    return text.empty() ? 0 : 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// A stored comment with its lines ended by CR LF, as the file wants them.
std::string CommentLines(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n')
            out += "\r\n";
        else
            out += c;
    }
    return out;
}

} // namespace

CVamas::Environment CVamas::SystemEnvironment()
{
    Environment env;
    const std::string keyPath =
        LoadOr(1025, "Software\\Kestrin (UK) Ltd\\Veltrane\\1.0") + LoadOr(1027, "\\VAMAS");
    auto key = std::make_shared<CSettingsKey>(CSettingsKey::LocalMachine, keyPath);
    env.value = [key](const std::string& name, std::string& value) {
        return key->ReadString(name, value) && !value.empty();
    };
    env.userName = GetUserName();
    tzset();
    env.biasMinutes = static_cast<int>(timezone / 60);
    return env;
}

CVamas::CVamas(const CVeltraneDoc* pDoc, const Environment& env) : m_pDoc(pDoc)
{
    auto text = [&env](const char* name, const char* def) {
        std::string v;
        return env.value && env.value(name, v) ? v : std::string(def);
    };
    auto real = [&](const char* name, double def) {
        std::string v;
        if (!env.value || !env.value(name, v))
            return def;
        // Locale-free: a decimal comma locale must not cut "2.5" to 2. A NaN
        // or infinity is no number a VAMAS file can carry.
        const double d = TextNumbers::LineReal(v);
        return std::isfinite(d) ? d : def;
    };
    auto integer = [&](const char* name, int def) {
        std::string v;
        if (!env.value || !env.value(name, v))
            return def;
        return static_cast<int>(std::clamp<int64_t>(TextNumbers::LineInt(v), INT32_MIN, INT32_MAX));
    };

    const CExperiment& E = *pDoc->GetExperiment();
    const CSource& src = *pDoc->GetSource();
    const CStagePosn* P0 = pDoc->GetNumStagePosns() > 0 ? pDoc->GetStagePosn(0) : nullptr;

    m_Format = LoadOr(1074, "VAMAS Surface Chemical Analysis Standard Data Transfer Format 1988 May 4");
    m_Institute = text("Institute", "Unknown");
    m_Instrument = text("Instrument", "Unknown");
    m_Operator = env.userName;

    // Each comment line keeps what fits in 80 columns at two per character.
    const std::string& comment = E.GetComment();
    m_nComments = LineCount(comment);
    int column = 0;
    for (char c : comment) {
        if (c == '\r' || c == '\n') {
            column = 0;
            if (c == '\n')
                m_Comment += '\n';
            continue;
        }
        if (column <= 80) {
            m_Comment += c;
            column += 2;
        } else {
            column += 1;
        }
    }

    m_ExpMode = LoadOr(1220, "NORM");
    m_ScanMode = LoadOr(1224, "REGULAR");
    std::string kind = LoadOr(1181, "Unknown");
    std::string moveKind = kind;
    auto vars = [this](std::initializer_list<std::pair<const char*, const char*>> list) {
        for (const auto& [label, unit] : list) {
            m_VarLabels.emplace_back(label);
            m_VarUnits.emplace_back(unit);
        }
    };
    const int tech = E.GetTechnique();
    const int type = E.GetExpType();
    const int move = E.GetMoveType();
    const bool scan = type == CExperiment::Widescan || type == CExperiment::Narrowscan;
    const char* scanKind = type == CExperiment::Widescan ? "Wide scan" : "Narrow scan";
    int gridX = 0, gridY = 0;
    if (P0)
        P0->GetStageSize(gridX, gridY);
    if (tech == CExperiment::XPS) {
        static const char* moves[] = {"None", "Planar", "Normal", "Linear", "Memory", "Rotary"};
        if (move >= 0 && move <= 5)
            moveKind = moves[move];
        if (scan) {
            kind = scanKind;
            if (move == CExperiment::Planar) {
                m_ExpMode = "MAP";
                m_nAnalysisPosns = P0 ? P0->GetNumPoints(-1) : 0;
                m_nDiscreteX = gridX;
                m_nDiscreteY = gridY;
            } else if (move == CExperiment::Normal || move == CExperiment::Linear ||
                       move == CExperiment::Memory) {
                vars({{"Position", ""}});
            } else if (move == CExperiment::Rotary) {
                if (E.GetScanType() == CExperiment::Fast)
                    m_ScanMode = "IRREGULAR";
                vars({{"Position", ""}, {"Angle", "deg"}});
            }
        } else if (type == CExperiment::Profile || type == CExperiment::FastProfile) {
            const bool fast = E.GetScanType() == CExperiment::Fast;
            if (type == CExperiment::FastProfile)
                m_ScanMode = "IRREGULAR";
            switch (E.GetProfileType()) {
            case CExperiment::DepthProfile:
                kind = fast ? "Fast Profile" : "Depth Profile";
                m_ExpMode = fast ? "SDPSV" : "SDP";
                vars({{"Position", ""}, {"Time", "s"}});
                break;
            case CExperiment::AngleResolved:
            case CExperiment::TotalReflection:
                kind =
                    E.GetProfileType() == CExperiment::AngleResolved ? "Angle Resolved" : "Total Reflection";
                m_ExpMode = "NORM";
                vars({{"Position", ""}, {"Angle", "deg"}});
                break;
            default:
                break;
            }
        }
    } else if (tech == CExperiment::AES) {
        static const char* moves[] = {"None", "Point", "Area", "Full"};
        if (move >= 0 && move <= 3)
            moveKind = moves[move];
        auto areaVars = [&]() {
            if (move == CExperiment::AreaScan)
                vars({{"X0", "pixels"}, {"Y0", "pixels"}, {"X1", "pixels"}, {"Y1", "pixels"}});
        };
        if (type == CExperiment::FastProfile) {
            kind = "Fast Profile";
            m_ExpMode = "SDPSV";
            m_ScanMode = "IRREGULAR";
            vars({{"Time", "s"}});
            areaVars();
        } else if (scan) {
            kind = scanKind;
            if (move == CExperiment::Point) {
                m_ExpMode = "MAP";
                m_nAnalysisPosns = P0 ? P0->GetNumPoints(-1) : 0;
                m_nDiscreteX = m_nDiscreteY = E.GetSize();
            } else {
                areaVars();
            }
        } else if (type == CExperiment::Profile) {
            kind = "Depth Profile";
            vars({{"Time", "s"}});
            if (move == CExperiment::Point) {
                m_ExpMode = "MAP";
                m_nAnalysisPosns = pDoc->GetNumStagePosns();
                m_nDiscreteX = m_nDiscreteY = E.GetSize();
            } else {
                m_ExpMode = "SDP";
                areaVars();
            }
        }
    }
    m_ExpID = kind + " : " + moveKind;

    // A scan has no variable for its levels but the rotation's angle; one with
    // several levels (a series opened from another program's file) writes
    // their values as one more, where they are not just their numbers: the
    // import would otherwise number them.
    if (scan && !(tech == CExperiment::XPS && move == CExperiment::Rotary) && m_nAnalysisPosns == 0) {
        for (int i = 0; i < pDoc->GetNumStagePosns() && !m_bLevelVar; ++i) {
            const CStagePosn* p = pDoc->GetStagePosn(i);
            for (int l = 0; l < p->GetNumLevels() && !m_bLevelVar; ++l)
                m_bLevelVar = p->GetLevel(l)->GetValue() != static_cast<double>(l);
        }
        if (m_bLevelVar)
            vars({{"Level", ""}});
    }

    // The header has the region count for these modes only, whatever the scan
    // mode: a reader takes the line's presence from the mode alone.
    m_bRegionsLine = m_ExpMode == "MAP" || m_ExpMode == "MAPDP" || m_ExpMode == "NORM" || m_ExpMode == "SDP";
    if (m_bRegionsLine && P0) {
        std::set<std::string> groups{*P0->GetGroupName()};
        m_nRegions = P0->GetNumRgns();
        for (int i = 1; i < pDoc->GetNumStagePosns(); ++i) {
            const CStagePosn* p = pDoc->GetStagePosn(i);
            if (groups.insert(*p->GetGroupName()).second)
                m_nRegions += p->GetNumRgns();
        }
    }
    for (int i = 0; i < pDoc->GetNumStagePosns(); ++i) {
        const CStagePosn* p = pDoc->GetStagePosn(i);
        m_nBlocks += std::max(1, p->GetNumPoints(-1)) * p->GetNumLevels() * p->GetNumSpecRgns();
    }

    // An invalid time is not known; when it still holds a day (an import
    // that gave the date without the time of day) the date is written. What
    // is not known is -1, as the format has it.
    const COleDateTime* when = E.GetTime();
    const bool known = when->m_status == COleDateTime::valid;
    if (known || when->m_dt >= 1.0) {
        COleDateTime at = *when;
        if (!known)
            at.m_dt = std::floor(at.m_dt);
        const std::time_t t = static_cast<std::time_t>(std::llround(at.ToUnixTime()));
        std::tm tm{};
        gmtime_r(&t, &tm); // the OLE date holds the local wall time
        m_Year = tm.tm_year + 1900;
        m_Month = tm.tm_mon + 1;
        m_Day = tm.tm_mday;
        m_Hour = known ? tm.tm_hour : -1;
        m_Minute = known ? tm.tm_min : -1;
        m_Second = known ? tm.tm_sec : -1;
    } else {
        m_Hour = m_Minute = m_Second = -1;
    }
    m_GMT = -env.biasMinutes / 60;

    m_Technique = tech == CExperiment::AES   ? ((E.GetDetector() & 1) ? "AES diff" : "AES dir")
                  : tech == CExperiment::XPS ? "XPS"
                  : tech == CExperiment::UPS ? "UPS"
                                             : "";
    m_SourceLabel = src.GetSourceName();
    m_bDepthProfile = E.GetProfileType() == CExperiment::DepthProfile &&
                      (type == CExperiment::Profile || type == CExperiment::FastProfile);
    // A depth profile at analysis points carries the sputtering fields in
    // every block, which the plain map mode has no place for.
    if (m_bDepthProfile && m_ExpMode == "MAP")
        m_ExpMode = "MAPDP";
    if (m_bDepthProfile) {
        m_IonZ = integer("SputterIon", 18);
        m_IonN = integer("SputterAtoms", 1);
        m_IonQ = integer("SputterCharge", 1);
    }
    // A UPS spectrum is read on binding energy by its lamp's photon energy
    // too; a lamp has no tube power, so its strength stays not known.
    if (tech == CExperiment::UPS)
        m_SourceEnergy = src.GetEnergy();
    if (tech == CExperiment::XPS) {
        m_SourceEnergy = src.GetEnergy();
        m_SourceStrength = src.GetPower();
        m_BeamWidthX = real("SourceWidth_x", 1e37);
        m_BeamWidthY = real("SourceWidth_y", 1e37);
    }
    if (tech == CExperiment::XPS && move == CExperiment::Planar) {
        m_FieldX = m_nDiscreteX * 1000.0 - 1000.0;
        m_FieldY = m_nDiscreteY * 1000.0 - 1000.0;
    } else if (tech == CExperiment::AES && type != CExperiment::FastProfile) {
        const double mag = E.GetMag() != 0.0 ? E.GetMag() : 1.0;
        m_FieldX = real("FieldWidth_x", 1e-05) / mag;
        m_FieldY = real("FieldWidth_y", 1e-05) / mag;
    }
    if (tech == CExperiment::AES) {
        const int s = E.GetSize();
        const int ls[6] = {1, 1, s, 1, s, s};
        std::copy(ls, ls + 6, m_Linescan);
    }
    m_SrcPolar = real("AnalysisSourcePolarAngle", 56);
    m_SrcAzimuth = real("AnalysisAzimuthalAngle", 90);
    m_Mag = real("AnalyserMag", 1);
    m_AnalysisWidthX = real("AnalysisWidth_x", 1);
    m_AnalysisWidthY = real("AnalysisWidth_y", 1);
    m_TakeOffPolar = real("AnalyserPolarAngle", 0);
    m_TakeOffAzimuth = real("AnalyserAzimuthalAngle", 0);
    m_SignalMode = text("SignalMode", "pulse counting");
    m_DiffWidth = 1;
    m_WorkFunction = E.GetOffset();
    m_TargetBias = 1e37;
    m_SputterMode = LoadOr(1235, "Cyclic");
    if (m_bDepthProfile) {
        const CIonGun& gun = *pDoc->GetIonGun();
        if (gun.GetType() == CIonGun::HSIG) {
            m_SputterEnergy = gun.GetPreset() * 100.0 + 300.0;
            m_SputterPolar = real("HSIGSourcePolarAngle", 0);
            m_SputterAzimuth = real("HSIGSourceAzimuthalAngle", 0);
        } else {
            m_SputterPolar = real("MIEDSourcePolarAngle", 45);
            m_SputterAzimuth = real("MIEDSourceAzimuthalAngle", 0);
        }
    }
}

// The pass energy or retard ratio line of a region, as written.
static double PassWritten(const CStagePosn& p, const CSpecRgn& g)
{
    if (p.GetAnalyserMode() == CStagePosn::CAE)
        return g.GetAnalyserEnergy();
    if (g.GetRetardRatio() == "Low")
        return 5.8;
    if (g.GetRetardRatio() == "High")
        return 20;
    if (g.GetRetardRatio().empty() && g.GetAnalyserEnergy() != 0.0)
        return g.GetAnalyserEnergy();
    return 1e37;
}

namespace {

// The reader takes 1E37 and above for "not known": a value there would come
// back as another.
bool Known(double v)
{
    return std::fabs(v) < 0.99999e37;
}
// Whether v rounded to a whole number fits a 32-bit field, as the reader
// keeps energies in meV and powers in units of 10 mW.
bool Fits32(double v)
{
    const double r = std::round(v);
    return r >= static_cast<double>(INT32_MIN) && r <= static_cast<double>(INT32_MAX);
}

constexpr int MaxRegions = 24;       // a file's regions, as the reader lays them out
constexpr int MaxCount16 = 32767;    // levels, points and scans: 16-bit counts
constexpr int MaxCommentLines = 128; // of a block

constexpr unsigned IDS_VALUE_NOT_VAMAS = 2093;
constexpr unsigned IDS_VAMAS_SOURCE_ENERGY = 2400;
constexpr unsigned IDS_VAMAS_SOURCE_POWER = 2401;
constexpr unsigned IDS_VAMAS_WORK_FUNCTION = 2402;
constexpr unsigned IDS_VAMAS_SPUTTER_ION = 2403;
constexpr unsigned IDS_VAMAS_PASS = 2404;
constexpr unsigned IDS_VAMAS_ENERGIES = 2405;
constexpr unsigned IDS_VAMAS_DWELL = 2406;
constexpr unsigned IDS_VAMAS_SCANS = 2407;
constexpr unsigned IDS_VAMAS_POINTS = 2408;
constexpr unsigned IDS_VAMAS_LEVEL = 2409;
constexpr unsigned IDS_VAMAS_COMMENT = 2410;
constexpr unsigned IDS_VAMAS_REGIONS = 2411;
constexpr unsigned IDS_VAMAS_LEVELS = 2412;
constexpr unsigned IDS_VAMAS_LAYOUT = 2413;

} // namespace

// What the file would hold that the reader refuses or reads as another value
// (a file written from a document converted from another program's data can
// hold numbers no acquisition makes): the name of the first such value, or
// empty.
std::string CVamas::ValueOutOfRange() const
{
    const CExperiment& E = *m_pDoc->GetExperiment();
    const int tech = E.GetTechnique();
    const int type = E.GetExpType();
    const int move = E.GetMoveType();
    auto name = [](unsigned id, std::initializer_list<std::string_view> args) {
        return FormatMessageId(id, args);
    };

    if ((tech == CExperiment::XPS || tech == CExperiment::UPS) &&
        !(std::isfinite(m_SourceEnergy) && Fits32(m_SourceEnergy * 1000.0)))
        return name(IDS_VAMAS_SOURCE_ENERGY, {});
    if (tech == CExperiment::XPS &&
        !(std::isfinite(m_SourceStrength) && m_SourceStrength >= 0.0 && Fits32(m_SourceStrength / 0.01)))
        return name(IDS_VAMAS_SOURCE_POWER, {});
    if (!(std::isfinite(m_WorkFunction) && Fits32(m_WorkFunction * 1000.0)))
        return name(IDS_VAMAS_WORK_FUNCTION, {});
    if (m_bDepthProfile && (m_IonZ < 1 || m_IonZ > 103 || m_IonN < 1))
        return name(IDS_VAMAS_SPUTTER_ION, {});

    // The work function as the reader keeps it, in meV.
    const double offsetRead = std::round(m_WorkFunction * 1000.0);
    const bool profile = type == CExperiment::Profile || type == CExperiment::FastProfile;
    const bool scan = type == CExperiment::Widescan || type == CExperiment::Narrowscan;
    const bool levelsWritten =
        m_bLevelVar || (tech == CExperiment::AES && profile) ||
        (tech == CExperiment::XPS && (profile || (scan && move == CExperiment::Rotary)));
    for (int i = 0; i < m_pDoc->GetNumStagePosns(); ++i) {
        const CStagePosn& p = *m_pDoc->GetStagePosn(i);
        const std::string posn = std::to_string(i + 1);
        if (LineCount(*p.GetComment()) > MaxCommentLines)
            return name(IDS_VAMAS_COMMENT, {posn});
        if (p.GetNumSpecRgns() > MaxRegions)
            return name(IDS_VAMAS_REGIONS, {posn});
        if (p.GetNumLevels() > MaxCount16)
            return name(IDS_VAMAS_LEVELS, {posn});
        for (int l = 0; levelsWritten && l < p.GetNumLevels(); ++l)
            if (!Known(p.GetLevel(l)->GetValue()))
                return name(IDS_VAMAS_LEVEL, {std::to_string(l + 1), posn});
        for (int r = 0; r < p.GetNumSpecRgns(); ++r) {
            const CSpecRgn& g = *p.GetSpecRgn(r);
            const std::string rgn = g.GetName();
            const double pass = PassWritten(p, g);
            if (std::isnan(pass))
                return name(IDS_VAMAS_PASS, {rgn, posn});
            if (m_ScanMode == "REGULAR") {
                const double start = g.CRegion::GetStart() + (g.GetOffset() - m_WorkFunction);
                const double step = g.CRegion::GetStep();
                if (!(std::fabs(start) < 1e9 && std::fabs(step) < 1e9 && Fits32(step * 1000.0)))
                    return name(IDS_VAMAS_ENERGIES, {rgn, posn});
                // The start in the reader's retarding volts (meV), less its
                // pass energy in whole volts: a huge pass energy is what moves
                // an ordinary start out of the field.
                const double passRead = Known(pass) ? std::round(std::clamp(pass, -1e9, 1e9)) : 0.0;
                const double retard =
                    std::trunc((start + offsetRead / 1000.0) * 1000.0) + 120000.0 - offsetRead;
                if (!Fits32(retard - 1000.0 * passRead))
                    return name(Fits32(retard) ? IDS_VAMAS_PASS : IDS_VAMAS_ENERGIES, {rgn, posn});
            }
            const double dwell = g.GetDwell() / 1000.0;
            if (!(std::isfinite(dwell) && Known(dwell)))
                return name(IDS_VAMAS_DWELL, {rgn, posn});
            if (g.GetNumScans() < INT16_MIN || g.GetNumScans() > INT16_MAX)
                return name(IDS_VAMAS_SCANS, {rgn, posn});
            if (g.GetNumValues() < 1 || g.GetNumValues() > MaxCount16)
                return name(IDS_VAMAS_POINTS, {rgn, posn});
        }
    }
    return {};
}

int CVamas::CanWrite(std::string* what) const
{
    // Image values have no ordinate form in this writer.
    if (m_pDoc->GetExperiment()->GetDataType() & CExperiment::ImageData)
        return IDS_IMAGE_NOT_VAMAS;
    for (int i = 0; i < m_pDoc->GetNumStagePosns(); ++i)
        if (m_pDoc->GetStagePosn(i)->GetNumImageRgns() > 0)
            return IDS_IMAGE_NOT_VAMAS;
    if (m_pDoc->GetNumStagePosns() == 0 || m_nBlocks == 0)
        return IDS_NO_POSNS_NOT_VAMAS;
    std::string value = ValueOutOfRange();
    if (value.empty()) {
        // Every value fits; the blocks must also lay out again as positions,
        // levels and regions (several positions without a position number in
        // their blocks are read as one, whose regions may be too many). Maps,
        // fast profiles and UPS are written for other programs, which read
        // what this program's reader does not.
        const std::string text = Write();
        CMemFile file(text.data(), text.size(), "export.npl");
        CNorvale model;
        const int read = model.ReadVamas(file);
        if (read != 0 && read != IDS_ERR_VAMAS_UNSUPPORTED && read != IDS_ERR_VAMAS_NOT_XPS_AES)
            value = FormatMessageId(IDS_VAMAS_LAYOUT, {});
    }
    if (!value.empty()) {
        if (what)
            *what = std::move(value);
        return static_cast<int>(IDS_VALUE_NOT_VAMAS);
    }
    return 0;
}

std::string CVamas::Refusal(const std::string& title) const
{
    std::string what;
    const int id = CanWrite(&what);
    if (id == 0)
        return {};
    return FormatMessageId(static_cast<unsigned>(id), {title, what});
}

std::string CVamas::Write() const
{
    std::string out;
    out.reserve(4096);
    for (const std::string* s : {&m_Format, &m_Institute, &m_Instrument, &m_Operator, &m_ExpID})
        PutText(out, *s);
    PutInt(out, m_nComments);
    if (m_nComments != 0)
        PutLine(out, CommentLines(m_Comment));
    PutLine(out, m_ExpMode);
    PutLine(out, m_ScanMode);
    if (m_bRegionsLine)
        PutInt(out, m_nRegions);
    if (m_nAnalysisPosns != 0) {
        PutInt(out, m_nAnalysisPosns);
        PutInt(out, m_nDiscreteX);
        PutInt(out, m_nDiscreteY);
    }
    PutInt(out, static_cast<long long>(m_VarLabels.size()));
    for (size_t i = 0; i < m_VarLabels.size(); ++i) {
        PutText(out, m_VarLabels[i]);
        PutText(out, m_VarUnits[i]);
    }
    for (int zero = 0; zero < 4; ++zero)
        PutInt(out, 0);
    PutInt(out, m_nBlocks);
    int n = 0;
    for (int i = 0; i < m_pDoc->GetNumStagePosns(); ++i) {
        const CStagePosn* p = m_pDoc->GetStagePosn(i);
        const int points = std::max(1, p->GetNumPoints(-1));
        for (int j = 0; j < points; ++j)
            for (int k = 0; k < p->GetNumLevels(); ++k)
                for (int r = 0; r < p->GetNumSpecRgns(); ++r)
                    WriteBlock(out, n++, i, j, k, points < 2 ? k : j, r);
    }
    out.append("end of experiment");
    return out;
}

void CVamas::WriteBlock(std::string& out, int n, int iPosn, int iPoint, int iLevel, int iTrace,
                        int iRegion) const
{
    const CExperiment& E = *m_pDoc->GetExperiment();
    const CStagePosn& p = *m_pDoc->GetStagePosn(iPosn);
    const CSpecRgn& g = *p.GetSpecRgn(iRegion);
    const int tech = E.GetTechnique();
    const int type = E.GetExpType();
    const int move = E.GetMoveType();
    const double level = iLevel < p.GetNumLevels() ? p.GetLevel(iLevel)->GetValue() : 0.0;

    const int serial = n + 1;
    const char* suffix = serial == 1 ? "st" : serial == 2 ? "nd" : serial == 3 ? "rd" : "th";
    PutLine(out, std::to_string(serial) + suffix + " block id, " + std::to_string(iPosn + 1) + ", " +
                     std::to_string(iPoint + 1) + ", " + std::to_string(iLevel + 1) + ", " +
                     std::to_string(iRegion + 1));
    PutText(out, "sample id: " + *p.GetGroupName());
    for (int v : {m_Year, m_Month, m_Day, m_Hour, m_Minute, m_Second, m_GMT})
        PutInt(out, v);
    const std::string& comment = *p.GetComment();
    PutInt(out, LineCount(comment));
    if (!comment.empty())
        PutLine(out, CommentLines(comment));
    PutLine(out, m_Technique);

    const bool profile = type == CExperiment::Profile || type == CExperiment::FastProfile;
    const bool scan = type == CExperiment::Widescan || type == CExperiment::Narrowscan;
    auto coord = [&](int axis) { PutInt(out, Trunc(p.GetCoord(axis, iPoint))); };
    if (tech == CExperiment::XPS) {
        if (profile) {
            PutInt(out, p.GetPosnNum());
            PutReal(out, level);
        } else if (scan && move == CExperiment::Planar) {
            PutInt(out, Trunc(p.GetCoord(0, iPoint) * 1000.0));
            PutInt(out, Trunc(p.GetCoord(1, iPoint) * 1000.0));
        } else if (scan && (move == CExperiment::Normal || move == CExperiment::Memory)) {
            PutInt(out, p.GetPosnNum());
        } else if (scan && move == CExperiment::Linear) {
            coord(0);
        } else if (scan && move == CExperiment::Rotary) {
            PutInt(out, p.GetPosnNum());
            PutReal(out, level);
        }
    } else if (tech == CExperiment::AES) {
        if (profile && move == CExperiment::Point) {
            coord(0);
            coord(1);
            PutReal(out, level);
        } else if (profile && move == CExperiment::AreaScan) {
            PutReal(out, level);
            for (int a = 0; a < 4; ++a)
                coord(a);
        } else if (profile) {
            PutReal(out, level);
        } else if (scan && move == CExperiment::Point) {
            coord(0);
            coord(1);
        } else if (scan && move == CExperiment::AreaScan) {
            for (int a = 0; a < 4; ++a)
                coord(a);
        }
    }
    if (m_bLevelVar)
        PutReal(out, level);
    PutText(out, m_SourceLabel);
    if (m_bDepthProfile) {
        PutInt(out, m_IonZ);
        PutInt(out, m_IonN);
        PutInt(out, m_IonQ);
    }
    for (double v : {m_SourceEnergy, m_SourceStrength, m_BeamWidthX, m_BeamWidthY})
        PutReal(out, v);
    const std::string& mode = m_ExpMode;
    if (mode == "SEM" || mode == "MAP" || mode == "MAPDP" || mode == "MAPSV" || mode == "MAPSVDP") {
        PutReal(out, m_FieldX);
        PutReal(out, m_FieldY);
        if (mode == "SEM" || mode == "MAPSV" || mode == "MAPSVDP")
            for (int v : m_Linescan)
                PutInt(out, v);
    }
    PutReal(out, m_SrcPolar);
    PutReal(out, m_SrcAzimuth);
    // An imported file's retard ratio without its name is kept as a number.
    PutLine(out, p.GetAnalyserMode() == CStagePosn::CAE ? "FAT" : "FRR");
    PutReal(out, PassWritten(p, g));
    if (m_Technique == "AES diff")
        PutReal(out, m_DiffWidth);
    for (double v : {m_Mag, m_WorkFunction, m_TargetBias, m_AnalysisWidthX, m_AnalysisWidthY, m_TakeOffPolar,
                     m_TakeOffAzimuth})
        PutReal(out, v);
    PutText(out, g.GetName());
    PutText(out, g.GetRegion());
    PutInt(out, -1);
    if (m_ScanMode == "REGULAR") {
        PutLine(out, "kinetic energy");
        PutLine(out, "eV");
        // The reader shows a kinetic start with the work function added: a
        // region offset beyond it (a charge correction) goes into the start,
        // or the file would show the peaks where they were before.
        PutReal(out, g.CRegion::GetStart() + (g.GetOffset() - m_WorkFunction));
        PutReal(out, g.CRegion::GetStep());
    }
    PutInt(out, 1);
    PutLine(out, "arb. units");
    PutLine(out, "d");
    PutText(out, m_SignalMode);
    PutReal(out, g.GetDwell() / 1000.0);
    PutInt(out, g.GetNumScans());
    PutReal(out, 0.0);
    if (m_bDepthProfile) {
        for (double v : {m_SputterEnergy, m_SputterCurrent, m_SputterWidthX, m_SputterWidthY, m_SputterPolar,
                         m_SputterAzimuth})
            PutReal(out, v);
        PutText(out, m_SputterMode);
    }
    const bool rotary = tech == CExperiment::XPS && move == CExperiment::Rotary;
    PutReal(out, 0.0);
    PutReal(out, rotary ? level : 0.0);
    PutReal(out, 0.0);
    PutInt(out, 0);

    const int count = g.GetNumValues();
    PutInt(out, count);
    const CTrace* t = iTrace < g.GetNumTraces() ? g.GetTrace(iTrace) : nullptr;
    PutReal(out, t ? t->GetMinValue() : 0.0);
    PutReal(out, t ? t->GetMaxValue() : 0.0);
    const double* data = t ? t->GetData() : nullptr;
    const int have = t ? t->GetNumPoints() : 0;
    for (int i = 0; i < count; ++i)
        PutReal(out, data && i < have ? data[i] : 0.0);
}

bool SaveDocumentAsVamas(const CVeltraneDoc& doc, const std::string& path)
{
    CVamas writer(&doc);
    if (const std::string refusal = writer.Refusal(doc.GetTitle()); !refusal.empty()) {
        AfxMessageBox(refusal, MB_OK | MB_ICONERROR);
        return false;
    }
    const std::string text = writer.Write();
    // Through a temporary file, so a failed write never cuts a file being replaced.
    try {
        CAtomicFileWriter out(path);
        out.File().Write(text.data(), text.size());
        out.Commit();
    } catch (const CFileException&) {
        AfxMessageBox(FormatMessageId(IDS_WRITE_ERROR, {path}), MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

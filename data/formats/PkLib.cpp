#include "data/formats/PkLib.h"

#include "data/formats/TextNumbers.h"
#include "platform/Strings.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace {

enum : unsigned
{
    IDS_PKLIB_FILE = 1264,
    IDS_PKLIB_PHYSICAL = 1265,
    IDS_PKLIB_PHOTO = 1266,
    IDS_PKLIB_AUGER = 1268,
    IDS_PKLIB_PHOTO_FORMAT = 1269,
    IDS_PKLIB_AUGER_FORMAT = 1270,
    IDS_SPACE = 1150,
};
constexpr int ERR_STRING = 2048;
constexpr int ERR_OPEN = 2078;
constexpr int ERR_INCOMPLETE = 2079;

// One line without its line end and trailing blanks: files written on
// Windows keep a CR, and a hand-edited line often ends in spaces or a tab;
// neither may spoil the comparison with a section header or a region name.
bool NextLine(std::istream& in, std::string& line)
{
    if (!std::getline(in, line))
        return false;
    line.erase(line.find_last_not_of(" \t\r") + 1);
    return true;
}

struct PhotoLine
{
    int64_t index;
    double energy, mgX, alX, mgAsymm, alAsymm;
};

std::optional<PhotoLine> ScanPhotoLine(std::string_view text)
{
    PhotoLine p{};
    auto index = TextNumbers::ScanInt(text);
    if (!index)
        return std::nullopt;
    p.index = *index;
    double* fields[] = {&p.energy, nullptr, &p.mgX, &p.alX, &p.mgAsymm, &p.alAsymm};
    for (double* field : fields) {
        auto v = TextNumbers::ScanReal(text);
        if (!v)
            return std::nullopt;
        if (field)
            *field = *v;
    }
    return p;
}

struct AugerLine
{
    int64_t index;
    double energy;
    int64_t intensity;
};

std::optional<AugerLine> ScanAugerLine(std::string_view text)
{
    auto index = TextNumbers::ScanInt(text);
    if (!index)
        return std::nullopt;
    auto energy = TextNumbers::ScanReal(text);
    if (!energy)
        return std::nullopt;
    auto intensity = TextNumbers::ScanInt(text);
    if (!intensity)
        return std::nullopt;
    return AugerLine{*index, *energy, *intensity};
}

bool InIntRange(int64_t v)
{
    return v >= -2147483647 && v <= 2147483647;
}

// Numbers a quantification can use: a cross-section is no less than 0 and an
// asymmetry parameter no less than -1, so that no factor comes out negative;
// an infinity or NaN in any field would spread through every level.
bool IsUsable(const PhotoLine& p)
{
    return std::isfinite(p.energy) && std::isfinite(p.mgX) && std::isfinite(p.alX) && p.mgX >= 0.0 &&
           p.alX >= 0.0 && std::isfinite(p.mgAsymm) && std::isfinite(p.alAsymm) && p.mgAsymm >= -1.0 &&
           p.alAsymm >= -1.0;
}

} // namespace

const CPkLibPeak* CPkLibElement::GetPeak(int i) const
{
    if (i < 0)
        return nullptr;
    if (i < GetNumPhotoPeaks())
        return &m_XrayPeaks[static_cast<size_t>(i)];
    return GetAugerPeak(i - GetNumPhotoPeaks());
}

const CPkLibPeak* CPkLibElement::GetAugerPeak(int i) const
{
    if (i < 0 || i >= GetNumAugerPeaks())
        return nullptr;
    return &m_AugerPeaks[static_cast<size_t>(i)];
}

int CPkLibElement::GetPeakIndex(const std::string& region) const
{
    for (int i = 0; i < GetNumPhotoPeaks(); ++i)
        if (m_XrayPeaks[static_cast<size_t>(i)].m_csRegion == region)
            return i;
    // An Auger peak by its place in the Auger list: region records store this
    // index and files written so far rely on it. It is not GetPeak's
    // numbering, so a photoelectron factor must never be looked up with it.
    for (int i = 0; i < GetNumAugerPeaks(); ++i)
        if (m_AugerPeaks[static_cast<size_t>(i)].m_csRegion == region)
            return i;
    return -1;
}

int CPkLib::LoadLibraryA()
{
    std::string fileName;
    if (!TryLoadString(IDS_PKLIB_FILE, fileName))
        return ERR_STRING;
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::filesystem::path dir = ec ? std::filesystem::current_path(ec) : exe.parent_path();
    return LoadFromPath((dir / fileName).string());
}

int CPkLib::LoadFromPath(const std::string& path)
{
    // A folder opens as a stream here and reads as an empty library; it is
    // no library file at all.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return ERR_OPEN;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ERR_OPEN;
    // A library file cut short to nothing, or to its region names, loads
    // without a fault but leaves no element to quantify with: the start says
    // so instead of every later quantification finding no factor.
    const int before = GetSize();
    const int result = Load(in);
    return result == 0 && GetSize() == before ? ERR_INCOMPLETE : result;
}

int CPkLib::Load(std::istream& in)
{
    std::string physical, photo, auger, space, format;
    if (!TryLoadString(IDS_PKLIB_PHYSICAL, physical) || !TryLoadString(IDS_PKLIB_PHOTO, photo) ||
        !TryLoadString(IDS_PKLIB_AUGER, auger) || !TryLoadString(IDS_PKLIB_PHOTO_FORMAT, format) ||
        !TryLoadString(IDS_PKLIB_AUGER_FORMAT, format) || !TryLoadString(IDS_SPACE, space) ||
        !TryLoadString(IDS_PKLIB_FILE, format) || space.empty())
        return ERR_STRING;

    std::vector<std::string> names;
    std::string line;
    for (bool first = true; NextLine(in, line); first = false) {
        // An editor that saves UTF-8 may put a byte-order mark in front of the
        // first region name.
        if (first && line.starts_with("\xEF\xBB\xBF"))
            line.erase(0, 3);
        if (line.empty())
            break;
        names.push_back(line);
    }

    auto regionName = [&names](int64_t index, std::string& name) {
        if (index < 1 || index > static_cast<int64_t>(names.size()))
            return false;
        name = names[static_cast<size_t>(index - 1)];
        return true;
    };

    bool haveLine = false; // an Auger list ended on a line that may be the next header
    for (;;) {
        if (!haveLine && !NextLine(in, line))
            return 0;
        haveLine = false;
        if (line != physical)
            continue;

        CPkLibElement element;
        if (!NextLine(in, line))
            return ERR_INCOMPLETE;
        // Name and symbol are parted by blanks, spaces or tabs.
        const std::string blanks = space + "\t";
        const size_t cut = line.find_first_of(blanks);
        element.m_csName = line.substr(0, cut);
        std::string rest = cut == std::string::npos ? std::string() : line.substr(cut);
        rest.erase(0, rest.find_first_not_of(blanks));
        element.m_csSymbol = rest.substr(0, rest.find_first_of(blanks));

        do {
            if (!NextLine(in, line))
                return ERR_INCOMPLETE;
        } while (line != photo);

        for (;;) {
            if (!NextLine(in, line))
                return ERR_INCOMPLETE;
            auto p = ScanPhotoLine(line);
            if (!p)
                break;
            if (!InIntRange(p->index) || !IsUsable(*p))
                return ERR_INCOMPLETE;
            CPkLibPeak peak;
            peak.m_bDefaultPeak = p->index < 0 ? 1 : 0;
            const int64_t index = p->index < 0 ? -p->index : p->index;
            if (!regionName(index, peak.m_csRegion))
                return ERR_INCOMPLETE;
            peak.m_eType = CPkLibPeak::Xray;
            peak.m_dPeak = p->energy;
            peak.m_dMgX = p->mgX;
            peak.m_dAlX = p->alX;
            peak.m_dMgAsymm = p->mgAsymm;
            peak.m_dAlAsymm = p->alAsymm;
            peak.m_nIntensity = 1;
            element.m_XrayPeaks.push_back(std::move(peak));
        }
        if (element.m_XrayPeaks.empty())
            return ERR_INCOMPLETE;
        while (line != auger) {
            if (!NextLine(in, line))
                return ERR_INCOMPLETE;
        }
        bool more = true;
        for (;;) {
            if (!NextLine(in, line)) {
                // The Auger list is complete at the end of the file as well.
                more = false;
                break;
            }
            auto a = ScanAugerLine(line);
            if (!a)
                break;
            if (!InIntRange(a->index) || !std::isfinite(a->energy))
                return ERR_INCOMPLETE;
            CPkLibPeak peak;
            // A negative index marks the element's default Auger line, as it does a photoelectron line.
            peak.m_bDefaultPeak = a->index < 0 ? 1 : 0;
            if (!regionName(a->index < 0 ? -a->index : a->index, peak.m_csRegion) ||
                !InIntRange(a->intensity))
                return ERR_INCOMPLETE;
            peak.m_eType = CPkLibPeak::Auger;
            peak.m_dPeak = a->energy;
            peak.m_nIntensity = static_cast<int>(a->intensity);
            element.m_AugerPeaks.push_back(std::move(peak));
        }
        m_Elements.push_back(std::move(element));
        if (!more)
            return 0;
        haveLine = true;
    }
}

const CPkLibElement* CPkLib::GetElement(int i) const
{
    if (i < 0 || i >= GetSize())
        return nullptr;
    return &m_Elements[static_cast<size_t>(i)];
}

const CPkLibElement* CPkLib::GetElement(const std::string& symbol) const
{
    for (const CPkLibElement& e : m_Elements)
        if (e.m_csSymbol == symbol)
            return &e;
    return nullptr;
}

void CPkLib::GetElementList(std::string& list, const std::string& sep) const
{
    for (const CPkLibElement& e : m_Elements) {
        list += e.m_csSymbol;
        list += sep;
    }
}

void CPkLib::GetElementList(std::list<std::string>& list) const
{
    list.clear();
    for (const CPkLibElement& e : m_Elements)
        list.push_back(e.m_csSymbol);
}

double CPkLib::CalculateRSF(const CPkLibElement* pElement, int iPeak, int sourceType,
                            double photonEnergy) const
{
    if (!(sourceType & 0x02) || iPeak < 0 || !pElement)
        return 1.0;
    const CPkLibPeak* peak = pElement->GetPeak(iPeak);
    if (!peak)
        return 1.0;
    if (peak->m_eType == CPkLibPeak::Auger)
        return 0.0;

    double CPkLibPeak::*cross = nullptr;
    double CPkLibPeak::*asymm = nullptr;
    if (sourceType == 18) {
        cross = &CPkLibPeak::m_dAlX;
        asymm = &CPkLibPeak::m_dAlAsymm;
    } else if (sourceType == 10) {
        cross = &CPkLibPeak::m_dMgX;
        asymm = &CPkLibPeak::m_dMgAsymm;
    } else {
        return 1.0;
    }
    // The electron leaves with E - BE; a peak the source cannot excite has no
    // meaningful factor (and a negative base has no real power).
    const double kinetic = photonEnergy - peak->m_dPeak;
    if (!(kinetic > 0.0))
        return 1.0;

    const double A = 1.0 + 0.01547747 * (peak->*asymm);
    const auto& photo = pElement->GetPhotoPeaks();
    // Unresolved spin-orbit partners (same energy, same shell) make one peak,
    // whose area holds the photoelectrons of both: each takes their summed
    // cross-section.
    auto partner = [&](int j) {
        const CPkLibPeak& q = photo[static_cast<size_t>(j)];
        return q.m_dPeak == peak->m_dPeak && q.m_csRegion.compare(0, 2, peak->m_csRegion, 0, 2) == 0;
    };
    double S = 0.0;
    if (iPeak > 0 && partner(iPeak - 1))
        S = (peak->*cross) + (photo[static_cast<size_t>(iPeak - 1)].*cross);
    if (S == 0.0 && iPeak < pElement->GetNumPhotoPeaks() - 1 && partner(iPeak + 1))
        S = (peak->*cross) + (photo[static_cast<size_t>(iPeak + 1)].*cross);
    if (S == 0.0)
        S = peak->*cross;
    const double p = 0.7 - 0.5;
    return std::pow(kinetic, p) * (A * S);
}

bool CPkLib::OutputLibrary(const std::string& path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    auto put = [&out](std::string text) {
        if (text.size() > 127)
            text.resize(127);
        out << text;
    };
    for (const CPkLibElement& e : m_Elements) {
        put(FormatPrintf("%s %s\n", e.m_csName.c_str(), e.m_csSymbol.c_str()));
        for (const auto* peaks : {&e.m_XrayPeaks, &e.m_AugerPeaks})
            for (const CPkLibPeak& p : *peaks)
                put(FormatPrintf("%5i %5s %12f %12f %12f %12f %12f %i\n", p.m_bDefaultPeak,
                                 p.m_csRegion.c_str(), p.m_dPeak, p.m_dMgX, p.m_dAlX, p.m_dMgAsymm,
                                 p.m_dAlAsymm, p.m_nIntensity));
    }
    out.flush();
    return static_cast<bool>(out);
}

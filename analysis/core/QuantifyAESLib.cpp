#include "analysis/core/QuantifyAESLib.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

void SkipBlanks(std::string_view s, size_t& at)
{
    while (at < s.size() && IsBlank(s[at]))
        ++at;
}

std::string_view Token(std::string_view s, size_t& at)
{
    SkipBlanks(s, at);
    const size_t from = at;
    while (at < s.size() && !IsBlank(s[at]))
        ++at;
    return s.substr(from, at - from);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A decimal number at 'at' after blanks, in the C locale's form whatever the
// process locale; the position moves past it. No inf, nan or hexadecimal.
bool ReadDouble(std::string_view s, size_t& at, double& v)
{
    size_t p = at;
    SkipBlanks(s, p);
    size_t q = p;
    if (q < s.size() && (s[q] == '+' || s[q] == '-'))
        ++q;
    if (q >= s.size() || !(IsDigit(s[q]) || (s[q] == '.' && q + 1 < s.size() && IsDigit(s[q + 1]))))
        return false;
    const size_t begin = s[p] == '+' ? p + 1 : p;
    double value = 0.0;
    const auto r = std::from_chars(s.data() + begin, s.data() + s.size(), value,
                                   std::chars_format::fixed | std::chars_format::scientific);
    if (r.ec != std::errc() || !std::isfinite(value))
        return false;
    v = value;
    at = static_cast<size_t>(r.ptr - s.data());
    return true;
}

bool ReadInt(std::string_view s, size_t& at, int& v)
{
    size_t p = at;
    SkipBlanks(s, p);
    if (p < s.size() && s[p] == '+')
        ++p;
    const auto r = std::from_chars(s.data() + p, s.data() + s.size(), v);
    if (r.ec != std::errc())
        return false;
    at = static_cast<size_t>(r.ptr - s.data());
    return true;
}

// One candidate line (its terminator included when it has one).
bool ParseLine(std::string_view line, CQuantifyAESLibPk& pk)
{
    size_t at = 0;
    const std::string_view symbol = Token(line, at);
    if (symbol.empty())
        return false;
    pk.m_csSymbol = std::string(symbol);
    pk.m_csTransition.clear();
    size_t peek = at;
    SkipBlanks(line, peek);
    if (peek < line.size() && !IsDigit(line[peek]) && line[peek] != '-' && line[peek] != '.')
        pk.m_csTransition = std::string(Token(line, at));
    // A negative factor turns the element's share negative and takes it from
    // the others': such a line is none the reader can use.
    if (!ReadInt(line, at, pk.m_iZ) || !ReadDouble(line, at, pk.m_dRSF) || pk.m_dRSF < 0.0)
        return false;
    // The line must go on after the factor; its terminator counts, so only a
    // last line cut off without one (a truncated file) ends on the factor.
    if (at >= line.size())
        return false;
    double energy = 1.0;
    pk.m_dEnergy = ReadDouble(line, at, energy) ? energy : 1.0;
    return true;
}

} // namespace

bool CQuantifyAESLib::Load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    return LoadText(text);
}

bool CQuantifyAESLib::LoadText(std::string_view text)
{
    size_t at = 0;
    double energy = 0.0;
    // An editor that saves UTF-8 may put a byte-order mark in front.
    if (text.starts_with("\xEF\xBB\xBF"))
        at = 3;
    SkipBlanks(text, at);
    {
        // The first token must be a number as a whole ("5000eV" is not one).
        size_t end = at;
        if (!ReadDouble(text, end, energy) || (end < text.size() && !IsBlank(text[end])) || !(energy > 0.0))
            return false;
        at = end;
    }
    std::list<CQuantifyAESLibPk> peaks;
    while (at < text.size()) {
        const size_t nl = text.find('\n', at);
        const size_t lineEnd = nl == std::string_view::npos ? text.size() : nl + 1;
        std::string_view line = text.substr(at, lineEnd - at);
        // The line's characters, without the terminator, may be MaxLine long.
        size_t chars = line.size();
        if (chars > 0 && line[chars - 1] == '\n')
            --chars;
        const bool tooLong = chars > MaxLine;
        if (tooLong)
            line = line.substr(0, MaxLine);
        CQuantifyAESLibPk pk;
        if (ParseLine(line, pk))
            peaks.push_back(std::move(pk));
        if (tooLong)
            break;
        at = lineEnd;
    }
    if (!peaks.empty()) {
        m_dEnergy = energy;
        m_Peaks = std::move(peaks);
    }
    return true;
}

const CQuantifyAESLibPk* CQuantifyAESLib::FindPeak(const std::string& symbol,
                                                   const std::string& transition) const
{
    for (const CQuantifyAESLibPk& pk : m_Peaks)
        if (pk.m_csSymbol == symbol && pk.m_csTransition == transition)
            return &pk;
    return nullptr;
}

double CQuantifyAESLib::CrossSection(double E, double Ec)
{
    const double U = E / Ec;
    return std::pow((E - Ec) / (E + Ec), 1.5) *
           (1.0 + ((2.0 - Ec / E) / 3.0) * std::log(2.7 + std::sqrt(U - 1.0))) / (E * Ec);
}

double CQuantifyAESLib::Backscatter(double E, double Ec, int Z)
{
    const double z = std::pow(static_cast<double>(Z), 0.1);
    return 1.0 + (4.35 - 3.93 * z) * std::pow(Ec / E, 0.25) + 4.85 * z - 5.45;
}

double CQuantifyAESLib::ScaleRSF(const CQuantifyAESLibPk& pk, double beamEnergy) const
{
    // The signal grows with Q·R at the primary energy and quantification
    // divides by the factor, so the factor follows Q·R to the beam energy.
    const double Ec = pk.m_dEnergy;
    return pk.m_dRSF * CrossSection(beamEnergy, Ec) * Backscatter(beamEnergy, Ec, pk.m_iZ) /
           (CrossSection(m_dEnergy, Ec) * Backscatter(m_dEnergy, Ec, pk.m_iZ));
}

double CQuantifyAESLib::GetRSF(const std::string& symbol, const std::string& transition,
                               double beamEnergy) const
{
    const CQuantifyAESLibPk* pk = FindPeak(symbol, transition);
    if (!pk)
        return 1.0;
    const double Ec = pk->m_dEnergy;
    if (!(Ec < beamEnergy) || !(Ec < m_dEnergy) || !(Ec > 0.0) || !(beamEnergy > 0.0))
        return 0.0;
    const double f = ScaleRSF(*pk, beamEnergy);
    return std::isfinite(f) ? f : 0.0;
}

void CQuantifyAESLib::GetElementList(std::string& out, const std::string& sep) const
{
    const std::string* last = nullptr;
    for (const CQuantifyAESLibPk& pk : m_Peaks) {
        if (!last || *last != pk.m_csSymbol)
            out += pk.m_csSymbol + sep;
        last = &pk.m_csSymbol;
    }
}

void CQuantifyAESLib::GetTransitionList(const std::string& symbol, std::string& out,
                                        const std::string& sep) const
{
    for (const CQuantifyAESLibPk& pk : m_Peaks)
        if (pk.m_csSymbol == symbol)
            out += pk.m_csTransition + sep;
}

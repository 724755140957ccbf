#include "acquire/core/SettingsFile.h"

#include "data/Header.h"
#include "platform/Archive.h"
#include "platform/AsciiCase.h"
#include "platform/Strings.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace SettingsFile {
namespace {
// The stored name up to its first zero byte begins program (an empty one does).
bool NameMatches(const char* stored, const std::string& program)
{
    const size_t n = std::strlen(stored);
    return n <= program.size() && program.compare(0, n, stored, n) == 0;
}
} // namespace

void StoreHeader(CArchive& ar, int fileType)
{
    CHeader header;
    header.SetFileType(fileType);
    header >> ar;
}

std::string TitleOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Kind CheckHeader(CFile& file, const std::string& shown, int fileType, unsigned wrongTypeId,
                 unsigned olderProgramId, CAcqError& error)
{
    CHeader header(&file);
    char name[CHeader::ProgNameSize + 1] = {};
    header.GetProgName(name);
    if (!NameMatches(name, CHeader::AppName)) {
        std::string older;
        if (!TryLoadString(1075, older))
            older = "Norvale";
        error = NameMatches(name, older) ? CAcqError{olderProgramId, {TitleOf(shown)}}
                                         : CAcqError{2069, {TitleOf(shown)}};
        return Kind::Refused;
    }
    if (header.GetFileType() == CHeader::DataFile)
        return Kind::DataFile;
    if (header.GetFileType() != fileType) {
        error = CAcqError{wrongTypeId, {shown}};
        return Kind::Refused;
    }
    return Kind::Settings;
}
} // namespace SettingsFile

std::string NextDataFileName(const std::string& name)
{
    const auto first = name.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const auto last = name.find_last_not_of(" \t\r\n");
    std::string s = name.substr(first, last - first + 1);
    const auto dot = s.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : s.substr(dot);
    std::string stem = dot == std::string::npos ? s : s.substr(0, dot);
    size_t digits = 0;
    while (digits < 9 && digits < stem.size() &&
           std::isdigit(static_cast<unsigned char>(stem[stem.size() - 1 - digits])))
        ++digits;
    if (digits == 0)
        return s;
    const long long value = std::atoll(stem.substr(stem.size() - digits).c_str());
    return stem.substr(0, stem.size() - digits) + std::to_string(value + 1) + ext;
}

std::string ResolveDataFileName(const std::string& typed, const std::string& ext)
{
    const auto last = typed.find_last_not_of(" \t\r\n");
    if (last == std::string::npos)
        return std::string();
    std::string name = typed.substr(0, last + 1);
    const auto dot = name.rfind('.');
    const bool has = dot != std::string::npos && AsciiEqualNoCase(std::string_view(name).substr(dot), ext);
    return has ? name : name + ext;
}

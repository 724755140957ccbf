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
    const size_t slash = s.rfind('/');
    const size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = s.rfind('.');
    if (dot == std::string::npos || dot < fileStart)
        dot = s.size();
    size_t begin = dot;
    while (begin > fileStart && std::isdigit(static_cast<unsigned char>(s[begin - 1])))
        --begin;
    if (begin == dot)
        return s;
    // Counted in decimal text, so that no number is too long to go on.
    std::string number = s.substr(begin, dot - begin);
    number.erase(0, std::min(number.find_first_not_of('0'), number.size()));
    size_t i = number.size();
    while (i > 0 && number[i - 1] == '9')
        number[--i] = '0';
    if (i == 0)
        number.insert(number.begin(), '1');
    else
        ++number[i - 1];
    return s.substr(0, begin) + number + s.substr(dot);
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

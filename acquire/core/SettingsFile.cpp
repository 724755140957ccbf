#include "acquire/core/SettingsFile.h"

#include "data/Header.h"
#include "platform/Archive.h"
#include "platform/Strings.h"

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

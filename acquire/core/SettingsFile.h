#pragma once
// What the AES and XPS settings files share: the 24-byte header and the
// checks made on it when a file is opened in a sheet.

#include "acquire/core/AcqError.h"

#include <string>

class CArchive;
class CFile;

namespace SettingsFile {
enum class Kind
{
    Settings, // a settings file of the sheet's type: its sections follow
    DataFile, // a data file: the sheet takes it as a document
    Refused,  // error says why
};

// Writes the header with the sheet's file type (CHeader::AESSetupFile or XPSSetupFile).
void StoreHeader(CArchive& ar, int fileType);
// Reads the header at the file's start. The stored program name must begin
// the program's own name; a file of the older program gives olderProgramId,
// another program's 2069 (both with the file's title); a settings file of the
// other sheet gives wrongTypeId with the path shown.
Kind CheckHeader(CFile& file, const std::string& shown, int fileType, unsigned wrongTypeId,
                 unsigned olderProgramId, CAcqError& error);
// The last part of a path, as messages name a file.
std::string TitleOf(const std::string& path);
} // namespace SettingsFile

// At the end of an acquisition: the number that ends the file's name, before
// its extension, counts on (leading zeros go); blanks at both ends go. The
// folders are left alone, dots and numbers in their names included.
std::string NextDataFileName(const std::string& name);
// Start's data-file name: the typed name without trailing blanks, with ext
// (".vlt") appended unless it already ends with it in any case. Empty when
// the typed name is empty (Start then uses a temporary file).
std::string ResolveDataFileName(const std::string& typed, const std::string& ext);

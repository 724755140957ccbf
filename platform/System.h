#pragma once
// Where the program is and who runs it. Directories end with '/'.

#include <string>

// The directory of the running executable (the reference data files lie beside it).
std::string GetProgramDirectory();
// $TMPDIR when it names a directory, else /tmp.
std::string GetTempDirectory();
std::string GetCurrentDirectory();
// The login name of the user running the program (empty when unknown).
std::string GetUserName();

// Creates a new empty file with a unique name in folder (prefix, then random
// characters) and returns its path. Throws CFileException on failure.
std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix);

#pragma once
// Where the program is and who runs it. Directories end with '/'.

#include <string>

// The directory of the running executable (the reference data files lie beside it).
std::string GetProgramDirectory();
// $TMPDIR when it names a directory, else /tmp.
std::string GetTempDirectory();
// A folder of the temporary directory that belongs to the user running the
// program and that no one else may enter: name, '-' and the user id, made
// when missing. The temporary directory is shared by every user, so a file
// of a fixed name there may be another user's. When a folder of that name is
// not the user's own (someone else made it, or it is a link), a new one of a
// unique name is made instead and kept for the rest of the run. Throws
// CFileException when no folder can be had.
std::string GetUserTempDirectory(const std::string& name);
std::string GetCurrentDirectory();
// The login name of the user running the program (empty when unknown).
std::string GetUserName();

// Creates a new empty file with a unique name in folder (prefix, then random
// characters) and returns its path. Throws CFileException on failure.
std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix);

#pragma once
// The foreign file formats as the program offers them: Save As VAMAS, and the
// per-user profile entry that the VAMAS reader consults. The Norvale and VAMAS
// readers themselves are registered by the application once its peak library
// is loaded.

#include <string>

class CVeltraneDoc;

// Installs the VAMAS branch of Save As and the reader's profile access. Called
// once, before the application object starts.
void InstallFileFormats();

// Writes doc as a VAMAS file at path. An existing file is replaced only once
// the whole new file is on disk. A document without a VAMAS form, a file that
// cannot be written and a failed write are each reported; false then. The
// document keeps its own path and modified state.
bool SaveAsVamas(const CVeltraneDoc& doc, const std::string& path);

// The per-user profile entry "Config"/key; a missing or empty entry is
// written with def and def is answered.
std::string VamasProfileEntry(const std::string& key, const std::string& def);

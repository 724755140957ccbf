#pragma once
// String ids of the framework's own messages (res/strings.txt) and helpers
// that turn strings into user-interface text.

#include "platform/Exceptions.h"

#include <QString>
#include <string>

enum : unsigned
{
    AFX_IDS_APP_TITLE = 57344,
    AFX_IDP_FAILED_TO_OPEN_DOC = 61696,
    AFX_IDP_FAILED_TO_SAVE_DOC = 61697,
    AFX_IDP_ASK_TO_SAVE = 61698,
    AFX_IDP_FILE_NOT_FOUND = 61700,
    AFX_IDP_FILE_BAD_PATH = 61701,
    AFX_IDP_FILE_ACCESS_DENIED = 61702,
    AFX_IDP_FILE_DISK_FULL = 61703,
    AFX_IDP_FILE_READ_ERROR = 61704,
    AFX_IDP_FILE_WRITE_ERROR = 61705,
    AFX_IDP_PARSE_INT = 61712,
    AFX_IDP_PARSE_REAL = 61713,
    AFX_IDP_PARSE_INT_RANGE = 61714,
    AFX_IDP_PARSE_REAL_RANGE = 61715,
    AFX_IDP_PARSE_STRING_SIZE = 61716,
    AFX_IDP_PARSE_UINT = 61717,
    AFX_IDP_PARSE_UINT_RANGE = 61718,
};

// The framework's message for a file error; bSaving picks the write wording.
std::string FileExceptionMessage(const CFileException& e, bool bSaving);

// Text of the program (string table, messages, file names) for widgets: UTF-8
// when it is valid UTF-8 (file names), otherwise code page 1252 (record text).
QString ToQString(const std::string& s);
// A file name from a widget (a file dialog, a drop) as the program holds it.
std::string PathFromQString(const QString& s);

// The status-bar prompt and the tool tip of a command: string id's text
// before and after its line feed.
QString CommandPrompt(unsigned id);
QString CommandTip(unsigned id);

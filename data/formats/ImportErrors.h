#pragma once
// Message ids of the import readers and the one way they report a failure.

#include <string>

enum : int
{
    IDS_ERR_STRING = 2048,
    IDS_ERR_EOF = 2065,
    IDS_ERR_INCOMPATIBLE = 2067,
    IDS_ERR_ILLEGAL_PARAMS = 2068,
    IDS_ERR_VAMAS_ILLEGAL = 2083,
    IDS_ERR_VAMAS_UNSUPPORTED = 2084,
    IDS_ERR_VAMAS_TOO_MANY_REGIONS = 2085,
    IDS_ERR_VAMAS_MANUAL = 2086,
    IDS_ERR_VAMAS_NOT_XPS_AES = 2087,
    IDS_ERR_VAMAS_NO_START = 2088,
    IDS_ERR_VAMAS_UNREADABLE = 2089,
    IDS_ERR_VAMAS_NO_REGIONS = 2090,
};

// Shows message id (its "%1" filled with name, when the text has one) through
// the message sink, then abandons the command with CUserException.
[[noreturn]] void ReportImportError(int id, const std::string& name);

// The per-user profile entry "Config"/key that the VAMAS reader consults.
std::string VamasProfileString(const std::string& key, const std::string& def);

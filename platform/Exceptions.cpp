#include "platform/Exceptions.h"

const char* CFileException::what() const noexcept
{
    switch (m_cause) {
    case fileNotFound: return "file not found";
    case badPath: return "bad path";
    case accessDenied: return "access denied";
    case diskFull: return "disk full";
    case badSeek: return "bad seek";
    case hardIO: return "input/output error";
    case endOfFile: return "unexpected end of file";
    default: return "file error";
    }
}

const char* CArchiveException::what() const noexcept
{
    switch (m_cause) {
    case badIndex: return "invalid count or length in the data";
    case badSchema: return "unknown data layout";
    case endOfFile: return "unexpected end of file";
    default: return "archive error";
    }
}

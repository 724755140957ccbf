#pragma once
// Exceptions of the platform layer. They carry no text shown to users: readers
// and commands turn them into string-table messages at the point of report.

#include <exception>
#include <string>

// Abandons the current command after its message has been shown. Command
// routing and every event handler that can reach it swallow it.
class CUserException : public std::exception
{
public:
    const char* what() const noexcept override { return "command abandoned"; }
};

class CFileException : public std::exception
{
public:
    enum Cause
    {
        none,
        genericException,
        fileNotFound,
        badPath,
        accessDenied,
        diskFull,
        badSeek,
        hardIO,
        endOfFile,
    };
    CFileException(Cause cause, std::string path, int osError = 0)
        : m_cause(cause), m_path(std::move(path)), m_osError(osError)
    {
    }
    Cause m_cause;
    std::string m_path;
    int m_osError;
    const char* what() const noexcept override;
};

class CArchiveException : public std::exception
{
public:
    enum Cause
    {
        none,
        genericException,
        badIndex,    // a count, length or size in the data that cannot be right
        badSchema,
        endOfFile,   // the data ended before the reader did
    };
    explicit CArchiveException(Cause cause) : m_cause(cause) {}
    Cause m_cause;
    const char* what() const noexcept override;
};

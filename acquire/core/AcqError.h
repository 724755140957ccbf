#pragma once
// A refusal of the set-up (validation at Start, a settings file that cannot
// be used): the string id and its arguments, so the toolkit-free checks can
// be tested without a message box and the sheet shows the text.

#include <stdexcept>
#include <string>
#include <vector>

struct CAcqError
{
    unsigned id = 0;
    std::vector<std::string> args;

    explicit operator bool() const { return id != 0; }
    // The string-table text with "%1".."%9" filled by position, then each
    // "%s" or "%g" by the arguments after the highest numbered one.
    std::string Text() const;
};

// Thrown by the checks; the sheet catches it, shows Text() and abandons the command.
class CAcqException : public std::runtime_error
{
public:
    explicit CAcqException(CAcqError error)
        : std::runtime_error("acquisition set-up refused"), m_error(std::move(error))
    {
    }
    const CAcqError& Error() const { return m_error; }

private:
    CAcqError m_error;
};

[[noreturn]] inline void ThrowAcq(unsigned id, std::vector<std::string> args = {})
{
    throw CAcqException(CAcqError{id, std::move(args)});
}

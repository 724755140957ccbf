#pragma once
// Where toolkit-free code shows a message box. The user interface installs a
// sink that shows a real box (and marshals to its own thread); tests install
// one that records the calls. The default writes to stderr and answers IDOK.

#include <string>

enum : unsigned
{
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_ABORTRETRYIGNORE = 0x2,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int
{
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7,
};

class IMessageSink
{
public:
    virtual ~IMessageSink() = default;
    // Shows the text with the buttons and icon of type; returns the button pressed.
    virtual int ShowMessage(const std::string& text, unsigned type) = 0;
};

// Installs a sink (nullptr restores the default); returns the previous one.
IMessageSink* SetMessageSink(IMessageSink* sink);
IMessageSink* GetMessageSink();

int AfxMessageBox(const std::string& text, unsigned type = MB_OK);
// The string-table text of id.
int AfxMessageBox(unsigned id, unsigned type = MB_OK);

#include "data/formats/ImportErrors.h"

#include "platform/Exceptions.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

void ReportImportError(int id, const std::string& name)
{
    const std::string text = LoadString(static_cast<unsigned>(id));
    if (text.find("%1") != std::string::npos)
        AfxMessageBox(FormatString(text, {name}), MB_OK | MB_ICONERROR);
    else
        AfxMessageBox(text, MB_OK | MB_ICONERROR);
    throw CUserException();
}

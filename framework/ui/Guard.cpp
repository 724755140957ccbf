#include "framework/ui/Guard.h"

#include "framework/ui/Resources.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

void ReportException(const std::exception& e)
{
    if (auto* fe = dynamic_cast<const CFileException*>(&e)) {
        AfxMessageBox(FileExceptionMessage(*fe, false), MB_OK | MB_ICONERROR);
        return;
    }
    if (dynamic_cast<const CArchiveException*>(&e)) {
        AfxMessageBox(LoadString(AFX_IDP_FAILED_TO_OPEN_DOC), MB_OK | MB_ICONERROR);
        return;
    }
    AfxMessageBox(e.what(), MB_OK | MB_ICONERROR);
}

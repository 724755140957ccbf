#include "framework/ui/Resources.h"

#include "platform/Strings.h"

#include "platform/Cp1252.h"

namespace {

std::string FileName(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string FileExceptionMessage(const CFileException& e, bool bSaving)
{
    unsigned id = bSaving ? AFX_IDP_FILE_WRITE_ERROR : AFX_IDP_FILE_READ_ERROR;
    switch (e.m_cause) {
    case CFileException::fileNotFound:
        id = AFX_IDP_FILE_NOT_FOUND;
        break;
    case CFileException::badPath:
        id = AFX_IDP_FILE_BAD_PATH;
        break;
    case CFileException::accessDenied:
        id = AFX_IDP_FILE_ACCESS_DENIED;
        break;
    case CFileException::diskFull:
        id = AFX_IDP_FILE_DISK_FULL;
        break;
    default:
        break;
    }
    return FormatMessageId(id, {FileName(e.m_path)});
}

QString ToQString(const std::string& s)
{
    return QString::fromStdString(DisplayTextToUtf8(s));
}

std::string PathFromQString(const QString& s)
{
    return s.toStdString();
}

QString CommandPrompt(unsigned id)
{
    std::string text = LoadString(id);
    return ToQString(text.substr(0, text.find('\n')));
}

QString CommandTip(unsigned id)
{
    std::string text = LoadString(id);
    auto nl = text.find('\n');
    return nl == std::string::npos ? QString() : ToQString(text.substr(nl + 1));
}

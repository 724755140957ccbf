#include "framework/doc/Document.h"

#include "platform/Archive.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

#include <algorithm>

namespace {

// The framework's own messages in the string table.
enum : unsigned
{
    IDP_FAILED_TO_OPEN_DOC = 61696,
    IDP_FAILED_TO_SAVE_DOC = 61697,
    IDP_INVALID_FORMAT = 61699,
    IDP_FILE_NOT_FOUND = 61700,
    IDP_FILE_BAD_PATH = 61701,
    IDP_FILE_ACCESS_DENIED = 61702,
    IDP_FILE_DISK_FULL = 61703,
    IDP_FILE_READ_ERROR = 61704,
    IDP_FILE_WRITE_ERROR = 61705,
};

unsigned MessageForFileError(const CFileException& e, bool bSaving, unsigned nIDPDefault)
{
    switch (e.m_cause) {
    case CFileException::fileNotFound:
        return IDP_FILE_NOT_FOUND;
    case CFileException::badPath:
        return IDP_FILE_BAD_PATH;
    case CFileException::accessDenied:
        return IDP_FILE_ACCESS_DENIED;
    case CFileException::diskFull:
        return IDP_FILE_DISK_FULL;
    case CFileException::hardIO:
    case CFileException::endOfFile:
        return bSaving ? IDP_FILE_WRITE_ERROR : IDP_FILE_READ_ERROR;
    default:
        return nIDPDefault;
    }
}

} // namespace

void CDocument::AddView(IDocView* pView)
{
    if (pView && std::find(m_views.begin(), m_views.end(), pView) == m_views.end())
        m_views.push_back(pView);
}

void CDocument::RemoveView(IDocView* pView)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), pView), m_views.end());
}

void CDocument::UpdateAllViews(IDocView* pSender, intptr_t lHint, void* pHint)
{
    // A view may close itself or another view from its update.
    const std::vector<IDocView*> views = m_views;
    for (IDocView* view : views) {
        if (view == pSender || std::find(m_views.begin(), m_views.end(), view) == m_views.end())
            continue;
        view->OnUpdate(pSender, lHint, pHint);
    }
}

void CDocument::SetPathName(const std::string& path)
{
    m_strPathName = path;
    const size_t slash = path.find_last_of('/');
    SetTitle(slash == std::string::npos ? path : path.substr(slash + 1));
}

bool CDocument::OnNewDocument()
{
    DeleteContents();
    SetModifiedFlag(false);
    return true;
}

void CDocument::Serialize(CArchive&) {}

bool CDocument::OnOpenDocument(const std::string& path)
{
    try {
        CFile file(path, CFile::modeRead);
        DeleteContents();
        SetModifiedFlag(true); // half-read until the end
        CArchive ar(&file, CArchive::load);
        ar.m_pDocument = this;
        Serialize(ar);
        ar.Close();
    } catch (...) {
        const std::exception_ptr e = std::current_exception();
        DeleteContents();
        SetModifiedFlag(false);
        ReportSaveLoadException(path, e, false, IDP_FAILED_TO_OPEN_DOC);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const std::string& path)
{
    try {
        CAtomicFileWriter writer(path);
        {
            CArchive ar(&writer.File(), CArchive::store);
            ar.m_pDocument = this;
            Serialize(ar);
            ar.Close();
        }
        writer.Commit();
    } catch (...) {
        ReportSaveLoadException(path, std::current_exception(), true, IDP_FAILED_TO_SAVE_DOC);
        return false;
    }
    SetModifiedFlag(false);
    ++m_nSaves;
    return true;
}

void CDocument::ReportSaveLoadException(const std::string& path, std::exception_ptr e, bool bSaving,
                                        unsigned nIDPDefault)
{
    const std::string text = SaveLoadErrorText(path, e, bSaving, nIDPDefault);
    if (!text.empty())
        AfxMessageBox(text, MB_OK | MB_ICONERROR);
}

std::string SaveLoadErrorText(const std::string& path, std::exception_ptr e, bool bSaving,
                              unsigned nIDPDefault)
{
    unsigned id = nIDPDefault;
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (const CUserException&) {
        return {}; // its message has been shown
    } catch (const CArchiveException&) {
        if (!bSaving)
            id = IDP_INVALID_FORMAT;
    } catch (const CFileException& fe) {
        id = MessageForFileError(fe, bSaving, nIDPDefault);
    } catch (...) {
    }
    std::string text = FormatMessageId(id, {path});
    if (text.empty())
        text = FormatMessageId(nIDPDefault, {path});
    return text;
}

#include "app/DocCommands.h"

#include "app/Veltrane.h"
#include "data/Header.h"
#include "data/ImageRgn.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/Resources.h"
#include "instrument/Acquire.h"
#include "instrument/ui/AcqHost.h"
#include "platform/AsciiCase.h"
#include "platform/Exceptions.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <utility>

namespace {

enum : unsigned
{
    IDP_SAVE_OLDER_FORMAT = 2071,
    IDP_FILE_EXISTS = 4096,
    IDP_NO_VAMAS_WRITER = 61706,
    IDP_NO_BITMAP_WRITER = 61707,
    IDP_NO_TEXT_WRITER = 61708,
};

std::string FileTitle(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A Yes/No/Cancel question: true for Yes, false for No; Cancel abandons the command.
bool AskYesNo(const std::string& text, unsigned icon)
{
    switch (AfxMessageBox(text, MB_YESNOCANCEL | icon)) {
    case IDNO:
        return false;
    case IDYES:
        return true;
    default:
        throw CUserException();
    }
}

} // namespace

std::function<void(CVeltraneDoc&, const std::string&)> CVeltraneDocCommands::s_saveAsVamas;
std::function<void(CVeltraneDoc&, const std::string&)> CVeltraneDocCommands::s_saveAsBitmap;

namespace {
enum : unsigned
{
    IDS_DOC_BEING_ACQUIRED = 5169,
    IDS_ABORT_TO_CLOSE = 5170,
};
} // namespace

CVeltraneDocCommands::CVeltraneDocCommands(CDocument* doc, CMultiDocTemplate* tmpl) : CDocCommands(doc, tmpl)
{
    // The worker writes into the document until its run has ended.
    for (unsigned id : {ID_FILE_SAVE, ID_FILE_SAVE_AS})
        OnUpdateCommand(id, [this](CCmdUI* ui) { ui->Enable(!CVeltrane::IsAcquiring(m_pDoc)); });
}

bool CVeltraneDocCommands::RefuseWhileAcquiring() const
{
    if (!CVeltrane::IsAcquiring(m_pDoc))
        return false;
    AfxMessageBox(IDS_DOC_BEING_ACQUIRED, MB_OK | MB_ICONINFORMATION);
    return true;
}

bool CVeltraneDocCommands::SaveModified()
{
    if (CVeltrane::IsAcquiring(m_pDoc)) {
        CVeltrane* app = CVeltrane::GetApp();
        if (AfxMessageBox(FormatMessageId(IDS_ABORT_TO_CLOSE, {m_pDoc->GetTitle()}),
                          MB_YESNO | MB_ICONQUESTION) != IDYES)
            return false;
        // The final save completes before the worker lets the document go.
        if (app && app->GetAcq())
            CQtAcqHost::AbortAndWait(*app->GetAcq());
        // The end the worker posted just before it let go is handled before
        // the question below: a run in the temporary file makes its document
        // untitled and modified there, so that closing asks where to keep it
        // rather than leave the counts in a file the next such run replaces.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
    return CDocCommands::SaveModified();
}

bool CVeltraneDocCommands::RefuseRunsFile(const std::string& path) const
{
    // The run's next save would replace this document's file, or this save
    // would replace what the run has saved so far.
    CVeltrane* app = CVeltrane::GetApp();
    CDocument* running = app && !path.empty() ? app->FindAcquiringDocument(path.c_str()) : nullptr;
    if (!running || running == m_pDoc)
        return false;
    AfxMessageBox(IDS_DOC_BEING_ACQUIRED, MB_OK | MB_ICONINFORMATION);
    return true;
}

CVeltraneDoc* CVeltraneDocCommands::Doc() const
{
    return dynamic_cast<CVeltraneDoc*>(m_pDoc);
}

bool CVeltraneDocCommands::IsForeignFormat(const CVeltraneDoc& doc)
{
    char name[CHeader::ProgNameSize + 1] = {};
    doc.GetHeader()->GetProgName(name);
    std::string_view prog(name);
    // Only this program's own files open under its name: any other name came
    // from an import (an older Norvale file may carry more after "Norvale" in
    // its name field, an imported VAMAS file names "VAMAS"), whose file a save
    // must never overwrite.
    return !prog.starts_with(CHeader::AppName);
}

std::string CVeltraneDocCommands::WithDataExtension(const std::string& path)
{
    std::string ext = ".vlt";
    if (CMultiDocTemplate* t = CVeltrane::GetSpectrumTemplate()) {
        std::string e = t->GetDocString(CMultiDocTemplate::filterExt);
        if (!e.empty())
            ext = e;
    }
    std::string p = path;
    while (!p.empty() && p.back() == ' ')
        p.pop_back();
    // Only the file name counts: a dot in a folder name is no extension.
    size_t nameStart = p.find_last_of('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = p.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        return p + ext;
    std::string tail = p.substr(dot);
    return AsciiToLower(tail) == ext ? p : p.substr(0, dot) + ext;
}

bool CVeltraneDocCommands::SaveDocument(const std::string& path, std::string& savedPath)
{
    CVeltraneDoc* doc = Doc();
    std::string target = path;
    if (doc && IsForeignFormat(*doc)) {
        if (!AskYesNo(FormatMessageId(IDP_SAVE_OLDER_FORMAT, {doc->GetTitle()}), MB_ICONQUESTION))
            return false;
        target = WithDataExtension(path);
        if (QFileInfo::exists(QString::fromStdString(target)) &&
            !AskYesNo(FormatMessageId(IDP_FILE_EXISTS, {FileTitle(target)}), MB_ICONWARNING))
            return false;
        // The fresh header goes into the file; a save that fails puts the
        // older one back, so the document still stands for the file it was
        // read from and the next save asks again.
        const CHeader older = *doc->GetHeader();
        doc->Initialize(CHeader());
        if (!m_pDoc->OnSaveDocument(target)) {
            doc->Initialize(older);
            return false;
        }
        doc->SetPathName(target);
        if (CWinApp* app = AfxGetApp())
            app->AddToRecentFileList(target);
        m_pTemplate->UpdateFrameTitles(doc);
        savedPath = target;
        return true;
    }
    savedPath = target;
    return m_pDoc->OnSaveDocument(target);
}

bool CVeltraneDocCommands::DoSave(const std::string& path, bool bReplace)
{
    if (RefuseWhileAcquiring())
        return false;
    if (path.empty()) {
        // Saved only when the document went into a data file: a document
        // never changed is unmodified after a cancelled dialog too, and a
        // VAMAS or bitmap copy leaves it as unsaved as before.
        const unsigned saves = m_pDoc->GetSaveCount();
        OnFileSaveAs();
        return m_pDoc->GetSaveCount() != saves;
    }
    if (RefuseRunsFile(path))
        return false;
    std::string saved;
    if (!SaveDocument(path, saved))
        return false;
    // A converted document keeps its new name whatever name was asked for.
    if (bReplace || saved != path) {
        m_pDoc->SetPathName(saved);
        if (CWinApp* app = AfxGetApp())
            app->AddToRecentFileList(saved);
        m_pTemplate->UpdateFrameTitles(m_pDoc);
    }
    return true;
}

void CVeltraneDocCommands::OnFileSaveAs()
{
    CVeltraneDoc* doc = Doc();
    CVeltrane* app = CVeltrane::GetApp();
    if (!doc || !app || RefuseWhileAcquiring())
        return;
    bool image = (doc->GetExpType() & 0x200) != 0;
    static const unsigned imageFilters[] = {1041, 1043, 1045, 1042, 0};
    static const unsigned otherFilters[] = {1041, 1044, 1045, 1042, 0};
    unsigned flags = 0;
    if (image) {
        int panes = 0;
        for (const auto& posn : std::as_const(*doc).GetStagePosns())
            if (posn)
                for (int i = 0; i < posn->GetNumImageRgns(); ++i)
                    if (const CImageRgn* r = posn->GetImageRgn(i); r && !r->IsLinescan())
                        ++panes;
        // Several bitmap files are each checked by the bitmap writer itself.
        if (panes >= 2)
            flags = 0x4;
    }
    std::string path;
    int filter = 0;
    if (!app->OnFileName(path, false, image ? imageFilters : otherFilters, &filter, flags) ||
        RefuseRunsFile(path))
        return;
    // Without the dialog's own question (several bitmaps), a data or VAMAS
    // file chosen over an existing one is asked about here, so it is never
    // replaced unasked.
    if (flags != 0 && filter != 1 && QFileInfo::exists(QString::fromStdString(path))) {
        switch (
            AfxMessageBox(FormatMessageId(IDP_FILE_EXISTS, {FileTitle(path)}), MB_YESNO | MB_ICONWARNING)) {
        case IDYES:
            break;
        default:
            return;
        }
    }
    switch (filter) {
    case 1:
        if (!image)
            AfxMessageBox(IDP_NO_TEXT_WRITER, MB_OK | MB_ICONINFORMATION);
        else if (s_saveAsBitmap)
            s_saveAsBitmap(*doc, path);
        else
            AfxMessageBox(IDP_NO_BITMAP_WRITER, MB_OK | MB_ICONINFORMATION);
        break;
    case 2:
        if (s_saveAsVamas)
            s_saveAsVamas(*doc, path);
        else
            AfxMessageBox(IDP_NO_VAMAS_WRITER, MB_OK | MB_ICONINFORMATION);
        break;
    default:
        DoSave(path, true);
        break;
    }
}

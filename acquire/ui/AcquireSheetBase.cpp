#include "acquire/ui/AcquireSheetBase.h"

#include "acquire/core/SettingsFile.h"
#include "UGrid/UGCtrl.h"
#include "acquire/ui/AcqHost.h"
#include "data/Header.h"
#include "data/Update.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/Guard.h"
#include "framework/ui/Resources.h"
#include "framework/ui/WinApp.h"
#include "platform/Exceptions.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"
#include "platform/System.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <filesystem>
#include <optional>

namespace {
// One counter for the program's run: the next "Untitled" number.
int s_untitled = 1;
// The temporary data file that runs of this program have written, shared by
// the sheets; empty while none has.
std::string s_ownTempFile;
} // namespace

CAcquire_Page::CAcquire_Page(const QString& caption) : CPropertyPage(caption), m_Grid(this) {}

void CAcquire_Page::SetMinimumRoom(const QSize& room)
{
    m_room = room;
    updateGeometry();
}

QSize CAcquire_Page::minimumSizeHint() const
{
    return CPropertyPage::minimumSizeHint().expandedTo(m_room);
}

QSize CAcquire_Page::sizeHint() const
{
    return CPropertyPage::sizeHint().expandedTo(m_room);
}

void CAcquire_Page::OnLClicked(int col, long row, int pressed, RECT*, POINT*, int processed)
{
    if (pressed && col != -1 && row != -1 && !processed)
        m_Grid.StartEditCell(col, row, 0);
}

CAcquire_Sheet::CAcquire_Sheet(unsigned nIDCaption, QWidget* pParentWnd, int iSelectPage)
    : CPropertySheet(QString::fromStdString(LoadString(nIDCaption)), pParentWnd, iSelectPage)
{
}

CAcquire_Sheet::~CAcquire_Sheet()
{
    // The sheets go with the main window, once every document has been asked
    // about: the counts of the temporary file are kept elsewhere or were given
    // up, and a file found there at the next start is a run's that never
    // ended tidily. (A program ended by a signal keeps its window, and the
    // file with it.)
    if (!s_ownTempFile.empty()) {
        std::error_code ec;
        std::filesystem::remove(s_ownTempFile, ec);
        s_ownTempFile.clear();
    }
}

void CAcquire_Sheet::AddButtons()
{
    if (!m_Buttons.empty())
        return;
    auto* tabs = findChild<QTabWidget*>();
    auto* outer = qobject_cast<QVBoxLayout*>(layout());
    if (auto* box = findChild<QDialogButtonBox*>())
        box->hide();
    auto* row = new QHBoxLayout;
    if (outer && tabs) {
        outer->removeWidget(tabs);
        outer->insertLayout(0, row, 1);
        row->addWidget(tabs, 1);
    }
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    row->addLayout(column);
    static const char* names[] = {"IDC_ACQ_STARTBTN", "id_3999", "id_3998", "id_3997", "id_3996", "id_3995"};
    for (int i = 0; i < 6; ++i) {
        auto* b = new QPushButton(QString::fromStdString(LoadString(1104 + unsigned(i))), this);
        b->setObjectName(QString::fromLatin1(names[i]));
        b->setAutoDefault(false);
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("Periodic")) + 16);
        column->addWidget(b);
        m_Buttons.push_back(b);
    }
    column->addStretch(1);
    SafeConnect(m_Buttons[StartBtn], &QPushButton::clicked, this, [this](bool) { OnStart(); });
    SafeConnect(m_Buttons[AbortBtn], &QPushButton::clicked, this, [this](bool) { OnAbort(); });
    SafeConnect(m_Buttons[OpenBtn], &QPushButton::clicked, this, [this](bool) { OnOpen(); });
    SafeConnect(m_Buttons[SaveBtn], &QPushButton::clicked, this, [this](bool) { OnSave(); });
    SafeConnect(m_Buttons[CloseBtn], &QPushButton::clicked, this, [this](bool) { OnClose(); });
    SetRunning(false);

    if (m_rcWindow.isEmpty()) {
        // First opening: centred, its bottom just above the bottom of the work area.
        adjustSize();
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
        const QSize size = sizeHint().expandedTo(minimumSizeHint());
        resize(size);
        move(area.left() + (area.width() - size.width()) / 2,
             std::max(area.top(), area.bottom() - 4 - size.height()));
    } else {
        setGeometry(m_rcWindow);
    }
}

void CAcquire_Sheet::SetRunning(bool running)
{
    if (m_Buttons.empty())
        return;
    m_Buttons[StartBtn]->setEnabled(!running);
    m_Buttons[AbortBtn]->setEnabled(running);
    m_Buttons[PauseBtn]->setEnabled(running);
    m_Buttons[OpenBtn]->setEnabled(!running);
    m_Buttons[SaveBtn]->setEnabled(!running);
    m_Buttons[CloseBtn]->setEnabled(true);
}

void CAcquire_Sheet::OnClose()
{
    hide();
}

void CAcquire_Sheet::OnAbort()
{
    m_Buttons[PauseBtn]->setEnabled(false);
    m_Buttons[OpenBtn]->setEnabled(false);
    m_Buttons[SaveBtn]->setEnabled(false);
    if (AcqHost().stopAcquiring && !AcqHost().EngineIdle())
        AcqHost().stopAcquiring(true);
}

void CAcquire_Sheet::OnStop()
{
    m_Buttons[StartBtn]->setEnabled(false);
    m_Buttons[PauseBtn]->setEnabled(false);
    m_Buttons[OpenBtn]->setEnabled(false);
    m_Buttons[SaveBtn]->setEnabled(false);
    if (AcqHost().stopAcquiring && !AcqHost().EngineIdle())
        AcqHost().stopAcquiring(false);
}

void CAcquire_Sheet::closeEvent(QCloseEvent* e)
{
    e->ignore();
    OnClose();
}

void CAcquire_Sheet::hideEvent(QHideEvent* e)
{
    m_rcWindow = geometry();
    CPropertySheet::hideEvent(e);
}

void CAcquire_Sheet::EndTyping()
{
    // The editor of a table cell gives its text to the page when it loses
    // the focus. (The pages' other fields are taken by their data exchange.)
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !isAncestorOf(focus))
        return;
    for (QWidget* w = focus->parentWidget(); w && w != this; w = w->parentWidget())
        if (qobject_cast<CUGCtrl*>(w)) {
            focus->clearFocus();
            return;
        }
}

bool CAcquire_Sheet::PrepareStart(const std::function<void()>& check)
{
    EndTyping();
    // Another run is never stopped from here.
    if (!AcqHost().EngineIdle()) {
        AfxMessageBox(2114u);
        return false;
    }
    CPropertyPage* active = GetActivePage();
    if (active && !active->OnKillActive())
        return false;
    if (active)
        active->OnOK();
    try {
        check();
    } catch (const CAcqException& e) {
        Report(e.Error());
        return false;
    }
    return true;
}

CVeltraneDoc* CAcquire_Sheet::NewDocument(int which, CMultiDocTemplate*& tmpl)
{
    tmpl = AcqHost().docTemplate ? AcqHost().docTemplate(which) : nullptr;
    auto* doc = tmpl ? dynamic_cast<CVeltraneDoc*>(tmpl->OpenDocumentFile(nullptr, true)) : nullptr;
    if (!doc)
        AfxMessageBox(2115u, MB_OK | MB_ICONWARNING);
    return doc;
}

void CAcquire_Sheet::Report(const CAcqError& error)
{
    if (error)
        AfxMessageBox(error.Text(), MB_OK | MB_ICONWARNING);
}

bool CAcquire_Sheet::StartRun(int which, const std::function<void(CVeltraneDoc&)>& build,
                              const std::string& typed, const std::function<void(bool)>& busy)
{
    CMultiDocTemplate* tmpl = nullptr;
    CVeltraneDoc* doc = NewDocument(which, tmpl);
    if (!doc)
        return false;
    build(*doc);
    if (!SaveNewDocument(*tmpl, *doc, typed))
        return false;
    doc->UpdateAllViews(nullptr);
    const SAcqHost& host = AcqHost();
    if (!host.startAcquiring)
        return false; // no engine in this program: the document stays as built
    busy(true);
    if (host.startAcquiring(doc, this) != 0) {
        busy(false);
        return false;
    }
    m_pRunDoc = doc;
    return true;
}

bool CAcquire_Sheet::SaveNewDocument(CMultiDocTemplate& tmpl, CVeltraneDoc& doc, const std::string& typed)
{
    std::string ext = tmpl.GetDocString(CMultiDocTemplate::filterExt);
    if (ext.empty())
        ext = ".vlt";
    std::string name = ResolveDataFileName(typed, ext);
    if (!name.empty() && name.size() > ext.size() && name[name.size() - ext.size() - 1] == '/') {
        // A folder without a file name: the run would go into a hidden file
        // named only by the extension.
        AfxMessageBox(FormatMessageId(AFX_IDP_FILE_BAD_PATH, {name.substr(0, name.size() - ext.size())}),
                      MB_OK | MB_ICONERROR);
        tmpl.CloseDocument(&doc);
        return false;
    }
    if (!name.empty()) {
        // A name without a folder is in the current one; the document keeps
        // the full path, as an opened one does, or the recent-file list of a
        // later run started elsewhere would name another file.
        std::error_code ec;
        const std::filesystem::path full = std::filesystem::absolute(name, ec);
        if (!ec)
            name = full.lexically_normal().string();
    }
    CDocCommands* commands = tmpl.GetCommands(&doc);
    bool saved = false;
    if (name.empty()) {
        // In a folder of the user's own: a file of a fixed name in the shared
        // temporary folder may be another user's, which this one may not
        // replace, and every untitled run would fail to save.
        std::string temp;
        try {
            temp = GetUserTempDirectory(CHeader::AppName) + CHeader::AppName + ext;
        } catch (const CFileException& e) {
            AfxMessageBox(FileExceptionMessage(e, true), MB_OK | MB_ICONERROR);
            tmpl.CloseDocument(&doc);
            return false;
        }
        // One that no run of this program wrote holds the counts of a run that
        // never ended tidily (the program killed, or another copy of it still
        // running): it is replaced only when the user says so, as a named file
        // is; No saves the new run under a name of the user's choosing.
        int answer = IDYES;
        std::error_code ec;
        if (temp != s_ownTempFile && std::filesystem::exists(std::filesystem::symlink_status(temp, ec)))
            answer = AfxMessageBox(FormatMessageId(4096, {SettingsFile::TitleOf(temp)}),
                                   MB_YESNOCANCEL | MB_ICONWARNING);
        m_csTempFile = answer == IDYES ? temp : std::string();
        if (answer == IDYES) {
            // Not a file to offer among the recent ones: the next untitled
            // run replaces it, and a tidy end of the program removes it.
            saved = commands && commands->DoSave(temp, false);
            if (saved) {
                doc.SetPathName(temp);
                tmpl.UpdateFrameTitles(&doc);
            }
        } else if (answer == IDNO)
            saved = commands && commands->DoSave(std::string(), true);
        if (saved && answer == IDYES)
            s_ownTempFile = temp;
    } else {
        m_csTempFile.clear();
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(name, ec))) {
            const int answer = AfxMessageBox(FormatMessageId(4096, {SettingsFile::TitleOf(name)}),
                                             MB_YESNOCANCEL | MB_ICONWARNING);
            if (answer == IDYES)
                saved = commands && commands->DoSave(name, true);
            else if (answer == IDNO)
                saved = commands && commands->DoSave(std::string(), true);
        } else {
            saved = commands && commands->DoSave(name, true);
        }
    }
    if (!saved)
        tmpl.CloseDocument(&doc);
    return saved;
}

void CAcquire_Sheet::RetitleTempDocument()
{
    // This sheet's run's document, not the engine's: once the worker has let
    // the engine go, the other sheet may have started its own run, into the
    // same temporary file, before this end arrives.
    CVeltraneDoc* doc = nullptr;
    for (int i = 0; i < 3 && m_pRunDoc && !doc && AcqHost().docTemplate; ++i)
        if (CMultiDocTemplate* t = AcqHost().docTemplate(i))
            for (CDocument* d : t->GetDocuments())
                if (d == m_pRunDoc)
                    doc = m_pRunDoc;
    m_pRunDoc = nullptr;
    if (doc && !m_csTempFile.empty() && doc->GetPathName() == m_csTempFile) {
        // A title with no file behind it, so that Save asks for a name; the
        // temporary file is the next run's.
        doc->SetPathName(std::string());
        doc->SetTitle(LoadString(61443) + std::to_string(s_untitled++));
        doc->SetModifiedFlag(true);
        // Its windows no longer name the temporary file either.
        if (auto* tmpl = dynamic_cast<CMultiDocTemplate*>(doc->GetDocTemplate()))
            tmpl->UpdateFrameTitles(doc);
    }
}

void CAcquire_Sheet::DeliverUpdate(intptr_t lParam)
{
    // The record is valid only during this call, which the worker made with a sent message.
    auto* update = reinterpret_cast<SAcqUpdate*>(lParam);
    if (update && update->m_pDoc)
        update->m_pDoc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(update));
}

void CAcquire_Sheet::OnSave()
{
    EndTyping();
    if (CPropertyPage* p = GetActivePage())
        p->UpdateData(true);
    std::string path;
    static const unsigned filters[] = {1040, 0};
    if (AcqHost().fileName && AcqHost().fileName(path, false, filters))
        SaveFile(path);
}

void CAcquire_Sheet::OnOpen()
{
    std::string path;
    static const unsigned filters[] = {1040, 1041, 1042, 0};
    if (AcqHost().fileName && AcqHost().fileName(path, true, filters))
        OpenFile(path);
}

void CAcquire_Sheet::WriteReported(const std::string& path, const std::function<void()>& write)
{
    try {
        write();
    } catch (const CFileException& e) {
        AfxMessageBox(FileExceptionMessage(CFileException(e.m_cause, path, e.m_osError), true),
                      MB_OK | MB_ICONWARNING);
    } catch (const CArchiveException&) {
        AfxMessageBox(FileExceptionMessage(CFileException(CFileException::genericException, path), true),
                      MB_OK | MB_ICONWARNING);
    }
}

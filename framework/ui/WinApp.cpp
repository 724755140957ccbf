#include "framework/ui/WinApp.h"

#include "framework/doc/Document.h"
#include "framework/ui/CommandBar.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/Guard.h"
#include "framework/ui/MDIFrameWnd.h"
#include "platform/Settings.h"
#include "res/resource.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QVBoxLayout>

namespace {
CWinApp* g_pApp = nullptr;
const char* const kRecentSection = "Recent File List";
} // namespace

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CMDIFrameWnd* AfxGetMainWnd()
{
    return g_pApp ? g_pApp->m_pMainWnd : nullptr;
}

void CRecentFileList::ReadList()
{
    m_entries.clear();
    for (int i = 1; i <= m_nSize; ++i) {
        std::string p = GetProfileString(kRecentSection, "File" + std::to_string(i));
        if (!p.empty())
            m_entries.push_back(p);
    }
}

void CRecentFileList::WriteList() const
{
    for (int i = 1; i <= m_nSize; ++i) {
        size_t k = size_t(i - 1);
        WriteProfileString(kRecentSection, "File" + std::to_string(i),
                           k < m_entries.size() ? m_entries[k] : "");
    }
}

void CRecentFileList::Add(const std::string& path)
{
    if (path.empty())
        return;
    Remove(path);
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > size_t(m_nSize))
        m_entries.resize(size_t(m_nSize));
}

void CRecentFileList::Remove(int i)
{
    if (i >= 0 && size_t(i) < m_entries.size())
        m_entries.erase(m_entries.begin() + i);
}

void CRecentFileList::Remove(const std::string& path)
{
    std::erase(m_entries, path);
}

CWinApp::CWinApp()
{
    g_pApp = this;
    OnCommand(ID_FILE_NEW, [this] { OnFileNew(); });
    OnCommandRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE4, [this](unsigned id) { OnFileMRU(id); });
    OnUpdateCommandRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE4, [this](CCmdUI* ui) {
        size_t k = ui->m_nID - ID_FILE_MRU_FILE1;
        ui->Enable(m_pRecentFileList && k < m_pRecentFileList->Entries().size());
    });
    OnCommand(ID_APP_EXIT, [this] { OnAppExit(); });
    OnCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

int CWinApp::Run()
{
    bool started = false;
    SafeInvoke([&] { started = InitInstance(); });
    if (started) {
        m_nExitCode = QApplication::exec();
        // Documents closed in the last moments are destroyed by queued calls.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } else if (m_pMainWnd) {
        m_pMainWnd->DestroyWindow();
        m_pMainWnd = nullptr;
    }
    int code = started ? m_nExitCode : 1;
    SafeInvoke([&] { code = started ? ExitInstance() : (ExitInstance(), 1); });
    return code;
}

bool CWinApp::InitInstance()
{
    return true;
}

int CWinApp::ExitInstance()
{
    if (m_pRecentFileList)
        m_pRecentFileList->WriteList();
    return m_nExitCode;
}

CDocument* CWinApp::OpenDocumentFile(const char* path)
{
    if (m_templates.empty() || !path)
        return nullptr;
    return m_templates.front()->OpenDocumentFile(path, true);
}

void CWinApp::AddDocTemplate(std::unique_ptr<CMultiDocTemplate> tmpl)
{
    m_templates.push_back(std::move(tmpl));
}

bool CWinApp::SaveAllModified()
{
    for (auto& t : m_templates)
        if (!t->SaveAllModified())
            return false;
    return true;
}

void CWinApp::CloseAllDocuments(bool bEndSession)
{
    for (auto& t : m_templates)
        t->CloseAllDocuments(bEndSession);
}

int CWinApp::GetOpenDocumentCount() const
{
    int n = 0;
    for (auto& t : m_templates)
        n += int(t->GetDocuments().size());
    return n;
}

void CWinApp::LoadStdProfileSettings(int nMaxMRU)
{
    m_pRecentFileList = std::make_unique<CRecentFileList>(nMaxMRU);
    m_pRecentFileList->ReadList();
}

void CWinApp::AddToRecentFileList(const std::string& path)
{
    if (m_pRecentFileList)
        m_pRecentFileList->Add(path);
}

void CWinApp::UpdateRecentFileActions(CCommandBar* bar)
{
    size_t n = m_pRecentFileList ? m_pRecentFileList->Entries().size() : 0;
    for (unsigned id = ID_FILE_MRU_FILE1; id <= ID_FILE_MRU_FILE4; ++id) {
        if (!bar->HasAction(id))
            continue;
        QAction* a = bar->Action(id);
        size_t k = id - ID_FILE_MRU_FILE1;
        if (k < n) {
            QString name = QString::fromStdString(m_pRecentFileList->Entries()[k]);
            a->setText(QStringLiteral("&%1 %2").arg(k + 1).arg(name.replace('&', QLatin1String("&&"))));
            a->setVisible(true);
        } else {
            // An empty list still shows one greyed entry, so the menu says where files go.
            a->setText(QStringLiteral("Recent File"));
            a->setVisible(k == 0);
        }
    }
}

QPrinter* CWinApp::GetPrinter()
{
    // At the printer's own resolution: a printer made at the screen's would put
    // every curve and tick on a 96-per-inch grid, a draft of what the paper holds.
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_pPrinter.get();
}

void CWinApp::OnFileNew()
{
    if (m_templates.empty())
        return;
    CMultiDocTemplate* chosen = m_templates.front().get();
    if (m_templates.size() > 1) {
        // The list may hold equal names: the row, not the text, picks the template.
        QDialog dlg(m_pMainWnd);
        dlg.setWindowTitle(QStringLiteral("New"));
        auto* layout = new QVBoxLayout(&dlg);
        layout->addWidget(new QLabel(QStringLiteral("File &type:"), &dlg));
        auto* list = new QListWidget(&dlg);
        for (auto& t : m_templates)
            list->addItem(QString::fromStdString(t->GetDocString(CMultiDocTemplate::fileNewName)));
        list->setCurrentRow(0);
        layout->addWidget(list);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
        QObject::connect(list, &QListWidget::itemDoubleClicked, &dlg, &QDialog::accept);
        layout->addWidget(buttons);
        if (dlg.exec() != QDialog::Accepted || list->currentRow() < 0)
            return;
        chosen = m_templates[size_t(list->currentRow())].get();
    }
    chosen->OpenDocumentFile(nullptr, true);
}

void CWinApp::OnFileMRU(unsigned id)
{
    if (!m_pRecentFileList)
        return;
    size_t k = id - ID_FILE_MRU_FILE1;
    if (k >= m_pRecentFileList->Entries().size())
        return;
    std::string path = m_pRecentFileList->Entries()[k];
    CDocument* doc = nullptr;
    SafeInvoke([&] { doc = OpenDocumentFile(path.c_str()); });
    // A file that is gone leaves the list.
    if (!doc && !QFileInfo::exists(QString::fromStdString(path)))
        m_pRecentFileList->Remove(path);
}

void CWinApp::OnAppExit()
{
    if (m_pMainWnd)
        m_pMainWnd->close();
}

void CWinApp::OnFilePrintSetup()
{
    QPageSetupDialog dlg(GetPrinter(), m_pMainWnd);
    dlg.exec();
}

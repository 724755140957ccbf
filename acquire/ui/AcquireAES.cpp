#include "acquire/ui/AcquireAES.h"

#include "acquire/ui/AcqHost.h"
#include "data/Experiment.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/Guard.h"
#include "instrument/DAU.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

#include <QPushButton>
#include <QTimer>

#if __has_include("instrument/Acquire.h")
#include "instrument/Acquire.h"
#endif

SAesInstrument CurrentAesInstrument()
{
    SAesInstrument instr;
    if (const CDAU* dau = AcqHost().dau) {
        instr.cma = dau->GetAnalyser() == CDAU::CMA;
        instr.canEtch = dau->HasMIED();
    }
    return instr;
}

CAcquireAESSheet::CAcquireAESSheet(QWidget* parent)
    : CAcquire_Sheet(1089, parent, 0), m_pSetup(std::make_unique<CAesSetup>(CurrentAesInstrument()))
{
    setObjectName(QStringLiteral("IDD_ACQ_AES"));
    for (CAesPage* p : std::initializer_list<CAesPage*>{&m_ExpPage, &m_ScnPage, &m_PrfPage, &m_RgnPage}) {
        AddPage(p);
        p->SetParentSheet(this);
    }
    m_pWatch = new QTimer(this);
    m_pWatch->setInterval(250);
    SafeConnect(m_pWatch, &QTimer::timeout, this, [this] {
        if (AcqHost().EngineIdle())
            SetOwnRun(false);
    });
}

CAcquireAESSheet::~CAcquireAESSheet() = default;

bool CAcquireAESSheet::OnInitDialog()
{
    m_pSetup->m_Instr = CurrentAesInstrument();
    m_pSetup->FollowAnalyser();
    const QFontMetrics fm(font());
    for (int i = 0; i < GetPageCount(); ++i)
        GetPage(i)->setMinimumSize(fm.averageCharWidth() * 80, fm.height() * 22);
    const bool ok = CPropertySheet::OnInitDialog();
    AddButtons();
    ShowRunButtons();
    return ok;
}

void CAcquireAESSheet::ShowRunButtons()
{
    if (m_Buttons.empty())
        return;
    if (!m_bOwnRun) {
        SetRunning(false);
        Button(StartBtn)->setText(QString::fromStdString(LoadString(1104)));
        return;
    }
    SetRunning(true);
    Button(StartBtn)->setText(QString::fromStdString(LoadString(1163)));
    // A secondary-electron image cannot be stopped at a stop location, only aborted.
    Button(StartBtn)->setEnabled(!m_bSEImage);
    if (m_bStopping)
        for (Btns b : {StartBtn, PauseBtn, OpenBtn, SaveBtn})
            Button(b)->setEnabled(false);
}

void CAcquireAESSheet::SetOwnRun(bool running)
{
    if (!running)
        m_bStopping = false;
    m_bOwnRun = running;
    if (running)
        m_pWatch->start();
    else
        m_pWatch->stop();
    ShowRunButtons();
}

void CAcquireAESSheet::OnStart()
{
    if (m_bOwnRun) {
        if (!AcqHost().EngineIdle()) {
            m_bStopping = true;
            OnStop();
        }
        return;
    }
    if (PrepareStart([this] { m_pSetup->Check(); }))
        StartDocument();
}

bool CAcquireAESSheet::StartDocument()
{
    const int exp = m_pSetup->GetExpType();
    const int which = exp == CAcquireAES::AugerImage || exp == CAcquireAES::SEImage ? 2
                      : exp == CAcquireAES::FastProfile                             ? 1
                                                                                    : 0;
    return StartRun(
        which, [this](CVeltraneDoc& doc) { BuildAesDocument(doc, *m_pSetup); }, m_pSetup->m_Exp.m_csFileName,
        [this, exp](bool busy) {
            m_bSEImage = exp == CAcquireAES::SEImage;
            SetOwnRun(busy);
        });
}

intptr_t CAcquireAESSheet::OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WMAPP_ACQ_START: {
        CVeltraneDoc* doc = AcqHost().engineDocument ? AcqHost().engineDocument() : nullptr;
        if (doc && doc->GetExperiment())
            m_bSEImage = doc->GetExperiment()->GetExpType() == CExperiment::SEImage;
        SetOwnRun(true);
        return 0;
    }
    case WMAPP_ACQ_SPECTRALDATA:
    case WMAPP_ACQ_INTENSITYDATA:
    case WMAPP_ACQ_IMAGEDATA:
        DeliverUpdate(lParam);
        return 0;
    case WMAPP_ACQ_END:
        SetOwnRun(false);
        m_pSetup->m_Exp.OnAcqEnd();
        if (m_ExpPage.IsBuilt())
            m_ExpPage.Refresh();
        RetitleTempDocument();
        AfxMessageBox(wParam ? unsigned(wParam) : 5120u);
        if (lParam)
            AfxMessageBox(unsigned(lParam));
        return 0;
    default:
        return 0;
    }
}

void CAcquireAESSheet::SaveFile(const std::string& path)
{
    WriteReported(path, [&] { AesSettingsFile::Write(*m_pSetup, path); });
}

void CAcquireAESSheet::OpenFile(const std::string& path)
{
    if (m_bOwnRun)
        return;
    CFile file;
    CFileException fe(CFileException::none, path);
    if (!file.Open(path, CFile::modeRead, &fe)) {
        AfxMessageBox(fe.what(), MB_OK | MB_ICONWARNING);
        return;
    }
    auto loaded = std::make_unique<CAesSetup>(m_pSetup->m_Instr);
    CAcqError error;
    switch (AesSettingsFile::Read(file, path, *loaded, error)) {
    case AesSettingsFile::Kind::Refused:
        Report(error);
        return;
    case AesSettingsFile::Kind::DataFile: {
        file.Close();
        CVeltraneDoc* doc = AcqHost().openDocument ? AcqHost().openDocument(path) : nullptr;
        if (!doc)
            return; // the document's reader has said why
        // What the document does not hold (the file name among it) stays as it was.
        loaded->CopyFrom(*m_pSetup);
        const CAcqError result = LoadAesFromDocument(*doc, doc->GetTitle(), *loaded);
        if (auto* tmpl = dynamic_cast<CMultiDocTemplate*>(doc->GetDocTemplate()))
            tmpl->CloseDocument(doc);
        if (result) {
            Report(result);
            return;
        }
        break;
    }
    case AesSettingsFile::Kind::Settings:
        file.Close();
        break;
    }
    TakeSetup(std::move(loaded));
}

void CAcquireAESSheet::TakeSetup(std::unique_ptr<CAesSetup> setup)
{
    m_pSetup = std::move(setup);
    for (int i = 0; i < GetPageCount(); ++i)
        if (auto* p = dynamic_cast<CAesPage*>(GetPage(i))) {
            p->SetSetup(m_pSetup.get());
            if (p->IsBuilt())
                p->Refresh();
        }
    m_RgnPage.OnExpTypeChange();
    // The set-up image shows the loaded points or areas, built page or not.
    m_ScnPage.Refresh();
    if (CPropertyPage* p = GetActivePage())
        p->OnSetActive();
}

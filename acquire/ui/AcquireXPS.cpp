#include "acquire/ui/AcquireXPS.h"

#include "acquire/ui/AcqHost.h"
#include "data/Experiment.h"
#include "data/Source.h"
#include "data/Update.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/Guard.h"
#include "instrument/ASCU.h"
#include "instrument/Config.h"
#include "instrument/DAU.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

#include <QFileInfo>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>

SXpsInstrument CurrentXpsInstrument()
{
    SXpsInstrument instr;
    const SAcqHost& host = AcqHost();
    instr.stageType = host.ascu ? host.ascu->GetStageType() : 1;
    instr.status = host.ascu ? host.ascu->GetStatus() : 0;
    instr.ascuGuns = host.ascu ? host.ascu->HasIonGun() : 0;
    instr.dauMIED = host.dau && host.dau->HasMIED();
    instr.maxNormal = CConfig::GetMaxNormalStagePosns();
    instr.maxLinear = CConfig::GetMaxLinearStagePosns();
    instr.maxMemory = CConfig::GetMaxMemoryStagePosns();
    instr.minTilt = CConfig::GetMinTilt();
    instr.maxTilt = CConfig::GetMaxTilt();
    return instr;
}

void CXpsPage::SetParentSheet(CAcquireXPSSheet* pSheet)
{
    m_pAcqXPS = pSheet;
    CAcquire_Page::SetParentSheet(pSheet);
}

CXpsSetup& CXpsPage::S() const
{
    return m_pAcqXPS->Setup();
}

CAcquireXPSSheet::CAcquireXPSSheet(QWidget* parent) : CAcquire_Sheet(1088, parent, 0)
{
    setObjectName(QStringLiteral("IDD_ACQ_XPS"));
    const bool binding = AcqHost().xpsUnit && AcqHost().xpsUnit() == 3;
    m_pSetup = std::make_unique<CXpsSetup>(CurrentXpsInstrument(), binding);
    for (CXpsPage* p : std::initializer_list<CXpsPage*>{&m_ExpPage, &m_SrcPage, &m_StgPage, &m_PrfPage,
                                                        &m_RgnPage, &m_ImgPage}) {
        AddPage(p);
        p->SetParentSheet(this);
    }
    m_pWatch = new QTimer(this);
    m_pWatch->setInterval(250);
    SafeConnect(m_pWatch, &QTimer::timeout, this, [this] {
        if (m_bStarted || !AcqHost().EngineIdle())
            return;
        m_pWatch->stop();
        m_bStarting = false;
        SetEngineBusy(false);
    });
}

CAcquireXPSSheet::~CAcquireXPSSheet() = default;

bool CAcquireXPSSheet::OnInitDialog()
{
    m_pSetup->m_Instr = CurrentXpsInstrument();
    m_pSetup->m_Exp.Init(m_pSetup->m_Instr);
    m_pSetup->m_Prf.Init(m_pSetup->m_Instr);
    // Room for all six tabs and a table of readable width at the default font.
    const QFontMetrics fm(font());
    for (int i = 0; i < GetPageCount(); ++i)
        if (auto* page = dynamic_cast<CAcquire_Page*>(GetPage(i)))
            page->SetMinimumRoom(QSize(fm.averageCharWidth() * 92, fm.height() * 26));
    const bool ok = CPropertySheet::OnInitDialog();
    AddButtons();
    return ok;
}

void CAcquireXPSSheet::RefreshPages()
{
    for (int i = 0; i < GetPageCount(); ++i)
        if (auto* p = dynamic_cast<CXpsPage*>(GetPage(i)); p && p->IsBuilt())
            p->Refresh();
}

void CAcquireXPSSheet::OnUnitChange()
{
    if (GetActivePage() == &m_RgnPage)
        m_RgnPage.OnSetActive();
}

bool CAcquireXPSSheet::IsRunBusy() const
{
    return m_bStarting || !AcqHost().EngineIdle();
}

void CAcquireXPSSheet::SetEngineBusy(bool busy)
{
    SetRunning(busy);
    m_SrcPage.SetEngineBusy(busy);
    m_ImgPage.SetEngineBusy(busy);
}

void CAcquireXPSSheet::Check() const
{
    try {
        m_pSetup->Check(m_SrcPage.IsXraysOn());
    } catch (const CAcqException& e) {
        // The energy limits are kinetic energies. A table in binding
        // energies must say so, or the message names a range in which the
        // refused value seems to lie.
        const unsigned id = e.Error().id;
        const bool energy = id == 2194 || id == 2195 || id == 2197 || id == 2198;
        if (!energy || !AcqHost().xpsUnit || AcqHost().xpsUnit() != CSource::BE)
            throw;
        const double photon = m_pSetup->m_Src.m_dEnergy;
        const CAcqError note{2116, {FormatG(photon), FormatG(photon - CConfig::GetMaxEnergy())}};
        AfxMessageBox(e.Error().Text() + "\n\n" + note.Text(), MB_OK | MB_ICONWARNING);
        throw CAcqException(CAcqError{}); // shown; the start is abandoned
    }
}

void CAcquireXPSSheet::OnStart()
{
    // One run at a time: a second Start while this one is being prepared or
    // running, or while the engine works for anyone, is refused.
    if (m_bStarting || !PrepareStart([this] { Check(); }))
        return;
    m_bStarting = true;
    m_bStarted = false;
    if (StartDocument())
        m_pWatch->start();
    else
        m_bStarting = false;
}

bool CAcquireXPSSheet::StartDocument()
{
    const int which = m_pSetup->GetExpType() == CAcquireXPS::Image ? 2
                      : m_pSetup->FastScanMode() == 1              ? 1
                                                                   : 0;
    return StartRun(
        which, [this](CVeltraneDoc& doc) { BuildXpsDocument(doc, *m_pSetup); }, m_pSetup->m_Exp.m_csFileName,
        [this](bool busy) { SetEngineBusy(busy); });
}

intptr_t CAcquireXPSSheet::OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WMAPP_ACQ_START:
        m_bStarted = true;
        m_pWatch->stop();
        SetEngineBusy(true);
        return 0;
    case WMAPP_ACQ_SPECTRALDATA:
    case WMAPP_ACQ_INTENSITYDATA:
    case WMAPP_ACQ_IMAGEDATA:
        DeliverUpdate(lParam);
        return 0;
    case WMAPP_ACQ_END: {
        m_pWatch->stop();
        m_bStarting = false;
        SetEngineBusy(false);
        m_pSetup->m_Exp.m_csFileName = CXpsExpModel::NextFileName(m_pSetup->m_Exp.m_csFileName);
        if (m_ExpPage.IsBuilt())
            m_ExpPage.Refresh();
        RetitleTempDocument();
        if (lParam)
            AfxMessageBox(unsigned(lParam));
        AfxMessageBox(wParam ? unsigned(wParam) : 5120u);
        return 0;
    }
    default:
        return 0;
    }
}

void CAcquireXPSSheet::SaveFile(const std::string& path)
{
    WriteReported(path, [&] { XpsSettingsFile::Write(*m_pSetup, path); });
}

void CAcquireXPSSheet::OpenFile(const std::string& path)
{
    if (!AcqHost().EngineIdle())
        return;
    CFile file;
    CFileException fe(CFileException::none, path);
    if (!file.Open(path, CFile::modeRead, &fe)) {
        AfxMessageBox(fe.what(), MB_OK | MB_ICONWARNING);
        return;
    }
    const bool binding = AcqHost().xpsUnit && AcqHost().xpsUnit() == 3;
    auto loaded = std::make_unique<CXpsSetup>(m_pSetup->m_Instr, binding);
    CAcqError error;
    switch (XpsSettingsFile::Read(file, path, *loaded, error)) {
    case XpsSettingsFile::Kind::Refused:
        Report(error);
        return;
    case XpsSettingsFile::Kind::DataFile: {
        file.Close();
        CVeltraneDoc* doc = AcqHost().openDocument ? AcqHost().openDocument(path) : nullptr;
        if (!doc)
            return; // the document's reader has said why
        const std::string title = doc->GetTitle();
        const CAcqError result = doc->GetTechnique() == CExperiment::XPS
                                     ? LoadXpsFromDocument(*doc, title, *loaded)
                                     : CAcqError{2161, {title}};
        if (auto* tmpl = dynamic_cast<CMultiDocTemplate*>(doc->GetDocTemplate()))
            tmpl->CloseDocument(doc);
        if (result) {
            Report(result);
            return;
        }
        TakeSetup(std::move(loaded), true, title);
        return;
    }
    case XpsSettingsFile::Kind::Settings:
        break;
    }
    file.Close();
    TakeSetup(std::move(loaded), false, SettingsFile::TitleOf(path));
}

void CAcquireXPSSheet::TakeSetup(std::unique_ptr<CXpsSetup> setup, bool fromDocument,
                                 const std::string& title)
{
    // The source page decides whether the loaded source may replace the one
    // held: not with another anode while the X-rays are on.
    const CXpsSrcModel loadedSrc = setup->m_Src;
    const CXpsSrcModel keep = m_pSetup->m_Src;
    m_pSetup = std::move(setup);
    m_pSetup->m_Src = keep;
    m_SrcPage.TakeLoaded(loadedSrc, fromDocument, title);
    m_pSetup->SetCurGroup(0);
    RefreshPages();
    if (CPropertyPage* p = GetActivePage())
        p->OnSetActive();
}

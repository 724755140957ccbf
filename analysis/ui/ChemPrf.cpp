#include "analysis/ui/ChemPrf.h"

#include "analysis/ui/ChemPrfGrids.h"
#include "analysis/ui/ChemPrfView.h"
#include "analysis/ui/ProcDlg.h"
#include "analysis/ui/SheetLayout.h"
#include "app/SpecViewBase.h"
#include "app/SummaryView.h"
#include "app/VeltraneView.h"
#include "app/plot/LineCursor.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/Registry.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/CrossThread.h"
#include "framework/ui/FileDialog.h"
#include "framework/ui/MDIChildWnd.h"
#include "framework/ui/Resources.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

namespace {

constexpr unsigned IDS_THREAD_FAILED = 2051;
constexpr unsigned IDS_OUT_OF_MEMORY = 2371;
// The frame's pane ids while the profile stands in: the spectrum view steps
// aside to the second, the profile is created with the third.
constexpr unsigned kSavedPaneID = CView::FirstPaneID + 1;
constexpr unsigned kProfilePaneID = CView::FirstPaneID + 2;

QColor FromColorRef(COLORREF c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// The spectral-data bit of the experiment type and the full scan type.
bool IsSpectralDoc(const CVeltraneDoc& doc)
{
    return (doc.GetExpType() & 0x100) != 0 && doc.GetScanType() == 1;
}

std::string Title(const CVeltraneDoc* doc)
{
    if (!doc->GetTitle().empty())
        return doc->GetTitle();
    return std::filesystem::path(doc->GetPathName()).filename().string();
}

} // namespace

// ------------------------------------------------------------- references

CChemPrfRefSpectrum::CChemPrfRefSpectrum(CVeltraneDoc* pDoc, const CSpecRgn* pTarget) : m_pDoc(pDoc)
{
    const CStagePosn* posn = pDoc->GetStagePosn(0);
    if (!posn || !pTarget)
        return;
    // Ranges compared low to high: either region may run down in energy.
    const double ts = std::min(pTarget->GetStart(), pTarget->GetFinish());
    const double tf = std::max(pTarget->GetStart(), pTarget->GetFinish());
    double best = 0.0;
    for (int i = 0; i < posn->GetNumSpecRgns(); ++i) {
        const CSpecRgn* r = posn->GetSpecRgn(i);
        const double rs = std::min(r->GetStart(), r->GetFinish()),
                     rf = std::max(r->GetStart(), r->GetFinish());
        if (tf <= rs || ts >= rf || tf == ts)
            continue;
        const double overlap = (std::min(tf, rf) - std::max(ts, rs)) / (tf - ts);
        if (overlap > best) {
            best = overlap;
            m_iRegion = i;
        }
    }
    SetLevel(0);
}

const CSpecRgn* CChemPrfRefSpectrum::GetRegion() const
{
    const CStagePosn* posn = m_pDoc->GetStagePosn(m_iSample);
    return posn ? posn->GetSpecRgn(m_iRegion) : nullptr;
}

void CChemPrfRefSpectrum::SetRegion(int region)
{
    m_iRegion = region;
    SetLevel(m_iLevel);
}

void CChemPrfRefSpectrum::SetLevel(int level)
{
    const CSpecRgn* r = GetRegion();
    m_iLevel = r && level >= 0 && level < r->GetNumTraces() ? level : 0;
    const CTrace* t = r ? r->GetTrace(m_iLevel) : nullptr;
    if (t && t->GetNumPoints() > 0)
        m_pdReversed.assign(std::make_reverse_iterator(t->GetData() + t->GetNumPoints()),
                            std::make_reverse_iterator(t->GetData()));
    else
        m_pdReversed.clear();
}

SChemPrfRefCurve CChemPrfRefSpectrum::Curve(bool bFalling) const
{
    SChemPrfRefCurve c;
    const CSpecRgn* r = GetRegion();
    const CTrace* t = r ? r->GetTrace(m_iLevel) : nullptr;
    if (!t)
        return c;
    c.y = t->GetData();
    c.n = t->GetNumPoints();
    c.min = t->GetMinValue();
    c.max = t->GetMaxValue();
    c.start = r->GetStart();
    c.finish = r->GetFinish();
    c.step = r->GetStep();
    // The fit walks a reference in the data's own direction of energy: one
    // that runs the other way is handed over reversed, as it would have been
    // measured on the data's scale.
    if ((c.finish < c.start) != bFalling && size_t(c.n) == m_pdReversed.size()) {
        c.y = m_pdReversed.data();
        std::swap(c.start, c.finish);
        c.step = -c.step;
    }
    return c;
}

// ------------------------------------------------------------------ pages

CChemPrf_Files::CChemPrf_Files(CChemPrf_Sheet* pSheet)
    : CPropertyPage(QStringLiteral("Files")), m_pGrid(new CChemPrfFileGrid(pSheet))
{
    setObjectName(QStringLiteral("IDD_CHEMPROF_FILES"));
    m_pGrid->setParent(this);
    m_pGrid->hide();
    auto* placeholder = new QWidget(this);
    placeholder->setObjectName(QStringLiteral("IDC_CHMPRFFIL_GRID"));
    placeholder->setMinimumSize(560, 130);
    (new QVBoxLayout(this))->addWidget(placeholder);
}

CChemPrf_Files::~CChemPrf_Files() = default;

bool CChemPrf_Files::OnInitDialog()
{
    if (!CPropertyPage::OnInitDialog())
        return false;
    m_pGrid->AttachToDlgItem(this, QStringLiteral("IDC_CHMPRFFIL_GRID"));
    return true;
}

void CChemPrf_Files::Fill()
{
    if (IsBuilt() && m_pGrid->GI())
        m_pGrid->Fill();
}

void CChemPrf_Files::RefreshValues()
{
    if (IsBuilt() && m_pGrid->GI())
        m_pGrid->RefreshValues();
}

CChemPrf_Calc::CChemPrf_Calc() : CPropertyPage(QStringLiteral("General"))
{
    setObjectName(QStringLiteral("IDD_CHEMPROF_CALC"));
    auto* gl = new QHBoxLayout(this);
    auto* display = new QGroupBox(QStringLiteral("Display"), this);
    auto* fitting = new QGroupBox(QStringLiteral("Fitting"), this);
    auto* dl = new QVBoxLayout(display);
    auto* fl = new QVBoxLayout(fitting);
    gl->addWidget(display);
    gl->addWidget(fitting);
    auto& reg = CRegistry::m_CChemPrf;
    struct Check
    {
        const char* name;
        const char* text;
        bool* field;
        bool fit;
    };
    const Check checks[6] = {
        {"IDC_CHMPRFCALC_SPECTRA", "Spectra", &reg.m_bShowSpectra, false},
        {"IDC_CHMPRFCALC_RESULT", "Result", &reg.m_bShowResult, false},
        {"IDC_CHMPRFCALC_RESIDUAL", "Residual", &reg.m_bShowResidual, false},
        {"IDC_CHMPRFCALC_CONST", "Fit constant term", &reg.m_bConstant, true},
        {"IDC_CHMPRFCALC_MULTISHIFT", "Independent shifts", &reg.m_bMultiShift, true},
        {"IDC_CHMPRFCALC_INITZERO", "Zero initial values", &reg.m_bInitZero, true},
    };
    for (const Check& c : checks) {
        auto* box = new QCheckBox(QString::fromLatin1(c.text), c.fit ? fitting : display);
        box->setObjectName(QString::fromLatin1(c.name));
        (c.fit ? fl : dl)->addWidget(box);
        m_Checks.push_back({box, c.field});
        connect(box, &QCheckBox::toggled, this, [this, c](bool on) {
            if (c.fit)
                OnFitFlag(c.field, on);
            else
                OnDisplayFlag(c.field, on);
        });
    }
}

bool CChemPrf_Calc::OnInitDialog()
{
    // The options as the settings hold them, without acting on them.
    for (const SCheck& c : m_Checks) {
        const QSignalBlocker quiet(c.box);
        c.box->setChecked(*c.field);
    }
    return CPropertyPage::OnInitDialog();
}

CChemPrf_Sheet* CChemPrf_Calc::Sheet() const
{
    return dynamic_cast<CChemPrf_Sheet*>(GetSheet());
}

void CChemPrf_Calc::OnDisplayFlag(bool* field, bool on)
{
    *field = on;
    CChemPrf_Sheet* sheet = Sheet();
    if (CSpecWnd* w = sheet && sheet->GetView() ? sheet->GetView()->GetSpecWnd() : nullptr)
        w->Invalidate(CSpecWnd::TraceArea, true);
}

void CChemPrf_Calc::OnFitFlag(bool* field, bool on)
{
    *field = on;
    CChemPrf_Sheet* sheet = Sheet();
    CChemPrfParams* params = sheet ? sheet->GetParams() : nullptr;
    if (!params)
        return;
    const auto& reg = CRegistry::m_CChemPrf;
    params->SetConstant(reg.m_bConstant);
    params->SetMultiShift(reg.m_bMultiShift);
    params->SetInitZero(reg.m_bInitZero);
    params->SetNumRefs(params->GetNumRefs(), true);
    sheet->Refresh();
}

// ------------------------------------------------------------------ sheet

CChemPrf_Sheet* CChemPrf_Sheet::m_pInstance = nullptr;
QRect CChemPrf_Sheet::m_rectWnd;

CChemPrf_Sheet::CChemPrf_Sheet(CSpecViewBase* pView)
    : CPropertySheet(QStringLiteral("Chemical Profiling"), nullptr, 0), m_FilesPage(this),
      m_StartCursor(std::make_unique<CLineCursor>(0)), m_FinishCursor(std::make_unique<CLineCursor>(0)),
      m_pView(pView)
{
    assert(pView);
    m_pInstance = this;
    setObjectName(QStringLiteral("IDD_CHEMPROF"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_StartCursor->SetDrawMode(R2_COPYPEN);
    m_FinishCursor->SetDrawMode(R2_COPYPEN);
    AddPage(&m_FilesPage);
    AddPage(&m_CalcPage);
}

CChemPrf_Sheet::~CChemPrf_Sheet()
{
    Teardown();
    if (m_pInstance == this)
        m_pInstance = nullptr;
    m_RefList.clear();
    for (auto& [doc, count] : m_DocMap)
        delete doc;
    m_DocMap.clear();
}

bool CChemPrf_Sheet::Create()
{
    SToolInstances::m_pChemPrfSheet = this;
    if (!CDialog::Create(nullptr)) {
        SToolInstances::m_pChemPrfSheet = nullptr;
        return false;
    }
    return true;
}

bool CChemPrf_Sheet::OnInitDialog()
{
    // The parameter table and the cursors first: the Files page, built with
    // the sheet, reads them.
    m_pView->EnableMultiTraceDisplay(false);
    m_pView->EnableMultiRegionDisplay(false);
    const auto& reg = CRegistry::m_CChemPrf;
    m_penResult = QPen(FromColorRef(reg.m_clrResult), 0);
    m_penResidual = QPen(FromColorRef(reg.m_clrResidual), 0);
    m_penSpectra = QPen(FromColorRef(reg.m_clrSpectra), 0);
    CSpecWnd* w = m_pView->GetSpecWnd();
    m_pParams =
        std::make_unique<CChemPrfParams>(std::max(1, w ? w->GetNumTraces() : m_pView->GetNumLevels()));
    m_pParams->SetConstant(reg.m_bConstant);
    m_pParams->SetMultiShift(reg.m_bMultiShift);
    m_pParams->SetInitZero(reg.m_bInitZero);
    AttachCursors();
    if (!CPropertySheet::OnInitDialog())
        return false;
    PlaceButtons();
    UpdateButtons();
    return true;
}

void CChemPrf_Sheet::PlaceButtons()
{
    // The framework's Apply button gives the size; the column starts level
    // with the top of the page area, the buttons 4 dialog units apart.
    QPushButton* apply = GetApplyButton();
    const QSize size = apply ? apply->sizeHint() : QSize();
    auto* column = new QVBoxLayout;
    column->setSpacing(fontMetrics().height() / 2);
    if (auto* tabs = findChild<QTabWidget*>())
        column->addSpacing(tabs->tabBar()->sizeHint().height());
    const std::pair<const char*, const char*> buttons[4] = {{"IDC_CHMPRF_CALC", "&Calculate"},
                                                            {"IDC_CHMPRF_PROFILE", "&Profile..."},
                                                            {"IDC_CHMPRF_SHOWHIDE", "Show"},
                                                            {"IDC_CHMPRF_CLOSE", "Close"}};
    for (int i = 0; i < 4; ++i) {
        m_Buttons[i] = new QPushButton(QString::fromLatin1(buttons[i].second), this);
        m_Buttons[i]->setObjectName(QString::fromLatin1(buttons[i].first));
        m_Buttons[i]->setAutoDefault(false);
        m_Buttons[i]->setEnabled(i == 3);
        if (size.isValid())
            m_Buttons[i]->setMinimumSize(size);
        column->addWidget(m_Buttons[i]);
    }
    connect(m_Buttons[0], &QPushButton::clicked, this, [this] { OnCalculate(); });
    connect(m_Buttons[1], &QPushButton::clicked, this, [this] { OnProfile(); });
    connect(m_Buttons[2], &QPushButton::clicked, this, [this] { OnShowHide(); });
    connect(m_Buttons[3], &QPushButton::clicked, this, [this] { OnCloseBtn(); });
    PutButtonColumnBesideTabs(this, column);
    // Where the user last left it; the first time centred at the bottom of
    // the work area, clear of the plot.
    PlaceToolSheet(this, m_pView, m_rectWnd);
}

void CChemPrf_Sheet::AttachCursors()
{
    CSpecWnd* w = m_pView->GetSpecWnd();
    CSpecTrace* t = m_pView->GetSpecTrace();
    if (!w || !t)
        return;
    const int n = t->GetNumPoints();
    m_pdResult.assign(size_t(n), 0.0);
    m_pdResidual.assign(size_t(n), 0.0);
    CProcDlg::AttachCursor(m_StartCursor.get(), w, t, t->IndexTox(n / 10));
    CProcDlg::AttachCursor(m_FinishCursor.get(), w, t, t->IndexTox(9 * n / 10));
    w->Invalidate(CSpecWnd::TraceArea, false);
}

void CChemPrf_Sheet::Teardown()
{
    if (m_bTornDown)
        return;
    m_bTornDown = true;
    // A profile fit in progress is stopped and waited for: its worker reads
    // the view's curves.
    if (m_pProfiling) {
        m_pProfiling->StopAndWait();
        m_pProfiling->EndDialog(0);
    }
    HideProfileView();
    if (SToolInstances::m_pChemPrfSheet == this)
        SToolInstances::m_pChemPrfSheet = nullptr;
    if (m_pView) {
        m_pView->EnableMultiTraceDisplay(true);
        m_pView->EnableMultiRegionDisplay(true);
        CSpecWnd* w = m_pView->GetSpecWnd();
        CProcDlg::DetachCursor(m_StartCursor.get(), w);
        CProcDlg::DetachCursor(m_FinishCursor.get(), w);
        if (CSpecTrace* t = m_pView->GetSpecTrace()) {
            t->Detach(m_StartCursor.get());
            t->Detach(m_FinishCursor.get());
        }
        if (w)
            w->Invalidate(CSpecWnd::TraceArea, true);
    }
}

void CChemPrf_Sheet::closeEvent(QCloseEvent* e)
{
    m_rectWnd = geometry();
    Teardown();
    // Not the dialog's close, which would cancel (and so close) again.
    QWidget::closeEvent(e);
}

void CChemPrf_Sheet::DestroyWindow()
{
    m_rectWnd = geometry();
    Teardown();
    // The view goes now: nothing may reach it afterwards.
    m_pView = nullptr;
    hide();
    deleteLater();
}

CVeltraneDoc* CChemPrf_Sheet::OpenRefDocument(const std::string& path)
{
    for (auto& [doc, count] : m_DocMap)
        if (doc->GetPathName() == path) {
            ++count;
            return doc;
        }
    auto doc = std::make_unique<CVeltraneDoc>();
    try {
        CFile file(path, CFile::modeRead);
        if (!doc->ReadFrom(file))
            return nullptr;
    } catch (const CFileException& e) {
        AfxMessageBox(FileExceptionMessage(e, true));
        return nullptr;
    }
    doc->SetPathName(path);
    if (!IsSpectralDoc(*doc)) {
        AfxMessageBox(FormatMessageId(IDS_ERR_CHMPRF_DATATYPE, {Title(doc.get())}));
        return nullptr;
    }
    CVeltraneDoc* p = doc.release();
    m_DocMap[p] = 1;
    return p;
}

void CChemPrf_Sheet::ReleaseRefDocument(CVeltraneDoc* pDoc)
{
    auto it = m_DocMap.find(pDoc);
    if (it == m_DocMap.end())
        return;
    if (--it->second == 0) {
        delete it->first;
        m_DocMap.erase(it);
    }
}

int CChemPrf_Sheet::AddReferences(int index, bool insert)
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QString(), QString(), QStringLiteral("Veltrane Data Files (*.vlt);;All Files (*)"));
    std::vector<std::string> paths;
    for (const QString& f : files)
        paths.push_back(f.toStdString());
    return AddReferenceFiles(paths, index, insert);
}

int CChemPrf_Sheet::AddReferenceFiles(const std::vector<std::string>& paths, int index, bool insert)
{
    if (paths.empty())
        return 0;
    const CSpecRgn* target = m_pView->GetCurrentRegion();
    bool added = false;
    for (size_t i = 0; i < paths.size(); ++i) {
        CVeltraneDoc* doc = OpenRefDocument(paths[i]);
        if (!doc)
            break;
        auto ref = std::make_unique<CChemPrfRefSpectrum>(doc, target);
        const bool replace = !insert && i == 0 && index < int(m_RefList.size());
        if (replace) {
            if (m_RefList[size_t(index)]->m_pDoc == doc) {
                ReleaseRefDocument(doc);
                continue;
            }
            ReleaseRefDocument(m_RefList[size_t(index)]->m_pDoc);
            m_RefList[size_t(index)] = std::move(ref);
        } else {
            // Every file after the first goes in just after the index.
            const int at = std::min<int>(insert ? index : index + 1, int(m_RefList.size()));
            m_RefList.insert(m_RefList.begin() + std::max(at, 0), std::move(ref));
        }
        added = true;
    }
    if (!added)
        return 0;
    ReferencesChanged();
    return 1;
}

void CChemPrf_Sheet::ReferencesChanged()
{
    // Every level's layout and results go with the old list.
    m_pParams->SetNumRefs(int(m_RefList.size()), true);
    CalcFittedCurve();
    FillFiles();
    UpdateButtons();
    if (CSpecWnd* w = m_pView->GetSpecWnd())
        w->Invalidate(CSpecWnd::TraceArea, true);
}

void CChemPrf_Sheet::RemoveReference(int index)
{
    if (index < 0 || index >= int(m_RefList.size()))
        return;
    CVeltraneDoc* doc = m_RefList[size_t(index)]->m_pDoc;
    m_RefList.erase(m_RefList.begin() + index);
    ReleaseRefDocument(doc);
    ReferencesChanged();
}

void CChemPrf_Sheet::SetRefRegion(int index, int region)
{
    m_RefList.at(size_t(index))->SetRegion(region);
    Refresh();
}

void CChemPrf_Sheet::SetRefLevel(int index, int level)
{
    m_RefList.at(size_t(index))->SetLevel(level);
    Refresh();
}

void CChemPrf_Sheet::SetRefLabel(int index, const std::string& label)
{
    if (index >= 0 && index < int(m_RefList.size()))
        m_RefList[size_t(index)]->m_csLabel = label;
}

void CChemPrf_Sheet::Refresh()
{
    m_pParams->ResetAll();
    CalcFittedCurve();
    if (CSpecWnd* w = m_pView->GetSpecWnd())
        w->Invalidate(CSpecWnd::TraceArea, true);
    FillFiles();
    UpdateButtons();
}

void CChemPrf_Sheet::UpdateButtons()
{
    if (!m_Buttons[0])
        return;
    const bool refs = !m_RefList.empty();
    m_Buttons[0]->setEnabled(refs);
    m_Buttons[1]->setEnabled(refs && m_pParams && m_pParams->GetNumLevels() > 1);
    if (m_pPrfView) {
        m_Buttons[2]->setText(QStringLiteral("Hide"));
        m_Buttons[2]->setEnabled(true);
    } else {
        m_Buttons[2]->setText(QStringLiteral("Show"));
        m_Buttons[2]->setEnabled(m_pParams && m_pParams->GetNumRefs() > 0 && m_pParams->CountDone() > 2);
    }
}

void CChemPrf_Sheet::FillFiles()
{
    m_FilesPage.Fill();
}

void CChemPrf_Sheet::RefreshValues()
{
    m_FilesPage.RefreshValues();
}

bool CChemPrf_Sheet::GetStretch(int& lo, int& hi) const
{
    CSpecTrace* t = m_pView ? m_pView->GetSpecTrace() : nullptr;
    if (!t || t->GetNumPoints() < 1)
        return false;
    const int n = t->GetNumPoints();
    ChemPrfStretch(std::clamp(t->xToIndex(m_StartCursor->GetPos()), 0, n - 1),
                   std::clamp(t->xToIndex(m_FinishCursor->GetPos()), 0, n - 1), lo, hi);
    return true;
}

std::vector<SChemPrfRefCurve> CChemPrf_Sheet::RefCurves() const
{
    std::vector<SChemPrfRefCurve> refs;
    for (const auto& r : m_RefList)
        refs.push_back(r->Curve(TargetFalls()));
    return refs;
}

SChemPrfTarget CChemPrf_Sheet::Target() const
{
    SChemPrfTarget t;
    if (const CSpecRgn* r = m_pView ? m_pView->GetCurrentRegion() : nullptr) {
        t.start = r->GetStart();
        t.finish = r->GetFinish();
        t.n = r->GetNumPoints();
    }
    return t;
}

void CChemPrf_Sheet::CalcFittedCurve()
{
    CSpecTrace* t = m_pView ? m_pView->GetSpecTrace() : nullptr;
    if (!t || !m_pParams)
        return;
    const int n = t->GetNumPoints();
    m_pdResult.assign(size_t(n), 0.0);
    m_pdResidual.resize(size_t(n), 0.0);
    SChemPrfTarget target = Target();
    target.n = n;
    ChemPrfFittedCurve(*m_pParams, m_pView->GetCurrentLevel(), RefCurves(), target, t->GetYDataConst(),
                       t->GetMinValue(), t->GetMaxValue(), m_pdResult.data(), m_pdResidual.data());
}

void CChemPrf_Sheet::OnCalculate()
{
    m_iStop = 0;
    int lo = 0, hi = 0;
    CSpecTrace* t = m_pView->GetSpecTrace();
    if (m_RefList.empty() || !t || !GetStretch(lo, hi))
        return;
    const int nparm = m_pParams->GetRowLength();
    if (!ChemPrfCoveredStretch(RefCurves(), Target(), lo, hi) || nparm >= hi - lo + 1) {
        AfxMessageBox(IDS_ERR_CHMPRF_SRCPTS);
        return;
    }
    const int level = m_pView->GetCurrentLevel();
    if (level < 0 || level >= m_pParams->GetNumLevels())
        return;
    std::vector<double> row;
    try {
        CChemPrfFitSetup setup(SPelomarApi::Library(), RefCurves(), Target(), lo, hi, &m_iStop);
        if (setup.Error()) {
            AfxMessageBox(setup.Error());
            return;
        }
        const double mean = setup.LoadLevel(t->GetYDataConst(), t->GetMinValue(), t->GetMaxValue());
        m_pParams->SetInitialOffset(level, mean);
        // The worker solves a private copy; the table is written here.
        row.assign(m_pParams->GetRow(level), m_pParams->GetRow(level) + nparm);
        CChemPrf_Calculating dlg(setup, row, m_pParams->GetMode(), this);
        const int result = dlg.DoModal();
        if (result >= 1 && result <= 0xFFFF) {
            AfxMessageBox(unsigned(result));
            return;
        }
        // No solve at all is no result: the level keeps what it had.
        if (RefFitNotSolved(dlg.Outcome())) {
            AfxMessageBox(IDS_ERR_CHMPRF_NOSOLVE);
            return;
        }
        // A solver condition left after six tries keeps the last estimates.
    } catch (const std::bad_alloc&) {
        AfxMessageBox(IDS_OUT_OF_MEMORY);
        return;
    }
    // The view may have gone while the fit ran.
    if (!m_pView)
        return;
    SChemPrfLevelResult res;
    res.level = level;
    res.row = std::move(row);
    ChemPrfStoreResult(*m_pParams, res);
    // A solver condition left after six tries is only traced.
    ChemPrfTraceLevel(*m_pParams, level);
    CalcFittedCurve();
    if (CSpecWnd* w = m_pView->GetSpecWnd())
        w->Invalidate(CSpecWnd::TraceArea, true);
    RefreshValues();
    UpdateButtons();
}

void CChemPrf_Sheet::OnProfile()
{
    HideProfileView();
    CChemPrf_Profiling dlg(this);
    m_pProfiling = &dlg;
    const int result = dlg.DoModal();
    m_pProfiling = nullptr;
    if (result >= 1 && result <= 0xFFFF && result != 1 /* IDOK */)
        AfxMessageBox(unsigned(result));
    UpdateButtons();
}

void CChemPrf_Sheet::OnShowHide()
{
    if (m_pPrfView) {
        HideProfileView();
        UpdateButtons();
        return;
    }
    if (!m_pView || !m_pParams || m_pParams->GetNumRefs() == 0)
        return;
    std::vector<double> levels;
    for (int l = 0; l < m_pParams->GetNumLevels(); ++l)
        if (m_pParams->IsDone(l))
            levels.push_back(double(l));
    if (levels.empty())
        return;
    std::vector<std::vector<double>> intensities(m_RefList.size());
    std::vector<std::string> labels;
    for (size_t k = 0; k < m_RefList.size(); ++k) {
        for (double l : levels)
            intensities[k].push_back(m_pParams->GetIntensity(int(l), int(k)));
        // The legend draws UTF-8; the label is the table's code page 1252.
        const QString label = ToQString(m_RefList[k]->m_csLabel).trimmed();
        labels.push_back(label.isEmpty() ? Title(m_RefList[k]->m_pDoc).substr(0, 260) : label.toStdString());
    }
    // The profile stands in for the spectrum view in its frame until hidden;
    // the spectrum view keeps its plot windows, cursors and overlays.
    CMDIChildWnd* frame = m_pView->GetParentFrame();
    if (!frame)
        return;
    auto prf = std::make_unique<CChemPrfView>(std::move(levels), std::move(intensities), std::move(labels));
    prf->SetDlgCtrlID(kProfilePaneID);
    m_pPrfView = prf.release();
    frame->ShowViewInstead(m_pPrfView, kSavedPaneID);
    m_pPrfView->OnInitialUpdate();
    UpdateButtons();
}

CChemPrfView* CChemPrf_Sheet::GetPrfView() const
{
    return m_pPrfView.data();
}

void CChemPrf_Sheet::HideProfileView()
{
    if (!m_pPrfView)
        return;
    CChemPrfView* prf = m_pPrfView;
    m_pPrfView = nullptr;
    if (CMDIChildWnd* frame = prf->GetParentFrame())
        frame->RestoreView(m_pView, prf);
    else
        delete prf;
    if (m_pView && m_pView->GetSpecWnd())
        m_pView->GetSpecWnd()->Invalidate(CSpecWnd::TraceArea, true);
}

void CChemPrf_Sheet::OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld)
{
    if (pOld) {
        CProcDlg::DetachCursor(m_StartCursor.get(), pOld);
        CProcDlg::DetachCursor(m_FinishCursor.get(), pOld);
    }
    if (!pNew)
        return;
    AttachCursors();
    if (pNew != pOld)
        ForgetFits(pNew->GetNumTraces());
}

void CChemPrf_Sheet::OnSampleChange(int iNew, int iOld)
{
    // Another position's curves in the same window: the cursors go to its
    // current curve, and the fits of the last position's curves go.
    CSpecWnd* w = m_pView ? m_pView->GetSpecWnd() : nullptr;
    if (!w || iNew == iOld)
        return;
    CProcDlg::DetachCursor(m_StartCursor.get(), w);
    CProcDlg::DetachCursor(m_FinishCursor.get(), w);
    AttachCursors();
    ForgetFits(w->GetNumTraces());
}

void CChemPrf_Sheet::ForgetFits(int nLevels)
{
    // The results belong to curves no longer shown: none of them is a fit of
    // these levels, whose number may differ too.
    if (!m_pParams)
        return;
    auto params = std::make_unique<CChemPrfParams>(std::max(1, nLevels));
    params->SetConstant(m_pParams->IsConstant());
    params->SetMultiShift(m_pParams->IsMultiShift());
    params->SetInitZero(m_pParams->IsInitZero());
    params->SetNumRefs(int(m_RefList.size()), true);
    m_pParams = std::move(params);
    CalcFittedCurve();
    RefreshValues();
    UpdateButtons();
}

void CChemPrf_Sheet::OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld)
{
    if (pOld) {
        CProcDlg::DetachCursor(m_StartCursor.get(), nullptr);
        CProcDlg::DetachCursor(m_FinishCursor.get(), nullptr);
        pOld->Detach(m_StartCursor.get());
        pOld->Detach(m_FinishCursor.get());
    }
    CSpecWnd* w = m_pView ? m_pView->GetSpecWnd() : nullptr;
    if (pNew && w) {
        const double x0 = m_StartCursor->GetPos(), x1 = m_FinishCursor->GetPos();
        CProcDlg::AttachCursor(m_StartCursor.get(), w, pNew, x0);
        CProcDlg::AttachCursor(m_FinishCursor.get(), w, pNew, x1);
        CalcFittedCurve();
        RefreshValues();
    }
}

intptr_t CChemPrf_Sheet::OnLineCursorPos(uintptr_t, intptr_t)
{
    return 1;
}

intptr_t CChemPrf_Sheet::OnPaintOver(CSpecWnd* pWnd, QPainter* pDC)
{
    if (!m_pView || pWnd != m_pView->GetSpecWnd() || !pDC || !m_pParams)
        return 0;
    CSpecTrace* t = m_pView->GetSpecTrace();
    if (!t || t->GetNumPoints() < 1)
        return 0;
    const int n = t->GetNumPoints();
    const int level = m_pView->GetCurrentLevel();
    const bool fitted = level >= 0 && level < m_pParams->GetNumLevels() && m_pParams->IsDone(level);
    const auto& reg = CRegistry::m_CChemPrf;
    const CRect clip = *t->GetRect();
    double* data = t->GetYData();
    const int mode = t->SetDispMode(CSpecTrace::Transparent);
    QPen* pen = t->GetPen();
    auto draw = [&](std::vector<double>& v, QPen* p) {
        t->SetYData(v.data());
        t->SetPen(p);
        t->DrawTrace(pDC, &clip, FALSE);
    };
    if (reg.m_bShowSpectra && m_pParams->GetRow(0)) {
        // Each reference where the fit put it: its own shift converted to
        // data channels, scaled to the data's range.
        const SChemPrfTarget target{Target().start, Target().finish, n};
        const int lvl = std::clamp(level, 0, m_pParams->GetNumLevels() - 1);
        m_pdOverlay.resize(size_t(n));
        for (size_t k = 0; k < m_RefList.size(); ++k)
            if (ChemPrfReferenceOverlay(m_RefList[k]->Curve(TargetFalls()), target,
                                        m_pParams->GetShift(lvl, int(k)), t->GetMinValue(), t->GetMaxValue(),
                                        m_pdOverlay.data()))
                draw(m_pdOverlay, &m_penSpectra);
    }
    if (fitted && m_pdResult.size() == size_t(n)) {
        if (reg.m_bShowResidual)
            draw(m_pdResidual, &m_penResidual);
        if (reg.m_bShowResult)
            draw(m_pdResult, &m_penResult);
    }
    t->SetPen(pen);
    t->SetDispMode(mode);
    t->SetYData(data);
    return 0;
}

// ------------------------------------------------------------ calculating

CChemPrf_Calculating::CChemPrf_Calculating(CChemPrfFitSetup& setup, std::vector<double>& row, int mode,
                                           QWidget* parent)
    : CDialog(parent), m_setup(setup), m_row(row), m_mode(mode)
{
    setObjectName(QStringLiteral("IDD_CHEMPROF_CALCULATING"));
    setWindowTitle(QStringLiteral("Chemical Profiling"));
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    (new QVBoxLayout(this))->addWidget(new QLabel(QStringLiteral("Calculating..."), this));
}

CChemPrf_Calculating::~CChemPrf_Calculating()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool CChemPrf_Calculating::OnInitDialog()
{
    if (!CDialog::OnInitDialog())
        return false;
    const auto start = std::chrono::steady_clock::now();
    try {
        m_thread = std::thread([this, start] {
            const int outcome = m_setup.Solve(m_row.data(), int(m_row.size()), m_mode);
            PostToThreadOf(this, [this, outcome, start] {
                m_outcome = outcome;
                // Visible for at least 500 ms, without blocking the loop.
                const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count();
                QTimer::singleShot(std::max<int>(0, 500 - int(elapsed)), this, [this] { EndDialog(0); });
            });
        });
    } catch (const std::system_error&) {
        EndDialog(int(IDS_THREAD_FAILED));
    }
    return true;
}

void CChemPrf_Calculating::closeEvent(QCloseEvent* e)
{
    e->ignore();
}

// -------------------------------------------------------------- profiling

CChemPrf_Profiling::CChemPrf_Profiling(CChemPrf_Sheet* pSheet)
    : CDialog(pSheet), m_pSheet(pSheet), m_pParams(pSheet->GetParams())
{
    setObjectName(QStringLiteral("IDD_CHEMPROF_PROFILING"));
    setWindowTitle(QStringLiteral("Chemical Profiling : Calculating Profile"));
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    m_pGrid = new CChemPrfPrfGrid(pSheet);
    auto* placeholder = new QWidget(this);
    placeholder->setObjectName(QStringLiteral("IDC_CHMPRFPRF_GRID"));
    m_btnSaveAs = new QPushButton(QStringLiteral("Save As..."), this);
    m_btnSaveAs->setObjectName(QStringLiteral("IDC_CHMPRFPRF_SAVEAS"));
    m_btnStartStop = new QPushButton(this);
    m_btnStartStop->setObjectName(QStringLiteral("IDC_CHMPRFPRF_CTRL"));
    m_btnClose = new QPushButton(QStringLiteral("Close"), this);
    m_btnClose->setObjectName(QStringLiteral("IDC_CHMPRFPRF_CLOSE"));
    for (QPushButton* b : {m_btnSaveAs, m_btnStartStop, m_btnClose})
        b->setAutoDefault(false);
    m_btnSaveAs->setEnabled(false);
    m_btnClose->setEnabled(false);
    auto* column = new QVBoxLayout;
    column->addWidget(m_btnStartStop);
    column->addWidget(m_btnSaveAs);
    column->addWidget(m_btnClose);
    column->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(placeholder, 1);
    layout->addLayout(column);
    connect(m_btnStartStop, &QPushButton::clicked, this, [this] { OnStartStop(); });
    connect(m_btnSaveAs, &QPushButton::clicked, this, [this] { OnSaveAs(); });
    connect(m_btnClose, &QPushButton::clicked, this, [this] { EndDialog(0); });
}

CChemPrf_Profiling::~CChemPrf_Profiling()
{
    StopAndWait();
}

bool CChemPrf_Profiling::OnInitDialog()
{
    if (!CDialog::OnInitDialog())
        return false;
    // The table's set-up lays the dialog out (LayoutControls).
    m_pGrid->AttachToDlgItem(this, QStringLiteral("IDC_CHMPRFPRF_GRID"));
    Start();
    return true;
}

void CChemPrf_Profiling::LayoutControls(int& gridW, int& gridH, int& hScrollHeight, int& vScrollWidth)
{
    auto* box = qobject_cast<QBoxLayout*>(layout());
    if (!box)
        return;
    const QMargins margins = box->contentsMargins();
    // The button column alone, as the template has it.
    const QSize column = box->count() > 1 ? box->itemAt(1)->sizeHint() : QSize();
    SChemPrfDialogMetrics m;
    m.marginX = margins.left();
    m.marginY = margins.top();
    m.templW = margins.left() + column.width() + margins.right();
    m.templH = margins.top() + column.height() + margins.bottom();
    box->setSpacing(m.marginX);
    // Before the window is first shown its frame is not known: the title bar
    // stands for it.
    const QSize frame = frameGeometry().size() - geometry().size();
    m.frameW = frame.width();
    m.frameH = frame.height() > 0 ? frame.height() : style()->pixelMetric(QStyle::PM_TitleBarHeight);
    m.vScrollW = vScrollWidth;
    m.hScrollH = hScrollHeight;
    const QScreen* screen =
        m_pSheet && m_pSheet->screen() ? m_pSheet->screen() : QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    m.workW = work.width();
    m.workH = work.height();
    const SChemPrfDialogSize s = ChemPrfDialogSize(gridW, gridH, m);
    gridW = s.gridW;
    gridH = s.gridH;
    hScrollHeight = s.hScroll;
    vScrollWidth = s.vScroll;
    m_pGrid->setFixedSize(gridW, gridH);
    resize(s.clientW, s.clientH);
    move(work.left() + (work.width() - s.clientW - m.frameW) / 2,
         work.top() + (work.height() - s.clientH - m.frameH) / 2);
}

void CChemPrf_Profiling::closeEvent(QCloseEvent* e)
{
    if (m_bRunning)
        e->ignore();
    else
        QDialog::closeEvent(e);
}

void CChemPrf_Profiling::Start()
{
    if (m_thread.joinable())
        m_thread.join();
    m_btnStartStop->setText(QStringLiteral("S&top"));
    m_btnStartStop->setEnabled(true);
    m_btnSaveAs->setEnabled(false);
    m_btnClose->setEnabled(false);
    m_bRunning = true;
    m_iStop = 0;
    m_nSolved = 0;
    m_nNotSolved = 0;
    int lo = 0, hi = 0;
    m_pSheet->GetStretch(lo, hi);
    // Everything the worker reads is gathered here, on this thread.
    auto refs = m_pSheet->RefCurves();
    auto target = m_pSheet->Target();
    std::vector<SChemPrfLevelCurve> levels;
    if (const CSpecRgn* rgn = m_pSheet->GetView()->GetCurrentRegion())
        for (int l = 0; l < std::min(rgn->GetNumTraces(), m_pParams->GetNumLevels()); ++l) {
            const CTrace* t = rgn->GetTrace(l);
            levels.push_back({t->GetData(), t->GetMinValue(), t->GetMaxValue()});
        }
    auto params = std::make_shared<CChemPrfParams>(*m_pParams);
    try {
        m_thread = std::thread([this, refs, target, levels, lo, hi, params] {
            unsigned message = 0;
            try {
                message =
                    ChemPrfRunProfile(SPelomarApi::Library(), *params, refs, target, levels, lo, hi, &m_iStop,
                                      [this](SChemPrfLevelResult&& r) {
                                          if (!r.stopped)
                                              ++m_nSolved;
                                          PostToThreadOf(this, [this, r = std::move(r)] { OnTrace(r); });
                                      });
            } catch (const std::bad_alloc&) {
                message = IDS_OUT_OF_MEMORY;
            }
            const int n = message ? 0 : int(levels.size());
            PostToThreadOf(this, [this, message, n] { OnEndThread(message, n); });
        });
    } catch (const std::system_error&) {
        m_bRunning = false;
        EndDialog(int(IDS_THREAD_FAILED));
    }
}

void CChemPrf_Profiling::StopAndWait()
{
    ChemPrfRequestStop(m_iStop);
    if (m_thread.joinable())
        m_thread.join();
    m_bRunning = false;
}

void CChemPrf_Profiling::OnStartStop()
{
    if (m_bRunning) {
        ChemPrfRequestStop(m_iStop);
        return;
    }
    Start();
}

void CChemPrf_Profiling::OnTrace(SChemPrfLevelResult res)
{
    ChemPrfStoreResult(*m_pParams, res);
    // The level on show draws and lists its row as it now is: refitted, even
    // when it had been fitted before, or reset by a stop.
    CSpecViewBase* view = m_pSheet->GetView();
    if (view && res.level == view->GetCurrentLevel()) {
        m_pSheet->CalcFittedCurve();
        if (CChemPrfFileGrid* g = m_pSheet->GetFileGrid())
            g->RefreshValues();
        if (CSpecWnd* w = view->GetSpecWnd())
            w->Invalidate(CSpecWnd::TraceArea, true);
    }
    if (res.stopped)
        return;
    if (RefFitNotSolved(res.outcome)) {
        ++m_nNotSolved;
        return;
    }
    ChemPrfTraceProfileLevel(*m_pParams, res.level, res.outcome);
    m_pGrid->ShowLevel(res.level);
}

void CChemPrf_Profiling::OnEndThread(unsigned message, int nLevels)
{
    if (m_thread.joinable())
        m_thread.join();
    const bool all = nLevels > 0 && m_pParams->CountDone() == nLevels;
    m_btnStartStop->setText(all ? QStringLiteral("S&top") : QStringLiteral("&Start"));
    m_btnStartStop->setEnabled(!all);
    m_btnSaveAs->setEnabled(m_pParams->CountDone() > 0);
    m_btnClose->setEnabled(true);
    m_bRunning = false;
    if (message)
        AfxMessageBox(message);
    else if (m_nNotSolved > 0)
        AfxMessageBox(IDS_ERR_CHMPRF_NOSOLVE);
}

bool CChemPrf_Profiling::SaveTo(const std::string& path)
{
    std::vector<double> steps;
    // The steps the fit's shifts were counted in.
    for (const SChemPrfRefCurve& r : m_pSheet->RefCurves())
        steps.push_back(r.step);
    try {
        WriteChemPrfExport(path, *m_pParams, steps);
    } catch (const CFileException& e) {
        AfxMessageBox(FileExceptionMessage(e, true));
        return false;
    }
    return true;
}

void CChemPrf_Profiling::OnSaveAs()
{
    std::string path;
    if (AskTextExportPath(this, path))
        SaveTo(path);
}

// ----------------------------------------------------------- registration

void InstallChemPrfTool()
{
    RegisterProcessTool(ID_PROCESS_CHEMICALPROFILING, [](CVeltraneView* v) {
        auto* spec = dynamic_cast<CSpecViewBase*>(v);
        if (!spec || CChemPrf_Sheet::GetInstance())
            return;
        auto* sheet = new CChemPrf_Sheet(spec);
        if (!sheet->Create())
            delete sheet;
    });
}

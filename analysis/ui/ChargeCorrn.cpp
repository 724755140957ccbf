#include "analysis/ui/ChargeCorrn.h"

#include "app/SpecView.h"
#include "app/Veltrane.h"
#include "app/plot/LineCursor.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/Update.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/DataExchange.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

QRect CChargeCorrn::m_rectWnd;

namespace {
int g_bAllRegions = 1;
int g_iReference = 0;
double g_dReference = 284.0;
constexpr double kCarbon = 284.0;
constexpr double kOxygen = 532.0;
constexpr double kMaxReference = 100000.0; // eV
constexpr unsigned IDS_FORMAT_3F = 1302;

QString Format3(double v)
{
    return QString::fromStdString(FormatPrintf(LoadString(IDS_FORMAT_3F).c_str(), v));
}

double Round3(double v)
{
    return std::floor(v * 1000 + 0.5) / 1000;
}
} // namespace

CChargeCorrn::CChargeCorrn()
    : CProcDlg(IDD_CHARGECORRN, &m_rectWnd), m_iReference(g_iReference), m_bAllRegions(g_bAllRegions),
      m_dReference(g_dReference), m_pCursor(std::make_unique<CLineCursor>(0))
{
    setObjectName(QStringLiteral("IDD_CHARGECORRN"));
    setWindowTitle(QStringLiteral("Charge Correction"));
    auto* ref = new QGroupBox(QStringLiteral("Reference"), this);
    auto* carbon = new QRadioButton(QStringLiteral("Carbon 1s"), ref);
    carbon->setObjectName(QStringLiteral("IDC_CHARGECORRN_CARBON"));
    auto* oxygen = new QRadioButton(QStringLiteral("Oxygen 1s"), ref);
    oxygen->setObjectName(QStringLiteral("IDC_CHARGECORRN_OXYGEN"));
    auto* rv = new QVBoxLayout(ref);
    rv->addWidget(carbon);
    rv->addWidget(oxygen);
    m_edtNew = new QLineEdit(this);
    m_edtNew->setObjectName(QStringLiteral("IDC_CHARGECORRN_NEWVAL"));
    m_edtNew->setMaxLength(8);
    m_edtCurrent = new QLineEdit(this);
    m_edtCurrent->setObjectName(QStringLiteral("IDC_CHARGECORRN_CURVAL"));
    m_edtCurrent->setReadOnly(true);
    auto* over = new QGroupBox(QStringLiteral("Apply over"), this);
    auto* all = new QCheckBox(QStringLiteral("All Regions"), over);
    all->setObjectName(QStringLiteral("IDC_CHARGECORRN_ALLREGIONS"));
    (new QVBoxLayout(over))->addWidget(all);
    QPushButton* ok = AddButton("IDOK", QStringLiteral("OK"));
    QPushButton* cancel = AddButton("IDCANCEL", QStringLiteral("Cancel"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(ref, 0, 0, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("New"), this), 0, 1);
    grid->addWidget(m_edtNew, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Current"), this), 1, 1);
    grid->addWidget(m_edtCurrent, 1, 2);
    grid->addWidget(over, 2, 0);
    grid->addWidget(ok, 2, 1);
    grid->addWidget(cancel, 2, 2);
    connect(carbon, &QRadioButton::clicked, this, [this] { OnReference(IDC_CHARGECORRN_CARBON); });
    connect(oxygen, &QRadioButton::clicked, this, [this] { OnReference(IDC_CHARGECORRN_OXYGEN); });
    connect(m_edtNew, &QLineEdit::textChanged, this, [this] { OnChangeNew(); });
    connect(ok, &QPushButton::clicked, this, &CChargeCorrn::accept);
    connect(cancel, &QPushButton::clicked, this, &CChargeCorrn::reject);
}

CChargeCorrn::~CChargeCorrn()
{
    g_bAllRegions = m_bAllRegions;
    g_iReference = m_iReference;
    g_dReference = m_dReference;
}

bool CChargeCorrn::Create(unsigned nIDTemplate, CSpecViewBase* pView)
{
    // Offsets change, not curves: no undo copy.
    m_pView = pView;
    return CProcDlg::Create(nIDTemplate, nullptr);
}

void CChargeCorrn::DoDataExchange(CDataExchange* pDX)
{
    DDX_Radio(pDX, "IDC_CHARGECORRN_CARBON", m_iReference);
    DDX_Check(pDX, "IDC_CHARGECORRN_ALLREGIONS", m_bAllRegions);
    DDX_Text(pDX, "IDC_CHARGECORRN_NEWVAL", m_dReference);
    // The short field still takes an exponent; a reference beyond any
    // spectrometer's range would shift every region to an enormous or
    // infinite energy.
    DDV_MinMaxDouble(pDX, m_dReference, -kMaxReference, kMaxReference);
}

int CChargeCorrn::DisplayUnit() const
{
    if (const auto* v = dynamic_cast<const CSpecView*>(m_pView))
        if (v->GetEnergyUnit() != CVeltrane::None)
            return v->GetEnergyUnit();
    const CVeltrane* app = CVeltrane::GetApp();
    return app ? app->GetCurrentXPSUnit() : CVeltrane::BE;
}

double CChargeCorrn::Convert(double value, int from, int to) const
{
    const CVeltraneDoc* doc = GetDocument();
    return doc ? doc->GetSource()->ConvertEnergy(value, from, to) : value;
}

double CChargeCorrn::CursorEnergy() const
{
    CSpecWnd* w = m_pView ? m_pView->GetSpecWnd() : nullptr;
    return w ? w->xToUnit(m_pCursor->GetPos(), w->GetDispPlane()) : 0.0;
}

bool CChargeCorrn::OnInitDialog()
{
    // The chosen line's energy goes into the edit with the data exchange: a
    // value left from an earlier opening would make the edit's change
    // handler drop the choice.
    if (m_iReference == 0 || m_iReference == 1)
        m_dReference = m_iReference == 0 ? kCarbon : kOxygen;
    if (!CProcDlg::OnInitDialog())
        return false;
    CVeltraneDoc* doc = GetDocument();
    if (!m_pView || !doc)
        return true;
    m_pView->EnableMultiTraceDisplay(false);
    const int unit = DisplayUnit();
    double R = Convert(m_dReference, CVeltrane::BE, unit);
    const double ke = Convert(m_dReference, CVeltrane::BE, CVeltrane::KE);

    // The region that holds the reference: the active window's first, then
    // the other displayed windows in order.
    CSpecWnd* active = m_pView->GetSpecWnd();
    const int plane = active ? active->GetDispPlane() : 0;
    const CStagePosn* posn = doc->GetStagePosn(plane);
    auto holds = [&](const CSpecWnd* w) {
        const int i = w ? w->GetWndID() : -1;
        const CSpecRgn* r = posn && i >= 0 && i < posn->GetNumSpecRgns() ? posn->GetSpecRgn(i) : nullptr;
        // Either way round: a region on rising binding energies falls in kinetic energy.
        return r && std::min(r->GetStart(), r->GetFinish()) <= ke &&
               ke <= std::max(r->GetStart(), r->GetFinish());
    };
    int found = holds(active) ? active->GetWndID() : -1;
    if (found < 0)
        for (int k = 0; k < m_pView->GetNumDispWnds(); ++k) {
            const int i = m_pView->GetFirstDispWnd() + k;
            CSpecWnd* w = m_pView->GetSpecWnd(i);
            if (w && w != active && holds(w)) {
                found = i;
                break;
            }
        }
    if (found >= 0 && m_pView->GetSpecWnd(found) != active && m_pView->GetNumDispWnds() > 1)
        m_pView->SetActiveDispWnd(found);
    CSpecWnd* w = m_pView->GetSpecWnd();
    CSpecTrace* t = m_pView->GetSpecTrace();
    if (found < 0 && w) {
        m_iReference = -1;
        UpdateData(false);
        R = Round3(w->xToUnit(CentreOf(t), w->GetDispPlane()));
    }
    if (w)
        AttachCursor(m_pCursor.get(), w, t, w->UnitTox(R, w->GetDispPlane()));
    m_edtCurrent->setText(Format3(R));
    m_edtNew->setText(Format3(R));
    return true;
}

void CChargeCorrn::OnReference(int id)
{
    const double be = id == IDC_CHARGECORRN_CARBON ? kCarbon : kOxygen;
    m_edtNew->setText(Format3(Convert(be, CVeltrane::BE, DisplayUnit())));
}

void CChargeCorrn::OnChangeNew()
{
    double v = 0;
    int choice = -1;
    if (TextToDouble(m_edtNew->text().toStdString(), v)) {
        const double be = Convert(v, DisplayUnit(), CVeltrane::BE);
        choice = be == kCarbon ? 0 : be == kOxygen ? 1 : -1;
    }
    m_iReference = choice;
    const char* names[] = {"IDC_CHARGECORRN_CARBON", "IDC_CHARGECORRN_OXYGEN"};
    for (int i = 0; i < 2; ++i)
        if (auto* r = findChild<QRadioButton*>(QString::fromLatin1(names[i]))) {
            r->setAutoExclusive(false);
            r->setChecked(i == choice);
            r->setAutoExclusive(true);
        }
}

intptr_t CChargeCorrn::OnLineCursorPos(uintptr_t, intptr_t)
{
    m_edtCurrent->setText(Format3(CursorEnergy()));
    return 1;
}

int CChargeCorrn::OnUnitChange(int from, int to)
{
    for (QLineEdit* e : {m_edtNew, m_edtCurrent}) {
        double v = 0;
        if (TextToDouble(e->text().toStdString(), v))
            e->setText(Format3(Convert(v, from, to)));
    }
    return 0;
}

HCURSOR CChargeCorrn::GetCursor(const CPoint& pt, CSpecWnd* pWnd) const
{
    return CursorAt(m_pCursor.get(), pt, pWnd);
}

void CChargeCorrn::OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld)
{
    if (pOld) {
        DetachCursor(m_pCursor.get(), pOld);
        pOld->Invalidate(CSpecWnd::TraceArea, false);
    }
    if (pNew && m_pView) {
        AttachCursor(m_pCursor.get(), pNew, m_pView->GetSpecTrace(), m_pCursor->GetPos());
        pNew->Invalidate(CSpecWnd::TraceArea, false);
    }
}

void CChargeCorrn::OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld)
{
    MoveCursorToTrace(m_pCursor.get(), pNew, pOld);
}

void CChargeCorrn::OnOK()
{
    if (!UpdateData(true))
        return;
    CVeltraneDoc* doc = GetDocument();
    CSpecWnd* active = m_pView ? m_pView->GetSpecWnd() : nullptr;
    const int unit = DisplayUnit();
    const double delta =
        Convert(m_dReference, unit, CVeltrane::KE) - Convert(Round3(CursorEnergy()), unit, CVeltrane::KE);
    // The reference left at the cursor's energy moves nothing, and nothing
    // is to be saved.
    if (doc && active && delta != 0) {
        const int plane = active->GetDispPlane();
        CStagePosn* posn = doc->GetStagePosn(plane);
        const int iActive = active->GetWndID();
        const int n = posn ? posn->GetNumSpecRgns() : 0;
        for (int i = m_bAllRegions ? 0 : iActive; i < (m_bAllRegions ? n : std::min(iActive + 1, n)); ++i) {
            CSpecRgn* r = posn->GetSpecRgn(i);
            CSpecWnd* w = m_pView->GetSpecWnd(i);
            if (!r)
                continue;
            r->SetOffset(r->GetOffset() + delta);
            if (w && plane < w->GetNumPlanes()) {
                w->SetHorzAxisUnits(Convert(r->GetStart(), CVeltrane::KE, unit),
                                    Convert(r->GetFinish(), CVeltrane::KE, unit), plane);
                w->Invalidate(CSpecWnd::HorzAxis, true);
            }
        }
        doc->SetModifiedFlag(true);
        // Another window on the document lays its energy axes out anew, as
        // for a change of unit; this one was set above.
        SUnitUpdate hint;
        doc->UpdateAllViews(m_pView, reinterpret_cast<intptr_t>(&hint), nullptr);
    }
    Close();
}

void CChargeCorrn::OnCancel()
{
    Close();
}

void CChargeCorrn::Close()
{
    if (m_pView) {
        DetachCursor(m_pCursor.get(), m_pView->GetSpecWnd());
        m_pView->EnableMultiTraceDisplay(true);
    }
    DestroyWindow();
}

#include "analysis/ui/BackgroundDlg.h"

#include "analysis/core/Process.h"
#include "app/SpecViewBase.h"
#include "app/plot/LineCursor.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/Registry.h"
#include "data/VeltraneDoc.h"
#include "res/resource.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

QRect CBackgroundDlg::m_rectWnd;

namespace {
int g_iMethod = 0;
int g_bAllLevels = 0;

QColor FromColorRef(COLORREF c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}
} // namespace

CBackgroundDlg::CBackgroundDlg()
    : CProcDlg(IDD_BACKGROUND, &m_rectWnd), m_iMethod(g_iMethod), m_bAllLevels(g_bAllLevels),
      m_pStartCursor(std::make_unique<CLineCursor>(0)), m_pFinishCursor(std::make_unique<CLineCursor>(0))
{
    m_pStartCursor->SetDrawMode(R2_COPYPEN);
    m_pFinishCursor->SetDrawMode(R2_COPYPEN);
    setObjectName(QStringLiteral("IDD_BACKGROUND"));
    setWindowTitle(QStringLiteral("Background subtraction"));
    auto* method = new QGroupBox(QStringLiteral("Method"), this);
    auto* shirley = new QRadioButton(QStringLiteral("Shirley"), method);
    shirley->setObjectName(QStringLiteral("IDC_BACKGROUND_SHIRLEY"));
    auto* linear = new QRadioButton(QStringLiteral("Linear"), method);
    linear->setObjectName(QStringLiteral("IDC_BACKGROUND_LINEAR"));
    auto* mv = new QVBoxLayout(method);
    mv->addWidget(shirley);
    mv->addWidget(linear);
    auto* over = new QGroupBox(QStringLiteral("Apply over"), this);
    auto* levels = new QCheckBox(QStringLiteral("All levels"), over);
    levels->setObjectName(QStringLiteral("IDC_BACKGROUND_LEVELS"));
    (new QVBoxLayout(over))->addWidget(levels);
    QPushButton* apply = AddButton("IDC_BACKGROUND_APPLY", QStringLiteral("Apply"));
    m_btnReset = AddButton("IDC_BACKGROUND_RESET", QStringLiteral("Reset"));
    m_btnReset->setEnabled(false);
    QPushButton* ok = AddButton("IDOK", QStringLiteral("OK"));
    QPushButton* cancel = AddButton("IDCANCEL", QStringLiteral("Cancel"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(method, 0, 0);
    grid->addWidget(over, 0, 1);
    grid->addLayout(ButtonRow({apply, m_btnReset, ok, cancel}), 1, 0, 1, 2);
    connect(shirley, &QRadioButton::clicked, this, [this] { SetMethod(BkgShirley); });
    connect(linear, &QRadioButton::clicked, this, [this] { SetMethod(BkgLinear); });
    connect(apply, &QPushButton::clicked, this, [this] { OnApply(); });
    connect(m_btnReset, &QPushButton::clicked, this, [this] { OnReset(); });
    connect(ok, &QPushButton::clicked, this, &CBackgroundDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CBackgroundDlg::reject);
}

CBackgroundDlg::~CBackgroundDlg()
{
    g_iMethod = m_iMethod;
    g_bAllLevels = m_bAllLevels;
}

void CBackgroundDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Radio(pDX, "IDC_BACKGROUND_SHIRLEY", m_iMethod);
    DDX_Check(pDX, "IDC_BACKGROUND_LEVELS", m_bAllLevels);
}

bool CBackgroundDlg::OnInitDialog()
{
    if (!CProcDlg::OnInitDialog())
        return false;
    m_penBackground = QPen(FromColorRef(CRegistry::m_CBackground.m_clrBackground), 0);
    CVeltraneDoc* doc = GetDocument();
    if (!doc || !m_pView)
        return true;
    // Defaults on first use, and whenever the limits no longer fit the document.
    CBackground* limits = doc->GetBackgroundSubtract();
    limits->SetUp(*doc);
    m_caSavedLimits = limits->GetAll();
    m_nSavesAtOpen = doc->GetSaveCount();
    m_pdBackground.assign(size_t(std::max(doc->GetMaxNumRegionPoints(), 1)), 0.0);
    m_pView->EnableMultiTraceDisplay(false);
    OnSpecWndChange(m_pView->GetSpecWnd(), nullptr);
    return true;
}

CBackground::SLimits* CBackgroundDlg::CurrentLimits() const
{
    CVeltraneDoc* doc = GetDocument();
    CSpecWnd* w = m_pView ? m_pView->GetSpecWnd() : nullptr;
    if (!doc || !w)
        return nullptr;
    const int iWnd = w->GetWndID();
    return doc->GetBackgroundSubtract()->GetLimits(w->GetDispPlane(), iWnd);
}

void CBackgroundDlg::Recalc()
{
    CSpecTrace* t = m_pView ? m_pView->GetSpecTrace() : nullptr;
    const CBackground::SLimits* l = CurrentLimits();
    if (!t || !l)
        return;
    int n = 0;
    const double* y = t->GetYData(&n);
    if (!y || n <= 0)
        return;
    if (m_pdBackground.size() < size_t(n))
        m_pdBackground.resize(size_t(n));
    CalcBackground(m_pdBackground.data(), y, l->start, l->finish, n, m_iMethod);
}

void CBackgroundDlg::Refresh(bool bAttach)
{
    CSpecWnd* w = m_pView ? m_pView->GetSpecWnd() : nullptr;
    CSpecTrace* t = m_pView ? m_pView->GetSpecTrace() : nullptr;
    const CBackground::SLimits* l = CurrentLimits();
    if (!w || !t)
        return;
    const int n = t->GetNumPoints();
    // Stored limits may lie outside the curve: they are shown clamped.
    auto x = [&](int i) { return double(t->IndexTox(std::clamp(i, 0, std::max(n - 1, 0)))); };
    if (bAttach) {
        AttachCursor(m_pStartCursor.get(), w, t, l ? x(l->start) : CentreOf(t));
        AttachCursor(m_pFinishCursor.get(), w, t, l ? x(l->finish) : CentreOf(t));
    } else if (l) {
        m_pStartCursor->MoveTo(x(l->start));
        m_pFinishCursor->MoveTo(x(l->finish));
        m_pStartCursor->Show(TRUE, TRUE);
        m_pFinishCursor->Show(TRUE, TRUE);
    }
    Recalc();
    w->Invalidate(CSpecWnd::TraceArea, false);
}

void CBackgroundDlg::OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld)
{
    if (pOld) {
        DetachCursor(m_pStartCursor.get(), pOld);
        DetachCursor(m_pFinishCursor.get(), pOld);
        pOld->Invalidate(CSpecWnd::TraceArea, false);
    }
    if (pNew)
        Refresh(true);
}

void CBackgroundDlg::OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld)
{
    CSpecWnd* w = m_pView ? m_pView->GetSpecWnd() : nullptr;
    if (pOld) {
        DetachCursor(m_pStartCursor.get(), nullptr);
        DetachCursor(m_pFinishCursor.get(), nullptr);
        pOld->Detach(m_pStartCursor.get());
        pOld->Detach(m_pFinishCursor.get());
    }
    if (pNew && w)
        Refresh(true);
}

void CBackgroundDlg::SetMethod(int iMethod)
{
    if (iMethod == m_iMethod)
        return;
    m_iMethod = iMethod;
    Refresh(false);
}

intptr_t CBackgroundDlg::OnLineCursorPos(uintptr_t, intptr_t lParam)
{
    auto* cursor = reinterpret_cast<CLineCursor*>(lParam);
    CSpecTrace* t = m_pView ? m_pView->GetSpecTrace() : nullptr;
    CBackground::SLimits* l = CurrentLimits();
    if (!t || !l || (cursor != m_pStartCursor.get() && cursor != m_pFinishCursor.get()))
        return 1;
    const int n = t->GetNumPoints();
    const int i = std::clamp(t->xToIndex(cursor->GetPos()), 0, std::max(n - 1, 0));
    int& limit = cursor == m_pStartCursor.get() ? l->start : l->finish;
    if (limit != i)
        m_bLimitsMoved = true;
    limit = i;
    Recalc();
    if (CSpecWnd* w = m_pView->GetSpecWnd())
        w->Invalidate(CSpecWnd::TraceArea, false);
    return 1;
}

intptr_t CBackgroundDlg::OnPaintOver(CSpecWnd* pWnd, QPainter* pDC)
{
    if (!m_pView || pWnd != m_pView->GetSpecWnd() || !pDC)
        return 1;
    CSpecTrace* t = m_pView->GetSpecTrace();
    if (!t || m_pdBackground.size() < size_t(t->GetNumPoints()) || !CurrentLimits())
        return 1;
    double* data = t->SetYData(m_pdBackground.data());
    const int mode = t->SetDispMode(CSpecTrace::Transparent);
    QPen* pen = t->SetPen(&m_penBackground);
    const CRect clip = *t->GetRect();
    t->DrawTrace(pDC, &clip, FALSE);
    t->SetPen(pen);
    t->SetDispMode(mode);
    t->SetYData(data);
    return 1;
}

HCURSOR CBackgroundDlg::GetCursor(const CPoint& pt, CSpecWnd* pWnd) const
{
    if (HCURSOR c = CursorAt(m_pStartCursor.get(), pt, pWnd))
        return c;
    return CursorAt(m_pFinishCursor.get(), pt, pWnd);
}

void CBackgroundDlg::OnApply()
{
    if (!UpdateData(true) || !m_pView)
        return;
    SWaitCursor wait;
    CSpecWnd* w = m_pView->GetSpecWnd();
    const CBackground::SLimits* l = CurrentLimits();
    if (!w || !l)
        return;
    auto subtract = [&](CSpecTrace* t) {
        int n = 0;
        double* y = t ? t->GetYData(&n) : nullptr;
        if (!y || n <= 0)
            return;
        if (m_pdBackground.size() < size_t(n))
            m_pdBackground.resize(size_t(n));
        CalcBackground(m_pdBackground.data(), y, l->start, l->finish, n, m_iMethod);
        Subtract(y, m_pdBackground.data(), n);
        t->DataChanged();
    };
    if (m_bAllLevels) {
        const int plane = w->GetDispPlane();
        for (int k = 0; k < w->GetNumTraces(plane); ++k)
            subtract(w->GetSpecTrace(k, plane));
    } else {
        subtract(m_pView->GetSpecTrace());
    }
    w->DataChanged();
    w->Invalidate(true);
    Refresh(false);
    Applied(m_btnReset);
}

void CBackgroundDlg::OnReset()
{
    SWaitCursor wait;
    Reset();
    Refresh(false);
    m_bApplied = false;
    m_btnReset->setEnabled(false);
}

void CBackgroundDlg::Close()
{
    if (m_bClosing)
        return;
    m_bClosing = true;
    if (m_pView) {
        CSpecWnd* w = m_pView->GetSpecWnd();
        DetachCursor(m_pStartCursor.get(), w);
        DetachCursor(m_pFinishCursor.get(), w);
        m_pView->EnableMultiTraceDisplay(true);
        if (w)
            w->Invalidate(CSpecWnd::TraceArea, false);
    }
    DestroyWindow();
}

void CBackgroundDlg::OnOK()
{
    CVeltraneDoc* doc = GetDocument();
    // Subtracted curves are told to the views like any other processing:
    // without it the records kept the limits of the curves before the
    // subtraction (saved so, and written into an export), and other views
    // of the document kept drawing the old curves.
    if (m_bApplied)
        SendProcessUpdate();
    // Moved limits are part of the document too: they must not vanish
    // without a save prompt, nor limits moved back after a save wrote others.
    if (doc && (m_bApplied || doc->GetBackgroundSubtract()->GetAll() != m_caSavedLimits ||
                (m_bLimitsMoved && doc->GetSaveCount() != m_nSavesAtOpen)))
        doc->SetModifiedFlag(true);
    Close();
}

void CBackgroundDlg::OnCancel()
{
    if (m_bApplied)
        Reset();
    if (CVeltraneDoc* doc = GetDocument()) {
        CBackground* limits = doc->GetBackgroundSubtract();
        // A save since opening wrote the moved limits that now go back.
        if (doc->GetSaveCount() != m_nSavesAtOpen && (m_bLimitsMoved || limits->GetAll() != m_caSavedLimits))
            doc->SetModifiedFlag(true);
        if (!m_caSavedLimits.empty() || !limits->IsDefault())
            limits->SetAll(m_caSavedLimits);
    }
    Close();
}

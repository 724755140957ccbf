#include "analysis/ui/SpikeRemoval.h"

#include "analysis/core/Process.h"
#include "app/SpecViewBase.h"
#include "app/plot/LineCursor.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "res/resource.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

QRect CSpikeRemoval::m_rectWnd;

namespace {
int g_nWidth = 2;
} // namespace

CSpikeRemoval::CSpikeRemoval()
    : CProcDlg(IDD_SPIKE, &m_rectWnd), m_nWidth(g_nWidth), m_pCursor(std::make_unique<CLineCursor>(0))
{
    setObjectName(QStringLiteral("IDD_SPIKE"));
    setWindowTitle(QStringLiteral("Spike Removal"));
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("IDC_SPIKE_NPTS"));
    edit->setMaxLength(3);
    edit->setValidator(new QIntValidator(0, 999, edit));
    QPushButton* apply = AddButton("IDC_SPIKE_APPLY", QStringLiteral("Apply"));
    m_btnReset = AddButton("IDC_SPIKE_RESET", QStringLiteral("Reset"));
    m_btnReset->setEnabled(false);
    QPushButton* ok = AddButton("IDOK", QStringLiteral("OK"));
    QPushButton* cancel = AddButton("IDCANCEL", QStringLiteral("Cancel"));
    auto* v = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Average over:"), this));
    row->addWidget(edit);
    row->addWidget(new QLabel(QStringLiteral("points"), this));
    v->addLayout(row);
    v->addLayout(ButtonRow({apply, m_btnReset, ok, cancel}));
    connect(apply, &QPushButton::clicked, this, [this] { OnApply(); });
    connect(m_btnReset, &QPushButton::clicked, this, [this] { OnReset(); });
    connect(ok, &QPushButton::clicked, this, &CSpikeRemoval::accept);
    connect(cancel, &QPushButton::clicked, this, &CSpikeRemoval::reject);
}

CSpikeRemoval::~CSpikeRemoval()
{
    g_nWidth = m_nWidth;
}

void CSpikeRemoval::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, "IDC_SPIKE_NPTS", m_nWidth);
}

bool CSpikeRemoval::OnInitDialog()
{
    if (!CProcDlg::OnInitDialog())
        return false;
    if (m_pView) {
        m_pView->EnableMultiTraceDisplay(false);
        CSpecTrace* t = m_pView->GetSpecTrace();
        AttachCursor(m_pCursor.get(), m_pView->GetSpecWnd(), t, CentreOf(t));
    }
    return true;
}

HCURSOR CSpikeRemoval::GetCursor(const CPoint& pt, CSpecWnd* pWnd) const
{
    return CursorAt(m_pCursor.get(), pt, pWnd);
}

void CSpikeRemoval::OnSpecWndChange(CSpecWnd* pNew, CSpecWnd* pOld)
{
    if (pOld)
        DetachCursor(m_pCursor.get(), pOld);
    if (pNew && m_pView) {
        CSpecTrace* t = m_pView->GetSpecTrace();
        AttachCursor(m_pCursor.get(), pNew, t, CentreOf(t));
    }
}

void CSpikeRemoval::OnSpecTraceChange(CSpecTrace* pNew, CSpecTrace* pOld)
{
    MoveCursorToTrace(m_pCursor.get(), pNew, pOld);
}

void CSpikeRemoval::OnApply()
{
    if (!UpdateData(true) || !m_pView)
        return;
    CSpecWnd* w = m_pView->GetSpecWnd();
    CSpecTrace* t = m_pView->GetSpecTrace();
    if (!w || !t)
        return;
    int n = 0;
    double* y = t->GetYData(&n);
    if (!y || n <= 0)
        return;
    const int i = std::clamp(t->xToIndex(m_pCursor->GetPos()), 0, n - 1);
    RemoveSpike(y, n, i, m_nWidth);
    t->DataChanged();
    w->DataChanged();
    w->Invalidate(true);
    Applied(m_btnReset);
}

void CSpikeRemoval::OnReset()
{
    ResetClicked(m_btnReset);
}

void CSpikeRemoval::Close(bool bOK)
{
    if (m_pView)
        DetachCursor(m_pCursor.get(), m_pView->GetSpecWnd());
    if (m_bApplied) {
        if (bOK)
            SendProcessUpdate();
        else
            Reset();
    }
    if (m_pView)
        m_pView->EnableMultiTraceDisplay(true);
    DestroyWindow();
}

void CSpikeRemoval::OnOK()
{
    Close(true);
}

void CSpikeRemoval::OnCancel()
{
    Close(false);
}

#include "analysis/ui/ProcDlg.h"

#include "app/SpecViewBase.h"
#include "app/VeltraneView.h"
#include "app/plot/LineCursor.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/Update.h"
#include "data/VeltraneDoc.h"

#include "platform/MessageSink.h"
#include "platform/Strings.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

CProcDlg::CProcDlg(unsigned nIDTemplate, QRect* pWndRect) : m_nIDTemplate(nIDTemplate), m_pWndRect(pWndRect)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

CProcDlg::~CProcDlg()
{
    if (CVeltraneView::m_pProcDlg == this)
        CVeltraneView::m_pProcDlg = nullptr;
}

CVeltraneDoc* CProcDlg::GetDocument() const
{
    return m_pView ? m_pView->GetDocument() : nullptr;
}

bool CProcDlg::Create(unsigned /*nIDTemplate*/, CSpecViewBase* pView)
{
    CVeltraneView::m_pProcDlg = this;
    m_bApplied = false;
    m_pdUndo.reset();
    if (pView) {
        m_pdUndo = pView->CopyYData();
        m_pView = pView;
    }
    if (!CDialog::Create(nullptr)) {
        m_pdUndo.reset();
        CVeltraneView::m_pProcDlg = nullptr;
        m_pView = nullptr;
        return false;
    }
    return true;
}

bool CProcDlg::OnInitDialog()
{
    if (!CDialog::OnInitDialog())
        return false;
    PlaceWindow();
    return true;
}

void CProcDlg::PlaceWindow()
{
    adjustSize();
    if (m_pWndRect && !m_pWndRect->isEmpty()) {
        setGeometry(*m_pWndRect);
        return;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize size = this->size();
    const QRect placed((work.left() + work.right() + 1 - size.width()) / 2,
                       work.bottom() + 1 - size.height() - 2, size.width(), size.height());
    setGeometry(placed);
    if (m_pWndRect)
        *m_pWndRect = placed;
}

void CProcDlg::DestroyWindow()
{
    if (m_bDestroying)
        return;
    m_bDestroying = true;
    if (m_pWndRect)
        *m_pWndRect = geometry();
    m_pdUndo.reset();
    if (CVeltraneView::m_pProcDlg == this)
        CVeltraneView::m_pProcDlg = nullptr;
    hide();
    deleteLater();
}

void CProcDlg::OnOK()
{
    if (m_bApplied)
        SendProcessUpdate();
    DestroyWindow();
}

void CProcDlg::OnCancel()
{
    if (m_bApplied)
        Reset();
    DestroyWindow();
}

int CProcDlg::OnUnitChange(int, int)
{
    return 0;
}

void CProcDlg::Reset()
{
    if (m_pView && m_pdUndo)
        m_pView->RestoreYData(m_pdUndo.get());
    // A save while something was applied put the processed curves into the
    // file; the curves back as at opening now differ from it.
    CVeltraneDoc* doc = GetDocument();
    if (m_bApplied && doc && doc->GetSaveCount() != m_nSavesAtApply)
        doc->SetModifiedFlag(true);
}

void CProcDlg::SendProcessUpdate()
{
    CVeltraneDoc* doc = GetDocument();
    if (!doc)
        return;
    doc->SetModifiedFlag(true);
    constexpr uint32_t all = 0x7FFFFFFF;
    SViewUpdate hint(0, 0, 0, 0, all, all, all, all, 0);
    doc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&hint), nullptr);
}

void CProcDlg::ForEachCurve(const std::function<void(CSpecWnd*, int, int, double*, int)>& f)
{
    if (!m_pView)
        return;
    for (int i = 0; i < m_pView->GetNumSpecWnds(); ++i) {
        CSpecWnd* w = m_pView->GetSpecWnd(i);
        if (!w)
            continue;
        for (int j = 0; j < w->GetNumPlanes(); ++j)
            for (int k = 0; k < w->GetNumTraces(j); ++k) {
                int n = 0;
                double* y = w->GetYData(&n, k, j);
                if (y && n > 0)
                    f(w, j, k, y, n);
            }
        w->DataChanged();
        w->Invalidate(true);
    }
}

QPushButton* CProcDlg::AddButton(const char* name, const QString& text)
{
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

void CProcDlg::AttachCursor(CLineCursor* pCursor, CSpecWnd* pWnd, CSpecTrace* pTrace, double x)
{
    if (!pCursor || !pWnd || !pTrace)
        return;
    pCursor->Attach(pWnd);
    pCursor->SetPos(x);
    pWnd->Attach(pCursor, pTrace);
    pCursor->Show(TRUE, TRUE);
}

void CProcDlg::DetachCursor(CLineCursor* pCursor, CSpecWnd* pWnd)
{
    if (!pCursor)
        return;
    pCursor->Show(FALSE, TRUE);
    if (pWnd)
        pWnd->Detach(pCursor);
}

double CProcDlg::CentreOf(const CSpecTrace* pTrace)
{
    if (!pTrace)
        return 0;
    const CRect* r = pTrace->GetRect();
    return double((r->left + r->right) / 2);
}

HCURSOR CProcDlg::CursorAt(const CLineCursor* pCursor, const CPoint& pt, const CSpecWnd* pWnd)
{
    if (!pCursor || !pWnd || pCursor->GetWnd() != pWnd)
        return nullptr;
    return pCursor->GetCursor(pt);
}

QHBoxLayout* CProcDlg::ButtonRow(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    for (QPushButton* b : buttons)
        row->addWidget(b);
    return row;
}

void CProcDlg::Applied(QPushButton* btnReset)
{
    btnReset->setEnabled(true);
    if (!m_bApplied)
        if (const CVeltraneDoc* doc = GetDocument())
            m_nSavesAtApply = doc->GetSaveCount();
    m_bApplied = true;
}

void CProcDlg::ResetClicked(QPushButton* btnReset)
{
    SWaitCursor wait;
    Reset();
    m_bApplied = false;
    btnReset->setEnabled(false);
}

void CProcDlg::MoveCursorToTrace(CLineCursor* pCursor, CSpecTrace* pNew, CSpecTrace* pOld)
{
    if (pOld) {
        pCursor->Show(FALSE, TRUE);
        pOld->Detach(pCursor);
    }
    if (pNew) {
        pNew->Attach(pCursor);
        pCursor->Show(TRUE, TRUE);
    }
}

bool CProcDlg::FilterCurves(std::vector<double>& buf, int nWidth,
                            const std::function<void(double*, const double*, int)>& f)
{
    SWaitCursor wait;
    bool bTooShort = false;
    bool bFiltered = false;
    ForEachCurve([&](CSpecWnd*, int, int, double* y, int n) {
        if (size_t(n) > buf.size())
            buf.resize(size_t(n));
        std::copy(y, y + n, buf.data());
        if (n < nWidth) {
            bTooShort = true;
        } else {
            f(y, buf.data(), n);
            bFiltered = true;
        }
    });
    if (bTooShort)
        AfxMessageBox(IDS_PROC_TOO_SHORT);
    return bFiltered;
}

void CProcDlg::ShowWidthState(QPushButton* btnApply, QLabel* lblReason, int nWidth, int nMin, int nMax,
                              bool bSavGol)
{
    const bool inRange = nWidth >= nMin && nWidth <= nMax;
    const bool even = inRange && bSavGol && nWidth % 2 == 0;
    btnApply->setEnabled(inRange && !even);
    lblReason->setText(even ? QString::fromStdString(LoadString(IDS_PROC_ODD_WIDTH)) : QString());
}

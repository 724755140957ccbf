#include "app/SpecViewBase.h"

#include "app/TraceDlg.h"
#include "app/ViewTools.h"
#include "app/plot/SpecTrace.h"
#include "app/plot/SpecWnd.h"
#include "data/SpecRgn.h"
#include "data/StagePosn.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/Guard.h"
#include "framework/ui/Resources.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cstring>

namespace {
// The tool when it works on this view, else null.
IViewTool* On(IViewTool* tool, const CSpecViewBase* view)
{
    return tool && tool->GetView() == view ? tool : nullptr;
}

// Calls f on each tool that follows the view's curves and works on this view.
template <class F> void ForEachTool(const CSpecViewBase* view, F f)
{
    for (IViewTool* t : {GetProcDlgTool(), ChemPrfSheetTool(), QuantifySheetTool()})
        if (IViewTool* tool = On(t, view))
            f(tool);
}
} // namespace

CSpecViewBase::CSpecViewBase()
{
    setFocusPolicy(Qt::StrongFocus);
    OnCommand(ID_DISP_SAMPLE, [this] {
        if (GetNumSamples() > 0)
            SelectSample((m_iSample + 1) % GetNumSamples());
    });
    // A view that a pane stands in for (the quantification profile) is hidden:
    // stepping through what it does not show would only confuse.
    OnUpdateCommand(ID_DISP_SAMPLE, [this](CCmdUI* ui) { ui->Enable(!isHidden() && GetNumSamples() > 1); });
    OnCommand(ID_DISP_REGION, [this] {
        if (m_nDispWnds > 1)
            SelectRegion(0);
        else
            SelectRegion(m_iDispWnd + 1);
    });
    OnUpdateCommand(ID_DISP_REGION,
                    [this](CCmdUI* ui) { ui->Enable(!isHidden() && GetNumRgns(m_iSample) > 1); });
    OnCommand(ID_DISP_LEVEL, [this] {
        if (CSpecWnd* w = GetSpecWnd())
            m_nDispTraces = w->GetNumDispTraces(-1);
        if (m_nDispTraces > 1)
            SetDispTraces(m_iDispTrace, m_nDispStep, 1);
        else
            SetDispTrace(m_iDispTrace + 1);
    });
    OnUpdateCommand(ID_DISP_LEVEL, [this](CCmdUI* ui) {
        const CStagePosn* p = GetStagePosn(m_iSample);
        ui->Enable(!isHidden() && p && p->GetNumTraces() > 1);
    });
    struct
    {
        unsigned id;
        int x, y, bit;
    } const zooms[] = {{ID_VIEW_HORZ_EXPAND, 2, 1, 1},
                       {ID_VIEW_HORZ_CONTRACT, -2, 1, 1},
                       {ID_VIEW_VERT_EXPAND, 1, 2, 2},
                       {ID_VIEW_VERT_CONTRACT, 1, -2, 2}};
    for (const auto& z : zooms) {
        OnCommand(z.id, [this, z] { OnZoom(z.x, z.y, z.bit); });
        OnUpdateCommand(z.id, [this](CCmdUI* ui) { ui->Enable(CanZoom()); });
    }
}

CSpecViewBase::~CSpecViewBase() = default;

// --- access -----------------------------------------------------------------

CStagePosn* CSpecViewBase::GetStagePosn(int i) const
{
    CVeltraneDoc* doc = GetDocument();
    if (!doc || i < 0 || i >= doc->GetNumStagePosns())
        return nullptr;
    return doc->GetStagePosn(i);
}

int CSpecViewBase::GetNumSamples() const
{
    CVeltraneDoc* doc = GetDocument();
    return doc ? doc->GetNumStagePosns() : 0;
}

int CSpecViewBase::GetNumRgns(int iSample) const
{
    const CStagePosn* p = GetStagePosn(iSample);
    // A position never has more regions shown than there are windows.
    return p ? std::min(p->GetNumRgns(), GetNumSpecWnds()) : 0;
}

CSpecWnd* CSpecViewBase::GetSpecWnd(int i) const
{
    if (i < 0 || i >= GetNumSpecWnds())
        return nullptr;
    return m_caSpecWnd[static_cast<size_t>(i)].get();
}

CSpecWnd* CSpecViewBase::GetSpecWnd() const
{
    if (m_iActiveWnd >= 0 && m_iActiveWnd < GetNumSpecWnds())
        return GetSpecWnd(m_iActiveWnd);
    return GetSpecWnd(m_iDispWnd);
}

CSpecTrace* CSpecViewBase::GetSpecTrace() const
{
    CSpecWnd* w = GetSpecWnd();
    if (!w || m_iDispTrace < 0 || m_iDispTrace >= w->GetNumTraces(-1))
        return nullptr;
    return w->GetSpecTrace(m_iDispTrace, -1);
}

CSpecRgn* CSpecViewBase::GetCurrentRegion() const
{
    CStagePosn* p = GetStagePosn(m_iSample);
    if (!p)
        return nullptr;
    const int i = m_iActiveWnd >= 0 && m_iActiveWnd < GetNumSpecWnds() ? m_iActiveWnd : m_iDispWnd;
    if (i < 0 || i >= p->GetNumSpecRgns())
        return nullptr;
    return p->GetSpecRgn(i);
}

int CSpecViewBase::GetCurrentLevel() const
{
    CSpecWnd* w = GetSpecWnd();
    if (!w)
        return 0;
    if (m_iDispTrace >= 0 && m_iDispTrace < w->GetNumTraces(-1))
        return m_iDispTrace;
    return w->GetDispTrace(-1);
}

int CSpecViewBase::GetNumLevels() const
{
    CSpecWnd* w = GetSpecWnd(m_iDispWnd);
    if (!w || m_iSample < 0 || m_iSample >= w->GetNumPlanes())
        return 0;
    return w->GetNumTraces(m_iSample);
}

bool CSpecViewBase::IsVisible(int i) const
{
    return m_nDispWnds > 1 ? i >= 0 && i < m_nDispWnds : i == m_iDispWnd && m_nDispWnds == 1;
}

void CSpecViewBase::ReadDispTraces(CSpecWnd* pWnd)
{
    if (!pWnd)
        return;
    m_iDispTrace = pWnd->GetDispTrace(-1);
    m_nDispStep = pWnd->GetDispTraceStep(-1);
    m_nDispTraces = pWnd->GetNumDispTraces(-1);
}

void CSpecViewBase::ResetSpecWnds(int nWnds)
{
    // A repeated initial update replaces the windows rather than adding to them.
    SetActiveDispWnd(-1);
    m_caSpecWnd.clear();
    m_caSpecWnd.resize(static_cast<size_t>(std::max(nWnds, 0)));
}

// --- selection --------------------------------------------------------------

void CSpecViewBase::SetWindowPositions()
{
    const int n = m_nDispWnds;
    if (n <= 0)
        return;
    const std::vector<SLayoutRect> rects = CalcWindowRects(n, m_Size.width(), m_Size.height());
    for (int k = 0; k < n; ++k) {
        CSpecWnd* w = GetSpecWnd(n == 1 ? m_iDispWnd : k);
        if (!w)
            continue;
        const SLayoutRect& r = rects[static_cast<size_t>(k)];
        w->setGeometry(r.left, r.top, r.Width(), r.Height());
    }
}

bool CSpecViewBase::SelectRegion(int iRegion)
{
    const int n = GetNumRgns(m_iSample);
    if (!m_bMultiRegion && iRegion >= n)
        iRegion = 0;
    bool bRedraw;
    if (iRegion >= n) {
        bRedraw = m_nDispWnds == 1;
        m_nDispWnds = n;
        m_iDispWnd = 0;
    } else {
        bRedraw = m_nDispWnds > 1;
        m_nDispWnds = 1;
        m_iDispWnd = std::max(iRegion, 0);
    }
    CSpecWnd* pOld = GetSpecWnd();
    SetActiveDispWnd(m_iDispWnd);
    CSpecWnd* pNew = GetSpecWnd();
    SetWindowPositions();
    ReadDispTraces(pOld);
    for (int i = 0; i < n; ++i) {
        CSpecWnd* w = GetSpecWnd(i);
        if (!w)
            continue;
        if (IsVisible(i)) {
            if (!bRedraw)
                w->Invalidate(true);
            w->SetDispTrace(m_iDispTrace, m_nDispStep, m_nDispTraces, false);
            w->Show(TRUE);
        } else {
            w->Show(FALSE);
        }
    }
    ReadDispTraces(pNew);
    if (bRedraw)
        update();
    if (pNew != pOld)
        ForEachTool(this, [&](IViewTool* tool) { tool->OnSpecWndChange(pNew, pOld); });
    return true;
}

bool CSpecViewBase::SelectSample(int iSample)
{
    if (iSample < 0 || iSample >= GetNumSamples())
        return false;
    const int iOld = m_iSample;
    for (int i = 0; i < GetNumRgns(iOld); ++i)
        if (CSpecWnd* w = GetSpecWnd(i))
            w->Show(FALSE);
    m_iSample = iSample;
    for (int i = 0; i < GetNumRgns(iSample); ++i)
        if (CSpecWnd* w = GetSpecWnd(i); w && iSample < w->GetNumPlanes())
            w->SetDispPlane(iSample, TRUE);
    if (m_nDispWnds > 1)
        SelectRegion(AllTraces);
    else
        SelectRegion(m_iDispWnd);
    ReadDispTraces(GetSpecWnd());
    if (iSample != iOld)
        for (IViewTool* t : {ChemPrfSheetTool(), QuantifySheetTool()})
            if (IViewTool* tool = On(t, this))
                tool->OnSampleChange(iSample, iOld);
    update();
    return true;
}

bool CSpecViewBase::SetDispTrace(int iTrace)
{
    CSpecTrace* pOld = GetSpecTrace();
    if (!m_bMultiTrace && iTrace >= GetNumLevels())
        iTrace = 0;
    for (int i = m_iDispWnd; i < m_iDispWnd + m_nDispWnds; ++i)
        if (CSpecWnd* w = GetSpecWnd(i))
            w->SetDispTrace(iTrace, true);
    ReadDispTraces(GetSpecWnd());
    CSpecTrace* pNew = GetSpecTrace();
    if (pNew != pOld)
        ForEachTool(this, [&](IViewTool* tool) { tool->OnSpecTraceChange(pNew, pOld); });
    return true;
}

bool CSpecViewBase::SetDispTraces(int iFirst, int iStep, int nTraces)
{
    CSpecTrace* pOld = GetSpecTrace();
    if (!m_bMultiTrace) {
        nTraces = 1;
        if (iFirst >= GetNumLevels())
            iFirst = 0;
    }
    for (int i = m_iDispWnd; i < m_iDispWnd + m_nDispWnds; ++i)
        if (CSpecWnd* w = GetSpecWnd(i))
            w->SetDispTrace(iFirst, iStep, nTraces, true);
    ReadDispTraces(GetSpecWnd());
    CSpecTrace* pNew = GetSpecTrace();
    if (pNew != pOld)
        ForEachTool(this, [&](IViewTool* tool) { tool->OnSpecTraceChange(pNew, pOld); });
    return true;
}

void CSpecViewBase::SetActiveDispWnd(int i)
{
    if (i == m_iActiveWnd)
        return;
    if (CSpecWnd* w = GetSpecWnd(m_iActiveWnd))
        w->SetActive(FALSE);
    m_iActiveWnd = i;
    if (CSpecWnd* w = GetSpecWnd(i))
        w->SetActive(TRUE);
}

void CSpecViewBase::EnableMultiTraceDisplay(bool b)
{
    m_bMultiTrace = b;
    if (!b && m_nDispTraces > 1)
        SetDispTraces(m_iDispTrace, 1, 1);
}

void CSpecViewBase::EnableMultiRegionDisplay(bool b)
{
    m_bMultiRegion = b;
    if (!b && m_nDispWnds > 1)
        SelectRegion(0);
}

void CSpecViewBase::OnSpecWndClick(int i, bool bCtrlShift)
{
    CSpecWnd* pOld = GetSpecWnd();
    if (i == m_iActiveWnd) {
        if (!bCtrlShift)
            return;
        SetActiveDispWnd(-1);
    } else {
        SetActiveDispWnd(i);
    }
    CSpecWnd* pNew = GetSpecWnd();
    if (pNew != pOld)
        for (IViewTool* t : {GetProcDlgTool(), QuantifySheetTool()})
            if (IViewTool* tool = On(t, this))
                tool->OnSpecWndChange(pNew, pOld);
}

bool CSpecViewBase::CanZoom() const
{
    return m_nDispTraces == 1 && m_iActiveWnd >= 0 && GetSpecWnd(m_iActiveWnd);
}

void CSpecViewBase::OnZoom(int iXfactor, int iYfactor, int bit)
{
    CSpecWnd* w = GetSpecWnd();
    if (!w)
        return;
    const int r = w->SetDispLimits(iXfactor, iYfactor, TRUE);
    if (r & bit)
        w->Invalidate(CSpecWnd::TraceArea | (bit == 1 ? CSpecWnd::HorzAxis : CSpecWnd::VertAxis), true);
    if (r == 0)
        QApplication::beep();
}

// --- undo copy --------------------------------------------------------------

size_t CSpecViewBase::GetYDataSize() const
{
    size_t total = 0;
    for (const auto& w : m_caSpecWnd) {
        if (!w)
            continue;
        for (int j = 0; j < w->GetNumPlanes(); ++j)
            for (int k = 0; k < w->GetNumTraces(j); ++k)
                total += static_cast<size_t>(std::max(w->GetNumPoints(k, j), 0));
    }
    return total;
}

std::unique_ptr<double[]> CSpecViewBase::CopyYData() const
{
    auto copy = std::make_unique<double[]>(std::max<size_t>(GetYDataSize(), 1));
    double* out = copy.get();
    for (const auto& w : m_caSpecWnd) {
        if (!w)
            continue;
        for (int j = 0; j < w->GetNumPlanes(); ++j)
            for (int k = 0; k < w->GetNumTraces(j); ++k) {
                int n = 0;
                const double* y = w->GetYData(&n, k, j);
                if (y && n > 0) {
                    std::memcpy(out, y, sizeof(double) * static_cast<size_t>(n));
                    out += n;
                }
            }
    }
    return copy;
}

void CSpecViewBase::RestoreYData(const double* pdData)
{
    if (!pdData)
        return;
    for (const auto& w : m_caSpecWnd) {
        if (!w)
            continue;
        for (int j = 0; j < w->GetNumPlanes(); ++j)
            for (int k = 0; k < w->GetNumTraces(j); ++k) {
                int n = 0;
                double* y = w->GetYData(&n, k, j);
                if (y && n > 0) {
                    std::memcpy(y, pdData, sizeof(double) * static_cast<size_t>(n));
                    pdData += n;
                }
            }
        w->DataChanged();
        w->Invalidate(true);
    }
}

// --- notifications ------------------------------------------------------------

intptr_t CSpecViewBase::OnLineCursorPos(uintptr_t wParam, intptr_t lParam)
{
    if (IViewTool* t = On(GetProcDlgTool(), this))
        return t->OnLineCursorPos(wParam, lParam);
    if (IViewTool* t = On(QuantifySheetTool(), this))
        return t->OnLineCursorPos(wParam, lParam);
    return 0;
}

intptr_t CSpecViewBase::OnPaintOver(CSpecWnd* pWnd, QPainter* pDC)
{
    // Each tool draws only over its own view's window, so the first open one is asked.
    for (IViewTool* t : {GetProcDlgTool(), ChemPrfSheetTool(), PelomarSheetTool()})
        if (t)
            return t->OnPaintOver(pWnd, pDC);
    return 0;
}

intptr_t CSpecViewBase::OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WMAPP_PAINTOVER:
        return OnPaintOver(reinterpret_cast<CSpecWnd*>(wParam), reinterpret_cast<QPainter*>(lParam));
    case WMAPP_LC_POS:
        return OnLineCursorPos(wParam, lParam);
    case WM_PARENTNOTIFY:
        if ((wParam & 0xFFFF) == WM_LBUTTONUP)
            if (IViewTool* t = On(PelomarSheetTool(), this))
                t->OnViewClick(static_cast<int16_t>(lParam & 0xFFFF));
        return 0;
    default:
        return 0;
    }
}

bool CSpecViewBase::eventFilter(QObject* watched, QEvent* e)
{
    // The view hears of every press in a plot window before the window does,
    // as with the window system's parent notification.
    if (e->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() == Qt::LeftButton) {
            for (int i = 0; i < GetNumSpecWnds(); ++i) {
                if (GetSpecWnd(i) == watched && IsVisible(i)) {
                    // Modifier keys then reach the view, which refreshes the plot's cursor.
                    setFocus(Qt::MouseFocusReason);
                    const Qt::KeyboardModifiers m = me->modifiers();
                    SafeInvoke(
                        [&] { OnSpecWndClick(i, (m & Qt::ControlModifier) && (m & Qt::ShiftModifier)); });
                    break;
                }
            }
        }
    }
    return CVeltraneView::eventFilter(watched, e);
}

namespace {
// A modifier key changes the plot's mouse cursor at once.
bool RefreshCursor(CSpecViewBase* view)
{
    QWidget* under = QApplication::widgetAt(QCursor::pos());
    for (int i = 0; i < view->GetNumSpecWnds(); ++i) {
        CSpecWnd* w = view->GetSpecWnd(i);
        if (!w || !w->isVisible())
            continue;
        if (under != w && !(under && w->isAncestorOf(under)))
            continue;
        const QPoint p = QCursor::pos();
        if (HCURSOR c = w->GetCursor(CPoint(p.x(), p.y()))) {
            w->setCursor(*c);
            return true;
        }
    }
    return false;
}
} // namespace

void CSpecViewBase::keyPressEvent(QKeyEvent* e)
{
    if (!RefreshCursor(this))
        CVeltraneView::keyPressEvent(e);
}

void CSpecViewBase::keyReleaseEvent(QKeyEvent* e)
{
    if (!RefreshCursor(this))
        CVeltraneView::keyReleaseEvent(e);
}

// --- drop-down lists ------------------------------------------------------------

void CSpecViewBase::OnDispDropDown(unsigned id, QMenu* menu)
{
    CVeltraneDoc* doc = GetDocument();
    if (!doc || !menu)
        return;
    auto item = [&](const QString& text, unsigned itemId, bool checked, std::function<void()> run) {
        QAction* a = menu->addAction(text);
        a->setData(itemId);
        a->setCheckable(checked);
        a->setChecked(checked);
        connect(a, &QAction::triggered, this, [this, run] { SafeInvoke(run); });
        return a;
    };
    switch (id) {
    case ID_DISP_SAMPLE:
        for (int i = 0; i < GetNumSamples(); ++i)
            item(ToQString(doc->GetTitle()) + QLatin1Char(' ') + QString::number(i), FirstDropItemID + i,
                 i == m_iSample, [this, i] { SelectSample(i); });
        break;
    case ID_DISP_REGION: {
        CStagePosn* p = GetStagePosn(m_iSample);
        const int n = GetNumRgns(m_iSample);
        for (int j = 0; j < n; ++j) {
            const CRegion* r = p->GetRegion(j);
            const QString text = r ? ToQString(r->GetName() + " " + r->GetRegion()) : QString::number(j);
            item(text, FirstDropItemID + j, m_nDispWnds == 1 && m_iDispWnd == j,
                 [this, j] { SelectRegion(j); });
        }
        menu->addSeparator();
        QAction* all = item(ToQString(LoadString(1160)), FirstDropItemID + n, m_nDispWnds > 1,
                            [this, n] { SelectRegion(n); });
        all->setEnabled(m_bMultiRegion);
        break;
    }
    case ID_DISP_LEVEL: {
        // The level dialog drops down in place of a list.
        QWidget* button = menu->parentWidget();
        QMetaObject::invokeMethod(menu, &QMenu::hide, Qt::QueuedConnection);
        QMetaObject::invokeMethod(
            this, [this, button] { SafeInvoke([&] { RunLevelDialog(button); }); }, Qt::QueuedConnection);
        break;
    }
    default:
        break;
    }
}

void CSpecViewBase::RunLevelDialog(QWidget* button)
{
    CTraceDlg dlg(nullptr, button);
    dlg.DoModal(this);
}

// --- printing -------------------------------------------------------------------

std::vector<QRect> CSpecViewBase::CalcPrintRects(const QRect& rectDraw, double dpiX, double dpiY) const
{
    std::vector<QRect> out;
    if (dpiX <= 0 || dpiY <= 0)
        return out;
    auto toHi = [](int v, double dpi) { return static_cast<int>(std::lround(v * 2540.0 / dpi)); };
    auto toLp = [](int v, double dpi) { return static_cast<int>(std::lround(v * dpi / 2540.0)); };
    const SLayoutRect page{toHi(rectDraw.left(), dpiX), toHi(rectDraw.top(), dpiY),
                           toHi(rectDraw.left() + rectDraw.width(), dpiX),
                           toHi(rectDraw.top() + rectDraw.height(), dpiY)};
    for (const SLayoutRect& c : CalcPrintCells(m_nDispWnds, page, m_nDispTraces)) {
        const int l = toLp(c.left, dpiX), t = toLp(c.top, dpiY);
        out.emplace_back(l, t, toLp(c.right, dpiX) - l, toLp(c.bottom, dpiY) - t);
    }
    return out;
}

void CSpecViewBase::OnPrint(QPainter* pDC, const QRect& rectDraw, double dpiX, double dpiY, bool bPreview)
{
    const std::vector<QRect> rects = CalcPrintRects(rectDraw, dpiX, dpiY);
    for (size_t k = 0; k < rects.size(); ++k) {
        CSpecWnd* w = GetSpecWnd(m_iDispWnd + static_cast<int>(k));
        if (!w)
            continue;
        const QRect& R = rects[k];
        pDC->save();
        pDC->setClipping(false);
        pDC->setBrush(Qt::NoBrush);
        pDC->setPen(QPen(Qt::black, 0));
        pDC->drawRect(QRectF(R.left() + 0.5, R.top() + 0.5, R.width() - 1.0, R.height() - 1.0));
        pDC->restore();
        CRect inner(R.left() + 1, R.top() + 1, R.left() + R.width() - 1, R.top() + R.height() - 1);
        pDC->save();
        w->OnPrint(pDC, &inner, bPreview ? TRUE : FALSE);
        pDC->restore();
    }
}

void CSpecViewBase::OnPrint(QPrinter* printer, bool bPreview)
{
    QPainter painter(printer);
    const QRect paint = printer->pageLayout().paintRectPixels(printer->resolution());
    OnPrint(&painter, QRect(0, 0, paint.width(), paint.height()), printer->logicalDpiX(),
            printer->logicalDpiY(), bPreview);
}

void CSpecViewBase::LayOutForSize()
{
    SafeInvoke([&] {
        const CVeltraneDoc* doc = GetDocument();
        if (!doc || doc->GetPathName().empty())
            return;
        SetViewSize(true);
        SetWindowPositions();
        SelectSample(m_iSample);
    });
}

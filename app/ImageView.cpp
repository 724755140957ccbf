#include "app/ImageView.h"

#include "app/Veltrane.h"
#include "app/ViewLayout.h"
#include "app/image/ImageMath.h"
#include "app/image/ImageWnd.h"
#include "app/plot/SpecWnd.h"
#include "data/ImageRgn.h"
#include "data/StagePosn.h"
#include "data/Update.h"
#include "data/Utility.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/Guard.h"
#include "framework/ui/Resources.h"
#include "platform/Exceptions.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {
constexpr int kSEImageType = 0x202;
constexpr unsigned kFileExists = 4096;
constexpr unsigned kBitmapExt = 1043;
constexpr unsigned kNoBitmapWriter = 61707;

// The points of an nx x ny region, 0 when either count is not positive or
// the product does not fit an int.
int NumPoints(int nx, int ny)
{
    if (nx <= 0 || ny <= 0)
        return 0;
    const int64_t n = int64_t(nx) * ny;
    return n > INT_MAX ? 0 : int(n);
}
// The vertical scale of a line-scan plot: from 0 to the largest value of its
// curve as it is now (an acquisition raises it after the plot opened); a
// curve that dips below 0 (a stored one may) is shown down to its smallest,
// else it would be drawn on a scale that holds none of it. Values that are
// not finite set no scale.
void LineScanScale(const CSpecWnd* w, double* pMin, double* pMax)
{
    int n = 0;
    const double* y = w->GetYData(&n, 0, 0);
    double lo = 0.0, hi = 0.0;
    bool any = false;
    for (int i = 0; y && i < n; ++i) {
        if (!std::isfinite(y[i]))
            continue;
        lo = any ? std::min(lo, y[i]) : y[i];
        hi = any ? std::max(hi, y[i]) : y[i];
        any = true;
    }
    *pMin = std::min(lo, 0.0);
    *pMax = hi;
}
} // namespace

CImageView* CImageView::m_pAcqSelect = nullptr;

CImageView::CImageView()
{
    const struct
    {
        unsigned id;
        int zoom;
    } zooms[] = {{ID_VIEW_ZOOMIN, 1}, {ID_VIEW_ZOOMOUT, -1}, {ID_VIEW_DEFAULTZOOM, 0}};
    for (auto z : zooms) {
        OnCommand(z.id, [this, z] { OnZoom(z.zoom); });
        OnUpdateCommand(z.id, [this, z](CCmdUI* ui) { ui->Enable(CanZoom(z.zoom)); });
    }
    const struct
    {
        unsigned id;
        int x, y, bit;
    } scales[] = {{ID_VIEW_HORZ_EXPAND, 2, 1, 1},
                  {ID_VIEW_HORZ_CONTRACT, -2, 1, 1},
                  {ID_VIEW_VERT_EXPAND, 1, 2, 2},
                  {ID_VIEW_VERT_CONTRACT, 1, -2, 2}};
    for (auto s : scales) {
        OnCommand(s.id, [this, s] { OnRescale(s.x, s.y, s.bit); });
        OnUpdateCommand(s.id, [this](CCmdUI* ui) { ui->Enable(ActiveSpecWnd() != nullptr); });
    }
    OnCommand(ID_VIEW_FULLSCALE, [this] { OnFullScale(); });
    OnUpdateCommand(ID_VIEW_FULLSCALE, [this](CCmdUI* ui) { ui->Enable(ActiveSpecWnd() != nullptr); });
    OnCommand(ID_ACQUIRE_SELECT, [this] { OnAcquireSelect(); });
    OnUpdateCommand(ID_ACQUIRE_SELECT, [this](CCmdUI* ui) {
        IImageSelectPage* page = ImageSelectPage();
        const bool b = IsSEImage() && page && page->UsesPointsOrAreas();
        ui->Enable(b);
        ui->SetCheck(b && m_pAcqSelect == this ? 1 : 0);
    });
}

CImageView::~CImageView()
{
    EndSelection();
    ClearPanes();
}

void CImageView::OnDestroy()
{
    EndSelection();
    CVeltraneView::OnDestroy();
}

void CImageView::EndSelection()
{
    if (m_pAcqSelect != this)
        return;
    m_pAcqSelect = nullptr;
    if (IImageSelectPage* page = ImageSelectPage())
        page->SetDispView(nullptr);
}

CDispWnd* CImageView::GetDispWnd(int i) const
{
    return i >= 0 && i < int(m_caDispWnd.size()) ? m_caDispWnd[size_t(i)].get() : nullptr;
}

CSpecWnd* CImageView::GetSpecWnd(int i) const
{
    return i >= 0 && i < int(m_caSpecWnd.size()) ? m_caSpecWnd[size_t(i)] : nullptr;
}

CImageWnd* CImageView::GetImageWnd(int i) const
{
    return i >= 0 && i < int(m_caImageWnd.size()) ? m_caImageWnd[size_t(i)] : nullptr;
}

void CImageView::SetActiveDispWnd(int i)
{
    if (i == m_iActiveWnd)
        return;
    if (CDispWnd* w = GetDispWnd(m_iActiveWnd))
        w->SetActive(false);
    m_iActiveWnd = i;
    if (CDispWnd* w = GetDispWnd(i))
        w->SetActive(true);
}

CSpecWnd* CImageView::ActiveSpecWnd() const
{
    return GetSpecWnd(m_iActiveWnd);
}

CImageWnd* CImageView::ActiveImageWnd() const
{
    return GetImageWnd(m_iActiveWnd);
}

bool CImageView::IsSEImage() const
{
    const CVeltraneDoc* doc = GetDocument();
    return doc && doc->GetExpType() == kSEImageType;
}

void CImageView::ClearPanes()
{
    // A repeated initial update replaces the panes rather than adding to them.
    SetActiveDispWnd(-1);
    m_caSpecWnd.clear();
    m_caImageWnd.clear();
    m_caDispWnd.clear();
    m_nDispWnds = 0;
}

void CImageView::OnInitialUpdate()
{
    CVeltraneDoc* doc = GetDocument();
    if (!doc || doc->GetPathName().empty())
        return;
    ClearPanes();
    CStagePosn* p = doc->GetNumStagePosns() > 0 ? doc->GetStagePosn(0) : nullptr;
    const int n = p ? p->GetNumImageRgns() : 0;
    m_iDispWnd = 0;
    m_nDispWnds = n;
    m_caSpecWnd.assign(size_t(n), nullptr);
    m_caImageWnd.assign(size_t(n), nullptr);
    m_caDispWnd.resize(size_t(n));
    const bool se = IsSEImage();
    const std::string sep = LoadString(1150);
    for (int i = 0; i < n; ++i) {
        CImageRgn* r = p->GetImageRgn(i);
        const std::string caption = r ? r->GetName() + sep + r->GetRegion() : std::string();
        const int nx = r ? r->GetNumPoints_x() : 0;
        const int ny = r ? r->GetNumPoints_y() : 0;
        if (ny > 1) {
            auto pane = std::make_unique<CImageWnd>();
            int mn = 0, mx = 0;
            const CImageRgn::SImagePixels pix = r->CalcImage(&mn, &mx);
            const int N = NumPoints(nx, ny);
            // The pane keeps its own copy: the region's computed pixels are
            // replaced by its next computation, which another view may ask for.
            pane->SetDataAutoDelete(true);
            if (pix.pBytes || (se && !pix.pInts)) {
                auto* b = new uint8_t[size_t(N)]();
                if (pix.pBytes && N > 0)
                    std::memcpy(b, pix.pBytes, size_t(N));
                pane->SetImage(b, nx, ny, mn, mx);
            } else {
                auto* v = new int[size_t(N)]();
                if (pix.pInts && N > 0)
                    std::memcpy(v, pix.pInts, size_t(N) * sizeof(int));
                pane->SetImage(v, nx, ny, mn, mx);
            }
            pane->SetCaption(caption);
            pane->Create(this, RECT{}, FirstPaneID + unsigned(i));
            pane->installEventFilter(this);
            m_caImageWnd[size_t(i)] = pane.get();
            m_caDispWnd[size_t(i)] = std::move(pane);
        } else {
            auto w = std::make_unique<CSpecWnd>(1);
            w->SetNumTraces(1, 0);
            double mn = 0.0, mx = 0.0;
            const double* line = r ? r->CalcLinescan(&mn, &mx) : nullptr;
            if (nx > 0) {
                auto* y = new double[size_t(nx)]();
                if (line)
                    std::copy(line, line + nx, y);
                w->SetDataAutoDelete(TRUE, 0, 0);
                w->SetYData(y, mn, mx, nx, 0, 0);
            }
            w->SetCaption(caption, 0);
            w->Create(this, RECT{}, FirstPaneID + unsigned(i));
            w->installEventFilter(this);
            m_caSpecWnd[size_t(i)] = w.get();
            m_caDispWnd[size_t(i)] = std::move(w);
        }
    }
    SetViewSize(true);
    LayoutPanes();
    for (int i = 0; i < n; ++i) {
        const CImageRgn* r = p->GetImageRgn(i);
        if (CImageWnd* pane = GetImageWnd(i)) {
            int mn = int(std::clamp(r->GetMinValue(), double(INT_MIN), double(INT_MAX)));
            int mx = int(std::clamp(r->GetMaxValue(), double(INT_MIN), double(INT_MAX)));
            if (mn == 0 && mx == 0)
                mx = se ? 255 : 32767;
            pane->Show(true, mn, mx);
        } else if (CSpecWnd* w = GetSpecWnd(i)) {
            double dMax = 0.0, dMin = 0.0;
            LineScanScale(w, &dMin, &dMax);
            w->Show(true, &dMax, &dMin, 0.0, double(w->GetNumPoints(0, 0)));
        }
    }
    update();
}

void CImageView::LayoutPanes()
{
    const std::vector<SLayoutRect> rects = CalcImagePaneRects(m_nDispWnds, m_Size.width(), m_Size.height());
    for (size_t k = 0; k < rects.size(); ++k)
        if (CDispWnd* w = GetDispWnd(m_iDispWnd + int(k)))
            w->setGeometry(rects[k].left, rects[k].top, rects[k].Width(), rects[k].Height());
}

void CImageView::resizeEvent(QResizeEvent* e)
{
    CVeltraneView::resizeEvent(e);
    SafeInvoke([&] {
        const CVeltraneDoc* doc = GetDocument();
        if (!doc || doc->GetPathName().empty())
            return;
        SetViewSize(true);
        LayoutPanes();
        // A line-scan plot lays itself out anew in its new size (an image
        // pane does so itself).
        for (CSpecWnd* w : m_caSpecWnd)
            if (w && !w->isHidden())
                w->Show(TRUE);
    });
}

void CImageView::OnUpdate(IDocView* pSender, intptr_t lHint, void* pHint)
{
    if (lHint == 0) {
        if (!pSender && !pHint)
            OnInitialUpdate();
        return;
    }
    const auto* u = reinterpret_cast<const SUpdate*>(lHint);
    if (u->m_iUpdateType == SUpdate::Acquire)
        OnAcquire(*static_cast<const SAcqUpdate*>(u));
    else if (u->m_iUpdateType == SUpdate::AcqEnd)
        for (CImageWnd* pane : m_caImageWnd)
            if (pane)
                pane->Flush();
}

void CImageView::OnAcquire(const SAcqUpdate& u)
{
    // The view shows the first analysis position only.
    const CVeltraneDoc* doc = GetDocument();
    if (!doc || u.m_iPosn != 0 || doc->GetNumStagePosns() < 1)
        return;
    const CImageRgn* r = doc->GetStagePosn(0)->GetImageRgn(u.m_iRgn);
    if (!r)
        return;
    CSpecWnd* plot = GetSpecWnd(u.m_iRgn);
    CImageWnd* pane = GetImageWnd(u.m_iRgn);
    const int nx = r->GetNumPoints_x();
    if (u.m_iType == int(WMAPP_ACQ_INTENSITYDATA)) {
        const int pt = u.m_iTrace;
        const int s = std::max(u.m_iScan, 0);
        if (plot) {
            double* y = pt >= 0 && pt < plot->GetNumPoints(0, 0) ? plot->GetYData(pt, 0, 0) : nullptr;
            if (!y || !u.m_pbData || u.m_iEnd < 1)
                return;
            if (r->GetPkData()) {
                // The document already holds the sum of every scan so far, in the
                // background planes that were measured: its mean is right in a
                // window opened part-way through the run too, whose curve started
                // from those sums.
                *y = r->GetData(pt) / double(s + 1);
            } else {
                int v[3] = {0, 0, 0};
                std::memcpy(v, u.m_pbData, sizeof(int) * size_t(std::min(u.m_iEnd, 3)));
                *y = img::RunningMean(*y, CUtility::CalcIntensity(v, std::min(u.m_iEnd, 3)), s);
            }
            plot->OnUpdate(pt, pt, 0, 0);
        } else if (pane) {
            int* data = pane->GetIntData();
            const CSize sz = pane->GetSize();
            if (!data || pt < 0 || pt >= NumPoints(sz.cx, sz.cy))
                return;
            const double v = std::trunc(r->GetData(pt) / double(s + 1));
            data[pt] = int(std::clamp(v, double(INT_MIN), double(INT_MAX)));
            pane->OnUpdate(pt, pt, s);
        }
        return;
    }
    if (u.m_iType != int(WMAPP_ACQ_IMAGEDATA))
        return;
    // Each line updates the display once, after its last plane.
    const int nz = r->GetNumPoints_z();
    // A second background alone comes named as the second.
    const int lastKind = nz == 3 || (nz == 2 && r->GetBk1() == CUtility::Infinity) ? 2 : nz - 1;
    if (nz >= 2 && u.m_iKind != lastKind)
        return;
    if (u.m_iStart < 1 || u.m_iEnd < u.m_iStart || u.m_iEnd > nx || u.m_iLine < 1)
        return;
    const int64_t a64 = int64_t(nx) * (u.m_iLine - 1) + u.m_iStart - 1;
    const int64_t b64 = int64_t(nx) * (u.m_iLine - 1) + u.m_iEnd - 1;
    const int N = NumPoints(nx, std::max(r->GetNumPoints_y(), 1));
    if (b64 >= N)
        return;
    const int a = int(a64), b = int(b64);
    auto at = [a](const int* p) { return p ? p + a : nullptr; };
    if (plot) {
        int n = 0;
        double* y = plot->GetYData(&n, 0, 0);
        const int* pk = r->GetPkData();
        if (!y || !pk || b >= n)
            return;
        CUtility::CalcIntensity(y + a, at(pk), at(r->GetBk1Data()), at(r->GetBk2Data()), &u);
        plot->OnUpdate(u.m_iStart - 1, u.m_iEnd - 1, 0, 0);
        return;
    }
    if (!pane)
        return;
    if (uint8_t* bytes = pane->GetByteData()) {
        const unsigned char* se = r->GetSEData();
        if (!se)
            return;
        std::memcpy(bytes + a, se + a, size_t(b - a + 1));
    } else if (int* ints = pane->GetIntData()) {
        const int* pk = r->GetPkData();
        if (!pk)
            return;
        CUtility::CalcIntensity(ints + a, at(pk), at(r->GetBk1Data()), at(r->GetBk2Data()), &u);
    } else {
        return;
    }
    pane->OnUpdate(a, b, u.m_iScan);
}

bool CImageView::CanZoom(int iZoom) const
{
    CImageWnd* w = ActiveImageWnd();
    return w && w->SetZoom(iZoom, true);
}

void CImageView::OnZoom(int iZoom)
{
    if (CImageWnd* w = ActiveImageWnd())
        w->SetZoom(iZoom, false);
}

void CImageView::OnRescale(int iXfactor, int iYfactor, int bit)
{
    CSpecWnd* w = ActiveSpecWnd();
    if (!w)
        return;
    const int r = w->SetDispLimits(iXfactor, iYfactor, TRUE);
    if (r & bit)
        w->Invalidate(CSpecWnd::TraceArea | (bit == 1 ? CSpecWnd::HorzAxis : CSpecWnd::VertAxis), true);
    else
        QApplication::beep();
}

void CImageView::OnFullScale()
{
    CSpecWnd* w = ActiveSpecWnd();
    if (!w)
        return;
    // The scale of this line scan's own values, not the highest of every
    // region at the position.
    double dMax = 0.0, dMin = 0.0;
    LineScanScale(w, &dMin, &dMax);
    w->Show(true, &dMax, &dMin, 0.0, double(w->GetNumPoints(0, 0)));
    w->Invalidate(CSpecWnd::DispArea, true);
}

void CImageView::OnPaneClick(int i, CPoint point, bool bCtrlShift)
{
    if (i < m_iDispWnd || i >= m_iDispWnd + m_nDispWnds)
        return;
    if (i != m_iActiveWnd)
        SetActiveDispWnd(i);
    else if (bCtrlShift)
        SetActiveDispWnd(-1);
    if (m_pAcqSelect == this && i == 0)
        if (CImageWnd* pane = GetImageWnd(0))
            if (IImageSelectPage* page = ImageSelectPage())
                page->OnLButtonDownInImage(pane, point);
}

void CImageView::OnAcquireSelect()
{
    auto repaint = [](CImageView* v) {
        for (CImageWnd* w : v->m_caImageWnd)
            if (w)
                w->Invalidate(CImageWnd::WholeWnd, false);
    };
    if (m_pAcqSelect)
        repaint(m_pAcqSelect);
    if (m_pAcqSelect == this) {
        m_pAcqSelect = nullptr;
    } else {
        m_pAcqSelect = this;
        repaint(this);
    }
    if (IImageSelectPage* page = ImageSelectPage())
        page->SetDispView(m_pAcqSelect);
}

intptr_t CImageView::OnAppMessage(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    if (message != WMAPP_PAINTOVER)
        return 0;
    // Only an image pane's paint is an overlay on the image; a line-scan
    // plot's paint is not.
    CImageWnd* pane = nullptr;
    for (CImageWnd* w : m_caImageWnd)
        if (w && reinterpret_cast<uintptr_t>(w) == wParam)
            pane = w;
    IImageSelectPage* page = ImageSelectPage();
    if (pane && m_pAcqSelect == this && page && lParam) {
        auto* dc = reinterpret_cast<QPainter*>(lParam);
        dc->save();
        pane->SetupDC(dc);
        page->DrawOnImage(dc, pane);
        dc->restore();
    }
    return 1;
}

bool CImageView::eventFilter(QObject* watched, QEvent* e)
{
    int i = -1;
    for (int k = 0; k < GetNumWnds(); ++k)
        if (GetDispWnd(k) == watched)
            i = k;
    if (i >= 0 && e->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() == Qt::LeftButton) {
            const QPoint p = me->position().toPoint();
            const Qt::KeyboardModifiers m = me->modifiers();
            SafeInvoke([&] {
                OnPaneClick(i, CPoint(p.x(), p.y()), (m & Qt::ControlModifier) && (m & Qt::ShiftModifier));
            });
        }
    } else if (i == 0 && e->type() == QEvent::MouseMove && m_pAcqSelect == this) {
        CImageWnd* pane = GetImageWnd(0);
        IImageSelectPage* page = ImageSelectPage();
        const QPoint p = static_cast<QMouseEvent*>(e)->position().toPoint();
        if (pane && !(page && page->SetCursor(pane, POINT{p.x(), p.y()})))
            pane->unsetCursor();
    }
    return CVeltraneView::eventFilter(watched, e);
}

void CImageView::OnPrint(QPainter* pDC, const QRect& rectDraw)
{
    // The panes are child windows: the view's own drawing holds none of them.
    const QSize s = size().isEmpty() ? QSize(800, 600) : size();
    const double k = std::min(double(rectDraw.width()) / s.width(), double(rectDraw.height()) / s.height());
    if (!(k > 0.0))
        return;
    for (int i = 0; i < GetNumWnds(); ++i) {
        CDispWnd* w = GetDispWnd(i);
        if (!w || w->isHidden())
            continue;
        pDC->save();
        pDC->translate(rectDraw.topLeft());
        pDC->scale(k, k);
        pDC->translate(w->pos());
        w->render(pDC, QPoint(), QRegion(), QWidget::DrawChildren);
        pDC->restore();
    }
}

void CImageView::OnPrint(QPrinter* printer, bool)
{
    QPainter painter(printer);
    const QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    OnPrint(&painter, QRect(0, 0, page.width(), page.height()));
}

bool CImageView::SaveAsBitmap(CVeltraneDoc& doc, const std::string& path)
{
    CImageView* view = nullptr;
    for (IDocView* v : doc.GetViews())
        if (!view)
            view = dynamic_cast<CImageView*>(v);
    // Line scans have no bitmap: a document of nothing else is told so, not
    // left to think its file was written.
    bool anyImage = false;
    for (int i = 0; view && i < view->GetNumWnds(); ++i)
        anyImage = anyImage || view->GetImageWnd(i) != nullptr;
    if (!anyImage) {
        AfxMessageBox(kNoBitmapWriter, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    const int n = view->GetNumWnds();
    const std::string ext = LoadString(kBitmapExt);
    bool written = false;
    for (int i = 1; i <= n; ++i) {
        CImageWnd* pane = view->GetImageWnd(i - 1);
        if (!pane)
            continue;
        std::string name = img::BitmapFileName(path, ext, n, i);
        if (name.empty()) {
            AfxMessageBox(FileExceptionMessage(CFileException(CFileException::badPath, path), true),
                          MB_OK | MB_ICONERROR);
            return written;
        }
        if (QFileInfo::exists(QString::fromStdString(name))) {
            const std::string title = QFileInfo(QString::fromStdString(name)).fileName().toStdString();
            switch (AfxMessageBox(FormatMessageId(kFileExists, {title}), MB_YESNOCANCEL | MB_ICONWARNING)) {
            case IDYES:
                break;
            case IDNO: {
                static const unsigned anyFile[] = {1042, 0};
                CVeltrane* app = CVeltrane::GetApp();
                if (!app || !app->OnFileName(name, false, anyFile))
                    return written;
                break;
            }
            default:
                return written;
            }
        }
        try {
            pane->SaveAsBitmap(name);
            written = true;
        } catch (const CFileException& e) {
            // The writer's error may name its temporary file; the user chose name.
            AfxMessageBox(FileExceptionMessage(CFileException(e.m_cause, name, e.m_osError), true),
                          MB_OK | MB_ICONERROR);
            return written;
        }
    }
    return written;
}

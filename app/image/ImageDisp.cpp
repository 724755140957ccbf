#include "app/image/ImageDisp.h"

#include "platform/AtomicFileWriter.h"
#include "platform/Clock.h"
#include "platform/Cp1252.h"
#include "platform/Exceptions.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QWidget>

using namespace img;

namespace {
QRect ToQRect(const CRect& r)
{
    return QRect(r.left, r.top, r.Width(), r.Height());
}

QImage::Format QtFormat(PixelFormat f)
{
    switch (f) {
    case PixelFormat::Index8:
        return QImage::Format_Indexed8;
    case PixelFormat::Rgb555:
        return QImage::Format_RGB555;
    case PixelFormat::Rgb24:
        return QImage::Format_BGR888;
    default:
        return QImage::Format_RGB32;
    }
}
} // namespace

CImageDisp::CImageDisp() : m_font(QApplication::font())
{
    m_dwLastUpdateTime = Now();
}

CImageDisp::~CImageDisp() = default;

uint32_t CImageDisp::Now() const
{
    return uint32_t(GetTickCount64());
}

int CImageDisp::NumPoints() const
{
    if (m_nX <= 0 || m_nY <= 0)
        return 0;
    const int64_t n = int64_t(m_nX) * m_nY;
    return n > INT32_MAX ? 0 : int(n);
}

void CImageDisp::SetImage(int* piData, int nX, int nY, int iMin, int iMax)
{
    m_piData = piData;
    m_nX = nX;
    m_nY = nY;
    m_iMinVal = m_iMin = iMin;
    m_iMaxVal = m_iMax = iMax;
}

void CImageDisp::SetImage(uint8_t* pbData, int nX, int nY, int iMin, int iMax)
{
    m_pbData = pbData;
    m_nX = nX;
    m_nY = nY;
    m_iMinVal = m_iMin = iMin;
    m_iMaxVal = m_iMax = iMax;
}

void CImageDisp::Show(bool bShow, const CRect& rect, QPaintDevice* pDC, int iMin, int iMax)
{
    m_bVisible = bShow;
    m_rFull = rect;
    const QFontMetrics fm(m_font, pDC);
    CRect work = rect;
    work.InflateRect(-fm.averageCharWidth(), -fm.height());
    m_cyCaption = fm.height() + fm.leading();
    m_rCaption = CRect(work.left, work.bottom - m_cyCaption, work.right, work.bottom);
    m_rAvail = CRect(work.left, work.top, work.right, m_rCaption.top);
    ZoomStep(m_view, m_rAvail, m_nX, m_nY, 0, true);
    m_rImage = m_view.rImage;
    m_iMinVal = m_iMin = iMin;
    m_iMaxVal = m_iMax = iMax;

    // An image without points shows its caption only.
    m_format = FormatForDepth(pDC ? pDC->depth() : 32);
    if (NumPoints() == 0) {
        m_image = QImage();
        m_levels.clear();
        return;
    }
    m_image = QImage(m_nX, m_nY, QtFormat(m_format));
    if (m_image.isNull())
        return; // too large to hold: the caption alone
    if (m_format == PixelFormat::Index8) {
        QList<QRgb> table;
        for (int i = 0; i < 128; ++i)
            table.push_back(qRgb(2 * i, 2 * i, 2 * i));
        m_image.setColorTable(table);
    }
    m_image.fill(0);
    BuildLevels();
    OnUpdate(nullptr, 0, NumPoints() - 1, 0);
}

void CImageDisp::Convert(int iFrom, int iTo)
{
    if (m_image.isNull())
        return;
    ConvertPoints(m_image.bits(), int(m_image.bytesPerLine()), m_format, m_nX, m_piData, m_pbData, iFrom, iTo,
                  m_iMin, m_iMax);
    UpdateLevels(iFrom / m_nX, iTo / m_nX);
}

void CImageDisp::BuildLevels()
{
    m_levels.clear();
    if (m_format != PixelFormat::Rgb32)
        return;
    int w = m_nX / 2, h = m_nY / 2;
    while (w >= 1 && h >= 1 && m_levels.size() < 6) {
        m_levels.emplace_back(w, h, QImage::Format_RGB32);
        if (m_levels.back().isNull()) {
            m_levels.pop_back();
            break;
        }
        w /= 2;
        h /= 2;
    }
}

void CImageDisp::UpdateLevels(int r0, int r1)
{
    const QImage* src = &m_image;
    for (QImage& level : m_levels) {
        r0 /= 2;
        r1 = std::min(r1 / 2, level.height() - 1);
        if (r0 > r1)
            break;
        HalveRows(src->constBits(), int(src->bytesPerLine()), level.bits(), int(level.bytesPerLine()),
                  level.width(), r0, r1);
        src = &level;
    }
}

int CImageDisp::OnUpdate(CWnd* pWnd, int iFrom, int iTo, int iScan)
{
    // Points outside the image are never touched.
    iFrom = std::max(iFrom, 0);
    iTo = std::min(iTo, NumPoints() - 1);
    if (iFrom > iTo)
        return 0;
    m_iEndReceived = iTo + 1;
    m_iScanReceived = iScan;
    if (m_piData)
        return OnUpdateInt(pWnd, iFrom, iTo, iScan);
    if (m_pbData)
        return OnUpdateByte(pWnd, iFrom, iTo);
    return 0;
}

int CImageDisp::OnUpdateInt(CWnd* pWnd, int iFrom, int iTo, int iScan)
{
    const int N = NumPoints();
    if (!pWnd) {
        Convert(iFrom, iTo);
        return 0;
    }
    const uint32_t now = Now();
    const uint32_t elapsed = now - m_dwLastUpdateTime; // unsigned: right across the wrap
    int first = m_iEndLastUpdate;
    if (iFrom == 0) {
        m_dwLastUpdateTime = now;
        first = 0;
        m_iEndLastUpdate = 0;
        if (iScan == 0)
            m_iMinVal = m_iMin = m_iMaxVal = m_iMax = 0;
    }
    bool all = false, repaint = false;
    if (elapsed > 1000 || iTo == N - 1) {
        repaint = true;
        m_iEndLastUpdate = iTo + 1;
        if (iTo == N - 1) {
            // The frame is complete: the exact range of the whole image.
            MinMax(m_piData, N, &m_iMinVal, &m_iMaxVal);
            m_iMin = m_iMinVal;
            m_iMax = m_iMaxVal;
            all = true;
        } else {
            // Every point since the last request counts, not only this block's:
            // points that arrived in between would otherwise stay out of range.
            for (int i = std::min(first, iFrom); i <= iTo; ++i) {
                if (m_piData[i] < m_iMinVal)
                    m_iMinVal = m_piData[i];
                else if (m_piData[i] > m_iMaxVal)
                    m_iMaxVal = m_piData[i];
            }
            if (m_iMinVal < m_iMin || m_iMaxVal > m_iMax) {
                m_iMin = m_iMinVal;
                m_iMax = m_iMaxVal;
                all = true;
            }
        }
        m_dwLastUpdateTime = now;
    }
    Convert(all ? 0 : iFrom, all ? N - 1 : iTo);
    if (repaint)
        Repaint(pWnd, all ? m_rImage : RepaintRect(first, iTo));
    return 0;
}

int CImageDisp::OnUpdateByte(CWnd* pWnd, int iFrom, int iTo)
{
    Convert(iFrom, iTo);
    if (!pWnd)
        return 0;
    const int N = NumPoints();
    const uint32_t now = Now();
    const uint32_t elapsed = now - m_dwLastUpdateTime;
    if (iFrom == 0) {
        m_dwLastUpdateTime = now;
        m_iEndLastUpdate = 0;
    }
    if (elapsed > 1000 || iTo == N - 1) {
        Repaint(pWnd, RepaintRect(std::min(m_iEndLastUpdate, iTo), iTo));
        m_dwLastUpdateTime = now;
        m_iEndLastUpdate = iTo + 1;
    }
    return 0;
}

void CImageDisp::Flush(CWnd* pWnd)
{
    const int N = NumPoints();
    if (N <= 0)
        return;
    if (m_piData) {
        // In the first scan the points not reached hold nothing measured; in
        // a later one they hold the earlier scans' mean.
        const int n = m_iScanReceived > 0 ? N : std::clamp(m_iEndReceived, 0, N);
        if (n > 0) {
            MinMax(m_piData, n, &m_iMinVal, &m_iMaxVal);
            m_iMin = m_iMinVal;
            m_iMax = m_iMaxVal;
        }
    }
    Convert(0, N - 1);
    m_iEndLastUpdate = m_iEndReceived;
    m_dwLastUpdateTime = Now();
    Repaint(pWnd, m_rImage);
}

CRect CImageDisp::RepaintRect(int iFrom, int iTo) const
{
    if (m_nX <= 0)
        return CRect();
    const SStrip s = RowStrip(m_view, iFrom / m_nX, iTo / m_nX);
    CRect r(m_rImage.left, s.top, m_rImage.right, s.bottom);
    // Rows outside the zoomed part are not on screen.
    CRect out;
    out.IntersectRect(r, m_rImage);
    return out;
}

void CImageDisp::Repaint(CWnd* pWnd, const CRect& r) const
{
    if (pWnd && !r.IsRectEmpty())
        pWnd->update(ToQRect(r));
}

int CImageDisp::Draw(QPainter* pDC, const CRect* pRect, bool bPreview)
{
    (void)bPreview;
    CRect clip;
    if (!m_bVisible || !pRect || !clip.IntersectRect(*pRect, m_rFull))
        return 0;
    if (clip.IntersectRect(*pRect, m_rCaption)) {
        pDC->save();
        pDC->setFont(m_font);
        pDC->setPen(Qt::black);
        pDC->setBackgroundMode(Qt::TransparentMode);
        pDC->drawText(ToQRect(m_rCaption), Qt::AlignCenter | Qt::TextSingleLine,
                      QString::fromStdString(Cp1252ToUtf8(m_csCaption)));
        pDC->restore();
    }
    if (!m_image.isNull() && clip.IntersectRect(*pRect, m_rImage)) {
        pDC->save();
        pDC->setClipRect(ToQRect(clip));
        // Sampled once per window pixel, so the cost follows the pane, not the
        // image; enlarged points stay sharp squares.
        pDC->setRenderHint(QPainter::SmoothPixmapTransform, false);
        // Drawn from the smallest copy still at least as large as the window
        // part: a window pixel shows the mean of the points it covers, not
        // one point picked from many.
        int k = 0;
        while (k < int(m_levels.size()) && (m_view.cX >> (k + 1)) >= m_view.cx &&
               (m_view.cY >> (k + 1)) >= m_view.cy)
            ++k;
        const QImage& src = k == 0 ? m_image : m_levels[size_t(k - 1)];
        const double f = 1.0 / double(1 << k);
        // A copy of an odd size lost its last half point: stay inside it.
        const double x0 = m_view.iX0 * f, y0 = m_view.iY0 * f;
        const double w = std::min(m_view.cX * f, src.width() - x0),
                     h = std::min(m_view.cY * f, src.height() - y0);
        pDC->drawImage(QRectF(m_view.ix0, m_view.iy0, m_view.cx, m_view.cy), src, QRectF(x0, y0, w, h));
        pDC->restore();
    }
    return 0;
}

bool CImageDisp::SetZoom(int iZoom, bool bTest)
{
    const bool b = ZoomStep(m_view, m_rAvail, m_nX, m_nY, iZoom, !bTest);
    if (b && !bTest)
        m_rImage = m_view.rImage;
    return b;
}

void CImageDisp::SetupDC(QPainter* pDC) const
{
    pDC->setClipRect(ToQRect(m_rImage));
    if (m_view.cX == 0 || m_view.cY == 0)
        return;
    pDC->translate(m_view.ix0, m_view.iy0);
    pDC->scale(double(m_view.cx) / m_view.cX, double(m_view.cy) / m_view.cY);
    pDC->translate(-m_view.iX0, -m_view.iY0);
}

void CImageDisp::DPtoLP(POINT* p) const
{
    *static_cast<POINT*>(p) = WindowToImage(m_view, CPoint(p->x, p->y));
}

void CImageDisp::LPtoDP(POINT* p) const
{
    *static_cast<POINT*>(p) = ImageToWindow(m_view, CPoint(p->x, p->y));
}

void CImageDisp::DPtoLP(RECT* r) const
{
    POINT a{r->left, r->top}, b{r->right, r->bottom};
    DPtoLP(&a);
    DPtoLP(&b);
    *r = RECT{a.x, a.y, b.x, b.y};
}

void CImageDisp::LPtoDP(RECT* r) const
{
    POINT a{r->left, r->top}, b{r->right, r->bottom};
    LPtoDP(&a);
    LPtoDP(&b);
    *r = RECT{a.x, a.y, b.x, b.y};
}

void CImageDisp::SaveAsBitmap(const std::string& path) const
{
    const std::vector<uint8_t> grey = GreyBytes(m_piData, m_pbData, m_nX, m_nY, m_iMin, m_iMax);
    const std::vector<uint8_t> file = EncodeGreyBitmap(grey.data(), std::max(m_nX, 0), std::max(m_nY, 0));
    if (file.empty())
        throw CFileException(CFileException::diskFull, path);
    // A failed write leaves the old file, or none, never a torn one.
    CAtomicFileWriter w(path);
    w.File().Write(file.data(), file.size());
    w.Commit();
}

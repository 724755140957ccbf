#include "app/Legend.h"

#include "app/ViewLayout.h"
#include "app/plot/PaintUtil.h"
#include "app/plot/Symbol.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
// Height of the window system's 3-D edge.
constexpr int kEdgeHeight = 2;
} // namespace

CLegend::CLegend(QWidget* parent) : QWidget(parent), m_Font(QApplication::font()) {}

CLegend::~CLegend() = default;

void CLegend::SetNumEntries(int n)
{
    n = std::max(n, 0);
    m_csaLabels.assign(size_t(n), std::string());
    m_aPens.assign(size_t(n), nullptr);
    m_aSymbols.assign(size_t(n), nullptr);
    m_nEntries = n;
}

void CLegend::SetPen(const QPen* pPen, int i)
{
    if (i >= 0 && i < m_nEntries)
        m_aPens[size_t(i)] = pPen;
}

void CLegend::SetSymbol(const CSymbol* pSymbol, int i)
{
    if (i >= 0 && i < m_nEntries)
        m_aSymbols[size_t(i)] = pSymbol;
}

void CLegend::SetLabel(const std::string& s, int i)
{
    if (i >= 0 && i < m_nEntries)
        m_csaLabels[size_t(i)] = s;
}

int CLegend::SampleLength() const
{
    // 1000 hundredths of a millimetre.
    return int(std::lround(1000.0 * logicalDpiX() / 2540.0));
}

void CLegend::Reposition(unsigned, int cx, int cy)
{
    const QFontMetrics fm(m_Font, this);
    int widest = 0;
    for (const std::string& s : m_csaLabels)
        widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(s)));
    const SLayoutRect r = PlaceLegend(cx, m_nEntries, widest, fm.averageCharWidth(), SampleLength(),
                                      fm.height() + fm.leading(), kEdgeHeight, cy);
    m_nRows = LegendRows(cy, m_nEntries, fm.height() + fm.leading(), kEdgeHeight);
    m_Size = QSize(r.Width(), r.Height());
    setGeometry(r.left, r.top, r.Width(), r.Height());
    update();
}

void CLegend::paintEvent(QPaintEvent*)
{
    QPainter dc(this);
    dc.fillRect(rect(), plot::PlotFace(palette().color(QPalette::Window)));
    dc.setFont(m_Font);
    dc.setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics fm(m_Font, this);
    const int H = fm.height() + fm.leading();
    const int A = fm.averageCharWidth();
    const int rows = std::max(m_nRows, 1);
    const int cols = std::max((m_nEntries + rows - 1) / rows, 1);
    const int colWidth = width() / cols;
    for (int i = 0; i < m_nEntries; ++i) {
        // Entries run down a column, then on at the top of the next.
        const int left = (i / rows) * colWidth;
        const int y = H / 2 + (i % rows) * H;
        const int x0 = left + A / 2, x1 = x0 + SampleLength(), xText = x1 + A, xSymbol = (x0 + x1) / 2;
        const QPen pen = m_aPens[size_t(i)] ? *m_aPens[size_t(i)] : QPen(Qt::black, 0);
        dc.setPen(QPen(Qt::black, 0));
        // A legend held to a narrow parent shows a label cut short with an ellipsis.
        const int room = std::max(left + colWidth - xText, 0);
        dc.drawText(QRect(xText, y, room, H), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    fm.elidedText(QString::fromStdString(m_csaLabels[size_t(i)]), Qt::ElideRight, room));
        dc.setPen(pen);
        dc.drawLine(x0, y + H / 2, x1, y + H / 2);
        if (m_aSymbols[size_t(i)])
            m_aSymbols[size_t(i)]->Draw(&dc, CPoint(xSymbol, y + H / 2));
    }
    dc.setPen(QPen(Qt::black, 0));
}

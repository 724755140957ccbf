#include "UGrid/UGDC.h"

#include <QFontMetrics>

#include <algorithm>
#include <cstdlib>

namespace {
// cp1252 bytes 0x80..0x9f; the rest coincides with Latin-1.
const char16_t kCp1252High[32] = {0x20ac, 0xfffd, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
                                  0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0xfffd, 0x017d, 0xfffd,
                                  0xfffd, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                                  0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0xfffd, 0x017e, 0x0178};
} // namespace

int CFont::Height() const
{
    return QFontMetrics(m_font).height();
}

QColor UGToQColor(COLORREF c)
{
    return QColor(UGGetR(c), UGGetG(c), UGGetB(c));
}

COLORREF UGFromQColor(const QColor& c)
{
    return UGRGB(c.red(), c.green(), c.blue());
}

QString UGFromCp1252(const std::string& text)
{
    QString out;
    out.reserve(qsizetype(text.size()));
    for (unsigned char b : text)
        out.append(b >= 0x80 && b < 0xa0 ? QChar(kCp1252High[b - 0x80]) : QChar(b));
    return out;
}

std::string UGToCp1252(const QString& text)
{
    std::string out;
    out.reserve(size_t(text.size()));
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xa0 && u < 0x100)) {
            out += char(u);
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i)
            if (kCp1252High[i] == u && u != 0xfffd)
                mapped = char(0x80 + i);
        out += mapped;
    }
    return out;
}

QRect UGToQRect(const RECT& r)
{
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

RECT UGFromQRect(const QRect& r)
{
    return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

CDC::CDC(QPainter* painter) : m_painter(painter), m_font(painter->font())
{
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setRenderHint(QPainter::TextAntialiasing, false);
}

void CDC::Save()
{
    m_painter->save();
    m_saved.push_back({m_font, m_textColour, m_bkColour, m_penColour, m_penWidth});
}

void CDC::Restore()
{
    m_painter->restore();
    if (m_saved.empty())
        return;
    const Saved& s = m_saved.back();
    m_font = s.font;
    m_textColour = s.textColour;
    m_bkColour = s.bkColour;
    m_penColour = s.penColour;
    m_penWidth = s.penWidth;
    m_saved.pop_back();
}

void CDC::SelectFont(const CFont* font)
{
    if (font)
        SelectQFont(font->Font());
}

void CDC::SelectQFont(const QFont& font)
{
    m_font = font;
    m_painter->setFont(font);
}

void CDC::SelectPen(COLORREF colour, int width)
{
    m_penColour = colour;
    m_penWidth = width;
}

void CDC::FillSolidRect(const RECT& r, COLORREF c)
{
    if (r.right > r.left && r.bottom > r.top)
        m_painter->fillRect(UGToQRect(r), UGToQColor(c));
}

void CDC::MoveTo(int x, int y)
{
    m_pos = QPoint(x, y);
}

void CDC::LineTo(int x, int y)
{
    const QPoint from = m_pos;
    m_pos = QPoint(x, y);
    const int dx = x - from.x(), dy = y - from.y();
    if (dx == 0 && dy == 0)
        return;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    // The last pixel is left out, as the window system's lines do.
    const QPoint end(from.x() + dx * (steps - 1) / steps, from.y() + dy * (steps - 1) / steps);
    QPen pen(UGToQColor(m_penColour));
    pen.setWidth(0);
    m_painter->setPen(pen);
    if (from == end)
        m_painter->drawPoint(from);
    else
        m_painter->drawLine(from, end);
}

SIZE CDC::GetTextExtent(const std::string& text) const
{
    QFontMetrics fm(m_font);
    return SIZE{fm.horizontalAdvance(UGFromCp1252(text)), fm.height()};
}

void CDC::ExtTextOut(int x, int y, const RECT& r, const std::string& text)
{
    FillSolidRect(r, m_bkColour);
    if (text.empty() || r.right <= r.left || r.bottom <= r.top)
        return;
    m_painter->save();
    m_painter->setClipRect(UGToQRect(r), Qt::IntersectClip);
    m_painter->setPen(UGToQColor(m_textColour));
    m_painter->setFont(m_font);
    QFontMetrics fm(m_font);
    m_painter->drawText(QPoint(x, y + fm.ascent()), UGFromCp1252(text));
    m_painter->restore();
}

void CDC::DrawTextWrapped(const RECT& r, const std::string& text, unsigned flags)
{
    m_painter->save();
    m_painter->setPen(UGToQColor(m_textColour));
    m_painter->setFont(m_font);
    int align = Qt::TextWordWrap | Qt::AlignTop;
    align |= (flags & UG_DT_CENTER)  ? Qt::AlignHCenter
             : (flags & UG_DT_RIGHT) ? Qt::AlignRight
                                     : Qt::AlignLeft;
    m_painter->setClipRect(UGToQRect(r), Qt::IntersectClip);
    m_painter->drawText(UGToQRect(r), align, UGFromCp1252(text));
    m_painter->restore();
}

void CDC::DrawFocusRect(const RECT& r)
{
    if (r.right - r.left < 1 || r.bottom - r.top < 1)
        return;
    m_painter->save();
    // In the text colour of the cells, so that it shows on a dark theme's
    // cells as on a light theme's.
    QPen pen(UGToQColor(UGGetSysColor(UG_COLOR_WINDOWTEXT)));
    pen.setWidth(0);
    pen.setStyle(Qt::DotLine);
    m_painter->setPen(pen);
    m_painter->setBrush(Qt::NoBrush);
    m_painter->drawRect(QRect(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1));
    m_painter->restore();
}

void CDC::DrawBitmap(const CBitmap& bitmap, const RECT& target)
{
    if (!bitmap.Image().isNull())
        m_painter->drawImage(UGToQRect(target), bitmap.Image());
}

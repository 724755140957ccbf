#include "UGrid/UGHint.h"

#include "UGrid/UGCtrl.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

CUGHint::CUGHint() : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("HintWnd"));
}

int CUGHint::Create(CUGCtrl* ctrl)
{
    if (!ctrl)
        return 0;
    m_ctrl = ctrl;
    m_text.clear();
    m_textColor = 0;
    m_backColor = UGRGB(255, 255, 224);
    m_textAlign = UG_ALIGNLEFT;
    m_font = nullptr;
    m_lineHeight = QFontMetrics(font()).height();
    hide();
    return 1;
}

int CUGHint::SetFont(CFont* f)
{
    m_font = f;
    const QFont q = f ? f->Font() : font();
    m_lineHeight = QFontMetrics(q).boundingRect(QStringLiteral("Xy")).height() + 3;
    return 0;
}

int CUGHint::SetTextAlignment(int align)
{
    m_textAlign = align;
    return 0;
}

int CUGHint::SetTextColor(COLORREF c)
{
    m_textColor = c;
    return 0;
}

int CUGHint::SetBackColor(COLORREF c)
{
    m_backColor = c;
    return 0;
}

int CUGHint::SetText(const char* text, BOOL redraw)
{
    m_text = text ? text : "";
    if (redraw)
        update();
    return 0;
}

RECT CUGHint::PlaceRect(int x, int y, int width, int textWidth, int h, int align, int clientW, int clientH)
{
    const int w = std::max(width, textWidth + 4);
    RECT r;
    if (align & UG_ALIGNCENTER)
        r.left = x - w / 2;
    else if (align & UG_ALIGNRIGHT)
        r.left = x - w;
    else
        r.left = x;
    r.right = r.left + w;
    if (align & UG_ALIGNVCENTER)
        r.top = y - h / 2;
    else if (align & UG_ALIGNBOTTOM)
        r.top = y - h;
    else
        r.top = y;
    r.bottom = r.top + h;
    auto shift = [](int& a, int& b, int d) {
        a += d;
        b += d;
    };
    if (r.left < 0)
        shift(r.left, r.right, -r.left);
    if (r.top < 0)
        shift(r.top, r.bottom, -r.top);
    if (r.right > clientW)
        shift(r.left, r.right, clientW - r.right);
    if (r.bottom > clientH)
        shift(r.top, r.bottom, clientH - r.bottom);
    return r;
}

int CUGHint::MoveHintWindow(int x, int y, int width)
{
    if (!m_ctrl)
        return 0;
    const QFont q = m_font ? m_font->Font() : font();
    const int textWidth = QFontMetrics(q).horizontalAdvance(UGFromCp1252(m_text));
    const RECT r =
        PlaceRect(x, y, width, textWidth, m_lineHeight, m_textAlign, m_ctrl->width(), m_ctrl->height());
    const QPoint topLeft = m_ctrl->mapToGlobal(QPoint(r.left, r.top));
    hide();
    setGeometry(QRect(topLeft, QSize(r.right - r.left, r.bottom - r.top)));
    show();
    repaint();
    return 0;
}

int CUGHint::Hide()
{
    hide();
    return 0;
}

int CUGHint::Show()
{
    if (!isVisible())
        show();
    return 0;
}

void CUGHint::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), UGToQColor(m_backColor));
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (m_font)
        p.setFont(m_font->Font());
    p.setPen(UGToQColor(m_textColor));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, UGFromCp1252(m_text));
}

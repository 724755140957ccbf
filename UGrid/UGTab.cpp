#include "UGrid/UGTab.h"

#include "UGrid/UGCtrl.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

CUGTab::CUGTab(CUGCtrl* ctrl, QWidget* parent) : QWidget(parent), m_ctrl(ctrl)
{
    setObjectName(QStringLiteral("id_5"));
    setMouseTracking(true);
    m_ownFont = QFont(QStringLiteral("Arial"));
    m_ownFont.setPixelSize(14);
    m_ownFont.setWeight(QFont::Medium);
    m_font = m_ownFont;
    m_arrowWidth = 2 * style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    // The two arrow buttons of a scroll bar, side by side at the left end.
    auto* arrows = new QWidget(this);
    arrows->setObjectName(QStringLiteral("id_100"));
    auto* row = new QHBoxLayout(arrows);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (bool right : {false, true}) {
        auto* b = new QToolButton(arrows);
        b->setArrowType(right ? Qt::RightArrow : Qt::LeftArrow);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(b, &QToolButton::clicked, this, [this, right] { ScrollStep(right); });
        row->addWidget(b);
        (right ? m_right : m_left) = b;
    }
}

int CUGTab::IndexOf(long id) const
{
    for (size_t i = 0; i < m_tabs.size(); ++i)
        if (m_tabs[i].id == id)
            return int(i);
    return -1;
}

int CUGTab::Measure(const std::string& label) const
{
    return QFontMetrics(m_font).horizontalAdvance(UGFromCp1252(label)) + 10;
}

void CUGTab::CalcMaxOffset()
{
    if (m_tabs.empty())
        return;
    int total = 0;
    for (const Tab& t : m_tabs)
        total += t.width;
    const int visible = width() - m_arrowWidth;
    m_maxOffset = total - visible < 1 ? 0 : total - visible + 20;
}

int CUGTab::AddTab(const char* label, long id)
{
    if (int(m_tabs.size()) >= MaxTabs)
        return 1;
    const std::string text = label ? label : "";
    m_tabs.push_back(
        {text, Measure(text), id, UGGetSysColor(UG_COLOR_WINDOWTEXT), UGGetSysColor(UG_COLOR_BTNFACE)});
    CalcMaxOffset();
    update();
    return 0;
}

int CUGTab::InsertTab(int index, const char* label, long id)
{
    if (int(m_tabs.size()) >= MaxTabs)
        return 1;
    if (index < 0 || index > int(m_tabs.size()))
        return 0;
    if (index == int(m_tabs.size()))
        return AddTab(label, id);
    const std::string text = label ? label : "";
    m_tabs.insert(m_tabs.begin() + index, Tab{text, Measure(text), id, UGGetSysColor(UG_COLOR_WINDOWTEXT),
                                              UGGetSysColor(UG_COLOR_BTNFACE)});
    if (m_current >= index)
        ++m_current;
    CalcMaxOffset();
    update();
    return 0;
}

int CUGTab::DeleteTab(long id)
{
    const int index = IndexOf(id);
    if (index < 0)
        return 0;
    m_tabs.erase(m_tabs.begin() + index);
    if (m_tabs.empty()) {
        // Nothing is left to be current or to scroll to.
        m_current = 0;
        m_scrollOffset = 0;
        m_maxOffset = 0;
    } else if (index == m_current) {
        m_current = 0;
        ScrollIntoView(0);
    } else if (m_current > index) {
        --m_current;
    }
    CalcMaxOffset();
    m_scrollOffset = std::min(m_scrollOffset, m_maxOffset);
    update();
    return 1;
}

void CUGTab::ScrollIntoView(int index)
{
    int x = -5;
    for (int i = 0; i < index; ++i)
        x += m_tabs[size_t(i)].width;
    x = std::max(x, 0);
    const int barWidth = m_ctrl && m_ctrl->GI() ? m_ctrl->GI()->m_tabWidth : width();
    if (x < m_scrollOffset) {
        m_scrollOffset = x;
    } else {
        const int b = barWidth - 2 * m_tabs[size_t(index)].width;
        if (x > m_scrollOffset + b - 10)
            m_scrollOffset = x - b + 10;
    }
    if (x > m_maxOffset)
        m_scrollOffset = m_maxOffset;
    m_scrollOffset = std::clamp(m_scrollOffset, 0, std::max(0, m_maxOffset));
    update();
}

int CUGTab::SetCurrentTab(long id)
{
    const int index = IndexOf(id);
    if (index < 0)
        return 0;
    m_current = index;
    ScrollIntoView(index);
    return 1;
}

int CUGTab::SetTabBackColor(long id, COLORREF colour)
{
    const int index = IndexOf(id);
    if (index < 0)
        return 0;
    m_tabs[size_t(index)].back = colour;
    update();
    return 1;
}

int CUGTab::SetTabTextColor(long id, COLORREF colour)
{
    const int index = IndexOf(id);
    if (index < 0)
        return 0;
    m_tabs[size_t(index)].text = colour;
    update();
    return 1;
}

int CUGTab::SetTabFont(CFont* font)
{
    if (font)
        m_font = font->Font();
    for (Tab& t : m_tabs)
        t.width = Measure(t.label);
    CalcMaxOffset();
    update();
    return 1;
}

void CUGTab::Redraw()
{
    update();
}

void CUGTab::ScrollStep(bool right)
{
    if (!right && m_scrollOffset > 0)
        m_scrollOffset = std::max(0, m_scrollOffset - 5);
    else if (right && m_scrollOffset < m_maxOffset - 5)
        m_scrollOffset += 5;
    else
        return;
    update();
}

int CUGTab::TabAt(int px) const
{
    int x = m_arrowWidth - m_scrollOffset;
    for (size_t i = 0; i < m_tabs.size(); ++i) {
        const int r = x + m_tabs[i].width;
        if (px >= x && px <= r + 2)
            return int(i);
        x = r;
    }
    return -1;
}

void CUGTab::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), UGToQColor(UGGetSysColor(UG_COLOR_BTNFACE)));
    p.setFont(m_font);
    p.setClipRect(QRect(m_arrowWidth, 0, width() - m_arrowWidth, height()));
    const int bottom = height() - 1;
    auto drawTab = [&](int i, int l, bool current) {
        const Tab& t = m_tabs[size_t(i)];
        const int r = l + t.width;
        const QPoint pts[4] = {{l, 0}, {l + 7, bottom}, {r + 2, bottom}, {r + 9, 0}};
        const QColor back = current ? Qt::white : UGToQColor(t.back);
        p.setPen(Qt::black);
        p.setBrush(back);
        p.drawPolygon(pts, 4);
        p.setPen(UGToQColor(t.text));
        const QFontMetrics fm(m_font);
        p.drawText(QRect(l + 10, 1, std::max(0, t.width - 4), bottom - 1), Qt::AlignLeft | Qt::AlignTop,
                   UGFromCp1252(t.label));
        if (current) {
            p.setPen(Qt::white);
            p.drawLine(l + 1, 0, r + 9, 0);
        }
    };
    int x = m_arrowWidth - m_scrollOffset;
    int currentLeft = 0;
    for (int i = 0; i < int(m_tabs.size()); ++i) {
        if (i == m_current)
            currentLeft = x;
        drawTab(i, x, false);
        x += m_tabs[size_t(i)].width;
    }
    // The current tab joins the sheet above it: drawn last, on top.
    if (!m_tabs.empty())
        drawTab(m_current, currentLeft, true);
    p.setClipping(false);
    // A raised edge at the right end, which the user drags.
    const int w = width();
    p.setPen(Qt::black);
    p.drawLine(w - 1, 0, w - 1, bottom);
    p.setPen(UGToQColor(UGGetSysColor(UG_COLOR_BTNSHADOW)));
    p.drawLine(w - 2, 0, w - 2, bottom);
    p.setPen(Qt::white);
    p.drawLine(w - 4, 0, w - 4, bottom);
    p.setPen(Qt::black);
    p.drawLine(0, 0, m_arrowWidth + 1, 0);
}

void CUGTab::resizeEvent(QResizeEvent*)
{
    if (QWidget* arrows = findChild<QWidget*>(QStringLiteral("id_100")))
        arrows->setGeometry(0, 0, m_arrowWidth, height() + 1);
    CalcMaxOffset();
    m_scrollOffset = std::clamp(m_scrollOffset, 0, std::max(0, m_maxOffset));
}

void CUGTab::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (m_onEdge) {
            m_sizing = true;
            return;
        }
        const int i = TabAt(pos.x());
        if (i < 0)
            return;
        m_current = i;
        int l = m_arrowWidth - m_scrollOffset;
        for (int k = 0; k < i; ++k)
            l += m_tabs[size_t(k)].width;
        const int r = l + m_tabs[size_t(i)].width;
        if (l - 5 < m_arrowWidth)
            m_scrollOffset = std::max(0, m_scrollOffset - (m_arrowWidth - (l - 5)));
        else if (r + 19 > width())
            m_scrollOffset = std::min(std::max(0, m_maxOffset), m_scrollOffset + (r + 19 - width()));
        update();
        if (m_ctrl)
            m_ctrl->OnTabSelected(int(m_tabs[size_t(i)].id));
    } else if (event->button() == Qt::RightButton && m_ctrl && m_ctrl->GI()->m_enablePopupMenu) {
        const QPoint g = mapToGlobal(pos);
        POINT screen{g.x(), g.y()};
        m_ctrl->StartMenu(TabAt(pos.x()), 0, &screen, UG_SECTION_TAB);
    }
}

void CUGTab::mouseMoveEvent(QMouseEvent* event)
{
    const int x = int(event->position().x());
    if (m_sizing) {
        SizeTabBar(x);
        return;
    }
    m_onEdge = x > width() - 7;
    setCursor(m_onEdge ? Qt::SizeHorCursor : Qt::ArrowCursor);
}

void CUGTab::mouseReleaseEvent(QMouseEvent*)
{
    m_sizing = false;
}

void CUGTab::SizeTabBar(int x)
{
    if (!m_ctrl)
        return;
    const int w = std::max(5, std::min(x, m_ctrl->width() - 15));
    m_ctrl->SetTabWidth(w);
    m_ctrl->AdjustLayout();
}

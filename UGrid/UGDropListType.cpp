#include "UGrid/UGDropListType.h"

#include "UGrid/UGCtrl.h"
#include "UGrid/UGGrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>

namespace {
const unsigned char kDropListTypeId[16] = {0x8f, 0x3a, 0x51, 0x02, 0x6c, 0x44, 0x4e, 0x91,
                                           0xa1, 0x0d, 0x37, 0x5e, 0xc2, 0x11, 0x70, 0x03};
} // namespace

CUGDropListType::CUGDropListType()
    : m_btnWidth(qApp ? qApp->style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 17)
{
    m_canOverflow = 0;
}

CUGDropListType::~CUGDropListType()
{
    delete m_listBox.data(); // a list still open when the type goes
}

const unsigned char* CUGDropListType::GetTypeId()
{
    return kDropListTypeId;
}

std::vector<std::string> CUGDropListType::SplitItems(const std::string& label)
{
    std::vector<std::string> items;
    size_t start = 0;
    for (size_t nl = label.find('\n'); nl != std::string::npos; nl = label.find('\n', start)) {
        std::string item = label.substr(start, nl - start);
        if (!item.empty() && item.back() == '\r')
            item.pop_back();
        items.push_back(item);
        start = nl + 1;
    }
    return items;
}

RECT CUGDropListType::ListRect(const RECT& cell, int itemCount, int itemHeight, int areaWidth, int areaHeight)
{
    RECT r{cell.left + 10, cell.bottom, cell.right + 10, 0};
    r.bottom = r.top + (std::min(itemCount, 15) + 1) * itemHeight + 2;
    if (r.bottom > areaHeight) {
        const int shift = std::min(r.bottom - areaHeight, r.top);
        r.top -= shift;
        r.bottom -= shift;
        // Taller than the cell area: it is cut to the area and scrolls, so
        // that its last items and its scroll bar's lower end can be reached.
        r.bottom = std::max(r.top + itemHeight + 2, std::min(r.bottom, areaHeight));
    }
    if (r.right > areaWidth) {
        const int shift = std::min(r.right - areaWidth, r.left);
        r.left -= shift;
        r.right -= shift;
    }
    return r;
}

int CUGDropListType::OnEditRect(RECT* rect)
{
    rect->right -= m_btnWidth + 1;
    return 1;
}

void CUGDropListType::OnDraw(CDC* dc, RECT* rect, int col, long row, CUGCell* cell, int selected, int current)
{
    CUGGridInfo* gi = m_ctrl->GI();
    const bool isCurrent = col == gi->m_currentCol && row == gi->m_currentRow;
    if ((cell->GetCellTypeParam() & UGCT_DROPLISTHIDEBUTTON) && !isCurrent) {
        CUGCellType::OnDraw(dc, rect, col, row, cell, selected, current);
        return;
    }
    RECT inner = *rect;
    DrawBorder(dc, rect, &inner, cell);
    RECT btn{inner.right - m_btnWidth, inner.top, inner.right, inner.bottom};
    const bool pressed = m_btnDown && isCurrent && m_btnCol == col && m_btnRow == row;
    UGDrawCellButton(dc, btn, pressed);
    const int x = btn.left + (m_btnWidth - 5) / 2;
    const int y = btn.top + (btn.bottom - btn.top - 3) / 2;
    dc->SelectPen(UGGetSysColor(UG_COLOR_BTNTEXT));
    for (int i = 0; i < 3; ++i) {
        dc->MoveTo(x + i, y + i);
        dc->LineTo(x + 5 - i, y + i);
    }
    RECT text{inner.left, inner.top, btn.left - 1, inner.bottom};
    DrawText(dc, &text, 0, col, row, cell, selected, current);
}

int CUGDropListType::OnLClicked(int col, long row, int pressed, RECT* rect, POINT* point)
{
    if (!pressed) {
        if (m_btnDown) {
            m_btnDown = 0;
            m_ctrl->RedrawCell(m_btnCol, m_btnRow);
            return 1;
        }
        return 0;
    }
    if (!rect || !point || point->x <= rect->right - m_btnWidth) {
        if (m_listCol == -2)
            m_listCol = m_listRow = -1;
        return 0;
    }
    const bool openHere = m_listBox && m_listCol == col && m_listRow == row;
    if (openHere || m_listCol == -2) {
        m_listCol = m_listRow = -1;
        if (m_listBox)
            m_listBox->close();
        return 0;
    }
    m_btnDown = 1;
    m_btnCol = col;
    m_btnRow = row;
    m_btnRect = RECT{rect->right - m_btnWidth, rect->top, rect->right, rect->bottom};
    m_ctrl->RedrawCell(col, row);
    StartDropList();
    return 1;
}

int CUGDropListType::OnDClicked(int col, long row, RECT* rect, POINT* point)
{
    if (rect && point && point->x > rect->right - m_btnWidth)
        return OnLClicked(col, row, 1, rect, point);
    return 0;
}

int CUGDropListType::OnMouseMove(int, long, POINT* point, UINT flags)
{
    if (!(flags & UG_MK_LBUTTON))
        return 1;
    if (point && m_btnCol >= 0) {
        const bool inside = point->x >= m_btnRect.left && point->x < m_btnRect.right &&
                            point->y >= m_btnRect.top && point->y < m_btnRect.bottom;
        if (int(inside) != m_btnDown) {
            m_btnDown = inside ? 1 : 0;
            m_ctrl->RedrawCell(m_btnCol, m_btnRow);
        }
    }
    return 0;
}

int CUGDropListType::OnKeyDown(int, long, UINT* key)
{
    const bool ctrlDown = QApplication::keyboardModifiers() & Qt::ControlModifier;
    if (key && (*key == VK_RETURN || (*key == VK_DOWN && ctrlDown))) {
        StartDropList();
        *key = 0;
        return 1;
    }
    return 0;
}

int CUGDropListType::OnCharDown(int, long, UINT* key)
{
    return key && (*key == 13 || *key == 40);
}

void CUGDropListType::OnKillFocus(int, long, CUGCell*)
{
    m_listCol = -1;
    m_listRow = -1;
}

int CUGDropListType::StartDropList()
{
    if (m_listBox)
        return 1;
    CUGGridInfo* gi = m_ctrl->GI();
    const int col = gi->m_currentCol;
    const long row = gi->m_currentRow;
    if (col < 0 || row < 0)
        return 1;
    CUGCell cell;
    m_ctrl->GetCellIndirect(col, row, &cell);
    std::string label;
    cell.GetLabelString(label);
    std::vector<std::string> items = SplitItems(label);
    m_listCol = col;
    m_listRow = row;
    m_ctrl->OnCellTypeNotify(m_ID, col, row, CTN_OPEN, reinterpret_cast<long>(&items));

    const CFont* font = cell.GetFont() ? cell.GetFont() : gi->m_defFont;
    const int itemHeight = font ? std::abs(font->Height()) : 12;
    int c = col;
    long r = row;
    RECT cellRect;
    m_ctrl->GetCellRect(&c, &r, &cellRect);
    const RECT lr = ListRect(cellRect, int(items.size()), itemHeight, gi->m_gridWidth, gi->m_gridHeight);

    CUGGrid* grid = m_ctrl->GetGridWnd();
    auto* list = new CUGLstBox(m_ctrl, this, grid); // owned by the cell area until it closes
    list->setObjectName(QStringLiteral("id_123"));
    list->hide();
    if (font)
        list->setFont(font->Font());
    for (const std::string& item : items)
        list->addItem(UGFromCp1252(item));
    list->setGeometry(UGToQRect(lr));
    m_listBox = list;
    list->show();
    list->setFocus(Qt::PopupFocusReason);
    m_btnDown = 0;
    m_ctrl->RedrawCell(col, row);
    return 0;
}

CUGLstBox::CUGLstBox(CUGCtrl* ctrl, CUGDropListType* owner, QWidget* parent)
    : QListWidget(parent), m_ctrl(ctrl), m_owner(owner)
{
    setFrameShape(QFrame::Box);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
}

void CUGLstBox::focusInEvent(QFocusEvent* event)
{
    m_open = true;
    m_chosen = false;
    // While open the list takes every click, so one outside it closes it.
    viewport()->grabMouse();
    QListWidget::focusInEvent(event);
}

void CUGLstBox::mousePressEvent(QMouseEvent* event)
{
    if (!viewport()->rect().contains(event->position().toPoint())) {
        viewport()->releaseMouse();
        Close();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void CUGLstBox::focusOutEvent(QFocusEvent* event)
{
    viewport()->releaseMouse();
    QListWidget::focusOutEvent(event);
    if (m_closing)
        return;
    m_closing = true;
    if (!m_chosen && m_owner) {
        // The click that took the focus away must not reopen the list at once.
        m_owner->m_listCol = -2;
        m_owner->m_listRow = -2;
    }
    m_open = false;
    hide();
    deleteLater();
    if (m_ctrl && m_ctrl->GetGridWnd())
        m_ctrl->GetGridWnd()->repaint();
}

void CUGLstBox::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (currentRow() >= 0 && currentItem() && currentItem()->isSelected())
            Select();
        else
            Close();
        return;
    case Qt::Key_Escape:
        Close();
        return;
    default:
        QListWidget::keyPressEvent(event);
        event->accept(); // the grid beneath must not see the list's keys
    }
}

void CUGLstBox::mouseReleaseEvent(QMouseEvent* event)
{
    viewport()->releaseMouse();
    QListWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && currentItem() && currentItem()->isSelected())
        Select();
}

void CUGLstBox::Select()
{
    if (m_chosen || !m_owner)
        return;
    m_chosen = true;
    std::string text = UGToCp1252(currentItem()->text());
    const int col = m_owner->m_listCol;
    const long row = m_owner->m_listRow;
    // Sent while the list still holds the focus: tables read its selection.
    if (m_ctrl->OnCellTypeNotify(m_owner->GetID(), col, row, CTN_SELECT, reinterpret_cast<long>(&text))) {
        CUGCell cell;
        m_ctrl->GetCell(col, row, &cell);
        cell.SetText(text.c_str());
        m_ctrl->SetCell(col, row, &cell);
        m_ctrl->RedrawCell(col, row);
    }
    m_open = false;
    m_owner->m_listCol = -1;
    m_owner->m_listRow = -1;
    Close();
}

void CUGLstBox::Close()
{
    if (!m_chosen && m_owner) {
        m_owner->m_listCol = -1;
        m_owner->m_listRow = -1;
    }
    m_chosen = true; // closing on purpose: no reopen guard
    viewport()->releaseMouse();
    if (m_ctrl && m_ctrl->GetGridWnd())
        m_ctrl->GetGridWnd()->setFocus(Qt::OtherFocusReason);
    if (!m_closing) {
        m_closing = true;
        hide();
        deleteLater();
        if (m_ctrl && m_ctrl->GetGridWnd())
            m_ctrl->GetGridWnd()->repaint();
    }
}

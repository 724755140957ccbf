#include "UGrid/model/UGMultiSelect.h"

#include "UGrid/model/UGCtrlCore.h"
#include "UGrid/model/UGGridInfo.h"

#include <algorithm>

void CUGMultiSelect::Order(Block& b) const
{
    b.left = std::min(b.startCol, b.endCol);
    b.right = std::max(b.startCol, b.endCol);
    b.top = std::min(b.startRow, b.endRow);
    b.bottom = std::max(b.startRow, b.endRow);
    if (m_mode & UG_MULTISELECT_ROW) {
        b.left = 0;
        b.right = m_GI ? m_GI->m_numberCols : b.right;
    }
}

int CUGMultiSelect::ClearAll()
{
    const bool redraw = m_count > 1;
    m_blocks.clear();
    m_inProgress = false;
    m_grown = false;
    m_anchorCol = -1;
    m_anchorRow = -1;
    m_lastCol = -1;
    m_lastRow = -1;
    m_count = 0;
    m_newBlockPending = false;
    if (redraw && m_ctrl)
        m_ctrl->RedrawAll();
    return 0;
}

int CUGMultiSelect::StartBlock(int col, long row)
{
    Block b{col, col, row, row, 0, 0, 0, 0, 1};
    Order(b);
    m_blocks.push_back(b);
    m_inProgress = true;
    m_grown = false;
    m_anchorCol = col;
    m_anchorRow = row;
    m_lastCol = col;
    m_lastRow = row;
    m_newBlockPending = true;
    ++m_count;
    return 0;
}

int CUGMultiSelect::EndBlock(int col, long row)
{
    if (!m_inProgress || m_blocks.empty())
        return StartBlock(col, row);
    Block& b = m_blocks.back();
    const int oldEndCol = b.endCol;
    const long oldEndRow = b.endRow;
    const Block before = b;
    b.endCol = col;
    b.endRow = row;
    Order(b);
    b.selected = 1;
    m_lastCol = col;
    m_lastRow = row;
    if (!m_grown) {
        m_grown = true;
        ++m_count;
    }
    if (m_ctrl) {
        // Repaint what the change of the block's end uncovered or covered.
        const int c1 = std::min({before.left, b.left, oldEndCol, col});
        const int c2 = std::max({before.right, b.right, oldEndCol, col});
        const long r1 = std::min({before.top, b.top, oldEndRow, row});
        const long r2 = std::max({before.bottom, b.bottom, oldEndRow, row});
        m_ctrl->RedrawRange(c1, r1, c2, r2);
    }
    return 0;
}

int CUGMultiSelect::ToggleCell(int col, long row)
{
    for (Block& b : m_blocks) {
        if (b.left == col && b.right == col && b.top == row && b.bottom == row) {
            b.selected = b.selected ? 0 : 1;
            return 0;
        }
    }
    const int wasSelected = IsSelected(col, row);
    StartBlock(col, row);
    m_blocks.back().selected = wasSelected ? 0 : 1;
    return 0;
}

int CUGMultiSelect::IsSelected(int col, long row, int* block) const
{
    int result = 0;
    for (size_t i = 0; i < m_blocks.size(); ++i) {
        const Block& b = m_blocks[i];
        if (!Contains(b, col, row))
            continue;
        result = b.selected;
        if (block)
            *block = int(i);
        if (m_mode & UG_MULTISELECT_NODESELECT)
            break;
    }
    return result;
}

int CUGMultiSelect::IsColSelected(int col) const
{
    for (const Block& b : m_blocks)
        if (b.selected && col >= b.left && col <= b.right)
            return 1;
    return 0;
}

int CUGMultiSelect::IsRowSelected(long row) const
{
    for (const Block& b : m_blocks)
        if (b.selected && row >= b.top && row <= b.bottom)
            return 1;
    return 0;
}

int CUGMultiSelect::GetCurrentBlock(int* startCol, long* startRow, int* endCol, long* endRow) const
{
    if (!m_inProgress || m_blocks.empty())
        return 1;
    const Block& b = m_blocks.back();
    *startCol = b.startCol;
    *startRow = b.startRow;
    *endCol = b.endCol;
    *endRow = b.endRow;
    return 0;
}

int CUGMultiSelect::GetTotalRange(int* startCol, long* startRow, int* endCol, long* endRow) const
{
    if (m_blocks.empty())
        return 2;
    int l = m_blocks[0].left, r = m_blocks[0].right;
    long t = m_blocks[0].top, b = m_blocks[0].bottom;
    for (const Block& k : m_blocks) {
        l = std::min(l, k.left);
        r = std::max(r, k.right);
        t = std::min(t, k.top);
        b = std::max(b, k.bottom);
    }
    *startCol = l;
    *startRow = t;
    *endCol = r;
    *endRow = b;
    return 0;
}

int CUGMultiSelect::EnumFirstBlock(int* startCol, long* startRow, int* endCol, long* endRow)
{
    m_enumBlock = 0;
    return EnumNextBlock(startCol, startRow, endCol, endRow);
}

int CUGMultiSelect::EnumNextBlock(int* startCol, long* startRow, int* endCol, long* endRow)
{
    if (m_enumBlock >= m_blocks.size())
        return 1;
    const Block& b = m_blocks[m_enumBlock++];
    *startCol = b.left;
    *startRow = b.top;
    *endCol = b.right;
    *endRow = b.bottom;
    return 0;
}

int CUGMultiSelect::EnumFirstSelected(int* col, long* row)
{
    const int curCol = m_GI ? m_GI->m_currentCol : -1;
    const long curRow = m_GI ? m_GI->m_currentRow : -1;
    if (m_blocks.empty()) {
        *col = curCol;
        *row = curRow;
        m_enumLeft = 0;
        m_enumRight = -1;
        m_enumTop = 0;
        m_enumBottom = -1;
        return 0;
    }
    GetTotalRange(&m_enumLeft, &m_enumTop, &m_enumRight, &m_enumBottom);
    if (curCol >= 0 && curRow >= 0) {
        m_enumLeft = std::min(m_enumLeft, curCol);
        m_enumRight = std::max(m_enumRight, curCol);
        m_enumTop = std::min(m_enumTop, curRow);
        m_enumBottom = std::max(m_enumBottom, curRow);
    }
    if (m_mode & UG_MULTISELECT_ROW && m_GI)
        m_enumRight = std::min(m_enumRight, m_GI->m_numberCols - 1);
    m_enumCol = m_enumLeft - 1;
    m_enumRow = m_enumTop;
    return EnumNextSelected(col, row);
}

bool CUGMultiSelect::Advance()
{
    if (++m_enumCol > m_enumRight) {
        m_enumCol = m_enumLeft;
        ++m_enumRow;
    }
    return m_enumRow <= m_enumBottom;
}

int CUGMultiSelect::EnumNextSelected(int* col, long* row)
{
    const int curCol = m_GI ? m_GI->m_currentCol : -1;
    const long curRow = m_GI ? m_GI->m_currentRow : -1;
    while (Advance()) {
        if (IsSelected(m_enumCol, m_enumRow) || (m_enumCol == curCol && m_enumRow == curRow)) {
            *col = m_enumCol;
            *row = m_enumRow;
            return 0;
        }
    }
    return 1;
}

int CUGMultiSelect::SetSelectMode(int mode)
{
    m_mode = mode;
    ClearAll();
    return 0;
}

#include "UGrid/model/UGDrawHint.h"

#include <algorithm>

void CUGDrawHint::Widen(const Range& r)
{
    if (m_invalid.size() == 1) {
        m_box = r;
        return;
    }
    m_box.startCol = std::min(m_box.startCol, r.startCol);
    m_box.startRow = std::min(m_box.startRow, r.startRow);
    m_box.endCol = std::max(m_box.endCol, r.endCol);
    m_box.endRow = std::max(m_box.endRow, r.endRow);
}

int CUGDrawHint::AddHint(int startCol, long startRow, int endCol, long endRow)
{
    Range r{startCol, startRow, endCol, endRow};
    m_invalid.push_back(r);
    Widen(r);
    return 0;
}

int CUGDrawHint::AddToHint(int startCol, long startRow, int endCol, long endRow)
{
    Range r{startCol, startRow, endCol, endRow};
    if (m_invalid.empty()) {
        m_invalid.push_back(r);
        m_box = r;
        return 0;
    }
    Range& first = m_invalid.front();
    first.startCol = std::min(first.startCol, startCol);
    first.startRow = std::min(first.startRow, startRow);
    first.endCol = std::max(first.endCol, endCol);
    first.endRow = std::max(first.endRow, endRow);
    m_box.startCol = std::min(m_box.startCol, first.startCol);
    m_box.startRow = std::min(m_box.startRow, first.startRow);
    m_box.endCol = std::max(m_box.endCol, first.endCol);
    m_box.endRow = std::max(m_box.endRow, first.endRow);
    return 0;
}

void CUGDrawHint::ClearHints()
{
    m_invalid.clear();
    m_valid.clear();
}

int CUGDrawHint::IsInvalid(int col, long row) const
{
    if (m_invalid.empty())
        return 0;
    if (col < m_box.startCol || col > m_box.endCol || row < m_box.startRow || row > m_box.endRow)
        return 0;
    for (const Range& r : m_invalid)
        if (col >= r.startCol && col <= r.endCol && row >= r.startRow && row <= r.endRow)
            return 1;
    return 0;
}

int CUGDrawHint::IsValid(int col, long row) const
{
    for (const Cell& c : m_valid)
        if (c.col == col && c.row == row)
            return 1;
    return 0;
}

int CUGDrawHint::SetAsValid(int col, long row)
{
    m_valid.push_back({col, row});
    return 0;
}

int CUGDrawHint::GetTotalRange(int* startCol, long* startRow, int* endCol, long* endRow) const
{
    const bool any = !m_invalid.empty();
    *startCol = any ? m_box.startCol : 0;
    *startRow = any ? m_box.startRow : 0;
    *endCol = any ? m_box.endCol : 0;
    *endRow = any ? m_box.endRow : 0;
    return any ? 1 : 0;
}

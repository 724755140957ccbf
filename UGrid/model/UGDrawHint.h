#pragma once
// The cells a pane still has to repaint, so that a change to a few cells
// repaints only those.

#include <vector>

class CUGDrawHint
{
public:
    int AddHint(int col, long row) { return AddHint(col, row, col, row); }
    int AddHint(int startCol, long startRow, int endCol, long endRow);
    int AddToHint(int col, long row) { return AddToHint(col, row, col, row); }
    int AddToHint(int startCol, long startRow, int endCol, long endRow);
    void ClearHints();
    int IsInvalid(int col, long row) const;
    int IsValid(int col, long row) const;
    int SetAsValid(int col, long row);
    int GetTotalRange(int* startCol, long* startRow, int* endCol, long* endRow) const;

private:
    struct Range
    {
        int startCol;
        long startRow;
        int endCol;
        long endRow;
    };
    struct Cell
    {
        int col;
        long row;
    };
    void Widen(const Range& r);

    std::vector<Range> m_invalid;
    std::vector<Cell> m_valid;
    Range m_box{0, 0, 0, 0};
};

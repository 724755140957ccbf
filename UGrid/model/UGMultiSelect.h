#pragma once
// The multiple selection of a sheet: blocks in the order they were made, each
// selected or cut out of the blocks before it.

#include <cstddef>
#include <vector>

class CUGCtrlCore;
struct CUGGridInfo;

enum : int
{
    UG_MULTISELECT_OFF = 0,
    UG_MULTISELECT_CELL = 1,
    UG_MULTISELECT_ROW = 2,
    UG_MULTISELECT_NODESELECT = 0x10, // the first block containing a cell decides
};

class CUGMultiSelect
{
public:
    void Attach(CUGCtrlCore* ctrl, CUGGridInfo* gi)
    {
        m_ctrl = ctrl;
        m_GI = gi;
    }

    int ClearAll();
    int StartBlock(int col, long row);
    int EndBlock(int col, long row);
    int ToggleCell(int col, long row);
    int IsSelected(int col, long row, int* block = nullptr) const;
    int IsColSelected(int col) const;
    int IsRowSelected(long row) const;
    int GetCurrentBlock(int* startCol, long* startRow, int* endCol, long* endRow) const;
    int GetTotalRange(int* startCol, long* startRow, int* endCol, long* endRow) const;
    int EnumFirstBlock(int* startCol, long* startRow, int* endCol, long* endRow);
    int EnumNextBlock(int* startCol, long* startRow, int* endCol, long* endRow);
    int EnumFirstSelected(int* col, long* row);
    int EnumNextSelected(int* col, long* row);
    int GetSelectMode() const { return m_mode; }
    int SetSelectMode(int mode);
    int GetCount() const { return m_count; }
    int GetNumberBlocks() const { return int(m_blocks.size()); }
    bool HasBlockInProgress() const { return m_inProgress; }
    int GetAnchorCol() const { return m_anchorCol; }
    long GetAnchorRow() const { return m_anchorRow; }
    int GetLastCol() const { return m_lastCol; }
    long GetLastRow() const { return m_lastRow; }

private:
    struct Block
    {
        int startCol, endCol;
        long startRow, endRow;
        int left, right;
        long top, bottom;
        int selected;
    };
    void Order(Block& b) const;
    bool Contains(const Block& b, int col, long row) const
    {
        return col >= b.left && col <= b.right && row >= b.top && row <= b.bottom;
    }
    bool Advance();

    CUGCtrlCore* m_ctrl = nullptr;
    CUGGridInfo* m_GI = nullptr;
    std::vector<Block> m_blocks;
    bool m_inProgress = false;
    bool m_grown = false;
    int m_anchorCol = -1;
    long m_anchorRow = -1;
    int m_lastCol = -1;
    long m_lastRow = -1;
    int m_mode = 0;
    int m_count = 0;
    bool m_newBlockPending = false;
    std::size_t m_enumBlock = 0;
    int m_enumCol = 0;
    long m_enumRow = 0;
    int m_enumLeft = 0, m_enumRight = -1;
    long m_enumTop = 0, m_enumBottom = -1;
};

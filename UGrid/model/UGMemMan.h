#pragma once
// The in-memory data source each sheet owns. Rows and cells are kept densely from
// the first to the last position ever stored (empty positions included), which
// is what row and column insertion and deletion shift.

#include "UGrid/model/UGDataSource.h"

#include <memory>
#include <vector>

struct CUGGridInfo;

class CUGMemMan : public CUGDataSource
{
public:
    CUGMemMan();
    ~CUGMemMan() override;

    int AppendRow() override { return 0; }
    int InsertRow(long row) override;
    int AppendCol() override { return 0; }
    int InsertCol(int col) override;
    int DeleteRow(long row) override;
    int DeleteCol(int col) override;
    int DeleteCell(int col, long row) override;
    int Empty() override;
    int GetCell(int col, long row, CUGCell* cell) override;
    int SetCell(int col, long row, CUGCell* cell) override;
    int FindFirst(std::string* text, int* col, long* row, long flags) override;
    int FindNext(std::string* text, int* col, long* row, long flags) override;
    int SortBy(int* cols, int count, int flags) override;
    int SortBy(int col, int flags) override { return SortBy(&col, 1, flags); }
    int GetPrevNonBlankCol(int* col, long row) override;

    // The sheet whose column table InsertCol and DeleteCol renumber.
    CUGGridInfo* m_GI = nullptr;

private:
    struct Row
    {
        int firstCol = 0; // column of cells[0]; the first node is column 0 unless negative ones exist
        std::vector<std::unique_ptr<CUGCell>> cells;
        bool HasNode(int col) const
        {
            return !cells.empty() && col >= firstCol && col < firstCol + int(cells.size());
        }
        CUGCell* Get(int col) const { return HasNode(col) ? cells[size_t(col - firstCol)].get() : nullptr; }
    };
    Row* FindRow(long row);
    bool RowExists(long row) const
    {
        return !m_rows.empty() && row >= m_firstRow && row < m_firstRow + long(m_rows.size());
    }
    bool Matches(const std::string& cellText, const std::string& search, long flags) const;

    long m_firstRow = 0; // row of m_rows[0]
    std::vector<Row> m_rows;
    int m_findCol = 0;
    long m_findRow = 0;
};

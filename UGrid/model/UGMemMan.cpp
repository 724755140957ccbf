#include "UGrid/model/UGMemMan.h"

#include "UGrid/model/UGCtrlCore.h"
#include "UGrid/model/UGGridInfo.h"
#include "platform/AsciiCase.h"

#include <algorithm>
#include <cctype>

CUGMemMan::CUGMemMan() = default;
CUGMemMan::~CUGMemMan() = default;

CUGMemMan::Row* CUGMemMan::FindRow(long row)
{
    return RowExists(row) ? &m_rows[size_t(row - m_firstRow)] : nullptr;
}

int CUGMemMan::GetCell(int col, long row, CUGCell* cell)
{
    Row* r = FindRow(row);
    CUGCell* stored = r ? r->Get(col) : nullptr;
    if (!stored || !cell)
        return 1;
    cell->AddInfoFrom(stored);
    return 0;
}

int CUGMemMan::SetCell(int col, long row, CUGCell* cell)
{
    if (!cell)
        return 1;
    // Rows and cells are created densely between the first node (row or column 0)
    // and the target, as the list this stands for would be.
    if (m_rows.empty()) {
        m_firstRow = std::min(0L, row);
        m_rows.resize(size_t(std::max(0L, row) - m_firstRow + 1));
    } else if (row < m_firstRow) {
        std::vector<Row> front(size_t(m_firstRow - row));
        m_rows.insert(m_rows.begin(), std::make_move_iterator(front.begin()),
                      std::make_move_iterator(front.end()));
        m_firstRow = row;
    } else if (row >= m_firstRow + long(m_rows.size())) {
        m_rows.resize(size_t(row - m_firstRow + 1));
    }
    Row& r = m_rows[size_t(row - m_firstRow)];
    if (r.cells.empty()) {
        r.firstCol = std::min(0, col);
        r.cells.resize(size_t(std::max(0, col) - r.firstCol + 1));
    } else if (col < r.firstCol) {
        std::vector<std::unique_ptr<CUGCell>> front(size_t(r.firstCol - col));
        r.cells.insert(r.cells.begin(), std::make_move_iterator(front.begin()),
                       std::make_move_iterator(front.end()));
        r.firstCol = col;
    } else if (col >= r.firstCol + int(r.cells.size())) {
        r.cells.resize(size_t(col - r.firstCol + 1));
    }
    auto& slot = r.cells[size_t(col - r.firstCol)];
    if (!slot)
        slot = std::make_unique<CUGCell>();
    slot->CopyInfoFrom(cell);
    return 0;
}

int CUGMemMan::DeleteCell(int col, long row)
{
    Row* r = FindRow(row);
    if (!r || !r->HasNode(col))
        return 1;
    r->cells[size_t(col - r->firstCol)].reset();
    return 0;
}

int CUGMemMan::InsertRow(long row)
{
    if (!RowExists(row))
        return 0;
    m_rows.insert(m_rows.begin() + (row - m_firstRow), Row{});
    return 0;
}

int CUGMemMan::DeleteRow(long row)
{
    if (!RowExists(row))
        return 0;
    m_rows.erase(m_rows.begin() + (row - m_firstRow));
    if (m_rows.empty())
        m_firstRow = 0;
    return 0;
}

int CUGMemMan::InsertCol(int col)
{
    if (m_rows.empty())
        return 1;
    int position = col;
    if (m_GI) {
        for (int i = 0; i < m_GI->m_numberCols; ++i)
            if (m_GI->m_colInfo[size_t(i)].colTranslation == col) {
                position = i;
                break;
            }
    }
    for (Row& r : m_rows)
        if (r.HasNode(position))
            r.cells.insert(r.cells.begin() + (position - r.firstCol), std::unique_ptr<CUGCell>());
    if (m_GI)
        for (CUGColInfo& c : m_GI->m_colInfo)
            if (c.colTranslation >= col)
                ++c.colTranslation;
    return 0;
}

int CUGMemMan::DeleteCol(int col)
{
    if (m_rows.empty())
        return 1;
    for (Row& r : m_rows) {
        if (!r.HasNode(col))
            continue;
        const size_t at = size_t(col - r.firstCol);
        if (at + 1 == r.cells.size())
            r.cells[at].reset();
        else
            r.cells.erase(r.cells.begin() + long(at));
    }
    if (m_GI)
        for (CUGColInfo& c : m_GI->m_colInfo)
            if (c.colTranslation >= col)
                --c.colTranslation;
    return 0;
}

int CUGMemMan::Empty()
{
    m_rows.clear();
    m_firstRow = 0;
    return -1;
}

bool CUGMemMan::Matches(const std::string& cellText, const std::string& search, long flags) const
{
    if (flags & 1) {
        if (flags & 2) {
            return AsciiToUpper(cellText).find(search) != std::string::npos;
        }
        return cellText.find(search) != std::string::npos;
    }
    if (flags & 2)
        return AsciiEqualNoCase(cellText, search);
    return cellText == search;
}

int CUGMemMan::FindFirst(std::string* text, int* col, long* row, long flags)
{
    if (!text || !col || !row)
        return 1;
    if (flags & 8) {
        *col = -1;
        *row = 0;
    } else {
        *row = -1;
    }
    return FindNext(text, col, row, flags);
}

int CUGMemMan::FindNext(std::string* text, int* col, long* row, long flags)
{
    if (!text || !col || !row || !m_ctrl)
        return 1;
    if (flags & 2)
        *text = AsciiToUpper(*text);
    const long rows = m_ctrl->GetRowCount();
    const int cols = m_ctrl->GetColCount();
    if (rows <= 0 || cols <= 0)
        return 1;
    const bool back = (flags & 4) != 0;
    const bool across = (flags & 8) != 0;
    int c = *col;
    long r = *row;
    // One step from the last position, wrapping at the ends.
    if (across) {
        c += back ? -1 : 1;
        if (c >= cols) {
            c = 0;
            ++r;
        } else if (c < 0) {
            c = cols - 1;
            --r;
        }
    } else {
        r += back ? -1 : 1;
    }
    if (r >= rows)
        r = 0;
    else if (r < 0)
        r = rows - 1;
    c = std::clamp(c, 0, cols - 1);

    for (long passed = 0; passed <= rows; ++passed) {
        if (Row* stored = FindRow(r)) {
            auto test = [&](int k) {
                CUGCell* cell = stored->Get(k);
                const char* t = cell ? cell->GetText() : nullptr;
                return t && Matches(t, *text, flags);
            };
            if (across) {
                for (int k = c; back ? k >= 0 : k < cols; k += back ? -1 : 1)
                    if (test(k)) {
                        *col = k;
                        *row = r;
                        m_findCol = k;
                        m_findRow = r;
                        return 0;
                    }
            } else if (test(c)) {
                *col = c;
                *row = r;
                m_findCol = c;
                m_findRow = r;
                return 0;
            }
        }
        r += back ? -1 : 1;
        if (r >= rows)
            r = 0;
        else if (r < 0)
            r = rows - 1;
        if (across)
            c = back ? cols - 1 : 0;
    }
    return 1;
}

int CUGMemMan::SortBy(int* cols, int count, int flags)
{
    if (!cols || count <= 0 || !m_ctrl)
        return 1;
    const long first = std::max(0L, m_firstRow);
    const long end = m_firstRow + long(m_rows.size());
    if (end - first < 2)
        return 0;
    // A stable merge sort of row indexes over the cells' addresses: the order an
    // adjacent-swap sort gives, without its quadratic time, safe whatever an
    // overridden comparison answers; the rows themselves move once at the end.
    auto begin = m_rows.begin() + (first - m_firstRow);
    const size_t n = size_t(end - first);
    std::vector<CUGCell*> keys(n * size_t(count));
    for (size_t r = 0; r < n; ++r)
        for (int i = 0; i < count; ++i)
            keys[r * size_t(count) + size_t(i)] = begin[long(r)].Get(cols[i]);
    // Each entry carries its first key, so a merge step reads no other table.
    struct Entry
    {
        CUGCell* key;
        uint32_t row;
    };
    auto compare = [&](const Entry& a, const Entry& b) {
        int r = m_ctrl->OnCompareCells(a.key, b.key, flags);
        for (int i = 1; i < count && r == 0; ++i)
            r = m_ctrl->OnCompareCells(keys[a.row * size_t(count) + size_t(i)],
                                       keys[b.row * size_t(count) + size_t(i)], flags);
        return r;
    };
    std::vector<Entry> src(n), dst(n);
    for (size_t k = 0; k < n; ++k)
        src[k] = {keys[k * size_t(count)], uint32_t(k)};
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            size_t i = lo, j = mid, k = lo;
            // The cells lie scattered once the rows are shuffled: fetch the next
            // candidates while these two are compared.
            auto prefetch = [&](size_t at) {
                if (CUGCell* cell = src[at].key) {
                    __builtin_prefetch(cell);
                    __builtin_prefetch(reinterpret_cast<const char*>(cell) + sizeof(CUGCell) / 2);
                }
            };
            while (i < mid && j < hi) {
                if (i + 1 < mid)
                    prefetch(i + 1);
                if (j + 1 < hi)
                    prefetch(j + 1);
                dst[k++] = compare(src[i], src[j]) > 0 ? src[j++] : src[i++];
            }
            while (i < mid)
                dst[k++] = src[i++];
            while (j < hi)
                dst[k++] = src[j++];
        }
        src.swap(dst);
    }
    std::vector<Row> sorted(n);
    for (size_t k = 0; k < n; ++k)
        sorted[k] = std::move(begin[long(src[k].row)]);
    std::move(sorted.begin(), sorted.end(), begin);
    return 0;
}

int CUGMemMan::GetPrevNonBlankCol(int* col, long row)
{
    Row* r = col ? FindRow(row) : nullptr;
    if (!r)
        return 1;
    for (int c = std::min(*col - 1, r->firstCol + int(r->cells.size()) - 1); c >= r->firstCol; --c) {
        CUGCell* cell = r->Get(c);
        if (cell && cell->GetTextLength() > 0) {
            *col = c;
            return 0;
        }
    }
    return 1;
}

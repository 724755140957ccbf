// Find and replace through the default data source, and the clipboard text of
// cell blocks.

#include "UGrid/model/UGCtrlCore.h"
#include "UGrid/model/UGTextOps.h"

#include <algorithm>
#include <set>
#include <utility>

int CUGCtrlCore::SetFindInAllCols(BOOL state)
{
    m_findInAllCols = state != 0;
    return 0;
}

int CUGCtrlCore::OnFindReplace(const FindRequest& request)
{
    if (!m_findDialogOpen)
        return 0;
    if (request.kind == FindRequest::Closing) {
        m_findDialogOpen = false;
        m_findFirst = false;
        return 1;
    }
    long flags = 0;
    if (!request.matchCase)
        flags |= 2;
    if (!request.wholeCell)
        flags |= 1;
    if (!request.down)
        flags |= 4;
    if (m_findInAllCols)
        flags |= 8;
    m_findFirst = false;

    int col = m_GI->m_currentCol;
    long row = m_GI->m_currentRow;
    // The data source may rewrite the text it is given (case folding). It takes
    // and gives its own column index; the grid's columns may have been moved, so
    // the found column is turned back into the column that shows it.
    auto findNext = [&](int* c, long* r) {
        std::string text = request.find;
        const int rc = FindNext(&text, c, r, flags);
        if (rc == 0)
            for (int k = 0; k < m_GI->m_numberCols; ++k)
                if (ColDataSource(k) == m_GI->m_defDataSource && GetColTranslation(k) == *c) {
                    *c = k;
                    break;
                }
        return rc;
    };

    // Replaces the search text in one cell. A cell that does not match (the user
    // pressed Replace before anything was found) or that the user may not edit
    // keeps its text.
    auto replaceIn = [&](int c, long r) {
        CUGCell cell;
        GetCellIndirect(c, r, &cell);
        if (cell.GetReadOnly())
            return;
        GetCell(c, r, &cell);
        std::string result;
        if (!UGReplaceInText(cell.GetText() ? cell.GetText() : "", request.find, request.replace,
                             request.matchCase, !request.wholeCell, &result))
            return;
        SetTextAt(c, r, result.c_str());
        RedrawCell(c, r);
    };

    if (request.kind == FindRequest::Replace) {
        replaceIn(col, row);
    } else if (request.kind == FindRequest::ReplaceAll &&
               !UGReplaceAllLoops(request.find, request.replace, request.matchCase, !request.wholeCell)) {
        // A cell that still matches after its replacement (a table that refuses
        // the text, say) is met again after a full wrap: that ends the loop.
        std::set<std::pair<int, long>> replaced;
        int c = col;
        long r = row;
        while (findNext(&c, &r) == 0 && replaced.insert({c, r}).second) {
            GotoCell(c, r);
            replaceIn(c, r);
        }
        col = m_GI->m_currentCol;
        row = m_GI->m_currentRow;
    }

    if (findNext(&col, &row) != 0)
        ShowNotFound();
    else
        GotoCell(col, row);
    return 0;
}

int CUGCtrlCore::CopyOrCut(bool cut)
{
    std::vector<UGCellText> cells;
    int col = 0;
    long row = 0;
    CUGCell cell;
    for (int more = EnumFirstSelected(&col, &row); more == 0; more = EnumNextSelected(&col, &row)) {
        GetCellIndirect(col, row, &cell);
        cells.push_back({col, row, cell.GetText() ? cell.GetText() : ""});
        if (cut) {
            CUGCell stored;
            GetCell(col, row, &stored);
            stored.ClearAll();
            SetCell(col, row, &stored);
        }
    }
    CopyToClipboard(UGJoinCellTexts(cells).c_str());
    ClearSelections();
    RedrawAll();
    return 0;
}

int CUGCtrlCore::Paste()
{
    std::string text;
    if (GetClipboardText(text) != 0)
        return 1;
    PasteText(text);
    return 0;
}

int CUGCtrlCore::PasteText(const std::string& text)
{
    const int startCol = m_GI->m_currentCol;
    const long startRow = m_GI->m_currentRow;
    int lastCol = startCol;
    long lastRow = startRow;
    CUGCell cell;
    for (const UGPasteField& f : UGSplitPasteText(text)) {
        const long long c = (long long)startCol + f.dcol;
        const long long r = (long long)startRow + f.drow;
        if (r >= m_GI->m_numberRows)
            break;
        if (c >= m_GI->m_numberCols)
            continue;
        GetCell(int(c), long(r), &cell);
        cell.SetText(f.text.c_str());
        cell.SetDataType(UGDATA_TEXT);
        SetCell(int(c), long(r), &cell);
        if (!f.text.empty()) {
            lastCol = std::max(lastCol, int(c));
            lastRow = std::max(lastRow, long(r));
        }
    }
    ClearSelections();
    SelectRange(startCol, startRow, lastCol, lastRow);
    RedrawAll();
    return 0;
}

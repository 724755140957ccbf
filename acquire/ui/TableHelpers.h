#pragma once
// What the acquisition pages with an edit-row table share: the cell looks,
// the grid set-up, its placeholder and the small conversions of its texts.

#include "UGrid/UGDropListType.h"
#include "UGrid/UGEdit.h"
#include "acquire/core/AcquireGroup.h"
#include "acquire/ui/AcquireGrid.h"
#include "acquire/ui/GridHolder.h"
#include "platform/Cp1252.h"
#include "platform/Strings.h"

#include <QString>
#include <QWidget>
#include <functional>

namespace AcqTable {
constexpr double NotValid = CLevelInfo::NotValid;

inline QString Q(const std::string& cp1252)
{
    return QString::fromStdString(Cp1252ToUtf8(cp1252));
}

inline std::string Cp(const QString& text)
{
    return Utf8ToCp1252(text.toStdString());
}

inline std::string G(double v)
{
    return v == NotValid || v == -NotValid || v != v ? std::string() : FormatPrintf("%g", v);
}

// The looks of the edit-row tables.
struct Looks
{
    CUGCell edit, grey, empty, sel, list;
    void Make(CAcquireGrid& grid)
    {
        grid.GetGridDefault(&grey);
        empty = grey;
        edit = grey;
        edit.SetReadOnly(0);
        edit.SetBackColor(UGGetSysColor(UG_COLOR_WINDOW));
        sel = grey;
        sel.SetBackColor(UGGetSysColor(UG_COLOR_HIGHLIGHT));
        sel.SetTextColor(UGGetSysColor(UG_COLOR_HIGHLIGHTTEXT));
        list = edit;
        list.SetTextColor(UGGetSysColor(UG_COLOR_WINDOWTEXT));
        list.SetCellType(UGTYPE_DROPLIST);
        list.SetCellTypeParam(0x200);
    }
};

inline void Put(CAcquireGrid& grid, int col, long row, const CUGCell& look, const std::string& text)
{
    CUGCell cell = look;
    cell.SetText(text.c_str());
    grid.SetCell(col, row, &cell);
}

// The length of the editor's text that a key typed now keeps (for the
// character limits of the tables): the selection goes, the key replaces it.
// A cell opens with its whole text selected, and a number typed over a full
// "3600" is as welcome as one typed into an empty cell.
inline int EditorLength(CWnd* edit)
{
    auto* e = qobject_cast<CUGEdit*>(edit);
    if (!e)
        return 0;
    const QTextCursor at = e->textCursor();
    return int(e->Text().size()) - (at.selectionEnd() - at.selectionStart());
}

// Whether a point or a minus sign typed now still makes one number: one point,
// and the sign only in front. What atof reads of "1.2.5" or "3-" is not what
// was meant, and nothing would say so.
inline bool KeyKeepsNumber(CWnd* edit, UINT key)
{
    auto* e = qobject_cast<CUGEdit*>(edit);
    if (!e || (key != '.' && key != '-'))
        return true;
    const QTextCursor at = e->textCursor();
    const QString text = e->Text();
    const QString kept = text.left(at.selectionStart()) + text.mid(at.selectionEnd());
    if (key == '.')
        return !kept.contains(QLatin1Char('.'));
    return at.selectionStart() == 0 && !kept.contains(QLatin1Char('-'));
}

inline void SetUpEditRowGrid(CAcquireGrid& grid, int cols, int rows)
{
    grid.CreateGrid(0, RECT{0, 0, 100, 100}, grid.parentWidget(), 0);
    grid.SetColCount(cols);
    grid.SetRowCount(rows);
    grid.SetSideHdgWidth(0);
    grid.SetHScrollHeight(0);
    grid.SetUniformRowHeight(1);
    const int h = grid.TextHeight();
    grid.SetTopHdgHeight(h);
    grid.SetDefRowHeight(h);
    grid.LockRows(1);
}

inline bool IsPrintable(UINT key)
{
    return key >= 32 && key != 127;
}
// Moves past the ends of a three-column edit row go to the next or the
// previous row of the list, so that editing stays in the edit row. Returns
// false when the move is not one of them.
inline bool EditRowContinue(int oldcol, long last, int* newcol, long* newrow,
                            const std::function<void()>& next, const std::function<void()>& prev)
{
    if (*newrow == 0 && oldcol == 2 && *newcol == 0) {
        next();
    } else if (*newrow == 0 && oldcol == 0 && *newcol == 2) {
        prev();
    } else if (*newrow == 1) {
        *newcol = oldcol == 2 ? 0 : oldcol + 1;
        if (oldcol == 2)
            next();
    } else if (*newrow == last) {
        *newcol = oldcol == 0 ? 2 : oldcol - 1;
        if (oldcol == 0)
            prev();
    } else {
        return false;
    }
    *newrow = 0;
    return true;
}
} // namespace AcqTable

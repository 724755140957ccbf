#pragma once
// Text work of the grid that needs no window: spreadsheet column letters, the
// tab-separated clipboard text of a block of cells, and the replace-all guard.

#include <string>
#include <string_view>
#include <vector>

// Spreadsheet-style letters of a data column: 0 A, 25 Z, 26 AA, 701 ZZ, 702 AAA.
// Empty for a negative column.
std::string UGColumnLetters(int col);

// One cell's text with its place, in the order the selection enumerates them.
struct UGCellText
{
    int col;
    long row;
    std::string text;
};

// Cells of one row joined by tabs, rows by newlines; nothing after the last cell.
std::string UGJoinCellTexts(const std::vector<UGCellText>& cells);

// One field of pasted text, placed relative to the cell the paste starts at.
struct UGPasteField
{
    int dcol;
    long drow;
    std::string text;
};

// Splits clipboard text into fields: tabs step one column, CR, LF or CR LF one
// row back at the first column. A separator at once gives an empty field; a
// line end at the very end gives none.
std::vector<UGPasteField> UGSplitPasteText(std::string_view text);

// Whether replace-all must not start: the replacement matches the search text
// itself (by the search's own case rule), so every replacement would be found
// again.
bool UGReplaceAllLoops(const std::string& search, const std::string& replacement, bool matchCase,
                       bool partMatch);

// The text a cell gets when the user replaces search by replacement in it, or
// false when the cell's text does not match the search (by its case rule and
// whole-cell or part matching). Part matching replaces each occurrence and keeps
// the rest of the text; whole-cell matching replaces the whole text.
bool UGReplaceInText(const std::string& cellText, const std::string& search, const std::string& replacement,
                     bool matchCase, bool partMatch, std::string* result);

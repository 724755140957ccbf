#pragma once
// The level table of a profiling page: a three-column list of levels edited
// one row at a time in the locked top row, with its totals. The page owns
// one, tells it where the list is and forwards its grid's notifications.

#include "acquire/ui/TableHelpers.h"

#include <QString>
#include <functional>
#include <string>

class QGroupBox;
class QLabel;
class QWidget;

class CLevelTableGrid
{
public:
    // Where the list being edited is; list is null while the page has no table.
    struct Source
    {
        CLevelList* list = nullptr;
        int* selRow = nullptr;       // 1-based, kept in range by Update
        bool zeroBecomesOne = false; // level numbers, not angles
        bool selectable = true;      // rows below the edit row can be chosen
    };
    struct TotalsText
    {
        QString levels, time;
    };

    CLevelTableGrid(CAcquireGrid& grid, int minRows) : m_grid(grid), m_minRows(minRows) {}

    std::function<Source()> source;
    std::function<TotalsText(const CLevelList&, const Source&)> totals;
    // A printable key other than a digit; digits are always taken.
    std::function<bool(int col, UINT key)> acceptsKey;

    // The "Totals" box with its Levels and Time labels, named levels and time.
    QGroupBox* MakeTotals(QWidget* page, const char* levels, const char* time);
    // The grid's placeholder; the three columns share its width.
    CGridHolder* MakeHolder(QWidget* page, const char* name);
    // Call once the holder exists.
    void SetUp();

    void Update();
    bool SelectRow(long row);

    void OnLClicked(int col, long row, int pressed, int processed);
    int OnEditStart();
    int OnEditVerify(int col, CWnd* edit, UINT* key);
    int OnEditFinish(int col, long row, std::string& text, int cancelFlag);
    int OnEditContinue(int oldcol, int* newcol, long* newrow);

private:
    CAcquireGrid& m_grid;
    const int m_minRows;
    AcqTable::Looks m_looks;
    CLevelList m_copy; // the list as it was when an edit began, for Esc
    int m_copySel = 1; // and its selected row
    // The list whose selected row the user began in the empty row, until
    // another row is selected: moving on past its last column starts a new
    // row, not the row that its level numbers put after it.
    const CLevelList* m_newRowOf = nullptr;
    QLabel* m_levels = nullptr;
    QLabel* m_time = nullptr;
};

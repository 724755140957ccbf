#include "acquire/ui/LevelTableGrid.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include <algorithm>

using namespace AcqTable;

QGroupBox* CLevelTableGrid::MakeTotals(QWidget* page, const char* levels, const char* time)
{
    auto* box = new QGroupBox(QStringLiteral("Totals"), page);
    auto* grid = new QGridLayout(box);
    m_levels = new QLabel(box);
    m_levels->setObjectName(QString::fromLatin1(levels));
    m_time = new QLabel(box);
    m_time->setObjectName(QString::fromLatin1(time));
    grid->addWidget(new QLabel(QStringLiteral("Levels"), box), 0, 0);
    grid->addWidget(m_levels, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Time"), box), 1, 0);
    grid->addWidget(m_time, 1, 1);
    grid->setColumnStretch(1, 1);
    return box;
}

CGridHolder* CLevelTableGrid::MakeHolder(QWidget* page, const char* name)
{
    auto* holder = new CGridHolder(page, name, m_grid);
    holder->onResize = [this] {
        if (m_grid.GetColCount() == 3) {
            const int each = std::max(40, (m_grid.width() - m_grid.GetVScrollWidth() - 4) / 3);
            for (int c = 0; c < 3; ++c)
                m_grid.SetColWidth(c, each);
            m_grid.RedrawAll();
        }
    };
    return holder;
}

void CLevelTableGrid::SetUp()
{
    SetUpEditRowGrid(m_grid, 3, m_minRows);
    m_looks.Make(m_grid);
}

void CLevelTableGrid::Update()
{
    const Source src = source();
    if (!src.list) {
        m_grid.hide();
        m_levels->clear();
        m_time->clear();
        m_grid.RedrawAll();
        return;
    }
    CLevelList& list = *src.list;
    if (list.empty())
        list.emplace_back();
    int& s = *src.selRow;
    s = std::clamp(s, 1, int(list.size()));
    const long n = long(list.size());
    m_grid.SetRowCount(std::max<long>(n + 2, m_minRows));
    const Looks& L = m_looks;
    auto value = [](const CLevelInfo& r, int c) {
        return G(c == 0 ? r.m_dFrom : c == 1 ? r.m_dTo : r.m_dStep);
    };
    for (long i = 1; i <= n; ++i)
        for (int c = 0; c < 3; ++c)
            Put(m_grid, c, i, i == s ? L.sel : L.grey, value(list[size_t(i - 1)], c));
    for (long i = n + 1; i < m_grid.GetRowCount(); ++i)
        for (int c = 0; c < 3; ++c)
            Put(m_grid, c, i, L.empty, "");
    for (int c = 0; c < 3; ++c)
        Put(m_grid, c, 0, L.edit, value(list[size_t(s - 1)], c));
    const TotalsText t = totals(list, src);
    m_levels->setText(t.levels);
    m_time->setText(t.time);
    m_grid.show();
    m_grid.RedrawAll();
}

bool CLevelTableGrid::SelectRow(long row)
{
    m_newRowOf = nullptr;
    const Source src = source();
    if (!src.list || !src.selectable)
        return false;
    if (!LevelTable::Select(*src.list, *src.selRow, int(row)))
        return false;
    Update();
    return true;
}

void CLevelTableGrid::OnLClicked(int col, long row, int pressed, int processed)
{
    if (!pressed || col < 0 || row < 0 || processed || !source().list)
        return;
    if (row != 0 && !SelectRow(row))
        return;
    m_grid.StartEditCell(col, 0, 0);
}

int CLevelTableGrid::OnEditStart()
{
    const Source src = source();
    if (!src.list)
        return 0;
    m_copy = *src.list;
    m_copySel = *src.selRow;
    const int s = *src.selRow;
    if (s == int(src.list->size()) && src.list->back().IsEmpty())
        m_newRowOf = src.list;
    return 1;
}

int CLevelTableGrid::OnEditVerify(int col, CWnd* edit, UINT* key)
{
    if (*key == 27) {
        // The text of the cancelled edit was applied as the editor closed (a
        // gap row it made moved the selection): both go back.
        const Source src = source();
        if (src.list) {
            *src.list = m_copy;
            *src.selRow = m_copySel;
        }
        Update();
        return 1;
    }
    if (!IsPrintable(*key))
        return 1;
    if (EditorLength(edit) >= 4)
        return 0;
    if (*key >= '0' && *key <= '9')
        return 1;
    return acceptsKey && acceptsKey(col, *key) && KeyKeepsNumber(edit, *key) ? 1 : 0;
}

int CLevelTableGrid::OnEditFinish(int col, long row, std::string& text, int cancelFlag)
{
    const Source src = source();
    if (!src.list)
        return 1;
    if (cancelFlag)
        m_grid.SetTextAt(col, row, text.c_str());
    LevelTable::Commit(*src.list, *src.selRow, col, text, src.zeroBecomesOne);
    Update();
    return 1;
}

int CLevelTableGrid::OnEditContinue(int oldcol, int* newcol, long* newrow)
{
    if (!source().list)
        return 1;
    // The selection is read again each time: a move may change the list.
    auto next = [this] {
        const Source src = source();
        const int s = *src.selRow;
        if (src.list == m_newRowOf && s >= 1 && s <= int(src.list->size()) &&
            !(*src.list)[size_t(s - 1)].IsEmpty()) {
            // A row typed as a new one went to its place among the others;
            // typing goes on in a new row, not over the row after that place.
            const long n = long(src.list->size());
            if (SelectRow(src.list->back().IsEmpty() ? n : n + 1))
                return;
        }
        if (!SelectRow(*source().selRow + 1))
            SelectRow(1);
    };
    auto prev = [this] {
        const Source src = source();
        if (*src.selRow <= 1 || !SelectRow(*src.selRow - 1))
            SelectRow(long(source().list->size()));
    };
    EditRowContinue(oldcol, m_grid.GetRowCount() - 1, newcol, newrow, next, prev);
    return 1;
}

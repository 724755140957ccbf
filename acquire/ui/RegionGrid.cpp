#include "acquire/ui/RegionGrid.h"

#include "platform/Strings.h"

#include <QVBoxLayout>

#include <algorithm>

namespace RegionGrid {

void SizeColumns(CAcquireGrid& grid, int minCols)
{
    const int least = grid.fontMetrics().horizontalAdvance(QStringLiteral("0000.000")) + 10;
    const int each = std::max(least, (grid.width() - grid.GetSideHdgWidth() - 4) / minCols);
    for (int c = 0; c < grid.GetColCount(); ++c)
        grid.SetColWidth(c, each);
}

CGridHolder* Place(QWidget* page, const char* name, CAcquireGrid& grid, QLayout* top, int minCols)
{
    auto* holder = new CGridHolder(page, name, grid);
    holder->onResize = [&grid, minCols] {
        if (grid.GetColCount() > 0) {
            SizeColumns(grid, minCols);
            grid.RedrawAll();
        }
    };
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(holder);
    layout->addStretch(1);
    return holder;
}

void SetUp(CAcquireGrid& grid, CGridHolder* holder, int cols, int frame)
{
    grid.CreateGrid(0, RECT{0, 0, 100, 100}, holder, 0);
    grid.SetRowCount(nRows);
    grid.SetColCount(cols);
    grid.SetTopHdgHeight(0);
    grid.SetVScrollWidth(0);
    const int scrollBar = 16;
    grid.SetHScrollHeight(scrollBar);
    grid.SetUniformRowHeight(1);
    const int h = grid.TextHeight();
    grid.SetDefRowHeight(h);
    holder->setMinimumHeight(nRows * h + scrollBar + frame);
    holder->setMaximumHeight(nRows * h + scrollBar + frame);
    int labelWidth = 0;
    for (unsigned label :
         {1120u, 1121u, 1122u, 1123u, 1124u, 1125u, 1126u, 1127u, 1128u, 1145u, 1146u, 1147u})
        labelWidth = std::max(
            labelWidth, grid.fontMetrics().horizontalAdvance(QString::fromStdString(LoadString(label))));
    grid.SetSideHdgWidth(labelWidth + 12);
}

} // namespace RegionGrid

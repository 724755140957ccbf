#pragma once
// The regions table of the acquisition sheets: one region a column, its
// rows named down the side, the columns sharing the width of the page.

#include "acquire/ui/GridHolder.h"

class QLayout;

namespace RegionGrid {
constexpr int nRows = 9;

// At least minCols columns share the width; more scroll.
void SizeColumns(CAcquireGrid& grid, int minCols);
// The table's placeholder under the page's top row of controls; it lays the
// columns out again on a resize.
CGridHolder* Place(QWidget* page, const char* name, CAcquireGrid& grid, QLayout* top, int minCols);
// The grid in its holder, without headings or a vertical scroll bar; the
// holder is as high as the rows, the scroll bar and frame pixels.
void SetUp(CAcquireGrid& grid, CGridHolder* holder, int cols, int frame);
} // namespace RegionGrid

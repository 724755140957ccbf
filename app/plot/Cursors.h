#pragma once
// The mouse cursors of the plot windows, loaded once by id (IDC_ARROW,
// IDC_CROSS, IDC_SIZEWE, IDC_SIZENS and the split bars 30980, 30981). Null for
// an unknown id. User-interface thread only.

#include "app/plot/PlotTypes.h"

HCURSOR LoadPlotCursor(int nID);

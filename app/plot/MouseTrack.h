#pragma once
// The modal mouse loop of a drag: from a press in a window until the left
// button is released (the drag completes) or Escape cancels it. Mouse events
// for the window are taken by the loop; every move is reported in client
// coordinates, kept inside the confinement rectangle when one is given.
// User-interface thread only; the window may be destroyed during the loop,
// which then ends as cancelled.

#include "app/plot/PlotTypes.h"

#include <functional>

// Returns true when the button was released; *pEnd is then the last point.
bool RunMouseTracking(CWnd* pWnd, const CPoint& start, const CRect* pConfine,
                      const std::function<void(const CPoint&)>& onMove, CPoint* pEnd);

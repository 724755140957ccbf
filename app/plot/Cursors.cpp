#include "app/plot/Cursors.h"

#include <QCursor>

HCURSOR LoadPlotCursor(int nID)
{
    // Made on first use: a cursor needs the application object.
    static const QCursor arrow(Qt::ArrowCursor), cross(Qt::CrossCursor), sizeWE(Qt::SizeHorCursor),
        sizeNS(Qt::SizeVerCursor), splitH(Qt::SplitHCursor), splitV(Qt::SplitVCursor);
    switch (nID) {
    case IDC_ARROW:
        return &arrow;
    case IDC_CROSS:
        return &cross;
    case IDC_SIZEWE:
        return &sizeWE;
    case IDC_SIZENS:
        return &sizeNS;
    case IDC_SPLIT_HORZ:
        return &splitH;
    case IDC_SPLIT_VERT:
        return &splitV;
    default:
        return nullptr;
    }
}

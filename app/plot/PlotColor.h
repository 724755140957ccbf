#pragma once
// Colour values of the plot classes (0x00BBGGRR) to and from Qt.

#include "app/plot/PlotTypes.h"

#include <QColor>

namespace plot {

inline QColor ToQColor(COLORREF c)
{
    return QColor(int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff));
}
inline COLORREF FromQColor(const QColor& c)
{
    return PlotRGB(c.red(), c.green(), c.blue());
}

} // namespace plot

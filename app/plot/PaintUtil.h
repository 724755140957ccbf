#pragma once
// Small painter helpers of the plot classes.

#include "app/plot/PlotTypes.h"

#include <QRect>

class QColor;
class QFont;
class QPainter;

namespace plot {

// The clip box in device pixels: the painter's clip, else the whole device.
CRect ClipBoxOf(QPainter* p);
inline QRect ToQRect(const CRect& r)
{
    return QRect(r.left, r.top, r.Width(), r.Height());
}
inline CRect FromQRect(const QRect& r)
{
    return CRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}
// The face a plot pane is drawn on. Axes, labels, captions and some curves
// are drawn in black, as on paper, so the desktop's face is taken only while
// black reads on it; under a dark theme the pane keeps a light face.
QColor PlotFace(const QColor& desktopFace);
// The window colour an XOR cursor is worked out against, so that it shows in
// its own colour on the white under a curve: the desktop's while that is
// light, else white.
QColor PlotPaper(const QColor& desktopWindow);
// The painter draws on a printer (paper or print preview).
bool IsPrinting(QPainter* p);
// The painter records shapes (PDF, printer, preview, picture) rather than
// setting pixels: there every drawing call stays in the output.
bool IsVectorDevice(QPainter* p);
// A font of the same physical size as the screen font f, for a printer.
QFont PrinterFont(const QFont& f);
// The fractions of a tick interval at which sub ticks go, for a step
// mantissa: fifths for 1, 5, 10; thirds for 3; quarters otherwise. Returns the count.
int SubTickFractions(double mantissa, double* f);

} // namespace plot

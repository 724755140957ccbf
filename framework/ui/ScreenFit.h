#pragma once
// Saved window places come back on the desk as it is now: a place stored on a
// larger screen, or on a monitor no longer attached, must not open a window
// the user cannot see or reach.

#include <QList>
#include <QRect>

class QWidget;

// The place to open a top-level window of geometry saved (client area, as
// QWidget::geometry gives it) on screens whose available areas are given,
// primary first. A window whose top edge lies on a screen and shows at least a
// grip's width there keeps its place; one larger than its screen is shrunk to
// it; one out of reach is moved onto the screen it overlaps most (the primary
// when it overlaps none) so that it lies wholly on it. An empty saved rectangle
// or an empty list of screens is returned as it is.
QRect FitOnScreens(const QRect& saved, const QList<QRect>& screens);

// FitOnScreens over the available areas of the screens attached now.
QRect FitOnAttachedScreens(const QRect& saved);

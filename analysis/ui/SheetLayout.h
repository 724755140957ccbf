#pragma once
// The layout the modeless analysis sheets share: their own buttons in a
// column beside the tabs (no OK, Cancel and Apply row of the framework), and
// the first opening centred above the bottom of the work area, later ones
// where the last sheet was left.

#include <QRect>

class CPropertySheet;
class QVBoxLayout;
class QWidget;

// Hides the framework's button row and puts column to the right of the tabs.
void PutButtonColumnBesideTabs(CPropertySheet* sheet, QVBoxLayout* column);
// Sizes the sheet and places it: at remembered when that is not empty, else
// centred horizontally with its bottom 4 pixels above the work area's bottom
// of the screen that shows near.
void PlaceToolSheet(QWidget* sheet, const QWidget* near, const QRect& remembered);

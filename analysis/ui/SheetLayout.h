#pragma once
// The layout the modeless analysis sheets share: their own buttons in a
// column beside the tabs (no OK, Cancel and Apply row of the framework), and
// the first opening centred above the bottom of the work area, later ones
// where the last sheet was left. And the Save As of their text exports.

#include <QRect>

#include <string>

class CPropertySheet;
class QVBoxLayout;
class QWidget;

// Hides the framework's button row and puts column to the right of the tabs.
void PutButtonColumnBesideTabs(CPropertySheet* sheet, QVBoxLayout* column);
// Sizes the sheet and places it: at remembered when that is not empty, else
// centred horizontally with its bottom 4 pixels above the work area's bottom
// of the screen that shows near, but never above or left of the work area.
void PlaceToolSheet(QWidget* sheet, const QWidget* near, const QRect& remembered);

// The Save As of a sheet's text export: the file dialog adds ".txt", so that
// the replace question is asked about the file that will be written. A
// dialog that cannot be shown says so (2064). False when no file was chosen.
bool AskTextExportPath(QWidget* parent, std::string& path);

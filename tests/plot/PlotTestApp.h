#pragma once

class QApplication;

// The one application object of the plot tests (offscreen platform).
QApplication& PlotTestApp();

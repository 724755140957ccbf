#include "PlotTestApp.h"

#include <QApplication>

QApplication& PlotTestApp()
{
    static int argc = 1;
    static char name[] = "plot_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

namespace {
// The widgets and fonts need the application before any test runs.
const bool made = (PlotTestApp(), true);
} // namespace

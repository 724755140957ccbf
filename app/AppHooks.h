#pragma once
// Where the parts of the program built on top of the shell plug in: the
// acquisition sheets, the instrument configuration and its dialog, the
// acquisition engine. Each is optional; a command whose part is missing
// stays greyed, a start-up step whose part is missing is skipped.

#include <functional>

class CMainFrame;
class CVeltrane;
class QWidget;

struct SAppHooks
{
    // Start-up step 6, after the links exist: the acquisition engine.
    std::function<void(CVeltrane&)> createAcquisition;
    // Start-up step 13: reads the machine configuration, opens the links,
    // may open the traffic monitor, queues its errors with DelayedErrorReport.
    std::function<void(CVeltrane&, CMainFrame&)> startConfiguration;
    // View > Configuration...: the configuration dialog, modal.
    std::function<void(QWidget* parent)> showConfiguration;
    // Acquire > AES... and XPS...: show the sheet, creating its window on first use.
    std::function<void(CMainFrame&)> showAESSheet;
    std::function<void(CMainFrame&)> showXPSSheet;
    // The XPS sheet's window exists and the energy unit changed.
    std::function<void(int oldUnit, int newUnit)> xpsUnitChange;
    // The open processing dialog is told of a unit change.
    std::function<void(int oldUnit, int newUnit)> procDlgUnitChange;
    // Exit: the acquisition engine is stopped and deleted before the links.
    std::function<void(CVeltrane&)> destroyAcquisition;
};

SAppHooks& AppHooks();

#pragma once
// An acquisition sheet opened from the Acquire menu of the real program, on
// the emulated instrument, with helpers that act as a user would: clicks on
// cells, keys typed into the in-place editor, choices from drop-down lists.

#include "../app/AppFixture.h"
#include "GridActions.h"

#include "acquire/ui/AcquireGrid.h"
#include "app/InstrumentHooks.h"
#include "data/Region.h"
#include "res/resource.h"

#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <functional>

// A spectrum region as the pages hold them (kinetic energies, no backgrounds).
inline CRegion* NewRegion(const char* name, double start, double finish, double step, double dwell = 100,
                          int scans = 1)
{
    auto* r = new CRegion;
    r->m_csName = name;
    r->m_dStart = start;
    r->m_dFinish = finish;
    r->m_dStep = step;
    r->m_dDwell = dwell;
    r->m_nScans = scans;
    r->m_iRepeat = 1;
    r->m_dPeak = (start + finish) / 2;
    return r;
}

// Lets the program run until done() or the seconds are over.
inline bool PumpUntil(const std::function<bool()>& done, int seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        Pump(10);
    }
    return true;
}

// Points the temporary folder (where runs without a file name go) at folder
// for its lifetime.
class CTempFolder
{
public:
    explicit CTempFolder(const QString& folder)
    {
        if (const char* old = std::getenv("TMPDIR"))
            m_old = old;
        ::setenv("TMPDIR", folder.toStdString().c_str(), 1);
    }
    ~CTempFolder() { m_old.empty() ? ::unsetenv("TMPDIR") : ::setenv("TMPDIR", m_old.c_str(), 1); }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

private:
    std::string m_old;
};

template <class Sheet> class SheetUser : public AppFixture
{
protected:
    // The program on the emulated instrument, with the sheet the command opens.
    void OpenSheet(unsigned command, Sheet* (CMainFrame::*get)() const)
    {
        InstallInstrumentHooks();
        QFile::remove(settings.Path("machine.ini"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VELTRANE_MACHINE_EMULATED), settings.Path("machine.ini")));
        QFile::setPermissions(settings.Path("machine.ini"), QFile::ReadOwner | QFile::WriteOwner);
        Start();
        Pump(100);
        ASSERT_TRUE(Execute(command));
        sheet = (frame->*get)();
        ASSERT_NE(sheet, nullptr);
        Pump(50);
    }

    void Page(int i)
    {
        sheet->template findChild<QTabWidget*>()->setCurrentIndex(i);
        Pump(0);
    }
    template <class W> W* Ctrl(const char* name)
    {
        W* w = sheet->template findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Near the left edge: a radio button or check box takes clicks on its indicator and text only.
    void Click(const char* name)
    {
        QWidget* w = Ctrl<QWidget>(name);
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(std::min(8, w->width() / 2), w->height() / 2));
        Pump(0);
    }

    void Key(Qt::Key key, const QString& text = QString()) { GridActions::Key(key, text); }
    void Type(const QString& text) { GridActions::Type(text); }
    void ClickCell(CAcquireGrid& grid, int col, long row) { GridActions::ClickCell(grid, col, row); }
    void Choose(CAcquireGrid& grid, int col, long row, const QString& text)
    {
        GridActions::Choose(grid, col, row, text);
    }

    Sheet* sheet = nullptr;
};

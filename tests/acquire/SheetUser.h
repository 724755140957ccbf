#pragma once
// An acquisition sheet opened from the Acquire menu of the real program, on
// the emulated instrument, with helpers that act as a user would: clicks on
// cells, keys typed into the in-place editor, choices from drop-down lists.

#include "../app/AppFixture.h"

#include "UGrid/UGDropListType.h"
#include "UGrid/UGGrid.h"
#include "acquire/ui/AcquireGrid.h"
#include "app/InstrumentHooks.h"
#include "data/Region.h"
#include "res/resource.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTest>
#include <chrono>
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

    // Real key events to whatever has the focus (the in-place editor while editing).
    void Key(Qt::Key key, const QString& text = QString())
    {
        QWidget* target = QApplication::focusWidget();
        if (!target)
            return;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &release);
        Pump(0);
    }
    void Type(const QString& text)
    {
        for (QChar c : text)
            Key(c == QLatin1Char('.') ? Qt::Key_Period : Qt::Key(c.unicode()), QString(c));
    }
    void ClickCell(CAcquireGrid& grid, int col, long row)
    {
        RECT r;
        grid.GetCellRect(&col, &row, &r);
        QTest::mouseClick(grid.GetGridWnd(), Qt::LeftButton, {},
                          QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
        Pump(0);
    }
    // Opens a cell's drop-down list with its button and chooses item text.
    void Choose(CAcquireGrid& grid, int col, long row, const QString& text)
    {
        // A list closed before goes with the event loop's deferred deletes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ClickCell(grid, col, row);
        grid.GotoCell(col, row);
        RECT r;
        grid.GetCellRect(&col, &row, &r);
        const QPoint button(r.right - 4, (r.top + r.bottom) / 2);
        CUGLstBox* box = nullptr;
        // A list just closed takes the next press as its own closing click.
        for (int attempt = 0; attempt < 3 && !box; ++attempt) {
            QTest::mousePress(grid.GetGridWnd(), Qt::LeftButton, {}, button);
            QTest::mouseRelease(grid.GetGridWnd(), Qt::LeftButton, {}, button);
            Pump(0);
            box = grid.GetDropListType()->GetListBox();
            if (box && !box->isVisible())
                box = nullptr;
        }
        ASSERT_NE(box, nullptr) << "no list at " << col << "," << row;
        const auto found = box->findItems(text, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << text.toStdString();
        box->setCurrentItem(found.front());
        Key(Qt::Key_Return, QStringLiteral("\r"));
        Pump(0);
    }

    Sheet* sheet = nullptr;
};

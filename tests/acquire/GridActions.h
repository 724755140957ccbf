#pragma once
// What a user does to an acquisition table: clicks on cells, keys typed into
// the in-place editor, choices from a cell's drop-down list.

#include "TestSupport.h"
#include "UGrid/UGDropListType.h"
#include "UGrid/UGGrid.h"
#include "acquire/ui/AcquireGrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace GridActions {

// Real key events to whatever has the focus (the in-place editor while editing).
inline void Key(Qt::Key key, const QString& text = QString())
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

inline void Type(const QString& text)
{
    for (QChar c : text)
        Key(c == QLatin1Char('.') ? Qt::Key_Period : Qt::Key(c.unicode()), QString(c));
}

inline QPoint CellCentre(CAcquireGrid& grid, int col, long row)
{
    RECT r;
    grid.GetCellRect(&col, &row, &r);
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

inline void ClickCell(CAcquireGrid& grid, int col, long row, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(grid.GetGridWnd(), button, {}, CellCentre(grid, col, row));
    Pump(0);
}

// Opens a cell's drop-down list with its button; null when none opens.
inline CUGLstBox* OpenList(CAcquireGrid& grid, int col, long row)
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
    return box;
}

// Opens the list and chooses item text.
inline void Choose(CAcquireGrid& grid, int col, long row, const QString& text)
{
    CUGLstBox* box = OpenList(grid, col, row);
    ASSERT_NE(box, nullptr) << "no list at " << col << "," << row;
    const auto found = box->findItems(text, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << text.toStdString();
    box->setCurrentItem(found.front());
    Key(Qt::Key_Return, QStringLiteral("\r"));
    Pump(0);
}

} // namespace GridActions

// Where a tool sheet opens on a screen too small for it.

#include "TestSupport.h"

#include "analysis/ui/SheetLayout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

TEST(ToolSheetPlace, ASheetLargerThanTheScreenKeepsItsTitleBarAndLeftEdgeOnIt)
{
    TestApp();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    struct
    {
        const char* what;
        QSize minimum;
    } const cases[] = {
        {"its layout can give way", QSize(200, 150)},
        {"its layout cannot", work.size() + QSize(300, 200)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QWidget sheet(nullptr, Qt::Dialog);
        sheet.setMinimumSize(c.minimum);
        sheet.resize(work.size() + QSize(300, 200)); // as a large desktop font makes it
        PlaceToolSheet(&sheet, nullptr, QRect());
        const QRect placed = sheet.frameGeometry();
        EXPECT_GE(placed.left(), work.left());
        EXPECT_GE(placed.top(), work.top());
        if (c.minimum.width() < work.width()) {
            EXPECT_TRUE(work.contains(placed)) << placed.width() << "x" << placed.height();
        }
    }
}

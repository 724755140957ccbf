// The UPS set-up dialog: a layout with a fixed sample table that takes no input.

#include "TestSupport.h"
#include "UGrid/UGGrid.h"
#include "acquire/ui/AcquireUPS.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

TEST(AcquireUPS, FixedTableThatTakesNoInputAndOneSharedFont)
{
    TestApp();
    CAcquireUPS dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    CAcquireGrid* g = dlg.GetGrid();
    EXPECT_EQ(g->GetRowCount(), 9);
    EXPECT_EQ(g->GetColCount(), 6);
    EXPECT_EQ(g->GetTopHdgHeight(), 0);
    const char* labels[] = {"Element",    "Region", "Start (eV)", "Finish (eV)", "Step (eV)",
                            "Dwell (ms)", "Scans",  "Epass (eV)", "Repeat"};
    for (long r = 0; r < 9; ++r)
        EXPECT_EQ(g->GetTextAt(-1, r), labels[r]);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(g->GetTextAt(c, 0), "Ag");
        EXPECT_EQ(g->GetCellTypeOfCell(c, 0), g->GetCellType(UGTYPE_DROPLIST));
    }
    EXPECT_EQ(g->GetCurrentCol(), 3);
    EXPECT_FALSE(g->isEnabled());
    // A click or a key on the table changes nothing.
    QTest::mouseClick(g->GetGridWnd(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClick(g->GetGridWnd(), Qt::Key_Right);
    EXPECT_EQ(g->GetCurrentCol(), 3);
    if (const QByteArray dir = qgetenv("VELTRANE_SCREENSHOT_DIR"); !dir.isEmpty()) {
        QTest::qWait(100);
        dlg.grab().save(dir + "/ups-setup.png");
    }
    const CFont* font = CAcquireUPS::SharedFont();
    ASSERT_NE(font, nullptr);
    CAcquireUPS second;
    ASSERT_TRUE(second.Create(nullptr));
    EXPECT_EQ(CAcquireUPS::SharedFont(), font);
}

#include "ui_LogGrid.h"

#include "UGrid/UGEdit.h"
#include "UGrid/UGFindDlg.h"
#include "UGrid/UGPrint.h"
#include "UGrid/UGSideHdg.h"
#include "UGrid/UGSpreadsheetCtrl.h"
#include "UGrid/UGTab.h"
#include "UGrid/UGGrid.h"
#include "UGrid/UGHint.h"
#include "UGrid/UGMaskedEdit.h"
#include "UGrid/UGTopHdg.h"
#include "UGrid/UGVScroll.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QClipboard>
#include <QMessageBox>
#include <QPdfWriter>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QApplication* App()
{
    static int argc = 1;
    static char name[] = "ugrid_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(12);
        QApplication::setFont(f);
        return a;
    }();
    return app;
}

class GridWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        grid = std::make_unique<LogGrid>();
        grid->show();
        grid->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
        (void)QTest::qWaitForWindowActive(grid.get());
        grid->GetGridWnd()->setFocus();
        QApplication::processEvents();
        grid->log.clear();
    }
    void TearDown() override { grid.reset(); }

    // The window a real key press goes to.
    QWidget* KeyTarget()
    {
        if (QWidget* w = QApplication::focusWidget())
            return w;
        if (grid->GetEditCtrl()->isVisible())
            return grid->GetEditCtrl();
        return grid->GetGridWnd();
    }
    void Key(Qt::Key key, const QString& text = QString(), Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(KeyTarget(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods, text);
        QApplication::sendEvent(KeyTarget(), &release);
        QApplication::processEvents();
    }
    QPoint CellCentre(int col, long row)
    {
        RECT r;
        grid->GetCellRect(&col, &row, &r);
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    QImage Shot(QWidget* w)
    {
        QApplication::processEvents();
        return w->grab().toImage();
    }

    std::unique_ptr<LogGrid> grid;
};

} // namespace

TEST_F(GridWindow, EditingSequenceFollowsTheKeys)
{
    grid->SetTextAt(2, 1, "keep");
    QTest::mouseClick(grid->GetGridWnd(), Qt::LeftButton, {}, CellCentre(1, 1));
    grid->log.clear();
    Key(Qt::Key_A, "a");
    Key(Qt::Key_B, "b");
    Key(Qt::Key_Tab, "\t");
    Key(Qt::Key_C, "c");
    Key(Qt::Key_Escape, "\x1b");
    const std::vector<std::string> expected = {
        "EditStart 1,1",         "EditVerify 1,1 97", "EditVerify 1,1 98", "EditFinish 1,1 'ab' 0",
        "EditContinue 1,1->2,1", "EditStart 2,1",     "EditVerify 2,1 9",  "EditVerify 2,1 99",
        "EditFinish 2,1 'c' 1",  "EditVerify 2,1 27",
    };
    EXPECT_EQ(grid->log, expected);
    EXPECT_EQ(grid->GetTextAt(1, 1), "ab");
    EXPECT_EQ(grid->GetTextAt(2, 1), "keep");
    EXPECT_FALSE(grid->IsEditing());
    EXPECT_FALSE(grid->GetEditCtrl()->isVisible());
}

TEST_F(GridWindow, EnterInTheLastRowWrapsAndRefusedFinishKeepsEditor)
{
    grid->GotoCell(0, 5);
    ASSERT_EQ(grid->StartEdit('x'), 0);
    Key(Qt::Key_Return, "\r");
    EXPECT_EQ(grid->GetTextAt(0, 5), "x");
    EXPECT_TRUE(grid->IsEditing());
    EXPECT_EQ(grid->GetEditRow(), 0);

    grid->refuseFinish = true;
    Key(Qt::Key_Z, "z");
    Key(Qt::Key_Return, "\r");
    EXPECT_TRUE(grid->IsEditing());
    EXPECT_TRUE(grid->GetEditCtrl()->isVisible());
    EXPECT_EQ(grid->GetEditCtrl()->Text(), "z");
    EXPECT_EQ(grid->GetTextAt(0, 0), "");
    grid->refuseFinish = false;
    Key(Qt::Key_Escape, "\x1b");
    EXPECT_FALSE(grid->IsEditing());
}

// Ctrl+V in the cell editor, with the text as spreadsheets and editors put it
// on the clipboard.
TEST_F(GridWindow, PastedTextPassesTheKeyCheckWhole)
{
    struct Case
    {
        bool digitsOnly;
        QString clip;
        std::string stored;
    };
    const Case cases[] = {
        {true, QStringLiteral("12.5\r\n"), "12.5"},
        {true, QStringLiteral(" \u00a012.5 \n"), "12.5"},
        {true, QStringLiteral("1,5"), "7"},
        {true, QStringLiteral("1\u00a0234.5"), "7"},
        {true, QStringLiteral("-3"), "7"},
        {true, QStringLiteral("1\t2\r\n3\t4\r\n"), "7"},
        {false, QStringLiteral("C 1s\tx\r\ny\n"), "C 1s x y"},
        {false, QStringLiteral("Ni 2p \u00b5m \u00e9"), "Ni 2p \xb5m \xe9"},
    };
    for (const Case& c : cases) {
        grid->digitsOnly = c.digitsOnly;
        grid->SetTextAt(1, 1, "7");
        grid->GotoCell(1, 1);
        ASSERT_EQ(grid->StartEdit(), 0);
        QApplication::clipboard()->setText(c.clip);
        Key(Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
        Key(Qt::Key_Return, QStringLiteral("\r"));
        EXPECT_EQ(grid->GetTextAt(1, 1), c.stored) << c.clip.toStdString();
    }
    grid->digitsOnly = false;

    // A long block pasted into one cell: the editor takes it as one line.
    QString rows;
    for (int i = 0; i < 10000; ++i)
        rows += QStringLiteral("Cu 2p\t932.6\r\n");
    grid->GotoCell(2, 2);
    ASSERT_EQ(grid->StartEdit(), 0);
    QApplication::clipboard()->setText(rows);
    Key(Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
    Key(Qt::Key_Return, QStringLiteral("\r"));
    const std::string stored = grid->GetTextAt(2, 2);
    EXPECT_EQ(stored.size(), 10000 * 12 - 1);
    EXPECT_EQ(stored.substr(0, 24), "Cu 2p 932.6 Cu 2p 932.6 ");
}

TEST(UGEditFocus, AnotherWindowAbandonsTheEditAndTheGridStoresIt)
{
    App();
    QWidget top;
    auto* grid = new LogGrid;
    grid->setParent(&top);
    auto* other = new QLineEdit(&top);
    other->move(0, 310);
    top.resize(420, 360);
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    top.activateWindow();
    (void)QTest::qWaitForWindowActive(&top);
    grid->GetGridWnd()->setFocus();
    grid->GotoCell(1, 1);
    ASSERT_EQ(grid->StartEdit('k'), 0);
    QApplication::processEvents();
    grid->log.clear();
    other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(grid->log, (std::vector<std::string>{"EditFinish 1,1 'k' 1"}));
    EXPECT_EQ(grid->GetTextAt(1, 1), "");
    EXPECT_FALSE(grid->IsEditing());

    // Focus going back to the grid itself stores the text.
    ASSERT_EQ(grid->StartEdit('m'), 0);
    QApplication::processEvents();
    grid->GetGridWnd()->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(grid->GetTextAt(1, 1), "m");
    EXPECT_FALSE(grid->IsEditing());
}

TEST_F(GridWindow, ArrowKeysMoveTheCurrentCell)
{
    grid->GotoCell(0, 0);
    Key(Qt::Key_Right);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    EXPECT_EQ(grid->GetCurrentCol(), 1);
    EXPECT_EQ(grid->GetCurrentRow(), 2);
    Key(Qt::Key_End, QString(), Qt::ControlModifier);
    EXPECT_EQ(grid->GetCurrentRow(), 5);
}

TEST(GridOnASheet, CtrlTabTurnsThePageWhileTheGridHasTheFocus)
{
    App();
    QTabWidget sheet;
    auto* grid = new LogGrid;
    sheet.addTab(grid, QStringLiteral("Regions"));
    sheet.addTab(new QWidget, QStringLiteral("Imaging"));
    sheet.show();
    sheet.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    grid->GetGridWnd()->setFocus();
    QApplication::processEvents();
    QTest::keyClick(grid->GetGridWnd(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(sheet.currentIndex(), 1);
    sheet.setCurrentIndex(0);
    grid->GetGridWnd()->setFocus();
    QTest::keyClick(grid->GetGridWnd(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(sheet.currentIndex(), 1) << "backwards from the first page wraps to the last";
}

TEST_F(GridWindow, EnterOnAnEllipsisCellPressesItsButton)
{
    CUGEllipsisType ellipsis;
    const int type = grid->AddCellType(&ellipsis);
    grid->SetCellTypeAt(1, 2, type);
    grid->GotoCell(1, 2);
    grid->log.clear();
    Key(Qt::Key_Return, "\r");
    EXPECT_EQ(grid->log, (std::vector<std::string>{"CellType " + std::to_string(type) + " 1,2 " +
                                                    std::to_string(CTN_OPEN)}));
    EXPECT_EQ(grid->GetCurrentRow(), 2) << "the current cell stays where the button is";
    grid->SetCellTypeAt(1, 2, 0);
}

TEST_F(GridWindow, CheckBoxNotifiesOnClickAndSpace)
{
    grid->SetCellTypeAt(1, 2, UGTYPE_CHECKBOX);
    RECT r;
    int c = 1;
    long row = 2;
    grid->GetCellRect(&c, &row, &r);
    const RECT box = CUGCheckBoxType::BoxRect(r);
    QTest::mouseClick(grid->GetGridWnd(), Qt::LeftButton, {}, QPoint(box.left + 2, box.top + 2));
    Key(Qt::Key_Space, " ");
    QTest::mouseClick(grid->GetGridWnd(), Qt::LeftButton, {},
                      QPoint(r.right - 3, box.top + 2)); // outside the box
    EXPECT_EQ(grid->log, (std::vector<std::string>{"CellType 2 1,2 53 1", "CellType 2 1,2 53 0"}));

    // A word beginning with T: a click reads it as the number 0, the space bar as true.
    grid->SetTextAt(1, 2, "True");
    grid->log.clear();
    QTest::mouseClick(grid->GetGridWnd(), Qt::LeftButton, {}, QPoint(box.left + 2, box.top + 2));
    grid->SetTextAt(1, 2, "True");
    Key(Qt::Key_Space, " ");
    EXPECT_EQ(grid->log, (std::vector<std::string>{"CellType 2 1,2 53 1", "CellType 2 1,2 53 0"}));

    CUGCell ro;
    grid->GetCell(1, 2, &ro);
    ro.SetReadOnly(1);
    grid->SetCell(1, 2, &ro);
    grid->log.clear();
    Key(Qt::Key_Space, " ");
    EXPECT_TRUE(grid->log.empty());
}

TEST_F(GridWindow, DropListOpensAndSelectsWhileFocused)
{
    grid->SetCellTypeAt(2, 1, UGTYPE_DROPLIST);
    grid->SetLabelAt(2, 1, "one\ntwo\nthree\nlost");
    RECT r;
    int c = 2;
    long row = 1;
    grid->GetCellRect(&c, &row, &r);
    QTest::mouseClick(grid->GetGridWnd(), Qt::LeftButton, {}, QPoint(r.right - 4, (r.top + r.bottom) / 2));
    CUGLstBox* list = grid->GetDropListType()->GetListBox();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->count(), 3);
    list->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), list);
    Key(Qt::Key_Home);
    Key(Qt::Key_Down);
    Key(Qt::Key_Return, "\r");
    ASSERT_EQ(grid->log.size(), 2u) << ::testing::PrintToString(grid->log);
    EXPECT_EQ(grid->log[0], "CellType 1 2,1 100 items 3") << ::testing::PrintToString(grid->log);
    EXPECT_EQ(grid->log[1].rfind("CellType 1 2,1 101 'two'", 0), 0u) << grid->log[1];
    EXPECT_NE(grid->log[1].find("list-focused"), std::string::npos);
    EXPECT_EQ(grid->GetTextAt(2, 1), "two");
}

TEST(UGDropList, ItemsAndListPlacement)
{
    EXPECT_EQ(CUGDropListType::SplitItems("a\nb\nc\n"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(CUGDropListType::SplitItems("a\nb\nc"), (std::vector<std::string>{"a", "b"}));
    RECT cell{10, 150, 85, 170};
    RECT r = CUGDropListType::ListRect(cell, 20, 12, 300, 400);
    EXPECT_EQ(r.bottom - r.top, 16 * 12 + 2);
    EXPECT_EQ(r.left, 20);
    EXPECT_EQ(r.top, 170);
    r = CUGDropListType::ListRect(cell, 20, 12, 300, 200);
    EXPECT_EQ(r.bottom, 200);
    r = CUGDropListType::ListRect(RECT{10, 10, 85, 30}, 40, 12, 300, 100);
    EXPECT_EQ(r.top, 0); // never above the area's top
    EXPECT_EQ(r.bottom, 100) << "nor below its bottom, where its last items could not be seen";
}

TEST(UGHintWindow, Placement)
{
    // Right-aligned at the right edge ends one pixel left of the point.
    RECT r = CUGHint::PlaceRect(199, 50, 40, 10, 16, UG_ALIGNRIGHT | UG_ALIGNVCENTER, 200, 100);
    EXPECT_EQ(r.right, 199);
    EXPECT_EQ(r.right - r.left, 40);
    r = CUGHint::PlaceRect(10, 95, 40, 10, 16, UG_ALIGNLEFT, 200, 100);
    EXPECT_EQ(r.bottom, 100);
    r = CUGHint::PlaceRect(10, 10, 40, 50, 16, UG_ALIGNLEFT, 200, 100);
    EXPECT_EQ(r.right - r.left, 54);
}

TEST_F(GridWindow, ScrollBarScalesLargeRowCounts)
{
    grid->resize(300, 20 + 200); // the columns fit: no horizontal bar
    grid->SetColCount(2);
    grid->SetRowCount(2000);
    QApplication::processEvents();
    ASSERT_EQ(grid->GI()->m_gridHeight, 200);
    EXPECT_EQ(grid->GI()->m_maxTopRow, 1990);
    CUGVScroll* bar = grid->GetVScrollWnd();
    bar->Update();
    EXPECT_EQ(bar->maximum(), 1000);
    grid->SetVScrollMode(1);
    bar->OnScroll(CUGVScroll::ThumbTrack, 500);
    EXPECT_EQ(grid->GetTopRow(), 995);
    grid->SetVScrollMode(0);
    bar->OnScroll(CUGVScroll::ThumbTrack, 100);
    EXPECT_EQ(grid->GetTopRow(), 995); // without tracking the thumb alone does not scroll
    bar->OnScroll(CUGVScroll::LineDown, 0);
    EXPECT_EQ(grid->GetTopRow(), 996);
}

TEST_F(GridWindow, WheelScrollsThreeRowsPerNotch)
{
    grid->SetRowCount(100);
    grid->SetTopRow(10);
    QWheelEvent up(QPointF(10, 10), grid->GetGridWnd()->mapToGlobal(QPointF(10, 10)), QPoint(),
                   QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->GetGridWnd(), &up);
    EXPECT_EQ(grid->GetTopRow(), 7);
    QWheelEvent half(QPointF(10, 10), grid->GetGridWnd()->mapToGlobal(QPointF(10, 10)), QPoint(),
                     QPoint(0, 60), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->GetGridWnd(), &half);
    EXPECT_EQ(grid->GetTopRow(), 7);
}

TEST_F(GridWindow, RegistriesOfFontsAndBitmaps)
{
    const int a = grid->AddFont("DejaVu Sans", 16, 500);
    EXPECT_EQ(grid->AddFont("DejaVu Sans", 16, 500), a);
    CFont* font = grid->GetFont(a);
    grid->SetFontAt(0, 0, a);
    EXPECT_EQ(grid->RemoveFont(a), 0); // the count was 1: the entry goes
    EXPECT_EQ(grid->GetFont(a), nullptr);
    CUGCell cell;
    grid->GetCell(0, 0, &cell);
    EXPECT_EQ(cell.GetFont(), font);
    EXPECT_FALSE(font->Font().family().isEmpty()); // the object lives on for the cells that name it
    EXPECT_EQ(grid->AddFont("DejaVu Sans", 10, 400), a);

    CUGEllipsisType ellipsis;
    EXPECT_EQ(grid->AddCellType(nullptr), -1);
    EXPECT_EQ(grid->AddCellType(&ellipsis), 4);
    EXPECT_EQ(grid->GetCellType(99), grid->GetCellType(0));

    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.bmp");
    {
        // A header that claims a huge bitmap and carries no pixels.
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes(54, '\0');
        bytes[0] = 'B';
        bytes[1] = 'M';
        bytes[10] = 54;
        bytes[14] = 40;
        bytes[18] = char(0xff);
        bytes[19] = char(0xff);
        bytes[20] = char(0xff);
        bytes[21] = 0x7f;
        bytes[22] = char(0xff);
        bytes[23] = char(0xff);
        bytes[26] = 1;
        bytes[28] = 24;
        f.write(bytes);
    }
    EXPECT_EQ(grid->AddBitmap(bad.toLocal8Bit().constData()), -1);
    EXPECT_EQ(grid->AddBitmap(dir.filePath("missing.bmp").toLocal8Bit().constData()), -1);
    const QString good = dir.filePath("good.bmp");
    QImage img(4, 3, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(good, "BMP"));
    const int index = grid->AddBitmap(good.toLocal8Bit().constData());
    ASSERT_GE(index, 0);
    EXPECT_EQ(grid->GetBitmap(index)->Width(), 4);
}

TEST_F(GridWindow, PopupMenuOffAndCommandIds)
{
    POINT p{10, 10};
    EXPECT_EQ(grid->StartMenu(0, 0, &p, UG_SECTION_GRID), 1);
    struct MenuGrid : LogGrid
    {
        void OnMenuCommand(int, long, int, int item) override { Log("Menu " + std::to_string(item)); }
    } menuGrid;
    menuGrid.OnCommand(999);
    menuGrid.OnCommand(1000);
    EXPECT_EQ(menuGrid.log, (std::vector<std::string>{"Menu 1000"}));
}

TEST_F(GridWindow, TheMenuKeyOpensTheMenuOnTheCurrentCell)
{
    struct MenuGrid : LogGrid
    {
        int OnMenuStart(int col, long row, int) override
        {
            Log("MenuStart " + std::to_string(col) + "," + std::to_string(row));
            return 1;
        }
    } menuGrid;
    menuGrid.EnableMenu(TRUE);
    menuGrid.AddMenuItem(1000, "Delete");
    menuGrid.show();
    menuGrid.GotoCell(2, 3);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
    QApplication::sendEvent(menuGrid.GetGridWnd(), &key);
    EXPECT_EQ(menuGrid.log, (std::vector<std::string>{"MenuStart 2,3"}));
    EXPECT_TRUE(menuGrid.GetPopupMenu()->isVisible());
    menuGrid.GetPopupMenu()->hide();
}

// ---------------------------------------------------------------- pixels

namespace {
QColor Pixel(const QImage& img, int x, int y)
{
    return img.pixelColor(x, y);
}
bool IsDark(const QColor& c)
{
    return c.red() < 100 && c.green() < 100 && c.blue() < 100;
}
int DarkInColumns(const QImage& img, int x0, int x1, int y0, int y1)
{
    int n = 0;
    for (int x = x0; x < x1; ++x)
        for (int y = y0; y < y1; ++y)
            n += IsDark(img.pixelColor(x, y));
    return n;
}
} // namespace

TEST_F(GridWindow, RenderGridLinesHeadingsAndCurrentCell)
{
    grid->GotoCell(1, 1);
    grid->GetGridWnd()->setFocus();
    const QImage cells = Shot(grid->GetGridWnd());
    // Grid lines on the last pixel column and row of each cell.
    EXPECT_EQ(Pixel(cells, 74, 50), QColor(220, 220, 220));
    EXPECT_EQ(Pixel(cells, 10, 19), QColor(220, 220, 220));
    EXPECT_EQ(Pixel(cells, 10, 10), UGToQColor(UGGetSysColor(UG_COLOR_WINDOW)));
    // The focus rectangle of the current cell (1,1): x 75..149, y 20..39.
    EXPECT_GT(DarkInColumns(cells, 75, 76, 20, 39), 3);
    EXPECT_EQ(DarkInColumns(cells, 10, 11, 20, 39), 0);

    const QImage top = Shot(grid->GetTopHdgWnd());
    EXPECT_EQ(Pixel(top, 0, 5), QColor(255, 255, 255)); // raised: white left edge
    EXPECT_EQ(Pixel(top, 74, 5), UGToQColor(UGGetSysColor(UG_COLOR_BTNSHADOW)));
    EXPECT_EQ(Pixel(top, 30, 19), UGToQColor(UGGetSysColor(UG_COLOR_BTNSHADOW)));
    EXPECT_EQ(Pixel(top, 30, 10), UGToQColor(UGGetSysColor(UG_COLOR_BTNFACE)));
}

TEST(GridDarkTheme, FocusRectangleCheckMarkAndListArrowShowOnDarkCells)
{
    App();
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(50, 50, 50));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    QImage cells;
    RECT check{}, list{};
    int listButton = 0;
    {
        LogGrid grid;
        grid.SetRowHeight(3, 18);
        grid.SetCellTypeAt(0, 3, UGTYPE_CHECKBOX);
        grid.SetNumberAt(0, 3, 1);
        grid.SetCellTypeAt(3, 2, UGTYPE_DROPLIST);
        grid.show();
        grid.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
        grid.GotoCell(1, 1);
        grid.GetGridWnd()->setFocus();
        QApplication::processEvents();
        int col = 0;
        long row = 3;
        grid.GetCellRect(&col, &row, &check);
        col = 3;
        row = 2;
        grid.GetCellRect(&col, &row, &list);
        listButton = grid.GetDropListType()->ButtonWidth();
        cells = grid.GetGridWnd()->grab().toImage();
    }
    QApplication::setPalette(saved);
    LogGrid restore; // takes the standard colours back for the grids after this
    auto lightIn = [&](int x0, int x1, int y0, int y1) {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = y0; y < y1; ++y)
                n += qGray(cells.pixel(x, y)) > 150;
        return n;
    };
    EXPECT_GT(lightIn(75, 76, 20, 39), 3) << "focus rectangle on the left edge of cell (1,1)";
    const RECT box = CUGCheckBoxType::BoxRect(check);
    EXPECT_GT(lightIn(box.left + 2, box.right - 2, box.top + 2, box.bottom - 2), 4) << "check mark";
    const int ax = list.right - 1 - listButton + (listButton - 5) / 2;
    const int ay = list.top + (list.bottom - 1 - list.top - 3) / 2;
    EXPECT_GE(lightIn(ax, ax + 6, ay, ay + 1), 5) << "list arrow";
}

TEST_F(GridWindow, RenderLockedRowSeparator)
{
    grid->SetRowCount(40);
    grid->LockRows(2);
    grid->SetTopRow(10);
    const QImage cells = Shot(grid->GetGridWnd());
    for (int x : {5, 60, 140})
        EXPECT_TRUE(IsDark(Pixel(cells, x, 39))) << x; // last pixel row of the locked rows
    EXPECT_FALSE(IsDark(Pixel(cells, 5, 41)));
}

TEST_F(GridWindow, RenderCheckBoxAtItsComputedSize)
{
    struct
    {
        int height;
        bool framed;
    } cases[] = {{10, false}, {18, true}, {30, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        grid->SetRowHeight(3, c.height);
        grid->SetCellTypeAt(0, 3, UGTYPE_CHECKBOX);
        grid->SetNumberAt(0, 3, 1);
        grid->GotoCell(3, 0);
        RECT r;
        int col = 0;
        long row = 3;
        grid->GetCellRect(&col, &row, &r);
        const RECT box = CUGCheckBoxType::BoxRect(r);
        EXPECT_EQ(box.right - box.left, std::min(c.height - 6, 12));
        const QImage img = Shot(grid->GetGridWnd());
        const int mid = (box.top + box.bottom) / 2;
        EXPECT_EQ(IsDark(Pixel(img, box.left, mid)), c.framed);
        EXPECT_EQ(IsDark(Pixel(img, box.right - 1, mid)), c.framed);
    }
}

TEST_F(GridWindow, RenderDropListButton)
{
    grid->SetCellTypeAt(3, 2, UGTYPE_DROPLIST);
    grid->GotoCell(0, 0);
    RECT r;
    int col = 3;
    long row = 2;
    grid->GetCellRect(&col, &row, &r);
    const int bw = grid->GetDropListType()->ButtonWidth();
    const QImage img = Shot(grid->GetGridWnd());
    const int btnLeft = r.right - 1 - bw; // inside the grid line
    EXPECT_EQ(Pixel(img, btnLeft + bw / 2, r.top + 3), UGToQColor(UGGetSysColor(UG_COLOR_BTNFACE)));
    EXPECT_EQ(Pixel(img, btnLeft, r.top + 3), QColor(255, 255, 255)); // raised face
    // The arrow: three rows of 5, 3 and 1 black pixels in the middle.
    const int ax = btnLeft + (bw - 5) / 2;
    const int ay = r.top + (r.bottom - 1 - r.top - 3) / 2;
    EXPECT_EQ(DarkInColumns(img, ax, ax + 6, ay, ay + 1), 5);
    EXPECT_EQ(DarkInColumns(img, ax, ax + 6, ay + 2, ay + 3), 1);
}

TEST_F(GridWindow, RenderAlignedAndClippedText)
{
    grid->SetColWidth(0, 120);
    grid->SetTextAt(0, 1, "MMMM");
    grid->SetAlignmentAt(0, 1, UG_ALIGNRIGHT);
    grid->SetTextAt(1, 2, "WWWWWWWWWWWWWWWWWWWW");
    grid->SetTextAt(2, 2, "x");
    grid->GotoCell(3, 5);
    const QImage img = Shot(grid->GetGridWnd());
    EXPECT_EQ(DarkInColumns(img, 0, 60, 20, 39), 0);
    EXPECT_GT(DarkInColumns(img, 60, 120, 20, 39), 10);
    // Column 1 spans 120..194; its long text stops at its edge because column 2 has text.
    EXPECT_GT(DarkInColumns(img, 125, 190, 40, 59), 10);
    EXPECT_EQ(DarkInColumns(img, 195, 198, 40, 59), 0); // column 2's own text starts after its margin

    // Text overflow: a long text in an empty neighbour's place is continued there.
    grid->SetTextAt(0, 4, "WWWWWWWWWWWWWWWW");
    grid->SetAlignmentAt(0, 4, UG_ALIGNLEFT);
    const QImage over = Shot(grid->GetGridWnd());
    EXPECT_GT(DarkInColumns(over, 125, 190, 80, 99), 10);

    // Clip with dots: the text ends in "...".
    grid->SetTextAt(3, 3, "WWWWWWWWWWWWWWWW");
    grid->SetCellTypeParamAt(3, 3, UGCT_NORMALELLIPSIS);
    const QImage dots = Shot(grid->GetGridWnd());
    int c = 3;
    long row = 3;
    RECT r;
    grid->GetCellRect(&c, &row, &r);
    EXPECT_GT(DarkInColumns(dots, r.left, r.right - 1, r.top, r.bottom - 1), 0);
}

TEST_F(GridWindow, DialogKeysStayWithTheGrid)
{
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* placeholder = new QWidget(&dialog);
    placeholder->setObjectName(QStringLiteral("IDC_TABLE"));
    layout->addWidget(placeholder);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(ok);
    auto* table = new LogGrid; // the dialog owns it once attached
    EXPECT_EQ(table->AttachToDlgItem(&dialog, QStringLiteral("IDC_TABLE")), 0);
    EXPECT_EQ(dialog.findChild<LogGrid*>(QStringLiteral("IDC_TABLE")), table);
    dialog.resize(420, 300);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    (void)QTest::qWaitForWindowActive(&dialog);
    table->GetGridWnd()->setFocus();
    table->GotoCell(0, 0);
    ASSERT_EQ(table->StartEdit('q'), 0);
    QApplication::processEvents();
    auto send = [](Qt::Key key, const QString& text) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, Qt::NoModifier);
        (void)text;
    };
    send(Qt::Key_Tab, "\t");
    EXPECT_TRUE(table->IsEditing());
    EXPECT_EQ(table->GetEditCol(), 1);
    send(Qt::Key_Return, "\r");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(table->GetEditRow(), 1);
    send(Qt::Key_Escape, "\x1b");
    EXPECT_FALSE(table->IsEditing());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(table->GetTextAt(0, 0), "q");
    // Keys on the cell area itself stay there too.
    send(Qt::Key_Escape, "\x1b");
    send(Qt::Key_Return, "\r");
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(GridWindow, MaskedEditorTypesThroughTheMask)
{
    auto* masked = new CUGMaskedEdit(grid.get(), grid->GetGridWnd());
    ASSERT_EQ(grid->SetNewEditClass(masked), 0);
    grid->SetMaskAt(1, 1, "(000) 000");
    grid->GotoCell(1, 1);
    ASSERT_EQ(grid->StartEdit(), 0);
    for (const char* k : {"1", "x", "2", "3", "4", "5", "6", "7", "8"}) // x and the 8th digit are refused
        Key(Qt::Key(Qt::Key_0 + (k[0] >= '0' && k[0] <= '9' ? k[0] - '0' : 0)), QString::fromLatin1(k));
    EXPECT_EQ(masked->text(), QStringLiteral("(123)4567"));
    Key(Qt::Key_Return, "\r");
    EXPECT_EQ(grid->GetTextAt(1, 1), "(123)4567");
    Key(Qt::Key_Escape, "\x1b");
}

// Pasting into a masked cell: the clipboard text is typed through the mask, not
// put in as it stands.
TEST_F(GridWindow, MaskedEditorPastesThroughTheMask)
{
    auto* masked = new CUGMaskedEdit(grid.get(), grid->GetGridWnd());
    ASSERT_EQ(grid->SetNewEditClass(masked), 0);
    struct Case
    {
        const char *mask, *clip;
        bool shiftInsert;
        const char* stored;
    } cases[] = {
        {"(000) 000", "1234567", false, "(123)4567"},
        {"(000) 000", "12ab3", true, "(123"},
        {"LL00", "ab12cd34", false, "ab12"},
        {"LL00", "1234", false, ""},
        {"", "Fe 2p", false, "Fe 2p"},
    };
    for (const Case& c : cases) {
        grid->SetTextAt(1, 1, "");
        grid->SetMaskAt(1, 1, c.mask);
        grid->GotoCell(1, 1);
        ASSERT_EQ(grid->StartEdit(), 0);
        QApplication::clipboard()->setText(QString::fromLatin1(c.clip));
        if (c.shiftInsert)
            Key(Qt::Key_Insert, QString(), Qt::ShiftModifier);
        else
            Key(Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
        Key(Qt::Key_Return, "\r");
        EXPECT_EQ(grid->GetTextAt(1, 1), c.stored) << c.mask << " " << c.clip;
    }
    Key(Qt::Key_Escape, "\x1b");
}

// A stored text that does not fit the mask is shown through it, but stays as
// it is unless the user types.
TEST_F(GridWindow, MaskedEditorLeavesAnUntouchedCellAlone)
{
    auto* masked = new CUGMaskedEdit(grid.get(), grid->GetGridWnd());
    ASSERT_EQ(grid->SetNewEditClass(masked), 0);
    struct Case
    {
        const char *mask, *stored;
        QString typed;
        const char* result;
    } cases[] = {
        {"000", "abc", QString(), "abc"},
        {"(000)", "12", QString(), "12"},
        {"(000)", "12", QStringLiteral("9"), "(9"},
    };
    for (const Case& c : cases) {
        grid->SetTextAt(1, 1, c.stored);
        grid->SetMaskAt(1, 1, c.mask);
        grid->GotoCell(1, 1);
        ASSERT_EQ(grid->StartEdit(), 0);
        for (QChar ch : c.typed)
            Key(Qt::Key(ch.unicode()), QString(ch));
        Key(Qt::Key_Return, "\r");
        EXPECT_EQ(grid->GetTextAt(1, 1), c.result) << c.mask << " " << c.stored;
    }
    Key(Qt::Key_Escape, "\x1b");
}

TEST_F(GridWindow, HeadingClickAndColumnSizingByDrag)
{
    struct HeadingGrid : LogGrid
    {
        void OnTH_LClicked(int col, long row, int pressed, RECT*, POINT*, int) override
        {
            Log("TH " + std::to_string(col) + "," + std::to_string(row) + " " + std::to_string(pressed));
        }
        void OnColSized(int col, int* width) override
        {
            Log("ColSized " + std::to_string(col) + " " + std::to_string(*width));
        }
    } g;
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    CUGTopHdg* top = g.GetTopHdgWnd();
    QTest::mouseClick(top, Qt::LeftButton, {}, QPoint(100, 10));
    // The boundary after column 0 is at x = 75; drag it to 110.
    QTest::mouseMove(top, QPoint(75, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(75, 10), top->mapToGlobal(QPointF(75, 10)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(top, &move);
    QTest::mousePress(top, Qt::LeftButton, {}, QPoint(75, 10));
    QMouseEvent drag(QEvent::MouseMove, QPointF(110, 10), top->mapToGlobal(QPointF(110, 10)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(top, &drag);
    QTest::mouseRelease(top, Qt::LeftButton, {}, QPoint(110, 10));
    EXPECT_EQ(g.GetColWidth(0), 110);
    EXPECT_EQ(g.log, (std::vector<std::string>{"TH 1,-1 1", "TH 1,-1 0", "ColSized 0 110"}));
}

TEST_F(GridWindow, KeyRepeatAccelerates)
{
    grid->SetRowCount(60);
    grid->SetKeyAccelStep(2);
    grid->GotoCell(0, 0);
    std::vector<long> rows;
    for (int i = 0; i < 5; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), i > 0);
        QApplication::sendEvent(grid->GetGridWnd(), &press);
        rows.push_back(grid->GetCurrentRow());
    }
    EXPECT_EQ(rows, (std::vector<long>{1, 3, 5, 14, 23}));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(grid->GetGridWnd(), &release);
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(grid->GetGridWnd(), &again);
    EXPECT_EQ(grid->GetCurrentRow(), 24);

    // A key held for a long time: the step must stay a move forwards.
    grid->SetRowCount(64000);
    grid->SetKeyAccelStep(1);
    for (int i = 0; i < 1400; ++i) {
        QKeyEvent held(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(grid->GetGridWnd(), &held);
    }
    EXPECT_EQ(grid->GetCurrentRow(), 63999);
}

TEST_F(GridWindow, TrackingWindowStepsOutOfTheWay)
{
    struct TrackGrid : LogGrid
    {
        void OnTrackWndMoved(RECT*, RECT* moved) override { Log("Moved " + std::to_string(moved->left)); }
    } g;
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    g.GotoCell(0, 0);
    QWidget tracker;
    tracker.resize(50, 30);
    tracker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tracker));
    int col = 1;
    long row = 1;
    RECT r;
    g.GetCellRect(&col, &row, &r);
    const QPoint cellTopLeft = g.GetGridWnd()->mapToGlobal(QPoint(r.left, r.top));
    tracker.move(cellTopLeft + QPoint(10, 5));
    QApplication::processEvents();
    EXPECT_EQ(g.SetTrackingWindow(nullptr), 1);
    EXPECT_EQ(g.SetTrackingWindow(&tracker), 0);
    g.GotoCell(1, 1);
    const int expected = g.GetGridWnd()->mapToGlobal(QPoint(r.right + 5, 0)).x();
    EXPECT_EQ(tracker.pos().x(), expected);
    EXPECT_EQ(g.log, (std::vector<std::string>{"Moved " + std::to_string(expected)}));
}

TEST_F(GridWindow, ColumnDraggedInTheHeadingMoves)
{
    struct SwapGrid : LogGrid
    {
        int OnCanMoveCol(int from, int to) override
        {
            Log("CanMoveCol " + std::to_string(from) + " " + std::to_string(to));
            return 1;
        }
    } g;
    g.resize(800, 300);
    g.SetColCount(8);
    g.EnableColSwapping(TRUE);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    g.SetTextAt(2, 0, "moved");
    CUGTopHdg* top = g.GetTopHdgWnd();
    const QPoint from(2 * 75 + 37, 10), to(5 * 75 + 60, 10);
    QTest::mousePress(top, Qt::LeftButton, {}, from);
    for (const QPoint& p : {QPoint(3 * 75 + 10, 10), to}) {
        QMouseEvent drag(QEvent::MouseMove, QPointF(p), top->mapToGlobal(QPointF(p)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(top, &drag);
    }
    QTest::mouseRelease(top, Qt::LeftButton, {}, to);
    EXPECT_EQ(g.log, (std::vector<std::string>{"CanMoveCol 2 5"}));
    EXPECT_EQ(g.GetTextAt(5, 0), "moved");
    EXPECT_EQ(g.GetTextAt(2, 0), "");
}

TEST_F(GridWindow, BestFitMeasuresHeadingsAndScannedRows)
{
    const std::string text = "a much longer text";
    grid->SetTextAt(0, 2, text.c_str());
    grid->SetTextAt(1, -1, "W");
    EXPECT_EQ(grid->BestFit(-2, 1, 20, 1), 1);
    EXPECT_EQ(grid->BestFit(0, 4, 20, 1), 2);
    EXPECT_EQ(grid->BestFit(1, 0, 20, 1), 3);
    ASSERT_EQ(grid->BestFit(0, 1, 20, 1), 0);
    const QFontMetrics fm(grid->GetGridWnd()->font());
    EXPECT_EQ(grid->GetColWidth(0), fm.horizontalAdvance(QString::fromStdString(text)) + 6);
    EXPECT_EQ(grid->GetColWidth(1), fm.horizontalAdvance(QStringLiteral("W")) + 6);
}

// ---------------------------------------------------------------- tracking line, drop marker, drop list

namespace {
// Presses Return on the next modal box (message boxes of find and print), and
// counts the boxes it closed.
struct ModalCloser
{
    ModalCloser()
    {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                if (auto* box = qobject_cast<QMessageBox*>(w))
                    texts.push_back(box->text().toStdString());
                w->close();
            }
        });
        timer.start();
    }
    QTimer timer;
    std::vector<std::string> texts;
};

void Drag(QWidget* w, QPoint from, QPoint to)
{
    QMouseEvent hover(QEvent::MouseMove, QPointF(from), w->mapToGlobal(QPointF(from)), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &hover);
    QTest::mousePress(w, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), w->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    QApplication::processEvents();
}
} // namespace

TEST_F(GridWindow, SizingModeOneDrawsATrackingLineOverTheFrozenCells)
{
    grid->SetUserSizingMode(1);
    grid->SetTextAt(0, 0, "cell");
    CUGGrid* cells = grid->GetGridWnd();
    const QImage before = Shot(cells);
    CUGTopHdg* top = grid->GetTopHdgWnd();
    Drag(top, QPoint(75, 5), QPoint(120, 5));
    EXPECT_EQ(grid->GetColWidth(0), 120);
    EXPECT_EQ(cells->TrackRect(), QRect(119, 0, 2, cells->height()));
    const QImage during = Shot(cells);
    // The line inverts what is beneath it; the cells keep their old picture.
    const QRgb under = before.pixel(120, 40), now = during.pixel(120, 40);
    EXPECT_EQ(qRed(now), 255 - qRed(under));
    EXPECT_EQ(during.pixel(74, 40), before.pixel(74, 40));
    QTest::mouseRelease(top, Qt::LeftButton, {}, QPoint(120, 5));
    EXPECT_TRUE(cells->TrackRect().isEmpty());
    EXPECT_FALSE(cells->IsFrozen());
    const QImage after = Shot(cells);
    EXPECT_EQ(after.pixel(120, 40), before.pixel(120, 40)); // no line left behind
    EXPECT_NE(after.pixel(74, 40), before.pixel(74, 40));   // the old column edge is gone

    // Rows likewise, from the row heading.
    CUGSideHdg* side = grid->GetSideHdgWnd();
    const int edge = grid->GetRowHeight(0);
    Drag(side, QPoint(5, edge), QPoint(5, edge + 15));
    EXPECT_EQ(cells->TrackRect(), QRect(0, edge + 14, cells->width(), 2));
    QTest::mouseRelease(side, Qt::LeftButton, {}, QPoint(5, edge + 15));
    EXPECT_TRUE(cells->TrackRect().isEmpty());
}

TEST_F(GridWindow, ColumnDragShowsTheDropMarkerAndClearsIt)
{
    grid->resize(600, 300);
    grid->EnableColSwapping(TRUE);
    CUGGrid* cells = grid->GetGridWnd();
    const QImage before = Shot(cells);
    CUGTopHdg* top = grid->GetTopHdgWnd();
    QTest::mousePress(top, Qt::LeftButton, {}, QPoint(37, 5));
    for (const QPoint& p : {QPoint(100, 5), QPoint(2 * 75 + 60, 5)}) {
        QMouseEvent drag(QEvent::MouseMove, QPointF(p), top->mapToGlobal(QPointF(p)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(top, &drag);
    }
    // Right of column 2's middle: the drop goes after it, at x = 225.
    EXPECT_EQ(cells->TrackRect(), QRect(225, 0, 2, cells->height()));
    const QImage during = Shot(cells);
    EXPECT_EQ(qGreen(during.pixel(225, 30)), 255 - qGreen(before.pixel(225, 30)));
    QTest::mouseRelease(top, Qt::LeftButton, {}, QPoint(2 * 75 + 60, 5));
    EXPECT_TRUE(cells->TrackRect().isEmpty());
}

TEST_F(GridWindow, OpenDropListTakesTheMouseAndAClickOutsideClosesIt)
{
    grid->SetCellTypeAt(1, 1, UGTYPE_DROPLIST);
    grid->SetLabelAt(1, 1, "one\ntwo\n");
    grid->SetTextAt(1, 1, "one");
    RECT r;
    int c = 1;
    long row = 1;
    grid->GetCellRect(&c, &row, &r);
    QTest::mouseClick(grid->GetGridWnd(), Qt::LeftButton, {}, QPoint(r.right - 4, (r.top + r.bottom) / 2));
    QPointer<CUGLstBox> list = grid->GetDropListType()->GetListBox();
    ASSERT_TRUE(list);
    list->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(QWidget::mouseGrabber(), list->viewport());
    list->setCurrentRow(1);
    // A press far outside the list reaches it through the grab and closes it untaken.
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, QPoint(-30, -30));
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(list);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(grid->GetTextAt(1, 1), "one");
}

// ---------------------------------------------------------------- sheet tabs

TEST_F(GridWindow, SheetTabsWidthsScrollingDeletionAndClicks)
{
    struct TabGrid : LogGrid
    {
        void OnTabSelected(int id) override { Log("Tab " + std::to_string(id)); }
    } g;
    g.resize(400, 200);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    g.SetTabWidth(160);
    g.AdjustLayout();
    CUGTab* tabs = g.GetTabWnd();
    ASSERT_TRUE(tabs->isVisible());
    const char* labels[] = {"First", "Second", "Third", "Fourth", "Fifth"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(g.AddTab(labels[i], 10 + i), 0);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    font.setWeight(QFont::Medium);
    int total = 0;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tabs->TabWidth(i), QFontMetrics(font).horizontalAdvance(labels[i]) + 10);
        total += tabs->TabWidth(i);
    }
    const int visible = tabs->width() - tabs->ArrowWidth();
    ASSERT_GT(total, visible);
    EXPECT_EQ(tabs->LargestOffset(), total - visible + 20);
    int steps = 0;
    for (int last = -1; tabs->ScrollOffset() != last; ++steps) {
        last = tabs->ScrollOffset();
        tabs->ScrollStep(true);
    }
    EXPECT_EQ(tabs->ScrollOffset() % 5, 0);
    EXPECT_GE(tabs->ScrollOffset(), tabs->LargestOffset() - 5);
    EXPECT_LE(tabs->ScrollOffset(), tabs->LargestOffset());
    while (tabs->ScrollOffset() > 0)
        tabs->ScrollStep(false);

    // Where two slanted edges overlap the left tab wins.
    const int boundary = tabs->ArrowWidth() + tabs->TabWidth(0);
    EXPECT_EQ(tabs->TabAt(boundary + 1), 0);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, QPoint(boundary + 1, 5));
    EXPECT_EQ(g.log, (std::vector<std::string>{"Tab 10"}));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, QPoint(boundary + 10, 5));
    EXPECT_EQ(g.GetCurrentTab(), 1);

    EXPECT_EQ(g.DeleteTab(14), 1); // after the current one: it stays
    EXPECT_EQ(g.GetCurrentTab(), 1);
    EXPECT_EQ(g.DeleteTab(11), 1); // the current one: the first becomes current
    EXPECT_EQ(g.GetCurrentTab(), 0);
    EXPECT_EQ(g.DeleteTab(99), 0);
    EXPECT_EQ(g.SetCurrentTab(99), 1);
    g.log.clear();
    EXPECT_EQ(g.SetCurrentTab(13), 0);
    EXPECT_EQ(g.log, (std::vector<std::string>{"Tab 13"}));
    for (long id : {10, 12, 13})
        EXPECT_EQ(g.DeleteTab(id), 1);
    EXPECT_EQ(g.GetCurrentTab(), -1);
    const QImage empty = tabs->grab().toImage(); // paints with no tab at all
    EXPECT_EQ(empty.pixel(tabs->ArrowWidth() + 20, 8), tabs->palette().color(QPalette::Button).rgb());

    // Dragging the bar's right edge: never narrower than 5 pixels.
    const int w = tabs->width();
    QMouseEvent hover(QEvent::MouseMove, QPointF(w - 2, 5), tabs->mapToGlobal(QPointF(w - 2, 5)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(tabs, &hover);
    QTest::mousePress(tabs, Qt::LeftButton, {}, QPoint(w - 2, 5));
    QMouseEvent drag(QEvent::MouseMove, QPointF(-50, 5), tabs->mapToGlobal(QPointF(-50, 5)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tabs, &drag);
    QTest::mouseRelease(tabs, Qt::LeftButton, {}, QPoint(-50, 5));
    EXPECT_EQ(g.GI()->m_tabWidth, 5);
}

TEST_F(GridWindow, SixtyFifthTabIsRefusedAndInsertMovesTheCurrent)
{
    grid->SetTabWidth(200);
    grid->AdjustLayout();
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(grid->AddTab("t", i), 0);
    EXPECT_EQ(grid->AddTab("t", 64), 1);
    EXPECT_EQ(grid->InsertTab(0, "t", 65), 1);
    for (int i = 0; i < 60; ++i)
        grid->DeleteTab(i + 4);
    grid->SetCurrentTab(2);
    EXPECT_EQ(grid->InsertTab(1, "new", 70), 0);
    EXPECT_EQ(grid->GetCurrentTab(), 3);
    EXPECT_EQ(grid->InsertTab(9, "far", 71), 0); // beyond the count: nothing
    EXPECT_EQ(grid->GetTabWnd()->GetTabCount(), 5);
}

// ---------------------------------------------------------------- find, replace and clipboard

TEST_F(GridWindow, FindAndReplaceDialogsThroughTheirButtons)
{
    for (long r = 0; r < 6; ++r)
        grid->SetTextAt(0, r, r % 2 ? "x" : "other");
    grid->GotoCell(0, 0);
    EXPECT_EQ(grid->ReplaceDialog(), 0);
    EXPECT_EQ(grid->FindDialog(), 1);
    CUGFindDlg* dlg = grid->GetFindDlg();
    ASSERT_NE(dlg, nullptr);
    auto* whole = dlg->findChild<QCheckBox*>(QStringLiteral("wholeCell"));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->text(), QStringLiteral("Match &entire cell text"));
    for (const char* name : {"findNext", "replace", "replaceAll"}) // nothing to search for yet
        EXPECT_FALSE(dlg->findChild<QPushButton*>(QLatin1String(name))->isEnabled()) << name;
    dlg->findChild<QLineEdit*>(QStringLiteral("findText"))->setText(QStringLiteral("X"));
    for (const char* name : {"findNext", "replace", "replaceAll"})
        EXPECT_TRUE(dlg->findChild<QPushButton*>(QLatin1String(name))->isEnabled()) << name;
    dlg->findChild<QLineEdit*>(QStringLiteral("replaceText"))->setText(QStringLiteral("y"));
    ModalCloser closer;
    QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("replaceAll")), Qt::LeftButton);
    for (long r = 1; r < 6; r += 2)
        EXPECT_EQ(grid->GetTextAt(0, r), "y");
    EXPECT_EQ(closer.texts, (std::vector<std::string>{"Item not found"}));
    QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_FALSE(grid->IsFindDialogOpen());
    EXPECT_EQ(grid->FindDialog(), 0);
    grid->GetFindDlg()->close();
}

TEST_F(GridWindow, CopyAndPasteGoThroughTheClipboard)
{
    grid->SetMultiSelectMode(TRUE);
    grid->SetTextAt(0, 0, "a");
    grid->SetTextAt(1, 0, "b");
    grid->SelectRange(0, 0, 1, 0);
    EXPECT_EQ(grid->CopySelected(), 0);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a\tb"));
    QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\r\n3\t4"));
    grid->GotoCell(2, 3);
    EXPECT_EQ(grid->Paste(), 0);
    EXPECT_EQ(grid->GetTextAt(3, 4), "4");
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(grid->Paste(), 1);
}

// ---------------------------------------------------------------- spreadsheet grid

TEST_F(GridWindow, SpreadsheetHeadingsSelectionTypingAndDelete)
{
    struct Sheet : CUGSpreadsheetCtrl
    {
        bool shift = false, ctrl = false;
        bool IsShiftHeld() const override { return shift; }
        bool IsCtrlHeld() const override { return ctrl; }
    } s;
    s.CreateGrid(0, RECT{0, 0, 600, 300}, nullptr, 1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s));
    s.SetColCount(800);
    s.SetRowCount(20);
    CUGCell cell;
    const std::pair<int, const char*> letters[] = {{0, "A"}, {26, "AA"}, {675, "YZ"}, {676, "ZA"}, {701, "ZZ"}};
    for (auto [col, text] : letters) {
        s.GetCellIndirect(col, -1, &cell);
        EXPECT_STREQ(cell.GetText(), text);
    }
    s.GetCellIndirect(-1, 9, &cell);
    EXPECT_STREQ(cell.GetText(), "10");

    RECT rect{};
    POINT pt{};
    s.OnTH_LClicked(3, -1, 1, &rect, &pt, 0);
    EXPECT_TRUE(s.IsSelected(3, 19));
    s.ctrl = true;
    s.OnTH_LClicked(5, -1, 1, &rect, &pt, 0);
    EXPECT_TRUE(s.IsSelected(3, 0));
    EXPECT_TRUE(s.IsSelected(5, 19));
    EXPECT_FALSE(s.IsSelected(4, 0));
    s.ctrl = false;
    s.shift = true;
    s.OnTH_LClicked(7, -1, 1, &rect, &pt, 0);
    EXPECT_TRUE(s.IsSelected(6, 10));
    s.shift = false;
    s.OnCB_LClicked(1, &rect, &pt, 0);
    EXPECT_TRUE(s.IsSelected(799, 19));

    s.ClearSelections();
    s.GotoCell(1, 1);
    s.GetGridWnd()->setFocus();
    QTest::keyClick(s.GetGridWnd(), Qt::Key_X, Qt::NoModifier);
    ASSERT_TRUE(s.IsEditing());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(s.GetTextAt(1, 1), "x");
    s.SetBackColorAt(1, 1, UGRGB(1, 2, 3));
    s.GotoCell(1, 1);
    QTest::keyClick(s.GetGridWnd(), Qt::Key_Delete);
    EXPECT_EQ(s.GetCell(1, 1, &cell), 1); // nothing stored any more

    // A cell the user may not edit keeps its text and its lock.
    s.SetTextAt(2, 1, "kept");
    s.GetCell(2, 1, &cell);
    cell.SetReadOnly(1);
    s.SetCell(2, 1, &cell);
    s.GotoCell(2, 1);
    QTest::keyClick(s.GetGridWnd(), Qt::Key_Delete);
    EXPECT_EQ(s.GetTextAt(2, 1), "kept");
    ASSERT_EQ(s.GetCell(2, 1, &cell), 0);
    EXPECT_TRUE(cell.GetReadOnly());
}

// ---------------------------------------------------------------- printing

// Every printed cell gets the font scaled once: a cell drawn after another is no
// bigger than the first.
TEST_F(GridWindow, PrintedCellsKeepOneTextSize)
{
    grid->SetColCount(8);
    grid->SetRowCount(2);
    for (int c = 0; c < 8; ++c) {
        grid->SetColWidth(c, 75);
        grid->SetTextAt(c, 0, "8");
    }
    grid->SetRowHeight(0, 20);
    QImage page(1240, 1754, QImage::Format_RGB32); // A4 at 150 dpi
    page.setDotsPerMeterX(5906);
    page.setDotsPerMeterY(5906);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        CDC dc(&painter);
        ASSERT_EQ(grid->PrintInit(&dc, 0, 0, 0, 7, 1), 1);
        grid->PrintPage(&dc, 1);
    }
    const UGPageGeometry& g = grid->GetPrint()->Geometry();
    const int w = int(75 * g.hScale), top = g.topEdge, bottom = g.topEdge + int(20 * g.vScale);
    auto inkRows = [&](int c) {
        int rows = 0;
        for (int y = top + 2; y < bottom - 2; ++y)
            for (int x = g.leftEdge + c * w + 2; x < g.leftEdge + (c + 1) * w - 2; ++x)
                if (qGray(page.pixel(x, y)) < 128) {
                    ++rows;
                    break;
                }
        return rows;
    };
    const int first = inkRows(0);
    EXPECT_GT(first, 5);
    for (int c = 1; c < 8; ++c)
        EXPECT_EQ(inkRows(c), first) << "column " << c;
}

// A joined block whose first column is hidden still prints, across the columns
// of it that are shown.
TEST_F(GridWindow, PrintedJoinedBlockWithAHiddenFirstColumn)
{
    grid->SetColCount(3);
    grid->SetRowCount(1);
    grid->SetRowHeight(0, 20);
    grid->SetColWidth(0, 0);
    grid->SetColWidth(1, 75);
    grid->SetColWidth(2, 75);
    grid->SetTextAt(0, 0, "888");
    grid->JoinCells(0, 0, 1, 0);
    QImage page(1240, 1754, QImage::Format_RGB32);
    page.setDotsPerMeterX(5906);
    page.setDotsPerMeterY(5906);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        CDC dc(&painter);
        ASSERT_EQ(grid->PrintInit(&dc, 0, 0, 0, 2, 0), 1);
        grid->PrintPage(&dc, 1);
    }
    const UGPageGeometry& g = grid->GetPrint()->Geometry();
    const int w = int(75 * g.hScale);
    int ink = 0;
    for (int y = g.topEdge + 2; y < g.topEdge + int(20 * g.vScale) - 2; ++y)
        for (int x = g.leftEdge + 2; x < g.leftEdge + w - 2; ++x)
            ink += qGray(page.pixel(x, y)) < 128;
    EXPECT_GT(ink, 20);
}

TEST_F(GridWindow, PrintsPagesAcrossThenDownAndRefusesAPageWithoutRoom)
{
    grid->SetColCount(12);
    grid->SetRowCount(100);
    for (int c = 0; c < 12; ++c)
        grid->SetColWidth(c, 75);
    grid->SetDefRowHeight(20);
    for (long r = 0; r < 100; ++r)
        grid->SetRowHeight(r, 20);
    grid->SetTextAt(0, 0, "first");
    grid->SetTextAt(8, 46, "page five");
    QTemporaryDir dir;
    const QString pdf = qEnvironmentVariableIsSet("UG_KEEP_PDF") ? QStringLiteral("/tmp/grid.pdf") : dir.filePath(QStringLiteral("grid.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(150);
        QPainter painter(&writer);
        CDC dc(&painter);
        const int pages = grid->PrintInit(&dc, 0, 0, 0, 11, 99);
        EXPECT_EQ(pages, 6);
        EXPECT_EQ(grid->GetPrint()->PagesAcross(), 2);
        int fc, lc;
        long fr, lr;
        ASSERT_EQ(grid->GetPrint()->GetPage(4, &fc, &lc, &fr, &lr), 1);
        EXPECT_EQ(fc, 8);
        EXPECT_EQ(fr, 46);
        for (int p = 1; p <= pages; ++p) {
            if (p > 1)
                writer.newPage();
            grid->PrintPage(&dc, p);
        }
    }
    // Page 1 rendered back: the frame's top-left corner sits at the 25 mm margins.
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-f"), QStringLiteral("1"),
                  QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-png"), pdf, dir.filePath("p")});
    ASSERT_TRUE(render.waitForFinished(30000));
    QImage page(dir.filePath(QStringLiteral("p-1.png")));
    ASSERT_FALSE(page.isNull());
    const int margin = int(25 / 25.4 * 150);
    auto dark = [&](int x, int y) { return qGray(page.pixel(x, y)) < 160; };
    auto darkNear = [&](int x, int y) {
        for (int d = -3; d <= 3; ++d)
            if (dark(x + d, y))
                return true;
        return false;
    };
    EXPECT_TRUE(darkNear(margin, margin + 100));    // the frame's left side
    EXPECT_FALSE(darkNear(margin / 2, margin + 100)); // nothing in the margin

    grid->PrintSetOption(3, 110);
    grid->PrintSetOption(5, 110);
    EXPECT_EQ(grid->PrintGetOption(3), 110);
    QPdfWriter writer(dir.filePath(QStringLiteral("none.pdf")));
    QPainter painter(&writer);
    CDC dc(&painter);
    ModalCloser closer;
    EXPECT_EQ(grid->PrintInit(&dc, 0, 0, 0, 11, 99), 0);
    EXPECT_EQ(closer.texts.size(), 1u);
    EXPECT_EQ(grid->PrintPage(&dc, 1), 0); // nothing laid out, nothing printed
}

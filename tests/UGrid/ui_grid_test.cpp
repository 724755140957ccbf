#include "ui_LogGrid.h"

#include "UGrid/UGEdit.h"
#include "UGrid/UGGrid.h"
#include "UGrid/UGHint.h"
#include "UGrid/UGMaskedEdit.h"
#include "UGrid/UGTopHdg.h"
#include "UGrid/UGVScroll.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
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

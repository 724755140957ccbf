// The AES regions page on a set-up of its own, driven through its widgets:
// the table's contents per experiment type, drop-down lists, typed cells,
// the pop-up menu with the clipboard, the mode buttons, the cylindrical
// mirror analyser, and the messages of Start.

#include "GridActions.h"
#include "acquire/core/AcqError.h"
#include "acquire/core/RegionClip.h"
#include "acquire/ui/AcqHost.h"
#include "acquire/ui/AesRgnPage.h"
#include "acquire/ui/PeriodicTable.h"
#include "data/Region.h"
#include "data/formats/PkLib.h"
#include "framework/ui/ClipFormat.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>

using namespace GridActions;
using R = CAesRgnModel;
using A = CAcquireAES;

namespace {
const CPkLib& Lib()
{
    static CPkLib lib;
    static const bool loaded =
        lib.LoadFromPath(
            (QCoreApplication::applicationDirPath() + QStringLiteral("/PkLib.txt")).toStdString()) == 0;
    EXPECT_TRUE(loaded);
    return lib;
}

} // namespace

class AesRgnPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        m_saved = AcqHost();
        AcqHost().pkLib = &Lib();
        ASSERT_GT(Lib().GetSize(), 29);
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override
    {
        page.reset();
        setup.reset();
        AcqHost() = m_saved;
    }
    void Make(int exp, bool cma = false)
    {
        page.reset();
        setup = std::make_unique<CAesSetup>(SAesInstrument{cma, true});
        setup->m_Exp.m_iExperiment = exp;
        page = std::make_unique<CAcquireAES_RgnPage>();
        page->SetSetup(setup.get());
        page->resize(760, 320);
        page->show();
        page->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        page->OnSetActive();
        Pump(0);
    }
    CAesRgnModel& M() { return setup->m_Rgn; }
    CAcquireGrid& G() { return page->Grid(); }
    std::string Text(int col, long row) { return G().GetTextAt(col, row); }
    CUGCell Cell(int col, long row)
    {
        CUGCell cell;
        G().GetCell(col, row, &cell);
        return cell;
    }
    template <class W> W* Ctrl(const char* name)
    {
        W* w = page->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QStringList ListItems(int col, long row)
    {
        QStringList items;
        if (CUGLstBox* box = OpenList(G(), col, row)) {
            for (int i = 0; i < box->count(); ++i)
                items << box->item(i)->text();
            Key(Qt::Key_Escape, QStringLiteral("\x1b"));
        }
        return items;
    }
    // Right-click on a cell: the enabled items of the pop-up menu, and the item run when given.
    QStringList Menu(int col, long row, int run = 0)
    {
        ClickCell(G(), col, row, Qt::RightButton);
        QMenu* menu = G().GetPopupMenu();
        QStringList enabled;
        QAction* chosen = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->isEnabled())
                enabled << a->text().remove(QLatin1Char('&'));
            if (a->data().toInt() == run)
                chosen = a;
        }
        menu->hide();
        if (chosen && chosen->isEnabled())
            chosen->trigger();
        Pump(0);
        return enabled;
    }
    void TypeInto(int col, long row, const QString& text, Qt::Key end = Qt::Key_Return)
    {
        ClickCell(G(), col, row);
        ASSERT_TRUE(G().IsEditing()) << col << "," << row;
        Type(text);
        Key(end, end == Qt::Key_Escape ? QStringLiteral("\x1b") : QStringLiteral("\r"));
        Pump(0);
    }
    // Cu and the wide-scan region, chosen from the Element lists of a narrow scan.
    void CuAndWide(int exp = A::Narrowscan)
    {
        Make(exp);
        Choose(G(), 0, R::Element, QStringLiteral("Cu"));
        Pump(0);
        Choose(G(), 1, R::Element, QStringLiteral("Wide"));
        Pump(0);
        ASSERT_EQ(M().NumRegions(), 2);
    }

    std::unique_ptr<CAesSetup> setup;
    std::unique_ptr<CAcquireAES_RgnPage> page;

private:
    SAcqHost m_saved;
};

TEST_F(AesRgnPage, TableContentsByExperimentType)
{
    const CPkLibPeak& cu = Lib().GetElement("Cu")->GetAugerPeaks().front();
    const std::string peak = FormatPrintf("%.3f", cu.m_dPeak), below = FormatPrintf("%.3f", cu.m_dPeak - 10),
                      above = FormatPrintf("%.3f", cu.m_dPeak + 10);
    struct Case
    {
        int exp;
        const char* row2Label;
        std::vector<std::string> col0; // rows 0..8 of the first column
        bool repeatEditable;
        const char *scan0, *scan1;
        bool periodic;
    } cases[] = {
        {A::Widescan,
         "Start (eV)",
         {"Wide", "", "0.000", "1000.000", "1.000", "100", "50", "1", "1"},
         false,
         "Average",
         "Refresh",
         false},
        {A::Narrowscan,
         "Start (eV)",
         {"Cu", cu.m_csRegion, below, above, "0.100", "100", "10", "1", "1"},
         false,
         "Across",
         "Down",
         true},
        {A::Profile,
         "Start (eV)",
         {"Cu", cu.m_csRegion, below, above, "0.100", "100", "10", "1", "1"},
         true,
         "Across",
         "Down",
         true},
        {A::FastProfile,
         "Peak",
         {"Cu", cu.m_csRegion, peak, above, below, "100", "10", "1", "1"},
         true,
         "Across",
         "Down",
         true},
        {A::AugerImage,
         "Peak",
         {"Cu", cu.m_csRegion, peak, above, below, "100", "10", "1", "1"},
         false,
         "Across",
         "Down",
         true},
    };
    for (const Case& c : cases) {
        Make(c.exp);
        if (c.exp != A::Widescan) {
            Choose(G(), 0, R::Element, QStringLiteral("Cu"));
            Pump(0);
        }
        SCOPED_TRACE(c.exp);
        EXPECT_EQ(G().GetTextAt(-1, R::Start), c.row2Label);
        for (long r = 0; r < 9; ++r)
            EXPECT_EQ(Text(0, r), c.col0[size_t(r)]) << "row " << r;
        EXPECT_EQ(Cell(0, R::Repeat).GetReadOnly() == 0, c.repeatEditable);
        EXPECT_EQ(Cell(0, R::Element).GetCellType(), c.exp == A::Widescan ? 0 : UGTYPE_DROPLIST);
        EXPECT_EQ(G().GetColCount(), 6);
        // The empty column for a new region follows, except in a wide scan.
        const bool empty = c.exp != A::Widescan;
        EXPECT_EQ(Cell(1, R::Element).GetCellType(), empty ? UGTYPE_DROPLIST : 0);
        EXPECT_EQ(Cell(1, R::Start).GetReadOnly() == 0, empty);
        EXPECT_NE(Cell(2, R::Start).GetReadOnly(), 0);
        EXPECT_EQ(Ctrl<QRadioButton>("id_4288")->text().toStdString(), c.scan0);
        EXPECT_EQ(Ctrl<QRadioButton>("id_4289")->text().toStdString(), c.scan1);
        EXPECT_EQ(Ctrl<QPushButton>("id_4293")->isEnabled(), c.periodic);
        EXPECT_TRUE(Ctrl<QWidget>("id_4292")->isVisible());
        EXPECT_EQ(ListItems(0, R::Pass), QStringList({"5", "10", "20", "30", "50", "100"}));
    }

    // An SE image: no table, nothing to press, nothing checked at Start.
    Make(A::SEImage);
    EXPECT_FALSE(Ctrl<QWidget>("id_4292")->isVisible());
    for (const char* name : {"id_4288", "id_4289", "id_4290", "id_4291", "id_4293"})
        EXPECT_FALSE(Ctrl<QWidget>(name)->isEnabled()) << name;
    EXPECT_NO_THROW(page->ErrorCheck());
}

TEST_F(AesRgnPage, WideIsOfferedOnceAndElementListsFollowIt)
{
    Make(A::Narrowscan);
    Choose(G(), 0, R::Element, QStringLiteral("Cu"));
    Pump(0);
    EXPECT_TRUE(ListItems(1, R::Element).contains(QStringLiteral("Wide")));
    EXPECT_TRUE(ListItems(0, R::Element).contains(QStringLiteral("Wide")));
    Choose(G(), 1, R::Element, QStringLiteral("Wide"));
    Pump(0);
    ASSERT_TRUE(M().IsWide(M().RegionAt(1)));
    EXPECT_EQ(Text(1, R::Element), "Wide");
    EXPECT_EQ(Text(1, R::Finish), "1000.000");
    EXPECT_EQ(Cell(1, R::Region).GetCellType(), 0) << "no peaks for the wide-scan region";
    EXPECT_FALSE(ListItems(0, R::Element).contains(QStringLiteral("Wide")));
    EXPECT_FALSE(ListItems(2, R::Element).contains(QStringLiteral("Wide")));
    EXPECT_TRUE(ListItems(1, R::Element).contains(QStringLiteral("Wide")));
    EXPECT_EQ(Cell(2, R::Element).GetCellType(), UGTYPE_DROPLIST) << "the next empty column";

    // A peak chosen from the Region list moves the range to it.
    const CPkLibElement* cu = Lib().GetElement("Cu");
    ASSERT_GE(cu->GetNumAugerPeaks(), 2);
    const CPkLibPeak& second = cu->GetAugerPeaks()[1];
    Choose(G(), 0, R::Region, QString::fromStdString(second.m_csRegion));
    Pump(0);
    EXPECT_EQ(M().RegionAt(0)->m_iRegion, cu->GetNumPhotoPeaks() + 1);
    EXPECT_EQ(Text(0, R::Start), FormatPrintf("%.3f", second.m_dPeak - 10));

    // An Auger image never offers it.
    Make(A::AugerImage);
    EXPECT_FALSE(ListItems(0, R::Element).contains(QStringLiteral("Wide")));
    EXPECT_TRUE(ListItems(0, R::Element).contains(QStringLiteral("Cu")));
}

// The picker of the AES page offers Auger lines only, numbered after the
// element's photoelectron lines, and the table follows each choice at once.
TEST_F(AesRgnPage, PeriodicTableOffersAugerLinesAndTheTableFollows)
{
    CuAndWide();
    const CPkLibElement* cu = Lib().GetElement("Cu");
    int cuIndex = -1;
    for (int i = 0; i < Lib().GetSize(); ++i)
        if (Lib().GetElement(i) == cu)
            cuIndex = i;
    const int photo = cu->GetNumPhotoPeaks();
    CAcquirePeriodicTable picker(
        page.get(), M().m_pRgnList, &Lib(), true, [&](const CPkLibElement* e, int p) { page->AddRegion(e, p); },
        [&](int i) { page->OnRegionDeleted(i); });
    picker.Create(page.get());
    int ticked = 0;
    std::unique_ptr<QMenu> menu(picker.BuildMenu(cuIndex, &ticked));
    ASSERT_EQ(menu->actions().size(), cu->GetNumAugerPeaks());
    for (int i = 0; i < cu->GetNumAugerPeaks(); ++i) {
        EXPECT_EQ(menu->actions()[i]->data().toInt(), photo + i);
        EXPECT_EQ(menu->actions()[i]->isChecked(), photo + i == M().RegionAt(0)->m_iRegion) << i;
    }
    EXPECT_EQ(ticked, 1);

    // Its ticked line removes the Cu column: the wide-scan region moves left.
    picker.Choose(cuIndex, M().RegionAt(0)->m_iRegion);
    ASSERT_EQ(M().NumRegions(), 1);
    EXPECT_TRUE(M().IsWide(M().RegionAt(0)));
    EXPECT_EQ(Text(0, R::Element), "Wide");
    EXPECT_EQ(Text(1, R::Element), "");
    EXPECT_FALSE(picker.Button(cuIndex)->isChecked());
    // The first Auger line comes as a new column at the end.
    picker.Choose(cuIndex, photo);
    ASSERT_EQ(M().NumRegions(), 2);
    EXPECT_EQ(M().RegionAt(1)->m_iRegion, photo);
    EXPECT_EQ(Text(1, R::Element), "Cu");
    EXPECT_EQ(Text(1, R::Region), cu->GetAugerPeaks()[0].m_csRegion);
    EXPECT_EQ(Text(1, R::Start), FormatPrintf("%.3f", cu->GetAugerPeaks()[0].m_dPeak - 10));
    EXPECT_TRUE(picker.Button(cuIndex)->isChecked());
    picker.hide();
}

TEST_F(AesRgnPage, TypedValuesAreStoredHoweverTheEditEnds)
{
    CuAndWide();
    TypeInto(0, R::Start, QStringLiteral("12.3456"));
    EXPECT_EQ(M().RegionAt(0)->m_dStart, 12.345);
    EXPECT_EQ(Text(0, R::Start), "12.345");
    TypeInto(0, R::Finish, QStringLiteral("12.5"));
    EXPECT_EQ(Text(0, R::Finish), "12.500");
    TypeInto(0, R::Dwell, QStringLiteral("2x5"));
    EXPECT_EQ(M().RegionAt(0)->m_dDwell, 25) << "letters are refused";
    TypeInto(0, R::Scans, QStringLiteral("3.5"));
    EXPECT_EQ(M().RegionAt(0)->m_nScans, 35) << "no decimal point in whole numbers";
    TypeInto(0, R::Dwell, QStringLiteral("300"), Qt::Key_Escape);
    EXPECT_EQ(M().RegionAt(0)->m_dDwell, 300);
    EXPECT_EQ(Text(0, R::Dwell), "300");
    // The wide-scan region is edited in any column that shows it.
    TypeInto(1, R::Step, QStringLiteral("0.5"));
    EXPECT_EQ(M().GetWidescanRgn()->m_dStep, 0.5);
    // Text in the empty column stays there and changes no region.
    TypeInto(2, R::Dwell, QStringLiteral("7"));
    EXPECT_EQ(M().NumRegions(), 2);

    // The Pass list, then the CRR button: the row shows retard ratios.
    Choose(G(), 0, R::Pass, QStringLiteral("20"));
    EXPECT_EQ(M().RegionAt(0)->m_dAnalyserEnergy, 20);
    QTest::mouseClick(Ctrl<QRadioButton>("id_4291"), Qt::LeftButton, {}, QPoint(6, 6));
    Pump(0);
    EXPECT_EQ(M().m_iAnalyserMode, 1);
    EXPECT_EQ(Text(0, R::Pass), "High");
    EXPECT_EQ(ListItems(0, R::Pass), QStringList({"Low", "High"}));
    Choose(G(), 0, R::Pass, QStringLiteral("Low"));
    EXPECT_EQ(M().RegionAt(0)->GetRetardRatio(), "Low");
    QTest::mouseClick(Ctrl<QRadioButton>("id_4289"), Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_EQ(M().m_iNarrowscanMode, 1);
    EXPECT_EQ(M().m_iWidescanMode, 0);
}

TEST_F(AesRgnPage, PopupMenuCopiesCutsAndPastes)
{
    CuAndWide();
    const QStringList none;
    EXPECT_EQ(Menu(0, R::Start), QStringList({"Cut", "Copy", "Delete"}))
        << "paste needs a region on the clipboard";
    EXPECT_EQ(Menu(2, R::Start), none);

    Menu(1, R::Start, ID_EDIT_COPY);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(data->hasFormat(ClipFormat::MimeType(RegionClip::CF_WDERGN)));
    EXPECT_FALSE(data->hasFormat(ClipFormat::MimeType(RegionClip::CF_NRWRGN)));
    EXPECT_EQ(Menu(0, R::Start), QStringList({"Cut", "Copy", "Delete"})) << "Wide is in the list already";
    EXPECT_EQ(Menu(1, R::Start), QStringList({"Cut", "Copy", "Paste", "Delete"}));

    Menu(0, R::Start, ID_EDIT_COPY);
    data = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(data->hasFormat(ClipFormat::MimeType(RegionClip::CF_NRWRGN)));
    EXPECT_FALSE(data->hasFormat(ClipFormat::MimeType(RegionClip::CF_WDERGN)));
    EXPECT_EQ(Menu(2, R::Start), QStringList({"Paste"}));
    EXPECT_EQ(Menu(3, R::Start), none);

    // Paste onto column 1 inserts there and moves the others right.
    Menu(1, R::Start, ID_EDIT_PASTE);
    ASSERT_EQ(M().NumRegions(), 3);
    EXPECT_EQ(Text(1, R::Element), "Cu");
    EXPECT_EQ(Text(2, R::Element), "Wide");
    EXPECT_NE(M().RegionAt(0), M().RegionAt(1));

    // Cutting the Wide column keeps the region; Wide is offered again.
    CRegion* wide = M().GetWidescanRgn();
    Menu(2, R::Start, ID_EDIT_CUT);
    EXPECT_EQ(M().NumRegions(), 2);
    EXPECT_EQ(M().GetWidescanRgn(), wide);
    EXPECT_EQ(Text(2, R::Element), "");
    EXPECT_TRUE(
        QGuiApplication::clipboard()->mimeData()->hasFormat(ClipFormat::MimeType(RegionClip::CF_WDERGN)));
    EXPECT_TRUE(ListItems(2, R::Element).contains(QStringLiteral("Wide")));
    Menu(0, R::Start, ID_EDIT_CLEAR);
    EXPECT_EQ(M().NumRegions(), 1);
    EXPECT_EQ(Text(0, R::Element), "Cu");

    // A block without a whole region record is refused.
    auto* hostile = new QMimeData;
    hostile->setData(ClipFormat::MimeType(RegionClip::CF_NRWRGN), QByteArray("\xff\xff\xff", 3));
    QGuiApplication::clipboard()->setMimeData(hostile);
    Menu(0, R::Start, ID_EDIT_PASTE);
    EXPECT_EQ(M().NumRegions(), 1);

    // The wide scan's own column is copied, never cut or pasted over.
    setup->m_Exp.m_iExperiment = A::Widescan;
    page->OnExpTypeChange();
    EXPECT_EQ(Menu(0, R::Start), QStringList({"Copy"}));
}

TEST_F(AesRgnPage, CylindricalMirrorAnalyserWorksInCrrOnly)
{
    Make(A::Narrowscan, true);
    EXPECT_FALSE(Ctrl<QRadioButton>("id_4290")->isEnabled());
    EXPECT_FALSE(Ctrl<QRadioButton>("id_4291")->isEnabled());
    EXPECT_TRUE(Ctrl<QRadioButton>("id_4291")->isChecked());
    EXPECT_EQ(M().m_iAnalyserMode, 1);
    EXPECT_EQ(Cell(0, R::Pass).GetCellType(), 0);
    Choose(G(), 0, R::Element, QStringLiteral("Cu"));
    Pump(0);
    EXPECT_EQ(Text(0, R::Pass), "High");
    EXPECT_EQ(Cell(0, R::Pass).GetCellType(), 0);
    EXPECT_EQ(Text(1, R::Pass), "");
    setup->m_Exp.m_iExperiment = A::Widescan;
    page->OnExpTypeChange();
    EXPECT_EQ(Text(0, R::Pass), "High") << "the wide-scan region of a CMA";
}

TEST_F(AesRgnPage, StartMessages)
{
    struct Case
    {
        int exp;
        bool region;
        int repeat;
        const char* text; // null: accepted
    } cases[] = {
        {A::Narrowscan, false, 1, "At least one region must be specified."},
        {A::Narrowscan, true, 0, nullptr},
        {A::Profile, true, 0, "One or more regions has its number of repeats set to zero or above the number of levels"},
        {A::FastProfile, true, 1, nullptr},
        {A::Widescan, false, 1, nullptr},
    };
    for (const Case& c : cases) {
        Make(c.exp);
        if (c.region) {
            Choose(G(), 0, R::Element, QStringLiteral("Cu"));
            Pump(0);
            M().RegionAt(0)->m_iRepeat = c.repeat;
        }
        std::string shown;
        try {
            page->ErrorCheck();
        } catch (const CAcqException& e) {
            shown = e.Error().Text();
        }
        EXPECT_EQ(shown, c.text ? c.text : "") << c.exp;
    }
}

// The page with a narrow scan of three regions, as a picture for a person to
// look at (VELTRANE_SCREENSHOT_DIR names the folder).
TEST_F(AesRgnPage, Screenshot)
{
    const QString dir = qEnvironmentVariable("VELTRANE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELTRANE_SCREENSHOT_DIR not set";
    CuAndWide();
    Choose(G(), 2, R::Element, QStringLiteral("O"));
    Pump(0);
    TypeInto(0, R::Start, QStringLiteral("760.123"));
    Key(Qt::Key_Escape, QStringLiteral("\x1b"));
    page->setWindowTitle(QStringLiteral(" Regions "));
    page->resize(820, 340);
    Pump(50);
    EXPECT_TRUE(page->grab().save(dir + QStringLiteral("/aes-rgn.png")));
}

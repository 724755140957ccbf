// Pictures of the profile and image views for a person to look at: set
// VELTRANE_SCREENSHOT_DIR and run this test (under Xvfb for the real look).
// The documents are tools/mkdemo's fast profile, map, secondary-electron
// image and line scan.

#include "AppFixture.h"

#include "app/ImageView.h"
#include "app/Legend.h"
#include "app/ProfileView.h"
#include "app/image/ImageWnd.h"
#include "app/plot/SpecWnd.h"
#include "framework/ui/MDIChildWnd.h"
#include "res/resource.h"
#include "tools/mkdemo/DemoFile.h"

#include <QPen>

namespace {

TEST_F(AppFixture, ProfileAndImageScreenshots)
{
    const QByteArray dir = qgetenv("VELTRANE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELTRANE_SCREENSHOT_DIR not set";
    CRegistry::m_CMainFrame.m_rWnd = {0, 0, 1000, 760};
    Start();
    Pump(300);
    auto open = [&](const char* name, const std::vector<uint8_t>& bytes) {
        auto* v = OpenView<CView>(name, bytes, 1000, 700);
        if (v)
            v->GetParentFrame()->showMaximized();
        Pump(300);
        return v;
    };

    // The depth profile with a legend of its regions, as the chemical-profile
    // view puts one over its plot.
    auto* profile = dynamic_cast<CProfileView*>(open("fastprofile.vlt", MakeFastProfileFile(20)));
    ASSERT_NE(profile, nullptr);
    CSpecWnd* plot = profile->GetSpecWnd(0);
    CLegend legend;
    QPen pen(Qt::black, 0);
    legend.setParent(plot);
    legend.SetNumEntries(3);
    const char* labels[] = {"C 1s", "O 1s", "Si 2p"};
    for (int i = 0; i < 3; ++i) {
        legend.SetLabel(labels[i], i);
        legend.SetPen(&pen, i);
        legend.SetSymbol(profile->GetSymbol(i), i);
    }
    legend.Reposition(0, plot->width() - 8, plot->height());
    legend.show();
    Pump(200);
    frame->grab().save(dir + "/profile-legend.png");
    legend.setParent(nullptr);
    app->CloseAllDocuments(true);
    Pump(100);

    auto* map = dynamic_cast<CImageView*>(open("map.vlt", MakeMapFile(256)));
    ASSERT_NE(map, nullptr);
    frame->grab().save(dir + "/image-map.png");
    map->SetActiveDispWnd(0);
    map->OnCmdMsg(ID_VIEW_ZOOMIN, nullptr);
    Pump(200);
    frame->grab().save(dir + "/image-map-zoomed.png");
    app->CloseAllDocuments(true);
    Pump(100);

    ASSERT_NE(open("se.vlt", MakeSEImageFile(256)), nullptr);
    frame->grab().save(dir + "/image-se.png");
    app->CloseAllDocuments(true);
    Pump(100);

    auto* line = dynamic_cast<CImageView*>(open("linescan.vlt", MakeLineScanFile(256)));
    ASSERT_NE(line, nullptr);
    frame->grab().save(dir + "/image-linescan.png");
}

} // namespace

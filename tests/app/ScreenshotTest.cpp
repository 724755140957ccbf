// Pictures of the main window for a person to look at: set
// VELTRANE_SCREENSHOT_DIR and run this test (under Xvfb for the real look).

#include "AppFixture.h"

#include <QMenu>
#include <QMenuBar>
#include <QPixmap>

namespace {

TEST_F(AppFixture, Screenshot)
{
    QByteArray dir = qgetenv("VELTRANE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELTRANE_SCREENSHOT_DIR not set";
    CRegistry::m_CMainFrame.m_rWnd = {0, 0, 1000, 700};
    Start();
    Pump(700);
    frame->GetMenus128().value(1)->grab().save(dir + "/menu128-view.png");
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("spectrum.vlt", 0x102).toStdString().c_str()), nullptr);
    ASSERT_NE(app->OpenDocumentFile(WriteDataFile("image.vlt", 0x201).toStdString().c_str()), nullptr);
    Pump(300);
    frame->grab().save(dir + "/main.png");
    int i = 0;
    for (QMenu* m : frame->GetMenus129()) {
        m->popup(frame->mapToGlobal(QPoint(10 + 80 * i, 20)));
        Pump(100);
        m->grab().save(dir + QStringLiteral("/menu129-%1.png").arg(i++).toUtf8());
        m->hide();
    }
}

} // namespace

// Pictures of the spectrum view for a person to look at: set
// VELTRANE_SCREENSHOT_DIR and run this test (under Xvfb for the real look).
// The document is the demonstration depth profile of tools/mkdemo.

#include "AppFixture.h"

#include "app/SpecView.h"
#include "framework/ui/MDIChildWnd.h"
#include "tools/mkdemo/DemoFile.h"

#include "app/TraceDlg.h"
#include "res/resource.h"

#include <QApplication>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace {

TEST_F(AppFixture, SpecViewScreenshot)
{
    const QByteArray dir = qgetenv("VELTRANE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELTRANE_SCREENSHOT_DIR not set";
    CRegistry::m_CMainFrame.m_rWnd = {0, 0, 1200, 800};
    Start();
    Pump(300);
    CDocument* doc = app->OpenDocumentFile(WriteBytes("demo.vlt", MakeDemoFile(5)).toStdString().c_str());
    ASSERT_NE(doc, nullptr);
    auto* view = dynamic_cast<CSpecView*>(doc->GetViews().front());
    ASSERT_NE(view, nullptr);
    view->GetParentFrame()->showMaximized();
    Pump(300);
    frame->grab().save(dir + "/spec-all.png");
    view->SelectRegion(2);
    Pump(100);
    frame->grab().save(dir + "/spec-si2p.png");
    view->SetDispTraces(0, 1, 1);
    view->SetActiveDispWnd(2);
    Pump(100);
    frame->grab().save(dir + "/spec-one-level.png");
    view->SelectRegion(99);
    view->SetDispTrace(CSpecViewBase::AllTraces);
    Pump(100);

    // The level drop-down under the Level button.
    auto* level = frame->findChild<QToolButton*>(QStringLiteral("ID_DISP_%1").arg(ID_DISP_LEVEL));
    ASSERT_NE(level, nullptr);
    bool seen = false;
    QTimer::singleShot(600, [&] {
        QWidget* dlg = QApplication::activeModalWidget();
        seen = dynamic_cast<CTraceDlg*>(dlg) != nullptr;
        if (QScreen* s = QGuiApplication::primaryScreen())
            s->grabWindow(0).copy(0, 0, 800, 200).save(QString::fromUtf8(dir + "/spec-level-dropdown.png"));
        if (dlg)
            dlg->close();
    });
    level->showMenu();
    Pump(300);
    EXPECT_TRUE(seen);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromUtf8(dir + "/spec-print.pdf"));
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&printer);
    const QRect area(QPoint(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    view->OnPrint(&painter, area, printer.resolution(), printer.resolution(), false);
}

} // namespace

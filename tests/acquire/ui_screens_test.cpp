// Every page of the XPS sheet as a picture, at 1280 x 800 and larger, for a
// person to look at (VELTRANE_SCREENSHOT_DIR names the folder).

#include "XpsSheetFixture.h"

#include "acquire/ui/PeriodicTable.h"

#include <QPainter>

TEST_F(XpsSheet, Screenshots)
{
    const QString dir = qEnvironmentVariable("VELTRANE_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELTRANE_SCREENSHOT_DIR not set";
    S().m_Exp.SetExperiment(CAcquireXPS::DepthProfile);
    for (QSize size : {QSize(1280, 800), QSize(1680, 1050)}) {
        frame->resize(size);
        Pump(20);
        const char* names[] = {"experiment", "source", "stage", "profiling", "regions", "imaging"};
        for (int i = 0; i < 6; ++i) {
            Page(i);
            Pump(20);
            sheet->grab().save(dir + QStringLiteral("/xps-%1-%2.png").arg(names[i]).arg(size.width()));
            // A screen of that size as a user sees it: the main window filling
            // it, the sheet at its first place, centred near the bottom.
            QImage screen = frame->grab().toImage();
            QPainter painter(&screen);
            const QPixmap shot = sheet->grab();
            painter.drawPixmap((screen.width() - shot.width()) / 2, screen.height() - shot.height() - 4,
                               shot);
            painter.end();
            screen.save(dir + QStringLiteral("/xps-screen-%1-%2.png").arg(names[i]).arg(size.width()));
        }
        sheet->resize(sheet->width() + 200, sheet->height() + 120);
    }
    std::vector<CRegion*> regions;
    CAcquirePeriodicTable picker(sheet, &regions, &app->m_PkLib, false, nullptr, nullptr);
    picker.Create(sheet);
    Pump(20);
    picker.grab().save(dir + QStringLiteral("/xps-periodic-table.png"));
    picker.hide();
}

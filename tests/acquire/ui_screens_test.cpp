// Every page of the XPS sheet as a picture, at 1280 x 800 and larger, for a
// person to look at (VELTRANE_SCREENSHOT_DIR names the folder).

#include "XpsSheetFixture.h"

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
            frame->grab().save(dir + QStringLiteral("/xps-frame-%1-%2.png").arg(names[i]).arg(size.width()));
        }
        sheet->resize(sheet->width() + 200, sheet->height() + 120);
    }
}

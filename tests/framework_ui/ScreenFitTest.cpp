// Saved window places brought back onto the screens attached now.

#include "framework/ui/ScreenFit.h"

#include <gtest/gtest.h>

TEST(ScreenFit, APlaceOutOfReachComesBackOntoAScreenAndAnOversizedOneIsShrunk)
{
    const QRect small(0, 0, 1024, 740); // an old PC's screen above its task bar
    const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    struct
    {
        const char* what;
        QList<QRect> screens;
        QRect saved, expected;
    } const cases[] = {
        {"wholly on the screen", {small}, {100, 80, 600, 400}, {100, 80, 600, 400}},
        {"hanging over the edge, but in reach", {small}, {600, 300, 800, 600}, {600, 300, 800, 600}},
        {"from a 4K screen, far right and down", {small}, {2900, 1500, 1200, 900}, {0, 0, 1024, 740}},
        {"from a 4K screen, larger than this one", {small}, {100, 100, 2560, 1440}, {0, 0, 1024, 740}},
        {"top edge above the screen", {small}, {100, -300, 500, 400}, {100, 0, 500, 400}},
        {"only a sliver at the right edge", {small}, {1000, 100, 500, 400}, {524, 100, 500, 400}},
        {"on a second monitor now gone", {small}, {2200, 100, 900, 700}, {124, 40, 900, 700}},
        {"on the second monitor still there", two, {2200, 100, 900, 700}, {2200, 100, 900, 700}},
        {"mostly on the second, too tall for it", two, {2000, 50, 800, 1200}, {2000, 0, 800, 1024}},
        {"left of every screen goes to the primary", two, {-1500, 200, 800, 600}, {0, 200, 800, 600}},
        {"nothing saved", {small}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FitOnScreens(c.saved, c.screens), c.expected);
    }
}

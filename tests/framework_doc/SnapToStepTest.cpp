#include "framework/doc/SnapToStep.h"

#include <gtest/gtest.h>

TEST(SnapToStep, RoundsToTheNearestStepOnlyWhenOffIt)
{
    EXPECT_EQ(SnapToStepText(11.3, 2.5, 0.4, 0), "12.5");
    EXPECT_EQ(SnapToStepText(3.0, 0.5, 2.0, 0), std::nullopt);
    EXPECT_EQ(SnapToStepText(3.3, 0.0, 0.0, 0), std::nullopt);
    EXPECT_EQ(SnapToStepText(3.3, 0.5, 2.0, 999999), "3.5"); // missing format: "%g"
}

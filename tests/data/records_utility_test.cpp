// CUtility's worked values.

#include "records_fixture.h"

#include "data/Update.h"
#include "data/Utility.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace rectest;

TEST(RecordsUtility, Reverse)
{
    const unsigned char in[4] = {1, 2, 3, 4};
    int v;
    std::memcpy(&v, in, 4);
    CUtility::Reverse(&v);
    unsigned char out[4];
    std::memcpy(out, &v, 4);
    EXPECT_EQ(std::vector<int>(out, out + 4), (std::vector<int>{4, 3, 2, 1}));
    EXPECT_EQ(CUtility::Reverse(CUtility::Reverse(-123456)), -123456);
}

TEST(RecordsUtility, IntensityOfOnePoint)
{
    struct Row
    {
        int v[3];
        int planes;
        double expected;
    };
    for (const Row& r : {Row{{100, 20, 30}, 3, 75}, Row{{10, 20, 30}, 3, 0}, Row{{100, 120, 0}, 2, 0},
                         Row{{-5, 0, 0}, 1, -5}, Row{{100, 21, 30}, 3, 74.5}}) {
        SCOPED_TRACE(r.expected);
        EXPECT_DOUBLE_EQ(CUtility::CalcIntensity(r.v, r.planes), r.expected);
    }
}

TEST(RecordsUtility, IntensityArrays)
{
    const int pk[3] = {100, -3, 50}, bk1[3] = {21, 0, 10}, bk2[3] = {30, 0, 100};
    int ints[3];
    double reals[3];
    int imin = 0, imax = 0;
    double dmin = 0, dmax = 0;
    CUtility::CalcIntensity(ints, pk, bk1, bk2, 3, &imin, &imax);
    CUtility::CalcIntensity(reals, pk, bk1, bk2, 3, &dmin, &dmax);
    EXPECT_EQ(ints[0], 75); // 51 / 2 truncates to 25
    EXPECT_DOUBLE_EQ(reals[0], 74.5);
    EXPECT_EQ(ints[1], 0);
    EXPECT_EQ(imin, 0);
    EXPECT_EQ(imax, 75);
    EXPECT_DOUBLE_EQ(dmax, 74.5);

    // A first value below 0 is stored as 0 and is the minimum.
    CUtility::CalcIntensity(ints, pk + 1, nullptr, nullptr, 2, &imin, &imax);
    EXPECT_EQ(ints[0], 0);
    EXPECT_EQ(imin, 0);
    EXPECT_EQ(imax, 50);

    // Only the second background present: it is the one subtracted.
    CUtility::CalcIntensity(ints, pk, nullptr, bk2, 1, &imin, &imax);
    EXPECT_EQ(ints[0], 70);
}

TEST(RecordsUtility, IntensityFoldedOverScans)
{
    const int newValue = 20, negative = -3;
    SAcqUpdate later(nullptr, nullptr, 0, 0, 0, 1, 1, 1, 0, 0, WMAPP_ACQ_IMAGEDATA);
    double real = 10;
    int integer = 10;
    CUtility::CalcIntensity(&real, &newValue, nullptr, nullptr, &later);
    CUtility::CalcIntensity(&integer, &newValue, nullptr, nullptr, &later);
    EXPECT_DOUBLE_EQ(real, 15.0);
    EXPECT_EQ(integer, 10);
    CUtility::CalcIntensity(&real, &negative, nullptr, nullptr, &later);
    CUtility::CalcIntensity(&integer, &negative, nullptr, nullptr, &later);
    EXPECT_DOUBLE_EQ(real, 15.0);
    EXPECT_EQ(integer, 10);

    SAcqUpdate first(nullptr, nullptr, 0, 0, 0, 0, 3, 4, 0, 0, WMAPP_ACQ_IMAGEDATA);
    const int pk[2] = {7, 1}, bk[2] = {2, 4};
    double reals[2] = {99, 99};
    CUtility::CalcIntensity(reals, pk, bk, nullptr, &first);
    EXPECT_EQ(reals[0], 5.0);
    EXPECT_EQ(reals[1], 0.0);
}

TEST(RecordsUtility, ThrowError)
{
    CRecordingSink log;
    EXPECT_NO_THROW(CUtility::ThrowError(0, nullptr));
    EXPECT_TRUE(log.m_messages.empty());
    EXPECT_THROW(CUtility::ThrowError(2070, "name.vlt"), CUserException);
    EXPECT_THROW(CUtility::ThrowError(1162), CUserException);
    EXPECT_THROW(CUtility::ThrowError(0, "plain text"), CUserException);
    ASSERT_EQ(log.m_messages.size(), 3u);
    EXPECT_EQ(log.m_messages[0],
              "The file 'name.vlt' contains corrupt or unrecognized data - an erroneous data "
              "block identifier was found.");
    EXPECT_EQ(log.m_messages[1], "Secondary Electron");
    EXPECT_EQ(log.m_messages[2], "plain text");
}

TEST(RecordsUtility, Paths)
{
    EXPECT_EQ(CUtility::GetFilePath("C:\\data\\run.vlt"), "C:\\data\\");
    EXPECT_EQ(CUtility::GetFilePath("/home/u/run.vlt"), "/home/u/");
    EXPECT_EQ(CUtility::GetFilePath("C:run.vlt"), "C:");
    EXPECT_EQ(CUtility::GetFilePath("run.vlt"), "");
    const std::string module = CUtility::GetModulePath();
    ASSERT_FALSE(module.empty());
    EXPECT_EQ(module.back(), '/');
}

TEST(RecordsUtility, ToIntSaturates)
{
    EXPECT_EQ(CUtility::ToInt(-2.9), -2);
    EXPECT_EQ(CUtility::ToInt(1e300), INT32_MAX);
    EXPECT_EQ(CUtility::ToInt(-CUtility::Infinity), INT32_MIN);
    EXPECT_EQ(CUtility::ToInt(std::nan("")), 0);
}

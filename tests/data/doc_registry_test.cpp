#include "data/Registry.h"

#include "platform/Exceptions.h"
#include "platform/Settings.h"
#include "tests/common/RecordingSink.h"
#include "tests/common/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

struct RegistryTestPeer
{
    static int Read()
    {
        CRegistry r;
        return r.Read();
    }
    static void Write()
    {
        CRegistry r;
        r.Write();
    }
    static void Reset() { CRegistry::ResetDefaults(); }
};

namespace {

const char* const KeyPath = "Software\\Kestrin (UK) Ltd\\Veltrane\\1.0";

// The value a fresh program writes, field by field.
const std::vector<uint8_t> DefaultValue = {
    0,   0,   0,   0, 0,   0, 0, 0, 0,  0,  0,  0, 0,   0, 0,   0, // main frame rectangle
    0,   0,   0,   0,                                              // main frame maximised
    0,   0,   0,   0,                                              // child frame maximised
    0,   0,   0,   0,                                              // default extension
    3,   0,   0,   0,                                              // XPS unit BE
    0,   0,   0,   0, 0,   0, 0, 0,                                // full-scale and profile modes
    255, 0,   255, 0, 255, 0, 0, 0, 31, 31, 31, 0,                 // chemical profiling colours
    1,   1,   1,   1, 1,   0, 0, 0,                                // its flags and padding
    3,   0,   0,   0,                                              // its background mode
    1,   0,   1,   1, 1,   1, 1, 1,                                // curve-fitting flags
    0,   0,   0,   0, 255, 0, 0, 0, 63, 63, 63, 0, 255, 0, 255, 0, // curve-fitting colours
    0,   127, 0,   0,                                              // background subtraction colour
};

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegistryTestPeer::Reset();
        SetSettingsLocations(m_dir / "user.ini", m_dir / "machine.ini");
    }
    void TearDown() override
    {
        SetSettingsLocations("", "");
        RegistryTestPeer::Reset();
    }
    void Store(const std::vector<uint8_t>& value)
    {
        CSettingsKey key(CSettingsKey::CurrentUser, KeyPath);
        ASSERT_TRUE(key.WriteBinary("Settings", value));
    }
    std::vector<uint8_t> Stored()
    {
        std::vector<uint8_t> value;
        CSettingsKey(CSettingsKey::CurrentUser, KeyPath).ReadBinary("Settings", value);
        return value;
    }

    CTempDir m_dir;
    CRecordingSink m_sink;
};

TEST_F(RegistryTest, DefaultsAreThe92ByteLayout)
{
    EXPECT_EQ(CRegistry::StoreValue(), DefaultValue);
}

TEST_F(RegistryTest, MissingKeyKeepsDefaultsSilently)
{
    EXPECT_EQ(RegistryTestPeer::Read(), 0);
    EXPECT_EQ(CRegistry::StoreValue(), DefaultValue);
    EXPECT_TRUE(m_sink.m_messages.empty());
}

TEST_F(RegistryTest, WriteThenReadRoundTrips)
{
    CRegistry::m_CMainFrame.m_rWnd = {10, 20, 810, 620};
    CRegistry::m_CMainFrame.m_bMaximized = 1;
    CRegistry::m_CVeltrane.SetDefaultExt("vlt");
    CRegistry::m_CVeltrane.m_DefaultXPSUnits = 2;
    CRegistry::m_COptions.m_iFullscaleMode = 0x201;
    CRegistry::m_COptions.m_iProfileMode = 1;
    CRegistry::m_CChemPrf.m_bMultiShift = true;
    CRegistry::m_CPelomar.m_clrSum = 0x123456;
    RegistryTestPeer::Write();
    EXPECT_TRUE(m_sink.m_messages.empty());
    const std::vector<uint8_t> written = Stored();
    ASSERT_EQ(written.size(), 92u);
    EXPECT_EQ(std::vector<uint8_t>(written.begin() + 24, written.begin() + 28),
              (std::vector<uint8_t>{'v', 'l', 't', 0}));

    RegistryTestPeer::Reset();
    EXPECT_EQ(RegistryTestPeer::Read(), 0);
    EXPECT_EQ(CRegistry::StoreValue(), written);
    EXPECT_EQ(CRegistry::m_CMainFrame.m_rWnd, (CRegistry::SRect{10, 20, 810, 620}));
    EXPECT_EQ(CRegistry::m_CPelomar.m_clrSum, 0x123456u);
}

TEST_F(RegistryTest, ShortValuesFillRecordsInOrder)
{
    // 0 bytes: nothing changes. 40 bytes: the frames, the application and the
    // options are read; the analysis records keep their defaults.
    Store({});
    EXPECT_EQ(RegistryTestPeer::Read(), 0);
    EXPECT_EQ(CRegistry::StoreValue(), DefaultValue);

    std::vector<uint8_t> value(40, 0);
    value[20] = 1;   // child frame maximised
    value[24] = '*'; // default extension
    value[28] = 2;   // KE
    value[36] = 1;   // stacked
    Store(value);
    EXPECT_EQ(RegistryTestPeer::Read(), 0);
    EXPECT_EQ(CRegistry::m_CChildFrame.m_bMaximized, 1);
    EXPECT_TRUE(CRegistry::m_CVeltrane.IsDefaultExt("*"));
    EXPECT_EQ(CRegistry::m_CVeltrane.m_DefaultXPSUnits, 2);
    EXPECT_EQ(CRegistry::m_COptions.m_iProfileMode, 1);
    const std::vector<uint8_t> now = CRegistry::StoreValue();
    EXPECT_TRUE(std::equal(now.begin() + 40, now.end(), DefaultValue.begin() + 40));

    // A value cut inside a record gives that record only the bytes that are there.
    RegistryTestPeer::Reset();
    std::vector<uint8_t> cut(DefaultValue.begin(), DefaultValue.begin() + 42);
    cut[40] = 7;
    cut[41] = 8;
    Store(cut);
    EXPECT_EQ(RegistryTestPeer::Read(), 0);
    EXPECT_EQ(CRegistry::m_CChemPrf.m_clrSpectra, 0xFF0807u);
}

TEST_F(RegistryTest, AFileCutInsideTheValueKeepsTheRecordsBeforeTheCut)
{
    CRegistry::m_CMainFrame.m_rWnd = {100, 120, 900, 720};
    CRegistry::m_CVeltrane.m_DefaultXPSUnits = 2;
    CRegistry::m_COptions.m_iProfileMode = 1;
    CRegistry::m_CPelomar.m_clrSum = 0x123456;
    RegistryTestPeer::Write();
    std::ifstream in(m_dir / "user.ini", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    // Cut halfway through the value's bytes: inside the chemical-profiling record.
    const size_t open = text.find("@ByteArray(");
    ASSERT_NE(open, std::string::npos);
    const size_t cut = open + (text.find(')', open) - open) / 2;
    std::ofstream(m_dir / "user.ini", std::ios::binary) << text.substr(0, cut);

    RegistryTestPeer::Reset();
    EXPECT_EQ(RegistryTestPeer::Read(), 0);
    EXPECT_TRUE(m_sink.m_messages.empty());
    EXPECT_EQ(CRegistry::m_CMainFrame.m_rWnd, (CRegistry::SRect{100, 120, 900, 720}));
    EXPECT_EQ(CRegistry::m_CMainFrame.m_bMaximized, 0);
    EXPECT_EQ(CRegistry::m_CChildFrame.m_bMaximized, 0);
    EXPECT_EQ(CRegistry::m_CVeltrane.m_DefaultXPSUnits, 2);
    EXPECT_EQ(CRegistry::m_COptions.m_iProfileMode, 1);
    const std::vector<uint8_t> now = CRegistry::StoreValue();
    EXPECT_TRUE(std::equal(now.begin() + 64, now.end(), DefaultValue.begin() + 64))
        << "the records after the cut keep their defaults";
}

TEST_F(RegistryTest, LongValuesAreReadUpTo512Bytes)
{
    std::vector<uint8_t> value = DefaultValue;
    value[28] = 2;
    value.resize(512, 0xEE);
    Store(value);
    EXPECT_EQ(RegistryTestPeer::Read(), 0);
    EXPECT_EQ(CRegistry::m_CVeltrane.m_DefaultXPSUnits, 2);
    EXPECT_EQ(CRegistry::m_CBackground.m_clrBackground, 0x007F00u);

    value.resize(600, 0);
    Store(value);
    RegistryTestPeer::Reset();
    EXPECT_THROW(RegistryTestPeer::Read(), CUserException);
    EXPECT_EQ(m_sink.Last(), "An error occurred while reading information from the registry");
}

TEST_F(RegistryTest, UnusableFieldsFallBackToDefaults)
{
    struct Case
    {
        size_t offset;
        std::vector<uint8_t> bytes;
        const char* what;
    };
    const Case cases[] = {
        {28, {1, 0, 0, 0}, "unit Points is no XPS unit"},
        {28, {7, 0, 0, 0}, "unit out of range"},
        {28, {0xFF, 0xFF, 0xFF, 0xFF}, "negative unit"},
        {36, {3, 0, 0, 0}, "profile mode out of range"},
        {36, {0xFF, 0xFF, 0xFF, 0xFF}, "negative profile mode"},
        {32, {0x04, 0x01, 0, 0x80}, "stray high bit"},
        {32, {0x04, 0x09, 0, 0}, "a bit that means nothing"},
        {60, {9, 0, 0, 0}, "background mode out of range"},
        {0, {10, 0, 0, 0, 10, 0, 0, 0, 5, 0, 0, 0, 5, 0, 0, 0}, "inverted rectangle"},
        {0, {0, 0, 0, 0x80, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 100, 0, 0, 0}, "rectangle beyond any screen"},
    };
    for (const Case& c : cases) {
        RegistryTestPeer::Reset();
        std::vector<uint8_t> value = DefaultValue;
        std::copy(c.bytes.begin(), c.bytes.end(), value.begin() + static_cast<long>(c.offset));
        CRegistry::LoadValue(value.data(), value.size());
        EXPECT_EQ(CRegistry::StoreValue(), DefaultValue) << c.what;
    }

    // Accepted values stay as they are.
    std::vector<uint8_t> value = DefaultValue;
    value[32] = 0x04;
    value[33] = 0x01; // 260: minimum zero, maximum of the spectrum
    value[36] = 2;
    const uint8_t rect[16] = {0x9C, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0x20, 3, 0, 0, 0x58, 2, 0, 0};
    std::memcpy(value.data(), rect, sizeof rect); // (-100, 0, 800, 600): a second screen on the left
    CRegistry::LoadValue(value.data(), value.size());
    EXPECT_EQ(CRegistry::StoreValue(), value);

    // A full-scale word short of a minimum or maximum bit is shown without that
    // radio and written back as it was stored.
    for (uint8_t low : {0x00, 0x03}) {
        RegistryTestPeer::Reset();
        value = DefaultValue;
        value[32] = low;
        value[33] = 0x01;
        CRegistry::LoadValue(value.data(), value.size());
        EXPECT_EQ(CRegistry::m_COptions.m_iFullscaleMode, 0x100 | low);
        EXPECT_EQ(CRegistry::StoreValue(), value);
    }
}

TEST_F(RegistryTest, BoolBytesOtherThanOneCountAsSet)
{
    std::vector<uint8_t> value = DefaultValue;
    value[57] = 0x7F; // multi-shift
    value[65] = 2;    // fix ratio
    CRegistry::LoadValue(value.data(), value.size());
    EXPECT_TRUE(CRegistry::m_CChemPrf.m_bMultiShift);
    EXPECT_TRUE(CRegistry::m_CPelomar.m_bFixRatio);
    EXPECT_EQ(CRegistry::StoreValue()[57], 1);
}

TEST_F(RegistryTest, DefaultExtensionIsComparedOverFourBytes)
{
    auto& app = CRegistry::m_CVeltrane;
    app.SetDefaultExt("vlt");
    EXPECT_EQ(std::string(app.m_szDefaultExt, 4), std::string("vlt\0", 4));
    EXPECT_TRUE(app.IsDefaultExt("vlt"));
    EXPECT_FALSE(app.IsDefaultExt("vl"));
    EXPECT_FALSE(app.IsDefaultExt("vltx"));
    app.SetDefaultExt("*");
    EXPECT_EQ(std::string(app.m_szDefaultExt, 4), std::string("*\0\0\0", 4));

    // A stored field of four letters has no terminator; it must not run on.
    std::vector<uint8_t> value = DefaultValue;
    std::memcpy(value.data() + 24, "abcd", 4);
    CRegistry::LoadValue(value.data(), value.size());
    EXPECT_EQ(app.GetDefaultExt(), "abcd");
    EXPECT_TRUE(app.IsDefaultExt("abcd"));
    EXPECT_FALSE(app.IsDefaultExt("abc"));
}

TEST_F(RegistryTest, FailedWriteIsReported)
{
    // The settings file cannot be created where a folder stands.
    std::filesystem::create_directory(m_dir / "user.ini");
    RegistryTestPeer::Write();
    ASSERT_EQ(m_sink.m_messages.size(), 1u);
    EXPECT_EQ(m_sink.Last(), "An error occurred while saving information in the registry");
}

} // namespace

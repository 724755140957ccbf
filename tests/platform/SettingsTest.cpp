#include "platform/Settings.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

const std::string kAppKey = "Software\\Kestrin (UK) Ltd\\Veltrane\\1.0";

class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { SetSettingsLocations(m_user, m_machine); }
    void TearDown() override { SetSettingsLocations("", ""); }
    CTempDir m_dir;
    std::string m_user = m_dir / "user/Veltrane.ini";
    std::string m_machine = m_dir / "machine/Veltrane.ini";
};

} // namespace

TEST_F(SettingsTest, ValuesRoundTripThroughTheFile)
{
    std::vector<uint8_t> binary(92);
    for (size_t k = 0; k < binary.size(); ++k)
        binary[k] = uint8_t(k * 37); // zeros, 0xFF and everything between
    const std::string strings[] = {"plain",
                                   "",
                                   "a, b,c",
                                   "  spaced  ",
                                   "@ByteArray(x)",
                                   "\"quoted\"",
                                   "semi;colon=equals",
                                   "caf\xE9 \x80 \x81",
                                   "line\nbreak",
                                   "back\\slash"};
    {
        CSettingsKey key(CSettingsKey::CurrentUser, kAppKey);
        EXPECT_FALSE(key.KeyExists());
        EXPECT_TRUE(key.WriteBinary("Settings", binary));
        EXPECT_TRUE(key.WriteInt("Negative", -123456));
        EXPECT_TRUE(key.WriteDWord("Big", 0xFFFFFFF0u));
        EXPECT_TRUE(key.WriteDouble("Offset", -0.1));
        EXPECT_TRUE(key.WriteDouble("Huge", 1.7976931348623157e308));
        for (size_t k = 0; k < std::size(strings); ++k)
            EXPECT_TRUE(key.WriteString("S" + std::to_string(k), strings[k]));
        EXPECT_TRUE(key.WriteString("name/with\\separators%", "v"));
        EXPECT_TRUE(key.KeyExists());
    }
    // A fresh key reads what is in the file.
    const CSettingsKey key(CSettingsKey::CurrentUser, kAppKey);
    std::vector<uint8_t> b;
    ASSERT_TRUE(key.ReadBinary("Settings", b));
    EXPECT_EQ(b, binary);
    int32_t i = 0;
    ASSERT_TRUE(key.ReadInt("Negative", i));
    EXPECT_EQ(i, -123456);
    uint32_t d = 0;
    ASSERT_TRUE(key.ReadDWord("Big", d));
    EXPECT_EQ(d, 0xFFFFFFF0u);
    double x = 0;
    ASSERT_TRUE(key.ReadDouble("Offset", x));
    EXPECT_EQ(x, -0.1);
    ASSERT_TRUE(key.ReadDouble("Huge", x));
    EXPECT_EQ(x, 1.7976931348623157e308);
    for (size_t k = 0; k < std::size(strings); ++k) {
        std::string s = "untouched";
        ASSERT_TRUE(key.ReadString("S" + std::to_string(k), s)) << k;
        EXPECT_EQ(s, strings[k]);
    }
    std::string s;
    EXPECT_TRUE(key.ReadString("name/with\\separators%", s));
    EXPECT_EQ(s, "v");
    EXPECT_TRUE(key.HasValue("Settings"));
    auto names = key.EnumValueNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "name/with\\separators%"), names.end());
    EXPECT_EQ(names.size(), 6 + std::size(strings));
    EXPECT_TRUE(key.EnumSubKeyNames().empty()); // the value name made no group
}

TEST_F(SettingsTest, MissingOrMistypedValuesReadAsAbsent)
{
    CSettingsKey key(CSettingsKey::CurrentUser, kAppKey);
    ASSERT_TRUE(key.WriteString("Text", "twelve"));
    int32_t i = 7;
    EXPECT_FALSE(key.ReadInt("Missing", i));
    EXPECT_FALSE(key.ReadInt("Text", i));
    EXPECT_EQ(i, 7);
    double x = 2.5;
    EXPECT_FALSE(key.ReadDouble("Text", x));
    EXPECT_EQ(x, 2.5);
    std::vector<uint8_t> b{1};
    EXPECT_FALSE(key.ReadBinary("Missing", b));
    EXPECT_EQ(b, std::vector<uint8_t>{1});
    EXPECT_FALSE(CSettingsKey(CSettingsKey::CurrentUser, "Software\\Nobody").KeyExists());
    EXPECT_TRUE(key.DeleteValue("Text"));
    EXPECT_FALSE(key.HasValue("Text"));
}

TEST_F(SettingsTest, ABinaryValueCutShortReadsAsTheBytesBeforeTheCut)
{
    // A file written only in part (a full disk, a crash while saving) ends
    // inside the value's line.
    std::vector<uint8_t> plain(92), quoted(92);
    for (size_t k = 0; k < plain.size(); ++k) {
        plain[k] = uint8_t(k * 37 + 200); // escaped and plain bytes, 0xFF and zeros
        if (std::string_view(",;= \"").find(char(plain[k])) != std::string_view::npos)
            plain[k] = 'a';
        quoted[k] = uint8_t(k * 13);
    }
    plain[10] = 0;
    quoted[40] = ','; // a value holding a comma is written between quotes
    for (const std::vector<uint8_t>* value : {&plain, &quoted}) {
        const std::vector<uint8_t>& binary = *value;
        std::filesystem::remove(m_user);
        ASSERT_TRUE(CSettingsKey(CSettingsKey::CurrentUser, kAppKey).WriteBinary("Settings", binary));
        const std::vector<uint8_t> whole = ReadAll(m_user);
        std::string text(whole.begin(), whole.end());
        EXPECT_EQ(text.find("\"@ByteArray(") != std::string::npos, &binary == &quoted) << text;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '"'))
            text.pop_back();
        ASSERT_EQ(text.back(), ')');
        const size_t open = text.find("@ByteArray(");
        ASSERT_NE(open, std::string::npos);

        size_t longest = 0;
        for (size_t cut = open; cut < text.size(); ++cut) {
            WriteAll(m_user, text.substr(0, cut));
            std::vector<uint8_t> b{9, 9, 9};
            ASSERT_TRUE(CSettingsKey(CSettingsKey::CurrentUser, kAppKey).ReadBinary("Settings", b)) << cut;
            ASSERT_LE(b.size(), binary.size()) << cut;
            EXPECT_TRUE(std::equal(b.begin(), b.end(), binary.begin()))
                << "cut after " << cut << " characters";
            longest = std::max(longest, b.size());
        }
        EXPECT_EQ(longest, binary.size() - 1) << "only the byte at the cut is given up";
    }
}

TEST_F(SettingsTest, SubkeysAreGroupsWhicheverSeparatorNamesThem)
{
    {
        CSettingsKey sources(CSettingsKey::CurrentUser, kAppKey + "\\Sources");
        ASSERT_TRUE(sources.WriteInt("Count", 2));
        CSettingsKey vamas = CSettingsKey(CSettingsKey::CurrentUser, kAppKey).OpenSubKey("VAMAS");
        ASSERT_TRUE(vamas.WriteString("Institution", "Lab"));
    }
    const CSettingsKey app(CSettingsKey::CurrentUser, "\\Software/Kestrin (UK) Ltd\\\\Veltrane\\1.0\\");
    EXPECT_TRUE(app.KeyExists());
    auto subkeys = app.EnumSubKeyNames();
    std::sort(subkeys.begin(), subkeys.end());
    EXPECT_EQ(subkeys, (std::vector<std::string>{"Sources", "VAMAS"}));
    int32_t n = 0;
    EXPECT_TRUE(app.OpenSubKey("Sources").ReadInt("Count", n));
    EXPECT_EQ(n, 2);
    // In the INI file every backslash of the path is a level (Qt writes the
    // first level as the section and the rest with backslashes).
    std::ifstream in(m_user);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("[Software]"), std::string::npos) << text;
    EXPECT_NE(text.find("Ltd\\Veltrane\\1.0\\Sources\\Count=2"), std::string::npos) << text;
}

TEST_F(SettingsTest, MachineScopeIsReadOnlyUnlessOpenedForWriting)
{
    std::filesystem::create_directories(m_dir / "machine");
    // As an administrator would write it by hand.
    const std::string handWritten = "[Software/Kestrin%20(UK)%20Ltd/Veltrane/1.0]\n"
                                    "DAU%20Source%20ID=0x200\n"
                                    "Serial=9600,n,8,1\n"
                                    "Energy%20Offset=1.25\n";
    WriteAll(m_machine, handWritten);
    CSettingsKey machine(CSettingsKey::LocalMachine, kAppKey);
    EXPECT_FALSE(machine.IsWritable());
    uint32_t id = 0;
    EXPECT_TRUE(machine.ReadDWord("DAU Source ID", id));
    EXPECT_EQ(id, 0x200u);
    std::string serial;
    EXPECT_TRUE(machine.ReadString("Serial", serial));
    EXPECT_EQ(serial, "9600,n,8,1");
    double offset = 0;
    EXPECT_TRUE(machine.ReadDouble("Energy Offset", offset));
    EXPECT_EQ(offset, 1.25);

    EXPECT_FALSE(machine.WriteInt("DAU Source ID", 0));
    EXPECT_FALSE(machine.DeleteValue("Serial"));
    EXPECT_EQ(ReadAll(m_machine), B(handWritten));

    CSettingsKey writer = CSettingsKey::OpenMachineForWrite(kAppKey);
    EXPECT_TRUE(writer.WriteInt("DAU Source ID", 0x100));
    EXPECT_TRUE(CSettingsKey(CSettingsKey::LocalMachine, kAppKey).ReadDWord("DAU Source ID", id));
    EXPECT_EQ(id, 0x100u);
}

// The configuration dialog writes a few values into a file that a service
// engineer keeps by hand: the comments, blank lines, layout and the values
// the program does not know stay as they were.
TEST_F(SettingsTest, MachineWritesKeepTheHandWrittenFile)
{
    std::filesystem::create_directories(m_dir / "machine");
    const std::string head = "; Stage unit on the USB adapter since the service visit\r\n"
                             "[Software\\Kestrin (UK) Ltd\\Veltrane\\1.0]\r\n"
                             "ASCU Port Name = COM2\r\n"
                             "AES Mode = ";
    const std::string tail = "\r\n"
                             "# the large carousel is fitted\r\n"
                             "Holder=2\r\n"
                             "\r\n"
                             "[Software\\Kestrin (UK) Ltd\\Veltrane\\1.0\\Ports]\r\n"
                             "COM2=/dev/ttyUSB0\r\n";
    WriteAll(m_machine, head + "0" + tail);
    // Older than the writes below, so that a reader never takes its cached copy for the file.
    std::filesystem::last_write_time(m_machine,
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));

    CSettingsKey writer = CSettingsKey::OpenMachineForWrite(kAppKey);
    EXPECT_TRUE(writer.WriteInt("AES Mode", 1));
    const double offset = 2.5;
    EXPECT_TRUE(writer.WriteBinary("Offset", &offset, sizeof offset));
    // The file as it was, but for the changed line and one line more.
    const std::vector<uint8_t> bytes = ReadAll(m_machine);
    std::string text(bytes.begin(), bytes.end());
    const size_t added = text.find("Offset=");
    ASSERT_NE(added, std::string::npos);
    text.erase(added, text.find('\n', added) + 1 - added);
    EXPECT_EQ(text, head + "1" + tail);

    const CSettingsKey machine(CSettingsKey::LocalMachine, kAppKey);
    int32_t mode = 0;
    EXPECT_TRUE(machine.ReadInt("AES Mode", mode));
    EXPECT_EQ(mode, 1);
    std::vector<uint8_t> stored;
    EXPECT_TRUE(machine.ReadBinary("Offset", stored));
    EXPECT_EQ(stored, std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&offset),
                                           reinterpret_cast<const uint8_t*>(&offset) + sizeof offset));
    std::string device;
    EXPECT_TRUE(machine.OpenSubKey("Ports").ReadUtf8String("COM2", device));
    EXPECT_EQ(device, "/dev/ttyUSB0");

    // A file in the layout the settings store writes, with a comment added.
    const std::string storeLayout = "; keep\n[Software]\nKestrin%20%28UK%29%20Ltd\\Veltrane\\1.0\\Holder=2\n";
    WriteAll(m_machine, storeLayout);
    std::filesystem::last_write_time(m_machine,
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    EXPECT_TRUE(CSettingsKey::OpenMachineForWrite(kAppKey).WriteInt("AES Mode", 1));
    const std::vector<uint8_t> after = ReadAll(m_machine);
    EXPECT_EQ(std::string(after.begin(), after.end()),
              storeLayout + "Kestrin%20%28UK%29%20Ltd\\Veltrane\\1.0\\AES%20Mode=1\n");
}

// A line QSettings cannot read, such as a comment after '#', must not make a
// write that reached the file report a failure.
TEST_F(SettingsTest, AnUnreadableLineDoesNotFailTheWrites)
{
    std::filesystem::create_directories(m_dir / "user");
    WriteAll(m_user,
             "# edited by hand\n[Software\\Kestrin (UK) Ltd\\Veltrane\\Recent File List]\nFile1=/a.vlt\n");
    CSettingsKey key(CSettingsKey::CurrentUser, kAppKey);
    EXPECT_TRUE(key.WriteInt("Units", 2));
    EXPECT_EQ(GetProfileString("Recent File List", "File1"), "/a.vlt");
    WriteAll(m_user, "# edited by hand\n[Software\\Kestrin (UK) Ltd\\Veltrane\\1.0]\nUnits=2\n");
    CSettingsKey again(CSettingsKey::CurrentUser, kAppKey);
    EXPECT_TRUE(again.DeleteValue("Units"));
    EXPECT_FALSE(CSettingsKey(CSettingsKey::CurrentUser, kAppKey).HasValue("Units"));
}

TEST_F(SettingsTest, AWriteThatCannotReachTheDiskSaysSo)
{
    WriteAll(m_dir / "blocker", "a file where a folder should be");
    SetSettingsLocations(m_dir / "blocker/user.ini", m_dir / "blocker/machine.ini");
    CSettingsKey user(CSettingsKey::CurrentUser, kAppKey);
    EXPECT_FALSE(user.WriteBinary("Settings", std::vector<uint8_t>(92)));
    EXPECT_FALSE(CSettingsKey::OpenMachineForWrite(kAppKey).WriteInt("X", 1));
}

TEST_F(SettingsTest, ProfileEntries)
{
    EXPECT_EQ(GetProfileString("Recent File List", "File1", "none"), "none");
    EXPECT_EQ(GetProfileInt("Config", "GMT", -99), -99);
    EXPECT_TRUE(WriteProfileString("Recent File List", "File1", "/data/r\xC3\xA9sultat.vlt"));
    EXPECT_TRUE(WriteProfileInt("Config", "GMT", -5));
    EXPECT_EQ(GetProfileString("Recent File List", "File1"), "/data/r\xC3\xA9sultat.vlt");
    EXPECT_EQ(GetProfileInt("Config", "GMT", 0), -5);
    int32_t gmt = 0;
    EXPECT_TRUE(CSettingsKey(CSettingsKey::CurrentUser, std::string(kProfileKeyPath) + "\\Config")
                    .ReadInt("GMT", gmt));
    EXPECT_EQ(gmt, -5);
}

TEST(SettingsLocations, DefaultsFollowTheEnvironment)
{
    SetSettingsLocations("", "");
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const char* savedMachine = std::getenv("VELTRANE_MACHINE_CONFIG");
    const std::string xdg = savedXdg ? savedXdg : "", machine = savedMachine ? savedMachine : "";

    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    setenv("VELTRANE_MACHINE_CONFIG", "/opt/emulated.ini", 1);
    EXPECT_EQ(GetSettingsFile(CSettingsKey::CurrentUser), "/cfg/Kestrin (UK) Ltd/Veltrane.ini");
    EXPECT_EQ(GetSettingsFile(CSettingsKey::LocalMachine), "/opt/emulated.ini");
    setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
    unsetenv("VELTRANE_MACHINE_CONFIG");
    EXPECT_NE(GetSettingsFile(CSettingsKey::CurrentUser).find("/.config/Kestrin (UK) Ltd/Veltrane.ini"),
              std::string::npos);
    EXPECT_EQ(GetSettingsFile(CSettingsKey::LocalMachine), "/etc/xdg/Kestrin (UK) Ltd/Veltrane.ini");

    savedXdg ? setenv("XDG_CONFIG_HOME", xdg.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    savedMachine ? setenv("VELTRANE_MACHINE_CONFIG", machine.c_str(), 1)
                 : unsetenv("VELTRANE_MACHINE_CONFIG");
}

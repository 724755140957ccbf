// Start-up of the instrument configuration: no configuration, the emulated
// configuration shipped for `make run`, and a configuration naming the two
// simulators; and the dialog's values, texts and writes.

#include "TestSupport.h"

#include "instrument/ASCU.h"
#include "instrument/Config.h"
#include "platform/Settings.h"
#include "tools/ascusim/AscuSimulator.h"

#include <cstring>
#include <fstream>

namespace {

struct SMachineFile
{
    explicit SMachineFile(const std::string& file = std::string())
    {
        m_dir = MakeTempDir();
        m_file = file.empty() ? (m_dir / "machine.ini").string() : file;
        SetSettingsLocations((m_dir / "user.ini").string(), m_file);
    }
    ~SMachineFile()
    {
        SetSettingsLocations("", "");
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    CSettingsKey Key() { return CSettingsKey::OpenMachineForWrite(CConfig::KeyPath); }
    std::filesystem::path m_dir;
    std::string m_file;
};

} // namespace

TEST(Config, StartUpWithoutConfiguration)
{
    SMachineFile machine;
    CDAU dau;
    CASCU ascu;
    CConfig config;
    CConfig::SStartup s = config.InitInstance(&ascu, &dau);
    EXPECT_EQ(s.m_dau, CConfig::SStartup::NoDAU);
    EXPECT_EQ(s.m_ascu, CConfig::SStartup::NoASCU);
    EXPECT_TRUE(s.m_queued.empty()); // an empty port name is no error
    EXPECT_FALSE(s.m_bLogFile);
    EXPECT_EQ(CConfig::GetAESMode(), -1);
    EXPECT_EQ(config.GetHolder(), CConfig::Standard);
    EXPECT_EQ(config.GetMaxTilt(), 90);
    EXPECT_EQ(config.GetMinTilt(), 0);
    EXPECT_EQ(CConfig::GetMaxNormalStagePosns(), 6);
    EXPECT_EQ(CConfig::GetMaxMemoryStagePosns(), 20);
    EXPECT_EQ(CConfig::GetMaxLinearStagePosns(), 100);
    EXPECT_FALSE(dau.IsPresent());
    EXPECT_FALSE(ascu.IsConnected());
    CConfig::SDialogTexts t = config.DialogTexts();
    EXPECT_EQ(t.m_csASCUPort, "None");
    EXPECT_FALSE(t.m_bHolderEnabled);
    EXPECT_EQ(t.m_csTechniques, "None");
}

TEST(Config, PhotonEnergiesAreTheValuesLeadingNumbers)
{
    struct
    {
        const char* text;
        double expected;
    } cases[] = {
        {"1253.7", 1253.7},    {"1253.7 eV", 1253.7}, {"  1253.5", 1253.5}, {"+1254", 1254},
        {"eV 1253.7", 1253.6}, {"-5", 1253.6},        {"0", 1253.6},        {"", 1253.6},
    };
    for (const auto& c : cases) {
        SMachineFile machine;
        ASSERT_TRUE(machine.Key().OpenSubKey(CConfig::SourcesKey).WriteString("MgKa", c.text));
        CDAU dau;
        CASCU ascu;
        CConfig config;
        config.InitInstance(&ascu, &dau);
        EXPECT_EQ(CConfig::m_MgKaEnergy, c.expected) << '"' << c.text << '"';
        CConfig::m_MgKaEnergy = 1253.6;
    }
}

TEST(Config, StartUpWithTheEmulatedConfiguration)
{
    SMachineFile machine(VELTRANE_MACHINE_EMULATED);
    CDAU dau;
    CASCU ascu;
    CConfig config;
    CConfig::SStartup s = config.InitInstance(&ascu, &dau);
    EXPECT_EQ(s.m_dau, CConfig::SStartup::EmulatedDAU);
    EXPECT_EQ(s.m_ascu, CConfig::SStartup::EmulatedASCU);
    EXPECT_TRUE(s.m_bASCUConnected);
    EXPECT_TRUE(s.m_queued.empty());
    EXPECT_EQ(dau.GetAnalyser(), CDAU::CMA);
    EXPECT_FALSE(config.UseMultiChannel());
    EXPECT_EQ(ascu.GetStatus(), 0xFDA8);
    EXPECT_EQ(config.GetMinTilt(), -30);
    EXPECT_EQ(config.GetMaxTilt(), 90);
    EXPECT_EQ(CConfig::GetAESMode(), 0);
    CConfig::SDialogTexts t = config.DialogTexts();
    EXPECT_EQ(t.m_csAnalyser, "CMA");
    EXPECT_FALSE(t.m_bDetectorEnabled);
    EXPECT_EQ(t.m_csTechniques, "XPS AES UPS");
    EXPECT_EQ(t.m_csStage, "GSR");
    EXPECT_EQ(t.m_csIonGuns, "MIED HSIG");
    EXPECT_EQ(t.m_csASCUPort, "Emulate");
}

TEST(Config, StartUpWithTheSimulators)
{
    SMachineFile machine;
    CAscuSimulator ascuSim;
    ASSERT_TRUE(ascuSim.Start());
    {
        CSettingsKey key = machine.Key();
        ASSERT_TRUE(key.WriteDWord("DAU Source ID", 1));
        ASSERT_TRUE(key.WriteUtf8String("Arcnet Library", VELTRANE_ARCNET_LIBRARY));
        ASSERT_TRUE(key.WriteString("ASCU Port Name", "COM1"));
        ASSERT_TRUE(key.WriteString("ASCU Port Setup", "baud=9600 parity=N data=8 stop=1"));
        ASSERT_TRUE(key.WriteDWord("Holder", 2));
        ASSERT_TRUE(key.WriteDWord("MultiChannel", 1));
        uint8_t motors[2] = {0x00, 0x34}; // X, Y and tilt enabled
        ASSERT_TRUE(key.WriteBinary("Motors", motors, 2));
        ASSERT_TRUE(key.WriteDouble("Offset", 5.0)); // stored, yet never taken at start-up
        ASSERT_TRUE(key.WriteUtf8String("LogFile", (machine.m_dir / "traffic.log").string()));
        ASSERT_TRUE(key.WriteDWord("Monitor", 3));
        CSettingsKey ports = key.OpenSubKey(CConfig::PortsKey);
        ASSERT_TRUE(ports.WriteUtf8String("COM1", ascuSim.SlavePath()));
        CSettingsKey sources = key.OpenSubKey(CConfig::SourcesKey);
        ASSERT_TRUE(sources.WriteString("AlKa", "1486.7"));
    }
    SDauSimConfig dc;
    dc.m_analyser = "HSA";
    CDauSimulator dauSim(dc);
    CDauSimServer server(dauSim, (machine.m_dir / "dau.sock").string());
    ASSERT_TRUE(server.Start());
    setenv("VELTRANE_ARCNET_SOCKET", server.Path().c_str(), 1);

    CDAU dau;
    CASCU ascu;
    CConfig config;
    CConfig::SStartup s = config.InitInstance(&ascu, &dau);
    EXPECT_EQ(s.m_dau, CConfig::SStartup::RealDAU);
    EXPECT_EQ(s.m_ascu, CConfig::SStartup::RealASCU);
    EXPECT_TRUE(s.m_bASCUConnected);
    EXPECT_TRUE(s.m_queued.empty());
    EXPECT_TRUE(s.m_bLogFile);
    EXPECT_TRUE(s.m_bOpenMonitor);
    EXPECT_TRUE(s.m_bShowMonitor);
    EXPECT_EQ(dau.GetAnalyser(), CDAU::HSA);
    EXPECT_TRUE(config.UseMultiChannel());
    EXPECT_EQ(config.GetHolder(), CConfig::Large);
    EXPECT_EQ(config.GetMaxTilt(), 60);
    EXPECT_EQ(CConfig::GetOffset(), 0); // never taken from the stored value
    EXPECT_EQ(CConfig::m_AlKaEnergy, 1486.7);
    // Loader and rotate are not enabled, so they are moved by hand.
    EXPECT_EQ(ascu.GetManualBits() & CASCU::MotorMask, 0xC000);
    CConfig::m_AlKaEnergy = 1486.6;

    std::ifstream log(machine.m_dir / "traffic.log");
    std::string first;
    std::getline(log, first);
    EXPECT_EQ(first, "-> GETI\r");

    CConfig::SDialogTexts t = config.DialogTexts();
    EXPECT_EQ(t.m_csASCUPort, "COM1");
    EXPECT_TRUE(t.m_bDetectorEnabled);

    // OK: the offset takes effect and everything is written.
    CConfig::SDialogValues v = config.GetDialogValues();
    EXPECT_TRUE(v.m_bMultiple);
    EXPECT_EQ(v.m_dOffset, 0);
    EXPECT_FALSE(CConfig::ValidateOffset(150));
    v.m_dOffset = 5;
    v.m_bLoadMotor = 1;
    v.m_Holder = CConfig::Standard;
    v.m_bMultiple = false;
    EXPECT_EQ(config.Save(v), 0);
    EXPECT_EQ(CConfig::GetOffset(), 5);
    EXPECT_EQ(config.GetMaxTilt(), 90);
    EXPECT_EQ(ascu.GetManualBits() & CASCU::MotorMask, 0x8000);
    CSettingsKey key(CSettingsKey::LocalMachine, CConfig::KeyPath);
    std::vector<uint8_t> motors, offset;
    ASSERT_TRUE(key.ReadBinary("Motors", motors));
    EXPECT_EQ(motors, (std::vector<uint8_t>{0x00, 0x74}));
    ASSERT_TRUE(key.ReadBinary("Offset", offset));
    double d;
    ASSERT_EQ(offset.size(), 8u);
    std::memcpy(&d, offset.data(), 8);
    EXPECT_EQ(d, 5);
    uint32_t multi = 1;
    ASSERT_TRUE(key.ReadDWord("MultiChannel", multi));
    EXPECT_EQ(multi, 0u);
}

TEST(Config, FailuresAtStartUpAreQueued)
{
    SMachineFile machine;
    {
        CSettingsKey key = machine.Key();
        ASSERT_TRUE(key.WriteDWord("DAU Source ID", 1));
        ASSERT_TRUE(key.WriteUtf8String("Arcnet Library", "/nonexistent/libarcnet.so"));
        ASSERT_TRUE(key.WriteString("ASCU Port Name", "COM77"));
    }
    CDAU dau;
    CASCU ascu;
    CConfig config;
    CConfig::SStartup s = config.InitInstance(&ascu, &dau);
    EXPECT_EQ(s.m_queued, (std::vector<unsigned>{2289, 2257}));
    EXPECT_EQ(s.m_dau, CConfig::SStartup::NoDAU);
    EXPECT_EQ(config.GetHolder(), CConfig::NoHolder); // the key exists without "Holder"
    EXPECT_EQ(config.GetMaxTilt(), 60);
    CConfig::SDialogTexts t = config.DialogTexts();
    EXPECT_EQ(t.m_csASCUPort, "COM77 (failed)");
}

TEST(Config, ManualPortAndAFailedWrite)
{
    SMachineFile machine;
    {
        CSettingsKey key = machine.Key();
        ASSERT_TRUE(key.WriteString("ASCU Port Name", "Manual"));
        ASSERT_TRUE(key.WriteDWord("Holder", 1));
    }
    CDAU dau;
    CASCU ascu;
    CConfig config;
    CConfig::SStartup s = config.InitInstance(&ascu, &dau);
    EXPECT_EQ(s.m_ascu, CConfig::SStartup::ManualASCU);
    EXPECT_TRUE(ascu.IsNotInstalled());
    EXPECT_EQ(ascu.GetManualBits(), -1); // motors are not applied
    EXPECT_EQ(config.DialogTexts().m_csASCUPort, "Manual");

    // The configuration file cannot be written (its folder is a file): OK says so.
    std::ofstream(machine.m_dir / "blocker") << "x";
    SetSettingsLocations((machine.m_dir / "user.ini").string(),
                         (machine.m_dir / "blocker" / "machine.ini").string());
    CConfig::SDialogValues v = config.GetDialogValues();
    v.m_dOffset = 2;
    EXPECT_EQ(config.Save(v), 2063);
    EXPECT_EQ(CConfig::GetOffset(), 2); // the value in memory changes anyway
}

// The configuration dialog: what it shows of the links, the validation of the
// offset, and what OK writes to the machine configuration.

#include "InstUiSupport.h"

#include "instrument/ui/ConfigDlg.h"
#include "instrument/ui/ConfigInfo.h"
#include "platform/Strings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

QString Id(unsigned id)
{
    return CConfigDlg::CtrlName(id);
}
QString Text(CConfigDlg& d, unsigned id)
{
    return d.findChild<QLabel*>(Id(id))->text();
}
QLineEdit* Offset(CConfigDlg& d)
{
    return d.findChild<QLineEdit*>(Id(CConfigDlg::IdOffset));
}
QRadioButton* Radio(CConfigDlg& d, unsigned id)
{
    return d.findChild<QRadioButton*>(Id(id));
}
QCheckBox* Check(CConfigDlg& d, unsigned id)
{
    return d.findChild<QCheckBox*>(Id(id));
}
void Click(CConfigDlg& d, const char* button)
{
    d.findChild<QPushButton*>(QString::fromLatin1(button))->click();
}

struct ConfigDlg : ::testing::Test
{
    CRecordingSink sink;
    SMachineConfig machine;
};

TEST_F(ConfigDlg, ShowsTheEmulatedInstrumentAndOkWritesTheOffset)
{
    machine.CopyFrom(VELTRANE_MACHINE_EMULATED);
    {
        CSettingsKey key = machine.Key();
        double stored = 5.0;
        ASSERT_TRUE(key.WriteBinary("Offset", &stored, sizeof stored));
        ASSERT_TRUE(key.WriteDWord("MultiChannel", 1));
    }
    CDAU dau;
    CASCU ascu;
    CConfig config;
    config.InitInstance(&ascu, &dau);
    EXPECT_FALSE(CConfig::UseMultiChannel()) << "forced off with a CMA";

    CConfigDlg dlg(config);
    int r = RunModal<CConfigDlg>(dlg, [&](CConfigDlg& d) {
        EXPECT_EQ(Text(d, CConfigDlg::IdTechniques), "XPS AES UPS");
        EXPECT_EQ(Text(d, CConfigDlg::IdAnalyser), "CMA");
        EXPECT_EQ(Text(d, CConfigDlg::IdStage), "GSR");
        EXPECT_EQ(Text(d, CConfigDlg::IdIonGuns), "MIED HSIG");
        EXPECT_EQ(Text(d, CConfigDlg::IdMonochromator), "None");
        EXPECT_EQ(Text(d, CConfigDlg::IdASCUPort), "Emulate");
        EXPECT_EQ(Text(d, CConfigDlg::IdAPMSDPort), "None");
        // A cylindrical mirror analyser has no choice of detector.
        EXPECT_FALSE(Radio(d, CConfigDlg::IdSingle)->isEnabled());
        EXPECT_FALSE(Radio(d, CConfigDlg::IdMultiple)->isEnabled());
        EXPECT_TRUE(Radio(d, CConfigDlg::IdDirect)->isChecked());
        EXPECT_TRUE(Radio(d, CConfigDlg::IdDirect)->isEnabled());
        EXPECT_TRUE(Radio(d, CConfigDlg::IdStandard)->isChecked());
        EXPECT_TRUE(Radio(d, CConfigDlg::IdStandard)->isEnabled());
        // The stored offset is never the one in force after a start.
        EXPECT_EQ(Offset(d)->text(), "0");
        Offset(d)->setText("5");
        Radio(d, CConfigDlg::IdDifferential)->setChecked(true);
        Click(d, "IDOK");
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_TRUE(sink.Texts().empty());
    EXPECT_EQ(CConfig::GetOffset(), 5);
    EXPECT_EQ(CConfig::GetAESMode(), 1);
    EXPECT_EQ(machine.StoredOffset(), 5);
    CSettingsKey key(CSettingsKey::LocalMachine, CConfig::KeyPath);
    int32_t mode = -1;
    EXPECT_TRUE(key.ReadInt("AES Mode", mode));
    EXPECT_EQ(mode, 1);
    uint32_t multi = 0;
    EXPECT_TRUE(key.ReadDWord("MultiChannel", multi));
    EXPECT_EQ(multi, 1u) << "not written without a detector choice";

    // Shown again, the dialog starts from the values in force.
    RunModal<CConfigDlg>(dlg, [&](CConfigDlg& d) {
        EXPECT_EQ(Offset(d)->text(), "5");
        EXPECT_TRUE(Radio(d, CConfigDlg::IdDifferential)->isChecked());
        Click(d, "IDCANCEL");
    });
}

TEST_F(ConfigDlg, ARefusedOffsetKeepsTheDialogOpenAndNeverTakesEffect)
{
    machine.CopyFrom(VELTRANE_MACHINE_EMULATED);
    CDAU dau;
    CASCU ascu;
    CConfig config;
    config.InitInstance(&ascu, &dau);
    const std::string range = FormatMessageId(61715, {"0", "100"});
    const std::string notANumber = LoadString(61713);
    const struct
    {
        const char* typed;
        std::string message;
    } cases[] = {{"150", range},      {"-0.5", range},  {"100.01", range},
                 {"abc", notANumber}, {"", notANumber}, {"1,5", notANumber}};
    for (const auto& c : cases) {
        sink.Clear();
        CConfigDlg dlg(config);
        int r = RunModal<CConfigDlg>(dlg, [&](CConfigDlg& d) {
            Offset(d)->setText(QString::fromLatin1(c.typed));
            Click(d, "IDOK");
            EXPECT_TRUE(d.isVisible()) << c.typed;
            EXPECT_EQ(d.focusWidget(), Offset(d)) << c.typed;
            Click(d, "IDCANCEL");
        });
        EXPECT_EQ(r, IDCANCEL);
        EXPECT_EQ(sink.Texts(), std::vector<std::string>{c.message}) << c.typed;
        EXPECT_EQ(CConfig::GetOffset(), 0) << c.typed;
        EXPECT_FALSE(CSettingsKey(CSettingsKey::LocalMachine, CConfig::KeyPath).HasValue("Offset"))
            << c.typed;
    }

    // The edges of the range are taken.
    for (const char* typed : {"0", "100", " 42.5 "}) {
        CConfigDlg dlg(config);
        int r = RunModal<CConfigDlg>(dlg, [&](CConfigDlg& d) {
            Offset(d)->setText(QString::fromLatin1(typed));
            Click(d, "IDOK");
        });
        EXPECT_EQ(r, IDOK) << typed;
    }
    EXPECT_EQ(CConfig::GetOffset(), 42.5);
    EXPECT_EQ(machine.StoredOffset(), 42.5);
}

TEST_F(ConfigDlg, AFailedWriteIsReportedAndTheValuesStillTakeEffect)
{
    machine.CopyFrom(VELTRANE_MACHINE_EMULATED);
    CDAU dau;
    CASCU ascu;
    CConfig config;
    config.InitInstance(&ascu, &dau);
    machine.BlockWrites();
    CConfigDlg dlg(config);
    int r = RunModal<CConfigDlg>(dlg, [&](CConfigDlg& d) {
        Offset(d)->setText("2");
        Click(d, "IDOK");
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{LoadString(2063)});
    EXPECT_EQ(CConfig::GetOffset(), 2);
}

TEST_F(ConfigDlg, WithoutAConfigurationNothingIsOfferedButTheOffset)
{
    CDAU dau;
    CASCU ascu;
    CConfig config;
    config.InitInstance(&ascu, &dau);
    CConfigDlg dlg(config);
    int r = RunModal<CConfigDlg>(dlg, [&](CConfigDlg& d) {
        for (unsigned id : {CConfigDlg::IdTechniques, CConfigDlg::IdStage, CConfigDlg::IdIonGuns,
                            CConfigDlg::IdMonochromator, CConfigDlg::IdASCUPort, CConfigDlg::IdAPMSDPort})
            EXPECT_EQ(Text(d, id), "None") << id;
        EXPECT_EQ(Text(d, CConfigDlg::IdAnalyser), "");
        for (unsigned id : {CConfigDlg::IdDirect, CConfigDlg::IdDifferential, CConfigDlg::IdStandard,
                            CConfigDlg::IdLarge, CConfigDlg::IdSingle, CConfigDlg::IdMultiple}) {
            EXPECT_FALSE(Radio(d, id)->isEnabled()) << id;
        }
        // No AES mode is configured: neither radio is checked.
        EXPECT_FALSE(Radio(d, CConfigDlg::IdDirect)->isChecked());
        EXPECT_FALSE(Radio(d, CConfigDlg::IdDifferential)->isChecked());
        for (unsigned id : {CConfigDlg::IdXMotor, CConfigDlg::IdYMotor, CConfigDlg::IdTiltMotor,
                            CConfigDlg::IdLoadMotor, CConfigDlg::IdPhiMotor})
            EXPECT_FALSE(Check(d, id)->isEnabled()) << id;
        Offset(d)->setText("1");
        Click(d, "IDOK");
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(CConfig::GetOffset(), 1);
    EXPECT_EQ(CConfig::GetAESMode(), -1);
    CSettingsKey key(CSettingsKey::LocalMachine, CConfig::KeyPath);
    EXPECT_FALSE(key.HasValue("Motors")) << "no stage unit connected";
    EXPECT_FALSE(key.HasValue("Holder"));
}

TEST_F(ConfigDlg, DetectorMotorsAndHolderOfAConnectedInstrument)
{
    SSimulators sims(machine.settings); // HSA analyser; the stage unit reports every motor
    ASSERT_TRUE(sims.m_bStarted);
    {
        CSettingsKey key = machine.Key();
        ASSERT_TRUE(key.WriteDWord("MultiChannel", 1));
        ASSERT_TRUE(key.WriteDWord("Holder", 2));
        uint8_t motors[2] = {0x00, 0x34}; // X, Y and tilt enabled
        ASSERT_TRUE(key.WriteBinary("Motors", motors, 2));
    }
    CDAU dau;
    CASCU ascu;
    CConfig config;
    CConfig::SStartup s = config.InitInstance(&ascu, &dau);
    ASSERT_EQ(s.m_dau, CConfig::SStartup::RealDAU);
    ASSERT_TRUE(s.m_bASCUConnected);
    ASSERT_EQ(config.GetMaxTilt(), 60);

    CConfigDlg dlg(config);
    int r = RunModal<CConfigDlg>(dlg, [&](CConfigDlg& d) {
        EXPECT_EQ(Text(d, CConfigDlg::IdAnalyser), "HSA");
        EXPECT_EQ(Text(d, CConfigDlg::IdASCUPort), "COM1");
        EXPECT_TRUE(Radio(d, CConfigDlg::IdMultiple)->isEnabled());
        EXPECT_TRUE(Radio(d, CConfigDlg::IdMultiple)->isChecked());
        EXPECT_TRUE(Radio(d, CConfigDlg::IdLarge)->isChecked());
        EXPECT_TRUE(Check(d, CConfigDlg::IdXMotor)->isChecked());
        EXPECT_TRUE(Check(d, CConfigDlg::IdYMotor)->isChecked());
        EXPECT_TRUE(Check(d, CConfigDlg::IdTiltMotor)->isChecked());
        EXPECT_FALSE(Check(d, CConfigDlg::IdLoadMotor)->isChecked());
        EXPECT_FALSE(Check(d, CConfigDlg::IdPhiMotor)->isChecked());
        Radio(d, CConfigDlg::IdSingle)->setChecked(true);
        Radio(d, CConfigDlg::IdStandard)->setChecked(true);
        Check(d, CConfigDlg::IdYMotor)->setChecked(false);
        Check(d, CConfigDlg::IdPhiMotor)->setChecked(true);
        Click(d, "IDOK");
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_TRUE(sink.Texts().empty());
    EXPECT_FALSE(CConfig::UseMultiChannel());
    EXPECT_EQ(config.GetHolder(), CConfig::Standard);
    EXPECT_EQ(config.GetMaxTilt(), 90);
    EXPECT_EQ(config.GetMotorStatus(), 0x1000 | 0x2000 | 0x8000);
    CSettingsKey key(CSettingsKey::LocalMachine, CConfig::KeyPath);
    std::vector<uint8_t> motors;
    ASSERT_TRUE(key.ReadBinary("Motors", motors));
    EXPECT_EQ(motors, (std::vector<uint8_t>{0x00, 0xB0}));
    uint32_t multi = 1, holder = 0;
    EXPECT_TRUE(key.ReadDWord("MultiChannel", multi));
    EXPECT_EQ(multi, 0u);
    EXPECT_TRUE(key.ReadDWord("Holder", holder));
    EXPECT_EQ(holder, 1u);
}

TEST(ConfigInfo, ReportsTheConfigurationAndWhatTheDauFound)
{
    SMachineConfig machine;
    machine.CopyFrom(VELTRANE_MACHINE_EMULATED);
    CDAU dau;
    CASCU ascu;
    CConfig config;
    config.InitInstance(&ascu, &dau);
    CConfigInfo info(&dau);
    EXPECT_TRUE(info.IsCMA());
    EXPECT_TRUE(info.HasMIED());
    EXPECT_EQ(info.GetAESMode(), 0);
    EXPECT_EQ(info.GetOffset(), 0);
    CConfig::SDialogValues v = config.GetDialogValues();
    v.m_dOffset = 3.5;
    v.m_iAESMode = 1;
    config.Save(v);
    EXPECT_EQ(info.GetOffset(), 3.5);
    EXPECT_EQ(info.GetAESMode(), 1);

    CConfigInfo none(nullptr);
    EXPECT_FALSE(none.IsCMA());
    EXPECT_FALSE(none.HasMIED());
}

} // namespace

#pragma once
// The machine-wide instrument configuration: read from the machine scope of
// the settings store at start-up, used to start the DAU link and the stage-unit
// driver, and written back (in part) by the configuration dialog's OK.
//
// This is the toolkit-free half; the dialog lives with the user interface and
// uses GetDialogValues, DialogTexts, ValidateOffset and Save.

#include "instrument/TrafficLog.h"

#include <cstdint>
#include <string>
#include <vector>

class CASCU;
class CDAU;

class CConfig
{
public:
    enum Holder
    {
        NoHolder = 0,
        Standard = 1,
        Large = 2
    };
    enum Mono
    {
        NoMono = 0,
        AlMono = 1,
        SAMono = 2
    };
    // Where the configuration lives (string 1025) and its photon-energy subkey.
    static constexpr const char* KeyPath = "Software\\Kestrin (UK) Ltd\\Veltrane\\1.0";
    static constexpr const char* SourcesKey = "Sources";
    // Device paths for "COMn" names (values "COM1" ... "COM9").
    static constexpr const char* PortsKey = "Ports";

    // What start-up did: the link states, and the messages for the main
    // frame's delayed error report, in the order they arose.
    struct SStartup
    {
        enum DAUState
        {
            NoDAU,
            RealDAU,
            EmulatedDAU
        };
        enum ASCUState
        {
            NoASCU,
            RealASCU,
            ManualASCU,
            EmulatedASCU
        };
        DAUState m_dau = NoDAU;
        ASCUState m_ascu = NoASCU;
        bool m_bASCUConnected = false;
        std::vector<unsigned> m_queued;
        bool m_bOpenMonitor = false;
        bool m_bShowMonitor = false;
        bool m_bLogFile = false;
    };

    // The values the dialog edits.
    struct SDialogValues
    {
        double m_dOffset = 0;
        int m_bYMotor = 0, m_bXMotor = 0, m_bTiltMotor = 0, m_bLoadMotor = 0, m_bPhiMotor = 0;
        int m_iAESMode = -1;
        bool m_bMultiple = false;
        Holder m_Holder = Standard;
    };

    CConfig();
    ~CConfig();
    CConfig(const CConfig&) = delete;
    CConfig& operator=(const CConfig&) = delete;

    SStartup InitInstance(CASCU* pASCU, CDAU* pDAU);

    static double GetOffset();
    static int GetAESMode();
    static int GetMaxLinearStagePosns();
    static int GetMaxMemoryStagePosns();
    static int GetMaxNormalStagePosns();
    static int GetEnergyResol() { return 1000; }
    static double GetMaxEnergy() { return 3000; }
    static double GetMaxStepEnergy() { return 2; }
    static double GetMinStepEnergy() { return 1.0 / GetEnergyResol(); }
    static int GetMaxPts() { return 3000; }
    static double m_MgKaEnergy;
    static double m_AlKaEnergy;

    // Through the instance that started up (static, so callers need no object).
    static bool UseMultiChannel();
    static int GetMaxTilt();
    static int GetMinTilt();

    Holder GetHolder() const { return m_Holder; }
    Mono GetMonochromator() const { return m_Monochromator; }
    uint16_t GetMotorStatus() const { return m_wMotorStatus; }
    const std::string& GetASCUPort() const { return m_csASCUPort; }
    const std::string& GetAPMSDPort() const { return m_csAPMSDPort; }
    CLogFile& GetLogFile() { return m_cfLogFile; }

    // The dialog: its values from the configuration, its read-only texts, the
    // offset's range (0 to 100 eV), and OK's writes. Save returns 0, or 2063
    // when a value could not be written (the values in memory change anyway).
    SDialogValues GetDialogValues() const;
    struct SDialogTexts
    {
        std::string m_csTechniques, m_csAnalyser, m_csStage, m_csIonGuns, m_csMonochromator, m_csASCUPort,
            m_csAPMSDPort;
        bool m_bDetectorEnabled = false; // HSA: the Single/Multiple radios
        bool m_bHolderEnabled = false;
        bool m_bAESModeEnabled = false;
        bool m_bMotorEnabled[5] = {}; // Y, X, tilt, loader, rotate
    };
    SDialogTexts DialogTexts() const;
    static bool ValidateOffset(double offset) { return offset >= 0 && offset <= 100; }
    int Save(const SDialogValues& values);

private:
    static CConfig* pThis;

    double m_dOffset = 0;
    int m_bYMotor = 0, m_bXMotor = 0, m_bTiltMotor = 0, m_bLoadMotor = 0, m_bPhiMotor = 0;
    int m_iAESMode = -1;
    Holder m_Holder = Standard;
    Mono m_Monochromator = NoMono;
    CASCU* m_pASCU = nullptr;
    CDAU* m_pDAU = nullptr;
    std::string m_csASCUPort;
    std::string m_csAPMSDPort;
    CLogFile m_cfLogFile;
    uint32_t m_dwMultiChannel = 0;
    uint16_t m_wMotorStatus = 0xFFFF;
    int m_nMaxLinearStagePosns = 100, m_nMaxMemoryStagePosns = 20, m_nMaxNormalStagePosns = 6;
    int m_nMaxTilt = 90, m_nMinTilt = 0;
};

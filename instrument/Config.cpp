#include "instrument/Config.h"

#include "instrument/ASCU.h"
#include "instrument/DAU.h"
#include "platform/Settings.h"
#include "platform/Strings.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

CConfig* CConfig::pThis = nullptr;
double CConfig::m_MgKaEnergy = 1253.6;
double CConfig::m_AlKaEnergy = 1486.6;

namespace {

constexpr uint16_t kMotorBits[5] = {0x400, 0x1000, 0x2000, 0x4000, 0x8000}; // Y, X, tilt, loader, rotate

// The value's leading decimal number, so "1253.7 eV" is 1253.7. A value
// without one, or one that is no photon energy (not above 0), is ignored
// rather than taken as 0.
bool ParseEnergy(const std::string& text, double& v)
{
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (p < end && *p == '+')
        ++p;
    double d;
    auto r = std::from_chars(p, end, d);
    if (r.ec != std::errc() || !std::isfinite(d) || d <= 0)
        return false;
    v = d;
    return true;
}

} // namespace

CConfig::CConfig() = default;

CConfig::~CConfig()
{
    if (pThis == this)
        pThis = nullptr;
}

double CConfig::GetOffset()
{
    return pThis ? pThis->m_dOffset : 0;
}

int CConfig::GetAESMode()
{
    return pThis ? pThis->m_iAESMode : -1;
}

int CConfig::GetMaxLinearStagePosns()
{
    return pThis ? pThis->m_nMaxLinearStagePosns : 100;
}

int CConfig::GetMaxMemoryStagePosns()
{
    return pThis ? pThis->m_nMaxMemoryStagePosns : 20;
}

int CConfig::GetMaxNormalStagePosns()
{
    return pThis ? pThis->m_nMaxNormalStagePosns : 6;
}

bool CConfig::UseMultiChannel()
{
    return pThis && pThis->m_dwMultiChannel != 0;
}

// Before start-up: the limits of the standard holder on a stage without tilt below 0.
int CConfig::GetMaxTilt()
{
    return pThis ? pThis->m_nMaxTilt : 90;
}

int CConfig::GetMinTilt()
{
    return pThis ? pThis->m_nMinTilt : 0;
}

CConfig::SStartup CConfig::InitInstance(CASCU* pASCU, CDAU* pDAU)
{
    SStartup s;
    m_pASCU = pASCU;
    m_pDAU = pDAU;
    pThis = this;

    // The machine scope is only read here; it is never created or changed.
    CSettingsKey key(CSettingsKey::LocalMachine, KeyPath);
    std::string settingsText;
    if (key.KeyExists()) {
        key.ReadString("ASCU Port Name", m_csASCUPort);
        key.ReadString("ASCU Port Setup", settingsText);
        std::vector<uint8_t> motors;
        if (key.ReadBinary("Motors", motors) && motors.size() == 2)
            m_wMotorStatus = static_cast<uint16_t>(motors[0] | (motors[1] << 8));
        m_bXMotor = (m_wMotorStatus & 0x1000) != 0;
        m_bYMotor = (m_wMotorStatus & 0x400) != 0;
        m_bTiltMotor = (m_wMotorStatus & 0x2000) != 0;
        m_bLoadMotor = (m_wMotorStatus & 0x4000) != 0;
        m_bPhiMotor = (m_wMotorStatus & 0x8000) != 0;
        uint32_t v = 0;
        m_dwMultiChannel = key.ReadDWord("MultiChannel", v) ? v : 0;
        v = 0;
        key.ReadDWord("Monochromator", v);
        m_Monochromator = v <= SAMono ? static_cast<Mono>(v) : NoMono;
        key.ReadString("AP-MSD Port Name", m_csAPMSDPort);
        int32_t mode = 0;
        m_iAESMode = key.ReadInt("AES Mode", mode) ? mode : 0;
        uint32_t holder = 0;
        key.ReadDWord("Holder", holder);
        m_Holder = holder <= Large ? static_cast<Holder>(holder) : NoHolder;
        std::string logFile;
        if (key.ReadUtf8String("LogFile", logFile) && !logFile.empty() && m_cfLogFile.Create(logFile)) {
            pDAU->SetLogFile(&m_cfLogFile);
            pASCU->SetLogFile(&m_cfLogFile);
            s.m_bLogFile = true;
        }
        uint32_t source = 0x100;
        key.ReadDWord("DAU Source ID", source);
        pDAU->SetSourceID(source);
        std::string library;
        if (key.ReadUtf8String("Arcnet Library", library) && !library.empty())
            pDAU->SetLibraryName(library);
        uint32_t monitor = 0;
        if (key.ReadDWord("Monitor", monitor) && monitor != 0) {
            s.m_bOpenMonitor = true;
            s.m_bShowMonitor = (monitor & 0x2) != 0;
        }
        CSettingsKey ports = key.OpenSubKey(PortsKey);
        for (char d = '0'; d <= '9'; ++d) {
            std::string name = std::string("COM") + d, device;
            if (ports.ReadUtf8String(name, device) && !device.empty())
                pASCU->MapPort(name, device);
        }
    } else {
        pDAU->SetSourceID(0x100);
    }
    CSettingsKey sources(CSettingsKey::LocalMachine, std::string(KeyPath) + "\\" + SourcesKey);
    std::string text;
    double e;
    if (sources.ReadString("AlKa", text) && ParseEnergy(text, e))
        m_AlKaEnergy = e;
    text.clear();
    if (sources.ReadString("MgKa", text) && ParseEnergy(text, e))
        m_MgKaEnergy = e;

    int r = pDAU->Open();
    if (r == 0)
        r = pDAU->GetConfiguration();
    if (r != 0)
        s.m_queued.push_back(static_cast<unsigned>(r));
    s.m_dau = !pDAU->IsPresent()    ? SStartup::NoDAU
              : pDAU->IsEmulating() ? SStartup::EmulatedDAU
                                    : SStartup::RealDAU;
    if (pDAU->Analyser(CDAU::CMA))
        m_dwMultiChannel = 0;

    if (m_csASCUPort == "Manual") {
        pASCU->SetNotInstalled();
        s.m_ascu = SStartup::ManualASCU;
    } else if (m_csASCUPort == "Emulate") {
        pASCU->SetEmulate(true);
        s.m_ascu = SStartup::EmulatedASCU;
    } else if (!m_csASCUPort.empty()) {
        s.m_ascu = SStartup::RealASCU;
    }
    r = pASCU->Open(m_csASCUPort, settingsText);
    if (r != 0 && r != 2241 && r != 2251)
        s.m_queued.push_back(static_cast<unsigned>(r));
    if (m_csASCUPort != "Manual")
        pASCU->SetMotors(m_wMotorStatus);
    s.m_bASCUConnected = pASCU->IsConnected();

    m_nMaxLinearStagePosns = 100;
    m_nMaxMemoryStagePosns = 20;
    m_nMaxNormalStagePosns = 6;
    m_nMaxTilt = m_Holder == Standard ? 90 : 60;
    m_nMinTilt = (pASCU->GetStatus() & 0x8) ? -30 : 0;
    // The energy offset in force is 0 at every start, whatever "Offset" holds.
    m_dOffset = 0;
    return s;
}

CConfig::SDialogValues CConfig::GetDialogValues() const
{
    SDialogValues v;
    v.m_dOffset = m_dOffset;
    v.m_bYMotor = (m_wMotorStatus & 0x400) != 0;
    v.m_bXMotor = (m_wMotorStatus & 0x1000) != 0;
    v.m_bTiltMotor = (m_wMotorStatus & 0x2000) != 0;
    v.m_bLoadMotor = (m_wMotorStatus & 0x4000) != 0;
    v.m_bPhiMotor = (m_wMotorStatus & 0x8000) != 0;
    v.m_iAESMode = m_iAESMode;
    v.m_bMultiple = m_dwMultiChannel != 0;
    v.m_Holder = m_Holder == Large ? Large : Standard;
    return v;
}

CConfig::SDialogTexts CConfig::DialogTexts() const
{
    SDialogTexts t;
    const std::string blank = LoadString(1150);
    if (m_pDAU) {
        if (m_pDAU->TechniqueValid(CDAU::XPS))
            t.m_csTechniques += LoadString(1344) + blank;
        if (m_pDAU->TechniqueValid(CDAU::AES))
            t.m_csTechniques += LoadString(1345) + blank;
        if (m_pDAU->TechniqueValid(CDAU::UPS))
            t.m_csTechniques += LoadString(1346);
        if (m_pDAU->Analyser(CDAU::CMA))
            t.m_csAnalyser = LoadString(1347);
        else if (m_pDAU->Analyser(CDAU::HSA)) {
            t.m_csAnalyser = LoadString(1348);
            t.m_bDetectorEnabled = true;
        }
        t.m_bAESModeEnabled = m_pDAU->TechniqueValid(CDAU::AES) != 0;
    }
    if (t.m_csTechniques.empty())
        t.m_csTechniques = LoadString(1148);
    int stage = m_pASCU ? m_pASCU->GetStageType() : 0;
    t.m_csStage = LoadString(1349 + static_cast<unsigned>(stage >= 0 && stage <= 3 ? stage : 0));
    bool mied = (m_pASCU && m_pASCU->HasIonGun(CASCU::MIED)) || (m_pDAU && m_pDAU->HasMIED());
    bool hsig = m_pASCU && m_pASCU->HasIonGun(CASCU::HSIG);
    if (mied)
        t.m_csIonGuns += LoadString(1353) + blank;
    if (hsig)
        t.m_csIonGuns += LoadString(1354);
    if (!mied && !hsig)
        t.m_csIonGuns = LoadString(1148);
    for (int i = 0; i < 5; ++i)
        t.m_bMotorEnabled[i] = m_pASCU && (m_pASCU->GetMotorStatus() & kMotorBits[i]);
    t.m_csMonochromator = LoadString(m_Monochromator == AlMono   ? 1356
                                     : m_Monochromator == SAMono ? 1358
                                                                 : 1148);
    if (m_csASCUPort.empty()) {
        t.m_csASCUPort = LoadString(1148);
    } else {
        t.m_bHolderEnabled = true;
        t.m_csASCUPort = m_csASCUPort;
        if (m_pASCU && !m_pASCU->IsNotInstalled()) {
            if (!m_pASCU->IsOpen() && !m_pASCU->IsConnected())
                t.m_csASCUPort += LoadString(1151);
            else if (m_pASCU->IsOpen() && !m_pASCU->IsConnected())
                t.m_csASCUPort += LoadString(1149);
        }
    }
    t.m_csAPMSDPort = m_csAPMSDPort.empty() ? LoadString(1148) : m_csAPMSDPort;
    return t;
}

int CConfig::Save(const SDialogValues& v)
{
    m_dOffset = v.m_dOffset;
    m_iAESMode = v.m_iAESMode;
    CSettingsKey key = CSettingsKey::OpenMachineForWrite(KeyPath);
    bool ok = key.WriteInt("AES Mode", m_iAESMode);
    ok = key.WriteBinary("Offset", &m_dOffset, sizeof m_dOffset) && ok;
    if (m_pDAU && m_pDAU->Analyser(CDAU::HSA)) {
        m_dwMultiChannel = v.m_bMultiple;
        ok = key.WriteDWord("MultiChannel", m_dwMultiChannel) && ok;
    }
    if (m_pASCU && m_pASCU->IsConnected()) {
        m_bYMotor = v.m_bYMotor;
        m_bXMotor = v.m_bXMotor;
        m_bTiltMotor = v.m_bTiltMotor;
        m_bLoadMotor = v.m_bLoadMotor;
        m_bPhiMotor = v.m_bPhiMotor;
        uint16_t w = m_wMotorStatus & ~0xF400;
        w |= (m_bXMotor ? 0x1000 : 0) | (m_bYMotor ? 0x400 : 0) | (m_bTiltMotor ? 0x2000 : 0) |
             (m_bLoadMotor ? 0x4000 : 0) | (m_bPhiMotor ? 0x8000 : 0);
        m_wMotorStatus = w;
        uint8_t bytes[2] = {static_cast<uint8_t>(w & 0xFF), static_cast<uint8_t>(w >> 8)};
        ok = key.WriteBinary("Motors", bytes, 2) && ok;
        m_pASCU->SetMotors(w);
        m_Holder = v.m_Holder;
        ok = key.WriteDWord("Holder", static_cast<uint32_t>(m_Holder)) && ok;
        m_nMaxTilt = m_Holder == Standard ? 90 : 60;
    }
    return ok ? 0 : 2063;
}

#include "instrument/ASCU.h"

#include "instrument/TrafficLog.h"
#include "platform/Clock.h"
#include "platform/MessageSink.h"
#include "platform/Strings.h"

#include <cmath>
#include <cstring>

namespace {

std::string Caption()
{
    return LoadString(1376);
}

int Prompt(const std::string& text)
{
    AfxMessageBox(text, MB_OK);
    return 0;
}

} // namespace

CASCU::CASCU() = default;
CASCU::~CASCU() = default;

void CASCU::SetNotInstalled()
{
    m_iManual = -1;
    m_iStageType = 1;
}

void CASCU::GetMapArea(double* pArea) const
{
    std::memcpy(pArea, m_dMapArea, sizeof m_dMapArea);
}

int CASCU::OpenPort(const std::string& port)
{
    return CComm::Open(port, 1024, 1024, 2048);
}

int CASCU::Open(const std::string& port, const std::string& settings)
{
    if (!m_bEmulate && !IsNotInstalled()) {
        int r = OpenPort(port);
        if (r)
            return r;
        SSerialSettings dcb;
        if ((r = GetState(dcb)) != 0 || (r = BuildDCB(settings, dcb)) != 0)
            return r;
        dcb.m_cEventChar = '\n';
        if ((r = SetState(dcb)) != 0)
            return r;
    }
    int r = Command("ID 2", 500, 50);
    if (r == 0 && !IsNotInstalled())
        m_bConnected = 1;
    return r;
}

void CASCU::SetMotors(uint16_t motors)
{
    int cur = m_iManual;
    if (cur == -1)
        return;
    int v = (cur & ~MotorMask) | (~m_wMotors & MotorMask) | (~motors & MotorMask);
    if (v != cur)
        m_iManual.exchange(v);
}

void CASCU::SetAutoEtch(bool bAuto)
{
    int cur = m_iManual;
    if (cur == -1)
        return;
    m_iManual.exchange(bAuto ? (cur & ~(ManualHSIG | ManualMIED)) : (cur | ManualHSIG | ManualMIED));
}

void CASCU::SetMonitorWnd(CTrafficMonitor* pMonitor)
{
    // Its own lock, not the link's: the window must not wait for a reply.
    std::lock_guard lock(m_monitorLock);
    m_hMonitor = pMonitor;
}

void CASCU::Log(const std::string& fileText, std::string monitorLine, bool bCommand)
{
    if (m_pLogFile)
        m_pLogFile->Write(fileText);
    std::lock_guard lock(m_monitorLock);
    if (m_hMonitor)
        m_hMonitor->Append(std::move(monitorLine), bCommand);
}

int CASCU::Command(const char* text, int replyTimeoutMs, unsigned minGapMs)
{
    std::lock_guard lock(m_lock);
    if (!text)
        text = "";
    size_t n = std::strlen(text);
    // The unit takes at most 124 characters; a longer text is never cut short.
    if (n > MaxCommandLength)
        return 2247;
    m_szLastCommand.assign(text, n);
    m_szLastCommand += "\r\n";
    std::memset(m_iLastCommandKey, 0, 4);
    std::memcpy(m_iLastCommandKey, text, std::min<size_t>(n, 4));
    if (IsNotInstalled())
        return 0;
    Log("=> " + m_szLastCommand, "=> " + std::string(text), true);
    if (!m_bEmulate) {
        IClock* clock = GetClock();
        if (m_bWritten) {
            uint32_t since = static_cast<uint32_t>(clock->TickCount() - m_lastWritten);
            if (since < minGapMs)
                clock->Sleep(minGapMs - since);
        }
        // Nothing unread belongs to this command: a reply that came after its
        // command gave up waiting must not pass for this one's.
        CComm::Purge();
        int r = CComm::Write(m_szLastCommand.c_str(), m_szLastCommand.size());
        // The gap runs from the moment the command went out.
        m_lastWritten = clock->TickCount();
        m_bWritten = true;
        if (r)
            return r;
    }
    return ReadReply(replyTimeoutMs);
}

int CASCU::ReadReply(int timeoutMs)
{
    std::lock_guard lock(m_lock);
    char buf[128];
    size_t count = 0;
    int r = m_bEmulate ? EmulateReadReply(buf, sizeof buf, count, timeoutMs)
                       : CComm::Read(buf, sizeof buf, count, timeoutMs);
    // A port error is the port's own; only silence is "no response".
    if (r && r != 2251 && count == 0)
        return r;
    if (count == 0)
        return 2305;
    if (r)
        return r;
    std::string_view line(buf, count);
    std::string shown(line.substr(0, line.find_first_of("\r\n")));
    Log("<= " + std::string(line), "<= " + shown, false);

    SAscuReply reply;
    r = ParseAscuReply(line, m_szLastCommand, reply);
    if (r == 0 && reply.m_kind == SAscuReply::MapArea) {
        std::memcpy(m_dMapArea, reply.m_dArea, sizeof m_dMapArea);
    } else if (r == 0 && reply.m_kind == SAscuReply::Identification) {
        m_wStatus = reply.m_wStatus;
        m_bConnected = 1;
        m_wMotors = static_cast<uint16_t>(m_wStatus & MotorMask);
        m_iStageType = (m_wStatus & 0x20) ? 2 : (m_wStatus & 0x40) ? 3 : 1;
        int cur = m_iManual;
        if (cur != -1)
            m_iManual.exchange(cur | (~m_wMotors & MotorMask));
        m_iIonGuns = ((m_wStatus & 0x800) ? MIED : 0) | ((m_wStatus & 0x100) ? HSIG : 0);
    }
    return r;
}

int CASCU::EmulateReadReply(char* buffer, size_t size, size_t& count, int /*timeoutMs*/)
{
    std::string key(m_iLastCommandKey, strnlen(m_iLastCommandKey, 4));
    std::string reply;
    if (key == "ID 2") {
        reply = FormatPrintf("ID 2,%4X\r\n", 0xFDA8u);
    } else if (key == "MD M") {
        reply = "SA (22,7)-(36,9)\r\n";
    } else if (key == "GP (") {
        reply = m_szLastCommand;
        reply[0] = 'C';
    } else if (key == "EX 1" || key == "EX 6" || key == "EX 7") {
        reply = "RP 1\r\n";
    } else {
        count = 0;
        buffer[0] = 0;
        return 2251;
    }
    count = std::min(reply.size(), size - 1);
    std::memcpy(buffer, reply.data(), count);
    buffer[count] = 0;
    return 0;
}

int CASCU::MotionPattern(const std::string& setup)
{
    std::lock_guard lock(m_lock);
    int r = Command(setup.c_str(), 50, 50);
    if (r == 2305)
        return Command("EX 1", -1, 50);
    return r == 0 ? 2304 : r;
}

int CASCU::GetAxisCode(int motor)
{
    switch (motor) {
    case MotorX:
        return 1;
    case MotorTilt:
        return 2;
    case MotorLoader:
        return 3;
    case MotorRotate:
        return 4;
    default:
        return 0;
    }
}

unsigned CASCU::GetAxisName(int motor)
{
    switch (motor) {
    case MotorX:
        return 1377;
    case MotorTilt:
        return 1379;
    case MotorLoader:
        return 1380;
    case MotorRotate:
        return 1381;
    default:
        return 1148;
    }
}

int CASCU::SetMode(int mode, int count)
{
    if (IsNotInstalled())
        return 0;
    std::string cmd = FormatPrintf("MD %i,%i", mode, count);
    if (mode == 2)
        cmd += ",1";
    else if (mode == 5)
        cmd += ",2";
    int r = Command(cmd.c_str(), 50, 50);
    return r == 2305 ? 0 : r;
}

int CASCU::ReadMapArea()
{
    return IsNotInstalled() ? 0 : Command("MD MP", 10000, 50);
}

int CASCU::EndMode()
{
    return IsNotInstalled() ? 0 : Command("EX 6", -1, 50);
}

int CASCU::SetSwitch(int number, bool bOn)
{
    if (IsNotInstalled())
        return 0;
    return Command(FormatPrintf("EX 7,%i", 2 * number + (bOn ? 1 : 2)).c_str(), -1, 50);
}

int CASCU::EtchMIED(int seconds)
{
    if (seconds <= 0)
        return 0;
    if (IsManual(ManualMIED))
        return Prompt(FormatPrintf(LoadString(5146).c_str(), Caption().c_str(), seconds));
    return MotionPattern(FormatPrintf("SP 2,1,%i", seconds));
}

int CASCU::EtchHSIG(int position, int seconds, int preset, int dutyCycle)
{
    if (seconds <= 0)
        return 0;
    if (IsManual(ManualHSIG))
        return Prompt(FormatPrintf(LoadString(5146).c_str(), Caption().c_str(), seconds));
    // Each step is tried even when an earlier one failed, so the specimen
    // always comes back to the analysis point; the last step's outcome counts.
    const std::string steps[3] = {FormatPrintf("DR 3,%i,6", position),
                                  FormatPrintf("SP 1,1,%i,%i,1,%i", seconds, preset, dutyCycle),
                                  FormatPrintf("DR 3,%i,2", position)};
    // Only a set-up command that the unit answers as if it had finished ends
    // the sequence; an error reply, an unreadable one or a failed "EX 1" does
    // not, or the specimen would be left at the etching position.
    std::lock_guard lock(m_lock);
    int r = 0;
    for (const std::string& step : steps) {
        r = Command(step.c_str(), 50, 50);
        if (r == 0)
            return 2304;
        if (r == 2305)
            r = Command("EX 1", -1, 50);
    }
    return r;
}

int CASCU::MoveToMemory(int position)
{
    if (IsManual(MotorX))
        return Prompt(FormatPrintf(LoadString(5138).c_str(), Caption().c_str(), position));
    return MotionPattern(FormatPrintf("MV %i", position));
}

int CASCU::MoveToLinePoint(int point, int count)
{
    if (IsManual(MotorX))
        return Prompt(FormatPrintf(LoadString(5139).c_str(), Caption().c_str(), point));
    return MotionPattern(FormatPrintf("LI %i,%i", point, count));
}

int CASCU::DriveAxis(int motor, int specimen, bool bToAnalysisPoint)
{
    if (IsManual(motor)) {
        std::string axis = LoadString(GetAxisName(motor));
        if (bToAnalysisPoint)
            return Prompt(FormatPrintf(LoadString(5137).c_str(), Caption().c_str(), axis.c_str(), specimen));
        return Prompt(FormatPrintf(LoadString(5136).c_str(), Caption().c_str(), specimen, axis.c_str()));
    }
    return MotionPattern(FormatPrintf("DR %i,%i,%i", GetAxisCode(motor), specimen, bToAnalysisPoint ? 2 : 1));
}

int CASCU::Drive(int motor, int number, int mode, double distance)
{
    switch (mode) {
    case 1:
        return DriveAxis(motor, number, false);
    case 2:
        return DriveAxis(motor, number, true);
    case 6:
        if (motor != MotorLoader)
            return 0;
        if (IsManual(MotorLoader))
            return Prompt(FormatPrintf(LoadString(5147).c_str(), Caption().c_str(), number));
        return MotionPattern(FormatPrintf("DR %i,%i,6", GetAxisCode(motor), number));
    case 7:
        return DriveRelative(motor, number, distance);
    default:
        return 0;
    }
}

int CASCU::DriveRelative(int motor, int number, double distance)
{
    if (distance == 0)
        return 0;
    if (IsManual(motor)) {
        unsigned id;
        bool one = distance == 1;
        if (motor == MotorX)
            id = (m_wStatus & 0x20) ? (one ? 5140 : 5141) : (one ? 5142 : 5143);
        else if (motor == MotorTilt || motor == MotorRotate)
            id = one ? 5144 : 5145;
        else
            return 0;
        std::string axis = LoadString(GetAxisName(motor));
        return Prompt(FormatPrintf(LoadString(id).c_str(), Caption().c_str(), axis.c_str(), distance));
    }
    double v = distance;
    bool fine = (m_wStatus & 0x8) != 0;
    switch (motor) {
    case MotorX:
        if (m_wStatus & 0x20)
            v = distance * 50;
        break;
    case MotorTilt:
        v = fine ? std::floor(distance * 100 + 0.5) / 100 : std::floor(distance + 0.5);
        break;
    case MotorRotate:
        v = fine ? std::floor(distance * 100 + 0.5) / 100 : std::floor(2 * distance + 0.5);
        break;
    default:
        break;
    }
    return MotionPattern(FormatPrintf("DR %i,%i,7,%g", GetAxisCode(motor), number, v));
}

#pragma once
// The stage and sample control unit (ASCU) on its serial line: one command
// line out, at most one reply line back, with pacing, reply checking, a log of
// the traffic and the unit's identification. Besides a real unit: "Manual" (no
// unit; every motion becomes a prompt to the user) and "Emulate" (replies made
// up in-process).
//
// One lock per link: a command and its reply (a motion's set-up command and its
// "EX 1" too) form one transaction, whichever threads use the unit.

#include "instrument/AscuReply.h"
#include "instrument/Comm.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class CLogFile;
class CTrafficMonitor;

class CASCU : public CComm
{
public:
    // Ion guns.
    enum
    {
        MIED = 1,
        HSIG = 2
    };
    // Motor bits, also the manual bits of the axes; the ion guns' manual bits.
    enum : int
    {
        MotorY = 0x400,
        MotorX = 0x1000,
        MotorTilt = 0x2000,
        MotorLoader = 0x4000,
        MotorRotate = 0x8000,
        MotorMask = 0xF400,
        ManualHSIG = 0x100,
        ManualMIED = 0x800,
    };
    static constexpr size_t MaxCommandLength = 124;

    CASCU();
    ~CASCU() override;

    int Open(const std::string& port, const std::string& settings);
    int OpenPort(const std::string& port);
    void SetNotInstalled();
    void SetEmulate(bool bEmulate) { m_bEmulate = bEmulate; }
    void SetLogFile(CLogFile* pLogFile) { m_pLogFile = pLogFile; }
    // Safe from any thread: once it returns, the old monitor gets no more lines.
    void SetMonitorWnd(CTrafficMonitor* pMonitor);

    bool IsNotInstalled() const { return m_iManual == -1; }
    bool IsEmulating() const { return m_bEmulate != 0; }
    bool IsConnected() const { return m_bConnected != 0; }
    uint16_t GetStatus() const { return m_wStatus; }
    uint16_t GetMotorStatus() const { return m_wMotors; }
    int GetStageType() const { return m_iStageType; }
    int HasIonGun(int guns) const { return guns & m_iIonGuns; }
    int HasIonGun() const { return m_iIonGuns; }
    void GetMapArea(double* pArea) const;
    int GetManualBits() const { return m_iManual; }

    void SetMotors(uint16_t motors);
    void SetAutoEtch(bool bAuto);

    int Command(const char* text, int replyTimeoutMs, unsigned minGapMs);
    int ReadReply(int timeoutMs);

    // Stage commands.
    static int GetAxisCode(int motor);
    static unsigned GetAxisName(int motor);
    int SetMode(int mode, int count);
    int ReadMapArea();
    int EndMode();
    int SetSwitch(int number, bool bOn);
    int EtchMIED(int seconds);
    int EtchHSIG(int position, int seconds, int preset, int dutyCycle);
    int MoveToMemory(int position);
    int MoveToLinePoint(int point, int count);
    int DriveAxis(int motor, int specimen, bool bToAnalysisPoint);
    int Drive(int motor, int number, int mode, double distance);
    int DriveRelative(int motor, int number, double distance);

private:
    int EmulateReadReply(char* buffer, size_t size, size_t& count, int timeoutMs);
    int MotionPattern(const std::string& setup);
    bool IsManual(int bit) const { return (m_iManual & bit) != 0; }
    void Log(const std::string& fileText, std::string monitorLine, bool bCommand);

    int m_iStageType = 0;
    int m_bConnected = 0;
    int m_bEmulate = 0;
    CLogFile* m_pLogFile = nullptr;
    std::atomic<int> m_iManual{0};
    CTrafficMonitor* m_hMonitor = nullptr; // under m_monitorLock
    std::mutex m_monitorLock;
    uint16_t m_wStatus = 0;
    uint16_t m_wMotors = 0;
    std::string m_szLastCommand;
    double m_dMapArea[4] = {0, 0, 0, 0};
    char m_iLastCommandKey[4] = {};
    int m_iIonGuns = 0;
    uint64_t m_lastWritten = 0; // clock reading when the previous command was written
    bool m_bWritten = false;
    std::recursive_mutex m_lock;
};

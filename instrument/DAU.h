#pragma once
// The link to the data-acquisition unit (DAU): frames ASCII commands into
// ARCNET packets, sends them through the adapter's driver library, reads and
// interprets one reply at a time, logs the traffic and polls the unit for
// unsolicited status packets. No DAU, a real DAU or an emulated one.
//
// One lock per link: a command and its reply form one transaction (Transact,
// or a Lock() held across SendCommand and ReadReply), and the monitor poll
// skips a round while the link is busy or a reply is awaited, so it never
// takes another thread's reply.

#include "instrument/ArcnetApi.h"
#include "instrument/DauReply.h"
#include "platform/DynamicLibrary.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>

class CLogFile;
class CTrafficMonitor;

// A periodic timer of the user-interface thread, installed by the user
// interface. StartTimer returns a non-zero id, or 0 when none could be had.
class IMonitorTimer
{
public:
    virtual ~IMonitorTimer() = default;
    virtual unsigned StartTimer(unsigned periodMs, std::function<void()> fn) = 0;
    virtual void StopTimer(unsigned id) = 0;
};

class CDAU
{
public:
    enum Analyser
    {
        CMA = 1,
        HSA = 2
    };
    enum Technique
    {
        XPS = 1,
        AES = 2,
        UPS = 4
    };
    static constexpr const char* DefaultLibrary = "libarcnet.so";
    static constexpr int MaxCommandLength = 252;
    static constexpr unsigned MonitorPeriodMs = 3000;

    CDAU();
    virtual ~CDAU();
    CDAU(const CDAU&) = delete;
    CDAU& operator=(const CDAU&) = delete;

    void SetSourceID(unsigned long id);
    // The driver library to load (a name on the library path, or a path).
    void SetLibraryName(std::string name) { m_csLibrary = std::move(name); }
    void SetLogFile(CLogFile* pLogFile) { m_pLogFile = pLogFile; }
    // Safe from any thread: once it returns, the old monitor gets no more lines.
    void SetMonitorWnd(CTrafficMonitor* pMonitor);
    // The timer must outlive the link (the destructor stops a running poll).
    void SetMonitorTimer(IMonitorTimer* pTimer) { m_pTimer = pTimer; }
    void SeedEmulation(unsigned seed) { m_rng.seed(seed); }

    int Open();
    void Close();

    bool IsPresent() const { return m_iPC != -1; }
    bool IsEmulating() const { return m_bEmulate != 0; }
    bool IsOpen() const { return m_iArcnet >= 0; }

    int SendCommand(const char* text);
    int ReadReply(char*& reply, int timeoutMs);
    int ReadReply(int timeoutMs);
    int ReadReply() { return ReadReply(1000); }
    // SendCommand and ReadReply as one transaction; reply may be null.
    int Transact(const char* text, int timeoutMs, char** reply = nullptr);
    std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock(m_lock); }

    // The numbers of the last data reply. The data pointer stays valid until
    // the next ReadReply, and is null when the last reply carried no data: a
    // poll answered with a status is "nothing yet", never an empty block.
    void GetSpectralData(int* piStart, int* piEnd, const unsigned char*& pbData) const;
    void GetIntensityData(int& iPk, int& iBk1, int& iBk2) const;
    void GetImageData(int* piStart, int* piEnd, int* piLine, int* piKind, const unsigned char*& pbData) const;
    bool HasData() const { return m_pbData != nullptr; }
    // Whether the last reply's text begins with these four letters.
    bool ReplyIs(const char code[4]) const;
    // Whether the last data block lies within a region of nPoints points,
    // nLines lines and nPlanes planes: 0 or 2288. With bBk2Only the second
    // plane is the second background, which the unit names as such.
    int CheckBlock(int nPoints, int nLines, int nPlanes, bool bBk2Only = false) const;
    // Whether the last reply was intensities with a count for the peak and
    // for each background asked for: 0 or 2288.
    int CheckIntensities(bool bBk1, bool bBk2) const;

    int GetConfiguration();
    bool HasMIED() const { return m_bMIED != 0; }
    int Analyser(Analyser a) const { return a & m_iAnalyser; }
    int TechniqueValid(int technique) const { return technique & m_iTechniques; }
    int GetAnalyser() const { return m_iAnalyser; }
    int GetTechniques() const { return m_iTechniques; }

    int SetScan(const char* mode, int x0, int y0, int x1, int y1, int br);
    int SetScan(int size, bool bEnd);

    int StartMonitor();
    int StopMonitor();
    bool IsMonitoring() const { return m_iTimer != 0; }
    // One round of the monitor poll; the timer calls it.
    void MonitorFn();

private:
    int EmulateReadReply();
    int FrameEmulated(const std::string& text, const std::vector<unsigned char>* data);
    int EmulateRandom() { return static_cast<int>(m_rng() % 32768u); }
    void LogCommand(const char* text);
    void LogReply(const SDauReply& reply, const unsigned char* packet);
    void DropLateReplies();

    PFN_ARCNETOPEN m_pfnOpen = nullptr;
    PFN_ARCNETCLOSE m_pfnClose = nullptr;
    PFN_ARCNETREAD m_pfnRead = nullptr;
    PFN_ARCNETWRITE m_pfnWrite = nullptr;
    PFN_ARCNETIOCTL m_pfnIoctl = nullptr;

    int m_bEmulate = 0;
    int m_bMIED = 0;
    CLogFile* m_pLogFile = nullptr;
    CDynamicLibrary m_hLib;
    CTrafficMonitor* m_hMonitor = nullptr; // under m_monitorLock
    std::mutex m_monitorLock;
    const unsigned char* m_pbData = nullptr;
    unsigned char m_cWriteBuf[256] = {};
    std::string m_szLastCommand;
    unsigned char m_cReadBuf[512] = {};
    SDauReply m_reply;
    char m_iLastCommand[4] = {};
    int m_iAnalyser = 0;
    int m_iArcnet = -1;
    int m_iPC = -1;
    int m_iDAU = 2;
    int m_iTechniques = 0;
    std::atomic<bool> m_bLinkFaultShown{false}; // the poll told of a failed link since the last reply
    bool m_bReplyOverdue = false;      // a read gave up on a reply that may still come (under m_lock)
    std::atomic<unsigned> m_iTimer{0}; // started and stopped from the worker and the timer's thread

    std::string m_csLibrary = DefaultLibrary;
    IMonitorTimer* m_pTimer = nullptr;
    std::recursive_mutex m_lock;
    std::minstd_rand m_rng;

    // The emulated unit's state; each set-up command restarts its series.
    struct SEmulation
    {
        int bXrays = 0;
        int iDwell = 0;
        bool bBk1 = false, bBk2 = false;
        int iLine = 0;
        int iNextPoint = 0;
        int iPlane = 0;
        int nLines = 0;
        int nPoints = 0;
    } m_emu;
};

#include "instrument/DAU.h"

#include "instrument/TrafficLog.h"
#include "platform/MessageSink.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr int kUnexpected = 2288;

bool Awaiting(const char cmd[4])
{
    return cmd[0] || cmd[1] || cmd[2] || cmd[3];
}

bool IsBlockCode(const char* code)
{
    return std::strcmp(code, "SBSP") == 0 || std::strcmp(code, "SBLP") == 0 ||
           std::strcmp(code, "SBSA") == 0 || std::strcmp(code, "SBSE") == 0;
}

void AppendHex(std::string& line, const unsigned char* p, size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    line.reserve(line.size() + 2 * n);
    for (size_t i = 0; i < n; ++i) {
        line += digits[p[i] >> 4];
        line += digits[p[i] & 15];
    }
}

} // namespace

CDAU::CDAU() : m_rng(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()))
{
    m_cWriteBuf[0] = 1;
    m_cWriteBuf[1] = 2;
    m_cReadBuf[0] = 2;
    m_cReadBuf[1] = 1;
}

CDAU::~CDAU()
{
    StopMonitor();
    Close();
}

void CDAU::SetSourceID(unsigned long id)
{
    if (id & 0x100) {
        m_iPC = -1;
        m_bEmulate = 0;
        m_cWriteBuf[0] = 0;
        m_cReadBuf[1] = 0;
    } else if (id & 0x200) {
        m_bEmulate = 1;
        m_iPC = static_cast<int>(id & 0xFF);
        m_cWriteBuf[0] = 0;
        m_cReadBuf[1] = 0;
    } else {
        m_bEmulate = 0;
        m_iPC = static_cast<int>(id);
        m_cWriteBuf[0] = static_cast<unsigned char>(id & 0xFF);
        m_cReadBuf[1] = static_cast<unsigned char>(id & 0xFF);
    }
}

int CDAU::Open()
{
    std::lock_guard lock(m_lock);
    if (m_iPC == -1 || m_bEmulate)
        return 0;
    if (!m_hLib.Load(m_csLibrary)) {
        m_iPC = -1;
        return 2289;
    }
    m_pfnOpen = m_hLib.Function<PFN_ARCNETOPEN>("ArcnetOpen");
    m_pfnClose = m_hLib.Function<PFN_ARCNETCLOSE>("ArcnetClose");
    m_pfnRead = m_hLib.Function<PFN_ARCNETREAD>("ArcnetRead");
    m_pfnWrite = m_hLib.Function<PFN_ARCNETWRITE>("ArcnetWrite");
    m_pfnIoctl = m_hLib.Function<PFN_ARCNETIOCTL>("ArcnetIoctl");
    if (!m_pfnOpen || !m_pfnClose || !m_pfnRead || !m_pfnWrite || !m_pfnIoctl) {
        Close();
        return 2290;
    }
    int h = m_pfnOpen("ARC0");
    if (h < 0) {
        Close();
        return 2291;
    }
    m_iArcnet = h;
    return 0;
}

void CDAU::Close()
{
    std::lock_guard lock(m_lock);
    if (m_iArcnet >= 0 && m_pfnClose)
        m_pfnClose(m_iArcnet);
    m_hLib.Free();
    m_pfnOpen = nullptr;
    m_pfnClose = nullptr;
    m_pfnRead = nullptr;
    m_pfnWrite = nullptr;
    m_pfnIoctl = nullptr;
    m_iArcnet = -1;
    m_iPC = -1;
    m_bReplyOverdue = false;
}

void CDAU::SetMonitorWnd(CTrafficMonitor* pMonitor)
{
    // Its own lock, not the link's: the window must not wait for a reply.
    std::lock_guard lock(m_monitorLock);
    m_hMonitor = pMonitor;
}

void CDAU::LogCommand(const char* text)
{
    if (m_pLogFile) {
        std::string line = "-> ";
        line += text;
        line += "\r\n";
        m_pLogFile->Write(line);
    }
    std::lock_guard lock(m_monitorLock);
    if (m_hMonitor)
        m_hMonitor->Append(std::string("-> ") + text, true);
}

void CDAU::LogReply(const SDauReply& r, const unsigned char* packet)
{
    bool monitored;
    {
        std::lock_guard lock(m_monitorLock);
        monitored = m_hMonitor != nullptr;
    }
    if (!m_pLogFile && !monitored)
        return;
    std::string line = "<- ";
    if (r.m_pszText) {
        line += r.m_pszText;
        if (r.m_bData) {
            line += ";   ";
            AppendHex(line, r.m_pbData, r.m_nDataBytes);
        }
    } else {
        // A packet that could not be split: show its bytes, so the fault can be seen.
        line += "?   ";
        AppendHex(line, packet, 4);
    }
    if (m_pLogFile)
        m_pLogFile->Write(line + "\r\n");
    std::lock_guard lock(m_monitorLock);
    if (m_hMonitor)
        m_hMonitor->Append(std::move(line), false);
}

int CDAU::SendCommand(const char* text)
{
    std::lock_guard lock(m_lock);
    if (!text)
        text = "";
    size_t n = strnlen(text, MaxCommandLength + 1);
    // A longer text would not fit before the packet's last byte.
    if (n > static_cast<size_t>(MaxCommandLength))
        return 2292;
    m_cWriteBuf[2] = static_cast<unsigned char>(255 - n);
    std::memcpy(m_cWriteBuf + 255 - n, text, n + 1);
    std::memset(m_iLastCommand, 0, 4);
    std::memcpy(m_iLastCommand, text, std::min<size_t>(n, 4));
    if (m_iPC == -1)
        return 0;
    if (m_bEmulate) {
        m_szLastCommand.assign(text, n);
    } else {
        if (m_bReplyOverdue)
            DropLateReplies();
        ARC_MODE mode{0, 1000};
        if (m_pfnIoctl(m_iArcnet, ARCNETIO_MODE_SET, &mode) != 0) {
            std::memset(m_iLastCommand, 0, 4);
            return 2295;
        }
        m_cWriteBuf[0] = static_cast<unsigned char>(m_iPC & 0xFF);
        m_cWriteBuf[1] = static_cast<unsigned char>(m_iDAU);
        int w = m_pfnWrite(m_iArcnet, m_cWriteBuf, 256);
        if (w != 256) {
            // No reply will come for a command that was not sent.
            std::memset(m_iLastCommand, 0, 4);
            return w == -2 ? 2296 : 2292;
        }
    }
    LogCommand(text);
    return 0;
}

int CDAU::ReadReply(char*& reply, int timeoutMs)
{
    std::lock_guard lock(m_lock);
    reply = nullptr;
    m_pbData = nullptr;
    if (m_iPC == -1)
        return 0;
    int n;
    if (m_bEmulate) {
        n = EmulateReadReply();
    } else {
        ARC_MODE mode{0, std::max(timeoutMs, 0) / 10};
        if (m_pfnIoctl(m_iArcnet, ARCNETIO_MODE_SET, &mode) != 0)
            return 2295;
        m_cReadBuf[0] = static_cast<unsigned char>(m_iDAU);
        m_cReadBuf[1] = static_cast<unsigned char>(m_iPC & 0xFF);
        n = m_pfnRead(m_iArcnet, m_cReadBuf, 512);
        if (n == -2) {
            m_bReplyOverdue = true;
            return 2297; // the caller may read again for the same command
        }
        if (n == 0 || n < 0 || n > 512) {
            std::memset(m_iLastCommand, 0, 4);
            return n == 0 ? 2293 : 2294;
        }
    }
    m_bReplyOverdue = false;
    char last[4];
    std::memcpy(last, m_iLastCommand, 4);
    std::memset(m_iLastCommand, 0, 4);
    int result = ParseDauReply(m_cReadBuf, static_cast<size_t>(n), last, m_reply);
    m_bLinkFaultShown = false; // the link works again
    LogReply(m_reply, m_cReadBuf);
    if (m_reply.m_bMalformed)
        return kUnexpected;
    reply = const_cast<char*>(m_reply.m_pszText);
    // Only a block reply hands out data: a status or intensity text that
    // happens to hold a ';' must not pass for a block under the previous
    // block's point numbers.
    if (result == 0 && m_reply.m_bData && IsBlockCode(m_reply.m_szCode))
        m_pbData = m_reply.m_pbData;
    return result;
}

void CDAU::DropLateReplies()
{
    // A reply that came after its command gave up waiting answers that
    // command: taken as the next command's reply, every reply after it would
    // pair with the wrong command. What waits now is logged and dropped (a few
    // packets at most, so a unit that talks without pause cannot hold the
    // command back).
    unsigned char packet[512];
    for (int i = 0; i < 8; ++i) {
        ARC_STS sts{0};
        ARC_MODE mode{0, 0};
        if (m_pfnIoctl(m_iArcnet, ARCNETIO_ISTS_GET, &sts) != 0 || sts.m_Status != 1 ||
            m_pfnIoctl(m_iArcnet, ARCNETIO_MODE_SET, &mode) != 0)
            return;
        packet[0] = static_cast<unsigned char>(m_iDAU);
        packet[1] = static_cast<unsigned char>(m_iPC & 0xFF);
        int n = m_pfnRead(m_iArcnet, packet, 512);
        if (n <= 0 || n > 512)
            return;
        m_bReplyOverdue = false;
        SDauReply dropped;
        const char none[4] = {};
        ParseDauReply(packet, static_cast<size_t>(n), none, dropped);
        LogReply(dropped, packet);
    }
}

int CDAU::ReadReply(int timeoutMs)
{
    char* reply;
    return ReadReply(reply, timeoutMs);
}

int CDAU::Transact(const char* text, int timeoutMs, char** reply)
{
    std::lock_guard lock(m_lock);
    int r = SendCommand(text);
    if (r != 0)
        return r;
    char* p = nullptr;
    r = ReadReply(p, timeoutMs);
    if (reply)
        *reply = p;
    return r;
}

void CDAU::GetSpectralData(int* piStart, int* piEnd, const unsigned char*& pbData) const
{
    *piStart = m_reply.m_iStart;
    *piEnd = m_reply.m_iEnd;
    pbData = m_pbData;
}

void CDAU::GetIntensityData(int& iPk, int& iBk1, int& iBk2) const
{
    iPk = m_reply.m_iPk;
    iBk1 = m_reply.m_iBk1;
    iBk2 = m_reply.m_iBk2;
}

void CDAU::GetImageData(int* piStart, int* piEnd, int* piLine, int* piKind,
                        const unsigned char*& pbData) const
{
    *piStart = m_reply.m_iStart;
    *piEnd = m_reply.m_iEnd;
    *piLine = m_reply.m_iLine;
    *piKind = m_reply.m_iKind;
    pbData = m_pbData;
}

int CDAU::CheckBlock(int nPoints, int nLines, int nPlanes, bool bBk2Only) const
{
    if (!m_pbData)
        return kUnexpected;
    const SDauReply& r = m_reply;
    if (r.m_iStart < 1 || r.m_iEnd < r.m_iStart || r.m_iEnd > nPoints)
        return kUnexpected;
    std::string_view code(r.m_szCode);
    if (code == "SBSA" || code == "SBSE") {
        if (r.m_iLine < 1 || r.m_iLine > nLines)
            return kUnexpected;
    }
    if (code == "SBLP" || code == "SBSA") {
        const bool planeOk = bBk2Only && nPlanes == 2 ? (r.m_iKind == 0 || r.m_iKind == 2)
                                                      : (r.m_iKind >= 0 && r.m_iKind < nPlanes);
        if (!planeOk)
            return kUnexpected;
    }
    return 0;
}

bool CDAU::ReplyIs(const char code[4]) const
{
    return std::memcmp(m_reply.m_szCode, code, 4) == 0;
}

int CDAU::CheckIntensities(bool bBk1, bool bBk2) const
{
    // The numbers outlive the reply that set them: a status or a block in
    // place of the intensities would otherwise pass for the last ones again.
    const SDauReply& r = m_reply;
    if (std::strcmp(r.m_szCode, "SBQI") != 0 || r.m_iPk < 0)
        return kUnexpected;
    if ((bBk1 && r.m_iBk1 < 0) || (bBk2 && r.m_iBk2 < 0))
        return kUnexpected;
    return 0;
}

int CDAU::GetConfiguration()
{
    std::lock_guard lock(m_lock);
    int r = SendCommand("GETI");
    if (r != 0)
        return r;
    char* reply = nullptr;
    r = ReadReply(reply, 1000);
    if (m_iPC == -1)
        return 0;
    if (r != 0)
        return r;
    if (!reply)
        return kUnexpected;
    char* an = std::strstr(reply, " AN=");
    if (!an)
        return kUnexpected;
    std::string_view rest(an + 4);
    auto token = [&rest]() {
        size_t comma = rest.find(',');
        std::string_view t = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        return t;
    };
    std::string_view a = token();
    if (a == "HSA")
        m_iAnalyser = HSA;
    else if (a == "CMA")
        m_iAnalyser = CMA;
    else
        return kUnexpected;
    std::string_view te = token();
    if (te.substr(0, 3) != "TE=")
        return kUnexpected;
    te.remove_prefix(3);
    m_iTechniques = 0;
    if (te.find("XPS") != std::string_view::npos)
        m_iTechniques |= XPS;
    if (te.find("AES") != std::string_view::npos)
        m_iTechniques |= AES;
    if (te.find("UPS") != std::string_view::npos)
        m_iTechniques |= UPS;
    std::string_view ig = token();
    if (ig.substr(0, 3) != "IG=")
        return kUnexpected;
    m_bMIED = ig == "IG=YES";
    return 0;
}

int CDAU::SetScan(const char* mode, int x0, int y0, int x1, int y1, int br)
{
    char text[MaxCommandLength + 1];
    std::snprintf(text, sizeof text, "BEAM MD=%.16s,X0=%i,Y0=%i,X1=%i,Y1=%i,BR=%i", mode ? mode : "", x0, y0,
                  x1, y1, br);
    std::lock_guard lock(m_lock);
    int r = SendCommand(text);
    return r ? r : ReadReply(1000);
}

int CDAU::SetScan(int size, bool bEnd)
{
    if (bEnd)
        return SetScan("EOS", 0, 0, 0, 0, size);
    return SetScan("SCAN", -size / 2, size / 2 - 1, size / 2 - 1, -size / 2, size);
}

int CDAU::StartMonitor()
{
    // A second start would leave the first timer running with no way to stop it.
    StopMonitor();
    if (!m_pTimer)
        return 2052;
    m_iTimer = m_pTimer->StartTimer(MonitorPeriodMs, [this] { MonitorFn(); });
    if (m_iTimer == 0)
        return 2052;
    std::unique_lock lock(m_lock, std::try_to_lock);
    // Whoever starts the poll has finished exchanging: a reply given up after
    // a time-out is awaited no longer, or the poll would skip every round.
    if (lock)
        std::memset(m_iLastCommand, 0, 4);
    if (m_bEmulate || m_iArcnet < 0)
        return 0;
    if (!lock)
        return 0; // busy: every read sets its own time-out anyway
    ARC_MODE mode{0, 0};
    if (m_pfnIoctl(m_iArcnet, ARCNETIO_MODE_SET, &mode) != 0) {
        lock.unlock();
        StopMonitor();
        return 2295;
    }
    return 0;
}

int CDAU::StopMonitor()
{
    // Whoever takes the id stops the timer, so two stops never stop it twice.
    if (unsigned id = m_iTimer.exchange(0); id != 0 && m_pTimer)
        m_pTimer->StopTimer(id);
    return 0;
}

void CDAU::MonitorFn()
{
    if (m_bEmulate || m_iArcnet < 0)
        return;
    int result = 0;
    {
        // Never wait for another thread's exchange, and never take its reply.
        std::unique_lock lock(m_lock, std::try_to_lock);
        if (!lock || Awaiting(m_iLastCommand))
            return;
        ARC_STS sts{0};
        if (m_pfnIoctl(m_iArcnet, ARCNETIO_ISTS_GET, &sts) != 0) {
            result = 2295;
        } else if (sts.m_Status == 1) {
            result = ReadReply(0);
            // 2297: the packet went away again; there is nothing to show.
            if (result == 0 || result == 2297)
                return;
        } else {
            return;
        }
    }
    if (result == 2295)
        StopMonitor();
    // A link that fails keeps failing every round: it is told once, and again
    // only after a reply came through in between.
    const bool linkFault = result == 2293 || result == 2294 || result == 2295;
    if (linkFault && m_bLinkFaultShown.exchange(true))
        return;
    AfxMessageBox(static_cast<unsigned>(result));
}

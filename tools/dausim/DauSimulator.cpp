#include "tools/dausim/DauSimulator.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

bool Field(const std::string& cmd, const char* name, double& value)
{
    std::string key = std::string(name) + "=";
    for (size_t pos = cmd.find(key); pos != std::string::npos; pos = cmd.find(key, pos + 1)) {
        if (pos > 0 && cmd[pos - 1] != ',' && cmd[pos - 1] != ' ')
            continue;
        const char* p = cmd.c_str() + pos + key.size();
        char* end = nullptr;
        double v = std::strtod(p, &end);
        if (end == p || !std::isfinite(v))
            return false;
        value = v;
        return true;
    }
    return false;
}

bool IntField(const std::string& cmd, const char* name, int& value)
{
    double v;
    if (!Field(cmd, name, v) || v < -1e9 || v > 1e9)
        return false;
    value = static_cast<int>(v);
    return true;
}

std::string TextField(const std::string& cmd, const char* name)
{
    std::string key = std::string(name) + "=";
    size_t pos = cmd.find(key);
    if (pos == std::string::npos)
        return std::string();
    size_t start = pos + key.size();
    return cmd.substr(start, cmd.find(',', start) - start);
}

void PutBE(Packet& d, uint32_t v)
{
    d.push_back(static_cast<uint8_t>(v >> 24));
    d.push_back(static_cast<uint8_t>(v >> 16));
    d.push_back(static_cast<uint8_t>(v >> 8));
    d.push_back(static_cast<uint8_t>(v));
}

Packet Frame(const Packet& reply)
{
    size_t n = reply.size();
    Packet p;
    if (n <= 253) {
        p.assign(256, 0);
        p[2] = static_cast<uint8_t>(256 - n);
        std::copy(reply.begin(), reply.end(), p.begin() + static_cast<long>(256 - n));
    } else {
        n = std::min<size_t>(n, 508);
        p.assign(512, 0);
        p[3] = static_cast<uint8_t>(512 - n);
        std::copy(reply.begin(), reply.begin() + static_cast<long>(n),
                  p.begin() + static_cast<long>(512 - n));
    }
    p[0] = 2;
    p[1] = 1;
    return p;
}

} // namespace

CDauSimulator::CDauSimulator(SDauSimConfig config) : m_config(std::move(config))
{
    if (!m_config.m_clock) {
        m_config.m_clock = [] {
            return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now().time_since_epoch())
                                             .count());
        };
    }
    m_config.m_iMaxValues = std::clamp(m_config.m_iMaxValues, 1, 110);
}

uint64_t CDauSimulator::Now() const
{
    return m_config.m_clock();
}

Packet CDauSimulator::FrameText(const std::string& text)
{
    Packet r(text.begin(), text.end());
    r.push_back(0);
    return Frame(r);
}

Packet CDauSimulator::FrameData(const std::string& header, const Packet& data)
{
    Packet r;
    r.push_back(static_cast<uint8_t>(header.size() + 2));
    r.insert(r.end(), header.begin(), header.end());
    r.push_back(';');
    r.insert(r.end(), data.begin(), data.end());
    return Frame(r);
}

Packet CDauSimulator::StatusPacket(char status)
{
    return FrameText(std::string("DAUS CD=") + status);
}

void CDauSimulator::InjectStatus(char status)
{
    std::lock_guard lock(m_lock);
    m_injectedStatus.push_back(status);
}

void CDauSimulator::InjectSilence(int commands)
{
    std::lock_guard lock(m_lock);
    m_iSilence += commands;
}

void CDauSimulator::InjectReply(Packet packet)
{
    std::lock_guard lock(m_lock);
    m_injectedReplies.push_back(std::move(packet));
}

bool CDauSimulator::XraysOn() const
{
    std::lock_guard lock(m_lock);
    return m_bXrays;
}

std::vector<std::string> CDauSimulator::Commands() const
{
    std::lock_guard lock(m_lock);
    return m_commands;
}

Packet CDauSimulator::LastPacket() const
{
    std::lock_guard lock(m_lock);
    return m_lastPacket;
}

std::vector<SDauSimReply> CDauSimulator::Handle(const uint8_t* packet, size_t length)
{
    {
        std::lock_guard lock(m_lock);
        m_lastPacket.assign(packet, packet + length);
    }
    // A command packet: 256 bytes, the text from the offset in byte 2 to the 0 in byte 255.
    if (length != 256 || packet[255] != 0 || packet[2] < 3)
        return {{StatusPacket('D'), 0}};
    const char* text = reinterpret_cast<const char*>(packet + packet[2]);
    return HandleText(std::string(text, strnlen(text, 255 - packet[2])));
}

std::vector<SDauSimReply> CDauSimulator::HandleText(const std::string& cmd)
{
    std::lock_guard lock(m_lock);
    m_commands.push_back(cmd);
    if (m_iSilence > 0) {
        --m_iSilence;
        return {};
    }
    if (!m_injectedReplies.empty()) {
        Packet p = std::move(m_injectedReplies.front());
        m_injectedReplies.pop_front();
        return {{std::move(p), 0}};
    }
    if (!m_injectedStatus.empty()) {
        char c = m_injectedStatus.front();
        m_injectedStatus.pop_front();
        return {{StatusPacket(c), 0}};
    }
    return Answer(cmd);
}

std::vector<SDauSimReply> CDauSimulator::Answer(const std::string& cmd)
{
    std::string code = cmd.substr(0, 4);
    auto status = [](char c, uint64_t delay = 0) {
        return std::vector<SDauSimReply>{{StatusPacket(c), delay}};
    };
    auto hasTechnique = [&] {
        std::string te = TextField(cmd, "TE");
        return te.empty() || m_config.m_techniques.find(te) != std::string::npos;
    };
    if (code == "GETI") {
        std::string t = "CNFG AN=" + m_config.m_analyser + ",TE=" + m_config.m_techniques +
                        ",IG=" + (m_config.m_bIonGun ? "YES" : "NO") + ",MD=LIVE,VR=2.10";
        return {{FrameText(t), 0}};
    }
    if (code == "XRAY") {
        std::string op = TextField(cmd, "OP");
        if (op == "ON") {
            if (m_bXrays)
                return status('8');
            m_bXrays = true;
            return status('1', static_cast<uint64_t>(m_config.m_iXrayWarmUpMs));
        }
        if (op == "OFF") {
            if (!m_bXrays)
                return status('9');
            m_bXrays = false;
            return status('2');
        }
        if (op == "MD")
            return status(m_bXrays ? '0' : 'C');
        return status('D');
    }
    if (code == "ETCH") {
        int t;
        if (!IntField(cmd, "TM", t) || t < 0)
            return status('D');
        if (!m_config.m_bIonGun)
            return status('C');
        return {{FrameText("DAUS CD=3,TI=" + std::to_string(t)), static_cast<uint64_t>(t) * 1000}};
    }
    if (code == "BEAM") {
        std::string md = TextField(cmd, "MD");
        return status(md == "SPOT" || md == "SCAN" || md == "EOS" ? '0' : 'D');
    }
    if (code == "ABRT") {
        m_kind = Kind::None;
        return status('4');
    }
    if (code == "SPEC") {
        int pt, dw;
        if (!IntField(cmd, "PT", pt) || !IntField(cmd, "DW", dw) || pt < 1 || dw < 0)
            return status('D');
        if (!hasTechnique())
            return status('C');
        m_kind = Kind::Spectrum;
        m_nPoints = pt;
        m_nLines = m_nPlanes = 1;
        m_iDwell = std::max(dw, 1);
        m_t0 = Now();
        m_iSent = 0;
        return status('0');
    }
    if (code == "QINT") {
        int dw;
        double pk;
        if (!IntField(cmd, "DW", dw) || !Field(cmd, "PK", pk) || dw < 0)
            return status('D');
        if (!hasTechnique())
            return status('C');
        double b1, b2;
        bool h1 = Field(cmd, "B1", b1), h2 = Field(cmd, "B2", b2);
        m_rng = m_rng * 1103515245u + 12345u;
        int peak = 5000 + static_cast<int>((m_rng >> 16) % 1000);
        std::string t = "SBQI PK=" + std::to_string(peak);
        if (h1)
            t += ",B1=" + std::to_string(peak / 5);
        if (h2)
            t += ",B2=" + std::to_string(peak / 7);
        return {{FrameText(t), static_cast<uint64_t>(dw) * static_cast<uint64_t>(1 + h1 + h2)}};
    }
    if (code == "LINP" || code == "SAMI" || code == "SEMI") {
        int dw = 1, x0 = 0, y0 = 0, x1 = 0, y1 = 0, dn = 1, px = 0;
        if (code == "SEMI") {
            if (!IntField(cmd, "PX", px) || px < 1 || px > 4096)
                return status('D');
            m_kind = Kind::SEImage;
            m_nPoints = m_nLines = px;
            m_nPlanes = 1;
        } else {
            if (!IntField(cmd, "DW", dw) || !IntField(cmd, "X0", x0) || !IntField(cmd, "Y0", y0) ||
                !IntField(cmd, "X1", x1) || !IntField(cmd, "Y1", y1) || dw < 0 ||
                (code == "SAMI" && (!IntField(cmd, "DN", dn) || dn < 1)))
                return status('D');
            double b;
            m_bBk1 = Field(cmd, "B1", b);
            m_bBk2 = Field(cmd, "B2", b);
            m_nPlanes = 1 + m_bBk1 + m_bBk2;
            if (code == "LINP") {
                m_kind = Kind::Line;
                m_nPoints = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1;
                m_nLines = 1;
            } else {
                m_kind = Kind::Map;
                m_nPoints = std::max(1, (std::abs(x1 - x0) + 1 + dn / 2) / dn);
                m_nLines = std::max(1, (std::abs(y1 - y0) + 1 + dn / 2) / dn);
            }
        }
        m_iDwell = std::max(dw, 1);
        m_t0 = Now();
        m_iSent = 0;
        return status('0');
    }
    if (code == "RQSP" || code == "RQLP" || code == "RQSA" || code == "RQSE") {
        Kind want = code == "RQSP"   ? Kind::Spectrum
                    : code == "RQLP" ? Kind::Line
                    : code == "RQSA" ? Kind::Map
                                     : Kind::SEImage;
        if (m_kind != want)
            return status('F');
        return {{DataReply(code), 0}};
    }
    return status('D');
}

Packet CDauSimulator::DataReply(const std::string& code)
{
    long long total = static_cast<long long>(m_nPoints) * m_nPlanes * m_nLines;
    if (m_iSent >= total)
        return StatusPacket('6');
    long long elapsed = static_cast<long long>(Now() - m_t0);
    long long measured = m_kind == Kind::SEImage ? elapsed * m_config.m_iSEPixelsPerMs : elapsed / m_iDwell;
    measured = std::min(measured, total);
    if (measured <= m_iSent)
        return StatusPacket('5');
    // Blocks never cross a row (one plane of one line).
    long long row = m_iSent / m_nPoints;
    int first = static_cast<int>(m_iSent % m_nPoints) + 1;
    int line = static_cast<int>(row / m_nPlanes) + 1;
    int plane = static_cast<int>(row % m_nPlanes);
    // The planes present, in order: peak, then first and second background as asked.
    int kind = plane == 0 ? 0 : (plane == 1 && m_bBk1) ? 1 : 2;
    bool bytes = m_kind == Kind::SEImage;
    long long room = bytes ? 384 : m_config.m_iMaxValues;
    int last =
        static_cast<int>(std::min<long long>({first - 1 + room, m_nPoints, first - 1 + measured - m_iSent}));
    static const char* const names[] = {"PK", "B1", "B2"};
    std::string header;
    for (;;) {
        if (code == "RQSP")
            header = "SBSP BL=4,ST=" + std::to_string(first) + ",FN=" + std::to_string(last);
        else if (code == "RQLP")
            header = std::string("SBLP BL=4,KD=") + names[kind] + ",ST=" + std::to_string(first) +
                     ",FN=" + std::to_string(last);
        else if (code == "RQSA")
            header = std::string("SBSA BL=4,KD=") + names[kind] + ",LN=" + std::to_string(line) +
                     ",ST=" + std::to_string(first) + ",FN=" + std::to_string(last);
        else
            header = "SBSE BL=1,LN=" + std::to_string(line) + ",ST=" + std::to_string(first) +
                     ",FN=" + std::to_string(last);
        size_t n = header.size() + 2 + static_cast<size_t>(last - first + 1) * (bytes ? 1 : 4);
        // 254 to 256 bytes fit neither packet size: carry a point fewer.
        if (n >= 254 && n <= 256 && last > first) {
            --last;
            continue;
        }
        break;
    }
    Packet data;
    const double N = m_nPoints;
    for (int p = first; p <= last; ++p) {
        m_rng = m_rng * 1103515245u + 12345u;
        int noise = static_cast<int>((m_rng >> 16) % 64);
        double x = (p - 0.5) / N; // 0..1 across the row
        double y = (line - 0.5) / m_nLines;
        if (m_kind == Kind::Spectrum) {
            // Two peaks on a falling background, as a survey shows them.
            double v = 2000 + 1500 * (1 - x) + 9000 * std::exp(-std::pow((x - 0.4) / 0.03, 2)) +
                       4000 * std::exp(-std::pow((x - 0.7) / 0.02, 2));
            PutBE(data, static_cast<uint32_t>(v) + static_cast<uint32_t>(noise));
        } else if (m_kind == Kind::SEImage) {
            bool disc = (x - 0.5) * (x - 0.5) + (y - 0.5) * (y - 0.5) < 0.09;
            data.push_back(static_cast<uint8_t>(std::min(255.0, 40 + 120 * x + (disc ? 90 : 0))));
        } else {
            bool disc = (x - 0.5) * (x - 0.5) + (y - 0.5) * (y - 0.5) < 0.09;
            double peak = 1000 + (disc ? 4000 : 0) + 500 * std::sin(x * 3.14159);
            double v = kind == 0 ? peak : kind == 1 ? 400 + 100 * x : 300 + 50 * x;
            PutBE(data, static_cast<uint32_t>(v) + static_cast<uint32_t>(noise));
        }
    }
    m_iSent += last - first + 1;
    return FrameData(header, data);
}

CDauSimServer::CDauSimServer(CDauSimulator& sim, std::string path, bool bRealTime)
    : m_sim(sim), m_path(std::move(path)), m_bRealTime(bRealTime)
{
}

CDauSimServer::~CDauSimServer()
{
    Stop();
}

bool CDauSimServer::Start()
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (m_path.size() >= sizeof addr.sun_path)
        return false;
    std::strcpy(addr.sun_path, m_path.c_str());
    ::unlink(m_path.c_str());
    m_listen = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        return false;
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen, 4) != 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
        ::close(m_listen);
        m_listen = -1;
        return false;
    }
    m_bStop = false;
    m_thread = std::thread(&CDauSimServer::Run, this);
    return true;
}

void CDauSimServer::Stop()
{
    if (m_thread.joinable()) {
        m_bStop = true;
        char c = 1;
        [[maybe_unused]] auto w = ::write(m_wake[1], &c, 1);
        m_thread.join();
    }
    for (int* fd : {&m_listen, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    if (int c = m_client.exchange(-1); c >= 0)
        ::close(c);
    ::unlink(m_path.c_str());
}

bool CDauSimServer::SendUnsolicited(const Packet& packet)
{
    std::lock_guard lock(m_sendLock);
    int c = m_client;
    return c >= 0 &&
           ::send(c, packet.data(), packet.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(packet.size());
}

void CDauSimServer::Run()
{
    uint8_t buf[1024];
    while (!m_bStop) {
        int client = m_client;
        pollfd fds[2] = {{client >= 0 ? client : m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents)
            break;
        if (client < 0) {
            int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0)
                m_client = c;
            continue;
        }
        ssize_t n = ::recv(client, buf, sizeof buf, 0);
        if (n <= 0) {
            // The driver closed: wait for the next one.
            std::lock_guard lock(m_sendLock);
            ::close(client);
            m_client = -1;
            continue;
        }
        for (const SDauSimReply& r : m_sim.Handle(buf, static_cast<size_t>(n))) {
            if (m_bRealTime && r.m_delayMs > 0) {
                pollfd w{m_wake[0], POLLIN, 0};
                if (::poll(&w, 1, static_cast<int>(std::min<uint64_t>(r.m_delayMs, 600000))) > 0)
                    return;
            }
            SendUnsolicited(r.m_packet);
        }
    }
}

#pragma once
// A simulated data-acquisition unit for tests and development. It answers the
// command language packet by packet: configuration, X-ray switching, etching,
// beam, spectra, intensities, line scans, maps and secondary-electron images,
// with data that take time to measure (on an injectable clock), and faults on
// request: error statuses, silence, garbage and unsolicited status packets.
//
// CDauSimulator is the unit; CDauSimServer puts it behind the Unix socket that
// the stand-in driver library connects to.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Packet = std::vector<uint8_t>;

struct SDauSimConfig
{
    std::string m_analyser = "HSA"; // "CMA" or "HSA" (anything else for tests of bad replies)
    std::string m_techniques = "XPS&AES&UPS";
    bool m_bIonGun = true;
    int m_iMaxValues = 100;     // values in one data packet (at most 118)
    int m_iSEPixelsPerMs = 64;  // secondary-electron image rate
    int m_iXrayWarmUpMs = 2000; // switch-on time
    // Milliseconds on the simulator's clock; tests advance their own.
    std::function<uint64_t()> m_clock;
};

// A reply and how long after the command it leaves the unit.
struct SDauSimReply
{
    Packet m_packet;
    uint64_t m_delayMs = 0;
};

class CDauSimulator
{
public:
    explicit CDauSimulator(SDauSimConfig config = {});

    // One command packet in; the replies it causes (none when silent).
    std::vector<SDauSimReply> Handle(const uint8_t* packet, size_t length);
    // The same for a bare command text.
    std::vector<SDauSimReply> HandleText(const std::string& command);

    // Faults for the next commands.
    void InjectStatus(char status);   // the next command is answered "DAUS CD=status"
    void InjectSilence(int commands); // the next commands get no reply
    void InjectReply(Packet packet);  // the next command is answered with these bytes
    // A status packet sent by the unit on its own ("DAUS CD=c").
    static Packet StatusPacket(char status);
    // Frames a reply text or a data reply as the unit does (short or long packet).
    static Packet FrameText(const std::string& text);
    static Packet FrameData(const std::string& header, const Packet& data);

    bool XraysOn() const;
    std::vector<std::string> Commands() const;
    // The last command packet as it arrived.
    Packet LastPacket() const;

private:
    std::vector<SDauSimReply> Answer(const std::string& cmd);
    uint64_t Now() const;
    Packet DataReply(const std::string& code);

    SDauSimConfig m_config;
    mutable std::mutex m_lock;
    std::vector<std::string> m_commands;
    Packet m_lastPacket;
    std::deque<char> m_injectedStatus;
    int m_iSilence = 0;
    std::deque<Packet> m_injectedReplies;
    uint32_t m_rng = 12345;

    bool m_bXrays = false;
    // The acquisition in progress.
    enum class Kind
    {
        None,
        Spectrum,
        Line,
        Map,
        SEImage
    } m_kind = Kind::None;
    uint64_t m_t0 = 0;
    int m_iDwell = 1;
    int m_nPoints = 0, m_nLines = 1, m_nPlanes = 1;
    bool m_bBk1 = false, m_bBk2 = false;
    long long m_iSent = 0; // values handed out so far, in measuring order
};

class CDauSimServer
{
public:
    // Listens on a sequenced-packet Unix socket at path. With bRealTime the
    // replies wait their delays; otherwise they go at once.
    CDauSimServer(CDauSimulator& sim, std::string path, bool bRealTime = false);
    ~CDauSimServer();
    CDauSimServer(const CDauSimServer&) = delete;
    CDauSimServer& operator=(const CDauSimServer&) = delete;

    bool Start();
    void Stop();
    const std::string& Path() const { return m_path; }
    // Sends a packet to the connected driver now (an unsolicited status).
    bool SendUnsolicited(const Packet& packet);

private:
    void Run();

    CDauSimulator& m_sim;
    std::string m_path;
    bool m_bRealTime;
    int m_listen = -1;
    std::atomic<int> m_client{-1};
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_bStop{false};
    std::mutex m_sendLock;
    std::thread m_thread;
};

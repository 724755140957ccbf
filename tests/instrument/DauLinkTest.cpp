// The DAU link over the stand-in driver (loaded with dlopen) against the DAU
// simulator: framing, configuration, data in blocks, time-outs, faults, the
// traffic log and the monitor poll.

#include "TestSupport.h"

#include "instrument/TrafficLog.h"
#include "platform/Strings.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

TEST(DauLink, CommandFraming)
{
    SDauRig rig;
    ASSERT_TRUE(rig.m_bStarted);
    ASSERT_EQ(rig.m_iOpen, 0);

    std::string longest(252, 'X');
    longest.replace(0, 4, "BEAM");
    ASSERT_EQ(rig.m_dau.SendCommand(longest.c_str()), 0);
    rig.m_dau.ReadReply();
    Packet p = rig.m_sim->LastPacket();
    ASSERT_EQ(p.size(), 256u);
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[1], 2);
    EXPECT_EQ(p[2], 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&p[3]), 252), longest);
    EXPECT_EQ(p[255], 0);

    ASSERT_EQ(rig.m_dau.SendCommand(""), 0);
    rig.m_dau.ReadReply();
    p = rig.m_sim->LastPacket();
    ASSERT_EQ(p.size(), 256u);
    EXPECT_EQ(p[2], 255);
    EXPECT_EQ(p[255], 0);

    // One character more would not fit the packet: refused, nothing sent.
    size_t sent = rig.m_sim->Commands().size();
    EXPECT_EQ(rig.m_dau.SendCommand((longest + "Y").c_str()), 2292);
    EXPECT_EQ(rig.m_sim->Commands().size(), sent);
}

TEST(DauLink, ConfigurationQuery)
{
    {
        SDauSimConfig c;
        c.m_analyser = "HSA";
        c.m_techniques = "AES";
        c.m_bIonGun = false;
        SDauRig rig(c);
        ASSERT_EQ(rig.m_dau.GetConfiguration(), 0);
        EXPECT_EQ(rig.m_dau.GetAnalyser(), CDAU::HSA);
        EXPECT_EQ(rig.m_dau.GetTechniques(), CDAU::AES);
        EXPECT_FALSE(rig.m_dau.HasMIED());
        EXPECT_EQ(rig.m_dau.Analyser(CDAU::CMA), 0);
    }
    {
        SDauSimConfig c;
        c.m_analyser = "RFA";
        SDauRig rig(c);
        EXPECT_EQ(rig.m_dau.GetConfiguration(), 2288);
    }
    {
        SDauRig rig;
        // A configuration reply that answers another command is not believed.
        rig.m_sim->InjectReply(CDauSimulator::FrameText("CNFG AN=CMA,TE=XPS,IG=YES"));
        EXPECT_EQ(rig.m_dau.Transact("BEAM MD=SPOT,X0=0,Y0=0,X1=0,Y1=0,BR=256", 1000), 2288);
    }
}

namespace {

// Runs a set-up command and polls until the data set is complete, checking
// each block against the region; returns the values by plane, line and point.
struct SCollected
{
    std::map<std::tuple<int, int, int>, int> m_values; // (plane, line, point) -> value
    int m_nBlocks = 0;
    int m_nLongPackets = 0;
};

SCollected Acquire(SDauRig& rig, const std::string& setup, const char* poll, int nx, int ny, int nz)
{
    SCollected c;
    EXPECT_EQ(rig.m_dau.Transact(setup.c_str(), 15000), 0) << setup;
    for (int guard = 0; guard < 10000; ++guard) {
        // Uneven polling gives small blocks in short packets and large ones in long packets.
        rig.m_now += guard % 3 == 0 ? 150 : 20;
        int r = rig.m_dau.Transact(poll, 1000);
        if (r == 2278)
            break;
        if (r == 2277) {
            EXPECT_FALSE(rig.m_dau.HasData()); // "nothing yet", never an empty block
            continue;
        }
        EXPECT_EQ(r, 0);
        if (r != 0)
            break;
        EXPECT_EQ(rig.m_dau.CheckBlock(nx, ny, nz), 0);
        int start, end, line, kind;
        const unsigned char* data;
        rig.m_dau.GetImageData(&start, &end, &line, &kind, data);
        EXPECT_NE(data, nullptr);
        ++c.m_nBlocks;
        for (int p = start; p <= end; ++p) {
            int v;
            if (kind == -1)
                v = data[p - start];
            else
                std::memcpy(&v, data + 4 * (p - start), 4);
            c.m_values[{kind, line, p}] = v;
        }
        if ((end - start + 1) * (kind == -1 ? 1 : 4) > 230)
            ++c.m_nLongPackets;
    }
    return c;
}

} // namespace

TEST(DauLink, SpectrumArrivesInBlocksOfBothPacketSizes)
{
    SDauRig rig;
    SCollected c =
        Acquire(rig, "SPEC TE=XPS,DT=SINGLE,MD=CAE,EP=20,ST=1000,SW=0.5,PT=300,DW=1", "RQSP", 300, 1, 1);
    ASSERT_EQ(c.m_values.size(), 300u);
    EXPECT_GT(c.m_nLongPackets, 0);
    EXPECT_LT(c.m_nLongPackets, c.m_nBlocks);
    // The simulated spectrum peaks near 40% of the range above a background of a few thousand.
    int peak = c.m_values[{0, 0, 120}], side = c.m_values[{0, 0, 20}];
    EXPECT_GT(peak, 9000);
    EXPECT_GT(side, 2000);
    EXPECT_LT(side, 5000);
}

TEST(DauLink, LineMapAndImageData)
{
    SDauRig rig;
    SCollected line =
        Acquire(rig, "LINP MD=CAE,EP=20,PK=1000,B1=990,B2=1010,DW=1,X0=100,Y0=0,X1=0,Y1=0,BR=256,MG=1000",
                "RQLP", 101, 1, 3);
    EXPECT_EQ(line.m_values.size(), 3u * 101);
    EXPECT_TRUE(line.m_values.count({2, 1, 101}));

    SCollected map =
        Acquire(rig, "SAMI MD=CAE,EP=20,PK=1000,B2=1010,DW=1,X0=0,Y0=31,X1=31,Y1=0,DN=2,BR=256,MG=1000",
                "RQSA", 16, 16, 3);
    EXPECT_EQ(map.m_values.size(), 2u * 16 * 16);
    EXPECT_TRUE(map.m_values.count({2, 16, 16})); // the second background alone is plane 2
    EXPECT_FALSE(map.m_values.count({1, 1, 1}));

    SCollected se = Acquire(rig, "SEMI PX=300,MG=1000", "RQSE", 300, 300, 1);
    EXPECT_EQ(se.m_values.size(), 300u * 300);
    EXPECT_GT(se.m_nLongPackets, 0);
}

TEST(DauLink, CheckBlockRefusesDataOutsideTheRegion)
{
    SDauRig rig;
    rig.m_sim->InjectReply(CDauSimulator::FrameData("SBSA BL=4,KD=B1,LN=5,ST=1,FN=2", Packet(8, 0)));
    ASSERT_EQ(rig.m_dau.Transact("RQSA", 1000), 0);
    EXPECT_EQ(rig.m_dau.CheckBlock(2, 5, 2), 0);
    EXPECT_EQ(rig.m_dau.CheckBlock(1, 5, 2), 2288); // point beyond the line
    EXPECT_EQ(rig.m_dau.CheckBlock(2, 4, 2), 2288); // line beyond the map
    EXPECT_EQ(rig.m_dau.CheckBlock(2, 5, 1), 2288); // no first-background plane
}

TEST(DauLink, TimeoutsAndFaults)
{
    SDauRig rig;
    rig.m_sim->InjectSilence(1);
    EXPECT_EQ(rig.m_dau.Transact("BEAM MD=SPOT,X0=0,Y0=0,X1=0,Y1=0,BR=256", 30), 2297);

    // Nothing waiting and no time to wait: no reply.
    EXPECT_EQ(rig.m_dau.ReadReply(0), 2293);

    rig.m_sim->InjectStatus('B');
    EXPECT_EQ(rig.m_dau.Transact("RQSP", 1000), 2283);

    // Garbage is refused, not read as data.
    Packet junk(256, 0x3B);
    junk[2] = 20;
    rig.m_sim->InjectReply(junk);
    char* reply = reinterpret_cast<char*>(1);
    rig.m_dau.SendCommand("RQSP");
    EXPECT_EQ(rig.m_dau.ReadReply(reply, 1000), 2288);
    EXPECT_EQ(reply, nullptr);
    EXPECT_FALSE(rig.m_dau.HasData());

    // A status or intensity reply with a ';' in it carries no data block, so a
    // poll never hands out stray bytes under the previous block's point numbers.
    EXPECT_EQ(rig.m_dau.Transact("SPEC TE=XPS,DT=SINGLE,MD=CAE,EP=20,ST=100,SW=1,PT=10,DW=100", 1000), 0);
    rig.m_now += 5000;
    ASSERT_EQ(rig.m_dau.Transact("RQSP", 1000), 0);
    ASSERT_TRUE(rig.m_dau.HasData());
    for (const char* header : {"DAUS CD=0", "SBQI PK=7"}) {
        rig.m_sim->InjectReply(CDauSimulator::FrameData(header, Packet(400, 0x11)));
        EXPECT_EQ(rig.m_dau.Transact("RQSP", 1000), 0) << header;
        EXPECT_FALSE(rig.m_dau.HasData()) << header;
        int start, end;
        const unsigned char* data = reinterpret_cast<const unsigned char*>(1);
        rig.m_dau.GetSpectralData(&start, &end, data);
        EXPECT_EQ(data, nullptr) << header;
    }

    // The link stays usable after all of it.
    EXPECT_EQ(rig.m_dau.GetConfiguration(), 0);
}

TEST(DauLink, EtchWaitReadsAgainAfterATimeout)
{
    SDauRig rig;
    rig.m_sim->InjectSilence(1);
    ASSERT_EQ(rig.m_dau.SendCommand("ETCH TM=5"), 0);
    EXPECT_EQ(rig.m_dau.ReadReply(20), 2297);
    // The etch ends later; the reply still counts as the end of the etch.
    ASSERT_TRUE(rig.m_server->SendUnsolicited(CDauSimulator::FrameText("DAUS CD=3,TI=5")));
    EXPECT_EQ(rig.m_dau.ReadReply(1000), 0);
}

// A reply that comes after its command gave up waiting belongs to that
// command: the next command, and every one after it, still gets its own
// reply. Also when the poll ran between (a run ended and the next began
// before the poll came round), and with the unit's late reply a data block.
TEST(DauLink, LateReplyIsNotTheNextCommandsReply)
{
    CFakeTimer timer;
    SDauRig rig;
    rig.m_dau.SetMonitorTimer(&timer);
    const Packet lateStatus = CDauSimulator::StatusPacket('0');
    const Packet lateBlock = CDauSimulator::FrameData("SBSP BL=1,ST=1,EN=2", Packet(8, 0));
    for (bool bPollBetween : {false, true})
        for (const Packet* late : {&lateStatus, &lateBlock}) {
            SCOPED_TRACE(std::string(bPollBetween ? "poll between, " : "") +
                         (late == &lateStatus ? "status" : "block"));
            rig.m_sim->InjectSilence(1);
            ASSERT_EQ(rig.m_dau.Transact("RQSP", 20), 2297);
            if (bPollBetween) {
                ASSERT_EQ(rig.m_dau.StartMonitor(), 0);
                rig.m_dau.StopMonitor();
            }
            ASSERT_TRUE(rig.m_server->SendUnsolicited(*late));
            EXPECT_EQ(rig.m_dau.GetConfiguration(), 0);
            EXPECT_EQ(rig.m_dau.Transact("BEAM MD=SPOT,X0=0,Y0=0,X1=0,Y1=0,BR=256", 1000), 0);
            EXPECT_FALSE(rig.m_dau.HasData());
            EXPECT_EQ(rig.m_dau.GetConfiguration(), 0);
        }
}

TEST(DauLink, OpenFailures)
{
    {
        CDAU dau;
        dau.SetSourceID(1);
        dau.SetLibraryName("/nonexistent/libarcnet.so");
        EXPECT_EQ(dau.Open(), 2289);
        EXPECT_FALSE(dau.IsPresent());
        EXPECT_EQ(dau.SendCommand("GETI"), 0);
    }
    {
        CDAU dau;
        dau.SetSourceID(1);
        dau.SetLibraryName("libm.so.6");
        EXPECT_EQ(dau.Open(), 2290);
        EXPECT_FALSE(dau.IsPresent());
    }
    {
        CDAU dau;
        dau.SetSourceID(1);
        dau.SetLibraryName(VELTRANE_ARCNET_LIBRARY);
        setenv("VELTRANE_ARCNET_SOCKET", "/nonexistent/dau.sock", 1);
        EXPECT_EQ(dau.Open(), 2291);
        EXPECT_FALSE(dau.IsPresent());
    }
}

// One adapter, one program: a second link is refused as an adapter that
// cannot be opened, and gets it once the first has let go.
TEST(DauLink, AnAdapterInUseIsRefusedToASecondLink)
{
    SDauRig rig;
    ASSERT_EQ(rig.m_iOpen, 0);
    CDAU second;
    second.SetSourceID(1);
    second.SetLibraryName(VELTRANE_ARCNET_LIBRARY);
    EXPECT_EQ(second.Open(), 2291);
    EXPECT_FALSE(second.IsPresent());
    rig.m_dau.Close();
    second.SetSourceID(1);
    EXPECT_EQ(second.Open(), 0);
    EXPECT_EQ(second.Transact("GETI", 1000), 0);
}

TEST(DauLink, NoDauSkipsEveryExchange)
{
    CTrafficMonitor monitor;
    monitor.Attach(nullptr);
    CDAU dau;
    dau.SetSourceID(0x100 | 0x200 | 5); // 0x100 wins
    dau.SetMonitorWnd(&monitor);
    EXPECT_EQ(dau.Open(), 0);
    EXPECT_FALSE(dau.IsPresent());
    char* reply = reinterpret_cast<char*>(1);
    EXPECT_EQ(dau.SendCommand("GETI"), 0);
    EXPECT_EQ(dau.ReadReply(reply, 1000), 0);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(dau.GetConfiguration(), 0);
    EXPECT_EQ(dau.GetAnalyser(), 0);
    EXPECT_EQ(monitor.LineCount(), 0u);
}

TEST(DauLink, TrafficLogLinesAndTrimming)
{
    SDauRig rig;
    auto dir = MakeTempDir();
    CLogFile file;
    ASSERT_TRUE(file.Create((dir / "traffic.log").string()));
    CTrafficMonitor monitor;
    int notified = 0;
    monitor.Attach([&] { ++notified; });
    rig.m_dau.SetLogFile(&file);
    rig.m_dau.SetMonitorWnd(&monitor);

    rig.m_sim->InjectReply(
        CDauSimulator::FrameData("SBSP BL=4,ST=1,FN=3", Packet{0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3}));
    ASSERT_EQ(rig.m_dau.Transact("RQSP", 1000), 0);
    auto lines = monitor.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "-> RQSP");
    EXPECT_EQ(lines[1], "<- SBSP BL=4,ST=1,FN=3;   010000000200000003000000");
    EXPECT_EQ(notified, 2);
    file.Close();
    std::ifstream in(dir / "traffic.log", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), "-> RQSP\r\n<- SBSP BL=4,ST=1,FN=3;   010000000200000003000000\r\n");

    // Replies never trim; the next command does, down to 1024 with the newest last.
    for (int i = 0; i < 2100; ++i)
        monitor.Append("<- filler " + std::to_string(i), false);
    EXPECT_EQ(monitor.LineCount(), 2102u);
    rig.m_dau.SendCommand("GETI");
    EXPECT_EQ(monitor.LineCount(), 1024u);
    EXPECT_EQ(monitor.Lines().back(), "-> GETI");
    rig.m_dau.ReadReply();

    // A closed monitor is never written to again.
    monitor.Detach();
    rig.m_dau.Transact("GETI", 1000);
    EXPECT_EQ(monitor.LineCount(), 0u);
    std::filesystem::remove_all(dir);
}

// The poll runs on the timer; an unsolicited packet is shown once it has arrived.
static void FireUntilShown(CFakeTimer& timer, const CRecordingSink& sink)
{
    for (int i = 0; i < 200 && sink.m_texts.empty(); ++i) {
        timer.FireAll();
        if (sink.m_texts.empty())
            usleep(1000);
    }
}

TEST(DauLink, MonitorPoll)
{
    CFakeTimer timer; // outlives the link, which stops its timer when it goes
    SDauRig rig;
    CRecordingSink sink;
    rig.m_dau.SetMonitorTimer(&timer);

    ASSERT_EQ(rig.m_dau.StartMonitor(), 0);
    ASSERT_EQ(rig.m_dau.StartMonitor(), 0);
    EXPECT_EQ(timer.m_timers.size(), 1u); // a second start replaced the first timer
    EXPECT_EQ(timer.m_period, 3000u);

    // Nothing waiting: nothing shown.
    timer.FireAll();
    EXPECT_TRUE(sink.m_texts.empty());

    // The X-ray source trips: the unit says so on its own.
    ASSERT_TRUE(rig.m_server->SendUnsolicited(CDauSimulator::StatusPacket('7')));
    FireUntilShown(timer, sink);
    ASSERT_EQ(sink.m_texts.size(), 1u);
    EXPECT_EQ(sink.m_texts[0], LoadString(2279));

    // While a reply is awaited the poll leaves the link alone.
    rig.m_sim->InjectSilence(1);
    ASSERT_EQ(rig.m_dau.SendCommand("BEAM MD=SPOT,X0=0,Y0=0,X1=0,Y1=0,BR=256"), 0);
    ASSERT_TRUE(rig.m_server->SendUnsolicited(CDauSimulator::StatusPacket('0')));
    usleep(20000);
    timer.FireAll();
    EXPECT_EQ(sink.m_texts.size(), 1u);
    char* reply = nullptr;
    EXPECT_EQ(rig.m_dau.ReadReply(reply, 1000), 0);
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(reply, "DAUS CD=0");

    EXPECT_EQ(rig.m_dau.StopMonitor(), 0);
    EXPECT_TRUE(timer.m_timers.empty());

    timer.m_bFail = true;
    EXPECT_EQ(rig.m_dau.StartMonitor(), 2052);
}

TEST(DauLink, MonitorPollResumesAfterAnAbandonedReply)
{
    CFakeTimer timer;
    SDauRig rig;
    CRecordingSink sink;
    rig.m_dau.SetMonitorTimer(&timer);
    // An etch whose end never came: the acquisition gives up and restarts the poll.
    rig.m_sim->InjectSilence(1);
    ASSERT_EQ(rig.m_dau.Transact("ETCH TM=5", 20), 2297);
    ASSERT_EQ(rig.m_dau.StartMonitor(), 0);
    ASSERT_TRUE(rig.m_server->SendUnsolicited(CDauSimulator::StatusPacket('7')));
    FireUntilShown(timer, sink);
    ASSERT_EQ(sink.m_texts.size(), 1u);
    EXPECT_EQ(sink.m_texts[0], LoadString(2279));
}

TEST(DauLink, MonitorPollNeverTakesAWorkersReply)
{
    CFakeTimer timer;
    SDauRig rig;
    CRecordingSink sink;
    rig.m_dau.SetMonitorTimer(&timer);
    ASSERT_EQ(rig.m_dau.StartMonitor(), 0);
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i) {
            char* reply = nullptr;
            if (rig.m_dau.Transact("GETI", 1000, &reply) != 0 || !reply ||
                std::strncmp(reply, "CNFG", 4) != 0)
                ++failures;
        }
        done = true;
    });
    while (!done)
        timer.FireAll();
    worker.join();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(sink.m_texts.empty());
}

TEST(DauLink, MonitorWindowClosedWhileAWorkerLogs)
{
    SDauRig rig;
    CTrafficMonitor monitor;
    rig.m_dau.SetMonitorWnd(&monitor);
    std::atomic<bool> done{false};
    std::atomic<int> windows{0};
    // The worker goes on until several windows have come and gone, however the
    // scheduler of a loaded machine shares the time out.
    std::thread worker([&] {
        for (int i = 0; i < 200 || windows < 20; ++i)
            rig.m_dau.Transact("GETI", 1000);
        done = true;
    });
    // Windows open and close while lines arrive; each notification must find
    // its own window alive.
    while (!done) {
        auto window = std::make_unique<std::atomic<int>>(0);
        std::atomic<int>* w = window.get();
        monitor.Attach([w] { ++*w; });
        usleep(200);
        monitor.Detach();
        window.reset(); // gone: no notification may reach it now (the sanitizer build checks)
        ++windows;
    }
    worker.join();
    EXPECT_GE(windows, 20);
    EXPECT_EQ(monitor.LineCount(), 0u);
}

TEST(DauLink, AFailingLinkIsReportedOncePerFailure)
{
    CFakeTimer timer;
    SDauRig rig;
    CRecordingSink sink;
    rig.m_dau.SetMonitorTimer(&timer);
    ASSERT_EQ(rig.m_dau.StartMonitor(), 0);
    auto pollAWhile = [&] {
        for (int i = 0; i < 20; ++i) {
            timer.FireAll();
            usleep(1000);
        }
    };
    const std::vector<std::string> once{LoadString(2294)};
    rig.m_server->Stop(); // the unit is gone
    pollAWhile();
    EXPECT_EQ(sink.m_texts, once);
    pollAWhile();
    EXPECT_EQ(sink.m_texts, once);

    // It worked in between: the next failure is told again, once.
    ASSERT_TRUE(rig.m_server->Start());
    rig.m_dau.Close();
    rig.m_dau.SetSourceID(1);
    ASSERT_EQ(rig.m_dau.Open(), 0);
    ASSERT_EQ(rig.m_dau.Transact("GETI", 1000), 0);
    rig.m_server->Stop();
    pollAWhile();
    EXPECT_EQ(sink.m_texts, (std::vector<std::string>{LoadString(2294), LoadString(2294)}));
}

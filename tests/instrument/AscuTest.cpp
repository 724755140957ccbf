// The stage-unit driver: its reply parser, and the driver over a
// pseudo-terminal against the stage-unit simulator; "Manual" and "Emulate".

#include "TestSupport.h"

#include <chrono>
#include <functional>
#include <thread>

#include "instrument/ASCU.h"
#include "instrument/AscuReply.h"
#include "instrument/TrafficLog.h"
#include "platform/Clock.h"
#include "platform/Strings.h"
#include "tools/ascusim/AscuSimulator.h"

TEST(AscuReply, Table)
{
    struct
    {
        const char* line;
        const char* last;
        int id;
    } cases[] = {
        {"RP 1\r\n", "EX 1\r\n", 0},
        {"RP 1\r\n", "MV 3\r\n", 2304},
        {"SA (22,7)-(36,9)\r\n", "MD MP\r\n", 0},
        {"SA (22,7)-(36\r\n", "MD MP\r\n", 2306},
        {"SA (a,7)-(36,9)\r\n", "MD MP\r\n", 2306},
        {"ID 2,FDA8\r\n", "ID 2\r\n", 0},
        {"ID 2,  A8\r\n", "ID 2\r\n", 0},
        {"ID 2,FDA8", "ID 2\r\n", 2304},
        {"ID 2,FDA8\n", "ID 2\r\n", 2304},
        {"ID 2,FDZ8\r\n", "ID 2\r\n", 2304},
        {"CP (1,2)\r\n", "GP (1,2)\r\n", 0},
        {"CP (1,2)\r\n", "MV 1\r\n", 2304},
        {"ER 1,4\r\n", "GP (1,2)\r\n", 2307},
        {"ER 1\r\n", "MV 1\r\n", 2320},
        {"ER 3\r\n", "GP (1,2)\r\n", 2322},
        {"ER 9\r\n", "MD MP\r\n", 2328},
        {"ER 10\r\n", "MV 1\r\n", 2304},
        {"ER x\r\n", "MV 1\r\n", 2306},
        {"OK\r\n", "MV 1\r\n", 2304},
        {"", "MV 1\r\n", 2304},
    };
    for (const auto& c : cases) {
        SAscuReply r;
        EXPECT_EQ(ParseAscuReply(c.line, c.last, r), c.id) << c.line << " after " << c.last;
    }
    SAscuReply r;
    ASSERT_EQ(ParseAscuReply("SA (22.5,-7)-(36,9)\r\n", "MD MP\r\n", r), 0);
    EXPECT_EQ(r.m_dArea[0], 22.5);
    EXPECT_EQ(r.m_dArea[1], -7);
    ASSERT_EQ(ParseAscuReply("ID 2,00A8\r\n", "ID 2\r\n", r), 0);
    EXPECT_EQ(r.m_wStatus, 0x00A8);
}

TEST(Ascu, IdentificationAndItsStatusBits)
{
    {
        SAscuRig rig;
        ASSERT_TRUE(rig.m_bStarted);
        ASSERT_EQ(rig.m_iOpen, 0);
        EXPECT_TRUE(rig.m_ascu.IsConnected());
        EXPECT_EQ(rig.m_ascu.GetStatus(), 0xFDA8);
        EXPECT_EQ(rig.m_ascu.GetStageType(), 2);
        EXPECT_EQ(rig.m_ascu.GetMotorStatus(), 0xF400);
        EXPECT_EQ(rig.m_ascu.HasIonGun(), CASCU::MIED | CASCU::HSIG);
        EXPECT_EQ(rig.m_ascu.GetManualBits(), 0);
        auto lines = rig.m_monitor.Lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "=> ID 2");
        EXPECT_EQ(lines[1], "<= ID 2,FDA8");
    }
    {
        SAscuSimConfig c;
        c.m_wStatus = 0x00A8;
        SAscuRig rig(c);
        ASSERT_EQ(rig.m_iOpen, 0);
        EXPECT_EQ(rig.m_ascu.GetStageType(), 2);
        EXPECT_EQ(rig.m_ascu.GetMotorStatus(), 0);
        EXPECT_EQ(rig.m_ascu.GetManualBits() & CASCU::MotorMask, CASCU::MotorMask);
        EXPECT_EQ(rig.m_ascu.HasIonGun(), 0);
        // Motors the configuration disables become manual too, the others stay.
        rig.m_ascu.SetMotors(0xFFFF);
        EXPECT_EQ(rig.m_ascu.GetManualBits() & CASCU::MotorMask, CASCU::MotorMask);
    }
    {
        SAscuSimConfig c;
        c.m_wStatus = 0x5440; // stage type 3, X and Y and loader, MIED
        SAscuRig rig(c);
        EXPECT_EQ(rig.m_ascu.GetStageType(), 3);
        rig.m_ascu.SetMotors(0x1400);
        EXPECT_EQ(rig.m_ascu.GetManualBits() & CASCU::MotorMask, 0xE000 | 0x4000);
    }
    {
        SAscuRig rig({}, false);
        rig.m_sim.InjectReply("ID 2,FDA8\n"); // not the unit's line end
        EXPECT_EQ(rig.m_ascu.Open("COM2", ""), 2304);
        EXPECT_FALSE(rig.m_ascu.IsConnected());
    }
    {
        SAscuRig rig({}, false);
        rig.m_sim.InjectSilence(1);
        EXPECT_EQ(rig.m_ascu.Open("COM2", ""), 2305);
        EXPECT_FALSE(rig.m_ascu.IsConnected());
        EXPECT_TRUE(rig.m_ascu.IsOpen());
    }
}

TEST(Ascu, MotionPatternOutcomes)
{
    SAscuRig rig;
    ASSERT_EQ(rig.m_iOpen, 0);
    // Accepted silently, then "EX 1" waits for the end of the move.
    EXPECT_EQ(rig.m_ascu.MoveToMemory(3), 0);
    // A set-up command that gets a valid reply is unexpected.
    rig.m_sim.InjectReply("RP 1\r\n");
    EXPECT_EQ(rig.m_ascu.MoveToMemory(4), 2304);
    // An error reply is passed on.
    rig.m_sim.InjectError(2);
    EXPECT_EQ(rig.m_ascu.MoveToLinePoint(2, 10), 2321);
    // The move itself fails.
    rig.m_sim.InjectSilence(1);
    rig.m_sim.InjectError(3);
    EXPECT_EQ(rig.m_ascu.DriveAxis(CASCU::MotorTilt, 2, true), 2322);
    // Positions outside the stored area.
    EXPECT_EQ(rig.m_ascu.ReadMapArea(), 0);
    double area[4];
    rig.m_ascu.GetMapArea(area);
    EXPECT_EQ(area[2], 36);
    EXPECT_EQ(rig.m_ascu.Command("GP (23,8)(30,8)", 1000, 50), 0);
    EXPECT_EQ(rig.m_ascu.Command("GP (23,8)(50,8)", 1000, 50), 2307);

    auto commands = rig.m_sim.Commands();
    EXPECT_EQ(commands[1], "MV 3");
    EXPECT_EQ(commands[2], "EX 1");
    EXPECT_EQ(commands[3], "MV 4");
    EXPECT_EQ(commands[5], "DR 2,2,2");
}

TEST(Ascu, CommandTexts)
{
    SAscuRig rig;
    ASSERT_EQ(rig.m_iOpen, 0);
    rig.m_ascu.SetMode(2, 4);
    rig.m_ascu.SetMode(5, 1);
    rig.m_ascu.SetMode(3, 2);
    rig.m_ascu.SetSwitch(2, true);
    rig.m_ascu.SetSwitch(2, false);
    rig.m_ascu.DriveRelative(CASCU::MotorTilt, 1, 2.4); // hundredths: 0xFDA8 has bit 0x8
    rig.m_ascu.DriveRelative(CASCU::MotorX, 1, 0.2);    // microns times 50 with bit 0x20
    EXPECT_EQ(rig.m_ascu.DriveRelative(CASCU::MotorX, 1, 0), 0);
    rig.m_ascu.Drive(CASCU::MotorLoader, 3, 6, 0);
    EXPECT_EQ(rig.m_ascu.EtchMIED(0), 0);
    std::vector<std::string> c = rig.m_sim.Commands();
    std::vector<std::string> expected = {"ID 2",        "MD 2,4,1", "MD 5,1,2",     "MD 3,2",
                                         "EX 7,5",      "EX 7,6",   "DR 2,1,7,2.4", "EX 1",
                                         "DR 1,1,7,10", "EX 1",     "DR 3,3,6",     "EX 1"};
    EXPECT_EQ(c, expected);

    SAscuSimConfig plain;
    plain.m_wStatus = 0xF400; // no bit 0x8, no 0x20
    SAscuRig rig2(plain);
    rig2.m_ascu.DriveRelative(CASCU::MotorTilt, 1, 2.4);
    rig2.m_ascu.DriveRelative(CASCU::MotorRotate, 1, 7.3);
    rig2.m_ascu.DriveRelative(CASCU::MotorX, 1, 0.2);
    c = rig2.m_sim.Commands();
    EXPECT_EQ(c[1], "DR 2,1,7,2");
    EXPECT_EQ(c[3], "DR 4,1,7,15");
    EXPECT_EQ(c[5], "DR 1,1,7,0.2");

    // Never cut short: a text beyond the unit's limit is refused unsent.
    size_t before = rig2.m_sim.Commands().size();
    EXPECT_EQ(rig2.m_ascu.Command(std::string(125, 'A').c_str(), 50, 50), 2247);
    EXPECT_EQ(rig2.m_sim.Commands().size(), before);
}

TEST(Ascu, HSIGEtchGoesOnAfterAFailedStep)
{
    SAscuRig rig;
    ASSERT_EQ(rig.m_iOpen, 0);
    rig.m_sim.InjectError(2); // the first set-up command fails
    EXPECT_EQ(rig.m_ascu.EtchHSIG(4, 30, 5, 50), 0);
    std::vector<std::string> c = rig.m_sim.Commands();
    std::vector<std::string> expected = {"ID 2", "DR 3,4,6", "SP 1,1,30,5,1,50", "EX 1", "DR 3,4,2", "EX 1"};
    EXPECT_EQ(c, expected);

    // An unreadable reply to a set-up command, or a move that ends in an
    // error, still leaves the specimen driven back to the analysis point.
    struct
    {
        const char* what;
        std::function<void(CAscuSimulator&)> inject;
    } faults[] = {
        {"garbled set-up reply", [](CAscuSimulator& s) { s.InjectReply("#?\r\n"); }},
        {"failed move",
         [](CAscuSimulator& s) {
             s.InjectSilence(1);
             s.InjectError(2);
         }},
    };
    for (const auto& f : faults) {
        SAscuRig r2;
        ASSERT_EQ(r2.m_iOpen, 0);
        f.inject(r2.m_sim);
        EXPECT_EQ(r2.m_ascu.EtchHSIG(4, 30, 5, 50), 0) << f.what;
        std::vector<std::string> got = r2.m_sim.Commands();
        ASSERT_GE(got.size(), 2u) << f.what;
        EXPECT_EQ(got[got.size() - 2], "DR 3,4,2") << f.what;
        EXPECT_EQ(got.back(), "EX 1") << f.what;
    }

    // A set-up command answered as if finished is unexpected and ends it.
    SAscuRig r3;
    ASSERT_EQ(r3.m_iOpen, 0);
    r3.m_sim.InjectReply("SA (1,2)-(3,4)\r\n");
    EXPECT_EQ(r3.m_ascu.EtchHSIG(4, 30, 5, 50), 2304);
    EXPECT_EQ(r3.m_sim.Commands().back(), "DR 3,4,6");
}

TEST(Ascu, PacingCountsFromTheWrite)
{
    {
        // Real time, with replies that come at once so that only the pacing
        // spaces the commands: four commands take at least three gaps. (Where
        // the simulator sees each line depends on the scheduler of a loaded
        // machine, which can deliver one late and the next on time; the exact
        // spacing is checked on the manual clock below.)
        SAscuSimConfig c;
        c.m_iMinGapMs = 0;
        SAscuRig rig(c);
        ASSERT_EQ(rig.m_iOpen, 0);
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(rig.m_ascu.EndMode(), 0);
        EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(150));
    }
    {
        CManualClock clock;
        IClock* previous = SetClock(&clock);
        SAscuSimConfig c;
        c.m_iMinGapMs = 0;
        SAscuRig rig(c);
        ASSERT_EQ(rig.m_iOpen, 0);
        uint64_t t0 = clock.TickCount();
        clock.Advance(10);
        rig.m_ascu.SetMode(1, 2); // 10 ms after the identification: waits 40
        EXPECT_EQ(clock.TickCount() - t0, 50u);
        clock.Advance(70);
        rig.m_ascu.SetMode(1, 2); // long enough ago: no wait
        EXPECT_EQ(clock.TickCount() - t0, 120u);
        SetClock(previous);
    }
}

TEST(Ascu, ManualPromptsInsteadOfMoving)
{
    CRecordingSink sink;
    CTrafficMonitor monitor;
    monitor.Attach(nullptr);
    CASCU ascu;
    ascu.SetMonitorWnd(&monitor);
    ascu.SetNotInstalled();
    EXPECT_EQ(ascu.Open("Manual", ""), 0);
    EXPECT_FALSE(ascu.IsConnected());
    EXPECT_FALSE(ascu.IsOpen());
    EXPECT_EQ(ascu.GetStageType(), 1);
    EXPECT_EQ(ascu.Command("MV 1", 50, 50), 0);
    EXPECT_EQ(ascu.SetMode(1, 2), 0);
    EXPECT_EQ(ascu.EndMode(), 0);
    EXPECT_EQ(monitor.LineCount(), 0u);

    const std::string caption = LoadString(1376);
    EXPECT_EQ(ascu.MoveToMemory(3), 0);
    EXPECT_EQ(ascu.DriveRelative(CASCU::MotorTilt, 1, 1), 0);
    EXPECT_EQ(ascu.DriveRelative(CASCU::MotorTilt, 1, 2), 0);
    EXPECT_EQ(ascu.DriveAxis(CASCU::MotorX, 5, false), 0);
    EXPECT_EQ(ascu.EtchHSIG(1, 12, 0, 0), 0);
    ASSERT_EQ(sink.m_texts.size(), 5u);
    EXPECT_EQ(sink.m_texts[0],
              caption + "Move the specimen to memorised position 3 and click OK to continue.");
    EXPECT_EQ(sink.m_texts[1], caption + "Move the tilt axis by 1 degree and click OK to continue.");
    EXPECT_EQ(sink.m_texts[2], caption + "Move the tilt axis by 2 degrees and click OK to continue.");
    EXPECT_EQ(sink.m_texts[3],
              caption + "Return specimen number 5 to the X axis origin and click OK to continue.");
    EXPECT_EQ(sink.m_texts[4], caption + "Etch the specimen for 12 second(s) and click OK to continue.");
    EXPECT_EQ(sink.m_types[0], static_cast<unsigned>(MB_OK));
}

TEST(Ascu, Emulation)
{
    CTrafficMonitor monitor;
    monitor.Attach(nullptr);
    CASCU ascu;
    ascu.SetMonitorWnd(&monitor);
    ascu.SetEmulate(true);
    ASSERT_EQ(ascu.Open("Emulate", ""), 0);
    EXPECT_FALSE(ascu.IsOpen());
    EXPECT_TRUE(ascu.IsConnected());
    EXPECT_EQ(ascu.GetStatus(), 0xFDA8);
    EXPECT_EQ(ascu.GetStageType(), 2);
    EXPECT_EQ(ascu.HasIonGun(), CASCU::MIED | CASCU::HSIG);
    EXPECT_EQ(monitor.Lines(), (std::vector<std::string>{"=> ID 2", "<= ID 2,FDA8"}));

    EXPECT_EQ(ascu.ReadMapArea(), 0);
    double area[4];
    ascu.GetMapArea(area);
    EXPECT_EQ(area[0], 22);
    EXPECT_EQ(area[3], 9);
    EXPECT_EQ(ascu.Command("GP (1,2)", 500, 50), 0);
    EXPECT_EQ(ascu.MoveToMemory(2), 0); // no reply to the set-up, "RP 1" to "EX 1"
    EXPECT_EQ(ascu.SetSwitch(2, true), 0);
    EXPECT_EQ(ascu.Command("RP", 500, 50), 2305);
}

// A reply that arrives after its command gave up is not taken for the next
// command's reply.
TEST(Ascu, LateReplyIsNotTheNextCommandsReply)
{
    SAscuSimConfig c;
    c.m_iMoveMs = 300;
    SAscuRig rig(c);
    ASSERT_EQ(rig.m_iOpen, 0);
    EXPECT_EQ(rig.m_ascu.Command("DR 1,1,2", 50, 0), 2305); // a motion's set-up has no reply
    EXPECT_EQ(rig.m_ascu.Command("EX 1", 50, 0), 2305);     // the move outlasts the wait
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(rig.m_ascu.ReadMapArea(), 0); // not the late "RP 1"
}

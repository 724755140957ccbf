// The serial-port link over a pseudo-terminal: port names, whole and partial
// lines, the caller's buffer limits and read time-outs.

#include "instrument/Comm.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// A pseudo-terminal whose master side the test writes to.
struct SPty
{
    SPty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(m_master);
        unlockpt(m_master);
        char name[128];
        ptsname_r(m_master, name, sizeof name);
        m_path = name;
    }
    ~SPty() { close(m_master); }
    void Send(const std::string& s)
    {
        ASSERT_EQ(write(m_master, s.data(), s.size()), static_cast<ssize_t>(s.size()));
    }
    std::string Receive()
    {
        char buf[256];
        ssize_t n = read(m_master, buf, sizeof buf);
        return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    }
    int m_master;
    std::string m_path;
};

struct SOpenComm
{
    explicit SOpenComm(size_t lineBuffer = 2048)
    {
        m_comm.MapPort("COM3", m_pty.m_path);
        m_iOpen = m_comm.Open("COM3", 1024, 1024, lineBuffer);
        SSerialSettings s;
        m_comm.GetState(s);
        s.m_cEventChar = '\n';
        m_comm.SetState(s);
    }
    SPty m_pty;
    CComm m_comm;
    int m_iOpen = -1;
};

} // namespace

TEST(Comm, PortNames)
{
    CComm comm;
    EXPECT_EQ(comm.Open("", 1024, 1024, 2048), 2241);
    for (const char* bad : {"COM12", "com1", "COMX", "/dev/ttyS0", "COM", "LPT1"})
        EXPECT_EQ(comm.Open(bad, 1024, 1024, 2048), 2257) << bad;
    EXPECT_EQ(comm.DeviceFor("COM1"), "/dev/ttyS0");
    EXPECT_EQ(comm.DeviceFor("COM9"), "/dev/ttyS8");
    comm.MapPort("COM1", "/dev/ttyUSB0");
    EXPECT_EQ(comm.DeviceFor("COM1"), "/dev/ttyUSB0");
    comm.MapPort("COM4", "/nonexistent/tty");
    EXPECT_EQ(comm.Open("COM4", 1024, 1024, 2048), 2240);
    EXPECT_FALSE(comm.IsOpen());
    // A port mapped by mistake to a file is refused, and the file keeps its bytes.
    char path[] = "/tmp/vlt-comm-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "data", 4), 4);
    close(fd);
    comm.MapPort("COM5", path);
    EXPECT_EQ(comm.Open("COM5", 1024, 1024, 2048), 2240);
    EXPECT_EQ(comm.Write("X"), 2245);
    struct stat st;
    ASSERT_EQ(stat(path, &st), 0);
    EXPECT_EQ(st.st_size, 4);
    unlink(path);
    char buf[16];
    size_t count = 1;
    EXPECT_EQ(comm.Read(buf, sizeof buf, count, 0), 2245);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(comm.Write("X"), 2245);
}

TEST(Comm, SettingsText)
{
    SOpenComm c;
    ASSERT_EQ(c.m_iOpen, 0);
    SSerialSettings s;
    ASSERT_EQ(c.m_comm.GetState(s), 0);
    EXPECT_EQ(c.m_comm.BuildDCB("baud=19200 parity=E data=7 stop=2", s), 0);
    EXPECT_EQ(s.m_iBaud, 19200);
    EXPECT_EQ(s.m_cParity, 'E');
    EXPECT_EQ(s.m_iDataBits, 7);
    EXPECT_EQ(s.m_iStopBits, 2);
    EXPECT_EQ(c.m_comm.BuildDCB("9600,n,8,1", s), 0);
    EXPECT_EQ(s.m_iBaud, 9600);
    EXPECT_EQ(s.m_cParity, 'N');
    EXPECT_EQ(c.m_comm.BuildDCB("baud=fast", s), 2256);
    EXPECT_EQ(c.m_comm.BuildDCB("9600,q,8,1", s), 2256);
    EXPECT_EQ(s.m_iBaud, 9600); // a refused text changes nothing
}

TEST(Comm, LinesOneAtATime)
{
    SOpenComm c;
    ASSERT_EQ(c.m_iOpen, 0);
    char buf[64];
    size_t count;

    // Two lines in one burst: the second comes from the buffer without waiting.
    c.m_pty.Send("RP 1\r\nID 2,FDA8\r\n");
    ASSERT_EQ(c.m_comm.Read(buf, sizeof buf, count, 1000), 0);
    EXPECT_STREQ(buf, "RP 1\r\n");
    ASSERT_EQ(c.m_comm.Read(buf, sizeof buf, count, 0), 0);
    EXPECT_STREQ(buf, "ID 2,FDA8\r\n");

    // Nothing buffered and no time: a time-out at once.
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(c.m_comm.Read(buf, sizeof buf, count, 0), 2251);
    EXPECT_EQ(count, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(50));

    // A partial line is handed out as it is; the rest follows.
    c.m_pty.Send("SA (22,");
    usleep(20000);
    c.m_pty.Send("7)-(36,9)\r\n");
    std::string got;
    for (int i = 0; i < 5 && got.find('\n') == std::string::npos; ++i) {
        int r = c.m_comm.Read(buf, sizeof buf, count, 1000);
        ASSERT_TRUE(r == 0 || r == 2251);
        got += std::string(buf, count);
    }
    EXPECT_EQ(got, "SA (22,7)-(36,9)\r\n");

    // Commands go out whole.
    EXPECT_EQ(c.m_comm.Write("EX 1\r\n"), 0);
    EXPECT_EQ(c.m_pty.Receive(), "EX 1\r\n");
    EXPECT_EQ(c.m_comm.Write(""), 0);
}

TEST(Comm, CallerBufferLimits)
{
    SOpenComm c;
    ASSERT_EQ(c.m_iOpen, 0);
    char buf[8];
    size_t count;
    // A line that fills the buffer exactly, with more waiting, is whole.
    c.m_pty.Send("ABCDEF\nXY\n");
    ASSERT_EQ(c.m_comm.Read(buf, sizeof buf, count, 1000), 0);
    EXPECT_STREQ(buf, "ABCDEF\n");
    ASSERT_EQ(c.m_comm.Read(buf, sizeof buf, count, 1000), 0);
    EXPECT_STREQ(buf, "XY\n");

    // A buffered line longer than the caller's buffer: said so, never overrun.
    c.m_pty.Send("AB\n0123456789\n");
    usleep(20000);
    ASSERT_EQ(c.m_comm.Read(buf, sizeof buf, count, 1000), 0);
    EXPECT_STREQ(buf, "AB\n");
    EXPECT_EQ(c.m_comm.Read(buf, sizeof buf, count, 1000), 2253);
    EXPECT_EQ(count, 7u);
    EXPECT_STREQ(buf, "0123456");
    ASSERT_EQ(c.m_comm.Read(buf, sizeof buf, count, 1000), 0);
    EXPECT_STREQ(buf, "789\n");
    EXPECT_EQ(c.m_comm.Read(buf, 1, count, 0), 0);
    EXPECT_EQ(count, 0u);
}

TEST(Comm, CloseWaitsForTheReader)
{
    // Open and close in quick succession: the event thread must be gone each time.
    for (int i = 0; i < 20; ++i) {
        SOpenComm c;
        ASSERT_EQ(c.m_iOpen, 0);
        c.m_pty.Send("noise\n");
        c.m_comm.Close();
        EXPECT_FALSE(c.m_comm.IsOpen());
    }
}

// A second program must not drive the unit that the first one holds: its open
// is refused (as root too) and reported as any port that cannot be opened.
TEST(Comm, APortHeldByOneOpenerIsRefusedToAnother)
{
    SOpenComm first;
    ASSERT_EQ(first.m_iOpen, 0);
    CComm second;
    second.MapPort("COM3", first.m_pty.m_path);
    EXPECT_EQ(second.Open("COM3", 1024, 1024, 2048), 2240);
    EXPECT_FALSE(second.IsOpen());
    CSerialPort raw;
    EXPECT_FALSE(raw.Open(first.m_pty.m_path));
    EXPECT_EQ(raw.LastError(), EBUSY);
    first.m_comm.Close();
    EXPECT_EQ(second.Open("COM3", 1024, 1024, 2048), 0) << "free again once the first lets go";
}

TEST(Comm, CloseEndsAReaderWaitingForRoomInAFullQueue)
{
    // A unit that talks without pause fills a small queue: the reader waits
    // for room, and Close must still end it, whenever it comes.
    for (int i = 0; i < 100; ++i) {
        SPty pty;
        CComm comm;
        comm.MapPort("COM3", pty.m_path);
        ASSERT_EQ(comm.Open("COM3", 4, 4, 16), 0);
        pty.Send(std::string(64, 'x'));
        usleep(static_cast<useconds_t>(i % 10) * 100);
        comm.Close();
        EXPECT_FALSE(comm.IsOpen());
    }
}

TEST(Comm, AUnitThatGoesDuringSetUpFailsEachCallCleanly)
{
    // The unit goes while the port is being set up: the reader sees the end
    // while this thread still asks for the settings (the thread-sanitizer
    // build checks that the two do not trample each other's error).
    for (int i = 0; i < 20; ++i) {
        auto pty = std::make_unique<SPty>();
        CComm comm;
        comm.MapPort("COM3", pty->m_path);
        ASSERT_EQ(comm.Open("COM3", 1024, 1024, 2048), 0);
        pty.reset();
        SSerialSettings s;
        for (int k = 0; k < 50; ++k)
            comm.GetState(s);
        char buf[16];
        size_t count = 0;
        EXPECT_NE(comm.Read(buf, sizeof buf, count, 1000), 0);
        comm.Close();
    }
}

TEST(SerialPort, TimeoutIsToldApartFromError)
{
    auto pty = std::make_unique<SPty>();
    CSerialPort port;
    ASSERT_TRUE(port.Open(pty->m_path));
    char buf[8];
    auto t0 = CSerialPort::Clock::now();
    CSerialPort::Result r = port.Read(buf, sizeof buf, t0 + std::chrono::milliseconds(20));
    EXPECT_EQ(r.m_status, CSerialPort::Status::timeout);
    EXPECT_GE(CSerialPort::Clock::now() - t0, std::chrono::milliseconds(20));

    pty->Send("ab");
    r = port.Read(buf, sizeof buf, CSerialPort::Clock::now() + std::chrono::seconds(1));
    EXPECT_EQ(r.m_status, CSerialPort::Status::ok);
    EXPECT_EQ(r.m_nCount, 2u);

    // Another thread's wake-up ends a wait at once.
    port.Cancel();
    r = port.Read(buf, sizeof buf, CSerialPort::Clock::now() + std::chrono::seconds(10));
    EXPECT_EQ(r.m_status, CSerialPort::Status::cancelled);
    port.ClearCancel();

    // The far side goes away: an error, not a time-out.
    pty.reset();
    r = port.Read(buf, sizeof buf, CSerialPort::Clock::now() + std::chrono::seconds(1));
    EXPECT_EQ(r.m_status, CSerialPort::Status::error);
}

// A read without time limit ends when the wait is cancelled or the port is
// closed from another thread, as a time-out; a new read waits again.
TEST(Comm, EndlessReadEndsOnCancelAndClose)
{
    for (bool bClose : {false, true}) {
        SCOPED_TRACE(bClose);
        SOpenComm c;
        ASSERT_EQ(c.m_iOpen, 0);
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (bClose)
                c.m_comm.Close();
            else
                c.m_comm.CancelWait(true);
        });
        char buf[64];
        size_t count = 0;
        EXPECT_EQ(c.m_comm.Read(buf, sizeof buf, count, -1), 2251);
        EXPECT_EQ(count, 0u);
        other.join();
        if (!bClose) {
            c.m_comm.CancelWait(false);
            EXPECT_EQ(c.m_comm.Read(buf, sizeof buf, count, 20), 2251);
        }
    }
}

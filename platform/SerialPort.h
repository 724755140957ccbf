#pragma once
// A serial port on termios. Reads and writes wait with poll() until a deadline
// on the monotonic clock, and their result tells a time-out apart from an
// error. A blocked read can be woken from another thread (Cancel), so the
// owner can stop a reader thread before it closes the port.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

struct SSerialSettings
{
    int m_iBaud = 9600;
    char m_cParity = 'N'; // 'N', 'E', 'O', 'M', 'S'
    int m_iDataBits = 8;  // 5 to 8
    int m_iStopBits = 1;  // 1 or 2
    bool m_bRtsCts = false;
    bool m_bXonXoff = false;
    char m_cEventChar = 0; // the character whose arrival the reader reports

    bool operator==(const SSerialSettings&) const = default;
};

// Applies a mode text to settings: "baud=9600 parity=N data=8 stop=1" (with an
// optional leading "COMn:", keys "xon=on", "octs=on" too) or the short form
// "9600,n,8,1". False, with settings unchanged, when the text does not parse.
bool ParseSerialMode(std::string_view text, SSerialSettings& settings);

class CSerialPort
{
public:
    using Clock = std::chrono::steady_clock;
    enum class Status
    {
        ok,
        timeout,
        error,
        cancelled
    };
    struct Result
    {
        Status m_status = Status::ok;
        size_t m_nCount = 0;
    };

    CSerialPort() = default;
    ~CSerialPort() { Close(); }
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens an existing device for exclusive reading and writing; false on
    // failure (LastError() holds errno).
    bool Open(const std::string& device);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int LastError() const { return m_errno; }

    bool GetSettings(SSerialSettings& settings);
    bool SetSettings(const SSerialSettings& settings);

    // Waits until input is there, the deadline passes or Cancel() is called.
    Status WaitReadable(Clock::time_point deadline);
    // Reads what is there, at most size bytes; waits until the deadline for the first.
    Result Read(void* buffer, size_t size, Clock::time_point deadline);
    // Writes all bytes unless the deadline passes first.
    Result Write(const void* data, size_t size, Clock::time_point deadline);
    // Bytes waiting in the driver, or -1.
    long BytesWaiting();
    // Wakes a WaitReadable/Read of another thread with Status::cancelled; the
    // wake stays pending until ClearCancel().
    void Cancel();
    void ClearCancel();

private:
    int m_fd = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<int> m_errno{0}; // the reader thread and writers both report here
    SSerialSettings m_settings;
};

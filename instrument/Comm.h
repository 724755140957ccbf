#pragma once
// The serial-port link of the stage unit: a port with an event thread that
// reads what arrives into the driver queue and signals each line end, a line
// buffer that hands out one line at a time, and whole-command writes.
//
// Port names are "COM" and one digit; COMn is /dev/ttyS(n-1) unless a device
// has been mapped to the name (a USB adapter, a simulator's pseudo-terminal).

#include "platform/SerialPort.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CComm
{
public:
    CComm();
    virtual ~CComm();
    CComm(const CComm&) = delete;
    CComm& operator=(const CComm&) = delete;

    // Maps a port name to a device path (an empty path removes the mapping).
    void MapPort(const std::string& name, const std::string& device);
    // The device a valid port name opens.
    std::string DeviceFor(const std::string& name) const;
    // "COM" and exactly one decimal digit.
    static bool IsValidPortName(const std::string& name);

    int Open(const std::string& port, size_t inQueue, size_t outQueue, size_t lineBufferSize);
    void Close();
    bool IsOpen() const { return m_bOpen; }

    int GetState(SSerialSettings& settings);
    int BuildDCB(const std::string& text, SSerialSettings& settings);
    int SetState(const SSerialSettings& settings);
    static void FillDCB(int baud, int parity, int dataBits, int stopBits, SSerialSettings& settings);

    // Writes the text (length 0: its own length) within 100 ms.
    int Write(const char* text, size_t length = 0);
    // At most one line, with its line end, NUL-terminated. timeoutMs -1 waits without limit.
    int Read(char* buffer, size_t size, size_t& count, int timeoutMs);
    size_t GetLine(char* buffer, size_t size);
    // Drops whatever arrived and was not read (a late reply to an earlier
    // command); the caller's thread reads the line buffer.
    void Purge();
    // While set, a Read without time limit ends at once (as a time-out);
    // from any thread.
    void CancelWait(bool bCancel);

private:
    void EventThread();

    int m_bOpen = 0;
    std::atomic<int> m_bStop{0};
    CSerialPort m_port;
    std::atomic<char> m_cLineEnd{0};

    // The line buffer belongs to the thread that calls Read.
    std::vector<char> m_lineBuf;
    size_t m_iReadPos = 0;
    size_t m_nPending = 0;

    // The driver queue, filled by the event thread.
    std::mutex m_queueLock;
    std::condition_variable m_queueCond;
    std::deque<char> m_queue;
    size_t m_nQueueSize = 0;
    bool m_bLineReceived = false;
    bool m_bPortError = false;
    bool m_bCancelWait = false;
    std::thread m_thread;

    std::map<std::string, std::string> m_devices;
};

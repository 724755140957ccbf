#include "instrument/Comm.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

CComm::CComm() = default;

CComm::~CComm()
{
    Close();
}

void CComm::MapPort(const std::string& name, const std::string& device)
{
    if (device.empty())
        m_devices.erase(name);
    else
        m_devices[name] = device;
}

void CComm::Purge()
{
    std::lock_guard lock(m_queueLock);
    m_queue.clear();
    m_bLineReceived = false;
    m_iReadPos = 0;
    m_nPending = 0;
    m_queueCond.notify_all();
}

void CComm::CancelWait(bool bCancel)
{
    std::lock_guard lock(m_queueLock);
    m_bCancelWait = bCancel;
    m_queueCond.notify_all();
}

bool CComm::IsValidPortName(const std::string& name)
{
    return name.size() == 4 && name.compare(0, 3, "COM") == 0 && name[3] >= '0' && name[3] <= '9';
}

std::string CComm::DeviceFor(const std::string& name) const
{
    if (auto it = m_devices.find(name); it != m_devices.end())
        return it->second;
    if (!IsValidPortName(name) || name[3] == '0')
        return std::string();
    return "/dev/ttyS" + std::to_string(name[3] - '1');
}

int CComm::Open(const std::string& port, size_t inQueue, size_t /*outQueue*/, size_t lineBufferSize)
{
    Close();
    m_lineBuf.assign(lineBufferSize, 0);
    m_iReadPos = 0;
    m_nPending = 0;
    if (port.empty())
        return 2241;
    if (!IsValidPortName(port))
        return 2257;
    std::string device = DeviceFor(port);
    if (device.empty() || !m_port.Open(device)) {
        Close();
        return 2240;
    }
    m_bOpen = 1;
    if (inQueue == 0) {
        Close();
        return 2244;
    }
    {
        std::lock_guard lock(m_queueLock);
        m_queue.clear();
        m_nQueueSize = inQueue;
        m_bLineReceived = false;
        m_bPortError = false;
    }
    m_bStop = 0;
    m_port.ClearCancel();
    try {
        m_thread = std::thread(&CComm::EventThread, this);
    } catch (const std::system_error&) {
        Close();
        return 2051;
    }
    return 0;
}

void CComm::Close()
{
    {
        // A reader waiting without limit on another thread gives up now.
        std::lock_guard lock(m_queueLock);
        m_bStop = 1;
        m_queueCond.notify_all();
    }
    m_lineBuf.clear();
    m_lineBuf.shrink_to_fit();
    m_iReadPos = 0;
    m_nPending = 0;
    m_cLineEnd = 0;
    if (m_thread.joinable()) {
        // The reader must be gone before the port and the queue it fills.
        // The stop is set under the queue's lock: a reader waiting for room in
        // a full queue could otherwise miss it between its check and its wait,
        // and never end.
        {
            std::lock_guard lock(m_queueLock);
            m_bStop = 1;
        }
        m_port.Cancel();
        m_queueCond.notify_all();
        m_thread.join();
    }
    m_port.Close();
    m_bOpen = 0;
    std::lock_guard lock(m_queueLock);
    m_queue.clear();
    m_bLineReceived = false;
}

void CComm::EventThread()
{
    char buf[256];
    while (!m_bStop) {
        size_t room;
        {
            std::unique_lock lock(m_queueLock);
            // A full queue waits for the reader; the unit's bytes stay in the driver.
            m_queueCond.wait(lock, [this] { return m_bStop || m_queue.size() < m_nQueueSize; });
            if (m_bStop)
                break;
            room = std::min(sizeof buf, m_nQueueSize - m_queue.size());
        }
        auto far = CSerialPort::Clock::now() + std::chrono::hours(24);
        CSerialPort::Result r = m_port.Read(buf, room, far);
        if (r.m_status == CSerialPort::Status::cancelled || r.m_status == CSerialPort::Status::timeout)
            continue;
        std::lock_guard lock(m_queueLock);
        if (r.m_status == CSerialPort::Status::error) {
            m_bPortError = true;
            m_bLineReceived = true;
            m_queueCond.notify_all();
            break;
        }
        char lineEnd = m_cLineEnd;
        bool line = false;
        for (size_t i = 0; i < r.m_nCount; ++i) {
            m_queue.push_back(buf[i]);
            line = line || (lineEnd != 0 && buf[i] == lineEnd);
        }
        if (line || m_queue.size() >= m_nQueueSize) {
            m_bLineReceived = true;
            m_queueCond.notify_all();
        }
    }
}

int CComm::GetState(SSerialSettings& settings)
{
    if (!m_bOpen)
        return 2245;
    return m_port.GetSettings(settings) ? 0 : 2255;
}

int CComm::BuildDCB(const std::string& text, SSerialSettings& settings)
{
    if (!m_bOpen)
        return 2245;
    // No settings text leaves the port as it is.
    if (text.find_first_not_of(' ') == std::string::npos)
        return 0;
    return ParseSerialMode(text, settings) ? 0 : 2256;
}

int CComm::SetState(const SSerialSettings& settings)
{
    if (!m_bOpen)
        return 2245;
    m_cLineEnd = settings.m_cEventChar;
    return m_port.SetSettings(settings) ? 0 : 2246;
}

void CComm::FillDCB(int baud, int parity, int dataBits, int stopBits, SSerialSettings& s)
{
    s.m_iBaud = baud;
    s.m_cParity = parity == 0 ? 'N' : parity == 1 ? 'O' : parity == 2 ? 'E' : parity == 3 ? 'M' : 'S';
    s.m_iDataBits = dataBits;
    s.m_iStopBits = stopBits == 2 ? 2 : 1;
    s.m_bXonXoff = false;
    s.m_bRtsCts = false;
}

int CComm::Write(const char* text, size_t length)
{
    if (!m_bOpen)
        return 2245;
    if (!text || !*text)
        return 0;
    if (length == 0)
        length = std::strlen(text);
    auto r = m_port.Write(text, length, CSerialPort::Clock::now() + std::chrono::milliseconds(100));
    if (r.m_status == CSerialPort::Status::timeout)
        return 2248;
    return r.m_status == CSerialPort::Status::ok ? 0 : 2247;
}

size_t CComm::GetLine(char* buffer, size_t size)
{
    size_t n = 0;
    char lineEnd = m_cLineEnd;
    while (size > 0 && n < size - 1 && m_nPending > 0) {
        char c = m_lineBuf[m_iReadPos++];
        --m_nPending;
        buffer[n++] = c;
        if (c == lineEnd)
            break;
    }
    if (size > 0)
        buffer[n] = 0;
    if (m_nPending == 0)
        m_iReadPos = 0;
    return n;
}

int CComm::Read(char* buffer, size_t size, size_t& count, int timeoutMs)
{
    count = 0;
    if (buffer && size > 0)
        buffer[0] = 0;
    if (!m_bOpen)
        return 2245;
    if (!buffer || size < 2)
        return 0;
    char lineEnd = m_cLineEnd;
    count = GetLine(buffer, size);
    if (count == size - 1 && m_nPending > 0 && buffer[count - 1] != lineEnd)
        return 2253;
    if (count > 0 && buffer[count - 1] == lineEnd)
        return 0;

    std::unique_lock lock(m_queueLock);
    auto signalled = [this] { return m_bLineReceived; };
    if (timeoutMs < 0) {
        // Without limit, but not past a cancel or the closing of the port: a
        // unit that went quiet must not hold its caller for ever.
        m_queueCond.wait(lock, [this] { return m_bLineReceived || m_bCancelWait || m_bStop; });
        if (!m_bLineReceived)
            return 2251;
    } else if (!m_queueCond.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled))
        return 2251;
    m_bLineReceived = false;
    if (m_bPortError)
        return 2254;
    size_t waiting = m_queue.size();
    if (m_iReadPos + m_nPending + waiting > m_lineBuf.size() && m_iReadPos != 0) {
        std::memmove(m_lineBuf.data(), m_lineBuf.data() + m_iReadPos, m_nPending);
        m_iReadPos = 0;
    }
    size_t space = m_lineBuf.size() - (m_iReadPos + m_nPending);
    size_t take = std::min(waiting, space);
    if (take > 0) {
        std::copy_n(m_queue.begin(), take, m_lineBuf.begin() + static_cast<long>(m_iReadPos + m_nPending));
        m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<long>(take));
        m_nPending += take;
        m_queueCond.notify_all();
        // Something may still wait in the queue (or arrive now): say so to the next Read.
        for (char c : m_queue)
            if (c == lineEnd) {
                m_bLineReceived = true;
                break;
            }
        lock.unlock();
        count += GetLine(buffer + count, size - count);
    }
    return 0;
}

// The emulated DAU: replies made up in-process from the last command, framed
// exactly as the unit frames them, then parsed by the link's ordinary parser.

#include "instrument/DAU.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kPlaneNames[] = {"PK", "B1", "B2"};

// The value of a named field ("DW" in "...,DW=100,..."): found by name, so a
// field of unusual width cannot shift the others.
bool Field(const std::string& cmd, const char* name, int& value)
{
    std::string key = std::string(name) + "=";
    size_t pos = 0;
    while ((pos = cmd.find(key, pos)) != std::string::npos) {
        if (pos > 0 && (cmd[pos - 1] == ',' || cmd[pos - 1] == ' ')) {
            const char* p = cmd.c_str() + pos + key.size();
            char* end = nullptr;
            double v = std::strtod(p, &end);
            if (end == p || !std::isfinite(v) || v > 2147483647.0 || v < -2147483648.0)
                return false;
            value = static_cast<int>(v);
            return true;
        }
        pos += key.size();
    }
    return false;
}

bool HasField(const std::string& cmd, const char* name)
{
    int v;
    return Field(cmd, name, v) || cmd.find(std::string(",") + name + "=") != std::string::npos;
}

void PutBE(std::vector<unsigned char>& d, int v)
{
    auto u = static_cast<uint32_t>(v);
    d.push_back(static_cast<unsigned char>(u >> 24));
    d.push_back(static_cast<unsigned char>(u >> 16));
    d.push_back(static_cast<unsigned char>(u >> 8));
    d.push_back(static_cast<unsigned char>(u));
}

// A data reply of n bytes must not fall into 254..256: it fits neither frame.
bool InHole(size_t n)
{
    return n >= 254 && n <= 256;
}

} // namespace

int CDAU::FrameEmulated(const std::string& text, const std::vector<unsigned char>* data)
{
    std::vector<unsigned char> reply;
    if (data) {
        reply.push_back(static_cast<unsigned char>(text.size() + 2));
        reply.insert(reply.end(), text.begin(), text.end());
        reply.push_back(';');
        reply.insert(reply.end(), data->begin(), data->end());
    } else {
        reply.assign(text.begin(), text.end());
        reply.push_back(0);
    }
    size_t n = reply.size();
    assert(!InHole(n) && n <= 508);
    m_cReadBuf[0] = 2;
    m_cReadBuf[1] = 1;
    m_cReadBuf[2] = 0;
    if (n <= 253) {
        m_cReadBuf[2] = static_cast<unsigned char>(256 - n);
        std::memcpy(m_cReadBuf + 256 - n, reply.data(), n);
        return 256;
    }
    n = std::min<size_t>(n, 508);
    m_cReadBuf[3] = static_cast<unsigned char>(512 - n);
    std::memcpy(m_cReadBuf + 512 - n, reply.data(), n);
    return 512;
}

int CDAU::EmulateReadReply()
{
    std::string code(m_iLastCommand, strnlen(m_iLastCommand, 4));
    const std::string& cmd = m_szLastCommand;
    SEmulation& e = m_emu;
    auto text = [this](const std::string& t) { return FrameEmulated(t, nullptr); };
    const std::string bad = "DAUS CD=D"; // a command whose fields cannot be read

    if (code == "GETI")
        return text("CNFG AN=CMA,TE=XPS&AES&UPS,IG=YES,MD=LIVE,VR=1.00");
    if (code == "ABRT")
        return text("DAUS CD=4");
    if (code == "ETCH") {
        // The etch time is the value after the first '='.
        size_t eq = cmd.find('=');
        if (eq == std::string::npos)
            return text(bad);
        char* end = nullptr;
        long t = std::strtol(cmd.c_str() + eq + 1, &end, 10);
        if (end == cmd.c_str() + eq + 1 || t < 0 || t > 2147483647L)
            return text(bad);
        return text("DAUS CD=3,TI=" + std::to_string(t));
    }
    if (code == "XRAY") {
        if (!e.bXrays) {
            e.bXrays = 1;
            return text("DAUS CD=1");
        }
        if (cmd.size() >= 2 && cmd.compare(cmd.size() - 2, 2, "MD") == 0)
            return text("DAUS CD=0");
        e.bXrays = 0;
        return text("DAUS CD=2");
    }
    if (code == "SPEC") {
        int pt, dw;
        if (!Field(cmd, "PT", pt) || !Field(cmd, "DW", dw) || pt < 0)
            return text(bad);
        e.nPoints = pt;
        e.iDwell = std::max(dw, 0);
        e.iNextPoint = 1;
        return text("DAUS CD=0");
    }
    if (code == "QINT") {
        int dw;
        if (!Field(cmd, "DW", dw))
            return text(bad);
        bool b1 = HasField(cmd, "B1"), b2 = HasField(cmd, "B2");
        e.nPoints = 1 + b1 + b2;
        e.iDwell = std::max(dw, 0);
        SleepMs(static_cast<uint32_t>(e.iDwell));
        int pk = EmulateRandom() / 4;
        std::string t = "SBQI PK=" + std::to_string(pk);
        if (e.nPoints == 2) {
            // A lone second background is answered as what it is.
            t += (b2 ? ",B2=" : ",B1=") + std::to_string(EmulateRandom() / 8192 + 1);
        } else if (e.nPoints == 3) {
            int bk1 = static_cast<int>(static_cast<long long>(EmulateRandom()) * pk / 32768);
            t += ",B1=" + std::to_string(bk1) + ",B2=" + std::to_string(EmulateRandom() / 8192 + 1);
        }
        return text(t);
    }
    if (code == "LINP" || code == "SAMI") {
        int dw, x0, y0, x1, y1, dn = 1;
        if (!Field(cmd, "DW", dw) || !Field(cmd, "X0", x0) || !Field(cmd, "Y0", y0) ||
            !Field(cmd, "X1", x1) || !Field(cmd, "Y1", y1) ||
            (code == "SAMI" && (!Field(cmd, "DN", dn) || dn <= 0)))
            return text(bad);
        e.bBk1 = HasField(cmd, "B1");
        e.bBk2 = HasField(cmd, "B2");
        e.iDwell = std::max(dw, 0);
        long long dx = std::llabs(static_cast<long long>(x1) - x0) + 1;
        long long dy = std::llabs(static_cast<long long>(y1) - y0) + 1;
        if (code == "LINP") {
            e.nPoints = static_cast<int>(std::min<long long>(std::max(dx, dy), 0x7FFFFFFF));
        } else {
            e.nPoints = static_cast<int>(std::floor(static_cast<double>(dx) / dn + 0.5));
            e.nLines = static_cast<int>(std::floor(static_cast<double>(dy) / dn + 0.5));
            e.iLine = 1;
        }
        e.iPlane = 0;
        e.iNextPoint = 1;
        return text("DAUS CD=0");
    }
    if (code == "SEMI") {
        int px;
        if (!Field(cmd, "PX", px) || px < 0)
            return text(bad);
        e.nPoints = e.nLines = px;
        e.iPlane = -1;
        e.iLine = 1;
        e.iNextPoint = 1;
        return text("DAUS CD=0");
    }
    if (code == "RQSP") {
        if (e.iNextPoint > e.nPoints)
            return text("DAUS CD=6");
        int first = e.iNextPoint;
        int last = first == 1 ? 1 : std::min(first + 1000 / (e.iDwell + 20), e.nPoints);
        std::string header;
        for (;;) {
            header = "SBSP BL=4,ST=" + std::to_string(first) + ",FN=" + std::to_string(last);
            if (last > first && InHole(header.size() + 2 + 4 * static_cast<size_t>(last - first + 1))) {
                --last;
                continue;
            }
            break;
        }
        std::vector<unsigned char> data;
        double N = e.nPoints, B = N / 8, c = (N + 1) / 2;
        for (int p = first; p <= last; ++p) {
            double x = p + 1;
            int v = static_cast<int>(8000 * B * B / ((x - c) * (x - c) + B * B)) + EmulateRandom() / 128;
            PutBE(data, v);
        }
        e.iNextPoint = last + 1;
        return FrameEmulated(header, &data);
    }
    if (code == "RQLP" || code == "RQSA") {
        bool map = code == "RQSA";
        if (e.nPoints <= 0)
            return text("DAUS CD=6");
        if (e.iNextPoint > e.nPoints) {
            e.iNextPoint = 1;
            if (e.iPlane == 0)
                e.iPlane = e.bBk1 ? 1 : (e.bBk2 ? 2 : 0);
            else if (e.iPlane == 1)
                e.iPlane = e.bBk2 ? 2 : 0;
            else
                e.iPlane = 0;
            if (e.iPlane == 0) {
                if (!map)
                    return text("DAUS CD=6");
                if (++e.iLine > e.nLines)
                    return text("DAUS CD=6");
            }
        }
        long long count = std::min(e.nPoints, map ? 99 : 100);
        if (count * e.iDwell > 1000)
            count = 1000 / e.iDwell;
        int first = e.iNextPoint;
        int last = static_cast<int>(std::min<long long>(first + count, e.nPoints));
        last = std::max(last, first);
        const char* plane = kPlaneNames[std::clamp(e.iPlane, 0, 2)];
        std::string header;
        for (;;) {
            header = (map ? "SBSA BL=4,KD=" : "SBLP BL=4,KD=") + std::string(plane);
            if (map)
                header += ",LN=" + std::to_string(e.iLine);
            header += ",ST=" + std::to_string(first) + ",FN=" + std::to_string(last);
            if (last > first && InHole(header.size() + 2 + 4 * static_cast<size_t>(last - first + 1))) {
                --last;
                continue;
            }
            break;
        }
        static const int factor[] = {4, 1, 3};
        std::vector<unsigned char> data;
        for (int p = first; p <= last; ++p)
            PutBE(data, factor[std::clamp(e.iPlane, 0, 2)] * (p + 1));
        e.iNextPoint = last + 1;
        return FrameEmulated(header, &data);
    }
    if (code == "RQSE") {
        if (e.nPoints <= 0)
            return text("DAUS CD=6");
        if (e.iNextPoint > e.nPoints) {
            e.iNextPoint = 1;
            if (++e.iLine > e.nLines)
                return text("DAUS CD=6");
        }
        int first = e.iNextPoint;
        int last = std::min(first + std::min(e.nPoints, 384), e.nPoints);
        std::string header;
        for (;;) {
            header = "SBSE BL=1,LN=" + std::to_string(e.iLine) + ",ST=" + std::to_string(first) +
                     ",FN=" + std::to_string(last);
            if (last > first && InHole(header.size() + 2 + static_cast<size_t>(last - first + 1))) {
                --last;
                continue;
            }
            break;
        }
        std::vector<unsigned char> data;
        for (int p = first; p <= last; ++p)
            data.push_back(static_cast<unsigned char>((p - 1) % 256));
        e.iNextPoint = last + 1;
        return FrameEmulated(header, &data);
    }
    return text("DAUS CD=0");
}

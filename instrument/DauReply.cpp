#include "instrument/DauReply.h"

#include <cstring>
#include <string_view>

namespace {

constexpr int kUnexpected = 2288;

// Positional field reading: the value after the next '=', at most maxSkip
// characters on; names between are not checked.
bool NextValue(const char*& p, int maxSkip = 20)
{
    for (int i = 0; i <= maxSkip && *p; ++i, ++p) {
        if (*p == '=') {
            ++p;
            return true;
        }
    }
    return false;
}

bool ReadInt(const char*& p, int& v)
{
    const char* q = p;
    bool neg = false;
    if (*q == '-' || *q == '+') {
        neg = *q == '-';
        ++q;
    }
    if (*q < '0' || *q > '9')
        return false;
    long long n = 0;
    while (*q >= '0' && *q <= '9') {
        n = n * 10 + (*q - '0');
        if (n > 0x7FFFFFFFLL)
            return false;
        ++q;
    }
    v = static_cast<int>(neg ? -n : n);
    p = q;
    return true;
}

bool ReadField(const char*& p, int& v)
{
    return NextValue(p) && ReadInt(p, v);
}

// The plane name "PK", "B1", "B2" by its second character; any other name
// leaves the kind as it was.
bool ReadKind(const char*& p, int& kind)
{
    if (!NextValue(p) || !p[0] || !p[1])
        return false;
    char c = p[1];
    if (c == 'K')
        kind = 0;
    else if (c == '1')
        kind = 1;
    else if (c == '2')
        kind = 2;
    p += 2;
    return true;
}

} // namespace

int DauStatusMessage(char c, bool bAfterEtch)
{
    if (c < '0' || c > 'F')
        return kUnexpected;
    if (c == '0')
        return 0;
    // '1' up to the character before 'A' (':' to '@' included).
    if (c < 'A')
        return (c == '3' && bAfterEtch) ? 0 : 2224 + c;
    return 2217 + c;
}

int ParseDauReply(unsigned char* packet, size_t n, const char lastCommand[4], SDauReply& r)
{
    r.m_pszText = nullptr;
    r.m_pbData = nullptr;
    r.m_nDataBytes = 0;
    r.m_bData = false;
    r.m_bMalformed = false;
    std::memset(r.m_szCode, 0, sizeof r.m_szCode);

    // The frame: a short packet names its offset in byte 2, a long one has 0
    // there and the offset in byte 3. Anything else cannot be read safely.
    size_t offset;
    if (n == 256 && packet[2] >= 3)
        offset = packet[2];
    else if (n == 512 && packet[2] == 0 && packet[3] >= 4)
        offset = packet[3];
    else {
        r.m_bMalformed = true;
        return kUnexpected;
    }
    unsigned char* payload = packet + offset;
    unsigned char* end = packet + n;

    // A ';' before the first 0 after the length byte makes a data reply.
    unsigned char* semi = nullptr;
    unsigned char* nul = nullptr;
    for (unsigned char* q = payload + 1; q < end; ++q) {
        if (*q == ';') {
            semi = q;
            break;
        }
        if (*q == 0) {
            nul = q;
            break;
        }
    }
    if (semi) {
        size_t L = payload[0];
        // The length byte must agree with where the ';' lies, so the data's
        // length and start are taken from the packet, never trusted blindly.
        if (L != static_cast<size_t>(semi - payload) + 1) {
            r.m_bMalformed = true;
            return kUnexpected;
        }
        *semi = 0;
        r.m_bData = true;
        r.m_pszText = reinterpret_cast<const char*>(payload + 1);
        r.m_pbData = semi + 1;
        r.m_nDataBytes = static_cast<size_t>(end - (semi + 1));
    } else {
        if (!nul && payload[0] != 0) {
            // A text without its terminating 0 inside the packet.
            r.m_bMalformed = true;
            return kUnexpected;
        }
        r.m_pszText = reinterpret_cast<const char*>(payload);
    }
    const char* text = r.m_pszText;
    size_t len = std::strlen(text);
    std::memcpy(r.m_szCode, text, len < 4 ? len : 4);

    bool bSE = std::strcmp(r.m_szCode, "SBSE") == 0;
    if (r.m_bData && !bSE) {
        if (r.m_nDataBytes % 4 != 0) {
            r.m_bMalformed = true;
            return kUnexpected;
        }
        // In place: the data are handed out by pointer into the packet.
        unsigned char* d = semi + 1;
        for (size_t i = 0; i + 4 <= r.m_nDataBytes; i += 4) {
            uint32_t v = (static_cast<uint32_t>(d[i]) << 24) | (static_cast<uint32_t>(d[i + 1]) << 16) |
                         (static_cast<uint32_t>(d[i + 2]) << 8) | d[i + 3];
            std::memcpy(d + i, &v, 4);
        }
    }

    const char* p = text + 4;
    std::string_view code(r.m_szCode);
    auto blockOk = [&](size_t valueSize) {
        // A block carries exactly the points its header names.
        if (!r.m_bData || r.m_iStart < 1 || r.m_iEnd < r.m_iStart)
            return false;
        return r.m_nDataBytes == static_cast<size_t>(r.m_iEnd - r.m_iStart + 1) * valueSize;
    };
    int result = kUnexpected;
    if (code == "SBSP") {
        r.m_iStart = r.m_iEnd = 0;
        int bl;
        if (ReadField(p, bl) && ReadField(p, r.m_iStart) && ReadField(p, r.m_iEnd) && blockOk(4))
            result = 0;
    } else if (code == "SBLP") {
        r.m_iStart = r.m_iEnd = 0;
        r.m_iLine = 1;
        int bl;
        if (ReadField(p, bl) && ReadKind(p, r.m_iKind) && ReadField(p, r.m_iStart) &&
            ReadField(p, r.m_iEnd) && blockOk(4))
            result = 0;
    } else if (code == "SBSA") {
        r.m_iStart = r.m_iEnd = r.m_iLine = 0;
        int bl;
        if (ReadField(p, bl) && ReadKind(p, r.m_iKind) && ReadField(p, r.m_iLine) &&
            ReadField(p, r.m_iStart) && ReadField(p, r.m_iEnd) && r.m_iLine >= 1 && blockOk(4))
            result = 0;
    } else if (code == "SBSE") {
        r.m_iStart = r.m_iEnd = r.m_iLine = 0;
        r.m_iKind = -1;
        int bl;
        if (ReadField(p, bl) && ReadField(p, r.m_iLine) && ReadField(p, r.m_iStart) &&
            ReadField(p, r.m_iEnd) && r.m_iLine >= 1 && blockOk(1))
            result = 0;
    } else if (code == "SBQI") {
        r.m_iPk = r.m_iBk1 = r.m_iBk2 = -1;
        if (ReadField(p, r.m_iPk)) {
            result = 0;
            if (*p == ',') {
                ++p;
                if (p[0] && p[1]) {
                    int& target = p[1] == '1' ? r.m_iBk1 : r.m_iBk2;
                    if (!ReadField(p, target))
                        result = kUnexpected;
                    else if (*p == ',') {
                        ++p;
                        if (!(NextValue(p, 3) && ReadInt(p, r.m_iBk2)))
                            result = kUnexpected;
                    }
                } else {
                    result = kUnexpected;
                }
            }
        }
    } else if (code == "CNFG") {
        result = std::memcmp(lastCommand, "GETI", 4) == 0 ? 0 : kUnexpected;
    } else if (code == "DAUS") {
        if (std::strncmp(text, "DAUS CD=", 8) == 0)
            result = DauStatusMessage(text[8], std::memcmp(lastCommand, "ETCH", 4) == 0);
        else
            result = 0;
    }
    if (r.m_bData && result != 0 && code != "SBQI" && code != "CNFG" && code != "DAUS")
        r.m_bMalformed = true;
    return result;
}

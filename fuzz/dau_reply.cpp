// Fuzzes the DAU reply parser: the first byte picks the packet size and the
// command being answered, the rest are the packet's bytes.

#include "instrument/DauReply.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const char* const commands[] = {"GETI", "ETCH", "RQSP", "RQLP",
                                           "RQSA", "RQSE", "QINT", "\0\0\0\0"};
    const size_t n = (data[0] & 1) ? 512 : 256;
    const char* last = commands[(data[0] >> 1) & 7];
    // Exactly the packet's size on the heap, so the sanitizer sees any read past it.
    std::vector<unsigned char> buffer(n);
    unsigned char* packet = buffer.data();
    std::memcpy(packet, data + 1, size - 1 < n ? size - 1 : n);
    SDauReply reply;
    int r = ParseDauReply(packet, n, last, reply);
    // Whatever the parser hands out must lie inside the packet.
    if (reply.m_pbData && (reply.m_pbData < packet || reply.m_pbData + reply.m_nDataBytes > packet + n))
        __builtin_trap();
    if (reply.m_pszText &&
        (reinterpret_cast<const unsigned char*>(reply.m_pszText) < packet ||
         reinterpret_cast<const unsigned char*>(reply.m_pszText) + std::strlen(reply.m_pszText) >=
             packet + n))
        __builtin_trap();
    if (r == 0 && reply.m_bData && reply.m_iEnd < reply.m_iStart)
        __builtin_trap();
    return 0;
}

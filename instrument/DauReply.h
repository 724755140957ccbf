#pragma once
// The DAU reply parser: a pure function over the bytes of one reply packet, so
// that it is tested with tables of packets and fuzzed like a file reader.
//
// Packet: byte 0 source node, byte 1 destination node, then the payload offset
// in byte 2 (a 256-byte packet) or, with byte 2 = 0, in byte 3 (a 512-byte
// packet). The payload runs to the end of the packet. A text reply ends with a
// 0 inside the packet; a data reply is a length byte L, a header text, ";" and
// the data (big-endian 32-bit values, or bytes for "SBSE"), with L = text
// length + 2.

#include <cstddef>
#include <cstdint>

// What a reply leaves for the caller. The numbers keep their values across
// replies that do not set them, as the link's fields do.
struct SDauReply
{
    const char* m_pszText = nullptr;         // reply text in the packet (NUL-terminated), or null
    const unsigned char* m_pbData = nullptr; // binary tail of a data reply (swapped when it parsed), or null
    size_t m_nDataBytes = 0;
    char m_szCode[5] = {}; // first four characters of the text
    bool m_bData = false;  // a data reply

    int m_iStart = 0, m_iEnd = 0, m_iLine = 0, m_iKind = 0;
    int m_iPk = -1, m_iBk1 = -1, m_iBk2 = -1;
    bool m_bMalformed = false; // the packet itself did not hold together
};

// Splits and interprets the packet in place: terminates the header text and
// byte-swaps the data. lastCommand holds the first four letters of the command
// this reply answers ("" when none). Returns 0 or a message id: 2288 for an
// unexpected or malformed reply, a status message (2273-2287) for a "DAUS" reply.
int ParseDauReply(unsigned char* packet, size_t length, const char lastCommand[4], SDauReply& reply);

// Reads the status character of a "DAUS CD=c" text; exposed for the emulation's tests.
int DauStatusMessage(char c, bool bAfterEtch);

// Fuzzes the stage-unit reply parser: the first byte picks the command being
// answered, the rest is the reply line. With its top bit set, the rest is a
// serial-port settings text instead.

#include "instrument/AscuReply.h"
#include "platform/SerialPort.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const char* const commands[] = {"EX 1\r\n", "GP (1,2)\r\n", "ID 2\r\n", "MD MP\r\n"};
    std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 0x80) {
        SSerialSettings s;
        if (ParseSerialMode(line, s) && (s.m_iDataBits < 5 || s.m_iDataBits > 8))
            __builtin_trap();
        return 0;
    }
    SAscuReply reply;
    int r = ParseAscuReply(line, commands[data[0] & 3], reply);
    if (r != 0 && r != 2304 && r != 2306 && r != 2307 && (r < 2320 || r > 2328))
        __builtin_trap();
    return 0;
}

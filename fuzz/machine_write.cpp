// The configuration dialog's writes into an arbitrary machine configuration
// (a file kept by hand): a write that says it reached the file reads back.
#include "platform/Settings.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* const kKey = "Software\\Kestrin (UK) Ltd\\Veltrane\\1.0";

void Put(const std::string& path, const std::string& bytes)
{
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string dir = [] {
        char pattern[] = "/tmp/vlt-fuzz-machine-XXXXXX";
        return std::string(mkdtemp(pattern) ? pattern : "/tmp");
    }();
    static unsigned counter = 0;
    const std::string path = dir + "/m" + std::to_string(++counter) + ".ini";
    Put(path, std::string(reinterpret_cast<const char*>(data), size));
    SetSettingsLocations(dir + "/user.ini", path);

    const double offset = 12.5;
    bool wroteMode, wroteOffset;
    {
        CSettingsKey key = CSettingsKey::OpenMachineForWrite(kKey);
        wroteMode = key.WriteInt("AES Mode", 1);
        wroteOffset = key.WriteBinary("Offset", &offset, sizeof offset);
    }
    // Read back under a new name: the INI cache keys on name and time.
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::string copy = dir + "/c" + std::to_string(counter) + ".ini";
    Put(copy, text);
    SetSettingsLocations(dir + "/user.ini", copy);
    const CSettingsKey machine(CSettingsKey::LocalMachine, kKey);
    int32_t mode = 0;
    std::vector<uint8_t> bytes;
    if (wroteMode && (!machine.ReadInt("AES Mode", mode) || mode != 1))
        __builtin_trap();
    if (wroteOffset && (!machine.ReadBinary("Offset", bytes) || bytes.size() != sizeof offset ||
                        std::memcmp(bytes.data(), &offset, sizeof offset) != 0))
        __builtin_trap();
    ::unlink(path.c_str());
    ::unlink(copy.c_str());
    ::unlink((path + ".lock").c_str());
    return 0;
}

// The settings store over an arbitrary INI file (the machine configuration is
// written by hand): every key is walked and every value read as every type.
#include "platform/Cp1252.h"
#include "platform/Settings.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

void Walk(const CSettingsKey& key, int depth)
{
    for (const std::string& name : key.EnumValueNames()) {
        std::vector<uint8_t> b;
        std::string s;
        int32_t i;
        uint32_t d;
        double x;
        key.ReadBinary(name, b);
        key.ReadString(name, s);
        key.ReadUtf8String(name, s);
        key.ReadInt(name, i);
        key.ReadDWord(name, d);
        key.ReadDouble(name, x);
    }
    if (depth < 6)
        for (const std::string& sub : key.EnumSubKeyNames())
            Walk(key.OpenSubKey(sub), depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Each input gets a new file name: the INI cache keys on name and time.
    static const std::string dir = [] {
        char pattern[] = "/tmp/vlt-fuzz-ini-XXXXXX";
        return std::string(mkdtemp(pattern) ? pattern : "/tmp");
    }();
    static unsigned counter = 0;
    const std::string path = dir + "/m" + std::to_string(++counter) + ".ini";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    SetSettingsLocations(path, path);
    Walk(CSettingsKey(CSettingsKey::LocalMachine, ""), 0);
    ::unlink(path.c_str());

    // The same bytes as text in either code page.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string utf8 = Cp1252ToUtf8(Utf8ToCp1252(text));
    if (!IsValidUtf8(utf8))
        __builtin_trap();
    return 0;
}

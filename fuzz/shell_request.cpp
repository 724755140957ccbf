#include "app/ShellRequest.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> paths;
    std::string_view in(reinterpret_cast<const char*>(data), size);
    if (ParseShellRequest(in, paths)) {
        // A request that parses is exactly what its paths make.
        if (MakeShellRequest(paths) != in)
            __builtin_trap();
    }
    return 0;
}

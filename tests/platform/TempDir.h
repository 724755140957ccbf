#pragma once
// The scratch folder of the tests, with helpers that read and write whole files.

#include "tests/common/TempDir.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

inline std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::vector<uint8_t> B(std::string_view s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

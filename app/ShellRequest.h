#pragma once
// The request a second start of the program ("veltrane --open FILE...")
// hands to the running instance: a tag and the absolute paths, each ended by
// a zero byte (paths cannot hold one), then one more zero byte. Toolkit-free,
// so it can be fuzzed.

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kShellRequestTag = "VELTRANE-OPEN 1";
inline constexpr size_t kShellRequestMaxBytes = 1 << 20;
inline constexpr size_t kShellRequestMaxPaths = 256;

std::string MakeShellRequest(const std::vector<std::string>& paths);
// The paths in as many requests as the limits need, in their order; a path
// that cannot fit any request is left out.
std::vector<std::string> MakeShellRequests(const std::vector<std::string>& paths);
// False for anything that is not a whole, well-formed request within the limits.
bool ParseShellRequest(std::string_view data, std::vector<std::string>& paths);

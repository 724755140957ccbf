#include "app/ShellRequest.h"

std::string MakeShellRequest(const std::vector<std::string>& paths)
{
    std::string out(kShellRequestTag);
    out.push_back('\0');
    for (const std::string& p : paths) {
        out += p;
        out.push_back('\0');
    }
    // An empty entry ends the request, so a request read in pieces is never
    // taken for a shorter one.
    out.push_back('\0');
    return out;
}

std::vector<std::string> MakeShellRequests(const std::vector<std::string>& paths)
{
    // The tag with its end and the end mark of the request.
    const size_t frame = kShellRequestTag.size() + 2;
    std::vector<std::string> requests;
    std::vector<std::string> batch;
    size_t bytes = frame;
    for (const std::string& p : paths) {
        if (p.empty() || p.find('\0') != std::string::npos || frame + p.size() + 1 > kShellRequestMaxBytes)
            continue;
        if (batch.size() == kShellRequestMaxPaths || bytes + p.size() + 1 > kShellRequestMaxBytes) {
            requests.push_back(MakeShellRequest(batch));
            batch.clear();
            bytes = frame;
        }
        batch.push_back(p);
        bytes += p.size() + 1;
    }
    if (!batch.empty())
        requests.push_back(MakeShellRequest(batch));
    return requests;
}

bool ParseShellRequest(std::string_view data, std::vector<std::string>& paths)
{
    paths.clear();
    if (data.size() > kShellRequestMaxBytes || data.size() <= kShellRequestTag.size() ||
        data.substr(0, kShellRequestTag.size()) != kShellRequestTag || data[kShellRequestTag.size()] != '\0')
        return false;
    data.remove_prefix(kShellRequestTag.size() + 1);
    while (!data.empty()) {
        size_t end = data.find('\0');
        if (end == 0) {
            if (data.size() == 1)
                return true;
            break;
        }
        if (end == std::string_view::npos || paths.size() == kShellRequestMaxPaths)
            break;
        paths.emplace_back(data.substr(0, end));
        data.remove_prefix(end + 1);
    }
    paths.clear();
    return false;
}

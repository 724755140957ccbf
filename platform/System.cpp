#include "platform/System.h"

#include "platform/Exceptions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string WithSlash(std::string dir)
{
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

CFileException::Cause CauseOf(int err)
{
    if (err == ENOENT || err == ENOTDIR)
        return CFileException::badPath;
    if (err == EACCES || err == EPERM || err == EROFS)
        return CFileException::accessDenied;
    if (err == ENOSPC || err == EDQUOT)
        return CFileException::diskFull;
    return CFileException::genericException;
}

// A folder (not a link to one) of this user that no one else may write or
// enter. One of the user's own with wider permissions is narrowed.
bool IsOwnPrivateFolder(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & 077) == 0)
        return true;
    return ::chmod(path.c_str(), 0700) == 0;
}

} // namespace

std::string GetProgramDirectory()
{
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0)
            return WithSlash(GetCurrentDirectory());
        if (size_t(n) < buf.size()) {
            std::string path(buf.data(), size_t(n));
            return path.substr(0, path.find_last_of('/') + 1);
        }
        buf.resize(buf.size() * 2);
    }
}

std::string GetTempDirectory()
{
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) {
        struct stat st;
        if (::stat(tmp, &st) == 0 && S_ISDIR(st.st_mode))
            return WithSlash(tmp);
    }
    return "/tmp/";
}

std::string GetUserTempDirectory(const std::string& name)
{
    const std::string base = GetTempDirectory() + name + '-' + std::to_string(::geteuid());
    if (::mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) {
        const int err = errno;
        throw CFileException(CauseOf(err), base, err);
    }
    if (IsOwnPrivateFolder(base))
        return base + '/';
    // Someone else holds the name: a folder of our own beside it, the same
    // one for the whole run so that runs go on finding their file.
    static std::mutex lock;
    static std::map<std::string, std::string> instead;
    std::lock_guard guard(lock);
    if (auto it = instead.find(base); it != instead.end() && IsOwnPrivateFolder(it->second))
        return it->second + '/';
    std::vector<char> pattern(base.begin(), base.end());
    for (char c : std::string("-XXXXXX"))
        pattern.push_back(c);
    pattern.push_back('\0');
    if (!::mkdtemp(pattern.data())) {
        const int err = errno;
        throw CFileException(CauseOf(err), base, err);
    }
    instead[base] = pattern.data();
    return std::string(pattern.data()) + '/';
}

std::string GetCurrentDirectory()
{
    std::vector<char> buf(PATH_MAX);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE)
            return "/";
        buf.resize(buf.size() * 2);
    }
    return WithSlash(buf.data());
}

std::string GetUserName()
{
    std::vector<char> buf(4096);
    passwd pw{};
    passwd* result = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_name)
        return result->pw_name;
    if (const char* user = std::getenv("USER"); user)
        return user;
    return std::string();
}

std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix)
{
    std::string pattern = folder.empty() ? std::string("./") : WithSlash(folder);
    pattern += prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        throw CFileException(CauseOf(err), pattern, err);
    }
    ::close(fd);
    return std::string(name.data());
}

#include "platform/System.h"

#include "platform/Exceptions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
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
        CFileException::Cause cause = CFileException::genericException;
        if (err == ENOENT || err == ENOTDIR)
            cause = CFileException::badPath;
        else if (err == EACCES || err == EPERM || err == EROFS)
            cause = CFileException::accessDenied;
        else if (err == ENOSPC || err == EDQUOT)
            cause = CFileException::diskFull;
        throw CFileException(cause, pattern, err);
    }
    ::close(fd);
    return std::string(name.data());
}

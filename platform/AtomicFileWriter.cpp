#include "platform/AtomicFileWriter.h"

#include "platform/Exceptions.h"
#include "platform/System.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether a link may be followed: in a sticky folder that anyone may write
// (the temporary folder, where the acquisition's untitled file lives) only a
// link of this user or of the folder's owner is, as the kernel rules for
// opens, so that nobody can plant a link there to have another user's file
// replaced.
bool MayFollow(const std::string& link, const struct stat& st)
{
    const size_t slash = link.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : link.substr(0, slash);
    struct stat fst;
    if (::stat(folder.c_str(), &fst) != 0)
        return false;
    const bool shared = (fst.st_mode & S_ISVTX) && (fst.st_mode & S_IWOTH);
    return !shared || st.st_uid == ::geteuid() || st.st_uid == fst.st_uid;
}

// A target that is a symbolic link is saved through to the file it names, so
// the link survives the rename; a link to a file not yet there makes that
// file. A link that may not be followed is replaced, where the folder lets
// this user do so.
std::string ResolveTarget(const std::string& path)
{
    char buf[PATH_MAX];
    struct stat st;
    std::string target = path;
    for (int hop = 0; hop < 40 && ::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode); ++hop) {
        if (!MayFollow(target, st))
            break;
        const ssize_t n = ::readlink(target.c_str(), buf, sizeof buf);
        if (n <= 0 || size_t(n) >= sizeof buf)
            break;
        const std::string to(buf, size_t(n));
        const size_t slash = target.find_last_of('/');
        target = to.front() == '/' || slash == std::string::npos ? to : target.substr(0, slash + 1) + to;
    }
    return target;
}

std::atomic<bool> g_allowUnnamed{true};

// The folder (with its slash; "./" for a bare name) and the name.
std::pair<std::string, std::string> SplitPath(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {"./", path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Removes the temporaries that writers of this target left when their process
// died mid-save. Those of running processes (another save under way) stay.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || *end != '-' || pid == long(::getpid()))
            continue;
        if (::kill(pid_t(pid), 0) < 0 && errno == ESRCH)
            ::unlink((folder + name).c_str());
    }
    ::closedir(dir);
}

std::string RandomSuffix()
{
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 gen{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof(digits)) - 2);
    std::string s(8, 'x');
    for (char& c : s)
        c = digits[pick(gen)];
    return s;
}

CFileException::Cause CauseOf(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case EISDIR: // the target is a folder
    case ENAMETOOLONG:
    case ELOOP:
        return CFileException::badPath;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
        return CFileException::accessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return CFileException::diskFull;
    case EIO:
        return CFileException::hardIO;
    default:
        return CFileException::genericException;
    }
}

} // namespace

void CAtomicFileWriter::AllowUnnamedTemporaries(bool allow)
{
    g_allowUnnamed = allow;
}

CAtomicFileWriter::CAtomicFileWriter(const std::string& targetPath) : m_target(ResolveTarget(targetPath))
{
    // A file its owner made read-only is refused, as an open for writing
    // would refuse it; the rename alone would replace it.
    if (::access(m_target.c_str(), F_OK) == 0 && ::access(m_target.c_str(), W_OK) < 0) {
        const int err = errno;
        throw CFileException(CauseOf(err), m_target, err);
    }
    // A device, pipe or socket is no file to save in, and must not be
    // replaced by one (a folder is refused by the rename).
    struct stat target;
    if (::stat(m_target.c_str(), &target) == 0 && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode))
        throw CFileException(CFileException::accessDenied, m_target, EINVAL);
    auto [folder, name] = SplitPath(m_target);
    m_folder = folder;
    // The temporaries' names must fit where the target's does: a long name is
    // cut short in them, leaving room within NAME_MAX (255) for the dot,
    // ".tmp-", a process id, a dash and the random part.
    m_prefix = "." + name.substr(0, std::min<size_t>(name.size(), 200)) + ".tmp-";
    RemoveStaleTemporaries(m_folder, m_prefix);
    const std::string own = m_prefix + std::to_string(::getpid()) + "-";
    int fd = g_allowUnnamed ? ::open(m_folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600) : -1;
    if (fd >= 0) {
        m_file.Attach(fd, m_target);
    } else {
        try {
            m_temp = CreateUniqueTempFile(m_folder, own);
        } catch (const CFileException& e) {
            throw CFileException(e.m_cause, m_target, e.m_osError);
        }
        const int tfd = ::open(m_temp.c_str(), O_RDWR | O_CLOEXEC);
        if (tfd < 0) {
            const int err = errno;
            ::unlink(m_temp.c_str());
            throw CFileException(CauseOf(err), m_target, err);
        }
        // Errors are the user's target's, whatever the temporary is called.
        m_file.Attach(tfd, m_target);
    }
    // The saved file gets the permissions of the one it replaces.
    struct stat st;
    mode_t mode;
    if (::stat(m_target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(m_file.GetDescriptor(), mode);
}

void CAtomicFileWriter::LinkUnnamed()
{
    // The finished content gets a temporary name first: a link cannot replace
    // the target, the rename after it does so in one step.
    const int fd = m_file.GetDescriptor();
    const std::string own = m_prefix + std::to_string(::getpid()) + "-";
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = m_folder + own + RandomSuffix();
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno != EEXIST && ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)) {
            m_temp = name;
            return;
        }
        if (errno != EEXIST) {
            const int err = errno;
            throw CFileException(CauseOf(err), m_target, err);
        }
    }
    throw CFileException(CFileException::genericException, m_target, EEXIST);
}

CAtomicFileWriter::~CAtomicFileWriter()
{
    if (!m_done)
        Abandon();
}

void CAtomicFileWriter::Abandon()
{
    if (m_done)
        return;
    m_done = true;
    try {
        m_file.Close();
    } catch (...) {
    }
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
}

void CAtomicFileWriter::Commit()
{
    if (m_done)
        throw CFileException(CFileException::genericException, m_target);
    try {
        m_file.Flush();
        if (m_temp.empty())
            LinkUnnamed();
        m_file.Close();
        if (::rename(m_temp.c_str(), m_target.c_str()) < 0) {
            const int err = errno;
            throw CFileException(CauseOf(err), m_target, err);
        }
    } catch (...) {
        Abandon();
        throw;
    }
    m_done = true;
    // The rename itself is on disk only when the folder is.
    const int dir = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

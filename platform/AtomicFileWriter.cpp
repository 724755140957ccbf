#include "platform/AtomicFileWriter.h"

#include "platform/Exceptions.h"
#include "platform/System.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A target that is a symbolic link is saved through to the file it names, so
// the link survives the rename.
std::string ResolveTarget(const std::string& path)
{
    char buf[PATH_MAX];
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::realpath(path.c_str(), buf))
        return buf;
    return path;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return "./";
    return path.substr(0, slash + 1);
}

CFileException::Cause CauseOf(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
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

CAtomicFileWriter::CAtomicFileWriter(const std::string& targetPath) : m_target(ResolveTarget(targetPath))
{
    const std::string folder = FolderOf(m_target);
    std::string name = m_target.substr(folder.size());
    m_temp = CreateUniqueTempFile(folder, "." + name + ".tmp-");
    CFileException error(CFileException::none, m_temp);
    if (!m_file.Open(m_temp, CFile::modeReadWrite | CFile::modeNoTruncate, &error)) {
        ::unlink(m_temp.c_str());
        throw error;
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
    ::chmod(m_temp.c_str(), mode);
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
    ::unlink(m_temp.c_str());
}

void CAtomicFileWriter::Commit()
{
    if (m_done)
        throw CFileException(CFileException::genericException, m_target);
    try {
        m_file.Flush();
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
    const int dir = ::open(FolderOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

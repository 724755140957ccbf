#include "platform/File.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CFileException::Cause CauseFromErrno(int err)
{
    switch (err) {
    case ENOENT:
        return CFileException::fileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EWOULDBLOCK: // held by another exclusive opener
    case ETXTBSY:
        return CFileException::accessDenied;
    case ENOTDIR:
    case EISDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
        return CFileException::badPath;
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

[[noreturn]] void ThrowErrno(int err, const std::string& path)
{
    throw CFileException(CauseFromErrno(err), path, err);
}

} // namespace

CFile::CFile(const std::string& path, unsigned flags)
{
    CFileException error(CFileException::none, path);
    if (!Open(path, flags, &error))
        throw error;
}

CFile::~CFile()
{
    if (m_fd >= 0)
        ::close(m_fd); // errors here cannot be reported; call Close() to see them
}

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error)
{
    if (m_fd >= 0) {
        if (error)
            *error = CFileException(CFileException::genericException, path, EBUSY);
        return false;
    }
    int oflags = O_CLOEXEC;
    if (flags & modeReadWrite)
        oflags |= O_RDWR;
    else if (flags & modeWrite)
        oflags |= O_WRONLY;
    else
        oflags |= O_RDONLY;
    const bool create = (flags & modeCreate) != 0;
    const bool truncate = create && !(flags & modeNoTruncate);
    if (create)
        oflags |= O_CREAT;
    // Opening a named pipe for reading would wait for a writer that may never
    // come: it is opened at once, and then reads as blocking as any file.
    const bool readOnly = (oflags & O_ACCMODE) == O_RDONLY;
    if (readOnly)
        oflags |= O_NONBLOCK;

    int fd;
    do
        fd = ::open(path.c_str(), oflags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (error)
            *error = CFileException(CauseFromErrno(errno), path, errno);
        return false;
    }
    if (readOnly) {
        const int fl = ::fcntl(fd, F_GETFL);
        if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) < 0) {
            const int err = errno;
            ::close(fd);
            if (error)
                *error = CFileException(CauseFromErrno(err), path, err);
            return false;
        }
    }
    // The lock comes before the truncation: a file held by an exclusive opener
    // must not lose its content to a second one that is then refused.
    if (flags & shareExclusive) {
        int rc;
        do
            rc = ::flock(fd, LOCK_EX | LOCK_NB);
        while (rc < 0 && errno == EINTR);
        if (rc < 0) {
            const int err = errno;
            ::close(fd);
            if (error)
                *error = CFileException(CauseFromErrno(err), path, err);
            return false;
        }
    }
    if (truncate) {
        struct stat st;
        // Only regular files can be truncated; devices and pipes are opened as they are.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size != 0 && ::ftruncate(fd, 0) < 0) {
            const int err = errno;
            ::close(fd);
            if (error)
                *error = CFileException(CauseFromErrno(err), path, err);
            return false;
        }
    }
    m_fd = fd;
    m_path = path;
    return true;
}

void CFile::Attach(int fd, const std::string& path)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    m_path = path;
}

void CFile::Close()
{
    if (m_fd < 0)
        return;
    const int fd = m_fd;
    m_fd = -1;
    // close() may report a deferred write error (network file systems); the
    // descriptor is gone either way, so EINTR is not retried.
    if (::close(fd) < 0 && errno != EINTR)
        ThrowErrno(errno, m_path);
}

size_t CFile::Read(void* buffer, size_t count)
{
    if (m_fd < 0)
        throw CFileException(CFileException::genericException, m_path, EBADF);
    auto* p = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const size_t chunk = std::min<size_t>(count - done, size_t(1) << 30);
        const ssize_t n = ::read(m_fd, p + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(errno, m_path);
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    return done;
}

void CFile::Write(const void* buffer, size_t count)
{
    if (m_fd < 0)
        throw CFileException(CFileException::genericException, m_path, EBADF);
    const auto* p = static_cast<const uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const size_t chunk = std::min<size_t>(count - done, size_t(1) << 30);
        const ssize_t n = ::write(m_fd, p + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(errno, m_path);
        }
        if (n == 0) // cannot happen for regular files; guards against a spin
            throw CFileException(CFileException::diskFull, m_path, ENOSPC);
        done += size_t(n);
    }
}

uint64_t CFile::Seek(int64_t offset, SeekPosition from)
{
    if (m_fd < 0)
        throw CFileException(CFileException::genericException, m_path, EBADF);
    const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    const off_t pos = ::lseek(m_fd, off_t(offset), whence);
    if (pos < 0)
        throw CFileException(errno == EINVAL ? CFileException::badSeek : CauseFromErrno(errno), m_path,
                             errno);
    return uint64_t(pos);
}

uint64_t CFile::GetPosition() const
{
    if (m_fd < 0)
        throw CFileException(CFileException::genericException, m_path, EBADF);
    const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0)
        ThrowErrno(errno, m_path);
    return uint64_t(pos);
}

uint64_t CFile::GetLength() const
{
    if (m_fd < 0)
        throw CFileException(CFileException::genericException, m_path, EBADF);
    struct stat st;
    if (::fstat(m_fd, &st) < 0)
        ThrowErrno(errno, m_path);
    return uint64_t(st.st_size);
}

void CFile::SetLength(uint64_t length)
{
    if (m_fd < 0)
        throw CFileException(CFileException::genericException, m_path, EBADF);
    if (length > uint64_t(std::numeric_limits<off_t>::max()))
        throw CFileException(CFileException::badSeek, m_path, EINVAL);
    int rc;
    do
        rc = ::ftruncate(m_fd, off_t(length));
    while (rc < 0 && errno == EINTR);
    if (rc < 0)
        ThrowErrno(errno, m_path);
}

void CFile::Flush()
{
    if (m_fd < 0)
        return;
    if (::fsync(m_fd) < 0 && errno != EINVAL && errno != EROFS) // EINVAL: pipes and the like
        ThrowErrno(errno, m_path);
}

std::string CFile::GetFileTitle() const
{
    const size_t slash = m_path.find_last_of('/');
    return slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

// ---------------------------------------------------------------------------

CMemFile::CMemFile(const void* data, size_t size, std::string name)
    : m_data(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size)
{
    m_path = std::move(name);
}

CMemFile::CMemFile(std::vector<uint8_t> bytes, std::string name) : m_data(std::move(bytes))
{
    m_path = std::move(name);
}

size_t CMemFile::Read(void* buffer, size_t count)
{
    if (m_pos >= m_data.size() || count == 0)
        return 0;
    const size_t n = size_t(std::min<uint64_t>(count, m_data.size() - m_pos));
    std::memcpy(buffer, m_data.data() + m_pos, n);
    m_pos += n;
    return n;
}

void CMemFile::Write(const void* buffer, size_t count)
{
    if (count == 0)
        return;
    if (m_pos > m_data.max_size() || count > m_data.max_size() - m_pos)
        throw CFileException(CFileException::diskFull, m_path, ENOSPC);
    const uint64_t end = m_pos + count;
    if (end > m_data.size()) {
        try {
            m_data.resize(size_t(end)); // a seek past the end leaves zero bytes in the gap
        } catch (const std::bad_alloc&) {
            throw CFileException(CFileException::diskFull, m_path, ENOMEM);
        }
    }
    std::memcpy(m_data.data() + m_pos, buffer, count);
    m_pos = end;
}

uint64_t CMemFile::Seek(int64_t offset, SeekPosition from)
{
    const int64_t base = from == begin ? 0 : from == current ? int64_t(m_pos) : int64_t(m_data.size());
    if ((offset < 0 && base + offset < 0) ||
        (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset))
        throw CFileException(CFileException::badSeek, m_path, EINVAL);
    m_pos = uint64_t(base + offset);
    return m_pos;
}

void CMemFile::SetLength(uint64_t length)
{
    if (length > m_data.max_size())
        throw CFileException(CFileException::diskFull, m_path, ENOMEM);
    try {
        m_data.resize(size_t(length));
    } catch (const std::bad_alloc&) {
        throw CFileException(CFileException::diskFull, m_path, ENOMEM);
    }
}

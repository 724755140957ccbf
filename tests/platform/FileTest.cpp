#include "platform/File.h"
#include "platform/AtomicFileWriter.h"
#include "platform/Exceptions.h"
#include "platform/System.h"

#include "TempDir.h"
#include "tests/common/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using Bytes = std::vector<uint8_t>;

TEST(File, OpenFailuresCarryTheirCause)
{
    CTempDir dir;
    WriteAll(dir / "plain", "x");
    struct Row
    {
        std::string path;
        unsigned flags;
        CFileException::Cause cause;
    } rows[] = {
        {dir / "missing", CFile::modeRead, CFileException::fileNotFound},
        {dir / "plain/below", CFile::modeRead, CFileException::badPath},
        {dir.Path(), CFile::modeWrite, CFileException::badPath}, // a folder
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        CFile f;
        CFileException error(CFileException::none, "");
        EXPECT_FALSE(f.Open(row.path, row.flags, &error));
        EXPECT_EQ(error.m_cause, row.cause);
        EXPECT_EQ(error.m_path, row.path);
        EXPECT_FALSE(f.IsOpen());
        EXPECT_THROW(CFile(row.path, row.flags), CFileException);
    }
}

TEST(File, ExclusiveOpenRefusesASecondOpenerWithoutTruncatingTheFile)
{
    CTempDir dir;
    const std::string path = dir / "doc.vlt";
    WriteAll(path, "precious data");
    CFile holder(path, CFile::modeReadWrite | CFile::shareExclusive);

    CFile second;
    CFileException error(CFileException::none, "");
    EXPECT_FALSE(second.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &error));
    EXPECT_EQ(error.m_cause, CFileException::accessDenied);
    EXPECT_EQ(ReadAll(path), B("precious data"));

    holder.Close();
    EXPECT_TRUE(second.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
    EXPECT_EQ(second.GetLength(), 0u); // truncated once it holds the lock
}

// A named pipe opened for reading does not wait for a writer; once open it
// reads as blocking as a file, so a writer that is slow still gets read.
TEST(File, ANamedPipeOpensForReadingWithoutAWriter)
{
    CTempDir dir;
    const std::string pipe = dir / "pipe.vlt";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::atomic<bool> opened{false}, rescued{false};
    // Frees an open stuck waiting for a writer, so that the test fails instead.
    std::thread rescue([&] {
        for (int i = 0; i < 100 && !opened; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (opened)
            return;
        rescued = true;
        const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    {
        CFile f(pipe, CFile::modeRead);
        opened = true;
        char c;
        EXPECT_EQ(f.Read(&c, 1), 0u) << "no writer: the end at once";
    }
    rescue.join();
    EXPECT_FALSE(rescued) << "the open waited for a writer";

    std::atomic<bool> writing{false};
    std::thread writer([&] {
        const int fd = ::open(pipe.c_str(), O_WRONLY);
        writing = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(::write(fd, "abc", 3), 3);
        ::close(fd);
    });
    CFile f(pipe, CFile::modeRead);
    while (!writing)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    char buf[4] = {};
    EXPECT_EQ(f.Read(buf, 3), 3u);
    EXPECT_STREQ(buf, "abc");
    writer.join();
}

TEST(File, ReadWriteSeekAndTitle)
{
    CTempDir dir;
    CFile f(dir / "a.bin", CFile::modeCreate | CFile::modeReadWrite);
    EXPECT_EQ(f.GetFileTitle(), "a.bin");
    f.Write("hello", 5);
    EXPECT_EQ(f.Seek(-2, CFile::current), 3u);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 8), 2u); // short only at the end of the file
    EXPECT_STREQ(buf, "lo");
    EXPECT_THROW(f.Seek(-1, CFile::begin), CFileException);
    f.SetLength(2);
    EXPECT_EQ(f.GetLength(), 2u);
    f.Flush();
    f.Close();
    EXPECT_FALSE(f.IsOpen());
}

TEST(MemFile, SeekPastTheEndThenWriteLeavesZeros)
{
    CMemFile f(Bytes{1, 2});
    EXPECT_EQ(f.Seek(2, CFile::end), 4u);
    const uint8_t v = 9;
    f.Write(&v, 1);
    EXPECT_EQ(f.Data(), (Bytes{1, 2, 0, 0, 9}));
    uint8_t buf[4];
    EXPECT_EQ(f.Read(buf, 4), 0u);
    f.SeekToBegin();
    EXPECT_EQ(f.Read(buf, 4), 4u);
    EXPECT_THROW(f.Seek(-1, CFile::begin), CFileException);
    f.SetLength(1);
    EXPECT_EQ(f.Data(), Bytes{1});
}

class AtomicFileWriterTest : public ::testing::Test
{
protected:
    void SetUp() override { WriteAll(m_target, "old content"); }
    static void Put(CAtomicFileWriter& w, const std::string& s) { w.File().Write(s.data(), s.size()); }
    size_t FilesInFolder() const
    {
        size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(m_dir.Path()))
            ++n;
        return n;
    }
    CTempDir m_dir;
    std::string m_target = m_dir / "doc.vlt";
};

TEST_F(AtomicFileWriterTest, CommitReplacesTheFileAndKeepsItsPermissions)
{
    ::chmod(m_target.c_str(), 0640);
    {
        CAtomicFileWriter w(m_target);
        EXPECT_TRUE(w.GetTempPath().empty() ||
                    w.GetTempPath().substr(0, m_dir.Path().size()) == m_dir.Path());
        Put(w, "new content");
        w.Commit();
    }
    EXPECT_EQ(ReadAll(m_target), B("new content"));
    struct stat st;
    ASSERT_EQ(::stat(m_target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(AtomicFileWriterTest, AnUncommittedWriterLeavesTheOldFileAndNoTemporary)
{
    {
        CAtomicFileWriter w(m_target);
        Put(w, "half a sa");
    } // a save that failed half way
    EXPECT_EQ(ReadAll(m_target), B("old content"));
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(AtomicFileWriterTest, AFailedRenameReportsAndLeavesNoTemporary)
{
    const std::string folderTarget = m_dir / "sub";
    std::filesystem::create_directory(folderTarget);
    WriteAll(folderTarget + "/x", "");
    CAtomicFileWriter w(folderTarget); // the target is a non-empty folder: rename fails
    Put(w, "data");
    EXPECT_THROW(w.Commit(), CFileException);
    EXPECT_EQ(FilesInFolder(), 2u);
}

TEST_F(AtomicFileWriterTest, ASymbolicLinkIsSavedThrough)
{
    const std::string link = m_dir / "link.vlt";
    ASSERT_EQ(::symlink(m_target.c_str(), link.c_str()), 0);
    CAtomicFileWriter w(link);
    Put(w, "via link");
    w.Commit();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadAll(m_target), B("via link"));
}

TEST_F(AtomicFileWriterTest, ABareNameIsSavedInTheCurrentFolder)
{
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.Path());
    for (bool unnamed : {true, false}) {
        CAtomicFileWriter::AllowUnnamedTemporaries(unnamed);
        for (const char* name : {"a", "doc.vlt"}) {
            SCOPED_TRACE(name);
            CAtomicFileWriter w(name);
            if (!unnamed) {
                EXPECT_EQ(w.GetTempPath().rfind(std::string("./.") + name + ".tmp-", 0), 0u)
                    << w.GetTempPath();
            }
            Put(w, name);
            w.Commit();
            EXPECT_EQ(ReadAll(m_dir / name), B(name));
        }
    }
    CAtomicFileWriter::AllowUnnamedTemporaries(true);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(FilesInFolder(), 2u) << "doc.vlt and a, no temporaries";
}

TEST_F(AtomicFileWriterTest, ASaveKilledHalfWayLeavesNoTemporaryForLong)
{
    // A save killed before its commit: with unnamed temporaries nothing is
    // left; with named ones the next save of the target removes the remains
    // of the dead writer (and only of that target).
    const std::string other = m_dir / "other.vlt";
    for (bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        CAtomicFileWriter::AllowUnnamedTemporaries(unnamed);
        for (const std::string& target : {m_target, other}) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                CAtomicFileWriter w(target);
                const std::string half(1 << 16, 'x');
                w.File().Write(half.data(), half.size());
                ::raise(SIGKILL);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFSIGNALED(status));
        }
        EXPECT_EQ(ReadAll(m_target), B("old content"));
        EXPECT_EQ(FilesInFolder(), unnamed ? 1u : 3u);
        {
            CAtomicFileWriter w(m_target);
            Put(w, "saved again");
            w.Commit();
        }
        EXPECT_EQ(FilesInFolder(), unnamed ? 1u : 2u) << "the other target's remains are not this save's";
        EXPECT_EQ(ReadAll(m_target), B("saved again"));
        for (const auto& e : std::filesystem::directory_iterator(m_dir.Path()))
            if (e.path() != m_target)
                std::filesystem::remove(e.path());
        WriteAll(m_target, "old content");
    }
    CAtomicFileWriter::AllowUnnamedTemporaries(true);
}

TEST_F(AtomicFileWriterTest, AnotherUsersLinkInASharedFolderIsNotFollowed)
{
    // Another user's link planted in a sticky folder open to all (where the
    // untitled acquisition file goes) must not redirect the save.
    if (::geteuid() != 0)
        GTEST_SKIP() << "a link of another user needs root to make";
    const std::string shared = m_dir / "shared";
    std::filesystem::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string planted = shared + "/Veltrane.vlt";
    ASSERT_EQ(::symlink(m_target.c_str(), planted.c_str()), 0);
    ASSERT_EQ(::lchown(planted.c_str(), 65534, 65534), 0);
    {
        CAtomicFileWriter w(planted);
        Put(w, "acquired");
        w.Commit();
    }
    EXPECT_EQ(ReadAll(m_target), B("old content"));
    EXPECT_EQ(ReadAll(planted), B("acquired")) << "root may replace the link itself";
    // The user's own link there is followed as anywhere else.
    const std::string own = shared + "/own.vlt";
    ASSERT_EQ(::symlink(m_target.c_str(), own.c_str()), 0);
    {
        CAtomicFileWriter w(own);
        Put(w, "mine");
        w.Commit();
    }
    EXPECT_EQ(ReadAll(m_target), B("mine"));
}

TEST_F(AtomicFileWriterTest, APipeIsNeitherWrittenNorReplaced)
{
    const std::string pipe = m_dir / "pipe.vlt";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    try {
        CAtomicFileWriter w(pipe);
        Put(w, "data");
        w.Commit();
        ADD_FAILURE() << "saved";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::accessDenied);
    }
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    // Nor through a link to it.
    const std::string link = m_dir / "link.vlt";
    ASSERT_EQ(::symlink("pipe.vlt", link.c_str()), 0);
    EXPECT_THROW(CAtomicFileWriter{link}, CFileException);
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_EQ(FilesInFolder(), 3u);
}

TEST_F(AtomicFileWriterTest, NoFolderNoWriter)
{
    EXPECT_THROW(CAtomicFileWriter(m_dir / "missing/doc.vlt"), CFileException);
}

TEST_F(AtomicFileWriterTest, ANameAsLongAsTheFolderAllowsIsSaved)
{
    // The temporary's name adds to the target's: it must still fit.
    const long nameMax = ::pathconf(m_dir.Path().c_str(), _PC_NAME_MAX);
    ASSERT_GT(nameMax, 4);
    const std::string target = m_dir / (std::string(size_t(nameMax) - 4, 'n') + ".vlt");
    for (bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        CAtomicFileWriter::AllowUnnamedTemporaries(unnamed);
        try {
            CAtomicFileWriter w(target);
            Put(w, unnamed ? "first" : "second");
            w.Commit();
        } catch (const CFileException& e) {
            ADD_FAILURE() << "cause " << e.m_cause << ", error " << e.m_osError;
        }
        EXPECT_EQ(ReadAll(target), B(unnamed ? "first" : "second"));
    }
    CAtomicFileWriter::AllowUnnamedTemporaries(true);
    EXPECT_EQ(FilesInFolder(), 2u);
}

TEST_F(AtomicFileWriterTest, AFullDiskIsReportedUnderTheTargetsName)
{
    // The user knows the file by the name they chose, not the temporary's.
    for (bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        CAtomicFileWriter::AllowUnnamedTemporaries(unnamed);
        try {
            CAtomicFileWriter w(m_target);
            CFileSizeLimit limit(1024);
            ASSERT_TRUE(limit.IsSet());
            Put(w, std::string(4096, 'x'));
            w.Commit();
            ADD_FAILURE() << "no error";
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_cause, CFileException::diskFull);
            EXPECT_EQ(e.m_path, m_target);
        }
        EXPECT_EQ(ReadAll(m_target), B("old content"));
        EXPECT_EQ(FilesInFolder(), 1u);
    }
    CAtomicFileWriter::AllowUnnamedTemporaries(true);
}

TEST_F(AtomicFileWriterTest, AReadOnlyFileIsRefusedAndKept)
{
    // Root may write anything: the check runs as an ordinary user, in a
    // child that gives root up.
    ::chmod(m_target.c_str(), 0444);
    ::chmod(m_dir.Path().c_str(), 0777);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) < 0 || ::setuid(65534) < 0))
            ::_exit(2);
        int code = 1;
        try {
            CAtomicFileWriter w(m_target);
            Put(w, "replaced");
            w.Commit();
        } catch (const CFileException& e) {
            code = e.m_cause == CFileException::accessDenied && e.m_path == m_target ? 0 : 3;
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "no ordinary user to run as";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: replaced, 3: another error";
    EXPECT_EQ(ReadAll(m_target), B("old content"));
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(AtomicFileWriterTest, ALinkToAFileNotYetThereIsSavedThroughToIt)
{
    // The link stays a link, and the file it names is made, whether the link
    // is written relative to its folder or in full, or points at another link.
    std::filesystem::create_directory(m_dir / "data");
    struct Case
    {
        const char* link;
        std::string names;
        const char* made;
    } cases[] = {
        {"rel.vlt", "data/a.vlt", "data/a.vlt"},
        {"abs.vlt", m_dir / "data/b.vlt", "data/b.vlt"},
        {"data/up.vlt", "../c.vlt", "c.vlt"},
        {"chain.vlt", "rel2.vlt", "data/d.vlt"},
    };
    ASSERT_EQ(::symlink("data/d.vlt", (m_dir / "rel2.vlt").c_str()), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        const std::string link = m_dir / c.link;
        ASSERT_EQ(::symlink(c.names.c_str(), link.c_str()), 0);
        {
            CAtomicFileWriter w(link);
            Put(w, c.link);
            w.Commit();
        }
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(ReadAll(m_dir / c.made), B(c.link));
    }
    // A link into a folder that is not there is not replaced by the save.
    const std::string nowhere = m_dir / "nowhere.vlt";
    ASSERT_EQ(::symlink("missing/x.vlt", nowhere.c_str()), 0);
    EXPECT_THROW(CAtomicFileWriter{nowhere}, CFileException);
    EXPECT_TRUE(std::filesystem::is_symlink(nowhere));
}

TEST(System, Directories)
{
    const std::string program = GetProgramDirectory();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.back(), '/');
    EXPECT_EQ(program.front(), '/');
    EXPECT_TRUE(std::filesystem::exists(program + "platform_tests"));
    EXPECT_EQ(GetTempDirectory().back(), '/');
    EXPECT_EQ(GetCurrentDirectory().back(), '/');
    if (const passwd* pw = ::getpwuid(::geteuid())) {
        EXPECT_EQ(GetUserName(), pw->pw_name);
    }

    CTempDir dir;
    const std::string a = CreateUniqueTempFile(dir.Path(), "p");
    const std::string b = CreateUniqueTempFile(dir.Path(), "p");
    EXPECT_NE(a, b);
    EXPECT_TRUE(std::filesystem::exists(a));
    EXPECT_THROW(CreateUniqueTempFile(dir / "missing", "p"), CFileException);
}

TEST(System, UserTempDirectoryIsNoOneElses)
{
    // The shared temporary folder: whatever stands under the user's folder
    // name, the folder handed back is a real folder of this user that nobody
    // else may enter, and it stays the same from one call to the next.
    const std::string own = "Veltrane-" + std::to_string(::geteuid());
    const struct
    {
        const char* what;
        // False when this user cannot set the case up.
        std::function<bool(const std::string&)> make;
        bool usedAsIs;
    } cases[] = {
        {"nothing", [](const std::string&) { return true; }, true},
        {"the user's own, open to all",
         [](const std::string& p) { return ::mkdir(p.c_str(), 0700) == 0 && ::chmod(p.c_str(), 0777) == 0; },
         true},
        {"a file",
         [](const std::string& p) {
             WriteAll(p, "x");
             return true;
         },
         false},
        {"a link to a folder",
         [](const std::string& p) {
             std::filesystem::create_directory(p + ".target");
             std::filesystem::create_directory_symlink(p + ".target", p);
             return true;
         },
         false},
        {"another user's folder",
         [](const std::string& p) {
             return ::mkdir(p.c_str(), 0777) == 0 && ::chown(p.c_str(), 65534, 65534) == 0;
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CTempDir shared;
        ::chmod(shared.Path().c_str(), 01777);
        if (!c.make(shared / own))
            continue; // only root can give a folder away
        const char* old = std::getenv("TMPDIR");
        const std::string keep = old ? old : "";
        ::setenv("TMPDIR", shared.Path().c_str(), 1);
        std::string got, again;
        EXPECT_NO_THROW(got = GetUserTempDirectory("Veltrane"));
        EXPECT_NO_THROW(again = GetUserTempDirectory("Veltrane"));
        old ? ::setenv("TMPDIR", keep.c_str(), 1) : ::unsetenv("TMPDIR");
        EXPECT_EQ(got, again);
        EXPECT_EQ(got == shared / own + "/", c.usedAsIs) << got;
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.back(), '/');
        EXPECT_EQ(got.rfind(shared / own, 0), 0u) << got;
        struct stat st;
        ASSERT_EQ(::lstat(got.substr(0, got.size() - 1).c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_EQ(st.st_mode & 0777, 0700u);
    }
}

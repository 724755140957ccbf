#pragma once
// Saving without ever leaving a torn file: the data go to a temporary file in
// the target's folder; Commit() pushes it to the disk and renames it over the
// target in one step. Until then the old file stays as it was; a writer that is
// destroyed uncommitted (a failed save) removes its temporary file.
// Where the file system allows it, the temporary file has no name until it is
// complete, so a process killed during a save leaves nothing behind. Elsewhere
// its name carries the writer's process id, and the next save of the same
// target removes the temporaries of writers that no longer run.
// Every error, the writer's and its File()'s, names the target.
//
//   CAtomicFileWriter writer(path);       // throws CFileException
//   CArchive ar(&writer.File(), CArchive::store);
//   ... ar.Close();
//   writer.Commit();                      // throws CFileException

#include "platform/File.h"

#include <string>

class CAtomicFileWriter
{
public:
    explicit CAtomicFileWriter(const std::string& targetPath);
    ~CAtomicFileWriter();
    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;

    // The temporary file, open for reading and writing.
    CFile& File() { return m_file; }
    const std::string& GetTargetPath() const { return m_target; }
    // The temporary file's name; empty while it has none.
    const std::string& GetTempPath() const { return m_temp; }

    // fsync, close, rename over the target, fsync the folder. The target keeps
    // the permissions it had (new files get the usual ones under the umask).
    void Commit();
    // Drops the temporary file; the target is untouched.
    void Abandon();

    // Tests turn off unnamed temporaries to reach the named fallback.
    static void AllowUnnamedTemporaries(bool allow);

private:
    void LinkUnnamed();

    std::string m_target;
    std::string m_folder; // with its trailing slash
    std::string m_prefix; // the temporaries' names before the process id
    std::string m_temp;
    CFile m_file;
    bool m_done = false;
};

#pragma once

// Whole-file reading and crash-safe replacement of a file, with the system's error turned into the
// French text the error box shows. Shared by the recordings and the preferences file.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace sornafex {

// The text shown for a failed file operation, by errno: "Fichier introuvable", "Nom de fichier
// incorrect" (also for a missing folder on the way, which the helpers below report as ENOTDIR),
// "Trop de fichiers ouverts", "Accès au fichier refusé" (also for a folder given as a file),
// "Disque plein", else "Erreur E/S <errno>".
std::string FileErrorText(int errorNumber);

// A file that could not be opened, read, written or replaced. what() is FileErrorText, or a text
// that says more than the code alone.
class EFileError : public std::runtime_error {
public:
    explicit EFileError(int errorNumber);
    EFileError(int errorNumber, const std::string& text);
    int ErrorNumber() const noexcept { return m_errorNumber; }

private:
    int m_errorNumber;
};

// The system calls the file helpers make. Every call behaves like its POSIX namesake (-1 and errno
// on failure); the base class makes the real calls, and tests override one of them to fail.
class TFileSystem {
public:
    virtual ~TFileSystem() = default;

    virtual int Open(const std::string& path, int flags, mode_t mode);
    // openat(2): name taken from the folder open at folderFd.
    virtual int OpenAt(int folderFd, const std::string& name, int flags, mode_t mode);
    virtual int Fstat(int fd, struct stat& status);
    virtual ssize_t Read(int fd, void* buffer, std::size_t size);
    virtual ssize_t Write(int fd, const void* buffer, std::size_t size);
    virtual int Fsync(int fd);
    virtual int Fchmod(int fd, mode_t mode);
    virtual int Fchown(int fd, uid_t owner, gid_t group);
    virtual int Ftruncate(int fd, off_t length);
    virtual int Close(int fd);
    virtual int Rename(const std::string& from, const std::string& to);
    virtual int Unlink(const std::string& path);

    // The real file system, shared by everyone who does not inject another.
    static TFileSystem& Posix();
};

// Reads the file in pieces and hands each to sink in order; stops early when sink returns false.
// Others may read the file meanwhile. Throws EFileError when it cannot be opened or read.
void ReadFileInPieces(const std::string& path, const std::function<bool(std::string_view)>& sink,
                      TFileSystem& fs = TFileSystem::Posix());

// The whole file; throws EFileError.
std::string ReadWholeFile(const std::string& path, TFileSystem& fs = TFileSystem::Posix());

// Replaces the file at path (or creates it) with bytes so that a crash, a full disk or any other
// failure leaves either the old file or the new one, never a mix: the bytes go to a temporary
// file in the same folder, which is flushed to the disk and then renamed over the target.
// - The target's mode, owner and group are kept. Where the owner or group cannot be given to the
//   new file (a file of another user that this one may write), the bytes are written over the
//   file itself instead, as an editor would: then a crash can leave a mix.
// - A file that already holds exactly these bytes is left alone (same inode, same times), once
//   the checks a real write would make have passed.
// - A symbolic link is followed, also one whose file does not exist yet: the link stays and the
//   file it names is written. A link in a sticky folder that every account may write (/tmp), owned
//   neither by this account nor by the folder's owner, is refused (EACCES, the text naming the
//   link), on the way to the file as for the file itself: the rule the kernel's protected_symlinks
//   applies to the links it follows.
// - A file without write permission is refused ("Accès au fichier refusé") even to a user who
//   could rename over it.
// - Temporary files that interrupted saves of this program left in the folder, whose process is
//   gone, are removed.
// Throws EFileError; the temporary file is removed on failure.
void WriteFileAtomically(const std::string& path, std::string_view bytes,
                         TFileSystem& fs = TFileSystem::Posix());
// The same, except that a file that does not exist yet is made with newFileMode whatever the
// umask (0600 for a file that is its owner's alone, like a journal's sidecars).
void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t newFileMode,
                         TFileSystem& fs = TFileSystem::Posix());

// Writes all of bytes to fd, carrying on after short writes and EINTR; a write that moves nothing
// counts as a full disk. Throws EFileError.
void WriteAll(int fd, std::string_view bytes, TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex

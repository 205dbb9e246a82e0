#include "base/file_io.h"

#include "base/uRes.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <utility>

namespace sornafex {

namespace {

constexpr std::size_t kPieceSize = 64 * 1024;

// Owns a descriptor opened through a TFileSystem. Closing in the destructor is only for the paths
// that already failed; a successful write closes explicitly to see the close's own error.
class TFd {
public:
    TFd(TFileSystem& fs, int fd) : m_fs(fs), m_fd(fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() {
        if (m_fd >= 0)
            m_fs.Close(m_fd);
    }
    int Get() const { return m_fd; }
    // Closes now; returns the close's result. Never retried: on Linux the descriptor is gone
    // whatever close() returned.
    int Close() { return m_fs.Close(std::exchange(m_fd, -1)); }

private:
    TFileSystem& m_fs;
    int m_fd;
};

[[noreturn]] void ThrowErrno() {
    throw EFileError(errno);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The system reports a missing folder on the way to a file as it reports a missing file; the
// user is told which, the way the platform's own codes do: "path not found" is a name that
// cannot be right.
[[noreturn]] void ThrowOpenError(const std::string& path) {
    const int error = errno;
    if (error == ENOENT) {
        struct stat folder {};
        if (::stat(FolderOf(path).c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))
            throw EFileError(ENOTDIR);
    }
    throw EFileError(error);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file the bytes really belong to: a symbolic link is resolved so that the link itself stays
// and the file it points at is replaced. A dangling link is replaced by the new file.
std::string ResolveTarget(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

// Opens a new file beside the target under a name nobody else uses. O_EXCL makes a name that
// already exists fail instead of being reused, so two writers never share a temporary file.
std::pair<int, std::string> CreateTemporary(TFileSystem& fs, const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const std::string stem =
        FolderOf(target) + "/." + NameOf(target) + ".tmp" + std::to_string(::getpid()) + "-";
    for (int attempt = 0;; ++attempt) {
        std::string name = stem + std::to_string(counter.fetch_add(1));
        // 0666 lets the umask decide, as for any file the program creates.
        const int fd = fs.Open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return {fd, std::move(name)};
        if (errno != EEXIST || attempt >= 100)
            ThrowOpenError(name);
    }
}

} // namespace

std::string FileErrorText(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
        return std::string(res::kFileNotFound);
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL: // not a regular file
        return std::string(res::kBadFileName);
    case EMFILE:
    case ENFILE:
        return std::string(res::kTooManyFiles);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: // a folder is refused like a file one may not open
        return std::string(res::kAccessDenied);
    case ENOSPC:
    case EDQUOT:
        return std::string(res::kDiskFull);
    default:
        return res::FormatInt(res::kIoErrorFormat, errorNumber);
    }
}

EFileError::EFileError(int errorNumber)
    : std::runtime_error(FileErrorText(errorNumber)), m_errorNumber(errorNumber) {}

int TFileSystem::Open(const std::string& path, int flags, mode_t mode) {
    return ::open(path.c_str(), flags, mode);
}
ssize_t TFileSystem::Read(int fd, void* buffer, std::size_t size) {
    return ::read(fd, buffer, size);
}
ssize_t TFileSystem::Write(int fd, const void* buffer, std::size_t size) {
    return ::write(fd, buffer, size);
}
int TFileSystem::Fsync(int fd) {
    return ::fsync(fd);
}
int TFileSystem::Fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}
int TFileSystem::Close(int fd) {
    return ::close(fd);
}
int TFileSystem::Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}
int TFileSystem::Unlink(const std::string& path) {
    return ::unlink(path.c_str());
}

TFileSystem& TFileSystem::Posix() {
    static TFileSystem posix;
    return posix;
}

void ReadFileInPieces(const std::string& path, const std::function<bool(std::string_view)>& sink,
                      TFileSystem& fs) {
    // O_NONBLOCK so that a FIFO without a writer cannot hang the open; a regular file ignores it.
    TFd fd(fs, fs.Open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0));
    if (fd.Get() < 0)
        ThrowOpenError(path);
    // Only a regular file can hold a recording or preferences: a device such as /dev/zero would
    // be read for ever and a FIFO at the mercy of its writer, with the window frozen meanwhile.
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0)
        ThrowErrno();
    if (S_ISDIR(status.st_mode))
        throw EFileError(EISDIR);
    if (!S_ISREG(status.st_mode))
        throw EFileError(EINVAL);
    const auto piece = std::make_unique<char[]>(kPieceSize);
    for (;;) {
        const ssize_t got = fs.Read(fd.Get(), piece.get(), kPieceSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno();
        }
        if (got == 0)
            return;
        if (!sink(std::string_view(piece.get(), static_cast<std::size_t>(got))))
            return;
    }
}

std::string ReadWholeFile(const std::string& path, TFileSystem& fs) {
    std::string all;
    ReadFileInPieces(
        path,
        [&all](std::string_view piece) {
            all.append(piece);
            return true;
        },
        fs);
    return all;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, TFileSystem& fs) {
    const std::string target = ResolveTarget(path);

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode))
            throw EFileError(EISDIR);
        // Renaming over a read-only file would succeed wherever its folder is writable (and for
        // root always), so the file's own permission is checked here: a file without any write
        // bit is read-only for everyone, as its owner meant it.
        if ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
            throw EFileError(EACCES);
    }

    auto [rawFd, temporary] = CreateTemporary(fs, target);
    TFd fd(fs, rawFd);
    try {
        if (exists && fs.Fchmod(fd.Get(), existing.st_mode & 07777) != 0)
            ThrowErrno();
        WriteAll(fd.Get(), bytes, fs);
        if (fs.Fsync(fd.Get()) != 0)
            ThrowErrno();
        if (fd.Close() != 0)
            ThrowErrno();
        if (fs.Rename(temporary, target) != 0)
            ThrowErrno();
    } catch (...) {
        fs.Unlink(temporary);
        throw;
    }

    // The rename itself reaches the disk with the folder's entry; if this flush fails the new
    // contents are already in place and readable, so there is nothing left to report or undo.
    TFd folder(fs, fs.Open(FolderOf(target), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (folder.Get() >= 0)
        fs.Fsync(folder.Get());
}

void WriteAll(int fd, std::string_view bytes, TFileSystem& fs) {
    while (!bytes.empty()) {
        const ssize_t written = fs.Write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno();
        }
        // A write that makes no progress would loop for ever; the disk is as good as full.
        if (written == 0)
            throw EFileError(ENOSPC);
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace sornafex

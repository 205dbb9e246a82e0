#include "base/file_io.h"

#include "base/uRes.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <unistd.h>
#include <utility>
#include <vector>

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

// The system's own bound on the links followed to reach one file.
constexpr int kMaxLinkHops = 40;

// The kernel's rule for the links it follows (fs.protected_symlinks): in a sticky folder that
// every account may write, only a link of the follower's own or of the folder's owner. A save
// follows its links itself, by name, so the kernel never gets to apply the rule.
void CheckLinkMayBeFollowed(const std::string& link, const struct stat& status,
                            const std::string& folder) {
    if (status.st_uid == ::geteuid())
        return;
    struct stat parent {};
    if (::stat(folder.c_str(), &parent) != 0)
        ThrowErrno();
    if ((parent.st_mode & S_ISVTX) != 0 && (parent.st_mode & S_IWOTH) != 0 &&
        status.st_uid != parent.st_uid)
        throw EFileError(EACCES, res::FormatStr(res::kForeignLinkFormat, link));
}

// The file the bytes really belong to: every symbolic link on the way is resolved, name after
// name, so that the link itself stays and the file it points at is written, also a file that
// does not exist yet, and so that each link meets CheckLinkMayBeFollowed. The path returned holds
// no link; names that do not exist are kept as they are, for the write to report.
std::string ResolveTarget(const std::string& path) {
    std::string resolved = path.starts_with('/') ? "" : ".";
    // The names still to walk, the next one last.
    std::vector<std::string> rest;
    const auto push = [&rest](std::string_view names) {
        std::vector<std::string> split;
        for (std::size_t from = 0; from <= names.size();) {
            const std::size_t slash = std::min(names.find('/', from), names.size());
            if (slash > from)
                split.emplace_back(names.substr(from, slash - from));
            from = slash + 1;
        }
        rest.insert(rest.end(), split.rbegin(), split.rend());
    };
    push(path);
    int hops = 0;
    while (!rest.empty()) {
        const std::string name = std::move(rest.back());
        rest.pop_back();
        if (name == ".")
            continue;
        std::string next = resolved + "/" + name;
        struct stat link {};
        // The names walked so far hold no link, so ".." is the parent the kernel would take.
        if (name == ".." || ::lstat(next.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            resolved = std::move(next);
            continue;
        }
        if (++hops > kMaxLinkHops)
            throw EFileError(ELOOP);
        CheckLinkMayBeFollowed(next, link, resolved.empty() ? "/" : resolved);
        std::string destination(static_cast<std::size_t>(link.st_size) + 1, '\0');
        const ssize_t length = ::readlink(next.c_str(), destination.data(), destination.size());
        if (length < 0 || static_cast<std::size_t>(length) >= destination.size()) {
            resolved = std::move(next); // changed meanwhile: the write reports what it finds there
            continue;
        }
        destination.resize(static_cast<std::size_t>(length));
        if (destination.starts_with('/'))
            resolved.clear();
        push(destination);
    }
    return resolved.empty() ? "/" : resolved;
}

// The temporary files of a save: ".sornafex<pid>-<n>.tmp" beside the target. The name does not
// grow with the target's, so that a name near the system's limit can be saved too, and names
// the process that made it, so that a later save can tell a file left by a crash from one in use.
constexpr std::string_view kTemporaryPrefix = ".sornafex";
constexpr std::string_view kTemporarySuffix = ".tmp";

std::string TemporaryName(pid_t pid, unsigned number) {
    return std::string(kTemporaryPrefix) + std::to_string(pid) + "-" + std::to_string(number) +
           std::string(kTemporarySuffix);
}

// The process id in a temporary file's name, or 0 for any other name.
pid_t TemporaryOwner(std::string_view name) {
    if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix))
        return 0;
    name.remove_prefix(kTemporaryPrefix.size());
    name.remove_suffix(kTemporarySuffix.size());
    const auto dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == name.size() || dash > 9)
        return 0;
    const auto digits = [](std::string_view text) {
        return text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digits(name.substr(0, dash)) || !digits(name.substr(dash + 1)))
        return 0;
    pid_t pid = 0;
    for (const char c : name.substr(0, dash))
        pid = pid * 10 + (c - '0');
    return pid;
}

bool ProcessGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes the temporary files that interrupted saves left in folder: this user's, of processes
// that no longer run. Anything that goes wrong here only leaves them for the next save.
void RemoveStaleTemporaries(TFileSystem& fs, const std::string& folder) {
    struct TCloseDir {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    const std::unique_ptr<DIR, TCloseDir> dir(::opendir(folder.c_str()));
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        const pid_t pid = TemporaryOwner(entry->d_name);
        if (pid <= 0 || pid == ::getpid() || !ProcessGone(pid))
            continue;
        struct stat status {};
        if (::fstatat(dirFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode) || status.st_uid != ::geteuid())
            continue;
        fs.Unlink(folder + "/" + entry->d_name);
    }
}

// Whether the regular file at path holds exactly bytes.
bool HoldsBytes(TFileSystem& fs, const std::string& path, const struct stat& status,
                std::string_view bytes) {
    if (!S_ISREG(status.st_mode) || static_cast<std::size_t>(status.st_size) != bytes.size())
        return false;
    std::string_view expected = bytes;
    bool same = true;
    try {
        ReadFileInPieces(
            path,
            [&](std::string_view piece) {
                same = expected.starts_with(piece);
                if (same)
                    expected.remove_prefix(piece.size());
                return same;
            },
            fs);
    } catch (const EFileError&) {
        return false;
    }
    return same && expected.empty();
}

// Writes bytes over the file itself, which keeps its owner, group, mode and links. Over the old
// bytes first and the length last, so that a shorter file needs no new room on the disk.
void WriteInPlace(TFileSystem& fs, const std::string& target, std::string_view bytes) {
    TFd fd(fs, fs.Open(target, O_WRONLY | O_CLOEXEC, 0));
    if (fd.Get() < 0)
        ThrowOpenError(target);
    WriteAll(fd.Get(), bytes, fs);
    if (fs.Ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) != 0)
        ThrowErrno();
    if (fs.Fsync(fd.Get()) != 0)
        ThrowErrno();
    if (fd.Close() != 0)
        ThrowErrno();
}

// Opens a new file beside the target under a name nobody else uses. O_EXCL makes a name that
// already exists fail instead of being reused, so two writers never share a temporary file.
std::pair<int, std::string> CreateTemporary(TFileSystem& fs, const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    for (int attempt = 0;; ++attempt) {
        std::string name = folder + "/" + TemporaryName(::getpid(), counter.fetch_add(1));
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

EFileError::EFileError(int errorNumber, const std::string& text)
    : std::runtime_error(text), m_errorNumber(errorNumber) {}

int TFileSystem::Open(const std::string& path, int flags, mode_t mode) {
    return ::open(path.c_str(), flags, mode);
}
int TFileSystem::OpenAt(int folderFd, const std::string& name, int flags, mode_t mode) {
    return ::openat(folderFd, name.c_str(), flags, mode);
}
int TFileSystem::Fstat(int fd, struct stat& status) {
    return ::fstat(fd, &status);
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
int TFileSystem::Fchown(int fd, uid_t owner, gid_t group) {
    return ::fchown(fd, owner, group);
}
int TFileSystem::Ftruncate(int fd, off_t length) {
    return ::ftruncate(fd, length);
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

namespace {

void Replace(const std::string& path, std::string_view bytes, std::optional<mode_t> newFileMode,
             TFileSystem& fs) {
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
        // Rewriting the same bytes would only give the file a new inode and new times. The
        // folder must still take a new file, as a changed file would need it to.
        if (::access(FolderOf(target).c_str(), W_OK | X_OK) == 0 &&
            HoldsBytes(fs, target, existing, bytes))
            return;
    }

    RemoveStaleTemporaries(fs, FolderOf(target));
    auto [rawFd, temporary] = CreateTemporary(fs, target);
    TFd fd(fs, rawFd);
    // The owner first: giving a file away clears its set-user and set-group bits. A user who may
    // write the file but not make one of its owner writes over it: replacing it would change whose
    // it is, and could lock its owner out.
    if (exists && fs.Fchown(fd.Get(), existing.st_uid, existing.st_gid) != 0) {
        fd.Close();
        fs.Unlink(temporary);
        WriteInPlace(fs, target, bytes);
        return;
    }
    try {
        // The temporary file has the umask's mode: it takes the target's, or the one asked for
        // a new file, before it holds anything.
        const std::optional<mode_t> mode =
            exists ? std::optional<mode_t>(existing.st_mode & 07777) : newFileMode;
        if (mode && fs.Fchmod(fd.Get(), *mode) != 0)
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

} // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes, TFileSystem& fs) {
    Replace(path, bytes, std::nullopt, fs);
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t newFileMode,
                         TFileSystem& fs) {
    Replace(path, bytes, newFileMode, fs);
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

#pragma once

// Test doubles for code that writes files: a scratch folder, a file system whose calls fail on
// demand, and a folder that refuses new files. Header-only, shared by the tests of every
// module that writes files.

#include "base/file_io.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <linux/fs.h>
#include <set>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sornafex::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TScratchFolder {
public:
    TScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "sornafex-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "mkdtemp failed";
        m_path = pattern;
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

    // Names of the folder's entries, hidden ones included.
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.insert(entry.path().filename().string());
        return names;
    }

private:
    std::string m_path;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

// The real file system, except that one kind of call fails (from its nth use on) with a chosen
// errno, or that writes go through a few bytes at a time.
class TFaultyFileSystem : public TFileSystem {
public:
    enum class TCall {
        None,
        OpenForWrite,
        OpenForRead,
        Read,
        Write,
        Fsync,
        Fchmod,
        Fchown,
        Close,
        Rename
    };

    void FailOn(TCall call, int errorNumber, int fromUse = 1) {
        m_call = call;
        m_errno = errorNumber;
        m_fromUse = fromUse;
    }
    // Each write moves at most this many bytes (0: as many as asked).
    void LimitWrites(std::size_t bytes) { m_writeLimit = bytes; }
    // Each read and each write first fails this many times with EINTR.
    void InterruptEachCall(int times) { m_interrupts = times; }

    int Open(const std::string& path, int flags, mode_t mode) override {
        return OpenFails(flags) ? -1 : TFileSystem::Open(path, flags, mode);
    }
    int OpenAt(int folderFd, const std::string& name, int flags, mode_t mode) override {
        return OpenFails(flags) ? -1 : TFileSystem::OpenAt(folderFd, name, flags, mode);
    }
    ssize_t Read(int fd, void* buffer, std::size_t size) override {
        if (Interrupted() || Fails(TCall::Read))
            return -1;
        return TFileSystem::Read(fd, buffer, size);
    }
    ssize_t Write(int fd, const void* buffer, std::size_t size) override {
        if (Interrupted() || Fails(TCall::Write))
            return -1;
        if (m_writeLimit != 0 && size > m_writeLimit)
            size = m_writeLimit;
        return TFileSystem::Write(fd, buffer, size);
    }
    int Fsync(int fd) override { return Fails(TCall::Fsync) ? -1 : TFileSystem::Fsync(fd); }
    int Fchmod(int fd, mode_t mode) override {
        return Fails(TCall::Fchmod) ? -1 : TFileSystem::Fchmod(fd, mode);
    }
    int Fchown(int fd, uid_t owner, gid_t group) override {
        return Fails(TCall::Fchown) ? -1 : TFileSystem::Fchown(fd, owner, group);
    }
    int Close(int fd) override {
        // The descriptor is released whatever close() reports, as on Linux.
        const int result = TFileSystem::Close(fd);
        if (Fails(TCall::Close))
            return -1;
        return result;
    }
    int Rename(const std::string& from, const std::string& to) override {
        return Fails(TCall::Rename) ? -1 : TFileSystem::Rename(from, to);
    }

private:
    // Opening a folder never fails here: the fault is meant for the file.
    bool OpenFails(int flags) {
        if ((flags & O_ACCMODE) != O_RDONLY)
            return Fails(TCall::OpenForWrite);
        return (flags & O_DIRECTORY) == 0 && Fails(TCall::OpenForRead);
    }
    bool Fails(TCall call) {
        if (call != m_call)
            return false;
        if (++m_uses < m_fromUse)
            return false;
        errno = m_errno;
        return true;
    }
    bool Interrupted() {
        if (m_interrupts == 0)
            return false;
        if (m_interruptedSoFar < m_interrupts) {
            ++m_interruptedSoFar;
            errno = EINTR;
            return true;
        }
        m_interruptedSoFar = 0;
        return false;
    }

    TCall m_call = TCall::None;
    int m_errno = 0;
    int m_fromUse = 1;
    int m_uses = 0;
    std::size_t m_writeLimit = 0;
    int m_interrupts = 0;
    int m_interruptedSoFar = 0;
};

// Sets or clears the file system's immutable flag of path (root only): an immutable file refuses
// every write, also through a descriptor opened before. False when the flag cannot be set here.
inline bool SetImmutable(const std::string& path, bool immutable) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
}

// Makes a folder refuse new files for as long as it lives: by its permissions, or for root (whom
// permissions do not stop) by the file system's immutable flag. Refuses() is false when neither
// works here; the test then has nothing to check on this machine.
class TRefusingFolder {
public:
    explicit TRefusingFolder(std::string path) : m_path(std::move(path)) {
        ::chmod(m_path.c_str(), 0555);
        if (Probe())
            return;
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            int flags = 0;
            if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags |= FS_IMMUTABLE_FL;
                m_immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
            }
            ::close(fd);
        }
        Probe();
    }
    TRefusingFolder(const TRefusingFolder&) = delete;
    TRefusingFolder& operator=(const TRefusingFolder&) = delete;
    ~TRefusingFolder() {
        if (m_immutable) {
            const int fd = ::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            int flags = 0;
            if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0)
                ::close(fd);
        }
        ::chmod(m_path.c_str(), 0755);
    }
    bool Refuses() const { return m_refuses; }

private:
    // True when a new file cannot be made in the folder.
    bool Probe() {
        const std::string probe = m_path + "/.probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.c_str());
            m_refuses = false;
        } else {
            m_refuses = true;
        }
        return m_refuses;
    }

    std::string m_path;
    bool m_immutable = false;
    bool m_refuses = false;
};

} // namespace sornafex::test

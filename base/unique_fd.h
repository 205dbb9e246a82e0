#pragma once

// A file descriptor that closes itself. Move-only: a moved-from holder keeps −1. The destructor
// never throws and never retries close(): on Linux the descriptor is gone even when close reports
// EINTR, and a second close could close another thread's new file.

#include <unistd.h>
#include <utility>

namespace sornafex {

class TUniqueFd {
public:
    TUniqueFd() noexcept = default;
    // Owns fd from now on (−1: holds nothing).
    explicit TUniqueFd(int fd) noexcept : m_fd(fd) {}
    ~TUniqueFd() { Reset(); }
    TUniqueFd(TUniqueFd&& other) noexcept : m_fd(other.Release()) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;

    int Get() const noexcept { return m_fd; }
    bool Valid() const noexcept { return m_fd >= 0; }
    // Hands the descriptor over without closing it.
    int Release() noexcept { return std::exchange(m_fd, -1); }
    // Closes what is held, then owns fd.
    void Reset(int fd = -1) noexcept {
        if (const int old = std::exchange(m_fd, fd); old >= 0)
            ::close(old);
    }

private:
    int m_fd = -1;
};

} // namespace sornafex

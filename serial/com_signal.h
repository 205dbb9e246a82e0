#pragma once

// The dispatcher's signals: auto- or manual-reset events that start invalid, are created by the
// port setup and closed when the threads stop. Raising a closed signal does nothing and waiting on
// one fails at once, as waiting on a closed handle does. All signals of one dispatcher share a
// TSignalGroup so that a thread can wait for the first of several.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <initializer_list>
#include <mutex>

namespace sornafex {

class TSignalGroup;

class TSignal {
public:
    enum class TReset { Auto, Manual };
    TSignal(TSignalGroup& group, TReset reset) : m_group(group), m_reset(reset) {}

    // Makes the signal valid and clear.
    void Create();
    // Makes it invalid; waiters on it wake and fail.
    void Close();
    bool Valid() const;
    void Raise();
    void Clear();

private:
    friend class TSignalGroup;
    TSignalGroup& m_group;
    TReset m_reset;
    bool m_valid = false; // guarded by the group's mutex
    bool m_set = false;   // guarded by the group's mutex
};

class TSignalGroup {
public:
    static constexpr int kTimeout = -1;
    static constexpr int kFailed = -2;
    static constexpr int kInfinite = -1;

    // Waits until one of signals is raised (an auto-reset signal is consumed) and returns its
    // position in the list; kTimeout after timeoutMs (kInfinite: no limit); kFailed at once, or as
    // soon as it happens, when one of them is invalid.
    int WaitAny(std::initializer_list<TSignal*> signals, int timeoutMs);
    // WaitAny for one signal: true when it was raised.
    bool Wait(TSignal& signal, int timeoutMs) { return WaitAny({&signal}, timeoutMs) == 0; }

private:
    friend class TSignal;
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

} // namespace sornafex

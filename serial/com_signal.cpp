#include "serial/com_signal.h"

namespace sornafex {

void TSignal::Create() {
    std::lock_guard lock(m_group.m_mutex);
    m_valid = true;
    m_set = false;
}

void TSignal::Close() {
    {
        std::lock_guard lock(m_group.m_mutex);
        m_valid = false;
        m_set = false;
    }
    m_group.m_changed.notify_all();
}

bool TSignal::Valid() const {
    std::lock_guard lock(m_group.m_mutex);
    return m_valid;
}

void TSignal::Raise() {
    {
        std::lock_guard lock(m_group.m_mutex);
        if (!m_valid)
            return;
        m_set = true;
    }
    m_group.m_changed.notify_all();
}

void TSignal::Clear() {
    std::lock_guard lock(m_group.m_mutex);
    m_set = false;
}

int TSignalGroup::WaitAny(std::initializer_list<TSignal*> signals, int timeoutMs) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::unique_lock lock(m_mutex);
    for (;;) {
        int index = 0;
        for (TSignal* signal : signals) {
            if (!signal->m_valid)
                return kFailed;
            if (signal->m_set) {
                if (signal->m_reset == TSignal::TReset::Auto)
                    signal->m_set = false;
                return index;
            }
            ++index;
        }
        if (timeoutMs == kInfinite) {
            m_changed.wait(lock);
        } else if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            // One last look: a raise may have come with the time-out.
            index = 0;
            for (TSignal* signal : signals) {
                if (signal->m_valid && signal->m_set) {
                    if (signal->m_reset == TSignal::TReset::Auto)
                        signal->m_set = false;
                    return index;
                }
                ++index;
            }
            return kTimeout;
        }
    }
}

} // namespace sornafex

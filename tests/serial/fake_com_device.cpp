#include "tests/serial/fake_com_device.h"

#include <cstdio>
#include <stdexcept>

namespace sornafex::test {

std::string DescribeSettings(const TComSettings& s) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "%d %d %d %d dtr=%d rts=%d cts=%d dsr=%d outx=%d inx=%d xon=%d xoff=%d %d %d",
                  s.baud, s.byteSize, s.parity, s.stopBits, static_cast<int>(s.dtrControl),
                  static_cast<int>(s.rtsControl), s.outxCtsFlow, s.outxDsrFlow, s.outX, s.inX,
                  s.xonLim, s.xoffLim, s.xonChar, s.xoffChar);
    return text;
}

void TFakeLine::Record(std::string entry) {
    std::lock_guard lock(m_mutex);
    m_log.push_back(std::move(entry));
}

void TFakeLine::FailOpen(int systemCode, std::string text) {
    std::lock_guard lock(m_mutex);
    m_openError = systemCode;
    m_openErrorText = std::move(text);
}

void TFakeLine::FailQueueSizes(int systemCode) {
    std::lock_guard lock(m_mutex);
    m_queueError = systemCode;
}

void TFakeLine::FailWriteSettings(int systemCode, int nth) {
    std::lock_guard lock(m_mutex);
    m_writeError = systemCode;
    m_writeErrorCountdown = nth;
}

void TFakeLine::SetSettings(const TComSettings& settings) {
    std::lock_guard lock(m_mutex);
    m_settings = settings;
}

void TFakeLine::PushEvent(std::uint32_t events) {
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(events);
    }
    m_changed.notify_all();
}

void TFakeLine::Lose() {
    {
        std::lock_guard lock(m_mutex);
        m_lost.store(true);
    }
    m_changed.notify_all();
}

void TFakeLine::ReleaseWaiters() {
    {
        std::lock_guard lock(m_mutex);
        m_stubborn.store(false);
    }
    m_changed.notify_all();
}

void TFakeLine::ReleaseClearError() {
    {
        std::lock_guard lock(m_mutex);
        m_clearErrorReleased = true;
    }
    m_changed.notify_all();
}

void TFakeLine::ReleaseModemStatus() {
    {
        std::lock_guard lock(m_mutex);
        m_blockModem.store(false);
    }
    m_changed.notify_all();
}

std::vector<std::string> TFakeLine::Log() const {
    std::lock_guard lock(m_mutex);
    return m_log;
}

void TFakeLine::ClearLog() {
    std::lock_guard lock(m_mutex);
    m_log.clear();
}

TComSettings TFakeLine::Settings() const {
    std::lock_guard lock(m_mutex);
    return m_settings;
}

// One open of a fake line.
class TFakeComDevice final : public TComDevice {
public:
    TFakeComDevice(std::shared_ptr<TFakeLine> line, std::shared_ptr<std::atomic<int>> live)
        : m_line(std::move(line)), m_live(std::move(live)) {
        ++*m_live;
    }
    ~TFakeComDevice() override {
        if (m_isOpen)
            Close();
        --*m_live;
    }

    bool Open(const std::string& name) override {
        TFakeLine& l = *m_line;
        l.Record("Open " + name);
        std::lock_guard lock(l.m_mutex);
        if (l.m_openError != 0)
            return Fail(l.m_openError, l.m_openErrorText);
        if (l.m_open.load())
            return Fail(kSysAccessDenied, "Device or resource busy");
        l.m_open.store(true);
        l.m_lost.store(false);
        ++l.m_opens;
        m_isOpen = true;
        return true;
    }
    int Handle() const override { return m_isOpen ? 7 : -1; }
    bool Close() override {
        TFakeLine& l = *m_line;
        l.Record("Close");
        {
            std::lock_guard lock(l.m_mutex);
            if (!m_isOpen)
                return false;
            m_isOpen = false;
            l.m_open.store(false);
            ++l.m_generation;
        }
        l.m_changed.notify_all();
        return true;
    }
    bool SetQueueSizes(std::uint32_t inSize, std::uint32_t outSize) override {
        TFakeLine& l = *m_line;
        l.Record("SetQueueSizes " + std::to_string(inSize) + " " + std::to_string(outSize));
        std::lock_guard lock(l.m_mutex);
        if (l.m_queueError != 0)
            return Fail(l.m_queueError, "queue sizes refused");
        return true;
    }
    bool ReadSettings(TComSettings& settings) override {
        std::lock_guard lock(m_line->m_mutex);
        settings = m_line->m_settings;
        return true;
    }
    bool WriteSettings(const TComSettings& settings) override {
        TFakeLine& l = *m_line;
        l.Record("WriteSettings " + DescribeSettings(settings));
        std::lock_guard lock(l.m_mutex);
        if (l.m_writeErrorCountdown > 0 && --l.m_writeErrorCountdown == 0)
            return Fail(l.m_writeError, "settings refused");
        l.m_settings = settings;
        return true;
    }
    bool Escape(TEscapeFunction function) override {
        TFakeLine& l = *m_line;
        switch (function) {
        case TEscapeFunction::SetDtr:
            l.Record("SetDtr");
            l.m_dtr.store(true);
            break;
        case TEscapeFunction::ClrDtr:
            l.Record("ClrDtr");
            l.m_dtr.store(false);
            break;
        case TEscapeFunction::SetRts:
            l.Record("SetRts");
            l.m_rts.store(true);
            break;
        case TEscapeFunction::ClrRts:
            l.Record("ClrRts");
            l.m_rts.store(false);
            break;
        }
        return true;
    }
    std::uint8_t ModemStatus() override {
        TFakeLine& l = *m_line;
        ++l.m_modemQueries;
        // The lines as they were when asked, however long the answer takes.
        const std::uint8_t lines = l.m_modem.load();
        if (l.m_blockModem.load()) {
            std::unique_lock lock(l.m_mutex);
            ++l.m_blockedInModem;
            l.m_changed.wait(lock, [&] { return !l.m_blockModem.load(); });
            --l.m_blockedInModem;
        }
        return lines;
    }
    bool SetEventMask(std::uint32_t mask) override {
        TFakeLine& l = *m_line;
        char text[32];
        std::snprintf(text, sizeof text, "SetEventMask 0x%X", mask);
        l.Record(text);
        {
            std::lock_guard lock(l.m_mutex);
            l.m_mask = mask;
            ++l.m_generation;
        }
        l.m_changed.notify_all();
        return true;
    }
    TWaitOutcome WaitEvent(std::uint32_t& events) override {
        TFakeLine& l = *m_line;
        events = 0;
        if (l.m_throwInWait.exchange(false))
            throw std::runtime_error("device event failure");
        std::unique_lock lock(l.m_mutex);
        // As a real device: no wait without a mask (a close's mask 0 may come first).
        if (l.m_mask == 0 && m_isOpen && !l.m_stubborn.load()) {
            Fail(kSysInvalidParameter, "no event mask");
            return TWaitOutcome::Refused;
        }
        ++l.m_waiters;
        const std::uint64_t generation = l.m_generation;
        l.m_changed.wait(lock, [&] {
            if (l.m_stubborn.load())
                return false;
            return !l.m_events.empty() || l.m_generation != generation || !m_isOpen ||
                   l.m_lost.load();
        });
        --l.m_waiters;
        if (!m_isOpen)
            return TWaitOutcome::Closed;
        if (l.m_lost.load())
            return TWaitOutcome::Lost;
        if (!l.m_events.empty()) {
            events = l.m_events.front() & l.m_mask;
            l.m_events.erase(l.m_events.begin());
        }
        return TWaitOutcome::Completed;
    }
    bool ClearError(std::uint32_t& errors, TComStatus& status) override {
        TFakeLine& l = *m_line;
        errors = 0;
        status = TComStatus{};
        if (l.m_blockClearError.load()) {
            std::unique_lock lock(l.m_mutex);
            ++l.m_blockedInClearError;
            l.m_changed.wait(lock, [&] { return l.m_clearErrorReleased; });
            --l.m_blockedInClearError;
        }
        return true;
    }
    bool Purge(std::uint32_t flags) override {
        m_line->Record("Purge " + std::to_string(flags));
        return true;
    }
    std::int32_t Read(std::uint8_t*, std::uint32_t) override { return 0; }
    std::int32_t Write(const std::uint8_t*, std::uint32_t count) override {
        if (m_line->m_throwInWrite.exchange(false))
            throw std::runtime_error("device write failure");
        m_line->Record("Write " + std::to_string(count));
        return static_cast<std::int32_t>(count);
    }
    int LastError() const override {
        std::lock_guard lock(m_errorMutex);
        return m_lastError;
    }
    std::string LastErrorText() const override {
        std::lock_guard lock(m_errorMutex);
        return m_lastErrorText;
    }

private:
    bool Fail(int code, std::string text) {
        std::lock_guard lock(m_errorMutex);
        m_lastError = code;
        m_lastErrorText = std::move(text);
        return false;
    }

    std::shared_ptr<TFakeLine> m_line;
    std::shared_ptr<std::atomic<int>> m_live;
    bool m_isOpen = false; // guarded by the line's mutex once threads run
    mutable std::mutex m_errorMutex;
    int m_lastError = 0;
    std::string m_lastErrorText;
};

std::shared_ptr<TFakeLine> TFakeDevices::Line(const std::string& name) {
    std::lock_guard lock(m_mutex);
    auto& line = m_lines[name];
    if (!line)
        line = std::make_shared<TFakeLine>(name);
    return line;
}

TDeviceFactory TFakeDevices::Factory() {
    return [this](const std::string& name) -> std::unique_ptr<TComDevice> {
        std::shared_ptr<TFakeLine> line;
        {
            std::lock_guard lock(m_mutex);
            const auto found = m_lines.find(name);
            if (found != m_lines.end())
                line = found->second;
        }
        if (!line) {
            line = std::make_shared<TFakeLine>(name);
            line->FailOpen(kSysFileNotFound, "No such file or directory");
        }
        return std::make_unique<TFakeComDevice>(std::move(line), m_live);
    };
}

} // namespace sornafex::test

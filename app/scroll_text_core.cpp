#include "app/scroll_text_core.h"

#include <algorithm>

namespace sornafex {

int EstimateBlockHeight(std::span<const int> itemWidths, int lineHeight, int frameWidth,
                        int frameHeight) {
    if (frameWidth <= 0)
        return frameHeight;
    long long sum = 0;
    for (const int width : itemWidths)
        sum += static_cast<long long>(lineHeight) * (std::max(0, width) / frameWidth + 1);
    if (sum <= 0)
        return frameHeight;
    return static_cast<int>(std::min<long long>(std::max<long long>(frameHeight, sum), 1 << 30));
}

TScrollCycle::TScrollCycle(int frameHeight, int blockHeight, int pixelsPerStep)
    : m_frameHeight(frameHeight), m_blockHeight(blockHeight), m_pixelsPerStep(pixelsPerStep) {
    Reset();
}

void TScrollCycle::SetHeights(int frameHeight, int blockHeight) {
    m_frameHeight = frameHeight;
    m_blockHeight = blockHeight;
    Reset();
}

void TScrollCycle::Reset() {
    m_position = -m_blockHeight;
}

void TScrollCycle::MoveTo(int top) {
    m_position = top;
    m_top = top;
}

void TScrollCycle::Step() {
    if (m_dragging)
        return;
    if (m_position < -m_blockHeight)
        MoveTo(m_frameHeight);
    else
        MoveTo(m_position - m_pixelsPerStep);
}

void TScrollCycle::BeginDrag(int pointerY) {
    m_dragging = true;
    m_pointerY = pointerY;
}

void TScrollCycle::DragTo(int pointerY) {
    if (!m_dragging)
        return;
    // The drag moves the text from where it is drawn, even before the first automatic step.
    int top = m_top + (pointerY - m_pointerY);
    m_pointerY = pointerY;
    if (top < -m_blockHeight)
        top = m_frameHeight;
    else if (top > m_frameHeight)
        top = -m_blockHeight;
    MoveTo(top);
}

void TScrollCycle::EndDrag() {
    m_dragging = false;
}

TScrollTimer::TScrollTimer(TUiBridge& bridge, std::chrono::milliseconds delay,
                           std::function<void()> step)
    : m_bridge(bridge), m_delay(delay), m_step(std::move(step)) {}

TScrollTimer::~TScrollTimer() {
    Stop();
}

void TScrollTimer::Start() {
    if (m_thread.joinable())
        return;
    m_attached = true;
    m_threadEnded = false;
    m_thread = std::jthread([this](std::stop_token stop) { Run(std::move(stop)); });
}

void TScrollTimer::Stop() {
    if (!m_thread.joinable())
        return;
    m_attached = false;
    m_thread.request_stop();
    // The thread may be blocked handing a step to this very thread: keep the UI messages flowing
    // until it has ended, or joining it would wait for ever.
    const auto ended = [this] {
        std::lock_guard lock(m_mutex);
        return m_threadEnded;
    };
    if (!ended())
        m_bridge.ProcessMessagesUntil(ended);
    m_thread.join();
}

void TScrollTimer::Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(m_mutex);
            // Returns early only when the stop is requested: the predicate never holds.
            m_wake.wait_for(lock, stop, m_delay, [] { return false; });
        }
        if (stop.stop_requested())
            break;
        try {
            m_bridge.RunOnUiThread([this] {
                if (m_attached)
                    m_step();
            });
        } catch (...) {
            // A failing step would fail again every 200 ms; the text stops where it is instead.
            break;
        }
    }
    std::lock_guard lock(m_mutex);
    m_threadEnded = true;
}

} // namespace sornafex

#pragma once

// The toolkit-free heart of the about box's scrolling thanks: where the text block stands in its
// frame after each step or drag (TScrollCycle), and the timer thread that asks for a step every
// Delay milliseconds on the user-interface thread (TScrollTimer). TScrollText in app/frmAbout
// puts both on a widget.

#include "base/ui_bridge.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <span>
#include <thread>

namespace sornafex {

// Height of the text block: the larger of the frame's height and the estimate from the items,
// the sum over the items of lineHeight * (item width / frame width + 1), an empty item (width 0)
// counting one line. A non-positive sum, or a frame without width, gives the frame's height.
int EstimateBlockHeight(std::span<const int> itemWidths, int lineHeight, int frameWidth,
                        int frameHeight);

// Upward scrolling of a block of text through a frame, in pixels, y downwards, 0 at the frame's
// top edge. The block's top is where it is drawn; the scroll position is what the next step
// starts from, and the two differ only between a reset and the first step.
class TScrollCycle {
public:
    TScrollCycle(int frameHeight, int blockHeight, int pixelsPerStep);

    int BlockTop() const { return m_top; }
    int FrameHeight() const { return m_frameHeight; }
    int BlockHeight() const { return m_blockHeight; }
    bool Dragging() const { return m_dragging; }

    int PixelsPerStep() const { return m_pixelsPerStep; }
    void SetPixelsPerStep(int pixels) { m_pixelsPerStep = pixels; }
    // New sizes of the frame and the block (the items or the font changed); resets the cycle.
    void SetHeights(int frameHeight, int blockHeight);
    // The scroll position goes one block height above the frame, so that the next step moves the
    // text just past the top and the one after brings it in at the bottom edge. The block stays
    // where it is drawn until then.
    void Reset();
    // One automatic step: past one block height above the frame the block jumps to the frame's
    // bottom edge, otherwise it climbs by the pixels per step. Does nothing while dragging.
    void Step();

    // The pointer pressed on the text at y: the steps stop until EndDrag.
    void BeginDrag(int pointerY);
    // The pointer moved to y: the block follows its vertical movement, wrapping at both ends.
    void DragTo(int pointerY);
    // The pointer released: the steps resume from where the text was left.
    void EndDrag();

private:
    void MoveTo(int top);

    int m_frameHeight;
    int m_blockHeight;
    int m_pixelsPerStep;
    int m_top = 0;      // drawn position of the block's top
    int m_position = 0; // where the next step starts
    bool m_dragging = false;
    int m_pointerY = 0;
};

// A thread that sleeps for a delay, then runs step on the user-interface thread through the
// bridge and waits until it ran, over and over until stopped. Construct, start and stop it on the
// UI thread.
class TScrollTimer {
public:
    // bridge must outlive the timer; step runs only on the UI thread.
    TScrollTimer(TUiBridge& bridge, std::chrono::milliseconds delay, std::function<void()> step);
    ~TScrollTimer();
    TScrollTimer(const TScrollTimer&) = delete;
    TScrollTimer& operator=(const TScrollTimer&) = delete;

    void Start();
    // Detaches the step (a step already handed over then does nothing), asks the thread to end
    // and waits for it, processing UI messages meanwhile so that a step the thread is waiting on
    // can run. Does nothing when not running.
    void Stop();
    bool Running() const { return m_thread.joinable(); }

private:
    void Run(std::stop_token stop);

    TUiBridge& m_bridge;
    const std::chrono::milliseconds m_delay;
    std::function<void()> m_step;
    bool m_attached = false; // read and written on the UI thread only

    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    bool m_threadEnded = false; // guarded by m_mutex
    std::jthread m_thread;
};

} // namespace sornafex

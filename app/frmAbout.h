#pragma once

// The about box, fmAbout: the product's name, version and author, and the thanks that scroll
// upward in TScrollText for as long as the box is open.

#include "app/scroll_text_core.h"

#include <QDialog>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <memory>

class QLabel;
class QPushButton;

namespace sornafex {

// A frame that clips one borderless text block: the items joined by line breaks, wrapped at the
// frame's width. While active, a timer thread moves the block up by ScrollPixels every Delay;
// the user may drag it up or down with the mouse, after which the scrolling resumes from there.
class TScrollText final : public QWidget {
    Q_OBJECT

public:
    // bridge carries the timer's steps to the UI thread and must outlive the control.
    explicit TScrollText(TUiBridge& bridge, QWidget* parent = nullptr);
    // Stops and ends the timer before anything else goes.
    ~TScrollText() override;

    QStringList Items() const { return m_items; }
    void SetItems(const QStringList& items);
    std::chrono::milliseconds Delay() const { return m_delay; }
    void SetDelay(std::chrono::milliseconds delay);
    int ScrollPixels() const { return m_cycle.PixelsPerStep(); }
    void SetScrollPixels(int pixels);
    void SetAlignment(Qt::Alignment alignment);
    void SetBackgroundColor(const QColor& color);
    // Re-applies the items (block height, cycle reset), then starts or stops the stepping.
    void SetActive(bool active);
    bool Active() const { return m_active; }

    // The text block's position and size in the frame.
    int BlockTop() const { return m_cycle.BlockTop(); }
    int BlockHeight() const { return m_cycle.BlockHeight(); }
    // True while the timer thread runs.
    bool Stepping() const { return m_timer && m_timer->Running(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyItems();
    void Step();
    void ShowBlock();
    void RestartTimer();

    TUiBridge& m_bridge;
    QLabel* m_block;
    QStringList m_items;
    std::chrono::milliseconds m_delay{200};
    bool m_active = false;
    TScrollCycle m_cycle{0, 0, 1};
    std::unique_ptr<TScrollTimer> m_timer;
};

class TfmAbout final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 305;
    static constexpr int kClientHeight = 193;

    // Puts the application's icon in the box and starts the thanks scrolling.
    explicit TfmAbout(TUiBridge& bridge, QWidget* parent = nullptr);
    ~TfmAbout() override;

    TScrollText* ScrollText() const { return m_scrollText; }

    // Every way of closing the box (OK, Enter, the close box) ends here: the scrolling stops.
    // Once: a second call before the box is shown again does nothing.
    void done(int result) override;

protected:
    // Escape does nothing: the box has no cancel button.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    TScrollText* m_scrollText;
    QPushButton* m_ok;
    bool m_closed = false;
};

} // namespace sornafex

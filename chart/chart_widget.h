#pragma once

// TChart: the chart control of the main window. It is a TCustomChart (the settings, parts and
// Draw) living in a QWidget: every change marks it for one deferred repaint, and the paint
// composes the chart off-screen in a buffer kept between paints, remade only when the size
// changes, and copied to the window in one step.

#include "chart/custom_chart.h"

#include <QImage>
#include <QWidget>

namespace sornafex::chart {

class TChart : public QWidget, public TCustomChart {
    Q_OBJECT

public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    // Number of paint events handled and of those that composed the chart anew.
    std::uint64_t PaintCount() const { return m_paintCount; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    void RequestRepaint() override;
    void RepaintNow() override;

private:
    void Compose();

    QImage m_buffer;
    bool m_bufferStale = true;
    std::uint64_t m_paintCount = 0;
};

} // namespace sornafex::chart

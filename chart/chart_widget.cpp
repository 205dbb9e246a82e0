#include "chart/chart_widget.h"

#include "chart/qpainter_canvas.h"

#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace sornafex::chart {

TChart::TChart(QWidget* parent) : QWidget(parent) {
    // The chart covers every pixel of the control itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);

    // The labels follow the user's own number convention (LC_NUMERIC and friends), not the
    // language of the interface, as the system's other programs do.
    const QLocale system = QLocale::system();
    TNumberSeparators separators;
    separators.decimal = system.decimalPoint().toStdString();
    separators.thousands = system.groupSeparator().toStdString();
    SetNumberSeparators(separators);
    SetClientSize(width(), height());
}

TChart::~TChart() = default;

void TChart::RequestRepaint() {
    m_bufferStale = true;
    update(); // posted: a burst of changes ends in one paint
}

void TChart::RepaintNow() {
    m_bufferStale = true;
    repaint();
}

void TChart::resizeEvent(QResizeEvent* event) {
    SetClientSize(width(), height());
    if (m_buffer.size() != event->size()) {
        m_buffer = QImage();
        m_bufferStale = true;
    }
    QWidget::resizeEvent(event);
}

void TChart::Compose() {
    if (m_buffer.size() != size())
        m_buffer = QImage(size(), QImage::Format_RGB32);
    QPainter painter(&m_buffer);
    TQPainterCanvas canvas(painter, palette());
    Draw(canvas, {0, 0, width(), height()});
    m_bufferStale = false;
}

void TChart::paintEvent(QPaintEvent* event) {
    ++m_paintCount;
    // A page being printed is drawn with this chart's settings; the screen waits for it.
    if (Printing() || width() <= 0 || height() <= 0)
        return;
    QPainter painter(this);
    if (!BufferedDisplay()) {
        TQPainterCanvas canvas(painter, palette());
        Draw(canvas, ClientRect());
        m_bufferStale = true;
        return;
    }
    if (m_bufferStale || m_buffer.size() != size())
        Compose();
    // Only what the window asks for: an uncovered strip costs no more than its pixels.
    const QRect area = event->rect();
    painter.drawImage(area, m_buffer, area);
}

} // namespace sornafex::chart

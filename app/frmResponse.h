#pragma once

// The response window, "Réponse": the fine signal of the run over its last 30, 60 or 120 s, on
// a scale that follows the trace (chart/response_graph.h), with the current value in large
// figures. "+" and "−" change the sensitivity, the space bar recentres the baseline. It is a
// window of its own, so that it can stand on a second screen, and it takes the main window's
// acquisition keys, so that F9, F10 and the marks work from it too.

#include "chart/response_graph.h"

#include <QWidget>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

namespace sornafex {

namespace chart {
class TChart;
}

class TfmResponse final : public QWidget {
    Q_OBJECT
public:
    // parent: the main window, which the window opens beside the first time it is shown.
    explicit TfmResponse(QWidget* parent);
    ~TfmResponse() override;

    chart::TResponseGraph& Graph() { return *m_graph; }
    const chart::TResponseGraph& Graph() const { return *m_graph; }
    chart::TChart* Chart() const { return m_chart; }

    // A new value of the run: the trace, the large figures, the unit's other reading beside it,
    // and whether the reading lies within the calibrated range. True when the baseline
    // recentred on it.
    bool AddValue(double seconds, std::optional<double> hertz, std::optional<double> microsiemens,
                  bool inCalibratedRange);
    // A new run, in µS when calibrated, else in hertz.
    void Begin(bool calibrated);

    // The user's sensitivity and duration, as the preferences keep them.
    void SetSeconds(int seconds);
    void SetSpans(double percent, double microsiemens);
    double SpanPercent() const;
    double SpanMicroSiemens() const;

    QLabel* ValueLabel() const { return m_value; }
    QLabel* DetailLabel() const { return m_detail; }
    QLabel* SpanLabel() const { return m_span; }
    QComboBox* SecondsBox() const { return m_seconds; }

Q_SIGNALS:
    // The user recentred the baseline (the window's own recentrings come from AddValue).
    void Recentred();
    // The user closed the window.
    void Closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Recentre();
    void MoreSensitive();
    void LessSensitive();
    void ShowSpan();

    chart::TChart* m_chart = nullptr;
    std::unique_ptr<chart::TResponseGraph> m_graph;
    QLabel* m_value = nullptr;
    QLabel* m_detail = nullptr;
    QLabel* m_span = nullptr;
    QComboBox* m_seconds = nullptr;
    bool m_placed = false;
};

} // namespace sornafex

#pragma once

// The response window, "Réponse": the fine signal of the run over its last 30, 60 or 120 s, on
// a scale that follows the trace (chart/response_graph.h), with the current value in large
// figures; beside the chart the examination's questions (the one asked last, the next one, the
// whole list), and below it the table of the responses measured ("Réponses"). "+" and "−" change
// the sensitivity, the space bar recentres the baseline. It is a window of its own, so that it
// can stand on a second screen, and it takes the main window's acquisition keys, so that F9, F10
// and the marks work from it too.

#include "chart/response_graph.h"
#include "examination/question_list.h"

#include <QWidget>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

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

    // The examination's list: each question, the one asked last selected, the next one marked,
    // and what the examination says of both.
    void ShowQuestions(const TQuestionList& list, std::optional<std::size_t> current,
                       std::optional<std::size_t> next, const std::string& currentText,
                       const std::string& nextText);
    // The table "Réponses": its columns' titles, a row of texts a question, the summary lines.
    void ShowResponses(const std::vector<std::string>& titles,
                       const std::vector<std::vector<std::string>>& rows,
                       const std::vector<std::string>& summary);

    QLabel* ValueLabel() const { return m_value; }
    QLabel* CurrentQuestionLabel() const { return m_current; }
    QLabel* NextQuestionLabel() const { return m_next; }
    QListWidget* QuestionList() const { return m_questions; }
    QTableWidget* ResponseTable() const { return m_responses; }
    QLabel* ResponseSummary() const { return m_summary; }
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
    QLabel* m_current = nullptr;
    QLabel* m_next = nullptr;
    QListWidget* m_questions = nullptr;
    QTableWidget* m_responses = nullptr;
    QLabel* m_summary = nullptr;
    bool m_placed = false;
};

} // namespace sornafex

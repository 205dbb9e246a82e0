#pragma once

// The chart of one question in the examination's report: the fine signal, in µS when the sensor
// was calibrated and in hertz otherwise, from kQuestionChartBefore seconds before the question's
// onset to kQuestionChartAfter after it, against the seconds from the onset; the onset's and the
// answer's marks and the markers of that span with their labels; the measured trough ▽ and peak
// △ of the response with their values.
//
// Its times are the moments the signal describes: each fine value stands at its stamp less the
// estimator's delay (TFineFrequency::kDelay), as the measurement of responses counts them, so
// that the trough and the peak stand on the trace. The marks stand at their key presses.

#include "chart/canvas.h"
#include "report/session_report.h"

#include <cstddef>
#include <string>

namespace sornafex {

inline constexpr double kQuestionChartBefore = 2;
inline constexpr double kQuestionChartAfter = 12;

// Draws the chart of report.table.rows[row] in bounds, as printed: no panel, black on white.
// When the answer comes too soon after the onset for their labels to stand apart, the answer's
// label says both ("Q3 non") and the onset's is left out.
void DrawQuestionChart(chart::TCanvas& canvas, const chart::TRect& bounds,
                       const TSessionReport& report, std::size_t row);

// A value of the signal as the report writes it, in hertz or µS: "50,237", "5,024".
std::string SignalValueText(double value);

} // namespace sornafex

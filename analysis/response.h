#pragma once

// Response measurement: how the fine signal answers each question of an examination, scored
// trough to peak as the electrodermal literature does.
//
// The signal is the fine frequency's ten points a second, in µS when calibrated, in hertz
// otherwise. A point stamped t describes the signal around t − TFineFrequency::kDelay, so the
// meter moves every point back by kDelay and all its times are the moments the signal describes.
//
// For a question asked at the onset o, the measurement window runs from o to the first of
// o + window, the next onset and the end of the run. Within it:
//  - the level at o, which percentages refer to, is that of the straight line through the two
//    seconds that end at o + latencyMin (the last of the quiet before a response may begin);
//  - rises are found with a hysteresis of half the detection threshold;
//  - a rise starts (its trough) at the corner of the broken line, a straight baseline then a
//    straight climb, that best fits the 2.5 s before its steepest point; the trough's value is
//    that of the line through the 1.5 s before the start (less the last kDelay, which already
//    sees the rise), so that noise does not deepen it;
//  - its peak is the highest point from the steepest on before the signal falls back from it by
//    the hysteresis or the window closes; a rise that has not fallen back when the peak window
//    ends is a change of the level, not a response;
//  - the response is the largest rise that starts in the latency window; amplitude = peak −
//    trough; it is detected at minMicroSiemens when calibrated, minPercent of the level
//    otherwise;
//  - half recovery: from the peak to the first moment the signal is back down by half the
//    amplitude, none when that does not happen before the window closes.

#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

namespace sornafex {

// One point of the fine signal, as TFineFrequency gives it.
struct TFinePoint {
    double seconds = 0;                 // of the run: the estimate's due time
    std::optional<double> hertz;        // none where there was no estimate
    std::optional<double> microSiemens; // when calibrated (and the reading has one)
};

// Defaults after Boucsein et al. (2012, Psychophysiology 49:1017-1034) and Dawson, Schell &
// Filion (Handbook of Psychophysiology); the README's "Mesure des réponses" gives the reasons.
struct TResponseSettings {
    double latencyMin = 1;         // s after the onset: the earliest start of an elicited rise
    double latencyMax = 4;         // s after the onset: its latest start
    double peakWindow = 10;        // s after the onset: its peak at the latest
    double window = 15;            // s after the onset: the measurement window at most
    double minMicroSiemens = 0.01; // detection threshold when calibrated
    double minPercent = 0.2;       // detection threshold otherwise, in % of the level
};

struct TResponseLevel {
    double seconds = 0; // of the run, the moment the signal describes
    double hertz = 0;
    std::optional<double> microSiemens;
};

struct TRise {
    TResponseLevel trough; // the start of the rise
    TResponseLevel peak;
    double amplitudeHertz = 0;
    double amplitudePercent = 0; // of the level at the onset, in the measured unit
    std::optional<double> amplitudeMicroSiemens;
    std::optional<double> halfRecovery; // s from the peak
};

struct TResponse {
    double onset = 0; // s of the run
    // Asked before the previous question's window (onset + window) had closed: the previous
    // window was cut here, and this response may ride on the previous one's recovery.
    bool overlapsPrevious = false;
    // Every point of the window had an estimate, and the window reached the end of the latency
    // window or held a detected response. An unmeasured question is neither detected nor not.
    bool measured = false;
    bool detected = false;
    // The largest rise that started in the latency window, detected or not; none when no rise
    // started there.
    std::optional<TRise> rise;

    std::optional<double> Latency() const;  // from the onset to the start of the rise
    std::optional<double> RiseTime() const; // from the start of the rise to its peak
};

// The measurement of a run, fed as it goes. Points come in the order of their times, and an
// onset after the points stamped before it and before those stamped after it.
class TResponseMeter {
public:
    // calibrated: measure on the points' microsiemens (a point without one is missing).
    explicit TResponseMeter(TResponseSettings settings = {}, bool calibrated = false);

    void AddPoint(const TFinePoint& point);
    void AddOnset(double seconds);
    // The run has ended: every open window closes with the points it has.
    void EndOfRun();
    // Appends the measurements whose windows have closed since the last call, in onset order.
    // A window closes once the points reach its end.
    void TakeClosed(std::vector<TResponse>& out);

private:
    struct TPoint {
        double seconds; // the moment described
        std::optional<double> hertz;
        std::optional<double> value; // in the measured unit
    };
    struct TQuestion {
        double onset;
        double closesAt;
        bool overlapsPrevious;
    };

    void CloseCovered(double reached);
    TResponse Measure(const TQuestion& question) const;

    TResponseSettings m_settings;
    bool m_calibrated;
    std::deque<TPoint> m_points;
    std::deque<TQuestion> m_open;
    std::optional<double> m_lastOnset;
    std::vector<TResponse> m_closed;
};

} // namespace sornafex

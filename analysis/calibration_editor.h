#pragma once

// What the calibration dialog ("Étalonner...") shows and how it checks its answer, without the
// toolkit. The user puts known resistors in place of the skin one after another; for each one
// they type its value in kΩ and press "Mesurer": the frequency of the line over a few seconds.
// The dialog shows each point, the fit and each point's residual; "OK" keeps the points when
// they make a calibration (or when there is none: the device then shows hertz alone), and says
// why otherwise; "Annuler" changes nothing.

#include "analysis/calibration.h"
#include "base/ui_services.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sornafex {

class TCalibrationEditor final : public TDialogModel {
public:
    // The frequency of the line now, in hertz, measured over a few seconds; throws with the French
    // reason when there is none (a closed port, a line that does not change).
    using TMeasure = std::function<double()>;

    // portName ("Com 1") and device (its value, as the preferences map it) name what is being
    // calibrated; stored: the points the preferences hold for it (unreadable ones are dropped,
    // with the reason in StoredProblem()).
    TCalibrationEditor(std::string portName, std::string device, const std::string& stored,
                       TMeasure measure);

    std::string Caption() const override;
    const std::string& Device() const { return m_device; }
    // Why the stored points could not be taken up; empty when they could.
    const std::string& StoredProblem() const { return m_storedProblem; }

    const std::vector<TCalibrationPoint>& Points() const { return m_points; }
    // Measures the line for the resistance typed ("100", "4,7", "4.7 "): a new point. False, with
    // error set to what the user reads, for a value that is not a positive number or a measure
    // that failed.
    bool Measure(const std::string& kiloohms, std::string& error);
    void Remove(std::size_t point);
    void Clear() { m_points.clear(); }

    // The fit of the points so far, or none with reason set (reason may be null).
    std::optional<TCalibration> Fit(std::string* reason = nullptr) const;
    // One point as the dialog's table shows it: resistance, frequency, residual ("" without a
    // fit), French decimal commas.
    std::vector<std::string> PointTexts(std::size_t point) const;
    // The fit in a line: "T = 0,123 ms + 0,0456 ms/kΩ × R", or why there is none.
    std::string FitText() const;

    // "OK": the points to store ("" for none: no calibration); false with error set when the
    // points make no calibration (fewer than two distinct, a period that does not grow with the
    // resistance...): the dialog stays open.
    bool Accept(std::string& error);
    const std::string& Accepted() const { return m_accepted; }

private:
    std::string m_portName;
    std::string m_device;
    TMeasure m_measure;
    std::vector<TCalibrationPoint> m_points;
    std::string m_storedProblem;
    std::string m_accepted;
};

} // namespace sornafex

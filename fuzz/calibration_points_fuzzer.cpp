// Any text: ParseCalibrationPoints refuses it with a French reason or reads finite points, which
// their text gives back exactly; and a fit of them is refused or gives a conductance at each.

#include "analysis/calibration.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<sornafex::TCalibrationPoint> points;
    try {
        points = sornafex::ParseCalibrationPoints(text);
    } catch (const sornafex::ECalibration& error) {
        if (std::string_view(error.what()).empty())
            __builtin_trap();
        return 0;
    }
    for (const sornafex::TCalibrationPoint& point : points)
        if (!std::isfinite(point.kiloohms) || !std::isfinite(point.hertz))
            __builtin_trap();
    const std::string formatted = sornafex::FormatCalibrationPoints(points);
    if (sornafex::ParseCalibrationPoints(formatted) != points)
        __builtin_trap();
    try {
        const sornafex::TCalibration calibration = sornafex::TCalibration::Fit(points);
        for (const sornafex::TCalibrationPoint& point : points)
            if (!(calibration.MicroSiemens(point.hertz).value_or(1) > 0))
                __builtin_trap();
    } catch (const sornafex::ECalibration&) {
    }
    return 0;
}

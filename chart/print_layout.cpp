#include "chart/print_layout.h"

#include "chart/axis.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace sornafex::chart {

int ProportionalMargin(double s1, double s2, double q, double dpiX, double dpiY) {
    // The chart may take 60 % of the long direction; the short direction gets as much as the
    // chart's proportions and the device's pixel shape ask for, and the rest is split in two.
    const double percent = 100.0 * (s2 - (s1 - s1 * 40.0 * 0.01) * q * dpiX / dpiY) / s2;
    return NearestEven(percent) / 2;
}

TMargins ProportionalMargins(const TMargins& current, int chartWidth, int chartHeight,
                             const TPrintDevice& device) {
    if (chartWidth <= 0 || chartHeight <= 0 || device.pageWidth <= 0 || device.pageHeight <= 0 ||
        device.dpiX <= 0 || device.dpiY <= 0)
        return current;
    const double w = chartWidth;
    const double h = chartHeight;
    const double pw = device.pageWidth;
    const double ph = device.pageHeight;
    TMargins margins;
    if (chartHeight < chartWidth) {
        margins.left = margins.right = 15;
        margins.top = margins.bottom = ProportionalMargin(pw, ph, h / w, device.dpiX, device.dpiY);
    } else {
        margins.top = margins.bottom = 15;
        margins.left = margins.right = ProportionalMargin(ph, pw, w / h, device.dpiX, device.dpiY);
    }
    return margins;
}

TRect PrintPageRect(const TMargins& margins, int pageWidth, int pageHeight) {
    const auto part = [](int percent, int size) {
        return NearestEven(percent * double(size) / 100.0);
    };
    return TRect{part(margins.left, pageWidth), part(margins.top, pageHeight),
                 pageWidth - part(margins.right, pageWidth),
                 pageHeight - part(margins.bottom, pageHeight)};
}

TPrintMapping PrintLogicalMapping(const TRect& page, int chartWidth, int chartHeight,
                                  int resolutionPercent) {
    const TRect r{std::min(page.left, page.right), std::min(page.top, page.bottom),
                  std::max(page.left, page.right), std::max(page.top, page.bottom)};
    const int pw = r.Width();
    const int ph = r.Height();
    const int cw = chartWidth - chartWidth * resolutionPercent / 100;
    const int ch = chartHeight - chartHeight * resolutionPercent / 100;
    if (pw <= 0 || ph <= 0 || cw <= 0 || ch <= 0)
        throw std::invalid_argument("print rectangle or chart size without area");
    const auto logical = [](int device, int logicalSize, int deviceSize) {
        return static_cast<int>(std::lround(double(device) * logicalSize / deviceSize));
    };
    TPrintMapping mapping;
    mapping.logical = TRect{logical(r.left, cw, pw), logical(r.top, ch, ph),
                            logical(r.right, cw, pw), logical(r.bottom, ch, ph)};
    mapping.scaleX = double(pw) / cw;
    mapping.scaleY = double(ph) / ch;
    return mapping;
}

} // namespace sornafex::chart

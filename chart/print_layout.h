#pragma once

// The arithmetic of printing the chart: margins fitted to the chart's proportions, the page
// rectangle inside those margins, and the logical rectangle that Draw receives together with the
// scales that stretch it over the page. Device values are the printer's pixels.

#include "chart/canvas.h"
#include "chart/custom_chart.h"

namespace sornafex::chart {

// Print margins are TMargins: percent of the page's width (left, right) or height (top, bottom).

struct TPrintDevice {
    int pageWidth = 0;  // PW, pixels
    int pageHeight = 0; // PH, pixels
    int dpiX = 0;       // LX
    int dpiY = 0;       // LY
};

// m(S1, S2, q): the margin, in percent of S2, on each side of the short direction, when the
// chart's short side over its long side is q and S1 is the page size along the long side.
int ProportionalMargin(double s1, double s2, double q, double dpiX, double dpiY);

// Margins that follow the chart's aspect ratio: 15 % on the sides along the chart's longer
// direction and m() on the other two. A chart without area, or a device without size or
// resolution, leaves current unchanged.
TMargins ProportionalMargins(const TMargins& current, int chartWidth, int chartHeight,
                             const TPrintDevice& device);

// The part of the page inside the margins, in device pixels (right and bottom exclusive).
TRect PrintPageRect(const TMargins& margins, int pageWidth, int pageHeight);

struct TPrintMapping {
    TRect logical;       // what Draw receives, and the clip
    double scaleX = 1.0; // device pixels per logical unit
    double scaleY = 1.0;
};

// Maps the page rectangle to logical units in which the chart keeps its screen size
// (chartWidth x chartHeight, less resolutionPercent), with independent x and y scales and
// origins at 0. Throws std::invalid_argument when a size is not positive.
TPrintMapping PrintLogicalMapping(const TRect& page, int chartWidth, int chartHeight,
                                  int resolutionPercent);

} // namespace sornafex::chart

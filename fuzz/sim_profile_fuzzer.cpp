// Any text: the parser never crashes and keeps only points that increase within the bounds; the
// frequency stays between the profile's lowest and highest, and every change time asked for is
// where the count reaches its number.

#include "serial/sim_com_device.h"
#include "serial/sim_profile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace sornafex;
    TProfileError error;
    auto parsed =
        ParseSimProfile(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!parsed) {
        // A refusal always says why.
        if (error.reason.empty())
            __builtin_trap();
        return 0;
    }
    const auto profile = std::make_shared<const TSimProfile>(std::move(*parsed));
    const auto& points = profile->Points();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TProfilePoint& p = points[i];
        if (p.seconds < 0 || p.seconds > kMaxProfileNumber || p.hertz < 0 ||
            p.hertz > kMaxProfileNumber || (i > 0 && p.seconds <= points[i - 1].seconds))
            __builtin_trap();
    }
    const TSimSpec sensor{profile->Lowest(), profile->Highest(), profile};
    const double end = points.back().seconds + 1;
    for (const double t : {0.0, end / 3, end / 2, end}) {
        const double f = profile->FrequencyAt(t);
        if (!(f >= profile->Lowest() && f <= profile->Highest()))
            __builtin_trap();
    }
    // The first changes, and those around the profile's end.
    const std::uint64_t last = SimTransitionsAt(sensor, end);
    for (std::uint64_t n = 1; n <= 8; ++n) {
        for (const std::uint64_t k : {n, last > n ? last - n + 1 : n}) {
            const double t = SimTransitionTime(sensor, k);
            if (std::isinf(t))
                continue;
            if (SimTransitionsAt(sensor, t) < k ||
                SimTransitionsAt(sensor, std::nextafter(t, 0.0)) >= k)
                __builtin_trap();
        }
    }
    return 0;
}

#include "acquisition/capture_loop.h"

namespace sornafex {

TTickCount TickCount() {
    return TickOf(MonotonicNs());
}

} // namespace sornafex

#include "examination/response_feed.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace sornafex {
namespace {

// 20 s of fine rows of a 50 Hz level with a response of 1 % to a question at 5 s: a 1.5 s rise
// from 7 s, then a 4 s decay; rows stand at their due time, 240 ms after the moment they describe.
// A run of rows is missing from the grid from `from` on; the feed bridges at most 9 rows.
TEST(ResponseFeed, BridgesAShortGapAndMeasuresNothingOverALongOne) {
    struct Row {
        const char* what;
        TJournalMs from;
        int missing;
        bool measured;
    } const rows[] = {
        {"no gap", 0, 0, true},
        {"half a second in the rise", 7500, 5, true},
        {"nine rows in the baseline", 5800, 9, true},
        {"ten rows in the baseline", 5800, 10, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TResponseFeed feed({}, false);
        feed.Onset(5000);
        for (TJournalMs at = 100; at <= 20000; at += 100) {
            if (at >= row.from && at < row.from + row.missing * 100)
                continue;
            const double t = at / 1000.0 - 0.24;
            const double percent = t < 7     ? 0
                                   : t < 8.5 ? (1 - std::cos(M_PI * (t - 7) / 1.5)) / 2
                                             : std::exp(-(t - 8.5) / 4);
            feed.Fine(at, 50 * (1 + percent / 100), std::nullopt);
        }
        feed.End();
        std::vector<TResponse> responses;
        feed.TakeClosed(responses);
        ASSERT_EQ(responses.size(), 1u);
        const TResponse& response = responses[0];
        EXPECT_EQ(response.measured, row.measured);
        if (row.measured) {
            ASSERT_TRUE(response.rise);
            EXPECT_NEAR(response.rise->amplitudePercent, 1, 0.05);
            EXPECT_NEAR(*response.Latency(), 2, 0.3);
        }
    }
}

} // namespace
} // namespace sornafex

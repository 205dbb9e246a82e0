#include "examination/session_review.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using S = TJournalSession;
using R = TSessionReview;
using K = R::TEntry::TKind;

// The points as (seconds, value) with NAN for a gap, compared exactly.
std::vector<std::pair<double, double>> Points(const R& review) {
    std::vector<std::pair<double, double>> points;
    for (std::size_t i = 0; i < review.seconds.size(); ++i)
        points.emplace_back(review.seconds[i], review.values[i]);
    return points;
}

bool SamePoints(const std::vector<std::pair<double, double>>& a,
                const std::vector<std::pair<double, double>>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](auto p, auto q) {
        return p.first == q.first &&
               (p.second == q.second || (std::isnan(p.second) && std::isnan(q.second)));
    });
}

TEST(SessionReview, TheSignalIsTheFineOneOrTheSamplesWithAGapWhereNothingWasMeasured) {
    const std::optional<double> none;
    const struct {
        const char* name;
        std::function<void(S&)> fill;
        R::TSignal signal;
        std::vector<std::pair<double, double>> points;
        double clockStart, end;
    } rows[] = {
        {"fine, a tenth missing",
         [&](S& s) {
             s.start = {5000, 3600};
             s.samples = {{1004, 57}};
             s.fine = {{100, 50.5, none}, {200, 50.6, none}, {400, 50.7, none}, {500, 50.8, none}};
         },
         R::TSignal::FineHertz,
         {{0.1, 50.5}, {0.2, 50.6}, {0.3, NAN}, {0.4, 50.7}, {0.5, 50.8}},
         3605,
         1.004},
        {"calibrated, a reading out of range",
         [&](S& s) {
             s.start = {86400000 * 3LL + 5000, -7200};
             s.fine = {{100, 50, 3.1}, {200, 51, none}, {300, 52, 3.3}};
             s.markers = {{2500, 1}};
         },
         R::TSignal::FineMicroSiemens,
         {{0.1, 3.1}, {0.2, NAN}, {0.3, 3.3}},
         79205,
         2.5},
        {"samples without fine rows",
         [](S& s) {
             s.samples = {{1004, 57}, {2004, std::nullopt}, {3004, 58}};
         },
         R::TSignal::Samples,
         {{1.004, 57}, {2.004, NAN}, {3.004, 58}},
         0,
         3.004},
        {"no row", [](S&) {}, R::TSignal::Samples, {}, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        S session;
        row.fill(session);
        const R review = ReviewSession(session);
        EXPECT_EQ(review.signal, row.signal);
        EXPECT_TRUE(SamePoints(Points(review), row.points));
        EXPECT_DOUBLE_EQ(review.clockStart, row.clockStart);
        EXPECT_DOUBLE_EQ(review.end, row.end);
    }
}

// 40 s of a 50 Hz level with a response of 1 % to the question at 5 s, as the estimator
// stamps it (its delay after the moment it describes); a second question too late to measure.
S ExaminedSession() {
    S session;
    for (int tenth = 1; tenth <= 400; ++tenth) {
        const double t = tenth / 10.0 - 0.24 - 7;
        const double percent = t < 0     ? 0
                               : t < 1.5 ? (1 - std::cos(M_PI * t / 1.5)) / 2
                                         : std::exp(-(t - 1.5) / 4);
        session.fine.push_back({tenth * 100, 50 * (1 + percent / 100), std::nullopt});
    }
    session.questions = {{5000, 1, TQuestionType::Relevant, "Hier, à Lyon ?"},
                         {39000, 2, TQuestionType::Unlisted, ""}};
    session.answers = {{5800, 1, false}};
    session.markers = {{12000, 3}};
    session.events = {{20000, TJournalEvent::PortLost},
                      {20500, TJournalEvent::PortReopened},
                      {30000, TJournalEvent::Recentred}};
    return session;
}

TEST(SessionReview, EntriesInTheirOrderAndTheRiseOfEachMeasuredQuestion) {
    const R review = ReviewSession(ExaminedSession());
    ASSERT_EQ(review.entries.size(), 6u);
    const struct {
        double seconds;
        K kind;
        const char* label;
        const char* text;
    } expected[] = {
        {5, K::Question, "Q1", "Q1 R Hier, à Lyon ? — non — réponse de "},
        {5.8, K::Answer, "", "Q1 : non"},
        {12, K::Marker, "3", "Repère 3"},
        {20, K::PortLost, "", "port perdu"},
        {20.5, K::PortReopened, "", "port rouvert"},
        {39, K::Question, "Q2", "Q2 — non mesurée"},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const R::TEntry& entry = review.entries[i];
        EXPECT_DOUBLE_EQ(entry.seconds, expected[i].seconds);
        EXPECT_EQ(entry.kind, expected[i].kind);
        EXPECT_EQ(entry.label, expected[i].label);
        EXPECT_TRUE(entry.text.starts_with(expected[i].text)) << entry.text;
    }
    EXPECT_TRUE(review.entries[0].text.ends_with(" %")) << review.entries[0].text;

    ASSERT_EQ(review.rises.size(), 1u);
    const R::TRise& rise = review.rises[0];
    EXPECT_TRUE(rise.detected);
    EXPECT_NEAR(rise.troughSeconds, 7.24, 0.3);
    EXPECT_NEAR(rise.trough, 50, 0.05);
    EXPECT_NEAR(rise.peakSeconds, 8.74, 0.3);
    EXPECT_NEAR(rise.peak, 50.5, 0.05);
}

} // namespace
} // namespace sornafex

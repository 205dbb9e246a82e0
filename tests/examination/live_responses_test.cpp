#include "examination/live_responses.h"
#include "recording/journal.h"
#include "recording/journal_reader.h"
#include "tests/support/test_files.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace sornafex {
namespace {

constexpr TMonoNs kStartNs = 7'000'000'000;
// A fine estimate reaches the window this long after its due time, as the estimator's fetch makes
// it.
constexpr TJournalMs kEstimateLagMs = 150;

// A response of `percent` of the level starting 2 s after the onset: a 1.5 s rise, a 4 s decay.
double Response(double t, double onset, double percent) {
    const double start = onset + 2, rise = 1.5;
    if (t < start)
        return 0;
    if (t < start + rise)
        return percent * (1 - std::cos(M_PI * (t - start) / rise)) / 2;
    return percent * std::exp(-(t - start - rise) / 4);
}

// A minute of a run as the window gives it to the journal and to the live table: a fine estimate
// every 100 ms, arriving late; a sample every second; the examiner's keys, an answer changed, and
// a question asked during the previous one's measurement, then taken back. The live file must be
// the table a measurement of the journal read back gives, and each row must appear as soon as its
// window has closed.
TEST(LiveResponses, AgreeWithTheJournalMeasuredAgainAndCloseOnTime) {
    using Q = TQuestionType;
    struct Key {
        TJournalMs at;
        char what; // Q: question, A: answer, a: answer undone, U: question undone
        int number;
        Q type = Q::Unlisted;
        const char* text = "";
        bool yes = false;
    } const keys[] = {
        {5000, 'Q', 1, Q::Relevant, "Hier, à Lyon ?"},
        {6000, 'A', 1, Q::Unlisted, "", true},
        {7000, 'a', 1, Q::Unlisted, "", true},
        {7500, 'A', 1, Q::Unlisted, "", false},
        {20000, 'Q', 2, Q::Comparison, "Avant ?"},
        {26000, 'Q', 3, Q::Neutral, "Jean ?"},
        {30000, 'U', 3},
        {36000, 'Q', 3, Q::Neutral, "Jean ?"},
        {52000, 'Q', 4, Q::Relevant, "Hier ?"},
    };
    const std::map<int, double> percents{{1, 1}, {2, 0.5}, {4, 2}};
    const TJournalMs end = 60000;

    test::TScratchFolder folder;
    TQueuedUiBridge bridge;
    TJournalMs now = 0;
    TJournal journal(bridge, [&] {
        return TJournalInstant{1796721302123 + now, 3600, kStartNs + now * kNsPerMs};
    });
    journal.BeginRun(folder / "journaux", 1,
                     [](const TJournal::TFailure& failure) { FAIL() << failure.reason; });
    TLiveResponses live(TResponseSettings{}, false);
    std::map<int, TJournalMs> appeared;

    const Key* key = std::begin(keys);
    for (TJournalMs due = 100; due <= end; due += 100) {
        now = due + kEstimateLagMs;
        for (; key != std::end(keys) && key->at <= now; ++key) {
            const TMonoNs at = kStartNs + key->at * kNsPerMs;
            switch (key->what) {
            case 'Q':
                journal.Question(at, key->number, key->type, key->text);
                live.Question(key->at, key->number, key->type, key->text);
                break;
            case 'A':
                journal.Answer(at, key->number, key->yes);
                live.Answer(key->number, key->yes);
                break;
            case 'a':
                journal.UndoAnswer(at, key->number, key->yes);
                EXPECT_TRUE(live.UndoAnswer(key->number, key->yes));
                break;
            case 'U':
                journal.UndoQuestion(at, key->number);
                EXPECT_TRUE(live.UndoQuestion(key->number));
                break;
            }
        }
        if (due % 1000 == 0)
            journal.Sample(50, true);
        double percent = 0;
        for (const Key& asked : keys)
            if (asked.what == 'Q' && percents.count(asked.number) && asked.at != 26000)
                percent +=
                    Response(due / 1000.0 - 0.24, asked.at / 1000.0, percents.at(asked.number));
        const std::size_t before = live.Table().rows.size();
        const double hertz = 50 * (1 + percent / 100) + 0.0003 * std::sin(due * 0.37);
        journal.Fine(kStartNs + due * kNsPerMs, hertz, std::nullopt);
        live.Fine(due, hertz, std::nullopt);
        for (std::size_t i = before; i < live.Table().rows.size(); ++i)
            appeared[live.Table().rows[i].number] = now;
        if (const std::string path = journal.Path(); !path.empty())
            live.Write(path);
    }
    journal.EndRun();
    live.EndOfRun();
    ASSERT_TRUE(bridge.PumpUntil([&] { return journal.Idle(); }, 10000));
    live.Write(journal.Path());

    const std::string path = journal.Path();
    ASSERT_FALSE(path.empty());
    const TResponseTable again = MeasureSessionResponses(ReadJournalSession(path));
    EXPECT_EQ(test::ReadBytes(ResponseTablePathFor(path)), ResponseTableCsv(again));
    EXPECT_EQ(ResponseTableCsv(live.Table()), ResponseTableCsv(again));

    // Question, the end of its window (the next onset, 15 s, or the run's end), its answer, and
    // whether a response was found.
    struct Row {
        int number;
        TJournalMs closes;
        std::optional<bool> answer;
        bool detected;
    } const rows[] = {
        {1, 20000, false, true},
        {2, 35000, std::nullopt, true},
        {3, 51000, std::nullopt, false},
        {4, end, std::nullopt, true},
    };
    ASSERT_EQ(live.Table().rows.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].number);
        const TQuestionResponse& row = live.Table().rows[i];
        EXPECT_EQ(row.number, rows[i].number);
        EXPECT_EQ(row.answer, rows[i].answer);
        EXPECT_EQ(row.response.detected, rows[i].detected);
        EXPECT_FALSE(row.response.overlapsPrevious);
        // Its points describe the moment 240 ms before their due time, and reach the table 150 ms
        // after it.
        if (rows[i].closes < end) {
            EXPECT_GE(appeared[row.number], rows[i].closes + 240 + kEstimateLagMs);
            EXPECT_LE(appeared[row.number], rows[i].closes + 240 + kEstimateLagMs + 100);
        }
    }
}

} // namespace
} // namespace sornafex

#pragma once

// The journal of a short examination for the report's tests: 45 s of a level near 50 Hz (and
// 5 µS when calibrated, from points of 1000 kΩ at 10 Hz and 100 kΩ at 100 Hz), a relevant question
// at 5 s answered "non" and met by a response of 1 % starting 2 s after it, a comparison question
// at 20 s answered "oui" with a response of 0.5 %, a neutral one at 32 s without answer nor
// response, and a marker at 12 s. The fine values stand where the estimator stamps them, its delay
// after the moment they describe.

#include "recording/journal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace sornafex::test {

// Tuesday 8 December 2026, 10:15:02 in Paris.
inline constexpr std::int64_t kSessionStartEpochMs = 1796721302000;

inline std::string SessionJournal(bool calibrated, bool questions) {
    const auto response = [](double t, double onset, double percent) {
        const double start = onset + 2, rise = 1.5;
        if (t < start)
            return 0.0;
        if (t < start + rise)
            return percent * (1 - std::cos(M_PI * (t - start) / rise)) / 2;
        return percent * std::exp(-(t - start - rise) / 4);
    };
    std::vector<std::pair<int, std::string>> rows{
        {1, ",,,périphérique,,,,,sim:file:/home/x/profil.txt,"},
    };
    if (calibrated)
        rows.push_back({1, ",,,étalonnage,,,,,1000@10;100@100,"});
    char text[128];
    for (int tenth = 1; tenth <= 450; ++tenth) {
        const double described = tenth / 10.0 - 0.24;
        const double percent =
            questions ? response(described, 5, 1) + response(described, 20, 0.5) : 0;
        const double hertz = 50 * (1 + percent / 100);
        if (calibrated)
            std::snprintf(text, sizeof text, ",,,,%.4f,%.4f,,,,", hertz, hertz / 10);
        else
            std::snprintf(text, sizeof text, ",,,,%.4f,,,,,", hertz);
        rows.push_back({tenth * 100, text});
    }
    for (int sample = 1; sample <= 44; ++sample)
        rows.push_back({sample * 1004, ",50,,,,,,,,"});
    rows.push_back({12000, ",,1,,,,,,,"});
    if (questions) {
        rows.push_back({5000, ",,,question,,,1,R,\"Hier, à Lyon ?\","});
        rows.push_back({5800, ",,,réponse,,,1,,,non"});
        rows.push_back({20000, ",,,question,,,2,C,Avez-vous déjà menti à un proche ?,"});
        rows.push_back({20700, ",,,réponse,,,2,,,oui"});
        rows.push_back({32000, ",,,question,,,3,N,Il pleut ?,"});
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string bytes = JournalHeader() + "\r\n";
    for (const auto& [ms, rest] : rows) {
        std::snprintf(text, sizeof text, "%d.%03d", ms / 1000, ms % 1000);
        bytes += FormatJournalTime(kSessionStartEpochMs + ms, 3600) + "," + text + ",COM1" + rest +
                 "\r\n";
    }
    return bytes;
}

} // namespace sornafex::test

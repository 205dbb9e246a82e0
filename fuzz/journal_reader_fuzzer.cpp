// Any bytes: both journal readers name the same line they could not read, or both read them.
// Then the last samples are at most 256, each marker before a sample, and they are the whole
// session's last samples (one "sans mesure" as 0); every marker's and question's number is 1 or
// more; and the last samples, written again as a journal, read back the same.

#include "recording/dat_format.h"
#include "recording/journal_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace sornafex;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<TJournalEntry> entries;
    int badLine = 0;
    try {
        entries = ParseJournal(bytes);
    } catch (const EJournalFormat& error) {
        if (error.Line() < 1)
            __builtin_trap();
        badLine = error.Line();
    }
    TJournalSession session;
    try {
        session = ParseJournalSession(bytes);
    } catch (const EJournalFormat& error) {
        if (error.Line() != badLine)
            __builtin_trap();
        return 0;
    }
    if (badLine != 0)
        __builtin_trap();

    std::vector<std::int32_t> samples;
    std::string again = JournalHeader() + "\r\n";
    for (const TJournalEntry& entry : entries) {
        const bool sample = entry.kind == TJournalEntry::TKind::Sample;
        if (sample)
            samples.push_back(entry.value);
        else if (entry.value < 1)
            __builtin_trap();
        again += "2026-12-08T10:15:02.123+01:00,1.000,COM1";
        for (std::size_t i = 3; i < kJournalColumnCount; ++i) {
            const TJournalColumn column = kJournalColumns[i].column;
            again += ",";
            if (column == (sample ? TJournalColumn::Hertz : TJournalColumn::Marker))
                again += std::to_string(entry.value);
        }
        again += "\r\n";
    }
    if (samples.size() > kHistorySize || samples.size() > session.samples.size() ||
        (samples.size() < kHistorySize && samples.size() != session.samples.size()))
        __builtin_trap();
    const std::size_t skipped = session.samples.size() - samples.size();
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (session.samples[skipped + i].hertz.value_or(0) != samples[i])
            __builtin_trap();
    for (const TJournalSession::TMarker& marker : session.markers)
        if (marker.number < 1)
            __builtin_trap();
    for (const TJournalSession::TQuestion& question : session.questions)
        if (question.number < 1)
            __builtin_trap();
    if (!entries.empty() && entries.back().kind != TJournalEntry::TKind::Sample)
        __builtin_trap();
    if (ParseJournal(again) != entries)
        __builtin_trap();
    return 0;
}

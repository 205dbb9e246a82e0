// Any bytes: the journal reader either names a line it could not read or gives at most the last
// 256 samples, each marker before a sample; and what it gave, written again as a journal, reads
// back the same.

#include "recording/dat_format.h"
#include "recording/journal.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using sornafex::TJournalEntry;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<TJournalEntry> entries;
    try {
        entries = sornafex::ParseJournal(bytes);
    } catch (const sornafex::EJournalFormat& error) {
        if (error.Line() < 1)
            __builtin_trap();
        return 0;
    }

    std::size_t samples = 0;
    std::string again(sornafex::kJournalHeader);
    again += "\r\n";
    for (const TJournalEntry& entry : entries) {
        const bool sample = entry.kind == TJournalEntry::TKind::Sample;
        samples += sample ? 1 : 0;
        if (!sample && entry.value < 1)
            __builtin_trap();
        const std::string value = std::to_string(entry.value);
        again += "2026-12-08T10:15:02.123+01:00,1.000,COM1," +
                 (sample ? value + "," : "," + value) + ",\r\n";
    }
    if (samples > sornafex::kHistorySize)
        __builtin_trap();
    if (!entries.empty() && entries.back().kind != TJournalEntry::TKind::Sample)
        __builtin_trap();
    if (sornafex::ParseJournal(again) != entries)
        __builtin_trap();
    return 0;
}

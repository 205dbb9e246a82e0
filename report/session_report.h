#pragma once

// What the examination's report tells of a session: its journal read back whole, the session
// sheet beside it, and the table of the responses measured on its fine signal.

#include "base/file_io.h"
#include "examination/response_table.h"
#include "recording/journal_reader.h"
#include "recording/session_sheet.h"

#include <string>

namespace sornafex {

struct TSessionReport {
    std::string journalPath;
    TJournalSession session;
    TSessionSheet sheet; // empty when the journal has none
    TResponseSettings settings;
    TResponseTable table; // measured with settings
};

// Reads the journal at journalPath and its sheet, and measures the session's responses with
// settings. A journal that cannot be read throws what ReadJournalSession throws (EFileError,
// EJournalFormat: the messages "Ouvrir..." shows); a sheet that exists and cannot be read throws
// std::runtime_error naming the sheet's file and the reason.
TSessionReport ReadSessionReport(const std::string& journalPath,
                                 const TResponseSettings& settings = {},
                                 TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex

#pragma once

// The session sheet of an examination: who was examined, by whom, and the examiner's notes, all
// optional. It is kept beside the run's journal as <journal name without .csv>_fiche.txt, a
// UTF-8 text that a person reads as it stands:
//
//   Personne examinée : Jean Dupont
//   Examinateur : Marie Martin
//   Notes :
//   Première séance.
//   Calme.
//
// An empty sheet leaves no file.

#include "base/file_io.h"

#include <optional>
#include <string>

namespace sornafex {

struct TSessionSheet {
    std::string person;
    std::string examiner;
    std::string notes; // lines separated by LF

    bool Empty() const { return person.empty() && examiner.empty() && notes.empty(); }
    friend bool operator==(const TSessionSheet&, const TSessionSheet&) = default;
};

// "<folder>/<name>_fiche.txt" for the journal "<folder>/<name>.csv".
std::string SessionSheetPathFor(const std::string& journalPath);

// The file's text; the person and the examiner on one line each (line ends in them become
// spaces), the notes as they are (CR LF and CR become LF).
std::string FormatSessionSheet(const TSessionSheet& sheet);
// The sheet of a text FormatSessionSheet wrote, or one a person edited: lines in another order,
// blanks around the values, CR LF. Lines before "Notes :" that are neither of the two keys are
// left out.
TSessionSheet ParseSessionSheet(std::string_view text);

// Writes the sheet of the journal at journalPath crash-safely, mode 0600 like the journal; an
// empty sheet removes a sheet written before. Throws EFileError.
void WriteSessionSheet(const std::string& journalPath, const TSessionSheet& sheet,
                       TFileSystem& fs = TFileSystem::Posix());
// The sheet of the journal at journalPath; none when there is no sheet. Throws EFileError for a
// sheet that exists but cannot be read.
std::optional<TSessionSheet> ReadSessionSheet(const std::string& journalPath,
                                              TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex

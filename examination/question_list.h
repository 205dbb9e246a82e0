#pragma once

// The examination's list of questions: a UTF-8 text file, one question a line, its kind first:
//
//   # Examen du 8 décembre
//   N: Vous appelez-vous Jean ?
//   C: Avant vos vingt ans, avez-vous déjà pris ce qui ne vous appartenait pas ?
//   R: Hier, à Lyon, avez-vous pris la voiture ?
//
// R is a relevant question, C a comparison question, N a neutral one (the letters of
// kQuestionTypes; a small letter is taken too). Blanks around the letter, the colon and the text
// are left out; a line whose first sign is "#" and a blank line are ignored; a byte-order mark
// may open the file and lines may end in CR LF. Any other line is refused, and so is a question
// without text.

#include "base/file_io.h"
#include "recording/journal.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex {

struct TListedQuestion {
    TQuestionType type = TQuestionType::Relevant;
    std::string text;
    friend bool operator==(const TListedQuestion&, const TListedQuestion&) = default;
};
using TQuestionList = std::vector<TListedQuestion>;

// A list that cannot be read. what() is French and names the file and the line when there are
// some: "liste de questions /home/x/q.txt, ligne 4 : la ligne ne commence pas par R:, C: ou N:".
class EQuestionList : public std::runtime_error {
public:
    EQuestionList(const std::string& message, int line);
    // The line that could not be read, from 1; 0 when the file could not be read at all.
    int Line() const noexcept { return m_line; }

private:
    int m_line;
};

// Throws EQuestionList naming the line ("ligne 4 : ...").
TQuestionList ParseQuestionList(std::string_view text);
// The file's text: a comment that says the form, then "R: text" a question, LF line ends. A text's
// line ends become spaces.
std::string FormatQuestionList(const TQuestionList& list);

// Both throw EQuestionList naming the file (and the line).
TQuestionList ReadQuestionList(const std::string& path, TFileSystem& fs = TFileSystem::Posix());
// Crash-safe, as every file the program replaces.
void WriteQuestionList(const std::string& path, const TQuestionList& list,
                       TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex

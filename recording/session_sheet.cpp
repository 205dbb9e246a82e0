#include "recording/session_sheet.h"

#include <cerrno>
#include <string_view>
#include <sys/stat.h>

namespace sornafex {

namespace {

constexpr std::string_view kPersonKey = "Personne examinée";
constexpr std::string_view kExaminerKey = "Examinateur";
constexpr std::string_view kNotesKey = "Notes";
constexpr std::string_view kSeparator = " : ";
constexpr std::string_view kSheetSuffix = "_fiche.txt";
constexpr std::string_view kJournalSuffix = ".csv";

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string OneLine(std::string_view text) {
    std::string line(Trimmed(text));
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    return line;
}

std::string LfOnly(std::string_view text) {
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            lines.push_back(text[i]);
        }
    }
    return lines;
}

// The value of "key : value", when line is that.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view key) {
    line = Trimmed(line);
    if (!line.starts_with(key))
        return std::nullopt;
    line = Trimmed(line.substr(key.size()));
    if (!line.starts_with(':'))
        return std::nullopt;
    return Trimmed(line.substr(1));
}

} // namespace

std::string SessionSheetPathFor(const std::string& journalPath) {
    std::string_view stem = journalPath;
    if (stem.ends_with(kJournalSuffix))
        stem.remove_suffix(kJournalSuffix.size());
    return std::string(stem).append(kSheetSuffix);
}

std::string FormatSessionSheet(const TSessionSheet& sheet) {
    std::string text;
    text.append(kPersonKey).append(kSeparator).append(OneLine(sheet.person)).append("\n");
    text.append(kExaminerKey).append(kSeparator).append(OneLine(sheet.examiner)).append("\n");
    text.append(kNotesKey).append(" :\n");
    const std::string notes = LfOnly(sheet.notes);
    text.append(notes);
    if (!notes.empty() && notes.back() != '\n')
        text.push_back('\n');
    return text;
}

TSessionSheet ParseSessionSheet(std::string_view text) {
    const std::string lines = LfOnly(text);
    TSessionSheet sheet;
    std::size_t at = 0;
    while (at < lines.size()) {
        const std::size_t end = std::min(lines.find('\n', at), lines.size());
        const std::string_view line(lines.data() + at, end - at);
        at = end + 1;
        if (const auto person = ValueOf(line, kPersonKey)) {
            sheet.person = *person;
        } else if (const auto examiner = ValueOf(line, kExaminerKey)) {
            sheet.examiner = *examiner;
        } else if (const auto notes = ValueOf(line, kNotesKey)) {
            // The notes are the rest, a first line on the key's own line included.
            std::string rest = std::string(*notes);
            if (at < lines.size())
                rest.append(rest.empty() ? "" : "\n").append(lines.substr(at));
            while (!rest.empty() && rest.back() == '\n')
                rest.pop_back();
            sheet.notes = rest;
            break;
        }
    }
    return sheet;
}

void WriteSessionSheet(const std::string& journalPath, const TSessionSheet& sheet,
                       TFileSystem& fs) {
    const std::string path = SessionSheetPathFor(journalPath);
    if (sheet.Empty()) {
        if (fs.Unlink(path) != 0 && errno != ENOENT)
            throw EFileError(errno);
        return;
    }
    // A new sheet is the journal's: no one else's to read.
    WriteFileAtomically(path, FormatSessionSheet(sheet), S_IRUSR | S_IWUSR, fs);
}

std::optional<TSessionSheet> ReadSessionSheet(const std::string& journalPath, TFileSystem& fs) {
    const std::string path = SessionSheetPathFor(journalPath);
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 && errno == ENOENT)
        return std::nullopt;
    return ParseSessionSheet(ReadWholeFile(path, fs));
}

} // namespace sornafex

#include "examination/question_list.h"

#include <cctype>
#include <optional>

namespace sornafex {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kFileHeader =
    "# Questions de l'examen, une par ligne : R: pertinente, C: comparaison, N: neutre.\n";
constexpr std::string_view kNoPrefix = "la ligne ne commence pas par R:, C: ou N:";
constexpr std::string_view kNoText = "la question n'a pas de texte";
constexpr std::string_view kNotUtf8 = "le texte n'est pas en UTF-8";

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Well-formed UTF-8: no stray continuation byte, no overlong form, no surrogate, nothing past
// U+10FFFF. A list saved as Latin-1 would otherwise show its accents as garbage in the window
// and the journal.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                    ? 1
                                   : lead >= 0xC2 && lead <= 0xDF ? 2
                                   : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                  : 0;
        if (length == 0 || i + length > text.size())
            return false;
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += length;
    }
    return true;
}

std::string LineFormat(int line) {
    return "ligne " + std::to_string(line) + " : ";
}

// The question a line holds, none for a comment or a blank line; throws EQuestionList.
std::optional<TListedQuestion> ParseLine(std::string_view line, int number) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    line = Trimmed(line);
    if (line.empty() || line.front() == '#')
        return std::nullopt;
    if (!IsUtf8(line))
        throw EQuestionList(LineFormat(number).append(kNotUtf8), number);
    const auto type =
        QuestionTypeOf(static_cast<char>(std::toupper(static_cast<unsigned char>(line.front()))));
    const std::string_view rest = Trimmed(line.substr(1));
    if (!type || *type == TQuestionType::Unlisted || !rest.starts_with(':'))
        throw EQuestionList(LineFormat(number).append(kNoPrefix), number);
    const std::string_view text = Trimmed(rest.substr(1));
    if (text.empty())
        throw EQuestionList(LineFormat(number).append(kNoText), number);
    return TListedQuestion{*type, std::string(text)};
}

} // namespace

EQuestionList::EQuestionList(const std::string& message, int line)
    : std::runtime_error(message), m_line(line) {}

TQuestionList ParseQuestionList(std::string_view text) {
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    TQuestionList list;
    int number = 0;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        if (auto question = ParseLine(text.substr(at, end - at), ++number))
            list.push_back(std::move(*question));
        at = end + 1;
    }
    return list;
}

std::string FormatQuestionList(const TQuestionList& list) {
    std::string text(kFileHeader);
    for (const TListedQuestion& question : list) {
        std::string line = std::string(1, QuestionTypeLetter(question.type)) + ": ";
        for (const char c : question.text)
            line.push_back(c == '\r' || c == '\n' ? ' ' : c);
        text.append(line).append("\n");
    }
    return text;
}

TQuestionList ReadQuestionList(const std::string& path, TFileSystem& fs) {
    const std::string name = "liste de questions " + path;
    std::string text;
    try {
        text = ReadWholeFile(path, fs);
    } catch (const EFileError& error) {
        throw EQuestionList(name + " : " + error.what(), 0);
    }
    try {
        return ParseQuestionList(text);
    } catch (const EQuestionList& error) {
        throw EQuestionList(name + ", " + error.what(), error.Line());
    }
}

void WriteQuestionList(const std::string& path, const TQuestionList& list, TFileSystem& fs) {
    try {
        WriteFileAtomically(path, FormatQuestionList(list), fs);
    } catch (const EFileError& error) {
        throw EQuestionList("liste de questions " + path + " : " + error.what(), 0);
    }
}

} // namespace sornafex

#include "settings/profile_file.h"

#include <cerrno>
#include <stdexcept>

namespace sornafex {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A value written between a pair of quotes (single or double) is read without them, as the
// platform's profile reader has always done; a lone quote is part of the value.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

enum class TLineKind { Blank, Section, Key, Other };

// One line of the file. content is the line without its line end; for a key line, keyEnd is
// where the key's name ends (its own blanks excluded) and value the trimmed value.
struct TLine {
    std::size_t start = 0;
    std::size_t contentEnd = 0; // before the CR LF, CR or LF
    std::size_t next = 0;       // start of the following line
    bool hasLineEnd = false;
    TLineKind kind = TLineKind::Blank;
    std::string_view name; // section or key name, trimmed
    std::size_t keyEnd = 0;
    std::string_view value;
};

// A line ends at CR LF, at a CR alone (files from old Macintosh editors) or at an LF alone.
TLine ParseLine(std::string_view text, std::size_t start) {
    TLine line;
    line.start = start;
    const std::size_t end = text.find_first_of("\r\n", start);
    line.hasLineEnd = end != std::string_view::npos;
    line.contentEnd = line.hasLineEnd ? end : text.size();
    line.next = !line.hasLineEnd                       ? text.size()
                : text.substr(end).starts_with("\r\n") ? end + 2
                                                       : end + 1;

    const std::string_view content = text.substr(start, line.contentEnd - start);
    const std::string_view trimmed = Trim(content);
    if (trimmed.empty())
        return line;
    if (trimmed.front() == '[') {
        line.kind = TLineKind::Section;
        std::string_view name = trimmed.substr(1);
        if (const auto close = name.find(']'); close != std::string_view::npos)
            name = name.substr(0, close);
        line.name = Trim(name);
        return line;
    }
    line.kind = TLineKind::Other;
    if (trimmed.front() == ';' || trimmed.front() == '#')
        return line;
    const auto equals = content.find('=');
    if (equals == std::string_view::npos)
        return line;
    const std::string_view key = Trim(content.substr(0, equals));
    if (key.empty())
        return line;
    line.kind = TLineKind::Key;
    line.name = key;
    line.keyEnd = static_cast<std::size_t>(key.data() + key.size() - content.data()) + start;
    line.value = Unquote(Trim(content.substr(equals + 1)));
    return line;
}

// Where a key stands in the file, or where it would go.
struct TPlace {
    bool sectionFound = false;
    std::optional<TLine> key;
    std::size_t insertAt = 0;        // after the section's last key, or its header
    bool insertNeedsLineEnd = false; // that line is the file's last and has no line end
};

TPlace Locate(std::string_view text, std::string_view section, std::string_view key) {
    TPlace place;
    bool inSection = false;
    // A byte-order mark is no part of the first line's text.
    std::size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < text.size()) {
        const TLine line = ParseLine(text, pos);
        pos = line.next;
        if (line.kind == TLineKind::Section) {
            if (inSection)
                break; // the first section of that name is the one
            inSection = SameName(line.name, section);
            if (inSection) {
                place.sectionFound = true;
                place.insertAt = line.next;
                place.insertNeedsLineEnd = !line.hasLineEnd;
            }
            continue;
        }
        if (!inSection || line.kind != TLineKind::Key)
            continue;
        // A new key goes after the section's last key, so that a comment heading the next
        // section stays with it.
        place.insertAt = line.next;
        place.insertNeedsLineEnd = !line.hasLineEnd;
        if (SameName(line.name, key)) {
            place.key = line;
            return place;
        }
    }
    return place;
}

// The line end of the file's first line, which new lines take: CR LF, CR or LF; LF in a file
// without any.
std::string_view LineEndOf(std::string_view text) {
    const std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos)
        return "\n";
    if (text.substr(end).starts_with("\r\n"))
        return "\r\n";
    return text[end] == '\r' ? "\r" : "\n";
}

bool HasLineEnd(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

void CheckName(std::string_view name, std::string_view forbidden, const char* what) {
    const std::string_view trimmed = Trim(name);
    if (trimmed.empty() || HasLineEnd(name) || name.find_first_of(forbidden) != name.npos)
        throw std::invalid_argument(std::string("invalid profile ") + what + " name");
}

} // namespace

TProfile TProfile::Load(const std::string& path, TFileSystem& fs) {
    try {
        return TProfile(ReadWholeFile(path, fs));
    } catch (const EFileError& error) {
        if (error.ErrorNumber() == ENOENT)
            return TProfile();
        throw;
    }
}

std::optional<std::string> TProfile::Find(std::string_view section, std::string_view key) const {
    const TPlace place = Locate(m_text, section, key);
    if (!place.key)
        return std::nullopt;
    return std::string(place.key->value.substr(0, kMaxProfileValue));
}

std::string TProfile::GetString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    if (auto value = Find(section, key))
        return std::move(*value);
    return std::string(defaultValue);
}

void TProfile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    CheckName(section, "]", "section");
    CheckName(key, "=", "key");
    const char first = Trim(key).front();
    if (first == '[' || first == ';' || first == '#')
        throw std::invalid_argument("invalid profile key name");
    if (HasLineEnd(value))
        throw std::invalid_argument("profile value holds a line end");

    const std::string_view lineEnd = LineEndOf(m_text);
    const TPlace place = Locate(m_text, section, key);
    if (place.key) {
        // Up to the key's own name, then "=" and the value; the line end stays.
        const TLine& line = *place.key;
        m_text.replace(line.keyEnd, line.contentEnd - line.keyEnd, std::string("=") += value);
        return;
    }
    std::string added;
    if (place.sectionFound) {
        if (place.insertNeedsLineEnd)
            added += lineEnd;
        added.append(key).append("=").append(value).append(lineEnd);
        m_text.insert(place.insertAt, added);
        return;
    }
    if (!m_text.empty() && m_text.back() != '\n' && m_text.back() != '\r')
        added += lineEnd;
    added.append("[").append(section).append("]").append(lineEnd);
    added.append(key).append("=").append(value).append(lineEnd);
    m_text += added;
}

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              TFileSystem& fs) {
    // A file that cannot be read holds nothing the reader could use: the default it is.
    try {
        return TProfile::Load(path, fs).GetString(section, key, defaultValue);
    } catch (const EFileError&) {
        return std::string(defaultValue);
    }
}

void WriteProfileStrings(const std::string& path, const std::vector<TProfileEntry>& entries,
                         TFileSystem& fs) {
    TProfile profile = TProfile::Load(path, fs);
    for (const TProfileEntry& entry : entries)
        profile.SetString(entry.section, entry.key, entry.value);
    WriteFileAtomically(path, profile.Text(), fs);
}

void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, TFileSystem& fs) {
    WriteProfileStrings(path, {{std::string(section), std::string(key), std::string(value)}}, fs);
}

} // namespace sornafex

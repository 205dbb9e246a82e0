#pragma once

// A profile file ("INI"): lines, each ended by CR LF, a CR alone or an LF alone, where "[name]"
// opens a section and "key=value" holds a key of the current section. Lines whose first
// non-blank character is ";" or "#" are comments; other lines without "=" and keys before the
// first section are ignored.
//
// Reading: section and key names match without regard to ASCII letter case; the first section of
// a name and the first key of a name in it count; the value comes without the blanks (spaces,
// tabs) around it and without a pair of quotes enclosing it, cut to kMaxProfileValue bytes. A
// missing file, section or key gives the caller's default.
//
// Writing one key: replaces the value of an existing key in place (its line keeps its indent, the
// key its spelling, and "=" gets no blanks around it), appends a missing key after the last key
// of its section (after its header when it has none), appends a missing section at the end of the
// file. Every other byte of the file is kept as it was, comments and unknown keys included. New
// lines take the file's own line end (that of its first line; LF in a file without any).

#include "base/file_io.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex {

// Longest value a read returns, in bytes.
inline constexpr std::size_t kMaxProfileValue = 2047;

class TProfile {
public:
    TProfile() = default;
    explicit TProfile(std::string text) : m_text(std::move(text)) {}

    // The file's bytes; a missing file is an empty profile. Throws EFileError for any other
    // failure, so that a file that exists but cannot be read is never replaced by a writer.
    static TProfile Load(const std::string& path, TFileSystem& fs = TFileSystem::Posix());

    const std::string& Text() const { return m_text; }

    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;

    // Section and key must be non-blank and hold no line end; the section no "]", the key no "="
    // and no leading "[", ";" or "#"; the value no line end (std::invalid_argument otherwise).
    void SetString(std::string_view section, std::string_view key, std::string_view value);

private:
    std::string m_text;
};

struct TProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// One key read from the file at path; the default when the file, the section or the key is
// missing, and also when the file cannot be read at all.
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              TFileSystem& fs = TFileSystem::Posix());

// Writes the keys in order into the file at path, creating it when missing, and replaces the file
// atomically (WriteFileAtomically): on failure (EFileError) the file is as it was, none of the
// keys written.
void WriteProfileStrings(const std::string& path, const std::vector<TProfileEntry>& entries,
                         TFileSystem& fs = TFileSystem::Posix());
void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex

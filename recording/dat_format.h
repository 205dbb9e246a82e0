#pragma once

// The recording format: the sample history as text, one whole number per line.
//
// Written: 256 lines, each the point's value rounded to the nearest whole number (ties to the even
// neighbour) in plain decimal ("-" when negative, no "+", no leading zeros), each followed by
// CR LF; nothing else.
//
// Read: a CR ends a line and an LF right after it belongs to that end; an LF on its own ends a line
// too, so files edited with an ordinary Linux editor load. A byte 26 ends the file, also in the
// middle of a line. The last line may lack its end, and lines may be of any length. A line counts
// when it matches the integer text syntax as a whole; any other line is skipped without a word.

#include "base/file_io.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex {

// Points in the sample history, and lines in a written recording.
inline constexpr std::size_t kHistorySize = 256;

// Reads a recording fed in pieces of any size, in time linear in the bytes fed and in memory of
// its own size: the last kHistorySize values and a few bytes of the line being read.
class TRecordingReader {
public:
    // Takes the next bytes of the file. Returns false once the end-of-file byte 26 has been met;
    // bytes fed after that are ignored.
    bool Feed(std::string_view bytes);
    // The file has ended: a last line without its line end is taken now. Call once, at the end.
    void Finish();

    // The last min(N, 256) values of the N lines that converted, oldest first.
    std::vector<std::int32_t> Values() const;
    // N: every line that converted, also those no longer kept.
    std::size_t ValueCount() const { return m_count; }

private:
    void Keep(char c);
    void EndLine();

    // The line read so far, without its leading spaces and surplus leading zeros.
    std::string m_line;
    // The line has grown past anything that converts; the rest of it is not kept.
    bool m_overlong = false;
    bool m_afterCr = false;
    bool m_ended = false;
    std::array<std::int32_t, kHistorySize> m_ring{};
    std::size_t m_count = 0;
};

// The values of a whole recording held in memory (see TRecordingReader::Values).
std::vector<std::int32_t> ParseRecording(std::string_view bytes);

// Reads the recording at path; throws EFileError when it cannot be opened or read.
std::vector<std::int32_t> ReadRecordingFile(const std::string& path,
                                            TFileSystem& fs = TFileSystem::Posix());

// The bytes of a recording of these history points, oldest first. The values must be finite
// (std::invalid_argument otherwise); any magnitude is written with all its digits.
std::string FormatRecording(std::span<const double> history);

// Writes the recording atomically (see WriteFileAtomically); throws EFileError, and then the file
// at path is the one it was before.
void WriteRecordingFile(const std::string& path, std::span<const double> history,
                        TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex

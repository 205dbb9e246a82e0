#include "recording/dat_format.h"

#include "base/int_text.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace sornafex {

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kEndOfFile = '\x1a';

// With leading spaces skipped and leading zeros folded, the longest line that converts is a sign,
// two zeros and ten digits: 13 bytes. Anything longer is kept no further, so that a line of any
// length (a file without line ends, say) costs no memory.
constexpr std::size_t kLongestKept = 16;

// "00", "+00" or "-00".
bool IsSignedDoubleZero(std::string_view text) {
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
        text.remove_prefix(1);
    return text == "00";
}

// Rounding to the nearest whole number with ties to the even neighbour, without depending on the
// floating-point environment's current rounding mode. The + 0.0 turns -0 into 0.
double RoundHalfEven(double value) {
    double rounded = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5)
        rounded = 2.0 * std::round(value / 2.0);
    return rounded + 0.0;
}

} // namespace

bool TRecordingReader::Feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (m_ended)
            break;
        if (m_afterCr) {
            m_afterCr = false;
            if (c == kLf)
                continue;
        }
        if (c == kCr || c == kLf) {
            EndLine();
            m_afterCr = c == kCr;
        } else if (c == kEndOfFile) {
            // What precedes the byte on its line is the file's last line.
            EndLine();
            m_ended = true;
        } else {
            Keep(c);
        }
    }
    return !m_ended;
}

void TRecordingReader::Keep(char c) {
    if (m_overlong)
        return;
    // Leading spaces are skipped by the syntax anyway.
    if (m_line.empty() && c == ' ')
        return;
    // Past two leading zeros (after an optional sign) a line can only be decimal, where further
    // leading zeros change nothing: "-0000042" reads as "-0042".
    if (c == '0' && IsSignedDoubleZero(m_line))
        return;
    if (m_line.size() == kLongestKept) {
        m_overlong = true;
        m_line.clear();
        return;
    }
    m_line.push_back(c);
}

void TRecordingReader::Finish() {
    if (!m_ended) {
        EndLine();
        m_ended = true;
    }
}

void TRecordingReader::EndLine() {
    if (!m_overlong) {
        if (const auto value = ParseIntText(m_line)) {
            m_ring[m_count % kHistorySize] = *value;
            ++m_count;
        }
    }
    m_line.clear();
    m_overlong = false;
}

std::vector<std::int32_t> TRecordingReader::Values() const {
    const std::size_t kept = m_count < kHistorySize ? m_count : kHistorySize;
    std::vector<std::int32_t> values;
    values.reserve(kept);
    for (std::size_t i = m_count - kept; i < m_count; ++i)
        values.push_back(m_ring[i % kHistorySize]);
    return values;
}

std::vector<std::int32_t> ParseRecording(std::string_view bytes) {
    TRecordingReader reader;
    reader.Feed(bytes);
    reader.Finish();
    return reader.Values();
}

std::vector<std::int32_t> ReadRecordingFile(const std::string& path, TFileSystem& fs) {
    TRecordingReader reader;
    ReadFileInPieces(
        path, [&reader](std::string_view piece) { return reader.Feed(piece); }, fs);
    reader.Finish();
    return reader.Values();
}

std::string FormatRecording(std::span<const double> history) {
    std::string text;
    text.reserve(history.size() * 6);
    // Room for the longest finite double written without exponent: 309 digits and a sign.
    char digits[320];
    for (const double value : history) {
        if (!std::isfinite(value))
            throw std::invalid_argument("recording value is not a number");
        const auto [end, error] = std::to_chars(std::begin(digits), std::end(digits),
                                                RoundHalfEven(value), std::chars_format::fixed, 0);
        if (error != std::errc())
            throw std::invalid_argument("recording value cannot be written");
        text.append(digits, end);
        text.append("\r\n");
    }
    return text;
}

void WriteRecordingFile(const std::string& path, std::span<const double> history, TFileSystem& fs) {
    WriteFileAtomically(path, FormatRecording(history), fs);
}

} // namespace sornafex

// Any bytes: the reader gives what converting each line on its own gives (last 256 values), the
// same however the bytes are cut into pieces, and what it read writes and reads back the same.

#include "base/int_text.h"
#include "recording/dat_format.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

// The file read the plain way: the lines cut out of the whole text, each converted on its own.
std::vector<std::int32_t> ReadPlainly(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\x1a'));
    std::vector<std::int32_t> values;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = bytes.size();
        if (const auto value = sornafex::ParseIntText(bytes.substr(start, end - start)))
            values.push_back(*value);
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    if (values.size() > sornafex::kHistorySize)
        values.erase(values.begin(), values.end() - sornafex::kHistorySize);
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::int32_t> whole = sornafex::ParseRecording(bytes);
    if (whole != ReadPlainly(bytes))
        __builtin_trap();

    // Piece sizes from the input itself, so the fuzzer explores the edges too.
    sornafex::TRecordingReader reader;
    std::size_t at = 0;
    std::size_t step = size == 0 ? 1 : 1 + data[0] % 97;
    while (at < size) {
        reader.Feed(bytes.substr(at, step));
        at += step;
        step = 1 + (step * 31 + 7) % 4099;
    }
    reader.Finish();
    if (reader.Values() != whole)
        __builtin_trap();

    const std::vector<double> history(whole.begin(), whole.end());
    if (sornafex::ParseRecording(sornafex::FormatRecording(history)) != whole)
        __builtin_trap();
    return 0;
}

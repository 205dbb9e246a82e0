#pragma once

// A small reader of placeable Windows metafiles for tests: it splits the bytes into the two
// headers and the records, checking the framing on the way, so a test can look at what was
// recorded without trusting the writer's own bookkeeping.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace sornafex::test {

struct TWmfRecordView {
    std::uint32_t words = 0; // the record's own size field
    std::uint16_t function = 0;
    std::vector<std::uint8_t> params;

    std::uint16_t Word(std::size_t index) const {
        if (2 * index + 1 >= params.size())
            throw std::out_of_range("record parameter");
        return static_cast<std::uint16_t>(params[2 * index] | (params[2 * index + 1] << 8));
    }
    int Short(std::size_t index) const { return static_cast<std::int16_t>(Word(index)); }
    std::uint32_t DWord(std::size_t index) const {
        return Word(index) | (std::uint32_t(Word(index + 1)) << 16);
    }
};

struct TWmfFileView {
    std::uint32_t key = 0;
    int boundsLeft = 0, boundsTop = 0, boundsRight = 0, boundsBottom = 0;
    std::uint16_t inch = 0;
    std::uint16_t checksum = 0;
    std::uint16_t computedChecksum = 0;
    std::uint16_t type = 0, headerWords = 0, version = 0;
    std::uint32_t sizeWords = 0;
    std::uint16_t objects = 0;
    std::uint32_t maxRecordWords = 0;
    std::vector<TWmfRecordView> records;

    std::vector<TWmfRecordView> Records(std::uint16_t function) const {
        std::vector<TWmfRecordView> found;
        for (const auto& r : records)
            if (r.function == function)
                found.push_back(r);
        return found;
    }
};

inline TWmfFileView ReadWmf(const std::vector<std::uint8_t>& bytes) {
    auto u16 = [&](std::size_t at) {
        if (at + 1 >= bytes.size())
            throw std::runtime_error("metafile truncated");
        return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
    };
    auto u32 = [&](std::size_t at) {
        return u16(at) | (std::uint32_t(u16(at + 2)) << 16);
    };
    TWmfFileView f;
    f.key = u32(0);
    f.boundsLeft = static_cast<std::int16_t>(u16(6));
    f.boundsTop = static_cast<std::int16_t>(u16(8));
    f.boundsRight = static_cast<std::int16_t>(u16(10));
    f.boundsBottom = static_cast<std::int16_t>(u16(12));
    f.inch = u16(14);
    f.checksum = u16(20);
    for (std::size_t i = 0; i < 20; i += 2)
        f.computedChecksum ^= u16(i);
    const std::size_t h = 22;
    f.type = u16(h);
    f.headerWords = u16(h + 2);
    f.version = u16(h + 4);
    f.sizeWords = u32(h + 6);
    f.objects = u16(h + 10);
    f.maxRecordWords = u32(h + 12);
    std::size_t at = h + 18;
    while (at < bytes.size()) {
        TWmfRecordView r;
        r.words = u32(at);
        r.function = u16(at + 4);
        if (r.words < 3 || at + 2 * std::size_t(r.words) > bytes.size())
            throw std::runtime_error("bad record size");
        r.params.assign(bytes.begin() + std::ptrdiff_t(at + 6),
                        bytes.begin() + std::ptrdiff_t(at + 2 * std::size_t(r.words)));
        f.records.push_back(std::move(r));
        at += 2 * std::size_t(f.records.back().words);
        if (f.records.back().function == 0)
            break;
    }
    if (at != bytes.size())
        throw std::runtime_error("bytes after the end-of-file record");
    return f;
}

} // namespace sornafex::test

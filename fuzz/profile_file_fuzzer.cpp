// Any file contents: reading never crashes, and writing one key makes that key read back as
// written while every other key keeps the value it had.

#include "settings/profile_file.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

struct TName {
    std::string_view section;
    std::string_view key;
};

constexpr std::array kNames{
    TName{"Com", "ComNumber"},
    TName{"Com", "Device1"},
    TName{"Graph", "XMin"},
    TName{"Graph", "XMax"},
    TName{"Misc", "ShowNoData"},
    TName{"Test", "WriteToIniTest"},
    TName{"a", "b"},
    TName{"", "k"},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the key to write and its value; the rest is the file.
    const std::size_t pick = data[0] % 6;
    const std::string value = std::to_string(static_cast<int>(data[0]) - 100);
    sornafex::TProfile profile(std::string(reinterpret_cast<const char*>(data + 1), size - 1));

    std::array<std::optional<std::string>, kNames.size()> before;
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        before[i] = profile.Find(kNames[i].section, kNames[i].key);
        if (before[i] && before[i]->size() > sornafex::kMaxProfileValue)
            __builtin_trap();
    }

    profile.SetString(kNames[pick].section, kNames[pick].key, value);
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        const auto after = profile.Find(kNames[i].section, kNames[i].key);
        if (i == pick ? after != value : after != before[i])
            __builtin_trap();
    }
    return 0;
}

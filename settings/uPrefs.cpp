#include "settings/uPrefs.h"

#include "base/int_text.h"
#include "base/uRes.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace sornafex {

namespace {

constexpr std::string_view kSectionCom = "Com";
constexpr std::string_view kSectionGraph = "Graph";
constexpr std::string_view kSectionMisc = "Misc";
constexpr std::string_view kSectionTest = "Test";
constexpr std::string_view kKeyComNumber = "ComNumber";
constexpr std::string_view kKeyXMin = "XMin";
constexpr std::string_view kKeyXMax = "XMax";
constexpr std::string_view kKeyShowNoData = "ShowNoData";
constexpr std::string_view kKeyFullSpeedPoll = "FullSpeedPoll";
constexpr std::string_view kKeyWriteTest = "WriteToIniTest";
constexpr std::string_view kDeviceKeyPrefix = "Device";
constexpr std::string_view kSectionJournal = "Journal";
constexpr std::string_view kKeyFolder = "Folder";
constexpr std::string_view kSectionResponse = "Response";
constexpr std::string_view kKeyVisible = "Visible";
constexpr std::string_view kKeySeconds = "Seconds";
constexpr std::string_view kKeySpanPercent = "SpanPercent";
constexpr std::string_view kKeySpanMicroSiemens = "SpanMicroSiemens";
constexpr std::string_view kSectionCalibration = "Etalonnage";
constexpr std::string_view kSectionSound = "Son";
constexpr std::string_view kKeySoundOn = "Actif";
constexpr std::string_view kKeyVolume = "Volume";
constexpr std::string_view kSectionQuestions = "Questions";
constexpr std::string_view kKeyFile = "File";
constexpr std::array<std::int32_t, 3> kResponseSeconds{30, 60, 120};
constexpr std::array<double, 6> kSpanPercents{0.5, 1, 2, 5, 10, 20};
constexpr std::array<double, 6> kSpanMicroSiemens{0.1, 0.2, 0.5, 1, 2, 5};
constexpr int kFirstMappedPort = 1;
constexpr int kLastMappedPort = 50;

const TPreferences kDefaults{};

// The examination's settings under their keys.
constexpr std::array<std::pair<std::string_view, std::optional<double> TQuestionPreferences::*>, 6>
    kQuestionSettings{{
        {"LatencyMin", &TQuestionPreferences::latencyMin},
        {"LatencyMax", &TQuestionPreferences::latencyMax},
        {"PeakWindow", &TQuestionPreferences::peakWindow},
        {"Window", &TQuestionPreferences::window},
        {"MinMicroSiemens", &TQuestionPreferences::minMicroSiemens},
        {"MinPercent", &TQuestionPreferences::minPercent},
    }};

// A file that cannot be read at all reads like a missing one: every value takes its default.
TProfile LoadForReading(const std::string& path, TFileSystem& fs) {
    try {
        return TProfile::Load(path, fs);
    } catch (const EFileError&) {
        return TProfile();
    }
}

// A finite decimal number with a point, as DecimalText writes it; none for anything else.
std::optional<double> ReadDecimal(const TProfile& profile, std::string_view section,
                                  std::string_view key) {
    const std::string text = profile.GetString(section, key, "");
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A value of choices as the key holds it ("0.5", "2"), else fallback.
template <typename T, std::size_t N>
T ReadChoice(const TProfile& profile, std::string_view section, std::string_view key,
             const std::array<T, N>& choices, T fallback) {
    const std::optional<double> value = ReadDecimal(profile, section, key);
    if (!value)
        return fallback;
    const auto found = std::find(choices.begin(), choices.end(), static_cast<T>(*value));
    return found == choices.end() ? fallback : *found;
}

// "0.5", "2": the shortest text that reads back as the value.
std::string DecimalText(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string();
}

} // namespace

std::int32_t ReadIntegerKey(const TProfile& profile, std::string_view section, std::string_view key,
                            std::int32_t defaultValue) {
    std::string text = profile.GetString(section, key, "");
    // The integer syntax takes "0x" itself; the rewrite keeps the reading of the key exactly that
    // of the value's own rule ("0x" alone stays invalid).
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.replace(0, 2, "$");
    return ParseIntText(text).value_or(defaultValue);
}

bool ReadBooleanKey(const TProfile& profile, std::string_view section, std::string_view key,
                    bool defaultValue) {
    return ReadIntegerKey(profile, section, key, defaultValue ? 1 : 0) != 0;
}

TPreferences LoadPreferences(const std::string& path, TFileSystem& fs) {
    const TProfile profile = LoadForReading(path, fs);
    TPreferences prefs;
    prefs.comNumber = ReadIntegerKey(profile, kSectionCom, kKeyComNumber, kDefaults.comNumber);
    prefs.verticalMin = ReadIntegerKey(profile, kSectionGraph, kKeyXMin, kDefaults.verticalMin);
    prefs.verticalMax = ReadIntegerKey(profile, kSectionGraph, kKeyXMax, kDefaults.verticalMax);
    prefs.showNoData = ReadBooleanKey(profile, kSectionMisc, kKeyShowNoData, kDefaults.showNoData);
    prefs.fullSpeedPoll =
        ReadBooleanKey(profile, kSectionMisc, kKeyFullSpeedPoll, kDefaults.fullSpeedPoll);
    const TResponsePreferences& fallback = kDefaults.response;
    TResponsePreferences& response = prefs.response;
    response.visible = ReadBooleanKey(profile, kSectionResponse, kKeyVisible, fallback.visible);
    response.seconds =
        ReadChoice(profile, kSectionResponse, kKeySeconds, kResponseSeconds, fallback.seconds);
    response.spanPercent =
        ReadChoice(profile, kSectionResponse, kKeySpanPercent, kSpanPercents, fallback.spanPercent);
    response.spanMicroSiemens = ReadChoice(profile, kSectionResponse, kKeySpanMicroSiemens,
                                           kSpanMicroSiemens, fallback.spanMicroSiemens);
    prefs.sound.on = ReadBooleanKey(profile, kSectionSound, kKeySoundOn, kDefaults.sound.on);
    prefs.sound.volume = std::clamp(
        ReadIntegerKey(profile, kSectionSound, kKeyVolume, kDefaults.sound.volume), 0, 100);
    prefs.questions.file = profile.GetString(kSectionQuestions, kKeyFile, "");
    for (const auto& [key, setting] : kQuestionSettings)
        prefs.questions.*setting = ReadDecimal(profile, kSectionQuestions, key);
    return prefs;
}

void ApplyPreferences(TPreferences& prefs, TPreferencesTarget& target) {
    target.ApplyStartupPort(prefs.comNumber);
    if (prefs.verticalMin > prefs.verticalMax) {
        prefs.verticalMin = kDefaults.verticalMin;
        prefs.verticalMax = kDefaults.verticalMax;
    }
    target.ApplyVerticalRange(prefs.verticalMin, prefs.verticalMax);
    target.SetShowNoData(prefs.showNoData);
    target.ApplyCaptureState();
}

bool TestPreferencesWritable(const std::string& path, TFileSystem& fs) {
    try {
        WriteProfileString(path, kSectionTest, kKeyWriteTest, "1", fs);
        return true;
    } catch (const EFileError&) {
        return false;
    }
}

EPreferencesWriteError::EPreferencesWriteError(const std::string& path)
    : std::runtime_error(res::FormatStr(res::kCannotWriteFormat, path)) {}

void SavePreferences(const std::string& path, const TPreferences& prefs, bool writable,
                     TFileSystem& fs) {
    if (!writable)
        return;
    std::vector<TProfileEntry> entries{
        {std::string(kSectionCom), std::string(kKeyComNumber), std::to_string(prefs.comNumber)},
        {std::string(kSectionGraph), std::string(kKeyXMin), std::to_string(prefs.verticalMin)},
        {std::string(kSectionGraph), std::string(kKeyXMax), std::to_string(prefs.verticalMax)},
        {std::string(kSectionMisc), std::string(kKeyShowNoData), prefs.showNoData ? "1" : "0"},
        {std::string(kSectionMisc), std::string(kKeyFullSpeedPoll),
         prefs.fullSpeedPoll ? "1" : "0"},
        {std::string(kSectionResponse), std::string(kKeyVisible),
         prefs.response.visible ? "1" : "0"},
        {std::string(kSectionResponse), std::string(kKeySeconds),
         std::to_string(prefs.response.seconds)},
        {std::string(kSectionResponse), std::string(kKeySpanPercent),
         DecimalText(prefs.response.spanPercent)},
        {std::string(kSectionResponse), std::string(kKeySpanMicroSiemens),
         DecimalText(prefs.response.spanMicroSiemens)},
        {std::string(kSectionSound), std::string(kKeySoundOn), prefs.sound.on ? "1" : "0"},
        {std::string(kSectionSound), std::string(kKeyVolume), std::to_string(prefs.sound.volume)},
        {std::string(kSectionQuestions), std::string(kKeyFile), prefs.questions.file},
    };
    for (const auto& [key, setting] : kQuestionSettings)
        if (const auto& value = prefs.questions.*setting)
            entries.push_back(
                {std::string(kSectionQuestions), std::string(key), DecimalText(*value)});
    try {
        WriteProfileStrings(path, entries, fs);
    } catch (const EFileError&) {
        throw EPreferencesWriteError(path);
    }
}

void WritePortDevice(const std::string& path, int n, const std::string& device, TFileSystem& fs) {
    try {
        WriteProfileString(path, kSectionCom, std::string(kDeviceKeyPrefix) + std::to_string(n),
                           device, fs);
    } catch (const EFileError&) {
        throw EPreferencesWriteError(path);
    }
}

std::vector<std::pair<int, std::string>> ReadPortDevices(const std::string& path, TFileSystem& fs) {
    const TProfile profile = LoadForReading(path, fs);
    std::vector<std::pair<int, std::string>> devices;
    for (int n = kFirstMappedPort; n <= kLastMappedPort; ++n) {
        std::string device =
            profile.GetString(kSectionCom, std::string(kDeviceKeyPrefix) + std::to_string(n), "");
        if (!device.empty())
            devices.emplace_back(n, std::move(device));
    }
    return devices;
}

std::string ReadCalibration(const std::string& path, const std::string& device, TFileSystem& fs) {
    return LoadForReading(path, fs).GetString(kSectionCalibration, device, "");
}

void WriteCalibration(const std::string& path, const std::string& device, const std::string& points,
                      TFileSystem& fs) {
    try {
        WriteProfileString(path, kSectionCalibration, device, points, fs);
    } catch (const EFileError&) {
        throw EPreferencesWriteError(path);
    } catch (const std::invalid_argument&) {
        // A path may hold what a key may not ("=", a leading ";"): nothing was written.
        throw std::runtime_error(res::FormatStr(res::kCannotCalibrateFormat, device));
    }
}

std::string ReadJournalFolder(const std::string& path, TFileSystem& fs) {
    return LoadForReading(path, fs).GetString(kSectionJournal, kKeyFolder, "");
}

} // namespace sornafex

#pragma once

// The four preferences kept from one run to the next, in the profile file next to the executable:
//
//   [Com]   ComNumber=1       the serial port number
//   [Graph] XMin=-1  XMax=400 the vertical scale
//   [Misc]  ShowNoData=1      the no-data warning
//           FullSpeedPoll=0   1: the counting loop polls without pause instead of pacing its polls
//   [Test]  WriteToIniTest=1  written by the writability test, never read
//   [Response] Visible=0 Seconds=60 SpanPercent=2 SpanMicroSiemens=1
//                             the response window: shown, its time span, its sensitivities
//   [Son]   Actif=0 Volume=50 the tone of the response: on, and its volume (0 to 100)
//   [Questions] File=         the examination's question list, and the settings of the
//           LatencyMin= LatencyMax= PeakWindow= Window= MinMicroSiemens= MinPercent=
//                             measurement of responses (seconds, µS, %); a setting missing or
//                             not a decimal number with a point leaves the measurement's default
//
// Section Com may also map ports to devices (Device1 .. Device50), written by the device dialog
// only (WritePortDevice), never with the four values; [Journal] Folder names the folder of the
// run journals, and is only read; [Etalonnage] holds each device's calibration, written by the
// calibration dialog only (WriteCalibration), under the device's value as Device<n> holds it.

#include "base/file_io.h"
#include "settings/profile_file.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace sornafex {

// The response window. A value the window does not offer reads as the default.
struct TResponsePreferences {
    bool visible = false;
    std::int32_t seconds = 60;   // 30, 60 or 120
    double spanPercent = 2;      // 0.5, 1, 2, 5, 10 or 20
    double spanMicroSiemens = 1; // 0.1, 0.2, 0.5, 1, 2 or 5

    friend bool operator==(const TResponsePreferences&, const TResponsePreferences&) = default;
};

// The tone of the response.
struct TSoundPreferences {
    bool on = false;
    std::int32_t volume = 50; // 0 to 100; beyond, the nearest end

    friend bool operator==(const TSoundPreferences&, const TSoundPreferences&) = default;
};

// The examination (the questions dialog). The settings are TResponseSettings'; none where the
// file holds no number, and the measurement's default then holds.
struct TQuestionPreferences {
    std::string file; // "" for no list
    std::optional<double> latencyMin;
    std::optional<double> latencyMax;
    std::optional<double> peakWindow;
    std::optional<double> window;
    std::optional<double> minMicroSiemens;
    std::optional<double> minPercent;

    friend bool operator==(const TQuestionPreferences&, const TQuestionPreferences&) = default;
};

struct TPreferences {
    std::int32_t comNumber = 1;
    std::int32_t verticalMin = -1;
    std::int32_t verticalMax = 400;
    bool showNoData = true;
    bool fullSpeedPoll = false;
    TResponsePreferences response;
    TSoundPreferences sound;
    TQuestionPreferences questions;

    friend bool operator==(const TPreferences&, const TPreferences&) = default;
};

// What applying the preferences changes in the running program.
class TPreferencesTarget {
public:
    virtual ~TPreferencesTarget() = default;
    // The start-up port rule of the port selection, from the ports found by the probe and this
    // port number (which the program keeps also when no port could be opened).
    virtual void ApplyStartupPort(std::int32_t portNumber) = 0;
    // Sets the chart's vertical range; called with min <= max only, and must accept every such
    // pair whatever range the axis held before.
    virtual void ApplyVerticalRange(std::int32_t min, std::int32_t max) = 0;
    // The no-data warning and the check mark of ActShowNoData.
    virtual void SetShowNoData(bool on) = 0;
    virtual void ApplyCaptureState() = 0;
};

// Reads an integer key: a value beginning with "0x"/"0X" reads as hexadecimal like "$", then the
// integer text syntax; anything that does not convert, an empty value included, gives the default.
std::int32_t ReadIntegerKey(const TProfile& profile, std::string_view section, std::string_view key,
                            std::int32_t defaultValue);
// A boolean key: an integer key (default 1 or 0) that is true when not 0.
bool ReadBooleanKey(const TProfile& profile, std::string_view section, std::string_view key,
                    bool defaultValue);

// The values; a missing or unreadable file gives the defaults. The file is only read.
TPreferences LoadPreferences(const std::string& path, TFileSystem& fs = TFileSystem::Posix());

// Pushes the values into the program: the port rule, the vertical range, the no-data warning,
// then the enable rules. A hand-edited pair with minimum above maximum is not a range the axis
// can show: the default range -1 to 400 is applied instead and stored in prefs, so that it is
// also what the file holds after the next save.
void ApplyPreferences(TPreferences& prefs, TPreferencesTarget& target);

// Writes WriteToIniTest=1 in section Test; true when that worked. Never shows anything.
bool TestPreferencesWritable(const std::string& path, TFileSystem& fs = TFileSystem::Posix());

// The error of a failed save: "Impossible d'écrire dans <path>".
class EPreferencesWriteError : public std::runtime_error {
public:
    explicit EPreferencesWriteError(const std::string& path);
};

// When writable, writes ComNumber, XMin, XMax, ShowNoData and FullSpeedPoll ("1"/"0"), then the
// response window's keys, the sound's, then the question list's file and the settings it holds,
// in this order, in one atomic replacement of the file; does nothing otherwise. Throws
// EPreferencesWriteError.
void SavePreferences(const std::string& path, const TPreferences& prefs, bool writable,
                     TFileSystem& fs = TFileSystem::Posix());

// Writes Device<n>=device in section Com, in one atomic replacement of the file (n 1 to 50).
// Throws EPreferencesWriteError, leaving the file as it was.
void WritePortDevice(const std::string& path, int n, const std::string& device,
                     TFileSystem& fs = TFileSystem::Posix());

// The port-to-device keys Device1 .. Device50 of section Com that hold a non-blank value, as
// (port number, device) in port order. A missing or unreadable file maps nothing.
std::vector<std::pair<int, std::string>> ReadPortDevices(const std::string& path,
                                                         TFileSystem& fs = TFileSystem::Posix());

// The calibration points stored for device (its value as Device<n> holds it), as written; empty
// when there is none.
std::string ReadCalibration(const std::string& path, const std::string& device,
                            TFileSystem& fs = TFileSystem::Posix());
// Stores points for device in section Etalonnage, in one atomic replacement of the file; empty
// points remove the calibration (the key is left empty). Throws EPreferencesWriteError, leaving
// the file as it was.
void WriteCalibration(const std::string& path, const std::string& device, const std::string& points,
                      TFileSystem& fs = TFileSystem::Posix());

// The value of Folder in section Journal as written, empty when there is none.
std::string ReadJournalFolder(const std::string& path, TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex

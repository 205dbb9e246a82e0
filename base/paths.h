#pragma once

// The paths and names the program derives from its own location.

#include <string>
#include <string_view>

namespace sornafex {

struct TAppPaths {
    std::string executableFolder; // ends with '/'
    std::string preferencesPath;
    std::string readmePath;
    // Where the open and save dialogs start; ends with '/'.
    std::string documentsFolder;
};

// The paths of a portable copy: everything in the executable's folder.
TAppPaths PathsForExecutable(std::string_view executablePath);

// The executable's full path with its last extension replaced by ".ini", or ".ini" appended when
// the file name has none. A dot in a folder name is not an extension.
std::string PreferencesPathFor(std::string_view executablePath);

// The file name up to its first dot, every letter after the first in lower case:
// "MONITOR.V2.EXE" gives "Monitor"; the first letter keeps its case.
std::string ApplicationTitleFor(std::string_view executablePath);

// The executable's own path as the kernel reports it; empty when it cannot be read.
std::string CurrentExecutablePath();

} // namespace sornafex

#include "base/paths.h"

#include "base/uRes.h"

#include <cctype>
#include <climits>
#include <string>
#include <unistd.h>

namespace sornafex {

namespace {

std::string_view FileNamePart(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

TAppPaths PathsForExecutable(std::string_view executablePath) {
    TAppPaths paths;
    const auto slash = executablePath.rfind('/');
    paths.executableFolder = slash == std::string_view::npos
                                 ? std::string("./")
                                 : std::string(executablePath.substr(0, slash + 1));
    paths.preferencesPath = PreferencesPathFor(executablePath);
    paths.readmePath = paths.executableFolder + std::string(res::kReadmeName);
    paths.documentsFolder = paths.executableFolder;
    return paths;
}

std::string PreferencesPathFor(std::string_view executablePath) {
    const std::string_view name = FileNamePart(executablePath);
    const std::size_t nameStart = executablePath.size() - name.size();
    const auto dot = name.rfind('.');
    std::string path(executablePath);
    if (dot != std::string_view::npos)
        path.erase(nameStart + dot);
    return path.append(res::kIniExt);
}

std::string ApplicationTitleFor(std::string_view executablePath) {
    std::string_view name = FileNamePart(executablePath);
    name = name.substr(0, name.find('.'));
    std::string title(name);
    // Only ASCII letters change case: a byte of a multi-byte UTF-8 character is left alone.
    for (std::size_t i = 1; i < title.size(); ++i) {
        const auto c = static_cast<unsigned char>(title[i]);
        if (c < 0x80)
            title[i] = static_cast<char>(std::tolower(c));
    }
    return title;
}

std::string CurrentExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

} // namespace sornafex

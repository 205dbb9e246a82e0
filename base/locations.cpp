#include "base/locations.h"

#include "base/build_info.h"
#include "base/uRes.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sornafex {

namespace {

// "/usr/bin/" + "../share/sornafex/A_Lire.txt" gives "/usr/share/sornafex/A_Lire.txt".
std::string Join(const std::string& folder, std::string_view relative) {
    return (std::filesystem::path(folder) / relative).lexically_normal().string();
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string HomeFolder(const TLocationProbe& probe) {
    const std::optional<std::string> home = probe.Environment("HOME");
    if (home && !home->empty())
        return *home;
    return probe.AccountHome();
}

// $XDG_CONFIG_HOME, or ~/.config; a relative value is ignored, as the base directory rules say.
std::string ConfigHome(const TLocationProbe& probe, const std::string& home) {
    const std::optional<std::string> configHome = probe.Environment("XDG_CONFIG_HOME");
    if (configHome && !configHome->empty() && configHome->front() == '/')
        return *configHome;
    return home.empty() ? std::string() : Join(home, ".config");
}

// $XDG_DATA_HOME, or ~/.local/share, by the same rule.
std::string DataHome(const TLocationProbe& probe, const std::string& home) {
    const std::optional<std::string> dataHome = probe.Environment("XDG_DATA_HOME");
    if (dataHome && !dataHome->empty() && dataHome->front() == '/')
        return *dataHome;
    return home.empty() ? std::string() : Join(home, ".local/share");
}

} // namespace

std::optional<std::string> TLocationProbe::Environment(const std::string& name) const {
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}

std::string TLocationProbe::AccountHome() const {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
}

bool TLocationProbe::IsFile(const std::string& path) const {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool TLocationProbe::CanWriteFolder(const std::string& folder) const {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

const TLocationProbe& TLocationProbe::System() {
    static const TLocationProbe probe;
    return probe;
}

TAppPaths LocateAppFiles(std::string_view executablePath, const TLocationProbe& probe) {
    TAppPaths paths = PathsForExecutable(executablePath);
    const std::string installedReadme =
        Join(paths.executableFolder,
             std::string(build::kDataFolderFromProgram) + "/" + std::string(res::kReadmeName));
    const bool installLayout = !probe.IsFile(paths.readmePath) && probe.IsFile(installedReadme);
    if (installLayout)
        paths.readmePath = installedReadme;

    const bool portable = probe.IsFile(paths.preferencesPath) ||
                          (!installLayout && probe.CanWriteFolder(paths.executableFolder));
    if (portable)
        return paths;
    const std::string home = HomeFolder(probe);
    const std::string configHome = ConfigHome(probe, home);
    if (configHome.empty())
        return paths;
    const std::string fileName = std::filesystem::path(paths.preferencesPath).filename().string();
    paths.preferencesPath =
        Join(configHome, std::string(build::kConfigFolderName) + "/" + fileName);
    if (!home.empty())
        paths.documentsFolder = WithSlash(home);
    return paths;
}

bool MakeFolderFor(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::filesystem::path made;
    for (const auto& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0)
        return false;
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool MakeFolder(const std::string& folder) {
    // The folder that holds "folder/" is folder itself.
    return MakeFolderFor(folder + "/");
}

std::string LocateJournalFolder(std::string_view configured, std::string_view preferencesPath,
                                const TLocationProbe& probe) {
    const auto first = configured.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        const std::string dataHome = DataHome(probe, HomeFolder(probe));
        return dataHome.empty()
                   ? std::string()
                   : Join(dataHome, std::string(build::kConfigFolderName) + "/journal");
    }
    const auto last = configured.find_last_not_of(" \t");
    const std::string folder(configured.substr(first, last - first + 1));
    if (folder == "~" || folder.starts_with("~/"))
        return HomeFolder(probe) + folder.substr(1);
    if (folder.front() == '/')
        return folder;
    return Join(std::filesystem::path(preferencesPath).parent_path().string(), folder);
}

} // namespace sornafex

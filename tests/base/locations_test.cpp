#include "base/locations.h"
#include "tests/support/test_files.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

namespace sornafex {
namespace {

using test::TScratchFolder;
using test::WriteBytes;

// The real files of a scratch folder, with a fake environment and a fake answer on whether the
// program's folder can be written (root can write every folder).
class TFakeProbe final : public TLocationProbe {
public:
    std::optional<std::string> Environment(const std::string& name) const override {
        const auto found = environment.find(name);
        return found == environment.end() ? std::nullopt : std::optional(found->second);
    }
    std::string AccountHome() const override { return accountHome; }
    bool CanWriteFolder(const std::string&) const override { return folderWritable; }

    std::map<std::string, std::string> environment;
    std::string accountHome;
    bool folderWritable = true;
};

TEST(Locations, PortableOrInstalledByTheProgramsFolder) {
    // The program is <root>/bin/sornafex; an install puts its readme in <root>/share/sornafex.
    struct Row {
        const char* what;
        bool folderWritable;
        bool iniBeside;
        bool readmeBeside;
        bool readmeInstalled;
        const char* configHome; // XDG_CONFIG_HOME; nullptr: unset
        const char* home;       // HOME; nullptr: unset (the account's home is <root>/account)
        const char* preferences;
        const char* documents;
        const char* readme;
    } const rows[] = {
        {"portable copy", true, false, true, false, "/cfg", "/home", //
         "/bin/sornafex.ini", "/bin/", "/bin/A_Lire.txt"},
        {"installed, read-only folder", false, false, false, true, "/cfg", "/home",
         "/cfg/sornafex/sornafex.ini", "/home/", "/share/sornafex/A_Lire.txt"},
        {"a file beside the program wins", false, true, false, true, "/cfg", "/home",
         "/bin/sornafex.ini", "/bin/", "/share/sornafex/A_Lire.txt"},
        {"XDG_CONFIG_HOME unset", false, false, false, true, nullptr, "/home",
         "/home/.config/sornafex/sornafex.ini", "/home/", "/share/sornafex/A_Lire.txt"},
        {"XDG_CONFIG_HOME relative", false, false, false, true, "cfg", "/home",
         "/home/.config/sornafex/sornafex.ini", "/home/", "/share/sornafex/A_Lire.txt"},
        {"HOME unset", false, false, false, false, nullptr, nullptr,
         "/account/.config/sornafex/sornafex.ini", "/account/", "/bin/A_Lire.txt"},
        {"install layout written by root", true, false, false, true, "/cfg", "/home",
         "/cfg/sornafex/sornafex.ini", "/home/", "/share/sornafex/A_Lire.txt"},
        {"readme beside and installed", false, false, true, true, "/cfg", "/home",
         "/cfg/sornafex/sornafex.ini", "/home/", "/bin/A_Lire.txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TScratchFolder root;
        std::filesystem::create_directories(root / "bin");
        std::filesystem::create_directories(root / "share/sornafex");
        if (row.iniBeside)
            WriteBytes(root / "bin/sornafex.ini", "[Com]\n");
        if (row.readmeBeside)
            WriteBytes(root / "bin/A_Lire.txt", "");
        if (row.readmeInstalled)
            WriteBytes(root / "share/sornafex/A_Lire.txt", "");
        TFakeProbe probe;
        probe.folderWritable = row.folderWritable;
        probe.accountHome = root / "account";
        if (row.configHome)
            probe.environment["XDG_CONFIG_HOME"] =
                row.configHome[0] == '/' ? root.Path() + row.configHome : row.configHome;
        if (row.home)
            probe.environment["HOME"] = root.Path() + row.home;

        const TAppPaths paths = LocateAppFiles(root / "bin/sornafex", probe);
        EXPECT_EQ(paths.preferencesPath, root.Path() + row.preferences);
        EXPECT_EQ(paths.documentsFolder, root.Path() + row.documents);
        EXPECT_EQ(paths.readmePath, root.Path() + row.readme);
        EXPECT_EQ(paths.executableFolder, root / "bin/");
    }
}

TEST(Locations, ConfigurationFoldersAreMadePrivateAndExistingOnesKeepTheirMode) {
    TScratchFolder root;
    ::mkdir((root / "home").c_str(), 0700);
    ::chmod((root / "home").c_str(), 0755);
    ASSERT_TRUE(MakeFolderFor(root / "home/.config/sornafex/sornafex.ini"));
    for (const auto& [folder, mode] :
         {std::pair{"home", 0755}, {"home/.config", 0700}, {"home/.config/sornafex", 0700}}) {
        struct stat status {};
        ASSERT_EQ(::stat((root / folder).c_str(), &status), 0) << folder;
        EXPECT_EQ(status.st_mode & 07777, static_cast<mode_t>(mode)) << folder;
    }
    EXPECT_TRUE(MakeFolderFor(root / "home/.config/sornafex/sornafex.ini"));

    WriteBytes(root / "file", "");
    EXPECT_FALSE(MakeFolderFor(root / "file/sornafex/sornafex.ini"));
    EXPECT_EQ(errno, ENOTDIR);
}

TEST(Locations, JournalFolderFromThePreferencesOrTheDesktopsDataFolder) {
    struct Row {
        const char* configured;
        const char* dataHome; // XDG_DATA_HOME; nullptr: unset
        const char* home;     // HOME; nullptr: unset, the account's then
        const char* folder;
    } const rows[] = {
        {"", nullptr, "/home/ana", "/home/ana/.local/share/sornafex/journal"},
        {"  ", "/data", "/home/ana", "/data/sornafex/journal"},
        {"", "relative/data", "/home/ana", "/home/ana/.local/share/sornafex/journal"},
        {"", nullptr, nullptr, "/home/compte/.local/share/sornafex/journal"},
        {" /srv/examens ", "/data", "/home/ana", "/srv/examens"},
        {"~/examens", nullptr, "/home/ana", "/home/ana/examens"},
        {"examens", nullptr, "/home/ana", "/opt/sornafex/examens"},
    };
    for (const Row& row : rows) {
        TFakeProbe probe;
        probe.accountHome = "/home/compte";
        if (row.dataHome)
            probe.environment["XDG_DATA_HOME"] = row.dataHome;
        if (row.home)
            probe.environment["HOME"] = row.home;
        EXPECT_EQ(LocateJournalFolder(row.configured, "/opt/sornafex/sornafex.ini", probe),
                  row.folder)
            << "'" << row.configured << "'";
    }
}

} // namespace
} // namespace sornafex

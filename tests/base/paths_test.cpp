#include "base/paths.h"

#include <gtest/gtest.h>

namespace sornafex {
namespace {

TEST(AppPaths, PreferencesPathReplacesOnlyTheLastExtension) {
    struct Row {
        const char* executable;
        const char* preferences;
    } const rows[] = {
        {"/opt/app/MONITOR.V2.EXE", "/opt/app/MONITOR.V2.ini"},
        {"/usr/local/bin/sornafex", "/usr/local/bin/sornafex.ini"},
        {"/home/a b/mes outils/sornafex", "/home/a b/mes outils/sornafex.ini"},
        {"/home/x.y/sornafex", "/home/x.y/sornafex.ini"},
        {"/home/x.y/sornafex.bin", "/home/x.y/sornafex.ini"},
        {"sornafex", "sornafex.ini"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PreferencesPathFor(row.executable), row.preferences) << row.executable;
}

TEST(AppPaths, TitleIsTheNameUpToTheFirstDotWithLaterLettersLowered) {
    struct Row {
        const char* executable;
        const char* title;
    } const rows[] = {
        {"/opt/app/MONITOR.V2.EXE", "Monitor"},
        {"/usr/bin/sornafex", "sornafex"},
        {"/usr/bin/SornaFex", "Sornafex"},
        {"/a.b/XY", "Xy"},
        {"/usr/bin/.hidden", ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ApplicationTitleFor(row.executable), row.title) << row.executable;
}

TEST(AppPaths, FolderAndReadmeKeepSpaces) {
    const TAppPaths paths = PathsForExecutable("/home/a b/mes outils/sornafex");
    EXPECT_EQ(paths.executableFolder, "/home/a b/mes outils/");
    EXPECT_EQ(paths.readmePath, "/home/a b/mes outils/A_Lire.txt");
    EXPECT_EQ(paths.preferencesPath, "/home/a b/mes outils/sornafex.ini");
}

TEST(AppPaths, CurrentExecutableIsThisTest) {
    const std::string path = CurrentExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_NE(path.find("base_test"), std::string::npos);
}

} // namespace
} // namespace sornafex

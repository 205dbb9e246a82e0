#include "base/file_io.h"
#include "tests/support/test_files.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace sornafex {
namespace {

using test::Exists;
using test::ReadBytes;
using test::TFaultyFileSystem;
using test::TScratchFolder;
using test::WriteBytes;
using TCall = TFaultyFileSystem::TCall;

struct TErrnoCase {
    int errorNumber;
    const char* text;
};

class FileErrorTextTest : public testing::TestWithParam<TErrnoCase> {};

TEST_P(FileErrorTextTest, GivesTheFrenchTextOfTheCode) {
    EXPECT_EQ(FileErrorText(GetParam().errorNumber), GetParam().text);
    EXPECT_STREQ(EFileError(GetParam().errorNumber).what(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Codes, FileErrorTextTest,
                         testing::Values(TErrnoCase{ENOENT, "Fichier introuvable"},
                                         TErrnoCase{ENOTDIR, "Nom de fichier incorrect"},
                                         TErrnoCase{ENAMETOOLONG, "Nom de fichier incorrect"},
                                         TErrnoCase{EINVAL, "Nom de fichier incorrect"},
                                         TErrnoCase{EMFILE, "Trop de fichiers ouverts"},
                                         TErrnoCase{ENFILE, "Trop de fichiers ouverts"},
                                         TErrnoCase{EACCES, "Accès au fichier refusé"},
                                         TErrnoCase{EPERM, "Accès au fichier refusé"},
                                         TErrnoCase{EROFS, "Accès au fichier refusé"},
                                         TErrnoCase{ENOSPC, "Disque plein"},
                                         TErrnoCase{EDQUOT, "Disque plein"},
                                         TErrnoCase{EIO, "Erreur E/S 5"},
                                         TErrnoCase{EISDIR, "Accès au fichier refusé"},
                                         TErrnoCase{EBADF, "Erreur E/S 9"}));

TEST(WriteFileAtomically, CreatesAndReplaces) {
    TScratchFolder folder;
    const std::string path = folder / "a.dat";
    WriteFileAtomically(path, "first");
    EXPECT_EQ(ReadBytes(path), "first");
    WriteFileAtomically(path, "second, longer");
    EXPECT_EQ(ReadBytes(path), "second, longer");
    WriteFileAtomically(path, "");
    EXPECT_EQ(ReadBytes(path), "");
    EXPECT_EQ(folder.Entries(), std::set<std::string>{"a.dat"});
}

TEST(WriteFileAtomically, KeepsTheFilesPermissions) {
    TScratchFolder folder;
    const std::string path = folder / "a.dat";
    WriteBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    WriteFileAtomically(path, "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

// A mode asked for a new file holds whatever the umask, and never changes a file that exists.
TEST(WriteFileAtomically, GivesANewFileTheModeAskedFor) {
    TScratchFolder folder;
    const mode_t umask = ::umask(0);
    WriteFileAtomically(folder / "new.csv", "new", 0600);
    WriteBytes(folder / "old.csv", "old");
    ASSERT_EQ(::chmod((folder / "old.csv").c_str(), 0644), 0);
    WriteFileAtomically(folder / "old.csv", "newer", 0600);
    ::umask(umask);
    EXPECT_EQ(StatOf(folder / "new.csv").st_mode & 07777, 0600u);
    EXPECT_EQ(StatOf(folder / "old.csv").st_mode & 07777, 0644u);
    EXPECT_EQ(ReadBytes(folder / "old.csv"), "newer");
}

// One run as root must not leave a user's file to root, nor the other way round.
TEST(WriteFileAtomically, KeepsTheFilesOwnerAndGroup) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    TScratchFolder folder;
    const std::string path = folder / "sornafex.ini";
    WriteBytes(path, "old");
    ASSERT_EQ(::chown(path.c_str(), 65534, 65533), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
    WriteFileAtomically(path, "new");
    const struct stat st = StatOf(path);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65533u);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(ReadBytes(path), "new");
}

// A file this user may write but whose owner it cannot give a new file is written over, and stays
// whose it was.
TEST(WriteFileAtomically, OwnerThatCannotBeKeptWritesOverTheFile) {
    for (const std::string bytes : {"short", "longer than the old contents"}) {
        TScratchFolder folder;
        const std::string path = folder / "sornafex.ini";
        WriteBytes(path, "old contents");
        const ino_t inode = StatOf(path).st_ino;
        TFaultyFileSystem fs;
        fs.FailOn(TCall::Fchown, EPERM);
        WriteFileAtomically(path, bytes, fs);
        EXPECT_EQ(ReadBytes(path), bytes);
        EXPECT_EQ(StatOf(path).st_ino, inode);
        EXPECT_EQ(folder.Entries(), std::set<std::string>{"sornafex.ini"});
    }
}

// The writability test writes the same key at every start: the file stays as it is, and a file
// that may not be written is still refused.
TEST(WriteFileAtomically, SameBytesLeaveTheFileAlone) {
    TScratchFolder folder;
    const std::string path = folder / "sornafex.ini";
    WriteBytes(path, "[Test]\nWriteToIniTest=1\n");
    const struct stat before = StatOf(path);
    WriteFileAtomically(path, "[Test]\nWriteToIniTest=1\n");
    const struct stat after = StatOf(path);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_THROW(WriteFileAtomically(path, "[Test]\nWriteToIniTest=1\n"), EFileError);
}

struct TLinkCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links; // link name, what it points at
    std::string file;                                       // where the bytes must land
    bool exists = false;                                    // whether that file is there before
};

class WriteThroughLinkTest : public testing::TestWithParam<TLinkCase> {};

// A link is written through, not replaced by a file, even when its file does not exist yet.
TEST_P(WriteThroughLinkTest, WritesTheFileTheLinkNamesAndKeepsTheLink) {
    TScratchFolder folder;
    ASSERT_EQ(::mkdir((folder / "sub").c_str(), 0755), 0);
    if (GetParam().exists)
        WriteBytes(folder / GetParam().file, "old");
    for (const auto& [link, destination] : GetParam().links) {
        const std::string to =
            destination.starts_with("/") ? folder.Path() + destination : destination;
        ASSERT_EQ(::symlink(to.c_str(), (folder / link).c_str()), 0);
    }
    const std::string first = folder / GetParam().links.front().first;
    WriteFileAtomically(first, "new");
    struct stat st {};
    ASSERT_EQ(::lstat(first.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(folder / GetParam().file), "new");
}

INSTANTIATE_TEST_SUITE_P(
    Links, WriteThroughLinkTest,
    testing::Values(TLinkCase{"existing", {{"a.ini", "/sub/real.ini"}}, "sub/real.ini", true},
                    TLinkCase{"absolute", {{"a.ini", "/sub/real.ini"}}, "sub/real.ini"},
                    TLinkCase{"relative", {{"sub/a.ini", "real.ini"}}, "sub/real.ini"},
                    TLinkCase{
                        "chain", {{"a.ini", "b.ini"}, {"b.ini", "sub/real.ini"}}, "sub/real.ini"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TSharedFolderLinkCase {
    const char* name;
    mode_t folderMode;
    uid_t folderOwner; // 0: this account (root)
    uid_t linkOwner;
    bool followed;
};

class SharedFolderLinkTest : public testing::TestWithParam<TSharedFolderLinkCase> {};

// Another account may plant a link in a sticky folder that everyone writes (/tmp): the save
// follows it only where the kernel would, so that "Sauver sous /tmp/x.dat" never replaces the
// file such a link names.
TEST_P(SharedFolderLinkTest, FollowsALinkOnlyWhereTheKernelWould) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a link to another account";
    const TSharedFolderLinkCase& c = GetParam();
    TScratchFolder folder;
    const std::string victim = folder / "victim.ini";
    WriteBytes(victim, "mine");
    const std::string shared = folder / "shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);
    ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, 0), 0);
    // A link to the file, one to its folder, and one of this account's own that leads to the
    // first: each link on the way counts.
    const std::string planted = shared + "/x.dat";
    const std::string plantedFolder = shared + "/d";
    ASSERT_EQ(::symlink(victim.c_str(), planted.c_str()), 0);
    ASSERT_EQ(::symlink(folder.Path().c_str(), plantedFolder.c_str()), 0);
    for (const std::string& link : {planted, plantedFolder})
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, 0), 0);
    ASSERT_EQ(::symlink(planted.c_str(), (folder / "mine.dat").c_str()), 0);
    const struct {
        std::string path;
        std::string link;
    } saves[] = {{planted, planted},
                 {folder / "mine.dat", planted},
                 {plantedFolder + "/victim.ini", plantedFolder}};
    for (const auto& [path, link] : saves) {
        SCOPED_TRACE(path);
        if (c.followed) {
            WriteFileAtomically(path, "new");
            EXPECT_EQ(ReadBytes(victim), "new");
            continue;
        }
        try {
            WriteFileAtomically(path, "new");
            ADD_FAILURE() << "the link was followed";
        } catch (const EFileError& error) {
            EXPECT_EQ(error.ErrorNumber(), EACCES);
            EXPECT_EQ(std::string(error.what()),
                      "Lien symbolique refusé : " + link +
                          " appartient à un autre compte, dans un dossier partagé");
        }
        EXPECT_EQ(ReadBytes(victim), "mine");
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(shared))
            names.insert(entry.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{"x.dat", "d"}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, SharedFolderLinkTest,
    testing::Values(TSharedFolderLinkCase{"AnotherAccountsLinkInTmp", 01777, 0, 65534, false},
                    TSharedFolderLinkCase{"TheFoldersOwnersLink", 01777, 65534, 65534, true},
                    TSharedFolderLinkCase{"OwnLinkInAnotherAccountsTmp", 01777, 65534, 0, true},
                    TSharedFolderLinkCase{"NotSticky", 0777, 0, 65534, true},
                    TSharedFolderLinkCase{"StickyButNotWorldWritable", 01775, 0, 65534, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Temporary files that a crash left next to a file are removed by the next save there; those of
// running processes and every other file stay.
TEST(WriteFileAtomically, RemovesTheTemporaryFilesOfInterruptedSaves) {
    TScratchFolder folder;
    const std::string live = ".sornafex" + std::to_string(::getppid()) + "-0.tmp";
    for (const std::string name : {".sornafex99999999-3.tmp", ".sornafex99999998-0.tmp",
                                   live.c_str(), ".sornafex-1.tmp", "notes.tmp", "b.dat"})
        WriteBytes(folder / name, "x");
    WriteFileAtomically(folder / "a.dat", "new");
    EXPECT_EQ(folder.Entries(),
              (std::set<std::string>{live, ".sornafex-1.tmp", "notes.tmp", "b.dat", "a.dat"}));
}

TEST(WriteFileAtomically, NameAtTheSystemsLimitCanBeSaved) {
    TScratchFolder folder;
    const std::string name = std::string(251, 'n') + ".dat"; // 255 bytes
    WriteFileAtomically(folder / name, "new");
    WriteFileAtomically(folder / name, "newer");
    EXPECT_EQ(ReadBytes(folder / name), "newer");
}

TEST(WriteFileAtomically, RefusesAReadOnlyFileEvenToItsOwner) {
    TScratchFolder folder;
    const std::string path = folder / "a.ini";
    WriteBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    try {
        WriteFileAtomically(path, "new");
        FAIL() << "a read-only file was replaced";
    } catch (const EFileError& error) {
        EXPECT_EQ(error.ErrorNumber(), EACCES);
        EXPECT_STREQ(error.what(), "Accès au fichier refusé");
    }
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(folder.Entries(), std::set<std::string>{"a.ini"});
}

TEST(WriteFileAtomically, RefusesAFolderAsTarget) {
    TScratchFolder folder;
    try {
        WriteFileAtomically(folder.Path(), "x");
        FAIL();
    } catch (const EFileError& error) {
        EXPECT_STREQ(error.what(), "Accès au fichier refusé");
    }
}

// A missing file is "Fichier introuvable"; a missing folder on the way, or a file standing where
// a folder should, is a name that cannot be right. Reading and writing say the same.
TEST(FileErrors, MissingFolderIsABadFileName) {
    TScratchFolder folder;
    WriteBytes(folder / "plain", "x");
    const struct {
        std::string path;
        const char* text;
    } cases[] = {
        {folder / "missing.dat", "Fichier introuvable"},
        {folder / "missing/a.dat", "Nom de fichier incorrect"},
        {folder / "plain/a.dat", "Nom de fichier incorrect"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        try {
            ReadWholeFile(c.path);
            ADD_FAILURE() << "read";
        } catch (const EFileError& error) {
            EXPECT_STREQ(error.what(), c.text);
        }
    }
    try {
        WriteFileAtomically(folder / "missing/a.dat", "x");
        FAIL();
    } catch (const EFileError& error) {
        EXPECT_STREQ(error.what(), "Nom de fichier incorrect");
    }
}

TEST(WriteFileAtomically, FolderThatRefusesNewFilesLeavesTheOldFile) {
    TScratchFolder folder;
    const std::string path = folder / "a.dat";
    WriteBytes(path, "old");
    test::TRefusingFolder refusing(folder.Path());
    if (!refusing.Refuses())
        GTEST_SKIP() << "no way to make a folder refuse new files here";
    try {
        WriteFileAtomically(path, "new");
        FAIL() << "the save succeeded";
    } catch (const EFileError& error) {
        EXPECT_STREQ(error.what(), "Accès au fichier refusé");
    }
    EXPECT_EQ(ReadBytes(path), "old");
}

struct TFaultCase {
    TCall call;
    int errorNumber;
    const char* text;
};

class WriteFaultTest : public testing::TestWithParam<TFaultCase> {};

// Whatever step fails, the old file is intact and no temporary file is left behind.
TEST_P(WriteFaultTest, LeavesTheOldFileAndNoLeftover) {
    TScratchFolder folder;
    const std::string path = folder / "a.dat";
    WriteBytes(path, "old contents");
    TFaultyFileSystem fs;
    fs.FailOn(GetParam().call, GetParam().errorNumber);
    try {
        WriteFileAtomically(path, std::string(100000, '7'), fs);
        FAIL() << "the failure was not reported";
    } catch (const EFileError& error) {
        EXPECT_EQ(error.ErrorNumber(), GetParam().errorNumber);
        EXPECT_STREQ(error.what(), GetParam().text);
    }
    EXPECT_EQ(ReadBytes(path), "old contents");
    EXPECT_EQ(folder.Entries(), std::set<std::string>{"a.dat"});
}

INSTANTIATE_TEST_SUITE_P(
    Steps, WriteFaultTest,
    testing::Values(TFaultCase{TCall::OpenForWrite, EACCES, "Accès au fichier refusé"},
                    TFaultCase{TCall::Write, ENOSPC, "Disque plein"},
                    TFaultCase{TCall::Write, EDQUOT, "Disque plein"},
                    TFaultCase{TCall::Fchmod, EPERM, "Accès au fichier refusé"},
                    TFaultCase{TCall::Fsync, EIO, "Erreur E/S 5"},
                    TFaultCase{TCall::Close, EIO, "Erreur E/S 5"},
                    TFaultCase{TCall::Rename, EXDEV, "Erreur E/S 18"}));

TEST(WriteFileAtomically, DiskFullAfterPartOfTheBytesLeavesTheOldFile) {
    TScratchFolder folder;
    const std::string path = folder / "a.dat";
    WriteBytes(path, "old");
    TFaultyFileSystem fs;
    fs.LimitWrites(100);
    fs.FailOn(TCall::Write, ENOSPC, 5);
    EXPECT_THROW(WriteFileAtomically(path, std::string(1000, 'x'), fs), EFileError);
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(folder.Entries(), std::set<std::string>{"a.dat"});
}

TEST(WriteFileAtomically, ShortAndInterruptedWritesStillWriteEverything) {
    TScratchFolder folder;
    const std::string path = folder / "a.dat";
    std::string bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += static_cast<char>('a' + i % 26);
    TFaultyFileSystem fs;
    fs.LimitWrites(7);
    fs.InterruptEachCall(2);
    WriteFileAtomically(path, bytes, fs);
    EXPECT_EQ(ReadBytes(path), bytes);
}

TEST(ReadFile, ReadsInPiecesAndStopsWhenAsked) {
    TScratchFolder folder;
    const std::string path = folder / "big";
    std::string bytes(200000, 'q');
    bytes[150000] = 'z';
    WriteBytes(path, bytes);
    EXPECT_EQ(ReadWholeFile(path), bytes);

    std::size_t pieces = 0;
    ReadFileInPieces(path, [&pieces](std::string_view) { return ++pieces < 2; });
    EXPECT_EQ(pieces, 2u);
}

TEST(ReadFile, InterruptedReadsAreRetried) {
    TScratchFolder folder;
    const std::string path = folder / "f";
    WriteBytes(path, "hello");
    TFaultyFileSystem fs;
    fs.InterruptEachCall(3);
    EXPECT_EQ(ReadWholeFile(path, fs), "hello");
}

TEST(ReadFile, OnlyRegularFilesAreRead) {
    // A device that never ends and a FIFO nobody writes to would both freeze the window.
    TScratchFolder folder;
    const std::string fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {std::string("/dev/zero"), fifo}) {
        try {
            ReadWholeFile(path);
            ADD_FAILURE() << path << " was read";
        } catch (const EFileError& error) {
            EXPECT_STREQ(error.what(), "Nom de fichier incorrect") << path;
        }
    }
    try {
        ReadWholeFile(folder.Path());
        ADD_FAILURE() << "a folder was read";
    } catch (const EFileError& error) {
        EXPECT_STREQ(error.what(), "Accès au fichier refusé");
    }
}

TEST(ReadFile, ErrorsCarryTheirCode) {
    TScratchFolder folder;
    try {
        ReadWholeFile(folder / "missing");
        FAIL();
    } catch (const EFileError& error) {
        EXPECT_EQ(error.ErrorNumber(), ENOENT);
        EXPECT_STREQ(error.what(), "Fichier introuvable");
    }
    const std::string path = folder / "f";
    WriteBytes(path, "x");
    TFaultyFileSystem fs;
    fs.FailOn(TCall::Read, EIO);
    try {
        ReadWholeFile(path, fs);
        FAIL();
    } catch (const EFileError& error) {
        EXPECT_STREQ(error.what(), "Erreur E/S 5");
    }
}

} // namespace
} // namespace sornafex

#include "recording/journal.h"
#include "recording/journal_reader.h"
#include "tests/support/test_files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <semaphore>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sornafex {
namespace {

using test::ReadBytes;
using test::TFaultyFileSystem;
using test::TScratchFolder;
using S = TJournalSession;

constexpr TMonoNs kMs = kNsPerMs;

// ---- Time and names ---------------------------------------------------------------------------

TEST(JournalTime, LocalTimeToTheMillisecondWithItsOffsetAndBack) {
    struct Row {
        std::int64_t epochMs;
        std::int32_t offset;
        const char* text;
    } const rows[] = {
        {1796721302123, 3600, "2026-12-08T10:15:02.123+01:00"},
        // West of Greenwich the local date is still the day before.
        {1798761599999, -12600, "2026-12-31T20:29:59.999-03:30"},
        // East, a quarter-hour offset already in the next month.
        {1782843600000, 20700, "2026-07-01T00:05:00.000+05:45"},
        {1709245800500, 7200, "2024-03-01T00:30:00.500+02:00"},
        {0, 0, "1970-01-01T00:00:00.000+00:00"},
        {-1, 0, "1969-12-31T23:59:59.999+00:00"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FormatJournalTime(row.epochMs, row.offset), row.text) << row.epochMs;
        EXPECT_EQ(ParseJournalTime(row.text), (TJournalTime{row.epochMs, row.offset}));
    }
    for (const char* text : {"2026-02-29T10:15:02.123+01:00", "2026-12-08T24:00:00.000+01:00",
                             "2026-12-08T10:15:02.123Z", "2026-12-08 10:15:02.123+01:00",
                             "2026-12-08T10:15:02.123+01:0x"})
        EXPECT_EQ(ParseJournalTime(text), std::nullopt) << text;
    EXPECT_EQ(JournalFileName(1798761599999, -12600, 2), "2026-12-31_20-29-59_COM2.csv");
}

// ---- Writing ----------------------------------------------------------------------------------

// The file system, and at every flush of a file (not of a folder) the lines written so far.
class TSyncRecorder : public TFaultyFileSystem {
public:
    ssize_t Write(int fd, const void* buffer, std::size_t size) override {
        const ssize_t written = TFaultyFileSystem::Write(fd, buffer, size);
        if (written > 0 && IsFile(fd))
            lines += int(std::count(static_cast<const char*>(buffer),
                                    static_cast<const char*>(buffer) + written, '\n'));
        return written;
    }
    int Fsync(int fd) override {
        if (IsFile(fd))
            linesAtSyncs.push_back(lines);
        return TFaultyFileSystem::Fsync(fd);
    }
    std::vector<int> linesAtSyncs;

protected:
    static bool IsFile(int fd) {
        struct stat status {};
        return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    }

private:
    int lines = 0;
};

// A run's journal with its clocks in the test's hands: 2026-12-08 10:15:02.123 in Paris at the
// start, on a monotonic clock that is not on a whole millisecond then.
class JournalTest : public testing::Test {
protected:
    static constexpr std::int64_t kStartEpochMs = 1796721302123;
    static constexpr TMonoNs kStartNs = 5'000'123'456;

    TJournalInstant Now() const {
        return {kStartEpochMs + elapsedMs, 3600, kStartNs + elapsedMs * kMs};
    }
    void Begin(const std::string& where) {
        journal->BeginRun(where, 1, [this](const TJournal::TFailure& failure) {
            failures.push_back(failure.reason);
            incomplete.push_back(failure.incomplete);
        });
    }
    // Waits for the writer, and for the failures it posted.
    void Settle() {
        ASSERT_TRUE(bridge.PumpUntil([this] { return journal->Idle(); }, 10000));
        bridge.ProcessMessages();
    }
    // The journals in folder, by name, once the writer is done.
    std::vector<std::string> Journals(const std::string& where) {
        Settle();
        std::vector<std::string> paths;
        if (test::Exists(where))
            for (const auto& entry : std::filesystem::directory_iterator(where))
                paths.push_back(entry.path().string());
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    // Writes to disk in place of the fixture's file system until the guard goes.
    [[nodiscard]] auto UseDisk(TFileSystem& disk) {
        journal.emplace(
            bridge, [this] { return Now(); }, disk);
        struct TGuard {
            std::optional<TJournal>& journal;
            ~TGuard() { journal.reset(); }
        };
        return TGuard{journal};
    }
    std::string OnlyJournal(const std::string& where) {
        const std::vector<std::string> paths = Journals(where);
        EXPECT_EQ(paths.size(), 1u);
        return paths.empty() ? std::string() : ReadBytes(paths.front());
    }

    TScratchFolder folder;
    TQueuedUiBridge bridge;
    std::int64_t elapsedMs = 0;
    TSyncRecorder fs;
    std::optional<TJournal> journal{std::in_place, bridge, [this] { return Now(); }, fs};
    std::vector<std::string> failures;
    std::vector<bool> incomplete; // of each failure: its file holds part of the run
};

TEST_F(JournalTest, RowsOfEveryKindInTimeOrderAndReadBack) {
    using Q = TQuestionType;
    using M = S::TUndo::TMark;
    const std::string where = folder / "new/journal";
    const TMonoNs start = kStartNs;
    Begin(where);
    EXPECT_EQ(journal->RunStartNs(), start);
    const auto at = [&](std::int64_t ms, auto call) {
        elapsedMs = ms;
        call();
    };
    at(1, [&] { journal->Describe("sim:file:/tmp/profil, examen.txt", "1000@10;100@100"); });
    at(250, [&] { journal->Fine(start + 100 * kMs, 50.23714, std::nullopt); });
    at(300, [&] { EXPECT_EQ(journal->Mark(), 1); }); // before any sample: waits for the first
    at(350, [&] { journal->Fine(start + 200 * kMs, 50.2, 3.14159); });
    at(1004, [&] { journal->Sample(57, true); });
    // Made after the sample, stamped before it.
    at(1100, [&] { journal->Fine(start + 900 * kMs, 49.99996, 2.5); });
    at(1492, [&] { EXPECT_EQ(journal->Mark(), 2); });
    at(2004, [&] { journal->Sample(0, false); });
    at(2008, [&] { journal->Event(TJournalEvent::PortLost); });
    at(2100, [&] { journal->Fine(start + 2000 * kMs, std::nan(""), std::nullopt); });
    // The examination's marks, each handed over a little after its key press: a question, an
    // answer given by mistake and undone, the right one; a question without a list undone; a
    // marker undone.
    at(2500,
       [&] { journal->Question(start + 2401 * kMs, 1, Q::Relevant, "Hier, à \"Lyon\" ?\n"); });
    at(2700, [&] { journal->Answer(start + 2650 * kMs, 1, true); });
    at(2900, [&] { journal->UndoAnswer(start + 2890 * kMs, 1, true); });
    at(2950, [&] { journal->Answer(start + 2940 * kMs, 1, false); });
    at(3000, [&] { journal->Question(start + 3000 * kMs, 2, Q::Unlisted, ""); });
    at(3100, [&] {
        journal->UndoQuestion(start + 3050 * kMs, 2);
        EXPECT_EQ(journal->Mark(start + 3060 * kMs), 3);
        journal->UndoMarker(start + 3070 * kMs, 3);
        journal->Event(TJournalEvent::Question); // no row: a question has a call of its own
    });
    at(3215, [&] {
        journal->Event(TJournalEvent::PortReopened);
        journal->Event(TJournalEvent::Recentred);
        journal->Sample(-3, true);
    });
    journal->EndRun();

    EXPECT_EQ(Journals(where), std::vector<std::string>{where + "/2026-12-08_10-15-02_COM1.csv"});
    EXPECT_EQ(journal->Path(), where + "/2026-12-08_10-15-02_COM1.csv");
    const std::string bytes = OnlyJournal(where);
    EXPECT_EQ(bytes,
              "horodatage,secondes,port,frequence_hz,repere,evenement,frequence_fine_hz,"
              "conductance_us,question,type,texte,reponse\r\n"
              "2026-12-08T10:15:02.124+01:00,0.001,COM1,,,périphérique,,,,,"
              "\"sim:file:/tmp/profil, examen.txt\",\r\n"
              "2026-12-08T10:15:02.124+01:00,0.001,COM1,,,étalonnage,,,,,1000@10;100@100,\r\n"
              "2026-12-08T10:15:02.223+01:00,0.100,COM1,,,,50.2371,,,,,\r\n"
              "2026-12-08T10:15:02.323+01:00,0.200,COM1,,,,50.2000,3.1416,,,,\r\n"
              "2026-12-08T10:15:02.423+01:00,0.300,COM1,,1,,,,,,,\r\n"
              "2026-12-08T10:15:03.023+01:00,0.900,COM1,,,,50.0000,2.5000,,,,\r\n"
              "2026-12-08T10:15:03.127+01:00,1.004,COM1,57,,,,,,,,\r\n"
              "2026-12-08T10:15:03.615+01:00,1.492,COM1,,2,,,,,,,\r\n"
              "2026-12-08T10:15:04.127+01:00,2.004,COM1,,,sans mesure,,,,,,\r\n"
              "2026-12-08T10:15:04.131+01:00,2.008,COM1,,,port perdu,,,,,,\r\n"
              "2026-12-08T10:15:04.524+01:00,2.401,COM1,,,question,,,1,R,"
              "\"Hier, à \"\"Lyon\"\" ?\n\",\r\n"
              "2026-12-08T10:15:04.773+01:00,2.650,COM1,,,réponse,,,1,,,oui\r\n"
              "2026-12-08T10:15:05.013+01:00,2.890,COM1,,,annulé,,,1,,,oui\r\n"
              "2026-12-08T10:15:05.063+01:00,2.940,COM1,,,réponse,,,1,,,non\r\n"
              "2026-12-08T10:15:05.123+01:00,3.000,COM1,,,question,,,2,-,,\r\n"
              "2026-12-08T10:15:05.173+01:00,3.050,COM1,,,annulé,,,2,,,\r\n"
              "2026-12-08T10:15:05.183+01:00,3.060,COM1,,3,,,,,,,\r\n"
              "2026-12-08T10:15:05.193+01:00,3.070,COM1,,3,annulé,,,,,,\r\n"
              "2026-12-08T10:15:05.338+01:00,3.215,COM1,,,port rouvert,,,,,,\r\n"
              "2026-12-08T10:15:05.338+01:00,3.215,COM1,,,recentrage,,,,,,\r\n"
              "2026-12-08T10:15:05.338+01:00,3.215,COM1,-3,,,,,,,,\r\n");
    EXPECT_TRUE(failures.empty());

    const S session = ParseJournalSession(bytes);
    EXPECT_EQ(session.start, (TJournalTime{kStartEpochMs, 3600}));
    EXPECT_EQ(session.port, "COM1");
    EXPECT_EQ(session.device, "sim:file:/tmp/profil, examen.txt");
    EXPECT_EQ(session.calibration, "1000@10;100@100");
    EXPECT_EQ(session.samples, (std::vector<S::TSample>{{1004, 57}, {2004, {}}, {3215, -3}}));
    EXPECT_EQ(session.fine,
              (std::vector<S::TFine>{{100, 50.2371, {}}, {200, 50.2, 3.1416}, {900, 50.0, 2.5}}));
    EXPECT_EQ(session.markers, (std::vector<S::TMarker>{{300, 1}, {1492, 2}}));
    EXPECT_EQ(session.questions,
              (std::vector<S::TQuestion>{{2401, 1, Q::Relevant, "Hier, à \"Lyon\" ?\n"}}));
    EXPECT_EQ(session.answers, (std::vector<S::TAnswer>{{2940, 1, false}}));
    EXPECT_EQ(session.undos, (std::vector<S::TUndo>{{2890, M::Answer, 1, true},
                                                    {3050, M::Question, 2, false},
                                                    {3070, M::Marker, 3, false}}));
    EXPECT_EQ(session.events, (std::vector<S::TEvent>{{2008, TJournalEvent::PortLost},
                                                      {3215, TJournalEvent::PortReopened},
                                                      {3215, TJournalEvent::Recentred}}));
}

TEST_F(JournalTest, ARunWithoutASampleLeavesNoJournalAndNumbersItsMarkersAnew) {
    Begin(folder / "journal");
    journal->Mark();
    journal->Fine(kStartNs, 50, std::nullopt);
    journal->Event(TJournalEvent::PortLost);
    journal->EndRun();
    EXPECT_EQ(Journals(folder.Path()), std::vector<std::string>{});

    // The next run counts its markers from 1; one started in the same second keeps the first's.
    for (int run = 0; run < 2; ++run) {
        Begin(folder.Path());
        EXPECT_EQ(journal->Mark(), 1);
        elapsedMs = 5000;
        journal->Fine(kStartNs + 4900 * kMs, 50, std::nullopt);
        EXPECT_EQ(Journals(folder.Path()).size(), std::size_t(run)) << "no file without a sample";
        journal->Sample(40, true);
        journal->EndRun();
        elapsedMs = 0;
    }
    Settle();
    EXPECT_EQ(folder.Entries(), (std::set<std::string>{"2026-12-08_10-15-02_COM1.csv",
                                                       "2026-12-08_10-15-02_COM1_2.csv"}));
}

TEST_F(JournalTest, ReachesTheDiskWithinTenSecondsAndAtTheEnd) {
    Begin(folder.Path());
    for (elapsedMs = 0; elapsedMs <= 25000; elapsedMs += 1000)
        journal->Sample(50, true);
    elapsedMs = 25500;
    journal->EndRun();
    Settle();
    // The header and the rows of 0 to 9 s at 10 s, those of 10 to 19 s at 20 s, the rest at the
    // end.
    EXPECT_EQ(fs.linesAtSyncs, (std::vector<int>{11, 21, 27}));
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenSaysWhyOnceAndTheRunGoesOn) {
    using C = TFaultyFileSystem::TCall;
    struct Row {
        const char* name;
        C call;
        int error;
        int fromUse;
        const char* reason;
        int rowsKept; // data rows in the file, -1: no file
    } const rows[] = {
        {"disk full at the second row", C::Write, ENOSPC, 3, "Disque plein", 1},
        {"folder refused", C::OpenForWrite, EACCES, 1, "Accès au fichier refusé", -1},
        {"flush fails", C::Fsync, EIO, 1, "Erreur E/S 5", 10},
        // Said after the run's end, which the window says too.
        {"last flush fails", C::Fsync, EIO, 2, "Erreur E/S 5", 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string where = folder / row.name;
        TSyncRecorder faulty;
        faulty.FailOn(row.call, row.error, row.fromUse);
        const auto guard = UseDisk(faulty);
        failures.clear();
        incomplete.clear();
        Begin(where);
        for (elapsedMs = 0; elapsedMs <= 15000; elapsedMs += 1000)
            journal->Sample(50, true);
        journal->EndRun();

        const std::vector<std::string> journals = Journals(where);
        EXPECT_EQ(failures, std::vector<std::string>{row.reason});
        EXPECT_EQ(incomplete, std::vector<bool>{row.rowsKept >= 0});
        if (row.rowsKept < 0) {
            EXPECT_TRUE(journals.empty());
            continue;
        }
        const std::string bytes = OnlyJournal(where);
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), row.rowsKept + 1) << bytes;
    }
}

// A disk whose flush of a file hangs until the test lets it go (two seconds at most).
class TSlowDisk final : public TSyncRecorder {
public:
    int Fsync(int fd) override {
        if (IsFile(fd) && !m_hung.exchange(true)) {
            entered.release();
            releasedInTime = release.try_acquire_for(std::chrono::seconds(2));
        }
        return TSyncRecorder::Fsync(fd);
    }
    std::binary_semaphore entered{0};
    std::binary_semaphore release{0};
    std::atomic<bool> releasedInTime = false;

private:
    std::atomic<bool> m_hung = false;
};

TEST_F(JournalTest, ASlowDiskDelaysNoRowAndLosesNone) {
    TSlowDisk disk;
    const auto guard = UseDisk(disk);
    Begin(folder.Path());
    // A second of a run: ten estimates, each made 150 ms after its time, and the sample.
    const auto second = [&](int s) {
        for (int tenth = 1; tenth <= 10; ++tenth) {
            if (tenth == 9) {
                elapsedMs = s * 1000 + 1004;
                journal->Sample(50, true);
            }
            elapsedMs = s * 1000 + tenth * 100 + 150;
            journal->Fine(kStartNs + (elapsedMs - 150) * kMs, 50 + tenth, std::nullopt);
        }
    };
    for (int s = 0; s < 10; ++s)
        second(s);
    ASSERT_TRUE(disk.entered.try_acquire_for(std::chrono::seconds(10))) << "no flush at 10 s";

    // The flush hangs: the rows of ten more seconds, a marker and the end are made all the same.
    for (int s = 10; s < 20; ++s)
        second(s);
    journal->Mark();
    journal->EndRun();
    disk.release.release();
    Settle();
    EXPECT_TRUE(disk.releasedInTime) << "a call waited for the flush";

    const std::vector<std::string> paths = Journals(folder.Path());
    ASSERT_EQ(paths.size(), 1u);
    const std::string bytes = ReadBytes(paths.front());
    const S session = ParseJournalSession(bytes);
    EXPECT_EQ(session.samples.size(), 20u);
    EXPECT_EQ(session.fine.size(), 200u);
    EXPECT_EQ(session.markers.size(), 1u);
    std::vector<TJournalMs> seconds;
    std::istringstream lines(bytes.substr(bytes.find('\n') + 1));
    for (std::string line; std::getline(lines, line);)
        seconds.push_back(std::llround(std::stod(line.substr(line.find(',') + 1)) * 1000));
    EXPECT_EQ(seconds.size(), 221u);
    EXPECT_TRUE(std::is_sorted(seconds.begin(), seconds.end()));
}

TEST_F(JournalTest, JournalsAreTheAccountsAlone) {
    struct Row {
        const char* name;
        mode_t umask;
        mode_t folderMode; // 0: the program makes the folder
        bool foreign;      // the folder belongs to another account (root only)
        const char* reason;
    } const rows[] = {
        {"file under umask 022", 022, 0, false, ""},
        {"file and new folder under umask 000", 0, 0, false, ""},
        {"folder of another account", 022, 0700, true,
         "le dossier des journaux appartient à un autre compte"},
        {"folder the group may write", 022, 0770, false,
         "le dossier des journaux est modifiable par d'autres comptes"},
        {"folder everyone may write, sticky as tmp", 022, 01777, false,
         "le dossier des journaux est modifiable par d'autres comptes"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.foreign && ::geteuid() != 0) {
            std::fprintf(stderr, "skipped \"%s\": only root can give a folder away\n", row.name);
            continue;
        }
        const std::string where = folder / row.name;
        if (row.folderMode != 0) {
            ASSERT_EQ(::mkdir(where.c_str(), 0700), 0);
            ASSERT_EQ(::chmod(where.c_str(), row.folderMode), 0);
            if (row.foreign) {
                ASSERT_EQ(::chown(where.c_str(), 65534, 65534), 0);
            }
        }
        failures.clear();
        const mode_t previous = ::umask(row.umask);
        Begin(where);
        journal->Sample(50, true);
        journal->EndRun();
        const std::vector<std::string> journals = Journals(where);
        ::umask(previous);

        if (*row.reason != '\0') {
            EXPECT_EQ(failures, std::vector<std::string>{row.reason});
            EXPECT_TRUE(journals.empty());
            continue;
        }
        EXPECT_TRUE(failures.empty()) << failures.front();
        ASSERT_EQ(journals.size(), 1u);
        struct stat file {
        }, made{};
        ASSERT_EQ(::stat(journals.front().c_str(), &file), 0);
        ASSERT_EQ(::stat(where.c_str(), &made), 0);
        EXPECT_EQ(file.st_mode & 07777, 0600u);
        EXPECT_EQ(made.st_mode & 07777, 0700u);
    }
}

} // namespace
} // namespace sornafex

#include "recording/journal.h"
#include "tests/support/test_files.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace sornafex {
namespace {

using test::ReadBytes;
using test::TFaultyFileSystem;
using test::TScratchFolder;
using E = TJournalEntry;
using K = TJournalEntry::TKind;

// ---- Time and names ---------------------------------------------------------------------------

TEST(JournalTime, LocalTimeToTheMillisecondWithItsOffset) {
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
    for (const Row& row : rows)
        EXPECT_EQ(FormatJournalTime(row.epochMs, row.offset), row.text) << row.epochMs;
    EXPECT_EQ(JournalFileName(1798761599999, -12600, 2), "2026-12-31_20-29-59_COM2.csv");
}

// ---- Writing ----------------------------------------------------------------------------------

// The file system, and every flush of a file (not of a folder) at the clock's time.
class TSyncRecorder final : public TFaultyFileSystem {
public:
    explicit TSyncRecorder(const std::int64_t& clock) : m_clock(clock) {}
    int Fsync(int fd) override {
        struct stat status {};
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
            fileSyncs.push_back(m_clock);
        return TFaultyFileSystem::Fsync(fd);
    }
    std::vector<std::int64_t> fileSyncs;

private:
    const std::int64_t& m_clock;
};

class JournalTest : public testing::Test {
protected:
    // 2026-12-08 10:15:02.123 in Paris; the run's clock starts at 5 s of uptime.
    static constexpr std::int64_t kStartEpochMs = 1796721302123;
    static constexpr std::int64_t kStartUptimeMs = 5000;

    TJournalInstant Now() const {
        return {kStartEpochMs + elapsed, 3600, kStartUptimeMs + elapsed};
    }
    void Begin(const std::string& where) {
        journal.BeginRun(where, 1,
                         [this](const std::string& reason) { failures.push_back(reason); });
    }

    TScratchFolder folder;
    std::int64_t elapsed = 0;
    TSyncRecorder fs{elapsed};
    TJournal journal{[this] { return Now(); }, fs};
    std::vector<std::string> failures;
};

TEST_F(JournalTest, EveryRowInTimeOrderAfterTheHeader) {
    const std::string where = folder / "new/journal";
    Begin(where);
    elapsed = 300;
    EXPECT_EQ(journal.Mark(), 1); // before any sample: waits for the first one
    elapsed = 1004;
    journal.Sample(57);
    elapsed = 1492;
    EXPECT_EQ(journal.Mark(), 2);
    elapsed = 2008;
    journal.PortEvent(TJournalEvent::PortLost);
    elapsed = 2100;
    journal.Sample(0);
    elapsed = 3215;
    journal.PortEvent(TJournalEvent::PortReopened);
    journal.Sample(-3);
    journal.EndRun();

    EXPECT_EQ(journal.Path(), where + "/2026-12-08_10-15-02_COM1.csv");
    EXPECT_EQ(ReadBytes(journal.Path()),
              "horodatage,secondes,port,frequence_hz,repere,evenement\r\n"
              "2026-12-08T10:15:02.423+01:00,0.300,COM1,,1,\r\n"
              "2026-12-08T10:15:03.127+01:00,1.004,COM1,57,,\r\n"
              "2026-12-08T10:15:03.615+01:00,1.492,COM1,,2,\r\n"
              "2026-12-08T10:15:04.131+01:00,2.008,COM1,,,port perdu\r\n"
              "2026-12-08T10:15:04.223+01:00,2.100,COM1,0,,\r\n"
              "2026-12-08T10:15:05.338+01:00,3.215,COM1,,,port rouvert\r\n"
              "2026-12-08T10:15:05.338+01:00,3.215,COM1,-3,,\r\n");
    EXPECT_TRUE(failures.empty());
}

TEST_F(JournalTest, ARunWithoutASampleLeavesNoJournalAndNumbersItsMarkersAnew) {
    Begin(folder / "journal");
    journal.Mark();
    journal.PortEvent(TJournalEvent::PortLost);
    journal.EndRun();
    EXPECT_TRUE(folder.Entries().empty());
    EXPECT_EQ(journal.Path(), "");

    // The next run counts its markers from 1; one started in the same second keeps the first's.
    for (int run = 0; run < 2; ++run) {
        Begin(folder.Path());
        EXPECT_EQ(journal.Mark(), 1);
        journal.Write();
        EXPECT_EQ(journal.Path(), "") << "no file without a sample";
        journal.Sample(40);
        journal.EndRun();
    }
    EXPECT_EQ(folder.Entries(), (std::set<std::string>{"2026-12-08_10-15-02_COM1.csv",
                                                       "2026-12-08_10-15-02_COM1_2.csv"}));
}

TEST_F(JournalTest, ReachesTheDiskWithinTenSecondsAndAtTheEnd) {
    Begin(folder.Path());
    for (elapsed = 0; elapsed <= 25000; elapsed += 1000) {
        journal.Sample(50);
        journal.Write();
    }
    elapsed = 25500;
    journal.EndRun();
    EXPECT_EQ(fs.fileSyncs, (std::vector<std::int64_t>{10000, 21000, 25500}));
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
        {"flush fails", C::Fsync, EIO, 1, "Erreur E/S 5", 11},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TScratchFolder scratch;
        std::int64_t clock = 0;
        TSyncRecorder faulty(clock);
        faulty.FailOn(row.call, row.error, row.fromUse);
        const std::string where = scratch / "journal";
        std::vector<std::string> said;
        TJournal failing([&] { return TJournalInstant{0, 0, clock}; }, faulty);
        failing.BeginRun(where, 1, [&](const std::string& reason) { said.push_back(reason); });
        for (clock = 0; clock <= 15000; clock += 1000) {
            failing.Sample(50);
            failing.Write();
        }
        failing.EndRun();

        EXPECT_EQ(said, std::vector<std::string>{row.reason});
        if (row.rowsKept < 0) {
            EXPECT_EQ(failing.Path(), "");
            continue;
        }
        const std::string bytes = ReadBytes(failing.Path());
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), row.rowsKept + 1) << bytes;
    }
}

// ---- Reading ----------------------------------------------------------------------------------

const std::string kHeader = "horodatage,secondes,port,frequence_hz,repere,evenement\r\n";

std::string SampleRow(int hertz) {
    return "2026-12-08T10:15:03.127+01:00,1.004,COM1," + std::to_string(hertz) + ",,\r\n";
}
std::string MarkerRow(int number) {
    return "2026-12-08T10:15:03.615+01:00,1.492,COM1,," + std::to_string(number) + ",\r\n";
}

TEST(JournalReading, EntriesOrTheFirstLineThatIsNotAJournals) {
    struct Row {
        const char* name;
        std::string bytes;
        std::vector<E> entries;
        int badLine; // 0: read
    } const rows[] = {
        {"header only", kHeader, {}, 0},
        {"marker waits for its sample",
         kHeader + SampleRow(5) + MarkerRow(1) + SampleRow(6),
         {{K::Sample, 5}, {K::Marker, 1}, {K::Sample, 6}},
         0},
        {"markers after the last sample go with it",
         kHeader + SampleRow(5) + SampleRow(6) + MarkerRow(1) + MarkerRow(2),
         {{K::Sample, 5}, {K::Marker, 1}, {K::Marker, 2}, {K::Sample, 6}},
         0},
        {"markers without samples", kHeader + MarkerRow(1), {}, 0},
        {"byte-order mark, LF line ends, quoted fields, an event, empty lines",
         "\xEF\xBB\xBF\"horodatage\",secondes,port,frequence_hz,repere,evenement\n"
         "\"2026-12-08T10:15:03,1\",\"1.5\",COM1,,,\"port \"\"x\"\",\ny\"\n\n"
         "t,2,COM1,\"7\",,\n",
         {{K::Sample, 7}},
         0},
        {"the row a crash cut short",
         kHeader + SampleRow(5) + "2026-12-08T10:15:04.1",
         {{K::Sample, 5}},
         0},
        {"empty file", "", {}, 1},
        {"header of another program", "time,hz\r\n", {}, 1},
        {"not a number", kHeader + SampleRow(5) + "t,1.0,COM1,5x,,\r\n", {}, 3},
        {"a line cut short but ended", kHeader + "2026-12-08T10:15:04.1\r\n" + SampleRow(5), {}, 2},
        {"sample and marker in one row", kHeader + "t,1.0,COM1,5,1,\r\n", {}, 2},
        {"marker 0", kHeader + "t,1.0,COM1,,0,\r\n", {}, 2},
        {"seconds not a number", kHeader + "t,soon,COM1,5,,\r\n", {}, 2},
        {"seven fields", kHeader + "t,1.0,COM1,5,,,\r\n", {}, 2},
        {"text after a closing quote", kHeader + "t,1.0,COM1,\"5\"x,,\r\n", {}, 2},
        {"lines counted across a quoted line end",
         kHeader + "t,1.0,COM1,,,\"port\r\nperdu\"\r\nt,1.0,COM1,,,\r\n",
         {},
         4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.badLine == 0) {
            EXPECT_EQ(ParseJournal(row.bytes), row.entries);
            continue;
        }
        try {
            ParseJournal(row.bytes);
            ADD_FAILURE() << "read as a journal";
        } catch (const EJournalFormat& error) {
            EXPECT_EQ(error.Line(), row.badLine);
            EXPECT_EQ(std::string(error.what()), "Ce fichier n'est pas un journal : la ligne " +
                                                     std::to_string(row.badLine) +
                                                     " n'a pas pu être lue");
        }
    }
}

TEST(JournalReading, KeepsTheLastSamplesWithTheirMarkers) {
    std::string bytes = kHeader;
    for (int i = 1; i <= 300; ++i) {
        if (i == 44 || i == 45 || i == 290)
            bytes += MarkerRow(i);
        bytes += SampleRow(i);
    }
    const std::vector<E> entries = ParseJournal(bytes);
    ASSERT_EQ(entries.size(), 258u);
    EXPECT_EQ(entries.front(), (E{K::Marker, 45}));
    EXPECT_EQ(entries[1], (E{K::Sample, 45}));
    EXPECT_EQ(entries[246], (E{K::Marker, 290}));
    EXPECT_EQ(entries.back(), (E{K::Sample, 300}));
}

} // namespace
} // namespace sornafex

#include "recording/session_sheet.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace sornafex {
namespace {

TEST(SessionSheet, ReadsBackWhatItWritesAndWhatAPersonEdited) {
    struct TCase {
        const char* text;
        TSessionSheet sheet;
    } const cases[] = {
        {"Personne examinée : Jean Dupont\nExaminateur : Marie Martin\nNotes :\nCalme.\nSuite.\n",
         {"Jean Dupont", "Marie Martin", "Calme.\nSuite."}},
        {"Personne examinée : \nExaminateur : \nNotes :\n", {}},
        // Edited by hand: CR LF, another order, blanks, a note on the key's line, a stray line.
        {"Examinateur:M. X\r\n  Personne examinée :  A B  \r\nautre chose\r\nNotes : "
         "un\r\ndeux\r\n",
         {"A B", "M. X", "un\ndeux"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseSessionSheet(c.text), c.sheet);
        EXPECT_EQ(ParseSessionSheet(FormatSessionSheet(c.sheet)), c.sheet);
    }
    // A line end in the one-line fields cannot make a key of its own.
    EXPECT_EQ(ParseSessionSheet(FormatSessionSheet({"A\nNotes : x", "", ""})).person,
              "A Notes : x");
}

TEST(SessionSheet, IsPrivateAndAnEmptyOneLeavesNothing) {
    test::TScratchFolder folder;
    const std::string journal = folder / "2026-12-08_10-15-02_COM1.csv";
    const std::string path = folder / "2026-12-08_10-15-02_COM1_fiche.txt";
    EXPECT_EQ(SessionSheetPathFor(journal), path);
    EXPECT_FALSE(ReadSessionSheet(journal));
    const mode_t before = ::umask(0);
    WriteSessionSheet(journal, {"Jean", "", "Notes"});
    ::umask(before);
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadSessionSheet(journal), (TSessionSheet{"Jean", "", "Notes"}));
    WriteSessionSheet(journal, {});
    EXPECT_FALSE(test::Exists(path));
    WriteSessionSheet(journal, {});
}

} // namespace
} // namespace sornafex

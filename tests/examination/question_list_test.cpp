#include "examination/question_list.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <string>

namespace sornafex {
namespace {

using Q = TQuestionType;

TEST(QuestionList, ReadsEachLineOrNamesTheOneItRefuses) {
    struct Row {
        const char* text;
        TQuestionList list;
        int badLine; // 0: read
    } const rows[] = {
        {"R: Hier ?\nC: Avant ?\nN: Jean ?\n",
         {{Q::Relevant, "Hier ?"}, {Q::Comparison, "Avant ?"}, {Q::Neutral, "Jean ?"}},
         0},
        // A byte-order mark, comments, blank lines, CR LF, blanks and a small letter.
        {"\xEF\xBB\xBF# Examen\r\n\r\n  r :  Hier, à Lyon ?  \r\n\tn:Jean", //
         {{Q::Relevant, "Hier, à Lyon ?"}, {Q::Neutral, "Jean"}},
         0},
        {"", {}, 0},
        {"R: Hier ?\nQ: Avant ?\n", {}, 2},
        {"R Hier ?\n", {}, 1},
        {"-: Hier ?\n", {}, 1},
        {"R:   \n", {}, 1},
        {"Hier ?", {}, 1},
        // Latin-1, not UTF-8.
        {"C: caf\xE9 ?\n", {}, 1},
        // Comments and blank lines count as lines.
        {"R: a\n# b\n\nX\n", {}, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        try {
            EXPECT_EQ(ParseQuestionList(row.text), row.list);
            EXPECT_EQ(row.badLine, 0);
        } catch (const EQuestionList& error) {
            EXPECT_EQ(error.Line(), row.badLine);
            EXPECT_EQ(std::string(error.what()).rfind("ligne " + std::to_string(row.badLine), 0),
                      0u);
        }
    }
}

TEST(QuestionList, WritesWhatItReadsBackAndNamesTheFileItCannotRead) {
    test::TScratchFolder folder;
    const std::string path = folder / "questions.txt";
    WriteQuestionList(path, {{Q::Neutral, "Jean ?"}, {Q::Relevant, "deux\nlignes"}});
    EXPECT_EQ(ReadQuestionList(path),
              (TQuestionList{{Q::Neutral, "Jean ?"}, {Q::Relevant, "deux lignes"}}));

    test::WriteBytes(path, "R: Hier ?\nZ: Avant ?\n");
    for (const auto& [file, message] :
         {std::pair{path, "liste de questions " + path +
                              ", ligne 2 : la ligne ne commence pas par R:, C: ou N:"},
          std::pair{folder / "absente.txt",
                    "liste de questions " + folder / "absente.txt" + " : Fichier introuvable"}}) {
        try {
            ReadQuestionList(file);
            ADD_FAILURE() << file;
        } catch (const EQuestionList& error) {
            EXPECT_EQ(error.what(), message);
        }
    }
}

} // namespace
} // namespace sornafex

#include "base/uRes.h"

#include <gtest/gtest.h>
#include <set>

namespace sornafex::res {
namespace {

TEST(MessageTable, EveryKeyHasItsNumberAndExactText) {
    struct Row {
        TMsg key;
        const char* name;
        int number;
        const char* text;
    };
    const Row rows[] = {
        {TMsg::sExportBitmapError, "sExportBitmapError", 64304,
         "Une erreur est survenue durant l'export du fichier Bitmap."},
        {TMsg::sExportMetafileError, "sExportMetafileError", 64305,
         "Une erreur est survenue durant l'export du fichier Metafile."},
        {TMsg::sCopyBitmapError, "sCopyBitmapError", 64306,
         "Une erreur est survenue durant la copie du fichier Bitmap dans le presse-papier."},
        {TMsg::sCopyMetafileError, "sCopyMetafileError", 64307,
         "Une erreur est survenue durant la copie du fichier Metafile dans le presse-papier."},
        {TMsg::sNewFileName, "sNewFileName", 64327, ""},
        {TMsg::sDefaultExportName, "sDefaultExportName", 64328, "Nouveau"},
        {TMsg::sAskSaveData, "sAskSaveData", 64329,
         "Donn\xC3\xA9"
         "es actuelles non sauvegard\xC3\xA9"
         "es. \rLes sauver maintenant ?"},
        {TMsg::sAppTitle, "sAppTitle", 64330, "Ruderuzoz id azaderuvi"},
        {TMsg::sCaptureStarted, "sCaptureStarted", 64331,
         "Acquisition d\xC3\xA9marr\xC3\xA9"
         "e..."},
        {TMsg::sCaptureStopped, "sCaptureStopped", 64332,
         "Acquisition arr\xC3\xAAt\xC3\xA9"
         "e"},
        {TMsg::sPortSetup, "sPortSetup", 64333, "Param\xC3\xA9trage du port com..."},
        {TMsg::sHzSuffix, "sHzSuffix", 64334, " Hz"},
        {TMsg::sPortClosed, "sPortClosed", 64335,
         "Port com s\xC3\xA9lectionn\xC3\xA9 (Com %d) ferm\xC3\xA9 !"},
    };
    ASSERT_EQ(Messages().size(), std::size(rows));
    std::set<int> numbers;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Text(row.key), row.text);
        EXPECT_EQ(Number(row.key), row.number);
        EXPECT_EQ(TextByNumber(row.number), std::string_view(row.text));
        numbers.insert(row.number);
    }
    EXPECT_EQ(numbers.size(), std::size(rows));
    EXPECT_FALSE(TextByNumber(64303).has_value());
    EXPECT_FALSE(TextByNumber(0).has_value());
}

TEST(MessageTable, TextsThatTheUserReadsAsShapes) {
    // Two lines: the first ends in a full stop and a space, the second has a space before "?".
    const std::string_view ask = Text(TMsg::sAskSaveData);
    const auto cr = ask.find('\r');
    ASSERT_NE(cr, std::string_view::npos);
    EXPECT_EQ(ask.substr(cr - 2, 2), ". ");
    EXPECT_EQ(ask.substr(ask.size() - 2), " ?");
    EXPECT_EQ(ask.find('\n'), std::string_view::npos);

    EXPECT_EQ(std::string("12") + std::string(Text(TMsg::sHzSuffix)), "12 Hz");
    EXPECT_EQ(FormatInt(Text(TMsg::sPortClosed), 2),
              "Port com s\xC3\xA9lectionn\xC3\xA9 (Com 2) ferm\xC3\xA9 !");
    EXPECT_EQ(FormatStr(FormatStr(kCaptionFormat, Text(TMsg::sAppTitle)), Text(TMsg::sNewFileName)),
              "Ruderuzoz id azaderuvi - []");
}

TEST(MessageTable, FormattingFillsOnlyTheFirstDirective) {
    struct Row {
        std::string_view format;
        int value;
        const char* expected;
    } const rows[] = {
        {"COM%d", 1, "COM1"},
        {"Erreur E/S %d", -5, "Erreur E/S -5"},
        {"%d%d", 7, "7%d"},
        {"no directive", 3, "no directive"},
        {"%d", -2147483647 - 1, "-2147483648"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(FormatInt(row.format, row.value), row.expected) << row.format;
    EXPECT_EQ(FormatStr(kCannotWriteFormat, "/tmp/a b.ini"), "Impossible d'\xC3\xA9"
                                                             "crire dans /tmp/a b.ini");
    // A value holding a directive is not filled again.
    EXPECT_EQ(FormatStr("%s - [%s]", "%s"), "%s - [%s]");
}

} // namespace
} // namespace sornafex::res

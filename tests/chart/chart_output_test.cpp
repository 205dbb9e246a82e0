#include "base/uRes.h"
#include "chart/chart_output.h"
#include "chart/print_layout.h"
#include "chart/uGraph.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/wmf_records.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <regex>

namespace sornafex::chart {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 400;
constexpr std::int32_t kLevel = 200;

// Panel and bevel colours that appear nowhere else in the chart, so a picture shows whether the
// panel and the bevel were drawn.
const QColor kPanel(200, 100, 200);
const QColor kShadow(0, 0, 255);
const QColor kHighlight(255, 128, 0);
const QColor kBackWall(0, 128, 0);
const QColor kLine(128, 255, 0);

bool Near(QColor a, QColor b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

int CountNear(const QImage& image, QColor colour, int tolerance, QRect area = {}) {
    if (area.isNull())
        area = image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += Near(image.pixelColor(x, y), colour, tolerance) ? 1 : 0;
    return count;
}

std::vector<std::uint8_t> ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return {data.begin(), data.end()};
}

bool HaveProgram(const char* name) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

class ChartOutputTest : public testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        ASSERT_TRUE(dir.isValid());
        chart = std::make_unique<TChart>();
        QPalette palette = chart->palette();
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, QPalette::Button, kPanel);
            palette.setColor(group, QPalette::Dark, kShadow);
            palette.setColor(group, QPalette::Light, kHighlight);
        }
        chart->setPalette(palette);
        TLineSeries& series = SetupMainChart(*chart);
        for (int i = 0; i < kHistoryLength; ++i)
            series.AddXY(i, kLevel);
        chart->resize(kWidth, kHeight);
        chart->show();
        dialog.initialDir = dir.path().toStdString();
    }

    std::string Path(const char* name) const {
        return dir.filePath(QString::fromLatin1(name)).toStdString();
    }

    // The SVG file at svgPath, drawn by librsvg, is the screen's picture.
    void ExpectRendersAsTheBitmap(const std::string& svgPath) {
        QProcess convert;
        const QString pngPath = dir.filePath(QStringLiteral("from-svg.png"));
        convert.start(QStringLiteral("rsvg-convert"),
                      {QStringLiteral("-o"), pngPath, QString::fromStdString(svgPath)});
        ASSERT_TRUE(convert.waitForFinished(60000));
        ASSERT_EQ(convert.exitCode(), 0) << convert.readAllStandardError().toStdString();
        const QImage rendered = QImage(pngPath).convertToFormat(QImage::Format_RGB32);
        const QImage bitmap = MakeChartBitmap(*chart);
        ASSERT_EQ(rendered.size(), bitmap.size());
        // Shapes land on the very pixels of the screen's picture; only the glyphs' edges, drawn by
        // another font renderer, may differ.
        int differing = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                differing += !Near(rendered.pixelColor(x, y), bitmap.pixelColor(x, y), 40);
        EXPECT_LT(differing, kWidth * kHeight / 100);
        const TRect plot = chart->ChartRect();
        EXPECT_EQ(rendered.pixelColor(plot.left + 5, plot.bottom - 5), kBackWall);
        EXPECT_GT(CountNear(rendered, kLine, 0), 400);
        EXPECT_GT(CountNear(rendered, QColor(255, 255, 255), 0,
                            QRect(plot.left, plot.top, plot.Width(), plot.Height())),
                  100)
            << "the marker's white dashes";
    }

    QTemporaryDir dir;
    test::TScriptedUiServices ui;
    std::unique_ptr<TChart> chart;
    TFileDialogOptions dialog;
};

TEST_F(ChartOutputTest, BitmapExportHasTheControlsSizeAndWhatTheScreenShows) {
    const std::string path = Path("Nouveau.bmp");
    ui.ExpectSave(path);
    EXPECT_EQ(ExportBitmapCommand(*chart, ui, dialog), path);

    EXPECT_EQ(ui.Shown().at(0).fileOptions.initialDir, dialog.initialDir);

    const auto bytes = ReadBytes(QString::fromStdString(path));
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    const QImage image(QString::fromStdString(path), "BMP");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(kWidth, kHeight));

    const TRect plot = chart->ChartRect();
    const QRect inside(plot.left + 2, plot.top + 2, plot.Width() - 4, plot.Height() - 4);
    EXPECT_GT(CountNear(image, kBackWall, 0, inside), inside.width() * inside.height() * 8 / 10)
        << "the back wall is green";
    // The constant level is one horizontal line across the plot area.
    const int mid = (plot.left + plot.right) / 2;
    int lineRow = -1;
    for (int y = plot.top; y < plot.bottom && lineRow < 0; ++y)
        if (image.pixelColor(mid, y) == kLine)
            lineRow = y;
    ASSERT_GE(lineRow, 0) << "no line in (128, 255, 0) in the middle of the plot";
    EXPECT_EQ(image.pixelColor(plot.left + 10, lineRow), kLine);
    EXPECT_EQ(image.pixelColor(plot.right - 10, lineRow), kLine);
    EXPECT_EQ(image.pixelColor(1, kHeight / 2), kPanel) << "the screen picture has its panel";
    EXPECT_EQ(CountNear(image, QColor(255, 0, 0), 0), 0) << "no title while it is hidden";
}

TEST_F(ChartOutputTest, BitmapExportShowsAVisibleNoDataTitle) {
    chart->Title().SetVisible(true);
    const std::string path = Path("title.bmp");
    ui.ExpectSave(path);
    ExportBitmapCommand(*chart, ui, dialog);
    const QImage image(QString::fromStdString(path), "BMP");
    ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
    const TRect plot = chart->ChartRect();
    // The red band sits above the plot area, centred.
    const QRect above(0, 0, kWidth, plot.top);
    EXPECT_GT(CountNear(image, QColor(255, 0, 0), 0, above), 200);
    EXPECT_GT(CountNear(image, QColor(255, 255, 0), 40, above), 10) << "yellow text on it";
    EXPECT_EQ(
        CountNear(image, QColor(255, 0, 0), 0, QRect(0, plot.top, kWidth, kHeight - plot.top)), 0);
}

TEST_F(ChartOutputTest, BitmapExportReplacesAnExistingFile) {
    const std::string path = Path("old.bmp");
    {
        QFile old(QString::fromStdString(path));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(1 << 20, 'x'));
    }
    ui.ExpectSave(path);
    ExportBitmapCommand(*chart, ui, dialog);
    EXPECT_EQ(QImage(QString::fromStdString(path), "BMP").size(), QSize(kWidth, kHeight));
}

// Each export asks for its own kind of file, "Nouveau" at first; cancelled, it writes nothing.
TEST_F(ChartOutputTest, ExportsAskForTheirKindOfFileAndACancelDoesNothing) {
    const struct {
        std::optional<std::string> (*command)(TChart&, TUiServices&, TFileDialogOptions&);
        const char* filter;
        const char* extension;
    } rows[] = {{&ExportBitmapCommand, "Bitmap (*.bmp)|*.bmp", "bmp"},
                {&ExportMetafileCommand, "Metafile (*.wmf)|*.wmf", "wmf"},
                {&ExportPngCommand, "PNG (*.png)|*.png", "png"},
                {&ExportSvgCommand, "SVG (*.svg)|*.svg", "svg"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.extension);
        ui.ExpectSave(std::nullopt);
        EXPECT_EQ(row.command(*chart, ui, dialog), std::nullopt);
        const auto& shown = ui.Shown().back().fileOptions;
        EXPECT_EQ(shown.filter, row.filter);
        EXPECT_EQ(shown.defaultExt, row.extension);
        EXPECT_EQ(shown.fileName, "Nouveau");
        EXPECT_TRUE(shown.overwritePrompt);
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

struct TUnwritableCase {
    const char* name;
    std::optional<std::string> (*command)(TChart&, TUiServices&, TFileDialogOptions&);
    const char* message;
};

class UnwritablePathTest : public ChartOutputTest,
                           public testing::WithParamInterface<TUnwritableCase> {};

TEST_P(UnwritablePathTest, ShowsTheCommandsMessageAndLeavesNothingBehind) {
    for (const std::string& path : {Path("missing/folder/x.file"), dir.path().toStdString()}) {
        ui.ExpectSave(path);
        ui.ExpectMessage();
        const auto chosen = GetParam().command(*chart, ui, dialog);
        EXPECT_EQ(chosen, path);
        EXPECT_EQ(ui.Shown().back().text, GetParam().message);
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "no temporary file left";
    EXPECT_FALSE(chart->Printing());
    EXPECT_FALSE(chart->Metafiling());
    EXPECT_TRUE(chart->BufferedDisplay());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnwritablePathTest,
    testing::Values(TUnwritableCase{"bitmap", &ExportBitmapCommand,
                                    "Une erreur est survenue durant l'export du fichier Bitmap."},
                    TUnwritableCase{"metafile", &ExportMetafileCommand,
                                    "Une erreur est survenue durant l'export du fichier Metafile."},
                    TUnwritableCase{"png", &ExportPngCommand,
                                    "Une erreur est survenue durant l'export du fichier PNG."},
                    TUnwritableCase{"svg", &ExportSvgCommand,
                                    "Une erreur est survenue durant l'export du fichier SVG."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChartOutputTest, MetafileExportReadsBackThroughLibwmf) {
    const std::string path = Path("Nouveau.wmf");
    ui.ExpectSave(path);
    EXPECT_EQ(ExportMetafileCommand(*chart, ui, dialog), path);

    const auto wmf = test::ReadWmf(ReadBytes(QString::fromStdString(path)));
    EXPECT_EQ(wmf.boundsRight - wmf.boundsLeft, kWidth - 1);
    EXPECT_EQ(wmf.boundsBottom - wmf.boundsTop, kHeight - 1);
    EXPECT_EQ(wmf.checksum, wmf.computedChecksum);

    if (!HaveProgram("wmf2svg"))
        GTEST_SKIP() << "wmf2svg (Debian libwmf-bin) is not installed";
    QProcess convert;
    const QString svgPath = dir.filePath(QStringLiteral("chart.svg"));
    convert.start(QStringLiteral("wmf2svg"),
                  {QStringLiteral("-o"), svgPath, QString::fromStdString(path)});
    ASSERT_TRUE(convert.waitForFinished(60000));
    EXPECT_EQ(convert.exitCode(), 0);
    EXPECT_EQ(convert.readAllStandardError().toStdString(), "") << "libwmf complained";
    const auto svgBytes = ReadBytes(svgPath);
    const std::string svg(svgBytes.begin(), svgBytes.end());
    EXPECT_NE(svg.find("<svg width=\"639\" height=\"399\""), std::string::npos)
        << "frame one pixel smaller";
    EXPECT_TRUE(std::regex_search(svg, std::regex("<rect [^>]*fill-opacity:1.0[^>]*fill:green;")))
        << "no green back wall";
    // libwmf names the nearest colour: (128, 255, 0) becomes "chartreuse".
    EXPECT_TRUE(std::regex_search(svg, std::regex("<(poly)?line [^>]*stroke:chartreuse")))
        << "no line in (128, 255, 0)";
    for (const char* label : {">400</text>", ">200</text>", ">0</text>"})
        EXPECT_NE(svg.find(label), std::string::npos) << label;
}

TEST_F(ChartOutputTest, PngExportHoldsTheBitmapsPicture) {
    chart->SetMarkers({{128, "3"}});
    const std::string path = Path("Nouveau.png");
    ui.ExpectSave(path);
    ExportPngCommand(*chart, ui, dialog);
    const QImage png(QString::fromStdString(path), "PNG");
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), MakeChartBitmap(*chart));
}

TEST_F(ChartOutputTest, SvgExportReadsBackThroughRsvgAsTheScreensPicture) {
    chart->Title().SetVisible(true);
    chart->SetMarkers({{128, "3"}});
    const std::string path = Path("Nouveau.svg");
    ui.ExpectSave(path);
    ExportSvgCommand(*chart, ui, dialog);
    const auto bytes = ReadBytes(QString::fromStdString(path));
    const std::string svg(bytes.begin(), bytes.end());
    // The texts are text: the labels, the marker's number, the title.
    for (const char* text : {">400</text>", ">0</text>", ">3</text>",
                             ">Aucune donn\xC3\xA9"
                             "es re\xC3\xA7ue</text>"})
        EXPECT_NE(svg.find(text), std::string::npos) << text;

    if (!HaveProgram("rsvg-convert"))
        GTEST_SKIP() << "rsvg-convert (Debian librsvg2-bin) is not installed";
    ExpectRendersAsTheBitmap(path);
}

TEST_F(ChartOutputTest, MetafileFrameIsAtLeastOnePixel) {
    chart->resize(1, 1);
    const auto wmf = test::ReadWmf(MakeChartMetafile(*chart));
    EXPECT_EQ(wmf.boundsRight, 1);
    EXPECT_EQ(wmf.boundsBottom, 1);
}

TEST_F(ChartOutputTest, ClipboardReceivesTheBitmap) {
    CopyBitmapCommand(*chart, ui);
    const QImage image = QGuiApplication::clipboard()->image();
    EXPECT_EQ(image.size(), QSize(kWidth, kHeight));
    const TRect plot = chart->ChartRect();
    EXPECT_EQ(image.pixelColor(plot.left + 5, plot.bottom - 5), kBackWall);
}

// Beside the metafile, an SVG picture: what Linux programs paste as a vector drawing.
TEST_F(ChartOutputTest, ClipboardReceivesThePlaceableMetafileAndTheSvgPicture) {
    chart->SetMarkers({{128, "3"}});
    CopyMetafileCommand(*chart, ui);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(data->hasFormat(QStringLiteral("image/x-wmf")));
    const QByteArray bytes = data->data(QStringLiteral("image/x-wmf"));
    const auto wmf = test::ReadWmf({bytes.begin(), bytes.end()});
    EXPECT_EQ(wmf.key, 0x9AC6CDD7u);
    EXPECT_EQ(wmf.boundsRight, kWidth - 1);
    EXPECT_EQ(wmf.boundsBottom, kHeight - 1);

    ASSERT_TRUE(data->hasFormat(QStringLiteral("image/svg+xml")));
    const QByteArray svg = data->data(QStringLiteral("image/svg+xml"));
    const std::string path = Path("clipboard.svg");
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(svg), svg.size());
    file.close();
    if (!HaveProgram("rsvg-convert"))
        GTEST_SKIP() << "rsvg-convert (Debian librsvg2-bin) is not installed";
    ExpectRendersAsTheBitmap(path);
}

TEST_F(ChartOutputTest, ChartWithoutAreaFailsWithTheCopyMessages) {
    chart->resize(0, 0);
    ui.ExpectMessage();
    CopyBitmapCommand(*chart, ui);
    EXPECT_EQ(ui.Shown().back().text, res::Text(res::TMsg::sCopyBitmapError));
    ui.ExpectMessage();
    CopyMetafileCommand(*chart, ui);
    EXPECT_EQ(ui.Shown().back().text, res::Text(res::TMsg::sCopyMetafileError));
}

TEST_F(ChartOutputTest, PrintingOnPaperLeavesOutThePanelAndTheBevel) {
    if (!HaveProgram("pdftoppm"))
        GTEST_SKIP() << "pdftoppm (Debian poppler-utils) is not installed";
    const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    int pageWidth = 0;
    int pageHeight = 0;
    ui.ExpectPrint([&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        p.setPageSize(QPageSize(QPageSize::A4));
        p.setPageOrientation(QPageLayout::Portrait);
        pageWidth = p.width();
        pageHeight = p.height();
        return true;
    });
    ASSERT_TRUE(PrintCommand(*chart, ui, printer));
    EXPECT_FALSE(chart->Printing());
    EXPECT_FALSE(chart->Metafiling());
    EXPECT_TRUE(chart->BufferedDisplay());
    EXPECT_EQ(printer.docName(), QStringLiteral("Chart1"));

    // Wider than tall: 15 % at the sides, m() above and below.
    const TMargins expected =
        ProportionalMargins({15, 15, 15, 15}, kWidth, kHeight,
                            {pageWidth, pageHeight, printer.logicalDpiX(), printer.logicalDpiY()});
    EXPECT_EQ(chart->PrintMargins(), expected);
    EXPECT_EQ(expected.left, 15);

    QProcess render;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    // Without anti-aliasing every colour on the page is one the chart drew, and the thin line
    // (one logical unit high) still covers whole pixels.
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-aa"),
                  QStringLiteral("no"), QStringLiteral("-aaVector"), QStringLiteral("no"),
                  QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, prefix});
    ASSERT_TRUE(render.waitForFinished(60000));
    ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    const QImage page(prefix + QStringLiteral(".png"));
    ASSERT_FALSE(page.isNull());

    EXPECT_GT(CountNear(page, kBackWall, 0), 1000) << "the back wall is printed";
    EXPECT_GT(CountNear(page, kLine, 0), 50) << "the line is printed";
    EXPECT_EQ(CountNear(page, kPanel, 30), 0) << "no panel background on paper";
    EXPECT_EQ(CountNear(page, kShadow, 60), 0) << "no lowered bevel on paper";
    EXPECT_EQ(CountNear(page, kHighlight, 60), 0) << "no lowered bevel on paper";
    // The page's edge, outside the margins, stays blank.
    EXPECT_EQ(CountNear(page, Qt::white, 0, QRect(0, 0, page.width(), page.height() / 10)),
              page.width() * (page.height() / 10));
}

TEST_F(ChartOutputTest, CancelledPrintDialogPrintsNothing) {
    const QString pdf = dir.filePath(QStringLiteral("never.pdf"));
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    ui.ExpectPrint([](QPrinter&) { return false; });
    EXPECT_FALSE(PrintCommand(*chart, ui, printer));
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(chart->PrintMargins(), (TMargins{15, 15, 15, 15}));
}

TEST_F(ChartOutputTest, PrintFailuresAreSilent) {
    ui.ExpectPrint([&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(dir.filePath(QStringLiteral("missing/folder/x.pdf")));
        return true;
    });
    QPrinter printer;
    EXPECT_FALSE(PrintCommand(*chart, ui, printer));
    EXPECT_FALSE(chart->Printing());
    // Only the print dialog was shown: the scripted services fail the test on any other.
    EXPECT_EQ(ui.Shown().size(), 1u);
}

} // namespace
} // namespace sornafex::chart

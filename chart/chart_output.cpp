#include "chart/chart_output.h"

#include "base/uRes.h"
#include "chart/print_layout.h"
#include "chart/qpainter_canvas.h"
#include "chart/svg_canvas.h"
#include "chart/wmf_canvas.h"

#include <QByteArray>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>
#include <algorithm>
#include <memory>
#include <stdexcept>

namespace sornafex::chart {

namespace {

// The chart's drawing state for one output, put back however the drawing ends.
class TOutputDrawing {
public:
    TOutputDrawing(TCustomChart& chart, bool printing, bool metafiling)
        : m_chart(chart), m_printing(chart.Printing()), m_metafiling(chart.Metafiling()),
          m_buffered(chart.BufferedDisplay()) {
        m_chart.SetBufferedDisplay(false);
        m_chart.SetMetafiling(metafiling);
        m_chart.SetPrinting(printing);
    }
    ~TOutputDrawing() {
        m_chart.SetPrinting(m_printing);
        m_chart.SetMetafiling(m_metafiling);
        m_chart.SetBufferedDisplay(m_buffered);
    }
    TOutputDrawing(const TOutputDrawing&) = delete;
    TOutputDrawing& operator=(const TOutputDrawing&) = delete;

private:
    TCustomChart& m_chart;
    bool m_printing;
    bool m_metafiling;
    bool m_buffered;
};

// The control's client rectangle: the bounds of every picture.
TRect ClientBounds(const TChart& chart) {
    if (chart.width() <= 0 || chart.height() <= 0)
        throw std::runtime_error("the chart has no area to draw");
    return TRect{0, 0, chart.width(), chart.height()};
}

QString ToQString(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

// Through a temporary file renamed over path at the end: a failed write leaves any previous file
// as it was and no truncated picture behind.
template <typename TWrite> void WriteReplacing(const std::string& path, TWrite write) {
    QSaveFile file(ToQString(path));
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error(file.errorString().toStdString());
    write(file);
    if (!file.commit())
        throw std::runtime_error(file.errorString().toStdString());
}

void WriteImageReplacing(const std::string& path, const QImage& image, const char* format) {
    WriteReplacing(path, [&](QSaveFile& file) {
        QImageWriter writer(&file, format);
        if (!writer.write(image))
            throw std::runtime_error(writer.errorString().toStdString());
    });
}

void WriteBytesReplacing(const std::string& path, std::string_view bytes) {
    WriteReplacing(path, [&](QSaveFile& file) {
        const auto size = static_cast<qint64>(bytes.size());
        if (file.write(bytes.data(), size) != size)
            throw std::runtime_error(file.errorString().toStdString());
    });
}

QClipboard& Clipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        throw std::runtime_error("no clipboard");
    return *clipboard;
}

// The clipboard gives no status when it is set; reading back what it now holds tells whether the
// platform took the data.
void CheckClipboardHolds(const QString& format) {
    const QMimeData* now = Clipboard().mimeData();
    if (now == nullptr || !now->hasFormat(format))
        throw std::runtime_error("the clipboard did not take the picture");
}

} // namespace

QImage MakeChartBitmap(TChart& chart) {
    const TRect bounds = ClientBounds(chart);
    QImage image(bounds.Width(), bounds.Height(), QImage::Format_RGB32);
    if (image.isNull())
        throw std::runtime_error("no memory for the bitmap");
    // Draw covers every pixel with the panel; the fill only keeps the memory defined.
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TQPainterCanvas canvas(painter, chart.palette());
        TOutputDrawing drawing(chart, false, false);
        chart.Draw(canvas, bounds);
    }
    return image;
}

std::vector<std::uint8_t> MakeChartMetafile(TChart& chart) {
    const TRect bounds = ClientBounds(chart);
    // Text is measured as on the screen: a QImage has the screen's 96 dots per inch, like the
    // bitmap and the screen buffer the chart is composed in.
    QImage reference(1, 1, QImage::Format_RGB32);
    QPainter referencePainter(&reference);
    TQPainterCanvas measure(referencePainter, chart.palette());
    TWmfCanvas canvas(std::max(1, bounds.Width() - 1), std::max(1, bounds.Height() - 1), measure);
    {
        TOutputDrawing drawing(chart, false, true);
        chart.Draw(canvas, bounds);
    }
    return canvas.Finish();
}

std::string MakeChartSvg(TChart& chart) {
    const TRect bounds = ClientBounds(chart);
    // Measured as on the screen, like the metafile.
    QImage reference(1, 1, QImage::Format_RGB32);
    QPainter referencePainter(&reference);
    TQPainterCanvas measure(referencePainter, chart.palette());
    const auto ascent = [&reference](const TFontSpec& font) {
        return QFontMetrics(TQPainterCanvas::ToQFont(font), &reference).ascent();
    };
    TSvgCanvas canvas(bounds.Width(), bounds.Height(), measure, ascent);
    {
        TOutputDrawing drawing(chart, false, false);
        chart.Draw(canvas, bounds);
    }
    return canvas.Finish();
}

void ExportBitmapFile(TChart& chart, const std::string& path) {
    WriteImageReplacing(path, MakeChartBitmap(chart), "bmp");
}

void ExportMetafileFile(TChart& chart, const std::string& path) {
    const std::vector<std::uint8_t> bytes = MakeChartMetafile(chart);
    WriteBytesReplacing(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

void ExportPngFile(TChart& chart, const std::string& path) {
    WriteImageReplacing(path, MakeChartBitmap(chart), "png");
}

void ExportSvgFile(TChart& chart, const std::string& path) {
    WriteBytesReplacing(path, MakeChartSvg(chart));
}

void CopyBitmapToClipboard(TChart& chart) {
    const QImage image = MakeChartBitmap(chart);
    Clipboard().setImage(image, QClipboard::Clipboard);
    CheckClipboardHolds(QStringLiteral("application/x-qt-image"));
}

void CopyMetafileToClipboard(TChart& chart) {
    const std::vector<std::uint8_t> bytes = MakeChartMetafile(chart);
    const std::string svg = MakeChartSvg(chart);
    auto mime = std::make_unique<QMimeData>();
    mime->setData(QString::fromLatin1(kMetafileMimeType),
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    mime->setData(QString::fromLatin1(kSvgMimeType), QByteArray(svg.data(), qsizetype(svg.size())));
    Clipboard().setMimeData(mime.release(), QClipboard::Clipboard);
    CheckClipboardHolds(QString::fromLatin1(kMetafileMimeType));
    CheckClipboardHolds(QString::fromLatin1(kSvgMimeType));
}

void PrintChart(TChart& chart, QPrinter& printer) {
    const TRect client = ClientBounds(chart);
    const TPrintDevice device{printer.width(), printer.height(), printer.logicalDpiX(),
                              printer.logicalDpiY()};
    if (chart.PrintProportional())
        chart.SetPrintMargins(
            ProportionalMargins(chart.PrintMargins(), client.Width(), client.Height(), device));
    const TRect page = PrintPageRect(chart.PrintMargins(), device.pageWidth, device.pageHeight);
    const TPrintMapping mapping =
        PrintLogicalMapping(page, client.Width(), client.Height(), chart.PrintResolution());

    printer.setDocName(QString::fromLatin1(kPrintJobTitle));
    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error("the printer did not start the job");
    try {
        // The chart keeps its screen size in logical units; the scales stretch it over the page.
        painter.scale(mapping.scaleX, mapping.scaleY);
        TQPainterCanvas canvas(painter, chart.palette());
        TOutputDrawing drawing(chart, true, true);
        canvas.SetClipRect(mapping.logical);
        chart.Draw(canvas, mapping.logical);
        canvas.ResetClip();
    } catch (...) {
        printer.abort();
        if (painter.isActive())
            painter.end();
        throw;
    }
    if (!painter.end())
        throw std::runtime_error("the printer did not finish the job");
}

namespace {

std::optional<std::string> ExportCommand(TChart& chart, TUiServices& ui, TFileDialogOptions& dialog,
                                         std::string_view filter, std::string_view extension,
                                         std::string_view failure,
                                         void (*exportFile)(TChart&, const std::string&)) {
    dialog.filter = std::string(filter);
    dialog.defaultExt = std::string(extension);
    dialog.fileName = std::string(res::Text(res::TMsg::sDefaultExportName));
    dialog.overwritePrompt = true;
    std::optional<std::string> path = ui.SaveFileDialog(dialog);
    if (!path)
        return std::nullopt;
    try {
        exportFile(chart, *path);
    } catch (...) {
        ui.ShowMessage(std::string(failure));
    }
    return path;
}

void CopyCommand(TChart& chart, TUiServices& ui, res::TMsg failure, void (*copy)(TChart&)) {
    try {
        copy(chart);
    } catch (...) {
        ui.ShowMessage(std::string(res::Text(failure)));
    }
}

} // namespace

std::optional<std::string> ExportBitmapCommand(TChart& chart, TUiServices& ui,
                                               TFileDialogOptions& dialog) {
    return ExportCommand(chart, ui, dialog, res::kBitmapFilter, res::kBitmapExt,
                         res::Text(res::TMsg::sExportBitmapError), &ExportBitmapFile);
}

std::optional<std::string> ExportMetafileCommand(TChart& chart, TUiServices& ui,
                                                 TFileDialogOptions& dialog) {
    return ExportCommand(chart, ui, dialog, res::kMetafileFilter, res::kMetafileExt,
                         res::Text(res::TMsg::sExportMetafileError), &ExportMetafileFile);
}

std::optional<std::string> ExportPngCommand(TChart& chart, TUiServices& ui,
                                            TFileDialogOptions& dialog) {
    return ExportCommand(chart, ui, dialog, res::kPngFilter, res::kPngExt, res::kExportPngError,
                         &ExportPngFile);
}

std::optional<std::string> ExportSvgCommand(TChart& chart, TUiServices& ui,
                                            TFileDialogOptions& dialog) {
    return ExportCommand(chart, ui, dialog, res::kSvgFilter, res::kSvgExt, res::kExportSvgError,
                         &ExportSvgFile);
}

void CopyBitmapCommand(TChart& chart, TUiServices& ui) {
    CopyCommand(chart, ui, res::TMsg::sCopyBitmapError, &CopyBitmapToClipboard);
}

void CopyMetafileCommand(TChart& chart, TUiServices& ui) {
    CopyCommand(chart, ui, res::TMsg::sCopyMetafileError, &CopyMetafileToClipboard);
}

bool PrintCommand(TChart& chart, TUiServices& ui, QPrinter& printer) {
    if (!ui.PrintDialog(printer))
        return false;
    try {
        PrintChart(chart, printer);
        return true;
    } catch (...) {
        // Printing reports nothing: no printer, a driver's refusal or a drawing error alike.
        return false;
    }
}

} // namespace sornafex::chart

#pragma once

// The chart control taken out of the program: as a bitmap or a placeable metafile, into a file
// or onto the clipboard, as a PNG or an SVG file, and onto a printer page. Every picture is drawn
// by the chart's own Draw, so it shows what the screen shows (the printed page leaves out the panel
// and its bevel).
//
// The Make/Export/Copy/Print routines throw on failure; the commands below them ask for the file
// or the printer through TUiServices and turn a failure into the command's message (or, for
// printing, into nothing).

#include "base/ui_services.h"
#include "chart/chart_widget.h"

#include <QImage>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QPrinter;

namespace sornafex::chart {

inline constexpr char kMetafileMimeType[] = "image/x-wmf";
// The SVG picture beside it: what Linux programs paste as a vector drawing.
inline constexpr char kSvgMimeType[] = "image/svg+xml";
// The print job's title: the chart control's name.
inline constexpr char kPrintJobTitle[] = "Chart1";

// The chart at exactly its client size, drawn as on the screen (panel, bevel, title when shown,
// back wall, axis, line).
QImage MakeChartBitmap(TChart& chart);
// The chart recorded as a placeable metafile whose frame is one pixel smaller than the client
// area in each direction (at least 1 x 1), the screen being the reference device.
std::vector<std::uint8_t> MakeChartMetafile(TChart& chart);

// The chart as an SVG document of exactly the client size, drawn as on the screen, its texts as
// text.
std::string MakeChartSvg(TChart& chart);

// Write the picture to path, replacing an existing file only once the new one is complete. PNG
// holds the bitmap's picture.
void ExportBitmapFile(TChart& chart, const std::string& path);
void ExportMetafileFile(TChart& chart, const std::string& path);
void ExportPngFile(TChart& chart, const std::string& path);
void ExportSvgFile(TChart& chart, const std::string& path);
// Replace the clipboard's contents: a QImage; or the metafile's bytes as kMetafileMimeType with
// MakeChartSvg's document as kSvgMimeType.
void CopyBitmapToClipboard(TChart& chart);
void CopyMetafileToClipboard(TChart& chart);

// Prints the chart on one page of printer, stretched over the part of the page inside the print
// margins (recomputed from the chart's proportions first when PrintProportional is set, and
// stored back in the chart). A started job is aborted when drawing fails.
void PrintChart(TChart& chart, QPrinter& printer);

// The commands. dialog is the window's save dialog, shared with the document commands: its
// filter, default extension, proposed name ("Nouveau") and overwrite prompt are set here, its
// folder is kept. Each returns the path chosen in the dialog (also when writing it then failed),
// nullopt when the dialog was cancelled.
std::optional<std::string> ExportBitmapCommand(TChart& chart, TUiServices& ui,
                                               TFileDialogOptions& dialog);
std::optional<std::string> ExportMetafileCommand(TChart& chart, TUiServices& ui,
                                                 TFileDialogOptions& dialog);
std::optional<std::string> ExportPngCommand(TChart& chart, TUiServices& ui,
                                            TFileDialogOptions& dialog);
std::optional<std::string> ExportSvgCommand(TChart& chart, TUiServices& ui,
                                            TFileDialogOptions& dialog);
void CopyBitmapCommand(TChart& chart, TUiServices& ui);
void CopyMetafileCommand(TChart& chart, TUiServices& ui);
// Shows the print dialog on printer, then prints; every failure is silent. True when a page was
// printed.
bool PrintCommand(TChart& chart, TUiServices& ui, QPrinter& printer);

} // namespace sornafex::chart

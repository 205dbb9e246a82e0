#pragma once

// The pictures of the commands and the application icon, drawn as vectors at whatever size and
// device pixel ratio the toolkit asks for, so they stay crisp on high-density screens.

#include <QIcon>

namespace sornafex {

// Indexes of the image list shared by the menus and the toolbar. The list has 14 places; the
// commands use these nine.
enum class TImage {
    BlankPage = 0,
    OpenFolder = 1,
    Floppy = 2,
    Printer = 3,
    TwoPages = 5,
    PlayTriangle = 9,
    StopDisc = 10,
    ExitDoor = 11,
    Flag = 12,
};

inline constexpr int kImageListCount = 14;

QIcon ImageListIcon(TImage image);
// The program's icon, drawn from the same picture the install puts in the desktop's icon theme.
QIcon ApplicationIcon();

} // namespace sornafex

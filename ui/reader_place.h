#pragma once
// Where a window the user reads beside the diary opens (この日の百年,
// 全文検索, この日の履歴, インポート, 使い方): where the user last put it,
// when that place is still on the screen; else beside the main window, on
// the side where the screen has room, and where no side has room, where it
// covers the least of the main window. Where the user puts it, and how large
// it is made, is kept in the program's own settings when it is closed.

#include "platform/twips.h"
#include "store/own_settings.h"
#include "ui/placement.h"

class QWidget;

// The outer rectangle for a window of the given outer size: right of the
// main window, else left, below or above, each moved inside the screen
// (origin 0,0); of these the first that covers the least of the main window.
// A side a little too narrow for the window takes it narrower, down to
// min_width, rather than over the main window.
Twips_rect Beside_main(const Twips_rect& main_outer, double outer_width, double outer_height,
                       double screen_width, double screen_height, double min_width = 0);

// A kept place as "x y width height" (pixels: the frame's top left and the
// client size), and back; an empty rectangle when the text is none.
QString Place_text(const QRect& place);
QRect Place_of_text(const QString& text);

// Gives the window its kept place, or its size (client pixels) beside the
// main window, and keeps where the user leaves it each time it is hidden,
// in the own-settings value kept of host.app_dir. Call once, before the
// window is first shown.
void Place_reader_window(QWidget& window, const Dialog_host& host, QString Own_settings::*kept,
                         QSize client_size);

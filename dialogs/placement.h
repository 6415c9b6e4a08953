#pragma once
// Where a dialog opens: centred over the main window by the outer sizes of
// both, in twips, without regard to the screen edges. A dialog's outer size
// is its client area and the design frame (Dialog_frame_width/height),
// whatever the window manager draws, as the main window's is.

class Main_form;
class QWidget;

// Gives the dialog its client size and moves it over the main window.
void Centre_over_main_form(QWidget& dialog, const Main_form& form, double client_width,
                           double client_height);

#pragma once
// Where the dialogs open and how their controls are placed. A dialog opens
// centred over the main window by the outer sizes of both, in twips,
// without regard to the screen edges; its outer size is its client area and
// the design frame (Dialog_frame_width/height), whatever the window manager
// draws, as the main window's is.

#include "platform/twips.h"

#include <QString>
#include <functional>
#include <span>

class Platform;
class QWidget;

// What a dialog gets of the main window: its parent, the platform layer,
// and the main window's outer rectangle in twips as it is when asked.
struct Dialog_host {
    QWidget* window = nullptr;
    Platform& platform;
    std::function<Twips_rect()> outer_twips;
    // The diary folder, whose own settings keep where the windows read
    // beside the diary were left; empty keeps nothing.
    QString app_dir = {};
};

// The logical DPI a window's twips are converted at.
double Dpi_of(const QWidget& widget);
// A rectangle in twips as the widget's pixels.
QRect Pixels_of(const QWidget& widget, const Twips_rect& r);

// Gives the dialog its client size and moves it over the main window.
void Centre_over_main(QWidget& dialog, const Dialog_host& host, double client_width,
                      double client_height);

// Puts each named child of the window at its place in the table.
void Place_controls(QWidget& window, std::span<const Control_place> places);

#include "ui/placement.h"

#include <QWidget>

double Dpi_of(const QWidget& widget) { return widget.logicalDpiX(); }

QRect Pixels_of(const QWidget& widget, const Twips_rect& r) { return To_pixels(r, Dpi_of(widget)); }

void Centre_over_main(QWidget& dialog, const Dialog_host& host, double client_width,
                      double client_height)
{
    const Twips_rect main_outer = host.outer_twips();
    const double width = client_width + Dialog_frame_width;
    const double height = client_height + Dialog_frame_height;
    const double left = main_outer.left + (main_outer.width - width) / 2;
    const double top = main_outer.top + (main_outer.height - height) / 2;
    const double dpi = Dpi_of(*host.window);
    dialog.setFixedSize(Twips_to_pixels(client_width, dpi), Twips_to_pixels(client_height, dpi));
    dialog.move(Twips_to_pixels(left, dpi), Twips_to_pixels(top, dpi));
}

void Place_controls(QWidget& window, std::span<const Control_place> places)
{
    const double dpi = Dpi_of(window);
    for (const Control_place& place : places) {
        auto* control = window.findChild<QWidget*>(QLatin1String(place.name));
        Q_ASSERT(control);
        control->setGeometry(To_pixels(place.rect, dpi));
    }
}

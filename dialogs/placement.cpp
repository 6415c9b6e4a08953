#include "dialogs/placement.h"

#include "app/main_form.h"
#include "app/twips.h"

void Centre_over_main_form(QWidget& dialog, const Main_form& form, double client_width,
                           double client_height)
{
    const Twips_rect main_outer = form.Outer_twips();
    const double width = client_width + Dialog_frame_width;
    const double height = client_height + Dialog_frame_height;
    const double left = main_outer.left + (main_outer.width - width) / 2;
    const double top = main_outer.top + (main_outer.height - height) / 2;
    const double dpi = form.Dpi();
    dialog.setFixedSize(Twips_to_pixels(client_width, dpi), Twips_to_pixels(client_height, dpi));
    dialog.move(Twips_to_pixels(left, dpi), Twips_to_pixels(top, dpi));
}

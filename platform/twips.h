#pragma once
// Geometry of the main window in twips (1/1440 inch), as designed, and the
// one conversion to pixels. Pixels = twips x logical DPI / 1440.

#include <QRect>
#include <QtMath>

struct Twips_rect {
    double left;
    double top;
    double width;
    double height;
};

// The window's outer size at design, its client area below the menu bar, and
// the frame between them (borders, title bar and menu bar). Window values in
// the settings file are outer values; the client area is what the program
// places, so outer = client + design frame both ways, whatever frame the
// window manager draws.
inline constexpr double Design_width = 9510;
inline constexpr double Design_height = 7020;
inline constexpr double Design_client_width = 9390;
inline constexpr double Design_client_height = 6285;
inline constexpr double Frame_width = Design_width - Design_client_width;     // 120
inline constexpr double Frame_height = Design_height - Design_client_height;  // 735
// A dialog's frame: the main window's borders and title bar, without the
// 300-twip menu bar.
inline constexpr double Menu_bar_height = 300;
inline constexpr double Dialog_frame_width = Frame_width;
inline constexpr double Dialog_frame_height = Frame_height - Menu_bar_height;

struct Control_place {
    const char* name;
    Twips_rect rect;
};

// Design places within the client area, in creation (stacking) order from
// the bottom: Shape1 lies under the check box it frames, Text2 over Text1.
inline constexpr Control_place Main_form_places[] = {
    {"Text3", {60, 60, 675, 435}},         {"VScroll1", {720, 60, 375, 435}},
    {"Text4", {1140, 60, 375, 435}},       {"VScroll2", {1500, 60, 375, 435}},
    {"Text5", {1920, 60, 375, 435}},       {"VScroll3", {2280, 60, 375, 435}},
    {"Shape1", {2700, 60, 1215, 435}},     {"Check1", {2760, 120, 1035, 285}},
    {"Label1", {4080, 120, 450, 225}},     {"Text6", {4620, 60, 4755, 435}},
    {"Text1", {0, 3240, 9375, 2535}},      {"Text2", {0, 540, 9375, 2655}},
    {"Text7", {60, 5820, 675, 435}},       {"VScroll4", {720, 5820, 375, 435}},
    {"Text8", {1140, 5820, 375, 435}},     {"VScroll5", {1500, 5820, 375, 435}},
    {"Text9", {1920, 5820, 375, 435}},     {"VScroll6", {2280, 5820, 375, 435}},
    {"Command1", {2700, 5820, 1275, 435}}, {"Command3", {4080, 5820, 1275, 435}},
    {"Command4", {5460, 5820, 1275, 435}}, {"Command2", {7980, 5820, 1395, 435}},
};

inline int Twips_to_pixels(double twips, double dpi) { return qRound(twips * dpi / 1440.0); }
inline double Pixels_to_twips(int pixels, double dpi) { return pixels * 1440.0 / dpi; }

inline QRect To_pixels(const Twips_rect& r, double dpi)
{
    return {Twips_to_pixels(r.left, dpi), Twips_to_pixels(r.top, dpi),
            Twips_to_pixels(r.width, dpi), Twips_to_pixels(r.height, dpi)};
}

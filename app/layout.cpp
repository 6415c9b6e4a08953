// The main window's layout and its two screen modes, the window's place on
// the screens, the reference setting's menu entry and the help menu.

#include "app/main_form.h"

#include "dialogs/f_ref_settei.h"
#include "dialogs/manual_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

namespace {

// The height that the minimum size can never reach and that would make the
// height formulas negative; there the height layout is left alone.
constexpr double Unlaid_height = 540;

// Each edge is converted from twips once, so edges that meet in twips meet
// on the screen: in the wide mode Text2's bottom edge is exactly Text1's.
void Set_horizontal(QWidget* control, double left, double width, double dpi)
{
    const int l = Twips_to_pixels(left, dpi);
    const int r = Twips_to_pixels(left + width, dpi);
    const QRect g = control->geometry();
    control->setGeometry(l, g.y(), r - l, g.height());
}

void Set_vertical(QWidget* control, double top, double height, double dpi)
{
    const int t = Twips_to_pixels(top, dpi);
    const int b = Twips_to_pixels(top + height, dpi);
    const QRect g = control->geometry();
    control->setGeometry(g.x(), t, g.width(), b - t);
}

double Text2_height(double h, bool nomal)
{
    const double dh = h - Design_height;
    return nomal ? dh / 2 + 2655 : dh + 5235;
}

}  // namespace

void Main_form::Connect_layout_handlers()
{
    connect(Command1, &QPushButton::clicked, this, &Main_form::Command1_Click);
    connect(MENU_ref_default, &QAction::triggered, this, &Main_form::MENU_ref_default_Click);
    connect(Menu_tukaikata, &QAction::triggered, this, &Main_form::Menu_tukaikata_Click);
}

void Main_form::Apply_text2_height(double outer_height)
{
    if (outer_height == Unlaid_height)
        return;
    const double h = std::max(outer_height, Design_height);
    Set_vertical(Text2, 540, Text2_height(h, session.Screen() == Screen_mode::Normal), Dpi());
}

void Main_form::Command1_Click()
{
    // Only the exact "nomal" is the normal mode; anything else read from the
    // settings counts as wide and turns into "nomal" here.
    session.Switch_screen_mode();
    Apply_text2_height(Outer_twips().height);
}

void Main_form::Form_Resize()
{
    if (resize_lock || isMinimized())
        return;
    const Twips_rect outer = Outer_twips();
    Lay_out(outer.width, outer.height);
}

void Main_form::Lay_out(double w, double h)
{
    const double dpi = Dpi();
    // The minimum size holds the window at its design size; a window manager
    // that ignores it gets the design layout, cut at the window's edge.
    const double dw = std::max(w, Design_width) - Design_width;
    Set_horizontal(Text6, 4620, dw + 4755, dpi);
    Set_horizontal(Text2, 0, dw + 9375, dpi);
    Set_horizontal(Text1, 0, dw + 9375, dpi);
    Set_horizontal(Command2, dw + 7980, 1395, dpi);
    Show_weekdays();

    if (h == Unlaid_height)
        return;
    const double dh = std::max(h, Design_height) - Design_height;
    Apply_text2_height(h);
    Set_vertical(Text1, dh / 2 + 3240, dh / 2 + 2535, dpi);
    QWidget* const bottom_row[] = {Text7,    VScroll4, Text8,    VScroll5, Text9,         VScroll6,
                                   Command1, Command3, Command4, Command2, Label_weekday2};
    for (QWidget* control : bottom_row)
        Set_vertical(control, dh + 5820, 435, dpi);
}

void Main_form::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Coming back from minimized lays out the size the window had meanwhile.
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
    // Back from another window or program: the files may have changed.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        Show_changes_on_disk();
        QTimer::singleShot(0, this, &Main_form::Ask_about_change_on_disk);
    }
}

void Main_form::Bring_onto_screen()
{
    const Twips_rect outer = Outer_twips();
    const double dpi = Dpi();
    const QRect frame(Twips_to_pixels(outer.left, dpi), Twips_to_pixels(outer.top, dpi),
                      Twips_to_pixels(outer.width, dpi), Twips_to_pixels(outer.height, dpi));
    // The window can be taken by its title bar when the band along its top
    // lies on a screen, at least a hand's width of it.
    const int band_height = std::min(frame.height(), 30);
    const QRect title_band(frame.left(), frame.top(), frame.width(), band_height);
    const int needed_width = std::min(frame.width(), 100);
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect seen = screen->geometry().intersected(title_band);
        if (seen.width() >= needed_width && seen.height() == band_height)
            return;
    }
    const QSizeF screen = platform.Screen_size_twips();
    if (screen.isEmpty())
        return;
    Set_outer_twips({std::max(0.0, (screen.width() - outer.width) / 2),
                     std::max(0.0, (screen.height() - outer.height) / 2), outer.width,
                     outer.height});
}

void Main_form::MENU_ref_default_Click()
{
    int ref_mode = session.Reference_choice();
    F_ref_settei dialog(Host(), ref_mode);
    platform.Run_modal(dialog);
    session.Choose_reference(ref_mode);
}

void Main_form::Menu_tukaikata_Click()
{
    const QString title = QStringLiteral("使い方を表示できません");
    // The manual lies beside a per-user install's program; a program
    // installed for every user keeps it in its shared data folder.
    QString path = session.App_dir() + QStringLiteral("sorane.txt");
    if (!QFileInfo(path).isFile())
        path = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                               QStringLiteral("/../share/sorane/sorane.txt"));
    if (!QFileInfo(path).isFile()) {
        platform.Message_box(QStringLiteral("使い方のファイル（sorane.txt）が見つかりません。"),
                             title, Platform::Icon::Critical, Platform::Buttons::Ok);
        return;
    }
    // The desktop opens the manual in its own program; the diary does not
    // wait for it. A desktop without a program for text files gets the
    // manual in a window of the diary's own.
    if (!platform.Open_with_default_program(path))
        Show_manual_window(Host(), path);
}

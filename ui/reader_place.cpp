#include "ui/reader_place.h"

#include "platform/platform.h"

#include <QEvent>
#include <QStringList>
#include <QWidget>

#include <algorithm>

namespace {

double Overlap(const Twips_rect& a, const Twips_rect& b)
{
    const double w = std::min(a.left + a.width, b.left + b.width) - std::max(a.left, b.left);
    const double h = std::min(a.top + a.height, b.top + b.height) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// The position moved so that the window lies on the screen; a window larger
// than the screen keeps its top left corner on it.
double Inside(double at, double size, double screen)
{
    return std::max(0.0, std::min(at, screen - size));
}

// Keeps where the user leaves the window: each time it is hidden (closed,
// or the program ending) at another place than the one it was given, that
// place goes into the own settings. A window left where it opened keeps
// nothing, so that it goes on opening beside the diary wherever that is. A
// place that cannot be written is not worth a message: the window opens
// beside the diary next time, as at first.
class Place_keeper : public QObject {
public:
    Place_keeper(QWidget& watched, QString folder, QString Own_settings::*value)
        : QObject(&watched), window(watched), app_dir(std::move(folder)), kept(value)
    {
        watched.installEventFilter(this);
    }

    QString given;  // the place the window was given, as Place_text writes it

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Hide || window.isMinimized())
            return false;
        const QString place = Place_text({window.pos(), window.size()});
        if (place != given) {
            given = place;
            (void)Change_own_settings(app_dir, [&](Own_settings& values) { values.*kept = place; });
        }
        return false;
    }

private:
    QWidget& window;
    QString app_dir;
    QString Own_settings::*kept;
};

}  // namespace

Twips_rect Beside_main(const Twips_rect& main_outer, double outer_width, double outer_height,
                       double screen_width, double screen_height, double min_width)
{
    const Twips_rect& m = main_outer;
    const auto fitted = [&](double room) {
        return room < outer_width && room >= min_width && min_width > 0 ? room : outer_width;
    };
    const double right = fitted(screen_width - m.left - m.width);
    const double left = fitted(m.left);
    const Twips_rect tries[] = {
        {m.left + m.width, m.top, right, outer_height},             // right
        {m.left - left, m.top, left, outer_height},                 // left
        {m.left, m.top + m.height, outer_width, outer_height},      // below
        {m.left, m.top - outer_height, outer_width, outer_height},  // above
    };
    Twips_rect best{};
    double best_cover = -1;
    for (Twips_rect t : tries) {
        t.left = Inside(t.left, t.width, screen_width);
        t.top = Inside(t.top, t.height, screen_height);
        const double cover = Overlap(t, m);
        if (best_cover < 0 || cover < best_cover) {
            best = t;
            best_cover = cover;
        }
    }
    return best;
}

QString Place_text(const QRect& place)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(place.x())
        .arg(place.y())
        .arg(place.width())
        .arg(place.height());
}

QRect Place_of_text(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return {};
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool number = false;
        values[i] = parts[i].toInt(&number);
        if (!number)
            return {};
    }
    if (values[2] <= 0 || values[3] <= 0)
        return {};
    return {values[0], values[1], values[2], values[3]};
}

void Place_reader_window(QWidget& window, const Dialog_host& host, QString Own_settings::*kept,
                         QSize client_size)
{
    const QString& app_dir = host.app_dir;
    const double dpi = Dpi_of(*host.window);
    const QSizeF screen = host.platform.Screen_size_twips();
    const QSize screen_pixels(Twips_to_pixels(screen.width(), dpi),
                              Twips_to_pixels(screen.height(), dpi));
    Place_keeper* keeper = app_dir.isEmpty() ? nullptr : new Place_keeper(window, app_dir, kept);
    const QRect place = keeper ? Place_of_text(Read_own_settings(app_dir).values.*kept) : QRect();
    // A kept place counts while the start of its title bar is on the screen
    // (a screen that became smaller, another computer's settings).
    const QRect grip(place.topLeft(), QSize(48, 24));
    if (place.isValid() && QRect(QPoint(0, 0), screen_pixels).contains(grip)) {
        window.resize(place.size().boundedTo(screen_pixels).expandedTo(window.minimumSize()));
        window.move(place.topLeft());
        keeper->given = Place_text({window.pos(), window.size()});
        return;
    }
    // The least width the window takes beside the diary: its own, or what
    // its layout needs.
    const int narrowest = std::max(window.minimumWidth(), window.minimumSizeHint().width());
    const double least = narrowest > 0 ? Pixels_to_twips(narrowest, dpi) + Dialog_frame_width : 0;
    const Twips_rect outer = Beside_main(
        host.outer_twips(), Pixels_to_twips(client_size.width(), dpi) + Dialog_frame_width,
        Pixels_to_twips(client_size.height(), dpi) + Dialog_frame_height, screen.width(),
        screen.height(), least);
    window.resize(std::max(narrowest, Twips_to_pixels(outer.width - Dialog_frame_width, dpi)),
                  client_size.height());
    window.move(Twips_to_pixels(outer.left, dpi), Twips_to_pixels(outer.top, dpi));
    if (keeper)
        keeper->given = Place_text({window.pos(), window.size()});
}

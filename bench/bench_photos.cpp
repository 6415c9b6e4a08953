// A day step of both panels with ten 4000 x 3000 photos on each day against
// the same step between days without photos, taking turns; once with the
// thumbnails still to be made and once with them in the cache. Also the
// time until every thumbnail of a step is shown, and the memory the photo
// days take above the days without.
//
//   bench_photos [--samples n]
//
// It makes its own diary (and cache) in a temporary folder.

#include "app/main_form.h"
#include "bench/harness.h"
#include "bench/main_window_shown.h"
#include "platform/clock_real.h"
#include "platform/platform_real.h"
#include "support/main_form_probe.h"
#include "ui/photo_strip.h"

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <unistd.h>

namespace {

constexpr int Photos_per_day = 10;

// Kilobytes of a line of /proc/self/status ("VmRSS", "VmHWM").
long Status_kb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').value(0).toLong();
    return 0;
}

bool Write_file(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A camera-like picture: gradients and shapes, so the JPEG is a few MB.
QByteArray Camera_jpeg(int seed)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator random(quint32(seed) + 1);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 4000, 3000);
    gradient.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 120, 230));
    gradient.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 90));
    painter.fillRect(image.rect(), gradient);
    for (int i = 0; i < 400; ++i) {
        painter.setBrush(QColor::fromHsv(int(random.bounded(360)), int(random.bounded(256)),
                                         int(random.bounded(256))));
        painter.drawEllipse(QPoint(int(random.bounded(4000)), int(random.bounded(3000))),
                            int(random.bounded(20, 300)), int(random.bounded(20, 300)));
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

QString Photo_name(int i) { return QStringLiteral("20261201-00000%1-0000000%1-IMG.jpg").arg(i); }

QString Day_file(const QString& app, int year, int month, int day)
{
    return QStringLiteral("%1%2/%3%4.txt")
        .arg(app)
        .arg(year)
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A day step with photos on both panels."));
    parser.addHelpOption();
    const QCommandLineOption samples_option(QStringLiteral("samples"),
                                            QStringLiteral("Steps of each kind (11, at most 27)."),
                                            QStringLiteral("n"), QStringLiteral("11"));
    parser.addOption(samples_option);
    parser.process(app);
    const int samples = std::clamp(parser.value(samples_option).toInt(), 3, 27);

    QTemporaryDir temp;
    if (!temp.isValid())
        Fail("no temporary folder");
    const QString folder = temp.path() + QStringLiteral("/diary/");
    const QString cache = temp.path() + QStringLiteral("/cache");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
    QDir().mkpath(folder);

    // November without photos, December with ten on each day, in 2026 (the
    // diary panel) and 2025 (the reference panel); every day has text.
    const Steady::time_point made = Steady::now();
    std::vector<QString> jpegs;
    for (int i = 0; i < Photos_per_day; ++i) {
        const QString path = temp.path() + QStringLiteral("/camera/IMG_%1.jpg").arg(i);
        if (!Write_file(path, Camera_jpeg(i)))
            Fail("the photos could not be written");
        jpegs.push_back(path);
    }
    const qint64 jpeg_size = QFileInfo(jpegs[0]).size();
    for (int year : {2025, 2026})
        for (int month : {11, 12})
            for (int day = 1; day <= samples + 1; ++day) {
                if (!Write_file(Day_file(folder, year, month, day),
                                QByteArrayLiteral("day text\r\nline two\r\n")))
                    Fail("the diary could not be written");
                if (month != 12)
                    continue;
                const QString photos = QStringLiteral("%1photos/%2/12%3/")
                                           .arg(folder)
                                           .arg(year)
                                           .arg(day, 2, 10, QLatin1Char('0'));
                QDir().mkpath(photos);
                for (int i = 0; i < Photos_per_day; ++i)
                    if (::link(QFile::encodeName(jpegs[size_t(i)]).constData(),
                               QFile::encodeName(photos + Photo_name(i)).constData()) != 0)
                        Fail("the photos could not be linked");
            }
    Notes() << QStringLiteral("diary made in %1 ms; each photo 4000 x 3000, JPEG of %2 KB")
                   .arg(Ms_since(made), 0, 'f', 0)
                   .arg(jpeg_size / 1024);

    Count_events(app);
    Real_platform platform;
    Real_clock clock;
    Main_form form(platform, clock, folder);
    if (!Start_and_show(form))
        Fail("start-up failed");
    Settle();
    auto* strip2 = form.findChild<Photo_strip*>(QStringLiteral("Photos2"));
    auto* strip1 = form.findChild<Photo_strip*>(QStringLiteral("Photos1"));
    const Main_form_controls controls = Controls_of(form);
    // Shows the day on both panels, untimed, and waits for its thumbnails.
    auto place = [&](int month, int day) {
        Probe(form).Go_to_diary_day({2026, month, day});
        Probe(form).Show_reference_day(2025, month, day);
        while (strip2->Ready_count() < strip2->Paths().size() ||
               strip1->Ready_count() < strip1->Paths().size())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        Settle();
    };
    auto step = [&](int day) {
        controls.VScroll3->setValue(day);
        controls.VScroll6->setValue(day);
    };
    auto all_shown = [&] {
        return strip2->Ready_count() == Photos_per_day && strip1->Ready_count() == Photos_per_day;
    };

    // Memory: the steps without photos first, then the same steps with them,
    // each waiting until every thumbnail is shown.
    place(11, 1);
    for (int day = 2; day <= samples + 1; ++day) {
        step(day);
        Settle();
    }
    const long rss_without = Status_kb("VmRSS");
    const long peak_without = Status_kb("VmHWM");
    place(12, 1);
    for (int day = 2; day <= samples + 1; ++day) {
        step(day);
        while (!all_shown())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        Settle();
    }
    const long rss_with = Status_kb("VmRSS");
    const long peak_with = Status_kb("VmHWM");

    // Timing, taking turns: a step without photos, then one with them.
    for (const bool cached : {false, true}) {
        if (!cached)
            QDir(cache).removeRecursively();
        else
            for (int day = 1; day <= samples + 1; ++day)
                place(12, day);
        std::vector<double> with;
        std::vector<double> without;
        std::vector<double> shown;
        for (int day = 1; day <= samples; ++day) {
            place(11, day);
            without.push_back(Timed_ms([&] { step(day + 1); }));
            if (!cached)
                QDir(cache).removeRecursively();
            place(12, day);
            const Steady::time_point start = Steady::now();
            with.push_back(Timed_ms([&] { step(day + 1); }));
            while (!all_shown())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            shown.push_back(Ms_since(start));
            if (strip2->Placeholder_count() != 0 || strip2->Paths().size() != Photos_per_day)
                Fail("the photos were not shown");
        }
        const QString kind = cached ? QStringLiteral("cached") : QStringLiteral("to be made");
        Row(QStringLiteral("day step, 2 x 10 photos (%1)").arg(kind), Median(with), Median(without),
            "ms", 1.3);
        Notes() << QStringLiteral("steps %1: with photos %2; without %3")
                       .arg(kind, Min_max_words(with), Min_max_words(without));
        Notes() << QStringLiteral("thumbnails %1: all 20 shown %2 ms after the step (median; %3)")
                       .arg(kind)
                       .arg(Median(shown), 0, 'f', 1)
                       .arg(Min_max_words(shown));
    }
    // One thumbnail alone: made from the photo, then read from the cache.
    {
        const QString own_cache = temp.path() + QStringLiteral("/cache-one");
        const Steady::time_point start = Steady::now();
        const bool made_one =
            !Make_thumbnail(jpegs[0], Photo_strip::Thumb_size, own_cache).image.isNull();
        const double made_ms = Ms_since(start);
        const Steady::time_point again = Steady::now();
        const bool read_one =
            !Make_thumbnail(jpegs[0], Photo_strip::Thumb_size, own_cache).image.isNull();
        Notes() << QStringLiteral("one thumbnail made %1 ms, read from the cache %2 ms%3")
                       .arg(made_ms, 0, 'f', 1)
                       .arg(Ms_since(again), 0, 'f', 1)
                       .arg(made_one && read_one ? QString() : QStringLiteral(" (FAILED)"));
    }
    Row(QStringLiteral("memory above the steps without photos"),
        double(rss_with - rss_without) / 1024, rss_without / 1024.0, "MB", 0, 20);
    Notes() << QStringLiteral("VmRSS %1 -> %2 MB, VmHWM %3 -> %4 MB")
                   .arg(rss_without / 1024.0, 0, 'f', 1)
                   .arg(rss_with / 1024.0, 0, 'f', 1)
                   .arg(peak_without / 1024.0, 0, 'f', 1)
                   .arg(peak_with / 1024.0, 0, 'f', 1);
    Print_notes("Photos");
    return 0;
}

// The lists of days with the mark of days with pictures against the same
// lists in a diary without any: the memory-days list of a year, the page of
// この日の百年 and the photo days of every year (what a full-text search
// that finds days in every year asks). Each diary has 27 years of 365 days
// in its index; the one with pictures has a third of its days with one to
// three. The first listing (nothing known yet) is timed apart.
//
//   bench_photo_marks [--samples n]

#include "app/main_form.h"
#include "bench/harness.h"
#include "bench/main_window_shown.h"
#include "dialogs/f_omoide.h"
#include "dialogs/years_window.h"
#include "diary/photo_days.h"
#include "platform/clock_real.h"
#include "platform/platform_real.h"
#include "support/main_form_probe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int First = 2000;
constexpr int Last = 2026;

bool Write_file(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The index of every year (every other day a memory day) and 7 December's
// text in each; with pictures, a third of the days have one to three.
void Make_diary(const QString& folder, bool pictures)
{
    for (int year = First; year <= Last; ++year) {
        QByteArray index;
        for (QDate d(year, 1, 1); d.year() == year; d = d.addDays(1)) {
            index += d.toString(QStringLiteral("yyyy/MM/dd")).toLatin1() +
                     (d.dayOfYear() % 2 ? "1" : "0") + "memo\r\n";
            if (pictures && d.dayOfYear() % 3 == 0) {
                const QString day = QStringLiteral("%1photos/%2/%3/")
                                        .arg(folder)
                                        .arg(year)
                                        .arg(d.toString(QStringLiteral("MMdd")));
                for (int i = 0; i <= d.day() % 3; ++i)
                    if (!Write_file(day + QStringLiteral("20000101-00000%1-0000000%1-a.jpg").arg(i),
                                    "\xff\xd8\xff"))
                        Fail("the pictures could not be written");
            }
        }
        if (!Write_file(QStringLiteral("%1%2/keyword.txt").arg(folder).arg(year), index) ||
            !Write_file(QStringLiteral("%1%2/1207.txt").arg(folder).arg(year), "text\r\n"))
            Fail("the diary could not be written");
    }
    // 7 December has pictures in every year.
    if (pictures)
        for (int year = First; year <= Last; ++year)
            Write_file(QStringLiteral("%1photos/%2/1207/20000101-000000-00000000-a.jpg")
                           .arg(folder)
                           .arg(year),
                       "\xff\xd8\xff");
}

struct Times {
    std::vector<double> list;
    std::vector<double> page;
    double years_first = 0;
    std::vector<double> years;
};

Times Measure(const QString& folder, int samples)
{
    Times t;
    Real_platform platform;
    Real_clock clock;
    Main_form form(platform, clock, folder);
    if (!Start_and_show(form))
        Fail("start-up failed");
    Probe(form).Go_to_diary_day({2026, 12, 7});
    Settle();
    F_omoide window(form.Host(), form.Session(), [](int, int, int) {});
    window.Form_Load();
    window.show();
    window.Text1->setText(QString::number(Last));
    Settle();
    for (int i = 0; i < samples; ++i)
        t.list.push_back(Timed_ms([&] { window.Text1_Change(); }));
    if (window.Keyword_count() < 180)
        Fail("the memory-days list is short");
    window.hide();
    for (int i = 0; i < samples; ++i) {
        t.page.push_back(Timed_ms([&] { Controls_of(form).Menu_years->trigger(); }));
        if (Probe(form).years_window->Years_shown().size() != Last - First + 1)
            Fail("the page does not show every year");
        Probe(form).years_window->close();
        Settle();
    }
    // Every year's photo days, first with nothing known, then again.
    Photo_days days(folder);
    int marked = 0;
    const Steady::time_point first = Steady::now();
    for (int year = First; year <= Last; ++year)
        marked += int(days.Of_year(year).size());
    t.years_first = Ms_since(first);
    for (int i = 0; i < samples; ++i) {
        const Steady::time_point again = Steady::now();
        int again_marked = 0;
        for (int year = First; year <= Last; ++year)
            again_marked += int(days.Of_year(year).size());
        t.years.push_back(Ms_since(again));
        if (again_marked != marked)
            Fail("the photo days changed between samples");
    }
    Notes() << QStringLiteral("%1: %2 days with pictures in %3 years, %4 day folders read")
                   .arg(folder.section(u'/', -2, -2))
                   .arg(marked)
                   .arg(Last - First + 1)
                   .arg(days.Day_folders_read());
    return t;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption samples_option(QStringLiteral("samples"), QStringLiteral("samples"),
                                            QStringLiteral("n"), QStringLiteral("15"));
    parser.addOption(samples_option);
    parser.process(app);
    const int samples = std::clamp(parser.value(samples_option).toInt(), 3, 51);

    QTemporaryDir temp;
    if (!temp.isValid())
        Fail("no temporary folder");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(temp.path() + QStringLiteral("/cache")));
    const QString plain = temp.path() + QStringLiteral("/plain/");
    const QString with = temp.path() + QStringLiteral("/with-pictures/");
    Make_diary(plain, false);
    Make_diary(with, true);
    Count_events(app);

    // The first opening in a run lists every day folder of the year once.
    double first_list = 0;
    {
        Real_platform platform;
        Real_clock clock;
        Main_form form(platform, clock, with);
        if (!Start_and_show(form))
            Fail("start-up failed");
        F_omoide window(form.Host(), form.Session(), [](int, int, int) {});
        window.Form_Load();
        window.Text1->setText(QString::number(Last));
        Settle();
        first_list = Timed_ms([&] { window.Text1_Change(); });
    }
    const Times without = Measure(plain, samples);
    const Times photos = Measure(with, samples);
    const auto row = [](const QString& name, const std::vector<double>& value,
                        const std::vector<double>& floor) {
        Row(name, Median(value), Median(floor), "ms", 1.3);
        Notes() << QStringLiteral("%1: with pictures %2; without %3")
                       .arg(name, Min_max_words(value), Min_max_words(floor));
    };
    row(QStringLiteral("memory-days list with marks"), photos.list, without.list);
    row(QStringLiteral("この日の百年 page with marks"), photos.page, without.page);
    Notes() << QStringLiteral("the first memory-days list of a run (each day folder of the year "
                              "read once): %1 ms")
                   .arg(first_list, 0, 'f', 2);
    Notes() << QStringLiteral("photo days of all %1 years: first %2 ms, again %3 ms (median; %4)")
                   .arg(Last - First + 1)
                   .arg(photos.years_first, 0, 'f', 2)
                   .arg(Median(photos.years), 0, 'f', 2)
                   .arg(Min_max_words(photos.years));
    Print_notes("Marks of days with pictures");
    return 0;
}

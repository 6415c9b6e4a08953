// The 記録 window and the words of a year, three table rows:
//
// - opening 記録 on the diary with its counts kept from an earlier run
//   (window made, year folders listed and compared, picture painted),
//   against the floor of listing every year folder with one lstat per file;
// - counting every year from nothing (no kept counts), against reading
//   every day's exact text;
// - the words of one year (the year with the most days), against reading
//   that year's texts.
//
//   bench_records [--samples N] <program folder>

#include "bench/harness.h"
#include "dialogs/records_view.h"
#include "dialogs/records_window.h"
#include "dialogs/words_panel.h"
#include "diary/panel_date.h"
#include "diary/records.h"
#include "diary/words.h"
#include "platform/platform_real.h"
#include "store/diary_files.h"
#include "store/store.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/stat.h>

namespace {

// Every year folder listed, one lstat per entry: what any check of the
// folders for changes costs.
void List_every_year(const QString& diary)
{
    for (int year = First_year; year <= Last_year; ++year)
        List_folder(diary + QString::number(year), Listing_detail::Full);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption samples_option(QStringLiteral("samples"), QStringLiteral("samples"),
                                            QStringLiteral("N"), QStringLiteral("11"));
    parser.addOption(samples_option);
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("program folder"));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString diary = QDir(parser.positionalArguments().constFirst()).absolutePath() + '/';
    const int samples = std::max(1, parser.value(samples_option).toInt());
    Count_events(app);

    QTemporaryDir cache(QDir::tempPath() + QStringLiteral("/bench-records-XXXXXX"));
    Diary_store store(diary);
    Real_platform platform;
    QWidget host_window;
    host_window.resize(800, 600);
    const Dialog_host host{&host_window, platform, [] { return Twips_rect{0, 0, 12000, 9000}; }};

    auto open_window = [&](const QString& cache_folder) {
        const Steady::time_point start = Steady::now();
        Records_window window(host, store, {}, cache_folder, [] { return QDate(2026, 12, 9); }, {});
        window.Open();
        window.Wait_for_counts();
        Settle();
        const double ms = Ms_since(start);
        if (window.View1->Years().isEmpty())
            Fail("no year was counted");
        window.Words1->Wait();
        return ms;
    };

    // The counts kept by one opening, then the timed openings.
    open_window(cache.path());
    std::vector<double> opening;
    std::vector<double> listing;
    for (int i = 0; i < samples; ++i) {
        opening.push_back(open_window(cache.path()));
        const Steady::time_point start = Steady::now();
        List_every_year(diary);
        listing.push_back(Ms_since(start));
    }
    Bound_row(QStringLiteral("opening 記録 on every year, counts kept from an earlier run"),
              Median(opening), Median(listing), "ms", 200, opening);

    // From nothing: every day file read.
    std::vector<double> counting;
    std::vector<double> reading;
    int best_year = 0;
    int best_days = -1;
    for (int i = 0; i < std::max(1, samples / 4); ++i) {
        Steady::time_point start = Steady::now();
        Records_cache fresh;
        const QList<Year_tally> years = fresh.Refresh(store);
        counting.push_back(Ms_since(start));
        for (const Year_tally& tally : years)
            if (tally.days_written > best_days) {
                best_days = tally.days_written;
                best_year = tally.year;
            }
        start = Steady::now();
        qint64 characters = 0;
        for (const int year : Year_folders(store))
            for (const QString& text : Texts_of(store, year, 0, nullptr))
                characters += text.size();
        reading.push_back(Ms_since(start));
    }
    Bound_row(QStringLiteral("counting every year from nothing (no kept counts)"), Median(counting),
              Median(reading), "ms", 10000, counting);

    // The words of the fullest year.
    std::vector<double> words;
    std::vector<double> texts;
    int listed = 0;
    for (int i = 0; i < samples; ++i) {
        Steady::time_point start = Steady::now();
        const Words_found found = Find_words(store, best_year, 0, Nouns | Verbs, 100);
        words.push_back(Ms_since(start));
        if (!found.error.isEmpty())
            Fail("the analyser did not start");
        listed = int(found.words.size());
        start = Steady::now();
        Texts_of(store, best_year, 0, nullptr);
        texts.push_back(Ms_since(start));
    }
    Bound_row(QStringLiteral("words of one year (%1, %2 days, %3 words listed)")
                  .arg(best_year)
                  .arg(best_days)
                  .arg(listed),
              Median(words), Median(texts), "ms", 1000, words);
    Print_notes("Notes (記録)");
    return 0;
}

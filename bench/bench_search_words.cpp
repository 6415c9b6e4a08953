// The words the command-line search rows of scripts/bench look for, taken
// from the diary measured (a diary given to the bench may hold none of the
// made diary's words), and the index those rows search.
//
//   bench_search_words <program folder>
//       prints two lines, "many<TAB>WORD<TAB>DAYS" and "few<TAB>WORD<TAB>DAYS":
//       the pair of kanji found on the most days, and one found on a few
//       (the fewest of those on 3 days or more);
//   bench_search_words --build <cache folder> <program folder>
//       builds the index into <cache folder>/sorane, as the window builds it.

#include "fulltext/fulltext.h"
#include "fulltext/listing.h"
#include "fulltext/scan.h"
#include "store/store.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <cstdio>

namespace {

bool Is_kanji(QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; }

int Pick_words(const QString& diary)
{
    Diary_store store(diary);
    QHash<QString, int> days_of;
    // Every day's text read as the search reads it; each pair counted once
    // a day.
    For_each_day_of_years(store, Dates_by_year(List_diary(store.App_dir()), 0, 9999),
                          Fold_options{}, nullptr, nullptr, nullptr, nullptr,
                          [&](const Day_row& row) {
                              QSet<QString> seen;
                              const QString& text = row.text;
                              for (qsizetype i = 0; i + 1 < text.size(); ++i)
                                  if (Is_kanji(text[i]) && Is_kanji(text[i + 1]))
                                      seen.insert(text.sliced(i, 2));
                              for (const QString& pair : seen)
                                  ++days_of[pair];
                          });
    if (days_of.isEmpty()) {
        std::fprintf(stderr, "bench_search_words: no two kanji in a row in %s\n",
                     qPrintable(diary));
        return 2;
    }
    QString many;
    QString few;
    for (auto it = days_of.cbegin(); it != days_of.cend(); ++it) {
        // Ties go to the smaller word, so that a diary gives the same words
        // at every run.
        const auto better = [&](const QString& than, bool most) {
            if (than.isEmpty())
                return true;
            const int a = it.value();
            const int b = days_of.value(than);
            return a != b ? (most ? a > b : a < b) : it.key() < than;
        };
        if (better(many, true))
            many = it.key();
        if (it.value() >= 3 && better(few, false))
            few = it.key();
    }
    if (few.isEmpty())
        few = many;
    std::printf("many\t%s\t%d\nfew\t%s\t%d\n", qPrintable(many), days_of.value(many),
                qPrintable(few), days_of.value(few));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--build")) {
        Fulltext_index index(args[2], args[1] + QStringLiteral("/sorane"),
                             Read_fold_options(args[2]), Fulltext_index::Start::Foreground);
        return index.Search({QStringLiteral("x"), 0, 9999, false}).scanned ? 1 : 0;
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: bench_search_words [--build <cache>] <program folder>\n");
        return 2;
    }
    return Pick_words(args[0]);
}

// The full-text search against its floors, one table row each:
//
// - the index built from nothing (in this thread, as the window's worker
//   builds it) against reading and decoding every day file;
// - the first search after start (a fresh index object on the index left
//   by the build: opening it, the check for changes, the search) against
//   the check's floor, a listing of every year folder with each file's
//   size and time;
// - the window's first search with no index yet (the files read while the
//   build begins) against a plain scan of the same words;
// - searches with the index up to date, in the 全文検索 window as the user
//   sees them (the words typed, the list filled, its first 200 rows' lines
//   made and the window painted), against a search of every day's text
//   already decoded and folded in memory.
//
//   bench_fulltext [options] <program folder>
//     --samples N   samples of each search (41); builds take an eighth
//     --word WORD   a search, once per row (雨, 散歩, 定期検診, "台風 ニュース", 鍋)
//     --memory      only the peak memory: the main window's first paint,
//                   then the searches in the window; prints both peaks
//
// The index goes into a temporary cache folder; the diary is only read.

#include "app/main_form.h"
#include "bench/harness.h"
#include "bench/main_window_shown.h"
#include "dialogs/fulltext_window.h"
#include "diary/panel_date.h"
#include "fulltext/fulltext.h"
#include "platform/clock_real.h"
#include "platform/cp932.h"
#include "platform/platform_real.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

long Peak_kib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLong();
    return 0;
}

// ---- floors ----

// Every day file read and decoded: what a build cannot do without.
double Floor_read_all(const QString& folder)
{
    const auto start = Steady::now();
    qint64 characters = 0;
    QDirIterator it(folder, {QStringLiteral("????.txt")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            characters += cp932::Decode_text(file.readAll()).size();
    }
    if (characters == 0)
        Fail("the diary has no day files");
    return Ms_since(start);
}

// The year folders listed with each file's size and time: the check for
// changes, done by any index kept outside the files.
double Floor_listing(const QString& folder)
{
    const auto start = Steady::now();
    const QByteArray root = QFile::encodeName(folder);
    long files = 0;
    for (const QString& year : QDir(folder).entryList({QStringLiteral("[0-9][0-9][0-9][0-9]")},
                                                      QDir::Dirs | QDir::NoDotAndDotDot)) {
        DIR* dir = ::opendir((root + QFile::encodeName(year)).constData());
        if (!dir)
            continue;
        while (const dirent* entry = ::readdir(dir)) {
            struct stat st {};
            if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0)
                ++files;
        }
        ::closedir(dir);
    }
    if (files == 0)
        Fail("the diary has no year folders");
    return Ms_since(start);
}

// Every day's text already in memory, decoded and folded; the search is a
// substring test of each.
struct Texts_in_memory {
    std::vector<QString> texts;
    explicit Texts_in_memory(const QString& folder)
    {
        QDirIterator it(folder, {QStringLiteral("????.txt")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                texts.push_back(Fold(cp932::Decode_text(file.readAll()), Fold_options{}));
        }
    }
    double Search(const QStringList& words) const
    {
        const auto start = Steady::now();
        long found = 0;
        for (const QString& text : texts)
            found += All_words_in(words, text, QString()) ? 1 : 0;
        const double ms = Ms_since(start);
        if (found < 0)
            Fail("impossible");
        return ms;
    }
};

// ---- the benchmarks ----

void Bench_build(const QString& folder, const QString& cache, int runs)
{
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < runs; ++i) {
        QDir(cache).removeRecursively();
        auto start = Steady::now();
        Fulltext_index index(folder, cache, Fold_options{}, Fulltext_index::Start::Foreground);
        value.push_back(Ms_since(start) / 1000);
        if (!index.Unavailable_reason().isEmpty() || !QFile::exists(index.Cache_path()))
            Fail("the index was not built");
        floor.push_back(Floor_read_all(folder) / 1000);
        if (i == 0)
            Notes()
                << QStringLiteral("index file: %1 bytes").arg(QFileInfo(index.Cache_path()).size());
    }
    Bound_row(QStringLiteral("full-text index built from nothing, every day file"), Median(value),
              Median(floor), "s", 10, value);
}

void Bench_first_search(const QString& folder, const QString& cache, int runs)
{
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < runs; ++i) {
        const auto start = Steady::now();
        Fulltext_index index(folder, cache, Fold_options{});
        const Fulltext_result result = index.Search({QStringLiteral("散歩"), 0, 9999, true});
        for (size_t row = 0; row < std::min<size_t>(200, result.hits.size()); ++row)
            index.Snippet_for(result.hits[row].date, result.words);
        value.push_back(Ms_since(start));
        if (result.scanned)
            Fail("the first search did not use the index");
        floor.push_back(Floor_listing(folder));
    }
    Bound_row(QStringLiteral("first full-text search after start 「散歩」, diary unchanged"),
              Median(value), Median(floor), "ms", 150, value);
}

void Bench_search(Fulltext_window& window, const Texts_in_memory& memory, const QString& words,
                  int samples)
{
    std::vector<double> value;
    std::vector<double> floor;
    qsizetype found = 0;
    for (int i = 0; i < samples; ++i) {
        window.Words->setText(QString());
        window.Run_search();
        Pass_events(4);
        const auto start = Steady::now();
        window.Words->setText(words);
        window.Run_search();
        // The first 200 rows' lines, as the view asks for them when scrolled.
        const int rows = std::min(200, window.Results->model()->rowCount());
        for (int row = 0; row < rows; ++row)
            window.Results->model()->data(window.Results->model()->index(row, 3), Qt::DisplayRole);
        Pass_events(4);
        value.push_back(Ms_since(start));
        found = window.Results->model()->rowCount();
        floor.push_back(memory.Search(Search_words(words, Fold_options{})));
    }
    std::vector<double> core;
    for (int i = 0; i < std::max(3, samples / 4); ++i) {
        const auto start = Steady::now();
        window.Index().Search({words, 0, 9999, true});
        core.push_back(Ms_since(start));
    }
    std::vector<double> lines;
    for (int i = 0; i < std::max(3, samples / 4); ++i) {
        const Fulltext_result result = window.Index().Search({words, 0, 9999, true});
        const auto start = Steady::now();
        for (size_t row = 0; row < std::min<size_t>(200, result.hits.size()); ++row)
            window.Index().Snippet_for(result.hits[row].date, result.words);
        lines.push_back(Ms_since(start));
    }
    Notes() << QStringLiteral("「%1」: the index's search alone (no window), median %2 ms; "
                              "the lines of 200 rows %3 ms")
                   .arg(words)
                   .arg(Median(core), 0, 'f', 1)
                   .arg(lines.empty() ? 0.0 : Median(lines), 0, 'f', 1);
    if (!window.Index().Building() && !window.Status->text().isEmpty())
        Fail(qPrintable(window.Status->text()));
    Bound_row(QStringLiteral("full-text search 「%1」 (%2 days found), first 200 rows shown")
                  .arg(words)
                  .arg(found),
              Median(value), Median(floor), "ms", 50, value);
}

// The window opened on a diary with no index yet: from the opening with the
// words in the field to the days found listed (the files read on the
// window's thread for it, the build starting beside it), against the plain
// scan of the same words in this thread. Value and floor take turns.
void Bench_search_without_index(const Dialog_host& host, const QString& folder,
                                const QString& words, int samples)
{
    std::vector<double> value;
    std::vector<double> floor;
    qsizetype found = 0;
    for (int i = 0; i < samples; ++i) {
        {
            // The window, and the build it begins after its answer, end
            // before the floor's turn.
            QTemporaryDir empty_cache;
            Fulltext_window window(host, folder, empty_cache.path(), [](int, int, int) {});
            window.Words->setText(words);
            const auto start = Steady::now();
            window.Form_Load();
            const bool answered_at_once = !window.Count->text().endsWith(u'…');
            // Waits for the answer without spinning: the reading has the
            // processor to itself, as in the window's own event loop.
            while (window.Count->text().endsWith(u'…'))
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            value.push_back(Ms_since(start));
            if (answered_at_once)
                Notes() << QStringLiteral("「%1」 without an index: sample %2 answered before the "
                                          "files were read")
                               .arg(words)
                               .arg(i);
            found = window.Results->model()->rowCount();
        }
        const auto scan_start = Steady::now();
        // The years the window searches (a diary may hold days before them).
        const Fulltext_result scanned =
            Scan_diary(folder, {words, First_year, Last_year, true}, Fold_options{});
        floor.push_back(Ms_since(scan_start));
        if (qsizetype(scanned.hits.size()) != found)
            Fail("the window and the plain scan found different days");
    }
    Row(QStringLiteral("first full-text search 「%1」 with no index yet (%2 days found), the "
                       "files read")
            .arg(words)
            .arg(found),
        Median(value), Median(floor), "ms", 1.10);
    Notes() << QStringLiteral("「%1」 with no index yet: %2 samples, %3 ms; plain scan %4 ms")
                   .arg(words)
                   .arg(samples)
                   .arg(Min_max_words(value), Min_max_words(floor));
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The full-text search's benchmarks."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Program folder."));
    const QCommandLineOption samples_option(QStringLiteral("samples"),
                                            QStringLiteral("Samples of each search (41)."),
                                            QStringLiteral("n"), QStringLiteral("41"));
    const QCommandLineOption word_option(
        QStringLiteral("word"), QStringLiteral("A search, once per row."), QStringLiteral("words"));
    const QCommandLineOption memory_option(QStringLiteral("memory"),
                                           QStringLiteral("Only the peak memory."));
    parser.addOptions({samples_option, word_option, memory_option});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString folder =
        QDir(parser.positionalArguments().constFirst()).absolutePath() + QLatin1Char('/');
    const int samples = std::max(3, parser.value(samples_option).toInt());
    const QStringList searches =
        parser.isSet(word_option)
            ? parser.values(word_option)
            : QStringList{QStringLiteral("雨"), QStringLiteral("散歩"), QStringLiteral("定期検診"),
                          QStringLiteral("台風 ニュース"), QStringLiteral("鍋")};
    QTemporaryDir cache_dir;
    if (!cache_dir.isValid())
        Fail("no temporary cache folder");
    const QString cache = cache_dir.path();
    if (!parser.isSet(memory_option))
        Bench_build(folder, cache, std::max(3, samples / 8));
    else if (const pid_t builder = ::fork(); builder == 0) {
        // The index built in a process of its own, so that the start-up's
        // peak below is the start-up's alone.
        Fulltext_index(folder, cache, Fold_options{}, Fulltext_index::Start::Foreground);
        ::_exit(0);
    } else if (int status = 0; builder < 0 || ::waitpid(builder, &status, 0) != builder ||
                               !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Fail("the index could not be built");
    }

    Real_platform platform;
    Real_clock clock;
    Main_form form(platform, clock, folder);
    if (!Start_and_show(form))
        Fail("start-up failed");
    Pass_events(4);
    const long usual_peak = Peak_kib();
    Fulltext_window window(form.Host(), folder, cache, [](int, int, int) {});
    window.Form_Load();
    window.show();
    Pass_events(4);
    if (parser.isSet(memory_option)) {
        for (const QString& words : searches) {
            window.Words->setText(words);
            window.Run_search();
            window.Results->scrollToBottom();
            Pass_events(4);
        }
        std::printf("%ld %ld\n", usual_peak, Peak_kib());
        return 0;
    }
    Bench_first_search(folder, cache, std::max(5, samples / 3));
    for (const QString& words : searches.mid(0, 2))
        Bench_search_without_index(form.Host(), folder, words, std::max(3, samples / 8));
    const Texts_in_memory memory(folder);
    for (const QString& words : searches)
        Bench_search(window, memory, words, samples);
    Print_notes("Full-text search runs:");
    return 0;
}

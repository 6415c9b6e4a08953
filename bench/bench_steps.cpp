// The benchmarks that run inside one process: each of the diary's own
// actions against a floor that does only the work nobody can avoid, with
// the same widgets, in the same run, taking turns sample by sample so that
// a change in the machine's load falls on both alike. Prints one table row
// per benchmark: median value, median floor, their ratio, the goal; then
// which days and years each row measured.
//
//   bench_steps [options] <program folder>
//     --samples N        samples of each benchmark, at least 3 (41); the
//                        fortune takes a quarter of them
//     --only LIST        which to run, of step,save,search,years,fortune,
//                        backup,fulltext,typing (all)
//     --recovery on|off  the recovery record kept while the others run, as
//                        the program keeps it (on)
//     --sizes LIST       day file sizes in bytes, "SIZE" or "LOW-HIGH", one
//                        row each, for step, save and fortune
//                        (1500-2600,26000-32000)
//     --step-sizes LIST, --save-sizes LIST, --fortune-sizes LIST
//                        the same for one benchmark only
//     --word WORD        a memo search word, once per row; "" is the empty
//                        keyword (散歩 and "")
//     --year YYYY        the year the search lists show (this year)
//
// A diary without days (or a year) of what is asked is measured on the
// nearest it has: the row says "nearest to", and the lines under the table
// give the dates and byte sizes used. Only days the diary opens without a
// question count: a file of at most 32000 bytes with an index record.
//
// It writes into the folder (the edited-day saves, put back afterwards), so
// it is given a copy of a diary, and runs after the start-up benchmarks on

#include "app/main_form.h"
#include "app/recovery_control.h"
#include "bench/harness.h"
#include "bench/main_window_shown.h"
#include "bench/step_benchmarks.h"
#include "bench/step_options.h"
#include "diary/backup.h"
#include "fulltext/fulltext.h"
#include "platform/background_job.h"
#include "platform/clock_real.h"
#include "platform/platform_real.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

struct Benchmark {
    const char* name;
    std::function<void()> run;
};

// Every benchmark by its name, in the order they run. recovery is the
// record kept while they run (none with --recovery off).
std::vector<Benchmark> Benchmarks(const Step_options& o, Main_form& form,
                                  const std::vector<Diary_day>& days, const QString& state_folder,
                                  std::unique_ptr<Recovery_control>& recovery)
{
    return {
        {"step",
         [&] {
             for (const Size_band& band : o.step_sizes)
                 Bench_step(form, o.folder, days, band, o.samples);
         }},
        {"save",
         [&] {
             for (const Size_band& band : o.save_sizes)
                 Bench_save(form, o.folder, days, band, o.samples);
             for (const Size_band& band : o.save_sizes)
                 Bench_save(form, o.folder, days, band, o.samples, true);
             for (const Size_band& band : o.save_sizes)
                 Bench_history_save(form, o.folder, days, band, o.samples);
         }},
        {"search",
         [&] {
             for (const QString& word : o.words)
                 Bench_memo_search(form, o.folder, o.year, word, o.samples);
             Bench_memory_days(form, o.folder, o.year, o.samples);
         }},
        {"years", [&] { Bench_this_day(form, o.folder, QDate::currentDate(), o.samples); }},
        {"backup",
         [&] {
             QTemporaryDir backup_folder;
             if (!backup_folder.isValid())
                 Fail("no folder for the backups");
             const QString into = backup_folder.path() + QLatin1Char('/');
             Bench_backup(o.folder, into, std::max(3, o.samples / 8));
             // As the main window runs it: its end delivered on this thread.
             QObject context;
             Background_job<Backup_outcome> job(&context);
             const Background_work busy{
                 QStringLiteral(" while a backup runs"), QStringLiteral("backups"),
                 [&job] { return job.Running(); },
                 [&] {
                     job.Start([folder = o.folder, into](const Job_control& control) {
                         return Write_backup(folder, into, QDate::currentDate(),
                                             control.Cancel_flag());
                     });
                 },
                 [&job] { job.Cancel(); }};
             for (const Size_band& band : o.step_sizes)
                 Bench_step(form, o.folder, days, band, o.samples, &busy);
         }},
        {"fulltext",
         [&] {
             // The index built from nothing in its worker, as at the first
             // search of a diary, into a cache folder of its own.
             QTemporaryDir cache;
             if (!cache.isValid())
                 Fail("no folder for the full-text index");
             std::unique_ptr<Fulltext_index> index;
             const Background_work busy{
                 QStringLiteral(" while the full-text index is built"),
                 QStringLiteral("index builds"), [&index] { return index && index->Building(); },
                 [&] {
                     index.reset();
                     QDir(cache.path()).removeRecursively();
                     index =
                         std::make_unique<Fulltext_index>(o.folder, cache.path(), Fold_options{});
                 },
                 [&index] { index.reset(); }};
             for (const Size_band& band : o.step_sizes)
                 Bench_step(form, o.folder, days, band, o.samples, &busy);
         }},
        {"typing",
         [&] {
             // Its own records on and off: none kept around it.
             const bool kept = recovery != nullptr;
             recovery.reset();
             Bench_typing(form, state_folder, 2000, o.samples);
             Bench_typing(form, state_folder, 0, o.samples);
             if (kept)
                 recovery = std::make_unique<Recovery_control>(form, state_folder);
         }},
        {"fortune",
         [&] {
             for (const Size_band& band : o.fortune_sizes)
                 Bench_fortune(form, days, band, std::max(3, o.samples / 4));
         }},
    };
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const Step_options options = Parse_step_options(app);
    Count_events(app);

    Real_platform platform;
    Real_clock clock;
    Main_form form(platform, clock, options.folder);
    if (!Start_and_show(form))
        Fail("start-up failed");
    Settle();
    // The records go to a folder of their own, removed at the end.
    QTemporaryDir state_folder;
    if (!state_folder.isValid())
        Fail("no folder for the recovery records");
    std::unique_ptr<Recovery_control> recovery;
    if (options.recovery)
        recovery = std::make_unique<Recovery_control>(form, state_folder.path());

    const QString state_path = state_folder.path();
    const std::vector<Diary_day> days = Openable_days(options.folder);
    const std::vector<Benchmark> benchmarks = Benchmarks(options, form, days, state_path, recovery);
    for (const QString& name : options.only) {
        if (std::none_of(benchmarks.begin(), benchmarks.end(),
                         [&](const Benchmark& b) { return name == QLatin1String(b.name); })) {
            std::fprintf(stderr, "bench_steps: no benchmark \"%s\"\n", qPrintable(name));
            return 2;
        }
    }
    for (const Benchmark& b : benchmarks) {
        if (options.only.contains(QLatin1String(b.name)))
            b.run();
    }
    Print_notes("Days and years measured:");
    // Ends without the ending's saves: nothing more is written.
    recovery.reset();
    return 0;
}

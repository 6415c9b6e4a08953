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
// the same folder.

#include "app/main_form.h"
#include "app/recovery_control.h"
#include "bench/bench_days.h"
#include "bench/main_window_shown.h"
#include "dialogs/f_memo.h"
#include "dialogs/f_omoide.h"
#include "dialogs/years_window.h"
#include "diary/backup.h"
#include "fortune/draw_fortune.h"
#include "fulltext/fulltext.h"
#include "platform/background_job.h"
#include "platform/clock_real.h"
#include "platform/cp932.h"
#include "platform/platform_real.h"
#include "store/day_list.h"
#include "store/line_file.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

double Ms_since(Steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// Counts the events the application delivers, so that a wait for the
// screen to settle knows when nothing is left to do.
class Event_counter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        ++count;
        return QObject::eventFilter(watched, event);
    }
    long count = 0;
};
Event_counter* event_counter = nullptr;

// Runs pending events until a pass delivers none: a widget's delayed layout
// posts the repaint that follows it, so one pass is not enough.
void Settle()
{
    for (int pass = 0; pass < 8; ++pass) {
        const long before = event_counter->count;
        QCoreApplication::processEvents();
        if (event_counter->count == before)
            return;
    }
}

// The delayed layout and the repaint of what changed are part of every
// timed step.
double Timed_ms(const std::function<void()>& step)
{
    Settle();
    const auto start = Steady::now();
    step();
    Settle();
    return Ms_since(start);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "bench_steps: %s\n", what);
    std::exit(1);
}

// goal is a ratio to the floor; limit, when given, a bound on the value
// itself instead.
void Row(const QString& name, double value, double floor, const char* unit, double goal,
         double limit = 0)
{
    const double ratio = value / floor;
    const char* verdict = limit > 0       ? (value < limit ? "met" : "MISSED")
                          : goal <= 0     ? "—"
                          : ratio <= goal ? "met"
                                          : "MISSED";
    char goal_text[32] = "—";
    if (limit > 0)
        std::snprintf(goal_text, sizeof goal_text, "< %.0f %s", limit, unit);
    else if (goal > 0)
        std::snprintf(goal_text, sizeof goal_text, "≤ %.2f ×", goal);
    std::printf("| %s | %.3f %s | %.3f %s | %.2f × | %s | %s |\n", qPrintable(name), value, unit,
                floor, unit, ratio, goal_text, verdict);
    std::fflush(stdout);
}

// ---- the days the benchmarks use ----

QString Day_path(const QString& folder, const QDate& d)
{
    return folder + d.toString(QStringLiteral("yyyy/MMdd.txt"));
}

QString Index_path(const QString& folder, int year)
{
    return folder + QStringLiteral("%1/keyword.txt").arg(year, 4, 10, QLatin1Char('0'));
}

// What each benchmark measured, printed under the table.
QStringList notes;

// The row's size words: the band asked for, or, when the diary has no day
// in it, the size of the days taken instead.
QString Size_words(const Size_band& band, const Day_pick& pick)
{
    if (pick.in_band)
        return Rough_size(band.low, band.high);
    const auto [low, high] = std::minmax_element(
        pick.days.begin(), pick.days.end(),
        [](const Diary_day& a, const Diary_day& b) { return a.bytes < b.bytes; });
    return Rough_size(low->bytes, high->bytes);
}

QString Nearest_words(const Size_band& band, const Day_pick& pick)
{
    return pick.in_band ? QString()
                        : QStringLiteral(", nearest to %1").arg(Rough_size(band.low, band.high));
}

void Note_days(const QString& row, const Size_band& band, const Day_pick& pick)
{
    QStringList days;
    for (const Diary_day& d : pick.days)
        days.append(Day_text(d));
    const QString what =
        pick.days.size() == 2 ? QStringLiteral("two neighbouring days") : QStringLiteral("day");
    notes.append(pick.in_band ? QStringLiteral("%1: %2").arg(row, days.join(QStringLiteral(", ")))
                              : QStringLiteral("%1: no %2 of %3-%4 bytes, the nearest: %5")
                                    .arg(row, what)
                                    .arg(band.low)
                                    .arg(band.high)
                                    .arg(days.join(QStringLiteral(", "))));
}

// The diary panel to a day without saving or timing anything.
void Show_diary_day(Main_form& form, const QDate& d)
{
    form.scroll_lock = QStringLiteral("on");
    form.VScroll1->setValue(d.year());
    form.Text3->setText(QString::number(d.year()));
    form.VScroll2->setValue(d.month());
    form.Text4->setText(QString::number(d.month()));
    form.VScroll3->setValue(d.day());
    form.Text5->setText(QString::number(d.day()));
    form.scroll_lock = QStringLiteral("off");
    form.Load_diary_day(d.year(), d.month(), d.day());
    Settle();
}

// What the search windows get to show a recalled day, as the main window
// gives it.
Show_day Reference_shower(Main_form& form)
{
    return [&form](int year, int month, int day) { form.Show_reference_day(year, month, day); };
}

// ---- the floors ----

QByteArray Read_all(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail("a file the floor reads is missing");
    return file.readAll();
}

// Reads and decodes the day's text and its index record and sets them into
// the panel's widgets: what any program showing that day must do.
void Floor_load(Main_form& form, const QString& folder, const QDate& d)
{
    QByteArray bytes = Read_all(Day_path(folder, d));
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    form.Text2->setPlainText(
        cp932::Decode_text(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    const QByteArray index = Read_all(Index_path(folder, d.year()));
    const QByteArray key = QStringLiteral("%1/%2/%3")
                               .arg(d.year(), 4, 10, QLatin1Char('0'))
                               .arg(d.month(), 2, 10, QLatin1Char('0'))
                               .arg(d.day(), 2, 10, QLatin1Char('0'))
                               .toLatin1();
    qsizetype at = index.startsWith(key) ? 0 : index.indexOf("\n" + key);
    if (at < 0)
        Fail("a day the floor loads has no record");
    if (at > 0)
        ++at;
    qsizetype end = index.indexOf('\r', at);
    if (end < 0)
        end = index.size();
    const QByteArrayView line = QByteArrayView(index).sliced(at, end - at);
    form.Check1->setChecked(line.size() > 10 && line[10] == '1');
    form.Text6->setText(cp932::Decode_text(line.size() > 11 ? line.sliced(11) : QByteArrayView()));
}

// A durable replace done plainly: temporary file, write, fdatasync, rename,
// fsync of the folder.
void Floor_replace(const QByteArray& folder, const QByteArray& path, const QByteArray& bytes)
{
    const QByteArray temp = path + ".floor-tmp";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size() ||
        ::fdatasync(fd) != 0 || ::close(fd) != 0 ||
        ::rename(temp.constData(), path.constData()) != 0)
        Fail("the floor's replace failed");
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0 || ::close(dir) != 0)
        Fail("the floor's folder sync failed");
}

QTableWidgetItem* Floor_item(const QString& text, bool fixed_look, bool selectable,
                             const QColor& fixed)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignBottom);
    if (fixed_look)
        item->setBackground(fixed);
    item->setFlags(selectable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled);
    return item;
}

// Reads and decodes the year's index, keeps the lines that pass, in date
// order, and fills the list with the same rows and the same look: header
// row, one row per record, an empty last row.
void Floor_list(QTableWidget* grid, const QString& index_path,
                const std::function<bool(const QString&)>& test)
{
    const QByteArray bytes = Read_all(index_path);
    QStringList lines;
    for (QByteArrayView rest(bytes); !rest.isEmpty();) {
        qsizetype end = rest.indexOf('\n');
        if (end < 0)
            end = rest.size();
        QByteArrayView line = rest.first(end);
        if (line.endsWith('\r'))
            line.chop(1);
        const QString decoded = cp932::Decode_text(line);
        if (test(decoded))
            lines.append(decoded);
        rest = rest.sliced(std::min(end + 1, rest.size()));
    }
    std::stable_sort(lines.begin(), lines.end());
    const QColor fixed = grid->palette().color(QPalette::Button);
    grid->setRowCount(0);
    grid->setRowCount(int(lines.size()) + 2);
    grid->setItem(0, 0, Floor_item(QStringLiteral("年/月/日"), true, false, fixed));
    grid->setItem(0, 1, Floor_item(QStringLiteral("メ　モ"), true, false, fixed));
    int row = 1;
    for (const QString& line : lines) {
        grid->setItem(row, 0, Floor_item(line.left(10), true, true, fixed));
        grid->setItem(row, 1,
                      Floor_item(line.size() > 11 ? line.mid(11) : QString(), false, true, fixed));
        ++row;
    }
    grid->setItem(row, 0, Floor_item(QString(), true, true, fixed));
    grid->setItem(row, 1, Floor_item(QString(), false, true, fixed));
}

// ---- the benchmarks ----

// Work that runs in the background while steps are timed: a backup, or
// the full-text index being built.
struct Background_work {
    QString during;  // " while a backup runs"
    QString started_what;
    std::function<bool()> running;
    std::function<void()> start;
    std::function<void()> cancel;
};

// While busy is given, its work runs through every sample, value and floor
// alike (it is started again when it ends).
void Bench_step(Main_form& form, const QString& folder, const std::vector<Diary_day>& days,
                const Size_band& band, int samples, const Background_work* busy = nullptr)
{
    const auto pick = Pick_neighbours(days, band);
    if (!pick)
        Fail("the diary has no two neighbouring days that it opens");
    const QString name = QStringLiteral("day spinner step%1, %2 days%3")
                             .arg(busy ? busy->during : QString(), Size_words(band, *pick),
                                  Nearest_words(band, *pick));
    Note_days(name, band, *pick);
    const QDate a = pick->days[0].date;
    const QDate b = pick->days[1].date;
    Show_diary_day(form, a);
    std::vector<double> value;
    std::vector<double> floor;
    int backups = 0;
    int busy_samples = 0;  // timed steps that began with the work running
    auto keep_busy = [&] {
        if (busy && !busy->running()) {
            busy->start();
            ++backups;
        }
        if (busy && busy->running())
            ++busy_samples;
    };
    for (int i = 0; i < samples; ++i) {
        // The panel shows a; a step to b and back, then the floor's loads of
        // b and of a, each from the panel showing the other day.
        keep_busy();
        value.push_back(Timed_ms([&] { form.VScroll3->setValue(b.day()); }));
        keep_busy();
        value.push_back(Timed_ms([&] { form.VScroll3->setValue(a.day()); }));
        keep_busy();
        floor.push_back(Timed_ms([&] { Floor_load(form, folder, b); }));
        keep_busy();
        floor.push_back(Timed_ms([&] { Floor_load(form, folder, a); }));
    }
    if (form.Text5->text() != QString::number(a.day()))
        Fail("the day spinner did not move the panel");
    if (busy) {
        busy->cancel();
        notes << QStringLiteral("%1: %2 started: %3; steps begun while one ran: %4 of %5")
                     .arg(name, busy->started_what)
                     .arg(backups)
                     .arg(busy_samples)
                     .arg(samples * 4);
    }
    Row(name, Median(value), Median(floor), "ms", 1.3);
}

// The floor of a backup: every file it takes read and its bytes written
// into one file, which is synced; no compression, no archive.
void Floor_backup(const QString& folder, const QStringList& files, const QString& target)
{
    const int out = ::open(QFile::encodeName(target).constData(),
                           O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0)
        Fail("the floor's backup file could not be made");
    for (const QString& relative : files) {
        if (relative.endsWith(QLatin1Char('/')))
            continue;
        const QByteArray bytes = Read_all(folder + relative);
        if (::write(out, bytes.constData(), std::size_t(bytes.size())) != bytes.size())
            Fail("the floor's backup file could not be written");
    }
    if (::fdatasync(out) != 0 || ::close(out) != 0)
        Fail("the floor's backup file could not be synced");
}

// A backup of the whole diary as the daily one runs: on its worker, timed
// from its start until the window hears of its end.
void Bench_backup(const QString& folder, const QString& backup_folder, int runs)
{
    Io_result error;
    const QStringList files = Diary_files(folder, error);
    if (!error.Ok())
        Fail("the diary's files could not be listed");
    // As the main window runs it: progress and the end delivered here.
    QObject context;
    Background_job<Backup_outcome> job(&context);
    Backup_outcome last;
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < runs; ++i) {
        value.push_back(Timed_ms([&] {
            job.Start(
                [&](const Job_control& control) {
                    return Write_backup(
                        folder, backup_folder, QDate::currentDate(), control.Cancel_flag(),
                        [&control](int percent) { control.Progress(percent, 100); });
                },
                [&last](const Backup_outcome& outcome) { last = outcome; }, [](int, int) {});
            while (job.Running())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }));
        if (!last.Ok())
            Fail("the backup failed");
        floor.push_back(Timed_ms([&] { Floor_backup(folder, files, backup_folder + "floor"); }));
        QFile::remove(backup_folder + "floor");
    }
    notes << QStringLiteral("backup of the whole diary: %1 files, archive %2 bytes, %3 runs")
                 .arg(last.files)
                 .arg(QFileInfo(last.path).size())
                 .arg(runs);
    Row(QStringLiteral("backup of the whole diary, in the background"), Median(value),
        Median(floor), "ms", 0);
}

// An edit that the save must write: one character added at the end of the
// text, or taken away again.
void Edit_end(Main_form& form, bool add)
{
    QTextCursor cursor(form.Text2->document());
    cursor.movePosition(QTextCursor::End);
    if (add)
        cursor.insertText(QStringLiteral("。"));
    else
        cursor.deletePreviousChar();
    Settle();
}

void Bench_save(Main_form& form, const QString& folder, const std::vector<Diary_day>& days,
                const Size_band& band, int samples)
{
    const auto pick = Pick_day(days, band);
    if (!pick)
        Fail("the diary has no day that it opens");
    const QString name = QStringLiteral("leaving an edited %1 day (index + day file)%2")
                             .arg(Size_words(band, *pick), Nearest_words(band, *pick));
    Note_days(name, band, *pick);
    const QDate d = pick->days[0].date;
    Show_diary_day(form, d);
    const QByteArray year_folder = QFile::encodeName(folder + QString::number(d.year()));
    const QByteArray floor_day = year_folder + "/floor-day.txt";
    const QByteArray floor_index = year_folder + "/floor-index.txt";
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < samples; ++i) {
        Edit_end(form, i % 2 == 0);
        Main_form::Save_result result{};
        value.push_back(Timed_ms([&] { result = form.Save_day(Main_form::Who::User); }));
        if (result != Main_form::Save_result::Saved)
            Fail("the edited day was not saved");
        // The floor writes files of the sizes just written.
        const QByteArray day_bytes(QFileInfo(Day_path(folder, d)).size(), 'x');
        const QByteArray index_bytes(QFileInfo(Index_path(folder, d.year())).size(), 'x');
        floor.push_back(Timed_ms([&] {
            Floor_replace(year_folder, floor_index, index_bytes);
            Floor_replace(year_folder, floor_day, day_bytes);
        }));
    }
    // The day's text as it was before the first edit.
    if (samples % 2 == 1) {
        Edit_end(form, false);
        if (form.Save_day(Main_form::Who::User) != Main_form::Save_result::Saved)
            Fail("the edited day was not saved back");
    }
    ::unlink(floor_day.constData());
    ::unlink(floor_index.constData());
    Row(name, Median(value), Median(floor), "ms", 1.2);
}

// The same save with the day's history kept and without it, taking turns:
// what keeping the version replaced adds to leaving an edited day. The
// versions it keeps are removed afterwards.
void Bench_history_save(Main_form& form, const QString& folder, const std::vector<Diary_day>& days,
                        const Size_band& band, int samples)
{
    const auto pick = Pick_day(days, band);
    if (!pick)
        Fail("the diary has no day that it opens");
    const QString name =
        QStringLiteral("leaving an edited %1 day, history kept (against the same save without)%2")
            .arg(Size_words(band, *pick), Nearest_words(band, *pick));
    Note_days(name, band, *pick);
    const QDate d = pick->days[0].date;
    const QString history_folder = form.session.History().Day_folder(d.year(), d.month(), d.day());
    const QStringList kept_before = QDir(history_folder).entryList(QDir::Files);
    Show_diary_day(form, d);
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < samples; ++i) {
        // Each goes first in turn; the first save of a pair adds a
        // character, the second takes it away.
        const bool first = i % 2 == 0;
        for (const bool history : {first, !first}) {
            form.session.Set_keep_history(history);
            Edit_end(form, history == first);
            Main_form::Save_result result{};
            const double ms = Timed_ms([&] { result = form.Save_day(Main_form::Who::User); });
            if (result != Main_form::Save_result::Saved)
                Fail("the edited day was not saved");
            (history ? value : floor).push_back(ms);
        }
    }
    form.session.Set_keep_history(true);
    // Every pair added a character and took it away: the day is as it was.
    for (const QString& file : QDir(history_folder).entryList(QDir::Files)) {
        if (!kept_before.contains(file))
            QFile::remove(history_folder + QLatin1Char('/') + file);
    }
    if (kept_before.isEmpty())
        QDir(folder).rmpath(QDir(folder).relativeFilePath(history_folder));
    Row(name, Median(value), Median(floor), "ms", 1.2);
}

// The year a list is made of: the one asked for when its index lists
// something, else the nearest that does.
int List_year(const QString& folder, int wanted, const QString& row,
              const std::function<bool(const QString&)>& test)
{
    const auto pick = Pick_year(folder, wanted, test);
    if (!pick)
        Fail(qPrintable(QStringLiteral("no year's index has a record for \"%1\"").arg(row)));
    notes.append(pick->wanted ? QStringLiteral("%1: year %2, index records listed: %3")
                                    .arg(row)
                                    .arg(pick->year)
                                    .arg(pick->records)
                              : QStringLiteral("%1: nothing listed for %2, the nearest year: "
                                               "%3, index records listed: %4")
                                    .arg(row)
                                    .arg(wanted)
                                    .arg(pick->year)
                                    .arg(pick->records));
    return pick->year;
}

void Bench_memo_search(Main_form& form, const QString& folder, int wanted_year,
                       const QString& keyword, int samples)
{
    const QString name = keyword.isEmpty()
                             ? QStringLiteral("memo search, empty keyword (every record)")
                             : QStringLiteral("memo search 「%1」, one year").arg(keyword);
    const int year = List_year(folder, wanted_year, name,
                               [&](const QString& line) { return Keyword_test(line, keyword); });
    F_memo window(form.Host(), form.session, Reference_shower(form));
    window.Form_Load();
    window.show();
    window.Text1->setText(QString::number(year));
    window.Text2->setText(keyword);
    Settle();
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < samples; ++i) {
        value.push_back(Timed_ms([&] { window.Command3_Click(); }));
        floor.push_back(Timed_ms([&] {
            Floor_list(window.Grid1, Index_path(folder, year),
                       [&](const QString& line) { return line.contains(keyword); });
        }));
    }
    window.Command3_Click();
    if (window.Grid1->rowCount() < 3)
        Fail("the memo search found nothing");
    window.hide();
    Row(name, Median(value), Median(floor), "ms", 1.3);
}

void Bench_memory_days(Main_form& form, const QString& folder, int wanted_year, int samples)
{
    const QString name = QStringLiteral("memory-days list, one year");
    const int year = List_year(folder, wanted_year, name, Memory_test);
    F_omoide window(form.Host(), form.session, Reference_shower(form));
    window.Form_Load();
    window.show();
    window.Text1->setText(QString::number(year));
    Settle();
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < samples; ++i) {
        value.push_back(Timed_ms([&] { window.Text1_Change(); }));
        floor.push_back(Timed_ms([&] {
            Floor_list(window.Grid1, Index_path(folder, year),
                       [](const QString& line) { return line.size() > 10 && line.at(10) == u'1'; });
        }));
    }
    window.Text1_Change();
    if (window.Grid1->rowCount() < 3)
        Fail("the memory-days list is empty");
    window.hide();
    Row(name, Median(value), Median(floor), "ms", 1.3);
}

// The floor of the page of one date: each year's index and day file read
// and decoded, as plain files, without a window.
qint64 Floor_this_day(const QString& folder, int month, int day)
{
    qint64 characters = 0;
    const QString stem = QStringLiteral("/%1%2.txt")
                             .arg(month, 2, 10, QLatin1Char('0'))
                             .arg(day, 2, 10, QLatin1Char('0'));
    for (int year = First_year; year <= Last_year; ++year) {
        const QString year_folder = folder + QString::number(year);
        QByteArray bytes;
        bool exists = false;
        if (!Read_file_bytes(year_folder + QStringLiteral("/keyword.txt"), bytes, exists).Ok() ||
            !exists)
            continue;
        characters += Day_record_in(bytes, Diary_store::Date_key(year, month, day)).memo.size();
        if (Read_file_bytes(year_folder + stem, bytes, exists).Ok() && exists)
            characters += cp932::Decode_text(bytes).size();
    }
    return characters;
}

// The page of one date over every year of the diary, opened from the menu
// with the window hidden before (made once, beforehand), until it is
// painted.
void Bench_this_day(Main_form& form, const QString& folder, const QDate& date, int samples)
{
    const QString name =
        QStringLiteral("この日の百年, the page of %1/%2").arg(date.month()).arg(date.day());
    Show_diary_day(form, date);
    const auto first_start = Steady::now();
    form.Menu_years->trigger();
    Settle();
    const double first_open = Ms_since(first_start);
    Years_window* page = form.years_window;
    const int years = int(page->Years_shown().size());
    page->close();
    std::vector<double> value;
    std::vector<double> floor;
    qint64 sink = 0;
    for (int i = 0; i < samples; ++i) {
        value.push_back(Timed_ms([&] { form.Menu_years->trigger(); }));
        if (page->Years_shown().size() != years)
            Fail("the page changed between samples");
        page->close();
        Settle();
        floor.push_back(
            Timed_ms([&] { sink += Floor_this_day(folder, date.month(), date.day()); }));
    }
    const auto under = std::count_if(value.begin(), value.end(), [](double v) { return v < 30; });
    notes << QStringLiteral("%1: %2 years shown, %3 characters; first opening (the window made) "
                            "%4 ms; samples %5–%6 ms, under 30 ms in %7 of %8")
                 .arg(name)
                 .arg(years)
                 .arg(sink / samples)
                 .arg(first_open, 0, 'f', 1)
                 .arg(*std::min_element(value.begin(), value.end()), 0, 'f', 1)
                 .arg(*std::max_element(value.begin(), value.end()), 0, 'f', 1)
                 .arg(under)
                 .arg(samples);
    Row(name, Median(value), Median(floor), "ms", 0, 30);
}

// The program's generator, except that the wait phase always takes its
// longest road: the draw that sets its number of passes gives 1,999.
class Longest_wait final : public Random_generator {
public:
    explicit Longest_wait(Fortune_generator& generator) : real(generator) {}
    double Draw() override
    {
        const double u = real.Draw();
        if (wait_draw_next) {
            wait_draw_next = false;
            return 0.99995;
        }
        return u;
    }
    void Seed_from_clock(const QDateTime& now, quint64 tick) override
    {
        real.Seed_from_clock(now, tick);
        if (!seeded)
            wait_draw_next = seeded = true;
    }
    void Reseed(double x) override { real.Reseed(x); }

private:
    Fortune_generator& real;
    bool seeded = false;
    bool wait_draw_next = false;
};

class Timing_listener final : public Fortune_listener {
public:
    explicit Timing_listener(Platform& desktop) : platform(desktop) {}
    void Pass_events() override { platform.Process_events_once(); }
    void Wait_over() override { wait_ms = Ms_since(start); }
    void Luck_told(const QString&) override {}
    void Color_told(const QString&) override {}
    void Number_told(const QString&) override {}
    void Advice_told(const QString&) override {}
    bool Stop_requested() override
    {
        ++passes;
        return false;
    }
    Platform& platform;
    Steady::time_point start;
    double wait_ms = 0;
    int passes = 0;
};

void Bench_fortune(Main_form& form, const std::vector<Diary_day>& days, const Size_band& band,
                   int samples)
{
    const auto pick = Pick_day(days, band);
    if (!pick)
        Fail("the diary has no day that it opens");
    const QString text =
        QStringLiteral("%1 text%2").arg(Size_words(band, *pick), Nearest_words(band, *pick));
    Note_days(QStringLiteral("fortune, %1").arg(text), band, *pick);
    Show_diary_day(form, pick->days[0].date);
    constexpr int Passes = 1999;
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < samples; ++i) {
        Longest_wait generator(form.session.fortune_generator);
        Timing_listener listener(form.platform);
        Settle();
        listener.start = Steady::now();
        // As the fortune window does: the text's length once per drawing.
        const qint32 text_length = Fortune_text_length(form.Text2->toPlainText());
        const auto busy = form.platform.Busy_pointer();
        Draw_fortune(
            form.session.Time(), generator, [text_length] { return text_length; }, listener);
        if (listener.passes != Passes)
            Fail("the wait phase did not take its longest road");
        value.push_back(listener.wait_ms);
        // What a pass cannot do without: keep the window responsive, read
        // the clock and the length of the text.
        Settle();
        const auto start = Steady::now();
        qint64 sink = 0;
        for (int pass = 0; pass < Passes; ++pass) {
            sink += QDateTime::currentDateTime().time().second();
            sink += form.Text2->document()->characterCount();
            QCoreApplication::processEvents();
        }
        floor.push_back(Ms_since(start));
        if (sink == 42)
            std::printf(" ");
    }
    const double wait = Median(value);
    const double wait_floor = Median(floor);
    Row(QStringLiteral("fortune, one wait pass, %1").arg(text), wait / Passes * 1000,
        wait_floor / Passes * 1000, "µs", 0);
    Row(QStringLiteral("fortune, longest wait phase (1,999 passes), %1").arg(text), wait,
        wait_floor, "ms", 0);
}

// The value of a size option, or the usage error.
// Types the text into the field key by key, each key's events handled
// before the next, as a typist's would be.
void Type_keys(QWidget* field, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(field, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(field, &release);
        QCoreApplication::processEvents();
    }
}

// Typing 1,000 characters into today's text with the recovery record kept
// against the same typing without it, taking turns. delay_ms is the pause
// after the last key before the record is written: the program's 2 s, and
// 0, a record after every key.
void Bench_typing(Main_form& form, const QString& state_folder, int delay_ms, int samples)
{
    QString typed;
    const QString words = QStringLiteral("今日は朝から雨が降っていたので、家で本を読んだ。");
    while (typed.size() < 1000)
        typed += words;
    typed.truncate(1000);
    const QString before = form.Text2->toPlainText();
    std::vector<double> value;
    std::vector<double> floor;
    auto type = [&] {
        form.Text2->moveCursor(QTextCursor::End);
        return Timed_ms([&] { Type_keys(form.Text2, typed); });
    };
    auto with_record = [&] {
        Recovery_control recovery(form, state_folder);
        recovery.Set_delay(delay_ms);
        value.push_back(type());
        form.Text2->setPlainText(before);
        Settle();
    };
    auto without = [&] {
        floor.push_back(type());
        form.Text2->setPlainText(before);
        Settle();
    };
    // Each goes first every other sample.
    for (int i = 0; i < samples; ++i) {
        if (i % 2 == 0) {
            with_record();
            without();
        } else {
            without();
            with_record();
        }
    }
    // The program's pause has a goal; a record after every key only shows
    // what the writes themselves cost the typing.
    Row(QStringLiteral("typing 1,000 characters, recovery record %1 after the last key")
            .arg(delay_ms == 0 ? QStringLiteral("at once") : QStringLiteral("%1 ms").arg(delay_ms)),
        Median(value), Median(floor), "ms", delay_ms == 0 ? 0 : 1.05);
}

std::vector<Size_band> Bands_of(QCommandLineParser& parser, const QCommandLineOption& option,
                                const QString& fallback)
{
    const QString text = parser.isSet(option) ? parser.value(option) : fallback;
    const auto bands = Parse_size_bands(text);
    if (!bands) {
        std::fprintf(stderr, "bench_steps: --%s: \"%s\" is not a list of sizes\n",
                     qPrintable(option.names().constFirst()), qPrintable(text));
        std::exit(2);
    }
    return *bands;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The in-process benchmarks: value against floor, one table row each."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("Program folder (written into: give it a copy)."));
    const QCommandLineOption samples_option(
        QStringLiteral("samples"), QStringLiteral("Samples of each benchmark, at least 3 (41)."),
        QStringLiteral("n"), QStringLiteral("41"));
    const QCommandLineOption only_option(
        QStringLiteral("only"),
        QStringLiteral(
            "Benchmarks to run, of step,save,search,years,fortune,backup,fulltext,typing (all)."),
        QStringLiteral("names"),
        QStringLiteral("step,save,search,years,fortune,backup,fulltext,typing"));
    const QCommandLineOption recovery_option(
        QStringLiteral("recovery"),
        QStringLiteral("The recovery record kept while the others run, on or off (on)."),
        QStringLiteral("on|off"), QStringLiteral("on"));
    const QString default_sizes = QStringLiteral("1500-2600,26000-32000");
    const QCommandLineOption sizes_option(
        QStringLiteral("sizes"),
        QStringLiteral("Day file sizes in bytes, SIZE or LOW-HIGH, for step, save and "
                       "fortune, one row each (1500-2600,26000-32000)."),
        QStringLiteral("bands"), default_sizes);
    const QCommandLineOption step_sizes_option(
        QStringLiteral("step-sizes"), QStringLiteral("Sizes of the neighbouring days (--sizes)."),
        QStringLiteral("bands"));
    const QCommandLineOption save_sizes_option(QStringLiteral("save-sizes"),
                                               QStringLiteral("Sizes of the edited day (--sizes)."),
                                               QStringLiteral("bands"));
    const QCommandLineOption fortune_sizes_option(
        QStringLiteral("fortune-sizes"),
        QStringLiteral("Sizes of the day under the fortune (--sizes)."), QStringLiteral("bands"));
    const QCommandLineOption word_option(
        QStringLiteral("word"),
        QStringLiteral("A memo search word, once per row; \"\" for the empty keyword "
                       "(散歩 and \"\")."),
        QStringLiteral("word"));
    const QCommandLineOption year_option(QStringLiteral("year"),
                                         QStringLiteral("Year of the search lists (this year)."),
                                         QStringLiteral("yyyy"));
    parser.addOptions({samples_option, only_option, sizes_option, step_sizes_option,
                       save_sizes_option, fortune_sizes_option, word_option, year_option,
                       recovery_option});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    const QString folder =
        QDir(parser.positionalArguments().constFirst()).absolutePath() + QLatin1Char('/');
    bool number_ok = false;
    const int samples = std::max(3, parser.value(samples_option).toInt(&number_ok));
    if (!number_ok)
        parser.showHelp(2);
    const QStringList only = parser.value(only_option).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QString sizes = parser.value(sizes_option);
    const auto step_sizes = Bands_of(parser, step_sizes_option, sizes);
    const auto save_sizes = Bands_of(parser, save_sizes_option, sizes);
    const auto fortune_sizes = Bands_of(parser, fortune_sizes_option, sizes);
    const QStringList words = parser.isSet(word_option)
                                  ? parser.values(word_option)
                                  : QStringList{QStringLiteral("散歩"), QString()};
    const int year = parser.isSet(year_option) ? parser.value(year_option).toInt(&number_ok)
                                               : QDate::currentDate().year();
    if (!number_ok)
        parser.showHelp(2);

    Event_counter counter;
    event_counter = &counter;
    app.installEventFilter(&counter);

    Real_platform platform;
    Real_clock clock;
    Main_form form(platform, clock, folder);
    if (!Start_and_show(form))
        Fail("start-up failed");
    Settle();
    // The records go to a folder of their own, removed at the end.
    QTemporaryDir state_folder;
    if (!state_folder.isValid())
        Fail("no folder for the recovery records");
    std::unique_ptr<Recovery_control> recovery;
    if (parser.value(recovery_option) != QLatin1String("off"))
        recovery = std::make_unique<Recovery_control>(form, state_folder.path());

    const std::vector<Diary_day> days = Openable_days(folder);
    const struct {
        const char* name;
        std::function<void()> run;
    } benchmarks[] = {
        {"step",
         [&] {
             for (const Size_band& band : step_sizes)
                 Bench_step(form, folder, days, band, samples);
         }},
        {"save",
         [&] {
             for (const Size_band& band : save_sizes)
                 Bench_save(form, folder, days, band, samples);
             for (const Size_band& band : save_sizes)
                 Bench_history_save(form, folder, days, band, samples);
         }},
        {"search",
         [&] {
             for (const QString& word : words)
                 Bench_memo_search(form, folder, year, word, samples);
             Bench_memory_days(form, folder, year, samples);
         }},
        {"years", [&] { Bench_this_day(form, folder, QDate::currentDate(), samples); }},
        {"backup",
         [&] {
             QTemporaryDir backup_folder;
             if (!backup_folder.isValid())
                 Fail("no folder for the backups");
             const QString into = backup_folder.path() + QLatin1Char('/');
             Bench_backup(folder, into, std::max(3, samples / 8));
             // As the main window runs it: its end delivered on this thread.
             QObject context;
             Background_job<Backup_outcome> job(&context);
             const Background_work busy{QStringLiteral(" while a backup runs"),
                                        QStringLiteral("backups"), [&job] { return job.Running(); },
                                        [&] {
                                            job.Start([folder, into](const Job_control& control) {
                                                return Write_backup(folder, into,
                                                                    QDate::currentDate(),
                                                                    control.Cancel_flag());
                                            });
                                        },
                                        [&job] { job.Cancel(); }};
             for (const Size_band& band : step_sizes)
                 Bench_step(form, folder, days, band, samples, &busy);
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
                     index = std::make_unique<Fulltext_index>(folder, cache.path(), Fold_options{});
                 },
                 [&index] { index.reset(); }};
             for (const Size_band& band : step_sizes)
                 Bench_step(form, folder, days, band, samples, &busy);
         }},
        {"typing",
         [&] {
             // Its own records on and off: none kept around it.
             const bool kept = recovery != nullptr;
             recovery.reset();
             Bench_typing(form, state_folder.path(), 2000, samples);
             Bench_typing(form, state_folder.path(), 0, samples);
             if (kept)
                 recovery = std::make_unique<Recovery_control>(form, state_folder.path());
         }},
        {"fortune",
         [&] {
             for (const Size_band& band : fortune_sizes)
                 Bench_fortune(form, days, band, std::max(3, samples / 4));
         }},
    };
    for (const QString& name : only) {
        if (std::none_of(std::begin(benchmarks), std::end(benchmarks),
                         [&](const auto& b) { return name == QLatin1String(b.name); })) {
            std::fprintf(stderr, "bench_steps: no benchmark \"%s\"\n", qPrintable(name));
            return 2;
        }
    }
    for (const auto& b : benchmarks) {
        if (only.contains(QLatin1String(b.name)))
            b.run();
    }
    if (!notes.isEmpty()) {
        std::printf("\nDays and years measured:\n");
        for (const QString& note : notes)
            std::printf("- %s\n", qPrintable(note));
    }
    // Ends without the ending's saves: nothing more is written.
    recovery.reset();
    return 0;
}

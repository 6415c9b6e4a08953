#include "bench/step_benchmarks.h"

#include "app/main_form.h"
#include "app/recovery_control.h"
#include "bench/harness.h"
#include "bench/step_floors.h"
#include "dialogs/f_memo.h"
#include "dialogs/f_omoide.h"
#include "dialogs/years_window.h"
#include "diary/backup.h"
#include "fortune/draw_fortune.h"
#include "platform/background_job.h"
#include "store/day_list.h"
#include "support/main_form_probe.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

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
    Notes().append(pick.in_band ? QStringLiteral("%1: %2").arg(row, days.join(QStringLiteral(", ")))
                                : QStringLiteral("%1: no %2 of %3-%4 bytes, the nearest: %5")
                                      .arg(row, what)
                                      .arg(band.low)
                                      .arg(band.high)
                                      .arg(days.join(QStringLiteral(", "))));
}

// The diary panel to a day without saving or timing anything.
void Show_diary_day(Main_form& form, const QDate& d)
{
    Probe(form).scroll_lock = Main_form_probe::Scroll_lock::On;
    Controls_of(form).VScroll1->setValue(d.year());
    Controls_of(form).Text3->setText(QString::number(d.year()));
    Controls_of(form).VScroll2->setValue(d.month());
    Controls_of(form).Text4->setText(QString::number(d.month()));
    Controls_of(form).VScroll3->setValue(d.day());
    Controls_of(form).Text5->setText(QString::number(d.day()));
    Probe(form).scroll_lock = Main_form_probe::Scroll_lock::Off;
    Probe(form).Load_diary_day(d.year(), d.month(), d.day());
    Settle();
}

// What the search windows get to show a recalled day, as the main window
// gives it.
Show_day Reference_shower(Main_form& form)
{
    return
        [&form](int year, int month, int day) { Probe(form).Show_reference_day(year, month, day); };
}

// An edit that the save must write: one character added at the end of the
// text, or taken away again.
void Edit_end(Main_form& form, bool add)
{
    QTextCursor cursor(Controls_of(form).Text2->document());
    cursor.movePosition(QTextCursor::End);
    if (add)
        cursor.insertText(QStringLiteral("。"));
    else
        cursor.deletePreviousChar();
    Settle();
}

// The year a list is made of: the one asked for when its index lists
// something, else the nearest that does.
int List_year(const QString& folder, int wanted, const QString& row,
              const std::function<bool(const QString&)>& test)
{
    const auto pick = Pick_year(folder, wanted, test);
    if (!pick)
        Fail(qPrintable(QStringLiteral("no year's index has a record for \"%1\"").arg(row)));
    Notes().append(pick->wanted ? QStringLiteral("%1: year %2, index records listed: %3")
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

}  // namespace

void Bench_step(Main_form& form, const QString& folder, const std::vector<Diary_day>& days,
                const Size_band& band, int samples, const Background_work* busy)
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
    // The controls are found once, outside the timed steps.
    const Main_form_controls controls = Controls_of(form);
    for (int i = 0; i < samples; ++i) {
        // The panel shows a; a step to b and back, then the floor's loads of
        // b and of a, each from the panel showing the other day.
        keep_busy();
        value.push_back(Timed_ms([&] { controls.VScroll3->setValue(b.day()); }));
        keep_busy();
        value.push_back(Timed_ms([&] { controls.VScroll3->setValue(a.day()); }));
        keep_busy();
        floor.push_back(Timed_ms([&] { Floor_load(controls, folder, b); }));
        keep_busy();
        floor.push_back(Timed_ms([&] { Floor_load(controls, folder, a); }));
    }
    if (Controls_of(form).Text5->text() != QString::number(a.day()))
        Fail("the day spinner did not move the panel");
    if (busy) {
        busy->cancel();
        Notes() << QStringLiteral("%1: %2 started: %3; steps begun while one ran: %4 of %5")
                       .arg(name, busy->started_what)
                       .arg(backups)
                       .arg(busy_samples)
                       .arg(samples * 4);
    }
    Row(name, Median(value), Median(floor), "ms", 1.3);
}

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
    Notes() << QStringLiteral("backup of the whole diary: %1 files, archive %2 bytes, %3 runs")
                   .arg(last.files)
                   .arg(QFileInfo(last.path).size())
                   .arg(runs);
    Row(QStringLiteral("backup of the whole diary, in the background"), Median(value),
        Median(floor), "ms", 0);
}

void Bench_save(Main_form& form, const QString& folder, const std::vector<Diary_day>& days,
                const Size_band& band, int samples, bool memo_too)
{
    const auto pick = Pick_day(days, band);
    if (!pick)
        Fail("the diary has no day that it opens");
    // An edit of the text alone leaves the index as it is; one of the memo
    // as well writes both files.
    const QString name = QStringLiteral("leaving an edited %1 day%2 (index + day file)%3")
                             .arg(Size_words(band, *pick),
                                  memo_too ? QStringLiteral(", memo edited too") : QString(),
                                  Nearest_words(band, *pick));
    Note_days(name, band, *pick);
    const QDate d = pick->days[0].date;
    Show_diary_day(form, d);
    const QByteArray year_folder = QFile::encodeName(folder + QString::number(d.year()));
    const QByteArray floor_day = year_folder + "/floor-day.txt";
    const QByteArray floor_index = year_folder + "/floor-index.txt";
    std::vector<double> value;
    std::vector<double> floor;
    QLineEdit* const memo = Controls_of(form).Text6;
    const QString memo_before = memo->text();
    // Each save keeps the version it replaces; those are removed afterwards,
    // so that a second run lists the day's history as the first did.
    const QString history_folder =
        form.Session().History().Day_folder(d.year(), d.month(), d.day());
    const QStringList kept_before = QDir(history_folder).entryList(QDir::Files);
    for (int i = 0; i < samples; ++i) {
        if (memo_too)
            memo->setText(i % 2 == 0 ? memo_before + QStringLiteral("。") : memo_before);
        Edit_end(form, i % 2 == 0);
        Main_form::Save_result result{};
        value.push_back(Timed_ms([&] { result = Probe(form).Save_day(Main_form::Who::User); }));
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
        memo->setText(memo_before);
        Edit_end(form, false);
        if (Probe(form).Save_day(Main_form::Who::User) != Main_form::Save_result::Saved)
            Fail("the edited day was not saved back");
    }
    ::unlink(floor_day.constData());
    ::unlink(floor_index.constData());
    for (const QString& file : QDir(history_folder).entryList(QDir::Files)) {
        if (!kept_before.contains(file))
            QFile::remove(history_folder + QLatin1Char('/') + file);
    }
    if (kept_before.isEmpty())
        QDir(folder).rmpath(QDir(folder).relativeFilePath(history_folder));
    Row(name, Median(value), Median(floor), "ms", 1.2);
}

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
    const QString history_folder =
        form.Session().History().Day_folder(d.year(), d.month(), d.day());
    const QStringList kept_before = QDir(history_folder).entryList(QDir::Files);
    Show_diary_day(form, d);
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < samples; ++i) {
        // Each goes first in turn; the first save of a pair adds a
        // character, the second takes it away.
        const bool first = i % 2 == 0;
        for (const bool history : {first, !first}) {
            form.Session().Set_keep_history(history);
            Edit_end(form, history == first);
            Main_form::Save_result result{};
            const double ms =
                Timed_ms([&] { result = Probe(form).Save_day(Main_form::Who::User); });
            if (result != Main_form::Save_result::Saved)
                Fail("the edited day was not saved");
            (history ? value : floor).push_back(ms);
        }
    }
    form.Session().Set_keep_history(true);
    // Every pair added a character and took it away: the day is as it was.
    for (const QString& file : QDir(history_folder).entryList(QDir::Files)) {
        if (!kept_before.contains(file))
            QFile::remove(history_folder + QLatin1Char('/') + file);
    }
    if (kept_before.isEmpty())
        QDir(folder).rmpath(QDir(folder).relativeFilePath(history_folder));
    Row(name, Median(value), Median(floor), "ms", 1.2);
}

void Bench_memo_search(Main_form& form, const QString& folder, int wanted_year,
                       const QString& keyword, int samples)
{
    const QString name = keyword.isEmpty()
                             ? QStringLiteral("memo search, empty keyword (every record)")
                             : QStringLiteral("memo search 「%1」, one year").arg(keyword);
    const int year = List_year(folder, wanted_year, name,
                               [&](const QString& line) { return Keyword_test(line, keyword); });
    F_memo window(form.Host(), form.Session(), Reference_shower(form));
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
    F_omoide window(form.Host(), form.Session(), Reference_shower(form));
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

void Bench_this_day(Main_form& form, const QString& folder, const QDate& date, int samples)
{
    const QString name =
        QStringLiteral("この日の百年, the page of %1/%2").arg(date.month()).arg(date.day());
    Show_diary_day(form, date);
    const auto first_start = Steady::now();
    Controls_of(form).Menu_years->trigger();
    Settle();
    const double first_open = Ms_since(first_start);
    Years_window* page = Probe(form).years_window;
    const int years = int(page->Years_shown().size());
    page->close();
    std::vector<double> value;
    std::vector<double> floor;
    qint64 sink = 0;
    for (int i = 0; i < samples; ++i) {
        value.push_back(Timed_ms([&] { Controls_of(form).Menu_years->trigger(); }));
        if (page->Years_shown().size() != years)
            Fail("the page changed between samples");
        page->close();
        Settle();
        floor.push_back(
            Timed_ms([&] { sink += Floor_this_day(folder, date.month(), date.day()); }));
    }
    const auto under = std::count_if(value.begin(), value.end(), [](double v) { return v < 30; });
    Notes() << QStringLiteral("%1: %2 years shown, %3 characters; first opening (the window made) "
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
        Longest_wait generator(Probe(form).fortune_generator);
        Timing_listener listener(Probe(form).platform);
        Settle();
        listener.start = Steady::now();
        // As the fortune window does: the text's length once per drawing.
        const qint32 text_length = Fortune_text_length(Controls_of(form).Text2->toPlainText());
        const auto busy = Probe(form).platform.Busy_pointer();
        Draw_fortune(
            form.Session().Time(), generator, [text_length] { return text_length; }, listener);
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
            sink += Controls_of(form).Text2->document()->characterCount();
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

void Bench_typing(Main_form& form, const QString& state_folder, int delay_ms, int samples)
{
    QString typed;
    const QString words = QStringLiteral("今日は朝から雨が降っていたので、家で本を読んだ。");
    while (typed.size() < 1000)
        typed += words;
    typed.truncate(1000);
    const QString before = Controls_of(form).Text2->toPlainText();
    std::vector<double> value;
    std::vector<double> floor;
    auto type = [&] {
        Controls_of(form).Text2->moveCursor(QTextCursor::End);
        return Timed_ms([&] { Type_keys(Controls_of(form).Text2, typed); });
    };
    auto with_record = [&] {
        Recovery_control recovery(form, state_folder);
        recovery.Set_delay(delay_ms);
        value.push_back(type());
        Controls_of(form).Text2->setPlainText(before);
        Settle();
    };
    auto without = [&] {
        floor.push_back(type());
        Controls_of(form).Text2->setPlainText(before);
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

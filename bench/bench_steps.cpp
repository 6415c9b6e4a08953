// The benchmarks that run inside one process: each of the diary's own
// actions against a floor that does only the work nobody can avoid, with
// the same widgets, in the same run, taking turns sample by sample so that
// a change in the machine's load falls on both alike. Prints one table row
// per benchmark: median value, median floor, their ratio, the goal.
//
//   bench_steps <program folder made by make_diary> [samples [step|save|search|fortune]]
//
// It writes into the folder (the edited-day saves), so it runs after the
// start-up benchmarks on the same folder.

#include "app/main_form.h"
#include "dialogs/f_memo.h"
#include "dialogs/f_omoide.h"
#include "fortune/draw_fortune.h"
#include "platform/clock_real.h"
#include "platform/cp932.h"
#include "platform/platform_real.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>
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

void Row(const char* name, double value, double floor, const char* unit, double goal)
{
    const double ratio = value / floor;
    const char* verdict = goal <= 0 ? "—" : ratio <= goal ? "met" : "MISSED";
    char goal_text[32] = "—";
    if (goal > 0)
        std::snprintf(goal_text, sizeof goal_text, "≤ %.2f ×", goal);
    std::printf("| %s | %.3f %s | %.3f %s | %.2f × | %s | %s |\n", name, value, unit, floor, unit,
                ratio, goal_text, verdict);
    std::fflush(stdout);
}

// ---- the days the benchmarks use ----

struct Day {
    int year = 0;
    int month = 0;
    int day = 0;
};

QString Day_path(const QString& folder, const Day& d)
{
    return folder + QStringLiteral("%1/%2%3.txt")
                        .arg(d.year, 4, 10, QLatin1Char('0'))
                        .arg(d.month, 2, 10, QLatin1Char('0'))
                        .arg(d.day, 2, 10, QLatin1Char('0'));
}

QString Index_path(const QString& folder, int year)
{
    return folder + QStringLiteral("%1/keyword.txt").arg(year, 4, 10, QLatin1Char('0'));
}

bool In_band(const QString& folder, const Day& d, qint64 low, qint64 high)
{
    const QFileInfo info(Day_path(folder, d));
    return info.exists() && info.size() >= low && info.size() <= high;
}

// Two neighbouring days of one month whose files both lie in the band.
std::optional<std::pair<Day, Day>> Neighbours_in_band(const QString& folder, qint64 low,
                                                      qint64 high)
{
    for (int year = 1990; year <= 2100; ++year) {
        if (!QFileInfo::exists(Index_path(folder, year)))
            continue;
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day < 28; ++day) {
                const Day a{year, month, day};
                const Day b{year, month, day + 1};
                if (In_band(folder, a, low, high) && In_band(folder, b, low, high))
                    return std::make_pair(a, b);
            }
        }
    }
    return std::nullopt;
}

// The diary panel to a day without saving or timing anything.
void Show_diary_day(Main_form& form, const Day& d)
{
    form.state.scroll_lock = QStringLiteral("on");
    form.VScroll1->setValue(d.year);
    form.Text3->setText(QString::number(d.year));
    form.VScroll2->setValue(d.month);
    form.Text4->setText(QString::number(d.month));
    form.VScroll3->setValue(d.day);
    form.Text5->setText(QString::number(d.day));
    form.state.scroll_lock = QStringLiteral("off");
    form.Load_diary_day(d.year, d.month, d.day);
    Settle();
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
void Floor_load(Main_form& form, const QString& folder, const Day& d)
{
    QByteArray bytes = Read_all(Day_path(folder, d));
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    form.Text2->setPlainText(
        cp932::Decode_text(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    const QByteArray index = Read_all(Index_path(folder, d.year));
    const QByteArray key = QStringLiteral("%1/%2/%3")
                               .arg(d.year, 4, 10, QLatin1Char('0'))
                               .arg(d.month, 2, 10, QLatin1Char('0'))
                               .arg(d.day, 2, 10, QLatin1Char('0'))
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

void Bench_step(Main_form& form, const QString& folder, const char* name, qint64 low, qint64 high,
                int samples)
{
    const auto pair = Neighbours_in_band(folder, low, high);
    if (!pair)
        Fail("no two neighbouring days of the size asked for");
    const auto [a, b] = *pair;
    Show_diary_day(form, a);
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < samples; ++i) {
        // The panel shows a; a step to b and back, then the floor's loads of
        // b and of a, each from the panel showing the other day.
        value.push_back(Timed_ms([&] { form.VScroll3->setValue(b.day); }));
        value.push_back(Timed_ms([&] { form.VScroll3->setValue(a.day); }));
        floor.push_back(Timed_ms([&] { Floor_load(form, folder, b); }));
        floor.push_back(Timed_ms([&] { Floor_load(form, folder, a); }));
    }
    if (form.Text5->text() != QString::number(a.day))
        Fail("the day spinner did not move the panel");
    Row(name, Median(value), Median(floor), "ms", 1.3);
}

void Bench_save(Main_form& form, const QString& folder, const char* name, qint64 low, qint64 high,
                int samples)
{
    const auto pair = Neighbours_in_band(folder, low, high);
    if (!pair)
        Fail("no day of the size asked for");
    const Day d = pair->first;
    Show_diary_day(form, d);
    const QByteArray year_folder = QFile::encodeName(folder + QString::number(d.year));
    const QByteArray floor_day = year_folder + "/floor-day.txt";
    const QByteArray floor_index = year_folder + "/floor-index.txt";
    std::vector<double> value;
    std::vector<double> floor;
    for (int i = 0; i < samples; ++i) {
        // An edit that the save must write: one character added, or taken
        // away again.
        QTextCursor cursor(form.Text2->document());
        cursor.movePosition(QTextCursor::End);
        if (i % 2 == 0)
            cursor.insertText(QStringLiteral("。"));
        else
            cursor.deletePreviousChar();
        Settle();
        Main_form::Save_result result{};
        value.push_back(Timed_ms([&] { result = form.Save_day(Main_form::Who::User); }));
        if (result != Main_form::Save_result::Saved)
            Fail("the edited day was not saved");
        // The floor writes files of the sizes just written.
        const QByteArray day_bytes(QFileInfo(Day_path(folder, d)).size(), 'x');
        const QByteArray index_bytes(QFileInfo(Index_path(folder, d.year)).size(), 'x');
        floor.push_back(Timed_ms([&] {
            Floor_replace(year_folder, floor_index, index_bytes);
            Floor_replace(year_folder, floor_day, day_bytes);
        }));
    }
    ::unlink(floor_day.constData());
    ::unlink(floor_index.constData());
    Row(name, Median(value), Median(floor), "ms", 1.2);
}

void Bench_memo_search(Main_form& form, const QString& folder, int year, const QString& keyword,
                       const char* name, int samples)
{
    F_memo window(form);
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

void Bench_memory_days(Main_form& form, const QString& folder, int year, int samples)
{
    F_omoide window(form);
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
    Row("memory-days list, one year", Median(value), Median(floor), "ms", 1.3);
}

// The program's generator, except that the wait phase always takes its
// longest road: the draw that sets its number of passes gives 1,999.
class Longest_wait final : public Random_generator {
public:
    explicit Longest_wait(Fortune_generator& real) : real(real) {}
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

void Bench_fortune(Main_form& form, const QString& folder, const char* name, qint64 low,
                   qint64 high, int samples)
{
    const auto pair = Neighbours_in_band(folder, low, high);
    if (!pair)
        Fail("no day of the size asked for");
    Show_diary_day(form, pair->first);
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
            form.clock, generator, [text_length] { return text_length; }, listener);
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
    char per_pass[96];
    std::snprintf(per_pass, sizeof per_pass, "fortune, one wait pass, %s", name);
    Row(per_pass, wait / Passes * 1000, wait_floor / Passes * 1000, "µs", 0);
    std::snprintf(per_pass, sizeof per_pass, "fortune, longest wait phase (1,999 passes), %s",
                  name);
    Row(per_pass, wait, wait_floor, "ms", 0);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr,
                     "usage: bench_steps <program folder> [samples [step|save|search|fortune]]\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    const int samples = argc >= 3 ? std::max(3, std::atoi(argv[2])) : 41;
    const QString only = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();

    Event_counter counter;
    event_counter = &counter;
    app.installEventFilter(&counter);

    Real_platform platform;
    Real_clock clock;
    Main_form form(platform, clock, folder);
    if (!form.Form_Load())
        Fail("start-up failed");
    form.Show_window();
    for (int i = 0; i < 50 && !(form.windowHandle() && form.windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    Settle();

    const int year = QDate::currentDate().year();
    const struct {
        const char* name;
        std::function<void()> run;
    } benchmarks[] = {
        {"step",
         [&] {
             Bench_step(form, folder, "day spinner step, ~2 kB days", 1500, 2600, samples);
             Bench_step(form, folder, "day spinner step, ~30 kB days", 26000, 32000, samples);
         }},
        {"save",
         [&] {
             Bench_save(form, folder, "leaving an edited ~2 kB day (index + day file)", 1500, 2600,
                        samples);
             Bench_save(form, folder, "leaving an edited ~30 kB day (index + day file)", 26000,
                        32000, samples);
         }},
        {"search",
         [&] {
             Bench_memo_search(form, folder, year, QStringLiteral("散歩"),
                               "memo search 「散歩」, one year", samples);
             Bench_memo_search(form, folder, year, QString(),
                               "memo search, empty keyword (every record)", samples);
             Bench_memory_days(form, folder, year, samples);
         }},
        {"fortune",
         [&] {
             Bench_fortune(form, folder, "~2 kB text", 1500, 2600, std::max(3, samples / 4));
             Bench_fortune(form, folder, "~30 kB text", 26000, 32000, std::max(3, samples / 4));
         }},
    };
    for (const auto& b : benchmarks) {
        if (only.isEmpty() || only == QLatin1String(b.name))
            b.run();
    }
    // Ends without the ending's saves: nothing more is written.
    return 0;
}

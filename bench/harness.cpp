#include "bench/harness.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Counts the events the application delivers.
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

}  // namespace

double Ms_since(Steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Spread Spread_of(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.front(), samples.back()};
}

QString Min_max_words(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return QStringLiteral("min %1, max %2").arg(v.front(), 0, 'f', 1).arg(v.back(), 0, 'f', 1);
}

void Fail(const char* what)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), what);
    std::exit(1);
}

void Count_events(QCoreApplication& app)
{
    static Event_counter counter;
    event_counter = &counter;
    app.installEventFilter(&counter);
}

void Settle()
{
    for (int pass = 0; pass < 8; ++pass) {
        const long before = event_counter->count;
        QCoreApplication::processEvents();
        if (event_counter->count == before)
            return;
    }
}

void Pass_events(int passes)
{
    for (int pass = 0; pass < passes; ++pass)
        QCoreApplication::processEvents();
}

double Timed_ms(const std::function<void()>& step)
{
    Settle();
    const auto start = Steady::now();
    step();
    Settle();
    return Ms_since(start);
}

void Row(const QString& name, double value, double floor, const char* unit, double goal,
         double limit)
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

void Bound_row(const QString& name, double value, double floor, const char* unit, double goal,
               const std::vector<double>& values)
{
    const int met =
        int(std::count_if(values.begin(), values.end(), [goal](double v) { return v <= goal; }));
    std::printf("| %s | %.1f %s | %.1f %s | %.2f × | ≤ %.0f %s | %s |\n", qPrintable(name), value,
                unit, floor, unit, value / floor, goal, unit, value <= goal ? "met" : "MISSED");
    Notes() << QStringLiteral("%1: %2 samples, %3 %4; goal met by %5 of %2")
                   .arg(name)
                   .arg(values.size())
                   .arg(Min_max_words(values), QLatin1String(unit))
                   .arg(met);
    std::fflush(stdout);
}

QStringList& Notes()
{
    static QStringList notes;
    return notes;
}

void Print_notes(const char* heading)
{
    if (Notes().isEmpty())
        return;
    std::printf("\n%s\n", heading);
    for (const QString& note : Notes())
        std::printf("- %s\n", qPrintable(note));
}

#pragma once
// What every benchmark program shares: the clock and the medians, waiting
// for the window to settle before and after a timed step, the table's rows
// and the lines printed under the table, and the end of a run that cannot
// go on. Nothing here measures anything by itself.

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <vector>

class QCoreApplication;

using Steady = std::chrono::steady_clock;

double Ms_since(Steady::time_point start);

double Median(std::vector<double> v);

// The median of samples with the fastest and the slowest.
struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};
Spread Spread_of(std::vector<double> samples);

// "min 1.2, max 3.4"
QString Min_max_words(std::vector<double> v);

// Prints "<program>: what" and ends the run.
[[noreturn]] void Fail(const char* what);

// Settle() counts the events the application delivers from here on, so
// that it knows when nothing is left to do.
void Count_events(QCoreApplication& app);
// Runs pending events until a pass delivers none (at most 8 passes): a
// widget's delayed layout posts the repaint that follows it, so one pass is
// not enough. Needs Count_events.
void Settle();
// Runs pending events the given number of times, whatever they are.
void Pass_events(int passes);

// The step timed with the delayed layout and the repaint of what changed:
// settled before and after.
double Timed_ms(const std::function<void()>& step);

// A table row of value against floor, to three decimals. goal is a ratio to
// the floor; limit, when given, a bound on the value itself instead.
void Row(const QString& name, double value, double floor, const char* unit, double goal,
         double limit = 0);
// A table row of value against floor, to one decimal, whose goal is a bound
// on the value; the samples' spread and how many met the goal go into the
// notes.
void Bound_row(const QString& name, double value, double floor, const char* unit, double goal,
               const std::vector<double>& values);

// The lines printed under the table, in the order they were added.
QStringList& Notes();
// "\n<heading>\n- note\n- note ...", nothing when there are none.
void Print_notes(const char* heading);

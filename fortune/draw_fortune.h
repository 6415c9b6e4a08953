#pragma once
// The drawing of tomorrow's fortune: a wait phase that keeps the window
// responsive, then the luck, the colour, the number and the advice, each
// reported the moment it is known.
//
// The inputs are read afresh at every seed: L, the length of the diary text
// (UTF-16 code units, each line break counted as two, as CR and LF), D, the
// date as a serial day number, and T, the time of day as a fraction of a
// day. The seeds are L x D and L x T.

#include "fortune/generator.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <functional>

class Clock;

// Receives the drawing's reports, in this order: Wait_over, Luck_told,
// Color_told, Number_told, Advice_told. During the wait phase it also runs
// the pending events: Pass_events then Stop_requested, once per pass.
class Fortune_listener {
public:
    virtual ~Fortune_listener() = default;
    // One pass of pending events, so that the window stays responsive. The
    // only time events run during the drawing.
    virtual void Pass_events() = 0;
    virtual void Wait_over() = 0;
    virtual void Luck_told(const QString& luck) = 0;
    virtual void Color_told(const QString& color) = 0;
    virtual void Number_told(const QString& number) = 0;
    virtual void Advice_told(const QString& advice) = 0;
    // Asked after every pass of pending events in the wait phase. True ends
    // the drawing at once: nothing more is reported and the listener is not
    // touched again.
    virtual bool Stop_requested() = 0;
};

enum class Fortune_end {
    Told,
    Stopped
};

// Runs the drawing. text_length gives L as it is at that moment (see
// Fortune_text_length); D, T and the generator's clock seeds come from the
// clock. Events are handled through the listener only during the wait
// phase, one pass per wait pass. The caller shows the busy pointer around
// the call.
Fortune_end Draw_fortune(Clock& clock, Random_generator& generator,
                         const std::function<qint32()>& text_length, Fortune_listener& listener);

// L for a diary text as a plain-text editor holds it: UTF-16 code units,
// each line break ("\n", "\r", "\r\n", U+2028, U+2029) counted as two.
// Capped at the largest 32-bit value.
qint32 Fortune_text_length(const QString& text);
// D: whole days since 30 December 1899 (1 January 2000 is 36526).
qint64 Ole_day_number(const QDate& date);
// T: the time of day to whole seconds as a fraction of a day, 0 <= T < 1.
double Time_of_day_fraction(const QTime& time);

// The luck index with its redraw rule. luck_seed gives L x T afresh before
// each draw: a first index 3 to 6 is final; otherwise a second draw, whose
// 1 to 8 is final; a second 0 or 9 leads to a third draw, final whatever it
// is.
int Draw_luck_index(Random_generator& generator, const std::function<double()>& luck_seed);
// Re-seeds with seed, draws u and returns floor(u x size), inside 0..size-1.
int Draw_table_index(Random_generator& generator, double seed, int size);

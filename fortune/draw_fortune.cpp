#include "fortune/draw_fortune.h"

#include "fortune/fortune_tables.h"
#include "platform/clock.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int Wait_pass_limit = 2000;
constexpr int Color_pass_limit = 500;
constexpr int Number_pass_limit = 600;
constexpr int Advice_pass_limit = 1500;

// floor(u x size), kept inside the table even if a generator strays.
int Index_for(double u, int size)
{
    const double scaled = std::floor(u * size);
    if (!(scaled >= 0))
        return 0;
    return int(std::min(scaled, double(size - 1)));
}

// The seeds, each made from the text length and the clock as they are at
// the moment it is asked for.
class Seeds {
public:
    Seeds(Clock& time_source, const std::function<qint32()>& length_of_text)
        : clock(time_source), text_length(length_of_text)
    {}

    double Length_by_date() const
    {
        const qint32 length = text_length();
        return double(length) * double(Ole_day_number(clock.Now().date()));
    }

    double Length_by_time() const
    {
        const qint32 length = text_length();
        return double(length) * Time_of_day_fraction(clock.Now().time());
    }

private:
    Clock& clock;
    const std::function<qint32()>& text_length;
};

// Seeds from the clock, draws r and makes floor(r x limit) passes that only
// re-seed.
void Clock_passes(Clock& clock, Random_generator& generator, int limit,
                  const std::function<double()>& pass_seed)
{
    generator.Seed_from_clock(clock.Now(), clock.Steady_tick());
    const int passes = Index_for(generator.Draw(), limit);
    for (int pass = 0; pass < passes; ++pass)
        generator.Reseed(pass_seed());
}

}  // namespace

qint32 Fortune_text_length(const QString& text)
{
    qint64 length = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < size && text.at(i + 1) == u'\n')
                ++i;
            length += 2;
        } else if (c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            length += 2;
        } else {
            ++length;
        }
    }
    return qint32(std::min<qint64>(length, std::numeric_limits<qint32>::max()));
}

qint64 Ole_day_number(const QDate& date) { return QDate(1899, 12, 30).daysTo(date); }

double Time_of_day_fraction(const QTime& time)
{
    const int seconds = time.hour() * 3600 + time.minute() * 60 + time.second();
    return seconds / 86400.0;
}

int Draw_table_index(Random_generator& generator, double seed, int size)
{
    generator.Reseed(seed);
    return Index_for(generator.Draw(), size);
}

int Draw_luck_index(Random_generator& generator, const std::function<double()>& luck_seed)
{
    int luck = Draw_table_index(generator, luck_seed(), Luck_count);
    if (luck >= 7 || luck <= 2) {
        luck = Draw_table_index(generator, luck_seed(), Luck_count);
        if (luck >= 9 || luck <= 0)
            luck = Draw_table_index(generator, luck_seed(), Luck_count);
    }
    return luck;
}

Fortune_end Draw_fortune(Clock& clock, Random_generator& generator,
                         const std::function<qint32()>& text_length, Fortune_listener& listener)
{
    const Seeds seeds(clock, text_length);
    const auto by_date = [&] { return seeds.Length_by_date(); };
    const auto by_time = [&] { return seeds.Length_by_time(); };

    // Wait phase: the only place where pending events run. The window may
    // be closed during a pass; the listener then asks to stop, and nothing
    // more is reported.
    generator.Seed_from_clock(clock.Now(), clock.Steady_tick());
    const int wait_passes = Index_for(generator.Draw(), Wait_pass_limit);
    for (int pass = 0; pass < wait_passes; ++pass) {
        generator.Reseed(by_date());
        listener.Pass_events();
        if (listener.Stop_requested())
            return Fortune_end::Stopped;
    }
    listener.Wait_over();

    // Luck follows straight on, with no seeding from the clock in between.
    listener.Luck_told(luck_table[Draw_luck_index(generator, by_time)]);

    Clock_passes(clock, generator, Color_pass_limit, by_time);
    listener.Color_told(color_table[Draw_table_index(generator, by_time(), Color_count)]);

    Clock_passes(clock, generator, Number_pass_limit, by_date);
    listener.Number_told(number_table[Draw_table_index(generator, by_time(), Number_count)]);

    Clock_passes(clock, generator, Advice_pass_limit, by_date);
    listener.Advice_told(advice_table[Draw_table_index(generator, by_time(), Advice_count)]);
    return Fortune_end::Told;
}

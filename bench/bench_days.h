#pragma once
// What the in-process benchmarks look for in the diary they are given: a day
// whose file lies in a size band, two neighbouring days that both do, a year
// whose index holds records of a kind. A diary that has none of what is
// asked still gets benchmarked: the nearest it has is taken, and the pick
// says so, so that the caller can tell which days and years it measured.
// Qt Core only.

#include <QDate>
#include <QString>
#include <QStringView>
#include <functional>
#include <optional>
#include <vector>

// File sizes in bytes, both ends included.
struct Size_band {
    qint64 low = 0;
    qint64 high = 0;
};

// "2000" (exactly that size) or "1500-2600"; nothing for anything else,
// a reversed band included.
std::optional<Size_band> Parse_size_band(QStringView text);
// Bands separated by commas ("1500-2600,26000-32000"); nothing when any of
// them is not a band or there is none.
std::optional<std::vector<Size_band>> Parse_size_bands(QStringView text);
// How far a size lies outside the band: 0 inside it.
qint64 Distance_from(const Size_band& band, qint64 size);
// A rough size for a table row: the middle of the range to one significant
// figure ("~2 kB" for 1500 to 2600 bytes, "~30 kB" for 26000 to 32000,
// "~700 B" for 650 to 700).
QString Rough_size(qint64 low, qint64 high);

struct Diary_day {
    QDate date;
    qint64 bytes = 0;
};

// "1990/01/08 (2104 bytes)"
QString Day_text(const Diary_day& day);

// Every day of the program folder that the diary opens without a question:
// a day file (yyyy/MMdd.txt) of at most 32000 bytes, with a
// record in its year's index. In date order.
std::vector<Diary_day> Openable_days(const QString& folder);

struct Day_pick {
    std::vector<Diary_day> days;  // one, or two neighbours in date order
    bool in_band = false;         // false: the nearest there was instead
};

// The first day in the band; failing that, the day nearest to it (the
// earliest of equally near ones). Nothing only when there are no days.
std::optional<Day_pick> Pick_day(const std::vector<Diary_day>& days, const Size_band& band);
// The first two days of one month, a day apart, both in the band; failing
// that, the pair whose farther day is nearest to it, then whose nearer day
// is, then the earliest. Nothing only when no two such days exist.
std::optional<Day_pick> Pick_neighbours(const std::vector<Diary_day>& days, const Size_band& band);

struct Year_pick {
    int year = 0;
    int records = 0;      // index lines that pass the test
    bool wanted = false;  // false: the nearest year with such records
};

// The wanted year when its index has a record that passes the test;
// otherwise the nearest year whose index has (the earlier of two as near).
// Nothing when no year's index has one.
std::optional<Year_pick> Pick_year(const QString& folder, int wanted,
                                   const std::function<bool(const QString& line)>& test);

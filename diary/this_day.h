#pragma once
// One date in every year of the diary, without any window: the page of a
// month and day over the years 1990 to 2100, the days of a year that have
// an entry or are memory days (for a calendar), and the steps of one day
// forward or back from a panel's date. Everything here only reads.

#include "diary/panel_date.h"
#include "store/io_result.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

class Diary_store;
struct Year_files;

// A day file's text as the page shows it, read through Read_exact_day.
struct Day_file_text {
    bool exists = false;  // something is at the day file's name
    QString text;         // line breaks "\n", without the final line end
    Io_result error;      // the file is there but could not be read
};

// One year's block of the page.
struct Year_of_day {
    int year = 0;
    bool has_record = false;  // the year's index holds the day
    bool memory = false;
    QString memo;
    Day_file_text day;
    Io_result index_error;  // the year's index is there but could not be read
};

// The month and day in every year whose folder holds its day file or an
// index record for it (or a file that could not be read), oldest first.
// Each year's index is read once and at most one day file per year.
struct This_day_page {
    int month = 1;
    int day = 1;
    QList<Year_of_day> years;
};
This_day_page Read_this_day(Diary_store& store, int month, int day);

// What a calendar marks on a day.
enum class Day_mark {
    Entry,   // a memo, the memory flag or a day file
    Memory,  // a memory day (思い出)
};

// The marked days of one year, by month * 100 + day. A record that holds
// nothing (no memo, no flag) of a day without a file marks nothing: the
// program makes such a record for today at every start.
struct Year_marks {
    QHash<int, Day_mark> days;
    Io_result error;  // the index could not be read
};
Year_marks Read_year_marks(Diary_store& store, int year);
// The same marks from a year's files as read for many days at once.
Year_marks Year_marks_of(int year, const Year_files& files);

// The marks of the years a calendar has shown, each year read once; a new
// instance reads afresh.
class Calendar_marks {
public:
    explicit Calendar_marks(Diary_store& diary_store) : store(diary_store) {}
    const Year_marks& Of_year(int year);

private:
    Diary_store& store;
    QMap<int, Year_marks> years;
};

// The calendar day days after (or before, when negative) the panel's
// date. A position the calendar does not have (30 February) steps from
// the nearest real day on its side: forward to 1 March, back to the last
// day of February. Nothing when the day lies outside 1990 to 2100.
std::optional<Panel_date> Calendar_step(const Panel_date& from, int days);

#pragma once
// How much was written: the days written and the characters of each year,
// the runs of days, counted from each day's exact text (the companion's,
// where one holds characters Shift_JIS cannot), as the diary panel shows it.
// Japanese is counted in characters, not words: every character of the
// text counts one (an emoji, a surrogate pair, counts one), line breaks
// count nothing, and the memo is not counted. A day is written when its
// text holds anything besides line breaks.
//
// Counting a hundred years reads every day file, so the counts of a year
// are kept with a signature of its folder (the names, sizes, times and
// inodes of its files) and counted again only when that has changed: a day
// saved here, by a synchronising tool or by the Windows program.

#include "store/io_result.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <atomic>
#include <functional>

class Diary_store;

// The characters of a text as read: every code point but CR and LF.
qint64 Written_characters(QStringView text);

// One day that holds something: text, a memo or the memory flag.
struct Day_tally {
    int characters = 0;  // 0: the day is not written
    bool memory = false;
    QString memo;
};

struct Year_tally {
    int year = 0;
    QMap<int, Day_tally> days;  // by month * 100 + day (30 February too)
    int days_written = 0;
    qint64 characters = 0;
    // Files that could not be read (a day file, the index); the counts
    // leave them out.
    QList<Io_result> unreadable;
    QByteArray signature;  // of the folder when it was counted
};

// The signature of a year folder: what changes when any of its files does.
// Empty when the folder is missing.
QByteArray Year_signature(const QString& year_folder);

// Counts one year from its folder (which exists).
Year_tally Count_year(Diary_store& store, int year);

// The years from 1990 to 2100 that have a folder, oldest first; error,
// when given, receives a diary folder that could not be listed whole.
QList<int> Year_folders(Diary_store& store, Io_result* error = nullptr);

// The longest run of written days (consecutive calendar days) among days,
// given as Julian day numbers in any order.
int Longest_run(QList<qint64> days);
// The run that ends today, or yesterday while today is not written yet.
int Current_run(QList<qint64> days, const QDate& today);
// The written days of a year that the calendar has, as Julian day numbers.
QList<qint64> Written_days(const Year_tally& tally);

// The counts of every year, each counted once and again only when its
// folder has changed. Used from one thread at a time (the window's job).
class Records_cache {
public:
    // Brings the counts up to date with the diary folder; progress is told
    // with the years done and all years; cancel stops between years (the
    // years done are kept). Returns the years with a folder, oldest first.
    QList<Year_tally> Refresh(Diary_store& store, const std::atomic<bool>* cancel = nullptr,
                              const std::function<void(int, int)>& progress = {});

    // Loads and saves the counts in a private file (0600, its folder 0700),
    // so that the next run counts only the years changed since. A file that
    // does not read back whole is ignored.
    void Load(const QString& path);
    Io_result Save(const QString& path);
    bool Changed() const { return changed; }

private:
    QMap<int, Year_tally> years;
    bool changed = false;
};

// The cache file of a diary folder in a cache folder
// ("~/.cache/sorane/records-sorane-<hash>.dat").
QString Records_cache_path(const QString& cache_folder, const QString& app_dir);

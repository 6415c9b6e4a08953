#pragma once
// Which days have pictures, for the marks in the lists of days. A year is
// known from one listing of its photos folder (photos/2026/) with each day
// folder's times; a day folder is looked into only when it is new or its
// entries changed since the last look (its modification and change times),
// so opening a list again costs one listing per year. Qt Core only; used
// from one thread at a time.

#include <QHash>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QString>
#include <memory>

class Photo_days {
public:
    explicit Photo_days(QString diary_dir) : app_dir(std::move(diary_dir)) {}

    // The days of the year (month * 100 + day) with at least one picture.
    QSet<int> Of_year(int year);
    // The same for one day, date as yyyymmdd: one look at the day's folder
    // (for a page of one day in many years), listed only when it changed.
    bool Has(int yyyymmdd);

    // How many day folders were looked into so far (tests and benchmarks).
    int Day_folders_read() const { return day_folders_read; }

private:
    struct Day_folder {
        qint64 mtime_ns = 0;
        qint64 ctime_ns = 0;
        quint64 inode = 0;
        bool has = false;
    };
    // Looks into the day's folder unless known is still what it was.
    bool Day_has(int year, int number, const Day_folder& now, const Day_folder* known);
    QString app_dir;
    QMap<int, QHash<int, Day_folder>> years;
    int day_folders_read = 0;
};

// The one Photo_days of a diary folder for the program's windows, kept for
// the whole run, so that each list reads only what changed since the last.
// Safe to call from any thread; the object itself is for one thread at a
// time (the windows').
Photo_days& Shared_photo_days(const QString& app_dir);

#pragma once
// Settling the other versions of a day: the copies a synchronising tool or
// this program left beside a day file ("1209.sync-conflict-….txt",
// "1209 (… conflicted copy …).txt", "1209.conflict-….txt", …), read as
// the day they hold, kept in the day's history before they go, and the
// copies of a year's "keyword.txt" merged into it record by record.

#include "diary/session.h"

#include <QList>
#include <QString>
#include <QStringList>

// One other version of a day, as read.
struct Other_version {
    QString path;  // the copy
    QString name;  // as the title names it: "2026/1209.sync-conflict-….txt"
    // This program's exact text beside its own conflict copy, removed with
    // it; empty when there is none.
    QString companion;
    Io_result error;  // the copy could not be read: it is never removed
    QByteArray file;  // the version as a day file holds it (code page 932, CR LF)
    // file is the copy's own bytes, whole: the history may link the copy
    // instead of writing the bytes again.
    bool whole_copy = false;
    QByteArray exact;      // its exact text as a companion holds it, or empty
    QByteArray own_lines;  // its index lines (see Day_record::own_lines)
    Day_entry entry;       // what the diary panel would show of it
    // The copy holds a memo and 思い出 of its own; else those shown are the
    // day's own, as its index holds them now.
    bool record_known = false;
};

// The other versions beside the day, in the order the title names them.
// A copy of the day's exact text (UTF-8) is read as such; this program's
// exact text beside its own conflict copy goes with that copy.
QList<Other_version> Read_other_versions(Diary_session& session, const Panel_date& date);

// Keeps the version in the day's history, as a save keeps the version it
// replaces (nothing new when the newest kept version is the same). Done
// before the copy is removed, so that nothing the copy held is lost.
Io_result Keep_other_version(Diary_session& session, const Panel_date& date,
                             const Other_version& version);
// Removes the copy (and the exact text beside it), the folder synced.
Io_result Remove_other_version(const Other_version& version);

// The copies of the year's "keyword.txt" that synchronising tools left
// ("keyword.sync-conflict-….txt" and the like), full paths, sorted.
QStringList Index_copies(Diary_session& session, int year);

struct Index_merge {
    Io_result error;       // nothing more was done after it
    int added = 0;         // days whose record only a copy held
    QStringList versions;  // conflict copies made for records that differ
    QStringList removed;   // copies merged and removed
    QStringList kept;      // copies left: they hold lines no day owns
};

// Merges each copy into the year's index, record by record: a day's record
// only in the copy is added to the index; a record that differs from the
// index's becomes a conflict copy of its day (its day file under the copy's
// memo and 思い出), to be settled as another version of that day; a record
// the index holds already is left. The index is written, then the copies of
// the days, and only then the copy is removed. A copy with lines that
// belong to no day is left where it is.
Index_merge Merge_index_copies(Diary_session& session, int year);

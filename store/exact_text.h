#pragma once
// The exact text beside the Shift_JIS files. Characters that code page 932
// cannot hold (an emoji, 𠮷, é) are written to the day file, the index and
// the message files as the substitutes Windows writes, so that every reader
// of those files still opens them; the exact text and memo go to a UTF-8
// companion beside the file: "2026/1209.txt" has "2026/1209.utf8.txt",
// "tomorrow.txt" has "tomorrow.utf8.txt". A file without such characters
// has no companion.
//
// A companion is believed only where it still matches: its text, encoded
// with the substitutes, gives exactly the day file's bytes, and its memo
// exactly the memo bytes of the day's index record. Each of the two is
// judged on its own, so that a save cut between the index and the day file
// still shows each part exactly. A companion that matches nothing any more
// (the day was changed by the Windows program) is never dropped: it is kept
// aside under a name of its own ("1209.utf8.kept-20261209-211503.txt").
//
// A save writes the new companion under a staged name first
// ("1209.utf8.new.txt"), then the Shift_JIS files, then gives the staged
// companion its name (or removes the old one when the new text needs none).
// A kill at any step leaves each part of the day old or new, exact.

#include "store/store.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// "2026/1209.txt" -> "2026/1209.utf8.txt" (also for "1209.TXT").
QString Companion_path(const QString& file_path);
// "2026/1209.txt" -> "2026/1209.utf8.new.txt": the companion of a save under way.
QString Staged_companion_path(const QString& file_path);

// What a companion holds: the memo (one line; empty for a message) and the
// text with "\n" line breaks.
struct Exact_text {
    QString memo;
    QString text;
    friend bool operator==(const Exact_text&, const Exact_text&) = default;
};
QByteArray Companion_bytes(const Exact_text& exact);
// Nothing when the bytes are no companion this program wrote (not UTF-8).
std::optional<Exact_text> Parse_companion(QByteArrayView bytes);

// The memo as its index record keeps it: one line.
QString One_line_memo(const QString& memo);
// Whether the text and memo need a companion.
bool Needs_companion(const QString& text, const QString& memo = QString());

// The text, encoded with substitutes, is what the file holds byte for byte.
bool Text_matches(const QString& text, const QByteArray& file_bytes);
// The memo, encoded with substitutes, is what the day's record holds.
bool Memo_matches(const QString& memo, const Day_record& record);

// Renames the companion aside, beside it: "1209.utf8.txt" becomes
// "1209.utf8.kept-20261209-211503.txt" ("-2", "-3", ... when taken). The one
// place where a companion that no longer matches its file goes.
Io_result Keep_companion_aside(const QString& companion, const QDateTime& now);
// A name Keep_companion_aside gives.
bool Is_kept_companion_name(const QString& file_name);

// A day as the store holds it, exactly: text, memo and flag with the
// characters the companion keeps, and the Shift_JIS bytes read.
struct Exact_day {
    QString text;  // "\n" line breaks
    QString memo;
    bool flag = false;
    Io_result index_error;  // the year's index could not be read
    Io_result text_error;   // the day file could not be read
    qint64 file_size = 0;
    QByteArray file;          // the day file's bytes; empty when missing
    Day_record record;        // the day's record in the index
    bool exact_text = false;  // text and memo come from a companion
    bool exact_memo = false;
    // Companions beside the day whose text and memo both match nothing:
    // what the diary panel keeps aside when it shows the day.
    QStringList unmatched;
};
// The companion beside a file, when one is there and this program wrote it;
// whether it matches the file is the caller's to judge (Text_matches,
// Memo_matches).
std::optional<Exact_text> Read_companion_of(const QString& file_path);

// Everything that shows or reads a day (the diary and reference panels,
// the all-years page, searches, export) reads it here.
// index_now, when given, is the year's index as the caller has just read
// it whole (without error), so that a reader of many days of a year reads
// it once.
Exact_day Read_exact_day(Diary_store& store, int year, int month, int day,
                         const QByteArray* index_now = nullptr);

// What a reader of many days of one year (the export, the print) reads
// once for all of them: the folder's names and the index with its records.
// A day's file and companions are then looked up among the names instead
// of asked of the disk one by one; what is listed is still read from disk.
struct Year_files {
    bool folder_exists = false;
    QSet<QByteArray> names;       // the year folder's file names as listed
    Io_result folder_error;       // the folder is there but could not be listed
    bool has_companions = false;  // a name with ".utf8." is among them
    QByteArray index;
    Io_result index_error;                  // the index could not be read (records empty)
    QHash<QByteArray, Day_record> records;  // by "yyyy/mm/dd"
};
Year_files Read_year_files(Diary_store& store, int year);
// The day read as Read_exact_day reads it, with what year_files holds.
// With text_from_file false the day file's text is not decoded: text is
// then empty unless a companion gave the exact text (exact_text), and the
// caller makes it from file (Utf8_text_of_file).
Exact_day Read_exact_day(Diary_store& store, int year, int month, int day,
                         const Year_files& year_files, bool text_from_file = true);
// Diary_store::Text_of_file's text as UTF-8, "\n" line breaks, made from
// the bytes directly: the same bytes as Text_of_file(file_bytes).toUtf8().
QByteArray Utf8_text_of_file(QByteArrayView file_bytes);

// A text file (a message, the reference panel's day) read whole, with its
// companion's exact text when that matches the file.
Text_read Read_exact_text_file(const QString& path);

// The steps of a save of a file with a companion, around the writes of the
// Shift_JIS files (see the top of this file).
// 1. Companions left over that do not wholly match what the files hold now
//    are kept aside; a staged one that does becomes the companion.
//    record is the day's index record as read now; nullptr for a message.
//    companion_now, when given, is the companion as the caller read it a
//    moment ago (exists false: none was there), so that it is not read
//    again; companion_left, when given, says whether a companion is at its
//    name afterwards.
struct Read_now {
    bool exists = false;
    QByteArray bytes;
};
Io_result Settle_companions(const QString& file_path, const QByteArray& file_bytes,
                            const Day_record* record, const QDateTime& now,
                            const Read_now* companion_now = nullptr,
                            bool* companion_left = nullptr);
// 2. The staged companion, when the text or memo needs one.
Io_result Stage_companion(const QString& file_path, const Exact_text& exact);
// 3. After the Shift_JIS files: the staged companion takes the companion's
//    name, or, when none was staged, the companion of the old text goes.
//    The folder is synced when this changed it, or when folder_changed
//    says the caller changed it and left its sync to this step. With
//    companion_there false the caller knows there is no companion of the
//    old text (Settle_companions said so): nothing is asked of the disk.
Io_result Finish_companion(const QString& file_path, bool staged, bool folder_changed = false,
                           bool companion_there = true);

// A message file written with its companion, in the steps above, and
// removed with it.
Io_result Write_exact_text_file(Diary_store& store, const QString& path, const QString& text,
                                const QDateTime& now);
Io_result Remove_exact_text_file(const QString& path, const QDateTime& now);

// The hand-over's part for the companions: before "tomorrow.txt" becomes
// "yesterda.txt", its companion moves first; afterwards, a companion of
// "yesterda.txt" that does not match it belonged to the message dropped.
Io_result Move_companion(const QString& from_path, const QString& to_path);
Io_result Drop_stale_companion(const QString& path);

// The index lines of a year folder as the search windows read them, with
// the exact memo of each record whose companion matches it.
QStringList Exact_index_lines(const QString& year_folder, const QList<QByteArray>& lines);

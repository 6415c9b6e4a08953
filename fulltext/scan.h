#pragma once
// The days as every full-text search reads them from the files: a day's
// text, the memos and memory flags of a year's index, and the row the index
// holds for a day (its text and memo, as written and folded). The plain
// search (Scan_diary) and the index's build both read the days here.

#include "fulltext/fulltext.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <algorithm>
#include <atomic>
#include <map>
#include <optional>

class Diary_store;

struct Day_memo {
    bool memory = false;
    QString memo;
};

// The memo and memory flag of every day of the year, from its index: a day
// with several lines is marked when any of them is, and has the last one's
// memo, as the main window reads it.
QHash<int, Day_memo> Read_year_memos(Diary_store& store, int year, Io_result* error);

// A day as the index holds it.
struct Day_row {
    int date = 0;
    QString text;  // as written
    QString folded_text;
    QString memo;
    QString folded_memo;
    bool memory = false;
};

Day_row Row_of(int date, const QString& text, const Day_memo& memo, const Fold_options& options);

// Scan_diary for a thread of its own: it stops between years when cancel
// is set, and its result is then incomplete.
Fulltext_result Scan_diary_until(const QString& app_dir, const Fulltext_search& search,
                                 const Fold_options& options, const std::atomic<bool>* cancel);

// Counts a file that could not be read, naming the first.
void Note_unreadable(Fulltext_result& result, const Io_result& error);

// A day file's bytes read by its name, as every search reads a day.
Io_result Read_day_bytes(Diary_store& store, int date, QString& path, QByteArray& bytes,
                         bool& exists);

// The day's file under its lower-case name: app_dir (ending in "/")
// followed by "yyyy/mmdd.txt".
QString Day_file_path_of(const QString& app_dir, int date);

// The same path as the system takes it.
QByteArray Encoded_day_file_path(const QString& app_dir, int date);

// The whole of a plain file (a regular file, not a link, not sealed, at
// most File_size_limit bytes) read in one call, as Read_diary_file would
// read it; false for anything else, which the caller reads that way.
bool Read_plain_file_at_once(const char* encoded_path, QByteArray& bytes);

// The text every search reads from a day file's bytes: a "?" may stand for
// a character Shift_JIS cannot hold, and the companion's exact text is then
// what is searched, while it matches the file.
QString Text_for_search(const QString& path, const QByteArray& bytes);

// The companion's exact text when the file has a "?" and its companion
// matches it; nothing when the file's own bytes are the text.
std::optional<QString> Exact_text_for_search(const QString& path, const QByteArray& bytes);

// Hands each day of the years given its file's bytes (null when the day has
// only an index record) and its memo: a day with a file (one of file_dates)
// or an index record is handed. A day whose file cannot be read, and a year
// whose index cannot be, are noted in result and in failed_days /
// failed_years, and the day is not handed.
template <typename Each>
void For_each_day_bytes_of_years(Diary_store& store, const std::map<int, QSet<int>>& dates_by_year,
                                 Fulltext_result* result, QSet<int>* failed_days,
                                 QSet<int>* failed_years, const std::atomic<bool>* cancel,
                                 Each&& each)
{
    for (const auto& [year, file_dates] : dates_by_year) {
        if (cancel && cancel->load())
            return;
        Io_result memo_error;
        const QHash<int, Day_memo> memos = Read_year_memos(store, year, &memo_error);
        if (!memo_error.Ok()) {
            if (result)
                Note_unreadable(*result, memo_error);
            if (failed_years)
                failed_years->insert(year);
        }
        QList<int> dates(file_dates.cbegin(), file_dates.cend());
        for (auto it = memos.cbegin(); it != memos.cend(); ++it)
            if (!file_dates.contains(it.key()))
                dates.append(it.key());
        std::sort(dates.begin(), dates.end());
        for (const int date : dates) {
            QString path;
            QByteArray bytes;
            bool exists = false;
            if (file_dates.contains(date)) {
                const Io_result error = Read_day_bytes(store, date, path, bytes, exists);
                if (!error.Ok()) {
                    if (result)
                        Note_unreadable(*result, error);
                    if (failed_days)
                        failed_days->insert(date);
                    continue;
                }
            }
            each(date, exists ? &bytes : nullptr, path, memos.value(date));
        }
    }
}

// Hands each day of the years given a row read from the files, as
// For_each_day_bytes_of_years hands their bytes.
template <typename Each>
void For_each_day_of_years(Diary_store& store, const std::map<int, QSet<int>>& dates_by_year,
                           const Fold_options& options, Fulltext_result* result,
                           QSet<int>* failed_days, QSet<int>* failed_years,
                           const std::atomic<bool>* cancel, Each&& each)
{
    For_each_day_bytes_of_years(
        store, dates_by_year, result, failed_days, failed_years, cancel,
        [&](int date, const QByteArray* bytes, const QString& path, const Day_memo& memo) {
            each(Row_of(date, bytes ? Text_for_search(path, *bytes) : QString(), memo, options));
        });
}

#pragma once
// The day lists of the two search windows, without any window: which index
// records a window lists, in which order, what a row shows and which day a
// listed record recalls. Qt Core only, so the pieces can be tested on their
// own.

#include "store/io_result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// A record test: true when the index line is listed.
using Record_test = std::function<bool(const QString& line)>;

// The memory-days list: the eleventh character is the flag "1".
bool Memory_test(const QString& line);
// The memo search: the keyword occurs anywhere in the whole line (date key
// and flag included), comparing UTF-16 code units exactly, so case, width
// and kana kind all count. The empty keyword passes every line.
bool Keyword_test(const QString& line, const QString& keyword);

// The year folder's name for a year text as typed: blanks around it
// (the full-width space too) dropped, full-width digits read as ASCII ones
// (an input method types "２０２６"), then a text of digits only, read as a
// number and written with at least four ASCII digits ("995" -> "0995",
// "02025" -> "2025"). Anything else (blanks inside, signs, separators, "..")
// names no folder, so a typed text can never lead outside the program
// folder.
std::optional<QString> Year_folder_name(const QString& year_text);

// One listed record and the line of the index file it came from (from 1).
struct Listed_record {
    QString line;
    int file_line = 0;
};

// Ascending by UTF-16 code units, no case folding, no locale.
bool Code_unit_less(const QString& a, const QString& b);

// The lines that pass the test, in file order, then stably sorted: equal
// lines keep their order from the file.
QList<Listed_record> Select_and_sort(const QStringList& lines, const Record_test& test);

// What a row shows: the first ten characters (the date key) and the rest
// after the eleventh (the memo; empty for a line of eleven or fewer).
struct Row_text {
    QString date;
    QString memo;
};
Row_text Row_text_of(const QString& line);

// The date written in a record's first ten characters as "yyyy/mm/dd", as
// numbers and not yet fitted to any range; nothing when the line does not
// start with a date key (only a hand-edited index holds such a line).
struct Key_date {
    int year = 0;
    int month = 0;
    int day = 0;
};
std::optional<Key_date> Key_date_of(const QString& line);

// The listed records of one year. A year text that names no folder, a
// missing year folder or a missing index give no records and no error;
// an index that exists but cannot be read gives its error.
struct Day_list_read {
    QList<Listed_record> records;
    Io_result error;
};
Day_list_read Read_day_list(const QString& app_dir, const QString& year_text,
                            const Record_test& test);

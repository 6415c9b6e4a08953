#pragma once
// The diary's day files and year indexes as the full-text index sees them:
// the year folders, and in each the day files and the year's index with
// what the folder's listing says of each (size, change time, inode).

#include "fulltext/fulltext.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <bitset>
#include <map>
#include <optional>
#include <vector>

struct Listed_file {
    QString path;  // "2026/1209.txt", as the folder names it
    Fulltext_index::File_sig sig;
    int year = 0;
    int date = 0;  // Date_number of a day file; 0 for the year's index
};

// The year folders "YYYY" in the diary folder, in order.
std::vector<int> List_years(const QString& app_dir);

// Every day file ("MMDD.txt", either case) and every year index of the year
// folders given (all of them when none are), with what the folder's listing
// says of each. A link at such a name is listed too: reading it is refused,
// and the search names it.
std::vector<Listed_file> List_diary(const QString& app_dir,
                                    const std::optional<QSet<int>>& only_years = std::nullopt);

// The dates of the day files in the year folder (app_dir ending in "/"),
// from the folder's names alone; nothing when it lists no day file and no
// year index (as List_diary lists none of that year).
std::optional<QSet<int>> Day_dates_in_year(const QString& app_dir, int year);

// The days of a year as places 0 to 371: (month - 1) * 31 + day - 1.
constexpr int Year_day_slots = 12 * 31;
constexpr int Day_slot(int month, int day) { return (month - 1) * 31 + day - 1; }
constexpr int Date_of_slot(int year, int slot)
{
    return Date_number(year, slot / 31 + 1, slot % 31 + 1);
}

// What the names of a year folder say, as Day_dates_in_year reads them.
struct Year_names {
    std::bitset<Year_day_slots> day_files;  // a day file, either case
    // The exact text beside a day ("mmdd.utf8.txt", the one name it is
    // read under): a day without it has none to ask the disk for.
    std::bitset<Year_day_slots> companions;
    // ... those "mmdd.txt" the listing shows as regular files.
    std::bitset<Year_day_slots> plain_day_files;
    bool index = false;        // the year's index, either case
    bool lower_index = false;  // ... as "keyword.txt"
};
// The names of the year folder (its path as the system takes it), read in
// one pass without keeping them; false when it lists no day file and no
// year index, or cannot be listed. With kept_folder, a true answer leaves
// there a descriptor of the folder listed (the caller closes it), for its
// files to be opened by their names alone.
bool Read_year_names(const QByteArray& encoded_year_folder, Year_names& names,
                     int* kept_folder = nullptr);

// The listing of a year folder as one number, whatever the order the
// folder lists its files in: the sum of its files' digests.
quint64 File_digest(const QString& path, const Fulltext_index::File_sig& sig);

// The dates of the day files listed, by year, of the years from first_year
// to last_year; a year with only an index has an empty set.
std::map<int, QSet<int>> Dates_by_year(const std::vector<Listed_file>& files, int first_year,
                                       int last_year);

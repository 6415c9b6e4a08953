#include "fulltext/listing.h"

#include "fulltext/in_order.h"
#include "store/diary_files.h"
#include "store/store.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>

using File_sig = Fulltext_index::File_sig;

namespace {

bool Digits(const char* s, int n)
{
    for (int i = 0; i < n; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

int Number(const char* s, int n)
{
    int value = 0;
    for (int i = 0; i < n; ++i)
        value = value * 10 + (s[i] - '0');
    return value;
}

}  // namespace

quint64 File_digest(const QString& path, const File_sig& sig)
{
    return quint64(qHashMulti(0x5bd1e995, path, sig.size, sig.ctime_ns, sig.inode)) *
               0x9e3779b97f4a7c15ull +
           1;
}

// The year folders "YYYY" in the diary folder.
std::vector<int> List_years(const QString& app_dir)
{
    std::vector<int> years;
    const Folder_listing listing =
        List_folder(app_dir, Listing_detail::Types,
                    [](const char* name) { return std::strlen(name) == 4 && Digits(name, 4); });
    for (const Folder_entry& entry : listing.entries) {
        // A year folder reached through a link is the user's own.
        struct stat st {};
        if (entry.type == Entry_type::Folder ||
            (entry.type == Entry_type::Link &&
             ::stat(QFile::encodeName(app_dir + QLatin1Char('/') + QFile::decodeName(entry.name))
                        .constData(),
                    &st) == 0 &&
             S_ISDIR(st.st_mode)))
            years.push_back(Number(entry.name.constData(), 4));
    }
    std::sort(years.begin(), years.end());
    return years;
}

std::vector<Listed_file> List_diary(const QString& app_dir,
                                    const std::optional<QSet<int>>& only_years)
{
    std::vector<Listed_file> files;
    std::vector<int> years;
    if (only_years)
        years.assign(only_years->cbegin(), only_years->cend());
    else
        years = List_years(app_dir);
    // A folder's listing is a stat of each of its files: the years are
    // listed on every core, a few at a time, and kept in their order.
    const QString year_base = Diary_store(app_dir).App_dir();
    files.reserve(years.size() * 367);
    Make_in_order(
        years.size(), 4,
        [&](size_t i) {
            std::vector<Listed_file> listed;
            const int year = years[i];
            const QString year_name = QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
            const Folder_listing listing =
                List_folder(year_base + year_name, Listing_detail::Full, [](const char* name) {
                    const std::size_t length = std::strlen(name);
                    return (length == 8 && Digits(name, 4)) || length == 11;
                });
            listed.reserve(listing.entries.size());
            for (const Folder_entry& entry : listing.entries) {
                const Name_class name = Classify_year_name(entry.name);
                int date = -1;
                if (name.kind == Diary_name::Day_file && Is_diary_day(name.month, name.day))
                    date = Date_number(year, name.month, name.day);
                else if (name.kind == Diary_name::Index)
                    date = 0;
                if (date < 0)
                    continue;
                listed.push_back({year_name + QLatin1Char('/') + QFile::decodeName(entry.name),
                                  {entry.size, entry.ctime_ns, entry.inode},
                                  year,
                                  date});
            }
            return listed;
        },
        [&files](size_t, std::vector<std::vector<Listed_file>>& made) {
            for (std::vector<Listed_file>& listed : made)
                std::move(listed.begin(), listed.end(), std::back_inserter(files));
        });
    return files;
}

std::optional<QSet<int>> Day_dates_in_year(const QString& app_dir, int year)
{
    char year_name[5] = {};
    for (int i = 3, n = year; i >= 0; --i, n /= 10)
        year_name[i] = char('0' + n % 10);
    // Each name is taken as the folder lists it: no entry is kept.
    QSet<int> dates;
    bool listed = false;
    List_folder(app_dir + QLatin1String(year_name, 4), Listing_detail::Types,
                [&](const char* entry) {
                    const std::size_t length = std::strlen(entry);
                    if (!((length == 8 && Digits(entry, 4)) || length == 11))
                        return false;
                    const Name_class name = Classify_year_name(QByteArrayView(entry, length));
                    if (name.kind == Diary_name::Day_file && Is_diary_day(name.month, name.day)) {
                        dates.insert(Date_number(year, name.month, name.day));
                        listed = true;
                    } else if (name.kind == Diary_name::Index) {
                        listed = true;
                    }
                    return false;
                });
    if (!listed)
        return std::nullopt;
    return dates;
}

std::map<int, QSet<int>> Dates_by_year(const std::vector<Listed_file>& files, int first_year,
                                       int last_year)
{
    std::map<int, QSet<int>> years;
    for (const Listed_file& file : files) {
        if (file.year < first_year || file.year > last_year)
            continue;
        QSet<int>& dates = years[file.year];
        if (file.date != 0)
            dates.insert(file.date);
    }
    return years;
}

bool Read_year_names(const QByteArray& encoded_year_folder, Year_names& names, int* kept_folder)
{
    names = {};
    DIR* dir = ::opendir(encoded_year_folder.constData());
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        const std::size_t length = std::strlen(name);
        // The usual day file "mmdd.txt", and its companion "mmdd.utf8.txt".
        std::bitset<Year_day_slots>* const days =
            length == 8 && std::memcmp(name + 4, ".txt", 4) == 0         ? &names.day_files
            : length == 13 && std::memcmp(name + 4, ".utf8.txt", 9) == 0 ? &names.companions
                                                                         : nullptr;
        if (days && Digits(name, 4)) {
            const int month = Number(name, 2);
            const int day = Number(name + 2, 2);
            if (Is_diary_day(month, day)) {
                days->set(std::size_t(Day_slot(month, day)));
                if (days == &names.day_files && entry->d_type == DT_REG)
                    names.plain_day_files.set(std::size_t(Day_slot(month, day)));
            }
            continue;
        }
        if (!((length == 8 && Digits(name, 4)) || length == 11))
            continue;
        const Name_class kind = Classify_year_name(QByteArrayView(name, qsizetype(length)));
        if (kind.kind == Diary_name::Day_file && Is_diary_day(kind.month, kind.day)) {
            names.day_files.set(std::size_t(Day_slot(kind.month, kind.day)));
        } else if (kind.kind == Diary_name::Index) {
            names.index = true;
            names.lower_index = names.lower_index || std::strcmp(name, "keyword.txt") == 0;
        }
    }
    const bool listed = names.index || names.day_files.any();
    if (listed && kept_folder) {
        *kept_folder = ::fcntl(::dirfd(dir), F_DUPFD_CLOEXEC, 0);
        if (*kept_folder < 0)
            names.plain_day_files.reset();
    }
    ::closedir(dir);
    return listed;
}

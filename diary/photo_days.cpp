#include "diary/photo_days.h"

#include "diary/photos.h"
#include "store/diary_files.h"

#include <QFile>
#include <sys/stat.h>

namespace {

bool Four_digits(const QByteArray& name)
{
    if (name.size() != 4)
        return false;
    for (const char c : name)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}  // namespace

QSet<int> Photo_days::Of_year(int year)
{
    QSet<int> out;
    const QString folder = app_dir + QLatin1String(Photos_folder_name) + QLatin1Char('/') +
                           QString::number(year) + QLatin1Char('/');
    const Folder_listing days =
        List_folder(folder, Listing_detail::Full, [](const char* name) { return name[0] != '.'; });
    QHash<int, Day_folder>& known = years[year];
    QHash<int, Day_folder> now;
    for (const Folder_entry& e : days.entries) {
        if (e.type != Entry_type::Folder || !Four_digits(e.name))
            continue;
        const int number = e.name.toInt();
        Day_folder day{e.mtime_ns, e.ctime_ns, e.inode, false};
        const auto it = known.constFind(number);
        day.has = Day_has(year, number, day, it == known.cend() ? nullptr : &*it);
        now.insert(number, day);
        if (day.has)
            out.insert(number);
    }
    known = std::move(now);
    return out;
}

bool Photo_days::Day_has(int year, int number, const Day_folder& now, const Day_folder* known)
{
    if (known && known->mtime_ns == now.mtime_ns && known->ctime_ns == now.ctime_ns &&
        known->inode == now.inode)
        return known->has;
    ++day_folders_read;
    return !List_photos(app_dir, {year, number / 100, number % 100}).paths.isEmpty();
}

bool Photo_days::Has(int yyyymmdd)
{
    const int year = yyyymmdd / 10000;
    const int number = yyyymmdd % 10000;
    const QByteArray path = QFile::encodeName(
        app_dir + QLatin1String(Photos_folder_name) + QLatin1Char('/') + QString::number(year) +
        QLatin1Char('/') + QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0')));
    QHash<int, Day_folder>& known = years[year];
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        known.remove(number);
        return false;
    }
    Day_folder day{qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                   qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec, quint64(st.st_ino),
                   false};
    const auto it = known.constFind(number);
    day.has = Day_has(year, number, day, it == known.cend() ? nullptr : &*it);
    known.insert(number, day);
    return day.has;
}

Photo_days& Shared_photo_days(const QString& app_dir)
{
    static QMutex lock;
    static QHash<QString, std::shared_ptr<Photo_days>> all;
    const QMutexLocker locked(&lock);
    std::shared_ptr<Photo_days>& one = all[app_dir];
    if (!one)
        one = std::make_shared<Photo_days>(app_dir);
    return *one;
}

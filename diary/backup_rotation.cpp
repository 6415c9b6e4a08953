#include "diary/backup.h"
#include "diary/backup_internal.h"

#include "store/diary_files.h"
#include "store/safe_replace.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <vector>

namespace {

const QRegularExpression& Backup_name_pattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^sorane-(\\d{4})(\\d{2})(\\d{2})(?:-([1-9]\\d{0,3}))?\\.zip$"));
    return pattern;
}

}  // namespace

QString Backup_file_name(const Backup_name& name)
{
    const QString day = name.date.toString(QStringLiteral("yyyyMMdd"));
    if (name.sequence <= 1)
        return QStringLiteral("sorane-%1.zip").arg(day);
    return QStringLiteral("sorane-%1-%2.zip").arg(day).arg(name.sequence);
}

std::optional<Backup_name> Parse_backup_file_name(const QString& file_name)
{
    const QRegularExpressionMatch m = Backup_name_pattern().match(file_name);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    Backup_name name{date, 1};
    if (m.hasCaptured(4)) {
        name.sequence = m.captured(4).toInt();
        if (name.sequence < 2)  // "-1" is never given: the first has no number
            return std::nullopt;
    }
    return name;
}

QList<Backup_name> Backups_to_remove(const QList<Backup_name>& existing, QDate today)
{
    QList<Backup_name> past;
    for (const Backup_name& name : existing)
        if (name.date <= today)
            past.append(name);
    // Newest first.
    std::sort(past.begin(), past.end(), [](const Backup_name& a, const Backup_name& b) {
        return a.date != b.date ? a.date > b.date : a.sequence > b.sequence;
    });
    std::vector<bool> keep(std::size_t(past.size()), false);
    // The newest backup of each of the latest `count` periods that hold one.
    auto keep_latest = [&](int count, auto period_of) {
        qint64 last_period = 0;
        int kept = 0;
        for (qsizetype i = 0; i < past.size() && kept < count; ++i) {
            const qint64 period = period_of(past[i].date);
            if (kept > 0 && period == last_period)
                continue;
            keep[std::size_t(i)] = true;
            last_period = period;
            ++kept;
        }
    };
    keep_latest(7, [](QDate d) { return d.toJulianDay(); });
    keep_latest(4, [](QDate d) { return (d.toJulianDay() - (d.dayOfWeek() - 1)); });
    keep_latest(12, [](QDate d) { return qint64(d.year()) * 12 + d.month(); });
    // Today's are all kept until the day is over: a backup made by hand
    // after a regretted change must not take the morning's away.
    QList<Backup_name> removed;
    for (qsizetype i = 0; i < past.size(); ++i)
        if (!keep[std::size_t(i)] && past[i].date != today)
            removed.append(past[i]);
    return removed;
}

namespace backup_internal {

// Removes what the rotation gives up: only names the program gives its
// backups, and only regular files.
Io_result Rotate(const QString& folder, QDate today)
{
    const Folder_listing listing = List_folder(folder);
    if (!listing.error.Ok())
        return listing.error;
    QList<Backup_name> names;
    for (const Folder_entry& e : listing.entries)
        if (e.type == Entry_type::Regular)
            if (const std::optional<Backup_name> name =
                    Parse_backup_file_name(QFile::decodeName(e.name)))
                names.append(*name);
    const QList<Backup_name> old = Backups_to_remove(names, today);
    if (old.isEmpty())
        return Io_result::Success();
    Io_result result;
    for (const Backup_name& name : old) {
        const QString path = folder + Backup_file_name(name);
        if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT && result.Ok())
            result = Io_result::Failure(Io_step::Remove, errno, path);
    }
    if (const Io_result synced = Sync_folder(folder); !synced.Ok() && result.Ok())
        result = synced;
    return result;
}

}  // namespace backup_internal

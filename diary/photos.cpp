#include "diary/photos.h"

#include "store/diary_files.h"
#include "store/safe_replace.h"

#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Two(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// A name the day's folder may hold as a picture: no hidden name (the
// temporary files of a copy under way begin with a dot).
bool Picture_name(const char* name) { return name[0] != '.'; }

bool All_digits(const QByteArray& name, int length)
{
    if (name.size() != length)
        return false;
    for (const char c : name)
        if (c < '0' || c > '9')
            return false;
    return true;
}

QString Day_part(const Panel_date& date)
{
    return QString::number(date.year) + QLatin1Char('/') + Two(date.month) + Two(date.day) +
           QLatin1Char('/');
}

// Copies what is left of fd_in into fd_out, exactly size bytes.
Io_result Copy_bytes(int fd_in, int fd_out, qint64 size, const QString& source,
                     const QString& target)
{
    char buffer[1 << 16];
    qint64 left = size;
    while (left > 0) {
        const ssize_t n = ::read(fd_in, buffer, std::size_t(std::min<qint64>(left, sizeof buffer)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Io_result::Failure(Io_step::Read, n < 0 ? errno : EIO, source);
        for (ssize_t written = 0; written < n;) {
            const ssize_t w = ::write(fd_out, buffer + written, std::size_t(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return Io_result::Failure(Io_step::Write, w < 0 ? errno : ENOSPC, target);
            written += w;
        }
        left -= n;
    }
    // The file grew meanwhile: the copy would not be the file as it is.
    char more = 0;
    ssize_t extra;
    do
        extra = ::read(fd_in, &more, 1);
    while (extra < 0 && errno == EINTR);
    if (extra != 0)
        return Io_result::Failure(Io_step::Read, extra < 0 ? errno : EIO, source);
    return Io_result::Success();
}

Io_result Write_all(int fd, QByteArrayView bytes, const QString& target)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + written, std::size_t(bytes.size() - written));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return Io_result::Failure(Io_step::Write, w < 0 ? errno : ENOSPC, target);
        written += w;
    }
    return Io_result::Success();
}

// Writes the picture under a new name through write_into (given the
// temporary file's descriptor and the final path).
template <class Write>
Photo_added Put_photo(const QString& app_dir, const Panel_date& date, const QString& name,
                      const QString& suffix, const QDateTime& now, Write write_into)
{
    Photo_added out;
    const QString folder = Photo_day_folder(app_dir, date);
    const Io_result made = Make_folders(folder);
    if (!made.Ok() && made.step != Io_step::Sync_folder) {
        out.result = made;
        return out;
    }
    // A name taken already (the same second and the same random number)
    // draws again rather than write over anything.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString path =
            folder + New_photo_name(now, QRandomGenerator::system()->generate(), name, suffix);
        Temp_file temp;
        out.result = temp.Open(folder, path);
        if (!out.result.Ok())
            return out;
        out.result = write_into(temp.Fd(), path);
        if (!out.result.Ok())
            return out;
        out.result = temp.Commit(path);
        if (out.result.step == Io_step::Rename && out.result.error_number == EEXIST)
            continue;
        if (out.result.Ok() || out.result.step == Io_step::Sync_folder)
            out.path = path;
        return out;
    }
    return out;
}

}  // namespace

QString Photo_day_folder(const QString& app_dir, const Panel_date& date)
{
    return app_dir + QLatin1String(Photos_folder_name) + QLatin1Char('/') + Day_part(date);
}

QString Removed_photo_folder(const QString& app_dir, const Panel_date& date)
{
    return app_dir + QStringLiteral("history/") + Day_part(date) +
           QLatin1String(Photos_folder_name) + QLatin1Char('/');
}

namespace {

// The pictures in a folder (its path ending in "/"), sorted by name.
Photo_listing List_pictures_in(const QString& folder)
{
    Photo_listing out;
    const Folder_listing listing = List_folder(folder, Listing_detail::Types, Picture_name);
    out.error = listing.error;
    for (const Folder_entry& e : listing.entries)
        if (e.type == Entry_type::Regular)
            out.paths.append(folder + QFile::decodeName(e.name));
    out.paths.sort();
    return out;
}

}  // namespace

Photo_listing List_photos(const QString& app_dir, const Panel_date& date)
{
    return List_pictures_in(Photo_day_folder(app_dir, date));
}

bool Day_has_photos(const QString& app_dir, const Panel_date& date)
{
    return !List_photos(app_dir, date).paths.isEmpty();
}

QString New_photo_name(const QDateTime& now, quint32 unique, const QString& original_name,
                       const QString& suffix)
{
    QString base = original_name.section(QLatin1Char('/'), -1);
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        base.truncate(dot);
    for (QChar& c : base) {
        const char16_t u = c.unicode();
        const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                           (u >= '0' && u <= '9') || u == '-' || u == '_' || u == '.';
        if (!plain)
            c = QLatin1Char('_');
    }
    base.truncate(40);
    QString ext = suffix.toLower();
    bool ext_plain = !ext.isEmpty() && ext.size() <= 8;
    for (const QChar c : ext)
        ext_plain = ext_plain && ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'));
    if (!ext_plain)
        ext = QStringLiteral("img");
    QString name = now.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QLatin1Char('-') +
                   QStringLiteral("%1").arg(unique, 8, 16, QLatin1Char('0'));
    if (!base.isEmpty())
        name += QLatin1Char('-') + base;
    return name + QLatin1Char('.') + ext;
}

Photo_added Add_photo_file(const QString& app_dir, const Panel_date& date, const QString& source,
                           const QString& suffix, const QDateTime& now)
{
    // Not blocking on a pipe's open; the user chose the file, so a link to
    // a picture is followed.
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0)
        return {Io_result::Failure(Io_step::Open, errno, source), {}};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{in};
    struct stat st {};
    if (::fstat(in, &st) != 0)
        return {Io_result::Failure(Io_step::Read, errno, source), {}};
    if (S_ISDIR(st.st_mode))
        return {Io_result::Failure(Io_step::Not_a_file, EISDIR, source), {}};
    if (!S_ISREG(st.st_mode))
        return {Io_result::Failure(Io_step::Not_a_regular_file, EINVAL, source), {}};
    ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
    return Put_photo(app_dir, date, source, suffix, now, [&](int out, const QString& target) {
        return Copy_bytes(in, out, st.st_size, source, target);
    });
}

Photo_added Add_photo_bytes(const QString& app_dir, const Panel_date& date, QByteArrayView bytes,
                            const QString& name, const QString& suffix, const QDateTime& now)
{
    return Put_photo(app_dir, date, name, suffix, now,
                     [&](int out, const QString& target) { return Write_all(out, bytes, target); });
}

Photo_removed Remove_photo(const QString& app_dir, const Panel_date& date, const QString& path)
{
    Photo_removed out;
    const QString folder = Photo_day_folder(app_dir, date);
    const QString name = path.mid(folder.size());
    if (!path.startsWith(folder) || name.isEmpty() || name.contains(QLatin1Char('/')) ||
        name.startsWith(QLatin1Char('.'))) {
        out.result = Io_result::Failure(Io_step::Remove, EINVAL, path);
        return out;
    }
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        out.result = Io_result::Failure(Io_step::Remove, errno, path);
        return out;
    }
    if (!S_ISREG(st.st_mode)) {
        out.result = Io_result::Failure(Io_step::Not_a_regular_file, EINVAL, path);
        return out;
    }
    const QString kept_folder = Removed_photo_folder(app_dir, date);
    const Io_result made = Make_folders(kept_folder);
    if (!made.Ok() && made.step != Io_step::Sync_folder) {
        out.result = made;
        return out;
    }
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1; n < 1000; ++n) {
        const QString target =
            kept_folder + (n == 1 ? name : stem + QStringLiteral("-%1").arg(n) + ext);
        if (::renameat2(AT_FDCWD, QFile::encodeName(path).constData(), AT_FDCWD,
                        QFile::encodeName(target).constData(), RENAME_NOREPLACE) != 0) {
            if (errno == EEXIST)
                continue;
            out.result = Io_result::Failure(Io_step::Rename, errno, path);
            return out;
        }
        out.kept_path = target;
        // The new entry first: should the machine stop between the two,
        // the picture is in both folders rather than in neither.
        out.result = Sync_folder(kept_folder);
        const Io_result left = Sync_folder(folder);
        if (out.result.Ok())
            out.result = left;
        return out;
    }
    out.result = Io_result::Failure(Io_step::Rename, EEXIST, path);
    return out;
}

Photo_listing List_removed_photos(const QString& app_dir, const Panel_date& date)
{
    return List_pictures_in(Removed_photo_folder(app_dir, date));
}

Photo_added Put_back_photo(const QString& app_dir, const Panel_date& date, const QString& kept_path)
{
    Photo_added out;
    const QString kept_folder = Removed_photo_folder(app_dir, date);
    const QString name = kept_path.mid(kept_folder.size());
    if (!kept_path.startsWith(kept_folder) || name.isEmpty() || name.contains(QLatin1Char('/')) ||
        name.startsWith(QLatin1Char('.'))) {
        out.result = Io_result::Failure(Io_step::Open, EINVAL, kept_path);
        return out;
    }
    QByteArray bytes;
    bool exists = false;
    out.result = Read_diary_file(kept_path, bytes, exists);
    if (!out.result.Ok())
        return out;
    if (!exists) {
        out.result = Io_result::Failure(Io_step::Open, ENOENT, kept_path);
        return out;
    }
    const QString folder = Photo_day_folder(app_dir, date);
    const QString target = folder + name;
    const Io_result made = Make_folders(folder);
    if (!made.Ok() && made.step != Io_step::Sync_folder) {
        out.result = made;
        return out;
    }
    struct stat st {};
    if (::lstat(QFile::encodeName(target).constData(), &st) == 0) {
        out.result = Io_result::Failure(Io_step::Rename, EEXIST, target);
        return out;
    }
    Temp_file temp;
    out.result = temp.Open(folder, target);
    if (!out.result.Ok())
        return out;
    out.result = Write_all(temp.Fd(), bytes, target);
    if (!out.result.Ok())
        return out;
    out.result = temp.Commit(target);
    if (out.result.Ok() || out.result.step == Io_step::Sync_folder)
        out.path = target;
    return out;
}

QStringList Photo_files(const QString& app_dir, Io_result& error)
{
    QStringList files;
    error = {};
    const QString top = QLatin1String(Photos_folder_name) + QLatin1Char('/');
    const Folder_listing years = List_folder(app_dir + top);
    if (!years.exists)
        return files;
    error = years.error;
    files.append(top);
    for (const Folder_entry& y : years.entries) {
        if (y.type != Entry_type::Folder || !All_digits(y.name, 4))
            continue;
        const QString year = top + QFile::decodeName(y.name) + QLatin1Char('/');
        const Folder_listing days = List_folder(app_dir + year);
        if (error.Ok())
            error = days.error;
        files.append(year);
        for (const Folder_entry& d : days.entries) {
            if (d.type != Entry_type::Folder || !All_digits(d.name, 4))
                continue;
            const QString day = year + QFile::decodeName(d.name) + QLatin1Char('/');
            const Folder_listing pictures =
                List_folder(app_dir + day, Listing_detail::Types, Picture_name);
            if (error.Ok())
                error = pictures.error;
            files.append(day);
            for (const Folder_entry& p : pictures.entries)
                if (p.type == Entry_type::Regular)
                    files.append(day + QFile::decodeName(p.name));
        }
    }
    return files;
}

QMap<int, QStringList> Year_photos(const QString& app_dir, int year)
{
    QMap<int, QStringList> out;
    const QString year_part =
        QLatin1String(Photos_folder_name) + QLatin1Char('/') + QString::number(year) + u'/';
    const Folder_listing days = List_folder(app_dir + year_part);
    for (const Folder_entry& d : days.entries) {
        if (d.type != Entry_type::Folder || !All_digits(d.name, 4))
            continue;
        const int number = d.name.toInt();
        const Photo_listing listing = List_photos(app_dir, {year, number / 100, number % 100});
        for (const QString& path : listing.paths)
            out[number].append(path.mid(app_dir.size()));
    }
    return out;
}

#include "diary/day_history.h"

#include "platform/cp932.h"
#include "store/line_file.h"
#include "store/safe_replace.h"
#include "store/store.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Stamp_format = QStringLiteral("yyyyMMdd-hhmmss");

bool Something_at(const QByteArray& name)
{
    struct stat st {};
    return ::lstat(name.constData(), &st) == 0 || errno != ENOENT;
}

// "20261209-211503.txt" or "20261209-211503-2.txt": the time and the number.
bool Parse_version_name(const QString& name, QDateTime& replaced, int& number)
{
    if (!name.endsWith(QStringLiteral(".txt")) || name.size() < 19 || name.at(8) != u'-')
        return false;
    const QString stem = name.chopped(4);
    replaced = QDateTime::fromString(stem.left(15), Stamp_format);
    if (!replaced.isValid())
        return false;
    number = 1;
    if (stem.size() == 15)
        return true;
    if (stem.at(15) != u'-')
        return false;
    bool ok = false;
    number = stem.mid(16).toInt(&ok);
    return ok && number >= 2 && stem.mid(16) == QString::number(number);
}

// The versions kept in a day's folder (with its trailing "/"), newest first.
QList<History_version> Versions_in(const QString& folder)
{
    QList<History_version> out;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return out;
    while (const dirent* entry = ::readdir(dir)) {
        History_version v;
        const QString name = QFile::decodeName(entry->d_name);
        if (!Parse_version_name(name, v.replaced, v.number))
            continue;
        v.path = folder + name;
        struct stat st {};
        if (::stat(QFile::encodeName(v.path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        v.size = st.st_size;
        out.append(v);
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const History_version& a, const History_version& b) {
        return a.replaced != b.replaced ? a.replaced > b.replaced : a.number > b.number;
    });
    return out;
}

QString Stem_of(const History_version& version) { return version.path.chopped(4); }

// The ".rec" that holds a version's index lines: its own, or that of the
// next older version with one (versions newest first, from index i).
std::optional<QString> Record_path_for(const QList<History_version>& versions, qsizetype i)
{
    for (; i < versions.size(); ++i) {
        const QString rec = Stem_of(versions[i]) + QStringLiteral(".rec");
        if (QFile::exists(rec))
            return rec;
    }
    return std::nullopt;
}

History_read Read_at(const QList<History_version>& versions, qsizetype i)
{
    History_read out;
    bool exists = false;
    out.error = Read_file_bytes(versions[i].path, out.file, exists);
    if (!out.error.Ok())
        return out;
    out.text = Diary_store::Text_of_file(out.file);
    if (const std::optional<QString> rec = Record_path_for(versions, i)) {
        QByteArray bytes;
        out.error = Read_file_bytes(*rec, bytes, exists);
        if (!out.error.Ok())
            return out;
        out.record = Own_lines_of(bytes);
        out.record_known = true;
        const Day_record r = Day_record_in(out.record, QString::fromLatin1(out.record.left(10)));
        out.memo = r.memo;
        out.flag = r.found && r.memory;
    }
    return out;
}

}  // namespace

QByteArray Record_file_bytes(const QByteArray& own_lines)
{
    QByteArray out;
    For_each_line(own_lines, [&out](QByteArrayView line) {
        out += line;
        out += "\r\n";
    });
    return out;
}

QByteArray Own_lines_of(const QByteArray& record_file)
{
    QByteArray out;
    For_each_line(record_file, [&out](QByteArrayView line) {
        out += line;
        out += '\n';
    });
    return out;
}

Day_history::Day_history(QString folder) : app_dir(std::move(folder)) {}

QString Day_history::Folder() const { return app_dir + QStringLiteral("history"); }

QString Day_history::Day_folder(int year, int month, int day) const
{
    return QStringLiteral("%1/%2/%3%4")
        .arg(Folder())
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

QList<History_version> Day_history::Versions(int year, int month, int day) const
{
    return Versions_in(Day_folder(year, month, day) + QLatin1Char('/'));
}

History_read Day_history::Read(const History_version& version) const
{
    const QList<History_version> versions =
        Versions_in(version.path.left(version.path.lastIndexOf(u'/') + 1));
    for (qsizetype i = 0; i < versions.size(); ++i) {
        if (versions[i].path == version.path)
            return Read_at(versions, i);
    }
    History_read out;
    out.error = Io_result::Failure(Io_step::Open, ENOENT, version.path);
    return out;
}

History_keep Day_history::Keep(int year, int month, int day, const QString& day_path,
                               const QByteArray& file, const QByteArray& own_lines,
                               const QDateTime& now, bool sync_later) const
{
    History_keep out;
    // A day without a file whose record holds neither a memo nor the flag
    // (the line start-up adds for today) has nothing of the user's.
    const Day_record record = Day_record_in(own_lines, QString::fromLatin1(own_lines.left(10)));
    if (file.isEmpty() && record.memo_bytes.isEmpty() && !record.memory)
        return out;
    const QList<History_version> versions = Versions(year, month, day);
    bool record_changed = true;
    if (!versions.isEmpty()) {
        const History_read newest = Read_at(versions, 0);
        record_changed = !newest.error.Ok() || !newest.record_known || newest.record != own_lines;
        if (!record_changed && newest.file == file)
            return out;  // kept already, byte for byte
    }
    const QString day_folder = Day_folder(year, month, day);
    for (const QString& folder : {Folder(), day_folder.left(day_folder.size() - 5), day_folder}) {
        if (const Io_result made = Make_folder(folder);
            !made.Ok() && made.step != Io_step::Sync_folder) {
            out.error = made;
            return out;
        }
    }
    const QString base = day_folder + QLatin1Char('/') + now.toString(Stamp_format);
    for (int n = 1;; ++n) {
        const QString stem = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
        const QString txt = stem + QStringLiteral(".txt");
        const QString rec = stem + QStringLiteral(".rec");
        const QByteArray txt_name = QFile::encodeName(txt);
        if (Something_at(txt_name) || Something_at(QFile::encodeName(rec)))
            continue;
        // The lines first: a version is listed by its ".txt", so a crash
        // between the two leaves no version with another's lines.
        if (record_changed) {
            const Io_result r = Replace_file(rec, Record_file_bytes(own_lines));
            if (!r.Ok() && r.step != Io_step::Sync_folder) {
                out.error = r;
                return out;
            }
        }
        // The day file as it is on the disk now, linked: a link adds a name
        // and no data. The data were synced when this program wrote the
        // file; a file another program left unsynced is no safer without
        // this save than with it.
        bool linked = false;
        struct stat st {};
        if (!file.isEmpty() && ::lstat(QFile::encodeName(day_path).constData(), &st) == 0 &&
            S_ISREG(st.st_mode) && st.st_size == file.size()) {
            if (::link(QFile::encodeName(day_path).constData(), txt_name.constData()) == 0)
                linked = true;
            else if (errno == EEXIST)
                continue;  // another copy of the program took the name
        }
        // No link here (a file system without them, another owner's file):
        // the bytes as read are copied.
        if (linked && sync_later) {
            out.unsynced_folder = day_folder;
        } else {
            out.error = linked ? Sync_folder(day_folder) : Replace_file(txt, file);
            // A folder that could not be synced holds the name all the same;
            // as with a conflict copy, only its durability across a crash is
            // in doubt, and the save goes on.
            if (out.error.step == Io_step::Sync_folder)
                out.error = {};
        }
        if (out.error.Ok())
            out.path = txt;
        return out;
    }
}

void History_sync::Run()
{
    if (!folder.isEmpty())
        Sync_folder(folder);
    folder.clear();
}

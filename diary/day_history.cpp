#include "diary/day_history.h"

#include "platform/cp932.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/lock.h"
#include "store/safe_replace.h"
#include "store/store.h"

#include <QFile>
#include <QSet>
#include <algorithm>
#include <cerrno>
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

// "20261209-211503" as a date and a time of day. Read digit by digit and
// kept apart from any time zone: a save lists the day's folder every time,
// and a local time costs a look at the system's zone file.
bool Parse_stamp(QStringView stamp, QDate& date, QTime& time)
{
    if (stamp.size() != 15 || stamp[8] != u'-')
        return false;
    int digits[14] = {};
    for (qsizetype i = 0, n = 0; i < 15; ++i) {
        if (i == 8)
            continue;
        if (stamp[i] < u'0' || stamp[i] > u'9')
            return false;
        digits[n++] = stamp[i].unicode() - u'0';
    }
    auto number = [&digits](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i)
            value = value * 10 + digits[i];
        return value;
    };
    date = QDate(number(0, 4), number(4, 2), number(6, 2));
    time = QTime(number(8, 2), number(10, 2), number(12, 2));
    return date.isValid() && time.isValid();
}

// A version's name read: "20261209-211503.txt" or "20261209-211503-2.txt"
// (or the same with ".rec" or ".idx").
struct Version_name {
    QStringView stamp;
    QDate date;
    QTime time;
    int number = 1;
};

bool Parse_version_name(const QString& name, const QString& extension, Version_name& out)
{
    if (!name.endsWith(extension) || name.size() < 19)
        return false;
    const QStringView stem = QStringView(name).chopped(4);
    out.stamp = stem.left(15);
    if (!Parse_stamp(out.stamp, out.date, out.time))
        return false;
    out.number = 1;
    if (stem.size() == 15)
        return true;
    if (stem[15] != u'-')
        return false;
    bool ok = false;
    out.number = stem.mid(16).toInt(&ok);
    return ok && out.number >= 2 && stem.mid(16) == QString::number(out.number);
}

// A day's folder as listed: its versions, newest first, and the names
// (without ".rec" or ".idx") of the versions with index lines of their own.
struct Listing {
    QList<History_version> versions;
    QSet<QString> recorded;
    QSet<QString> indexed;  // with a linked year index rather than a ".rec"
    QSet<QString> exact;    // names (without ".utf8.txt") of versions with an exact text
    QSet<QString> names;    // every name of a version's file listed, whatever its type
    bool exists = false;    // the folder is there and was listed
};

// "20261209-211503.utf8.txt": the exact text kept beside a version.
bool Is_exact_name(QByteArrayView name)
{
    constexpr QByteArrayView Ending(".utf8.txt");
    if (!name.endsWith(Ending))
        return false;
    const QByteArray version = name.chopped(Ending.size()).toByteArray() + ".txt";
    return Classify_history_name(version).kind == Diary_name::History_version;
}

// Lists the folder (with its trailing "/"); the sizes and the times of the
// versions only when asked, for a window.
Listing List_versions(const QString& folder, bool in_full)
{
    Listing out;
    const Folder_listing listing = List_folder(
        folder, in_full ? Listing_detail::Full : Listing_detail::Types, [](const char* name) {
            const Diary_name kind = Classify_history_name(name).kind;
            return kind == Diary_name::History_version || kind == Diary_name::History_record ||
                   kind == Diary_name::History_index || Is_exact_name(name);
        });
    out.exists = listing.exists && listing.error.Ok();
    const QString txt = QStringLiteral(".txt");
    const QString rec = QStringLiteral(".rec");
    const QString idx = QStringLiteral(".idx");
    struct Found {
        History_version version;
        QString stamp;
    };
    QList<Found> found;
    for (const Folder_entry& entry : listing.entries) {
        const QString name = QFile::decodeName(entry.name);
        out.names.insert(name);
        if (Is_exact_name(entry.name)) {
            out.exact.insert(name.chopped(9));
            continue;
        }
        Version_name parsed;
        if (Parse_version_name(name, rec, parsed)) {
            out.recorded.insert(name.chopped(4));
            continue;
        }
        if (Parse_version_name(name, idx, parsed)) {
            out.indexed.insert(name.chopped(4));
            continue;
        }
        if (!Parse_version_name(name, txt, parsed))
            continue;
        // A version is a regular file; a link or anything else in its place
        // is no version of the day.
        if (entry.type != Entry_type::Regular)
            continue;
        Found f{{folder + name, {}, parsed.number, 0}, parsed.stamp.toString()};
        if (in_full)
            f.version.size = entry.size;
        if (in_full)
            f.version.replaced = QDateTime(parsed.date, parsed.time);
        found.append(f);
    }
    // The names' digits sort as their times do.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.stamp != b.stamp ? a.stamp > b.stamp : a.version.number > b.version.number;
    });
    out.versions.reserve(found.size());
    for (const Found& f : found)
        out.versions.append(f.version);
    return out;
}

// The file that holds a version's index lines: its own, or that of the
// next older version with one (from index i of the listing). A ".rec"
// holds the day's lines alone, an ".idx" the year's whole index.
struct Record_file {
    QString path;
    bool whole_index = false;
};

std::optional<Record_file> Record_path_for(const Listing& listing, qsizetype i)
{
    for (; i < listing.versions.size(); ++i) {
        const QString& path = listing.versions[i].path;
        const QString name = path.mid(path.lastIndexOf(u'/') + 1).chopped(4);
        if (listing.recorded.contains(name))
            return Record_file{path.chopped(4) + QStringLiteral(".rec"), false};
        if (listing.indexed.contains(name))
            return Record_file{path.chopped(4) + QStringLiteral(".idx"), true};
    }
    return std::nullopt;
}

// The index key of the day whose history folder holds a version:
// "…/history/2026/1209/x.txt" -> "2026/12/09".
QString Key_of_version(const QString& version_path)
{
    const QStringList parts = version_path.split(u'/');
    if (parts.size() < 3)
        return {};
    const QString& year = parts[parts.size() - 3];
    const QString& day = parts[parts.size() - 2];
    bool ok_year = false, ok_day = false;
    const int y = year.toInt(&ok_year);
    const int md = day.toInt(&ok_day);
    if (!ok_year || !ok_day || day.size() != 4)
        return {};
    return Diary_store::Date_key(y, md / 100, md % 100);
}

// "…/20261209-211503.txt" -> "…/20261209-211503.utf8.txt": the exact text
// of a version whose day held characters Shift_JIS cannot hold.
QString Exact_path_of(const QString& version_path)
{
    return version_path.chopped(4) + QStringLiteral(".utf8.txt");
}

// The exact text of a version of the listing, read only when it lists one.
QByteArray Exact_bytes_of(const Listing& listing, const QString& version_path)
{
    const QString name = version_path.mid(version_path.lastIndexOf(u'/') + 1).chopped(4);
    if (!listing.exact.contains(name))
        return {};
    QByteArray bytes;
    bool exists = false;
    Read_file_bytes(Exact_path_of(version_path), bytes, exists);
    return bytes;
}

// The index lines of version i of the listing, each followed by "\n", and
// the key of its day; nullopt when it has no record (nor an older version).
struct Version_record {
    Io_result error;
    QByteArray own_lines;
    QString key;
};

std::optional<Version_record> Read_record_at(const Listing& listing, qsizetype i)
{
    const std::optional<Record_file> rec = Record_path_for(listing, i);
    if (!rec)
        return std::nullopt;
    Version_record out;
    QByteArray bytes;
    bool exists = false;
    out.error = Read_file_bytes(rec->path, bytes, exists);
    if (!out.error.Ok())
        return out;
    out.key = rec->whole_index ? Key_of_version(listing.versions[i].path)
                               : QString::fromLatin1(bytes.left(10));
    out.own_lines =
        rec->whole_index ? Day_record_in(bytes, out.key).own_lines : Own_lines_of(bytes);
    return out;
}

// What a save compares with what it would keep: the lines of version i,
// and its day file's bytes, each read on its own. nullopt when they cannot
// be read, or (the lines) when no record is there.
std::optional<QByteArray> Record_at(const Listing& listing, qsizetype i)
{
    const std::optional<Version_record> record = Read_record_at(listing, i);
    if (!record || !record->error.Ok())
        return std::nullopt;
    return record->own_lines;
}

std::optional<QByteArray> File_at(const Listing& listing, qsizetype i)
{
    QByteArray bytes;
    bool exists = false;
    if (!Read_file_bytes(listing.versions[i].path, bytes, exists).Ok())
        return std::nullopt;
    return bytes;
}

History_read Read_at(const Listing& listing, qsizetype i)
{
    History_read out;
    bool exists = false;
    out.error = Read_file_bytes(listing.versions[i].path, out.file, exists);
    if (!out.error.Ok())
        return out;
    out.text = Diary_store::Text_of_file(out.file);
    const std::optional<Exact_text> exact =
        Parse_companion(Exact_bytes_of(listing, listing.versions[i].path));
    if (const std::optional<Version_record> rec = Read_record_at(listing, i)) {
        out.error = rec->error;
        if (!out.error.Ok())
            return out;
        const QString& key = rec->key;
        out.record = rec->own_lines;
        out.record_known = true;
        const Day_record r = Day_record_in(out.record, key);
        out.memo = r.memo;
        out.flag = r.found && r.memory;
        if (exact && Memo_matches(exact->memo, r))
            out.memo = exact->memo;
    }
    // The exact text kept beside the version, where it is the version's.
    if (exact && Text_matches(exact->text, out.file))
        out.text = exact->text;
    return out;
}

enum class Index_link {
    Linked,
    Name_taken,
    Not_linked
};

// Links the year's index about to be replaced to idx_path, when its day's
// lines are own_lines. Only a regular file of this user with no other name
// is linked: a file with another name could be changed through it, and
// another user's file is not this user's to keep. An index that another
// copy of the program replaced since it was read (or another program wrote
// into) is no record of this version, and the link goes again: the new
// name is known as the file read, unchanged since (see Same_as_read), or
// else its lines are read back.
Index_link Link_index(const Replaced_index& index, const QString& idx_path,
                      const QByteArray& own_lines, const QString& key)
{
    if (!index.bytes || index.path.isEmpty())
        return Index_link::Not_linked;
    const QByteArray from = QFile::encodeName(index.path);
    struct stat st {};
    if (::lstat(from.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 ||
        st.st_uid != ::getuid())
        return Index_link::Not_linked;
    const qint64 size = index.bytes->size();
    if (st.st_size != size && !(lock::Any_key_registered() && lock::Plain_size(st.st_size) == size))
        return Index_link::Not_linked;
    const QByteArray to = QFile::encodeName(idx_path);
    if (::link(from.constData(), to.constData()) != 0)
        return errno == EEXIST ? Index_link::Name_taken : Index_link::Not_linked;
    struct stat now {};
    if (index.read && ::lstat(to.constData(), &now) == 0 && Same_as_read(*index.read, now, to))
        return Index_link::Linked;
    QByteArray linked;
    bool exists = false;
    if (Read_file_bytes(idx_path, linked, exists).Ok() && exists &&
        Day_record_in(linked, key).own_lines == own_lines)
        return Index_link::Linked;
    ::unlink(to.constData());
    return Index_link::Not_linked;
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
    return List_versions(Day_folder(year, month, day) + QLatin1Char('/'), true).versions;
}

History_read Day_history::Read(const History_version& version) const
{
    const Listing listing =
        List_versions(version.path.left(version.path.lastIndexOf(u'/') + 1), false);
    for (qsizetype i = 0; i < listing.versions.size(); ++i) {
        if (listing.versions[i].path == version.path)
            return Read_at(listing, i);
    }
    History_read out;
    out.error = Io_result::Failure(Io_step::Open, ENOENT, version.path);
    return out;
}

History_keep Day_history::Keep(int year, int month, int day, const QString& day_path,
                               const QByteArray& file, const QByteArray& own_lines,
                               const QDateTime& now, bool sync_later, const QByteArray& exact,
                               const Replaced_index& index) const
{
    History_keep out;
    // A day without a file whose record holds neither a memo nor the flag
    // (the line start-up adds for today) has nothing of the user's.
    const Day_record record = Day_record_in(own_lines, QString::fromLatin1(own_lines.left(10)));
    if (file.isEmpty() && record.memo_bytes.isEmpty() && !record.memory)
        return out;
    const QString day_folder = Day_folder(year, month, day);
    const Listing listing = List_versions(day_folder + QLatin1Char('/'), false);
    bool record_changed = true;
    if (!listing.versions.isEmpty()) {
        // The newest version's day file is read only when its lines are
        // these: lines that changed are kept whatever the file holds.
        std::optional<QByteArray> newest_file;
        if (Record_at(listing, 0) == own_lines)
            newest_file = File_at(listing, 0);
        record_changed = !newest_file;
        if (newest_file == file && Exact_bytes_of(listing, listing.versions[0].path) == exact) {
            // Kept already, byte for byte, by a save that then failed: its
            // folder's sync may be the very step that failed.
            if (sync_later)
                out.unsynced_folder = day_folder;
            else
                out.error = Sync_folder(day_folder);
            return out;
        }
    }
    // A day's folder just listed is there, and so are the folders above it.
    for (const QString& folder : {Folder(), day_folder.left(day_folder.size() - 5), day_folder}) {
        if (listing.exists)
            break;
        if (const Io_result made = Make_folder(folder); !made.Ok()) {
            out.error = made;
            return out;
        }
    }
    const QString base = day_folder + QLatin1Char('/') + now.toString(Stamp_format);
    for (int n = 1;; ++n) {
        const QString stem = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
        const QString txt = stem + QStringLiteral(".txt");
        const QString rec = stem + QStringLiteral(".rec");
        const QString idx = stem + QStringLiteral(".idx");
        const QByteArray txt_name = QFile::encodeName(txt);
        // The folder was just listed: a name it lacks is free, but for a
        // copy of the program saving the same day in the same second (its
        // link then fails, and the next name is taken).
        auto taken = [&](const QString& path) {
            return listing.exists ? listing.names.contains(path.mid(day_folder.size() + 1))
                                  : Something_at(QFile::encodeName(path));
        };
        if (taken(txt) || taken(rec) || taken(idx) || taken(Exact_path_of(txt)))
            continue;
        // With sync_later every new name of the version waits for the one
        // sync of the folder that the caller runs before the day is
        // replaced; until then a crash leaves the day as it was.
        const Folder_sync sync = sync_later ? Folder_sync::Later : Folder_sync::Now;
        // The lines first: a version is listed by its ".txt", so a crash
        // between the two leaves no version with another's lines (where
        // they share the folder's sync, on a file system that keeps the
        // order of a folder's changes).
        // The lines kept by a link to the old index write no new data: its
        // bytes were synced when this program wrote the index (one another
        // program left unsynced is no safer without this save), and the
        // link's name waits for the folder's sync like the others.
        bool write_record = record_changed;
        if (record_changed) {
            const Index_link l =
                Link_index(index, idx, own_lines, Diary_store::Date_key(year, month, day));
            if (l == Index_link::Name_taken)
                continue;  // another copy of the program took the name
            write_record = l != Index_link::Linked;
        }
        if (write_record) {
            const Io_result r = Replace_file(rec, Record_file_bytes(own_lines), sync);
            if (!r.Ok()) {
                out.error = r;
                return out;
            }
        }
        // The exact text beside it, before the version is listed by its
        // ".txt": the companion of the day file is replaced by this save.
        if (!exact.isEmpty()) {
            const Io_result r = Replace_file(Exact_path_of(txt), exact, sync);
            if (!r.Ok()) {
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
            S_ISREG(st.st_mode) &&
            (st.st_size == file.size() ||
             (lock::Any_key_registered() && lock::Plain_size(st.st_size) == file.size()))) {
            if (::link(QFile::encodeName(day_path).constData(), txt_name.constData()) == 0)
                linked = true;
            else if (errno == EEXIST)
                continue;  // another copy of the program took the name
        }
        // No link here (a file system without them, another owner's file):
        // the bytes as read are copied.
        if (!linked)
            out.error = Replace_file(txt, file, sync);
        if (out.error.Ok() && sync_later) {
            out.unsynced_folder = day_folder;
        } else if (out.error.Ok() && linked) {
            // A folder that cannot be synced holds the name, but a crash
            // after the day is replaced could take it: the version is not
            // known to be kept, and the save does not go on unasked.
            out.error = Sync_folder(day_folder);
        }
        if (out.error.Ok())
            out.path = txt;
        return out;
    }
}

Io_result History_sync::Run()
{
    Io_result out;
    if (!folder.isEmpty())
        out = Sync_folder(folder);
    folder.clear();
    return out;
}

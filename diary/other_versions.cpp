#include "diary/other_versions.h"

#include "platform/clock.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/safe_replace.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <strings.h>
#include <unistd.h>

QByteArray Diary_session::Diary_day_change_on_disk()
{
    const Day_on_disk now = Read_day_on_disk(diary_date);
    if (!now.error.Ok() || now.file_in_the_way || !Changed_since_load(now))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(now.file);
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(now.record.own_lines);
    return hash.result();
}

namespace {

QString Folder_of(const QString& path) { return path.left(path.lastIndexOf(QLatin1Char('/'))); }

QString File_name_of(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// A copy of a day's exact text rather than of its day file: "1209.utf8…"
// as the sync tools name it, or this program's "….utf8.txt" beside its own
// conflict copy.
bool Names_exact_text(const QString& name)
{
    return name.mid(4).startsWith(QLatin1String(".utf8")) ||
           name.endsWith(QLatin1String(".utf8.txt"), Qt::CaseInsensitive);
}

// This program's conflict copy heads the day file with the memo and the
// 思い出 that went with it, when they differ from those that stayed:
// "メモ：…", "思い出：あり" or "なし", an empty line.
bool Split_own_copy(const QByteArray& bytes, QByteArray& memo, bool& flag, QByteArray& file)
{
    const QByteArray memo_head = cp932::Encode(QStringLiteral("メモ：")).bytes;
    const QByteArray yes = cp932::Encode(QStringLiteral("思い出：あり")).bytes;
    const QByteArray no = cp932::Encode(QStringLiteral("思い出：なし")).bytes;
    if (!bytes.startsWith(memo_head))
        return false;
    const qsizetype memo_end = bytes.indexOf("\r\n");
    if (memo_end < 0)
        return false;
    const qsizetype flag_start = memo_end + 2;
    const qsizetype flag_end = bytes.indexOf("\r\n", flag_start);
    if (flag_end < 0 || bytes.mid(flag_end, 4) != "\r\n\r\n")
        return false;
    const QByteArray flag_line = bytes.mid(flag_start, flag_end - flag_start);
    if (flag_line != yes && flag_line != no)
        return false;
    memo = bytes.mid(memo_head.size(), memo_end - memo_head.size());
    flag = flag_line == yes;
    file = bytes.mid(flag_end + 4);
    return true;
}

// The index line of a day: its key, the flag and the memo (see
// Diary_store::Store_day_record_bytes), followed by "\n" as own_lines are.
QByteArray Record_lines(const QString& key, bool flag, const QByteArray& memo)
{
    return key.toLatin1() + (flag ? "1" : "0") + memo + "\n";
}

Io_result Remove_file(const QString& path)
{
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        return Io_result::Failure(Io_step::Remove, errno, path);
    return Io_result::Success();
}

}  // namespace

QList<Other_version> Read_other_versions(Diary_session& session, const Panel_date& date)
{
    Diary_store& store = session.Store();
    const QString app_dir = store.App_dir();
    const QStringList names = session.Other_versions(date);
    bool index_exists = false;
    QByteArray index;
    Read_file_bytes(store.Keyword_file_path(date.year), index, index_exists);
    const Day_record today = Day_record_in(index, date.Key());
    QList<Other_version> out;
    for (const QString& name : names) {
        const QString file_name = File_name_of(name);
        // This program's exact text beside its own copy goes with the copy.
        if (file_name.endsWith(QLatin1String(".utf8.txt")) &&
            names.contains(name.chopped(9) + QStringLiteral(".txt")))
            continue;
        Other_version v;
        v.path = app_dir + name;
        v.name = name;
        bool exists = false;
        QByteArray bytes;
        v.error = Read_diary_file(v.path, bytes, exists);
        if (v.error.Ok() && !exists)
            continue;  // gone since it was listed
        v.entry = {QString(), today.memo, today.found && today.memory};
        v.own_lines = today.own_lines;
        if (!v.error.Ok()) {
            out.append(v);
            continue;
        }
        const auto exact = Names_exact_text(file_name) ? Parse_companion(bytes) : std::nullopt;
        if (exact) {
            v.exact = bytes;
            v.entry.text = exact->text;
            v.entry.memo = exact->memo;
            v.record_known = true;
            // The day file it stands for: the text with the substitutes
            // Windows writes.
            v.file = Diary_store::File_bytes_of(cp932::Encode(exact->text).bytes);
            v.own_lines = Record_lines(date.Key(), v.entry.flag,
                                       cp932::Encode(One_line_memo(exact->memo)).bytes);
        } else {
            QByteArray memo;
            bool flag = false;
            if (Classify_year_name(QFile::encodeName(file_name)).kind == Diary_name::Own_conflict &&
                Split_own_copy(bytes, memo, flag, v.file)) {
                v.record_known = true;
                v.entry.memo = cp932::Decode_text(memo);
                v.entry.flag = flag;
                v.own_lines = Record_lines(date.Key(), flag, memo);
            } else {
                v.file = bytes;
                v.whole_copy = true;
            }
            v.entry.text = Diary_store::Text_of_file(v.file);
            const QString companion = v.path.chopped(4) + QStringLiteral(".utf8.txt");
            QByteArray exact_bytes;
            bool companion_exists = false;
            if (Classify_year_name(QFile::encodeName(file_name)).kind == Diary_name::Own_conflict &&
                Read_diary_file(companion, exact_bytes, companion_exists).Ok() &&
                companion_exists) {
                v.companion = companion;
                if (const auto parsed = Parse_companion(exact_bytes)) {
                    v.exact = exact_bytes;
                    if (Text_matches(parsed->text, v.file))
                        v.entry.text = parsed->text;
                    if (v.record_known && cp932::Encode(One_line_memo(parsed->memo)).bytes == memo)
                        v.entry.memo = parsed->memo;
                }
            }
        }
        out.append(v);
    }
    return out;
}

Io_result Keep_other_version(Diary_session& session, const Panel_date& date,
                             const Other_version& version)
{
    if (!version.error.Ok())
        return version.error;
    // The history links the file it is given when its size is the
    // version's: only the copy itself may be linked, never the day file.
    const History_keep kept = session.History().Keep(
        date.year, date.month, date.day, version.whole_copy ? version.path : QString(),
        version.file, version.own_lines, session.Time().Now(), false, version.exact);
    return kept.error;
}

Io_result Remove_other_version(const Other_version& version)
{
    if (!version.error.Ok())
        return version.error;
    if (const Io_result r = Remove_file(version.path); !r.Ok())
        return r;
    if (!version.companion.isEmpty()) {
        if (const Io_result r = Remove_file(version.companion); !r.Ok())
            return r;
    }
    return Sync_folder(Folder_of(version.path));
}

QStringList Index_copies(Diary_session& session, int year)
{
    const QString folder = session.Store().Year_folder(year);
    QStringList out;
    const Folder_listing listing = List_folder(folder, Listing_detail::Types, [](const char* n) {
        return ::strncasecmp(n, "keyword", 7) == 0 && n[7] != 0;
    });
    for (const Folder_entry& entry : listing.entries) {
        const Name_class name = Classify_year_name(entry.name);
        if (entry.type == Entry_type::Regular && Is_other_version(name.kind))
            out.append(folder + QLatin1Char('/') + QFile::decodeName(entry.name));
    }
    out.sort();
    return out;
}

Index_merge Merge_index_copies(Diary_session& session, int year)
{
    Index_merge out;
    Diary_store& store = session.Store();
    const QString index_path = store.Keyword_file_path(year);
    for (const QString& copy : Index_copies(session, year)) {
        bool exists = false;
        QByteArray index;
        if (out.error = Read_diary_file(index_path, index, exists); !out.error.Ok())
            return out;
        QByteArray copy_bytes;
        if (out.error = Read_diary_file(copy, copy_bytes, exists); !out.error.Ok())
            return out;
        if (!exists)
            continue;
        const QHash<QByteArray, Day_record> here = Day_records_in(index);
        const QHash<QByteArray, Day_record> there = Day_records_in(copy_bytes);
        // Lines that belong to no day would be lost with the copy.
        bool stray = false;
        For_each_line(copy_bytes, [&stray](QByteArrayView line) {
            if (!line.isEmpty() && line.size() < 10)
                stray = true;
        });
        QByteArray added;
        QList<std::pair<Panel_date, Day_record>> differing;
        QList<QByteArray> keys = there.keys();
        std::sort(keys.begin(), keys.end());
        for (const QByteArray& key : keys) {
            const Day_record& theirs = there[key];
            const auto ours = here.constFind(key);
            if (ours != here.cend() && ours->own_lines == theirs.own_lines)
                continue;
            if (ours == here.cend()) {
                added += Record_file_bytes(theirs.own_lines);
                ++out.added;
                continue;
            }
            const std::optional<Panel_date> day = Parse_panel_date(QString::fromLatin1(key));
            if (!day || day->year != year || day->Key().toLatin1() != key ||
                !Is_diary_day(day->month, day->day)) {
                stray = true;
                continue;
            }
            differing.append({*day, theirs});
        }
        if (!added.isEmpty()) {
            if (!index.isEmpty() && !index.endsWith('\n'))
                index += "\r\n";
            if (out.error = Replace_file(index_path, index + added); !out.error.Ok())
                return out;
        }
        for (const auto& [day, theirs] : differing) {
            QByteArray file;
            bool file_exists = false;
            if (out.error = Read_diary_file(store.Day_file_path(day.year, day.month, day.day), file,
                                            file_exists);
                !out.error.Ok())
                return out;
            const QString path =
                store.New_conflict_copy_path(day.year, day.month, day.day, session.Time().Now());
            if (out.error = Replace_file(path, Diary_session::Conflict_copy_bytes(
                                                   file, theirs.memo_bytes, theirs.memory, true));
                !out.error.Ok())
                return out;
            out.versions.append(path);
        }
        if (stray) {
            out.kept.append(copy);
            continue;
        }
        if (out.error = Remove_file(copy); !out.error.Ok())
            return out;
        if (out.error = Sync_folder(Folder_of(copy)); !out.error.Ok())
            return out;
        out.removed.append(copy);
    }
    return out;
}

#include "store/exact_text.h"

#include "platform/cp932.h"
#include "store/diary_files.h"
#include "store/line_file.h"
#include "store/safe_replace.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Stem_of(const QString& file_path)
{
    return file_path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive) ? file_path.chopped(4)
                                                                           : file_path;
}

QString Folder_of(const QString& path) { return QFileInfo(path).path(); }

QByteArray One_line_bytes(QByteArray bytes) { return bytes.replace('\r', ' ').replace('\n', ' '); }

// The companion at path, read and parsed; nothing when there is none.
// A companion that cannot be read is an error only for a save, which must
// not write over it.
struct Companion_read {
    std::optional<Exact_text> exact;
    bool exists = false;
    Io_result error;
};
Companion_read Read_companion(const QString& path)
{
    Companion_read out;
    QByteArray bytes;
    out.error = Read_file_bytes(path, bytes, out.exists);
    if (out.error.Ok() && out.exists)
        out.exact = Parse_companion(bytes);
    return out;
}

bool Something_at(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 || errno != ENOENT;
}

Io_result Rename(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return Io_result::Failure(Io_step::Rename, errno, from);
    return Io_result::Success();
}

// Removes the file; a missing one is a success. removed, when given, says
// whether there was one.
Io_result Remove(const QString& path, bool* removed = nullptr)
{
    const bool gone = ::unlink(QFile::encodeName(path).constData()) == 0;
    if (removed)
        *removed = gone;
    if (!gone && errno != ENOENT)
        return Io_result::Failure(Io_step::Remove, errno, path);
    return Io_result::Success();
}

}  // namespace

QString Companion_path(const QString& file_path)
{
    return Stem_of(file_path) + QStringLiteral(".utf8.txt");
}

QString Staged_companion_path(const QString& file_path)
{
    return Stem_of(file_path) + QStringLiteral(".utf8.new.txt");
}

// The memo on the first line, the text after it, all UTF-8.
QByteArray Companion_bytes(const Exact_text& exact)
{
    return One_line_memo(exact.memo).toUtf8() + '\n' + exact.text.toUtf8();
}

std::optional<Exact_text> Parse_companion(QByteArrayView bytes)
{
    const qsizetype end_of_memo = bytes.indexOf('\n');
    if (end_of_memo < 0)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    Exact_text out;
    out.memo = utf8(bytes.first(end_of_memo));
    out.text = utf8(bytes.sliced(end_of_memo + 1));
    if (utf8.hasError())
        return std::nullopt;
    return out;
}

QString One_line_memo(const QString& memo)
{
    QString out = memo;
    return out.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}

bool Needs_companion(const QString& text, const QString& memo)
{
    return !cp932::Encode(text).Ok() || !cp932::Encode(memo).Ok();
}

bool Text_matches(const QString& text, const QByteArray& file_bytes)
{
    return Diary_store::File_bytes_of(cp932::Encode(text).bytes) == file_bytes;
}

bool Memo_matches(const QString& memo, const Day_record& record)
{
    if (!record.found)
        return memo.isEmpty();
    return One_line_bytes(cp932::Encode(memo).bytes) == record.memo_bytes;
}

Io_result Keep_companion_aside(const QString& companion, const QDateTime& now)
{
    // Named after the day, whether it was the companion or a staged one.
    QString day = Stem_of(companion);
    for (const QLatin1String end : {QLatin1String(".utf8.new"), QLatin1String(".utf8")}) {
        if (day.endsWith(end, Qt::CaseInsensitive)) {
            day.chop(end.size());
            break;
        }
    }
    const QString stem =
        day + QStringLiteral(".utf8.kept-") + now.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString kept = stem + QStringLiteral(".txt");
    for (int n = 2; Something_at(kept); ++n)
        kept = stem + QStringLiteral("-%1.txt").arg(n);
    if (const Io_result r = Rename(companion, kept); !r.Ok())
        return r;
    return Sync_folder(Folder_of(companion));
}

bool Is_kept_companion_name(const QString& file_name)
{
    const QByteArray name = QFile::encodeName(file_name.mid(file_name.lastIndexOf(u'/') + 1));
    return Classify_year_name(name).kind == Diary_name::Kept_companion ||
           Classify_top_name(name).kind == Diary_name::Kept_companion;
}

std::optional<Exact_text> Read_companion_of(const QString& file_path)
{
    return Read_companion(Companion_path(file_path)).exact;
}

namespace {

// The day's file and its companions read; out holds the day's record.
// listed, when given, says which names the year folder holds: a name it
// lacks is not asked of the disk.
Exact_day Read_day_files(Diary_store& store, Exact_day out, const QString& path,
                         const std::function<bool(const QString&)>& listed,
                         bool text_from_file = true)
{
    Text_read read;
    if (listed && !listed(path)) {
    } else if (text_from_file) {
        read = store.Read_text_file(path);
    } else {
        bool exists = false;
        read.result = Read_file_bytes(path, read.bytes, exists);
        read.file_size = read.bytes.size();
    }
    out.text_error = read.result;
    out.file_size = read.file_size;
    out.file = read.bytes;
    out.text = read.result.Ok() ? read.text : QString();
    // The companion of the last save first, then one a save left staged.
    for (const QString& companion : {Companion_path(path), Staged_companion_path(path)}) {
        if (listed && !listed(companion))
            continue;
        const Companion_read c = Read_companion(companion);
        if (!c.exists)
            continue;
        bool used = false;
        if (c.exact && read.result.Ok() && Text_matches(c.exact->text, read.bytes)) {
            used = true;
            if (!out.exact_text) {
                out.text = c.exact->text;
                out.exact_text = true;
            }
        }
        if (c.exact && out.index_error.Ok() && Memo_matches(c.exact->memo, out.record)) {
            used = true;
            if (!out.exact_memo) {
                out.memo = c.exact->memo;
                out.exact_memo = true;
            }
        }
        // A companion that could not be read is left where it is.
        if (!used && c.error.Ok())
            out.unmatched.append(companion);
    }
    return out;
}

Exact_day With_record(Day_record record, const Io_result& index_error)
{
    Exact_day out;
    out.index_error = index_error;
    out.record = std::move(record);
    out.memo = out.record.found ? out.record.memo : QString();
    out.flag = out.record.found && out.record.memory;
    return out;
}

}  // namespace

Exact_day Read_exact_day(Diary_store& store, int year, int month, int day,
                         const QByteArray* index_now)
{
    const QString key = Diary_store::Date_key(year, month, day);
    Io_result index_error;
    Day_record record =
        index_now ? Day_record_in(*index_now, key) : store.Find_day_record(year, key, &index_error);
    return Read_day_files(store, With_record(std::move(record), index_error),
                          store.Day_file_path(year, month, day), {});
}

Year_files Read_year_files(Diary_store& store, int year)
{
    Year_files out;
    const QString folder = store.Year_folder(year);
    Folder_listing listing = List_folder(folder);
    out.folder_exists = listing.exists;
    if (!listing.error.Ok()) {
        out.folder_error = listing.error;
        return out;
    }
    if (!listing.exists)
        return out;
    out.names.reserve(qsizetype(listing.entries.size()));
    for (Folder_entry& entry : listing.entries) {
        if (entry.name.contains(".utf8."))
            out.has_companions = true;
        out.names.insert(std::move(entry.name));
    }
    bool exists = false;
    out.index_error = Read_file_bytes(store.Keyword_file_path(year), out.index, exists);
    if (out.index_error.Ok())
        out.records = Day_records_in(out.index);
    return out;
}

Exact_day Read_exact_day(Diary_store& store, int year, int month, int day,
                         const Year_files& year_files, bool text_from_file)
{
    // Names as bytes, made here without the paths: this runs for every day
    // of an export.
    char lower[16];
    std::snprintf(lower, sizeof lower, "%02d%02d.txt", month % 100, day % 100);
    char upper[16];
    std::snprintf(upper, sizeof upper, "%02d%02d.TXT", month % 100, day % 100);
    char key[16];
    std::snprintf(key, sizeof key, "%04d/%02d/%02d", year % 10000, month % 100, day % 100);
    const QString folder = store.Year_folder(year) + QLatin1Char('/');
    // The day file's name as the folder has it, lower case first, as
    // Day_file_path finds it.
    const char* name = !year_files.names.contains(QByteArray::fromRawData(lower, 8)) &&
                               year_files.names.contains(QByteArray::fromRawData(upper, 8))
                           ? upper
                           : lower;
    const QString path = folder + QLatin1String(name);
    auto listed = [&year_files, &folder](const QString& file) {
        // A folder without any companion (most of a diary) asks nothing.
        return year_files.has_companions &&
               year_files.names.contains(QFile::encodeName(file.sliced(folder.size())));
    };
    const bool file_listed = name == upper || year_files.names.contains(QByteArray(lower));
    Exact_day out = With_record(year_files.records.value(QByteArray::fromRawData(key, 10)),
                                year_files.index_error);
    if (!file_listed && !year_files.has_companions)
        return out;
    return Read_day_files(
        store, std::move(out), path,
        [&](const QString& file) { return file == path ? file_listed : listed(file); },
        text_from_file);
}

QByteArray Utf8_text_of_file(QByteArrayView bytes)
{
    // The final line end is the writer's, as in Text_of_file.
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    else if (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    QByteArray text = cp932::Decode_utf8(bytes);
    // CR LF becomes LF. Neither byte is ever part of a two-byte character,
    // in code page 932 or in UTF-8, so the bytes are the text's own. The
    // lines between move whole.
    char* const start = text.data();
    const char* const end = start + text.size();
    char* to = nullptr;
    for (const char* at = start;;) {
        const char* const cr = static_cast<const char*>(std::memchr(at, '\r', size_t(end - at)));
        const char* const stop = cr ? cr : end;
        if (to) {
            std::memmove(to, at, size_t(stop - at));
            to += stop - at;
        }
        if (!cr)
            break;
        at = cr + 1;
        if (at != end && *at == '\n') {
            if (!to)
                to = const_cast<char*>(cr);  // the first CR LF: from here on, moved
            continue;
        }
        // A CR of its own stays.
        if (to)
            *to++ = '\r';
    }
    if (!to)
        return text;
    text.truncate(to - start);
    return text;
}

Text_read Read_exact_text_file(const QString& path)
{
    Text_read read;
    bool exists = false;
    read.result = Read_file_bytes(path, read.bytes, exists);
    if (!read.result.Ok() || !exists)
        return read;
    read.file_size = read.bytes.size();
    for (const QString& companion : {Companion_path(path), Staged_companion_path(path)}) {
        const Companion_read c = Read_companion(companion);
        if (c.exact && Text_matches(c.exact->text, read.bytes)) {
            read.text = c.exact->text;
            return read;
        }
    }
    read.text = Diary_store::Text_of_file(read.bytes);
    return read;
}

Io_result Settle_companions(const QString& file_path, const QByteArray& file_bytes,
                            const Day_record* record, const QDateTime& now,
                            const Read_now* companion_now, bool* companion_left)
{
    if (companion_left)
        *companion_left = true;
    auto wholly_matches = [&](const std::optional<Exact_text>& exact) {
        return exact && Text_matches(exact->text, file_bytes) &&
               (!record || Memo_matches(exact->memo, *record));
    };
    const QString companion = Companion_path(file_path);
    const QString staged = Staged_companion_path(file_path);
    const Companion_read from_staged = Read_companion(staged);
    if (!from_staged.error.Ok())
        return from_staged.error;
    if (from_staged.exists) {
        // A save that wrote the files and was stopped before the last step.
        const Io_result r = wholly_matches(from_staged.exact) ? Rename(staged, companion)
                                                              : Keep_companion_aside(staged, now);
        if (!r.Ok())
            return r;
    }
    // The caller's read is the companion's still, unless a staged one
    // just took its name.
    Companion_read from_companion;
    if (companion_now && !from_staged.exists) {
        from_companion.exists = companion_now->exists;
        if (companion_now->exists)
            from_companion.exact = Parse_companion(companion_now->bytes);
    } else {
        from_companion = Read_companion(companion);
    }
    if (!from_companion.error.Ok())
        return from_companion.error;
    if (companion_left)
        *companion_left = from_companion.exists;
    if (from_companion.exists && !wholly_matches(from_companion.exact)) {
        if (companion_left)
            *companion_left = false;
        return Keep_companion_aside(companion, now);
    }
    return Io_result::Success();
}

Io_result Stage_companion(const QString& file_path, const Exact_text& exact)
{
    return Replace_file(Staged_companion_path(file_path), Companion_bytes(exact));
}

Io_result Finish_companion(const QString& file_path, bool staged, bool folder_changed,
                           bool companion_there)
{
    const QString companion = Companion_path(file_path);
    if (!staged && !companion_there)
        return folder_changed ? Sync_folder(Folder_of(companion)) : Io_result::Success();
    bool changed = staged;
    const Io_result r =
        staged ? Rename(Staged_companion_path(file_path), companion) : Remove(companion, &changed);
    if (!r.Ok())
        return r;
    // A folder that nothing changed since its last sync is not synced again.
    if (!changed && !folder_changed)
        return Io_result::Success();
    return Sync_folder(Folder_of(companion));
}

Io_result Write_exact_text_file(Diary_store& store, const QString& path, const QString& text,
                                const QDateTime& now)
{
    QByteArray old_bytes;
    bool exists = false;
    if (const Io_result r = Read_file_bytes(path, old_bytes, exists); !r.Ok())
        return r;
    if (const Io_result r = Settle_companions(path, old_bytes, nullptr, now); !r.Ok())
        return r;
    const cp932::Encode_result encoded = cp932::Encode(text);
    const bool staged = !encoded.Ok();
    if (staged) {
        if (const Io_result r = Stage_companion(path, {QString(), text}); !r.Ok())
            return r;
    }
    if (const Io_result r = store.Write_text_bytes(path, encoded.bytes); !r.Ok())
        return r;
    return Finish_companion(path, staged);
}

Io_result Remove_exact_text_file(const QString& path, const QDateTime& now)
{
    QByteArray old_bytes;
    bool exists = false;
    if (const Io_result r = Read_file_bytes(path, old_bytes, exists); !r.Ok())
        return r;
    if (const Io_result r = Settle_companions(path, old_bytes, nullptr, now); !r.Ok())
        return r;
    bool removed = false;
    if (const Io_result r = Remove(path, &removed); !r.Ok())
        return r;
    return Finish_companion(path, false, removed);
}

Io_result Move_companion(const QString& from_path, const QString& to_path)
{
    const QString from = Companion_path(from_path);
    if (!Something_at(from))
        return Io_result::Success();
    return Rename(from, Companion_path(to_path));
}

Io_result Drop_stale_companion(const QString& path)
{
    const QString companion = Companion_path(path);
    const Companion_read c = Read_companion(companion);
    if (!c.exists)
        return Io_result::Success();
    QByteArray bytes;
    bool exists = false;
    const Io_result read = Read_file_bytes(path, bytes, exists);
    if (read.Ok() && c.exact && Text_matches(c.exact->text, bytes))
        return Io_result::Success();
    return Remove(companion);
}

QStringList Exact_index_lines(const QString& year_folder, const QList<QByteArray>& lines)
{
    static const QRegularExpression key(QStringLiteral("^\\d{4}/(\\d\\d)/(\\d\\d)$"));
    // The companions of the days looked at, by day.
    QHash<QString, QList<Exact_text>> companions;
    QStringList out;
    out.reserve(lines.size());
    for (const QByteArray& line : lines) {
        // Only a memo with a substitute can have lost characters.
        const QRegularExpressionMatch date = line.size() > 11 && line.indexOf('?', 11) >= 0
                                                 ? key.match(QString::fromLatin1(line.first(10)))
                                                 : QRegularExpressionMatch();
        if (!date.hasMatch()) {
            out.append(cp932::Decode_text(line));
            continue;
        }
        const QString day = date.captured(1) + date.captured(2);
        auto found = companions.find(day);
        if (found == companions.end()) {
            QList<Exact_text> texts;
            const QString day_path = year_folder + QLatin1Char('/') + day + QStringLiteral(".txt");
            for (const QString& path :
                 {Companion_path(day_path), Staged_companion_path(day_path)}) {
                if (const Companion_read c = Read_companion(path); c.exact)
                    texts.append(*c.exact);
            }
            found = companions.insert(day, texts);
        }
        Day_record record;
        record.found = true;
        record.memo_bytes = line.sliced(11);
        QString decoded = cp932::Decode_text(line);
        for (const Exact_text& exact : *found) {
            if (Memo_matches(exact.memo, record)) {
                decoded = cp932::Decode_text(line.first(11)) + exact.memo;
                break;
            }
        }
        out.append(decoded);
    }
    return out;
}

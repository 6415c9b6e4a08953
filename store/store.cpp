#include "store/store.h"

#include "platform/cp932.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/lock.h"
#include "store/safe_replace.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Crlf = QByteArrayLiteral("\r\n");

// Text with "\n" line breaks from bytes with CR LF ones.
QString Text_from_bytes(QByteArrayView bytes)
{
    QString text = cp932::Decode_text(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// Every line break "\n" becomes CR LF, and the tail (the final line end)
// follows, in one pass and one allocation. A CR of the
// text itself stays a byte of its own, also just before a line break
// (CR CR LF), so the text reads back as it was written.
QByteArray With_crlf(const QByteArray& bytes, const QByteArray& tail)
{
    qsizetype breaks = 0;
    for (const char *p = bytes.constData(), *const last = p + bytes.size();
         (p = static_cast<const char*>(std::memchr(p, '\n', size_t(last - p)))); ++p)
        ++breaks;
    QByteArray out(bytes.size() + breaks + tail.size(), Qt::Uninitialized);
    char* to = out.data();
    const char* from = bytes.constData();
    const char* const end = from + bytes.size();
    while (from != end) {
        const char* const line_end =
            static_cast<const char*>(std::memchr(from, '\n', size_t(end - from)));
        const char* const stop = line_end ? line_end : end;
        to = std::copy(from, stop, to);
        if (!line_end)
            break;
        *to++ = '\r';
        *to++ = '\n';
        from = line_end + 1;
    }
    std::copy(tail.cbegin(), tail.cend(), to);
    return out;
}

// The path of a file in folder with the given lower-case name. A diary
// copied from FAT media may have its names in upper case ("1209.TXT",
// "KEYWORD.TXT"): when only that name is there, it is the file's path, so
// that reading finds it and saving replaces it instead of putting a second,
// lower-case file beside it.
QString File_in(const QString& folder, const QString& lower_name)
{
    const QString lower = folder + lower_name;
    struct stat st {};
    if (::lstat(QFile::encodeName(lower).constData(), &st) == 0)
        return lower;
    const QString upper = folder + lower_name.toUpper();
    if (::lstat(QFile::encodeName(upper).constData(), &st) == 0)
        return upper;
    return lower;
}

// The file of File_in read with one open when its lower-case name is
// there, where File_in would look at the name first.
Io_result Read_file_in(const QString& folder, const QString& lower_name, QString& path,
                       QByteArray& bytes, bool& exists, Read_status* status = nullptr)
{
    path = folder + lower_name;
    Io_result read = Read_diary_file(path, bytes, exists, status);
    if (exists)
        return read;
    const QString upper = folder + lower_name.toUpper();
    read = Read_diary_file(upper, bytes, exists, status);
    if (exists)
        path = upper;
    return read;
}

QString Two_digits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

}  // namespace

Diary_store::Diary_store(QString folder) : app_dir(std::move(folder))
{
    // Exactly one "/" at the end: a doubled one would make the root folder's
    // files "//name", which a file URL takes for a host.
    while (app_dir.size() > 1 && app_dir.endsWith(QStringLiteral("//")))
        app_dir.chop(1);
    if (!app_dir.endsWith(QLatin1Char('/')))
        app_dir += QLatin1Char('/');
}

QString Diary_store::Year_folder(int year) const
{
    return app_dir + QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
}

QString Diary_store::Day_file_path(int year, int month, int day) const
{
    return File_in(Year_folder(year) + QLatin1Char('/'),
                   Two_digits(month) + Two_digits(day) + QStringLiteral(".txt"));
}

Io_result Diary_store::Read_day_file(int year, int month, int day, QString& path, QByteArray& bytes,
                                     bool& exists) const
{
    return Read_file_in(Year_folder(year) + QLatin1Char('/'),
                        Two_digits(month) + Two_digits(day) + QStringLiteral(".txt"), path, bytes,
                        exists);
}

Io_result Diary_store::Read_keyword_file(int year, QString& path, QByteArray& bytes, bool& exists,
                                         Read_status* status) const
{
    return Read_file_in(Year_folder(year) + QLatin1Char('/'), QStringLiteral("keyword.txt"), path,
                        bytes, exists, status);
}

QString Keyword_path_in(const QString& year_folder)
{
    return File_in(year_folder + QLatin1Char('/'), QStringLiteral("keyword.txt"));
}

QString Diary_store::Keyword_file_path(int year) const
{
    return Keyword_path_in(Year_folder(year));
}

QString Diary_store::Settings_path() const { return app_dir + QStringLiteral("sorane.ini"); }
QString Diary_store::Tomorrow_path() const
{
    return File_in(app_dir, QStringLiteral("tomorrow.txt"));
}
QString Diary_store::Yesterday_path() const
{
    return File_in(app_dir, QStringLiteral("yesterda.txt"));
}
QString Diary_store::Hand_over_record_path() const
{
    return app_dir + QStringLiteral(".sorane-handover");
}

QString Diary_store::Date_key(int year, int month, int day)
{
    return QStringLiteral("%1/%2/%3")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

bool Diary_store::File_exists(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool Diary_store::Folder_exists(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

Io_result Diary_store::Ensure_year_folder(int year) { return Make_folder(Year_folder(year)); }

Text_read Diary_store::Read_text_file(const QString& path)
{
    Text_read read;
    bool exists = false;
    read.result = Read_file_bytes(path, read.bytes, exists);
    if (!read.result.Ok() || !exists)
        return read;
    read.file_size = read.bytes.size();
    read.text = Text_of_file(read.bytes);
    return read;
}

QString Diary_store::Text_of_file(QByteArrayView bytes)
{
    // The final line end is the writer's, not the user's. A file made by
    // another program may lack it; then nothing of the text is dropped.
    if (bytes.endsWith(Crlf))
        bytes.chop(2);
    else if (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    return Text_from_bytes(bytes);
}

QByteArray Diary_store::File_bytes_of(const QByteArray& cp932_bytes)
{
    return With_crlf(cp932_bytes, Crlf);
}

Io_result Diary_store::Write_text_file(const QString& path, const QString& text,
                                       Unmappable_policy policy)
{
    const cp932::Encode_result encoded = cp932::Encode(text);
    if (!encoded.Ok() && policy == Unmappable_policy::Refuse)
        return Io_result::Failure(Io_step::Encode, 0, path);
    return Write_text_bytes(path, encoded.bytes);
}

Io_result Diary_store::Write_text_bytes(const QString& path, const QByteArray& cp932_bytes,
                                        QByteArray* written)
{
    const QByteArray bytes = With_crlf(cp932_bytes, Crlf);
    if (bytes.size() > File_size_limit)
        return Io_result::Failure(Io_step::Too_large, EFBIG, path);
    if (written)
        *written = bytes;
    return Replace_file(path, bytes);
}

namespace {

// One more index line with the day's key.
void Add_record_line(Day_record& record, QByteArrayView line)
{
    record.found = true;
    if (line.size() > 10 && line[10] == '1')
        record.memory = true;
    record.memo_bytes = line.sliced(qMin<qsizetype>(11, line.size())).toByteArray();
    record.own_lines += line;
    record.own_lines += '\n';
}

}  // namespace

Day_record Day_record_in(QByteArrayView index_bytes, const QString& key)
{
    Day_record record;
    const QByteArray key_bytes = key.toLatin1();
    For_each_line(index_bytes, [&](QByteArrayView line) {
        if (line.startsWith(key_bytes))
            Add_record_line(record, line);
    });
    if (record.found)
        record.memo = cp932::Decode_text(record.memo_bytes);
    return record;
}

QHash<QByteArray, Day_record> Day_records_in(QByteArrayView index_bytes)
{
    // A key is ten bytes; a line that starts with a day's key belongs to it.
    QHash<QByteArray, Day_record> records;
    For_each_line(index_bytes, [&](QByteArrayView line) {
        if (line.size() >= 10)
            Add_record_line(records[line.first(10).toByteArray()], line);
    });
    for (Day_record& record : records)
        record.memo = cp932::Decode_text(record.memo_bytes);
    return records;
}

Day_record Diary_store::Find_day_record(int year, const QString& key, Io_result* error)
{
    bool exists = false;
    QByteArray bytes;
    const Io_result read = Read_file_bytes(Keyword_file_path(year), bytes, exists);
    if (error)
        *error = read;
    if (!read.Ok() || !exists)
        return {};
    return Day_record_in(bytes, key);
}

Io_result Diary_store::Store_day_record(int year, const QString& key, bool memory_flag,
                                        const QString& memo, Unmappable_policy policy)
{
    const cp932::Encode_result encoded = cp932::Encode(memo);
    if (!encoded.Ok() && policy == Unmappable_policy::Refuse)
        return Io_result::Failure(Io_step::Encode, 0, Keyword_file_path(year));
    return Store_day_record_bytes(year, key, memory_flag, encoded.bytes);
}

namespace {

// The file needs no sealing: its place is not locked, or its first bytes
// are a sealed file's (only they are read).
bool Sealed_or_unlocked(const QString& path)
{
    lock::Diary_key key;
    if (lock::State_for(path, key) != lock::Place_state::Open)
        return true;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    char head[sizeof lock::Sealed_magic];
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    return got == ssize_t(sizeof head) && lock::Is_sealed(QByteArrayView(head, sizeof head));
}

}  // namespace

Io_result Diary_store::Store_day_record_bytes(int year, const QString& key, bool memory_flag,
                                              const QByteArray& memo_bytes, QByteArray* own_lines,
                                              const QByteArray* index_now,
                                              const QString& index_path)
{
    const Index_update update =
        Day_record_update(year, key, memory_flag, memo_bytes, index_now, index_path);
    if (own_lines)
        *own_lines = update.own_lines;
    if (!update.error.Ok() || !update.write)
        return update.error;
    return Replace_file(update.path, update.bytes);
}

Diary_store::Index_update Diary_store::Day_record_update(int year, const QString& key,
                                                         bool memory_flag,
                                                         const QByteArray& memo_bytes,
                                                         const QByteArray* index_now,
                                                         const QString& index_path)
{
    Index_update update;
    update.path = index_now && !index_path.isEmpty() ? index_path : Keyword_file_path(year);
    // A record is one line: a line break in the memo would split it. In
    // code page 932 a CR or LF byte is always that character, never part of
    // a two-byte code.
    QByteArray one_line_memo = memo_bytes;
    one_line_memo.replace('\r', ' ').replace('\n', ' ');
    const QByteArray key_bytes = key.toLatin1();
    const QByteArray record = key_bytes + (memory_flag ? '1' : '0') + one_line_memo;

    bool exists = false;
    QByteArray bytes;
    if (index_now) {
        bytes = *index_now;
    } else {
        update.error = Read_file_bytes(update.path, bytes, exists);
        if (!update.error.Ok())
            return update;  // never rewrite an index that could not be read whole
    }
    // Other records keep their bytes exactly; every line with the day's key
    // takes the new record, and a new day goes to the end. Each line ends
    // in CR LF, as the lines of Read_line_file joined by Join_lines would.
    QByteArray& out = update.bytes;
    out.reserve(bytes.size() + record.size() + 4);
    bool record_found = false;
    For_each_line(bytes, [&](QByteArrayView line) {
        if (line.startsWith(key_bytes)) {
            out += record;
            record_found = true;
            update.own_lines += record + '\n';
        } else {
            out += line;
        }
        out += Crlf;
    });
    if (!record_found) {
        out += record + Crlf;
        update.own_lines = record + '\n';
    }
    // The same bytes again would cost a write and two syncs, and a synchronising
    // tool would take the index for changed. In a locked diary they are
    // written only when the file is still plain, so that it gets sealed.
    update.write = out != bytes || (lock::Any_key_registered() && !Sealed_or_unlocked(update.path));
    return update;
}

Io_result Diary_store::Create_year_index(int year, const QString& key)
{
    const QString path = Keyword_file_path(year);
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0)
        return Io_result::Success();
    if (errno != ENOENT)
        return Io_result::Failure(Io_step::Open, errno, path);
    return Replace_file(path, key.toLatin1() + '0' + Crlf);
}

bool Is_other_version_of(const QString& file_name, const QString& day_stem)
{
    const Name_class name = Classify_year_name(QFile::encodeName(file_name));
    return Is_other_version(name.kind) &&
           QString::fromLatin1(name.stem).compare(day_stem, Qt::CaseInsensitive) == 0;
}

QString Diary_store::New_conflict_copy_path(int year, int month, int day,
                                            const QDateTime& now) const
{
    const QString stem = Year_folder(year) + QLatin1Char('/') + Two_digits(month) +
                         Two_digits(day) + QStringLiteral(".conflict-") +
                         now.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString path = stem + QStringLiteral(".txt");
    struct stat st {};
    for (int n = 2; ::lstat(QFile::encodeName(path).constData(), &st) == 0 || errno != ENOENT; ++n)
        path = stem + QStringLiteral("-%1.txt").arg(n);
    return path;
}

QStringList Diary_store::Other_versions(int year, int month, int day)
{
    const QString folder = Year_folder(year);
    const QByteArray encoded = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(encoded.constData(), &st) != 0)
        return {};
    const qint64 changed_ns = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    // A folder whose time is that of its last listing is read again only
    // when it changed since, and only when that time lies well before the
    // listing: on a file system with coarse times (FAT, some network
    // shares) a change in the same second would not show.
    constexpr qint64 Coarse_ns = 3000000000;
    if (versions.folder != folder || versions.changed_ns != changed_ns ||
        versions.listed_ns - changed_ns < Coarse_ns) {
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        versions = {folder, changed_ns, qint64(now.tv_sec) * 1000000000 + now.tv_nsec, {}};
        const Folder_listing listing =
            List_folder(folder, Listing_detail::Types, [](const char* n) {
                // Only names that begin with four digits and go on are looked at.
                return std::isdigit(uchar(n[0])) && std::isdigit(uchar(n[1])) &&
                       std::isdigit(uchar(n[2])) && std::isdigit(uchar(n[3])) && n[4] != 0;
            });
        for (const Folder_entry& entry : listing.entries) {
            if (Is_other_version(Classify_year_name(entry.name).kind))
                versions.names.append(QFile::decodeName(entry.name));
        }
        versions.names.sort();
    }
    const QString stem = Two_digits(month) + Two_digits(day);
    QStringList names;
    for (const QString& name : versions.names) {
        if (name.startsWith(stem))
            names.append(name);
    }
    return names;
}

Settings_read Diary_store::Read_settings(const Settings& first_values) const
{
    return ::Read_settings(Settings_path(), first_values);
}

Io_result Diary_store::Write_settings(const Settings& settings) const
{
    return ::Write_settings(Settings_path(), settings);
}

namespace {

// A folder, pipe or device at a message file's name: the failure that names
// it. A regular file or a link is a message file.
std::optional<Io_result> Not_a_message_file(const struct stat& st, const QString& path)
{
    if (S_ISDIR(st.st_mode))
        return Io_result::Failure(Io_step::Not_a_file, EISDIR, path);
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return Io_result::Failure(Io_step::Not_a_regular_file, EINVAL, path);
    return std::nullopt;
}

}  // namespace

Io_result Diary_store::Hand_over_messages()
{
    const QString tomorrow_path = Tomorrow_path();
    const QString yesterday_path = Yesterday_path();
    const QByteArray tomorrow = QFile::encodeName(tomorrow_path);
    const QByteArray yesterday = QFile::encodeName(yesterday_path);
    struct stat st {};
    if (::lstat(tomorrow.constData(), &st) == 0) {
        // Only a message file is moved, and only over a message file: the
        // failure names the one that is in the way.
        if (const auto wrong = Not_a_message_file(st, tomorrow_path))
            return *wrong;
        struct stat old {};
        if (::lstat(yesterday.constData(), &old) == 0) {
            if (const auto wrong = Not_a_message_file(old, yesterday_path))
                return *wrong;
        }
        // The exact text moves first: until the message itself follows, it
        // matches no file and the message reads with its substitutes.
        if (const Io_result moved = Move_companion(tomorrow_path, yesterday_path); !moved.Ok())
            return moved;
        // One rename both drops the old message and moves the new one: at no
        // moment is tomorrow's message in neither file.
        if (::rename(tomorrow.constData(), yesterday.constData()) != 0) {
            const int e = errno;
            Move_companion(yesterday_path, tomorrow_path);
            const bool target_in_the_way = e == EISDIR || e == ENOTEMPTY || e == EEXIST;
            return Io_result::Failure(Io_step::Rename, e,
                                      target_in_the_way ? yesterday_path : tomorrow_path);
        }
    } else if (errno != ENOENT) {
        return Io_result::Failure(Io_step::Open, errno, tomorrow_path);
    } else if (::unlink(yesterday.constData()) != 0 && errno != ENOENT) {
        return Io_result::Failure(Io_step::Remove, errno, yesterday_path);
    }
    // The exact text of the message dropped goes with it.
    if (const Io_result dropped = Drop_stale_companion(yesterday_path); !dropped.Ok())
        return dropped;
    return Sync_folder(app_dir);
}

QStringList Read_index_lines(const QString& keyword_path, Io_result* error)
{
    bool exists = false;
    QList<QByteArray> lines;
    const Io_result read = Read_line_file(keyword_path, lines, exists);
    if (error)
        *error = read;
    // A memo with characters code page 932 cannot hold is read exactly from
    // its day's companion.
    return Exact_index_lines(QFileInfo(keyword_path).path(), lines);
}

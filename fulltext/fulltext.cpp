#include "fulltext/fulltext.h"

#include "store/exact_text.h"

#include "diary/folder_lock.h"
#include "platform/cp932.h"
#include "store/day_list.h"
#include "store/diary_files.h"
#include "store/line_file.h"
#include "store/own_settings.h"
#include "store/safe_replace.h"
#include "store/store.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sqlite3.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Written into every index; an index of another format is built again.
const QString Index_format = QStringLiteral("sorane-fulltext 5");

// More changed files than this are not read again in the user's thread: the
// index is built again in the background instead.
constexpr int Most_changes_in_place = 1500;

// How often, at most, a search lists every year folder although the watch
// on them reported nothing.
constexpr qint64 Whole_listing_every_ms = 60000;

using File_sig = Fulltext_index::File_sig;

// ---- The diary's files ----

struct Listed_file {
    QString path;  // "2026/1209.txt", as the folder names it
    File_sig sig;
    int year = 0;
    int date = 0;  // Date_number of a day file; 0 for the year's index
};

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

// The listing of a year folder as one number, whatever the order the
// folder lists its files in.
quint64 File_digest(const QString& path, const File_sig& sig)
{
    return quint64(qHashMulti(0x5bd1e995, path, sig.size, sig.mtime_ns, sig.inode)) *
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

// Every day file ("MMDD.txt", either case) and every year index of the year
// folders given (all of them when none are), with what the folder's listing
// says of each. A link at such a name is listed too: reading it is refused,
// and the search names it.
std::vector<Listed_file> List_diary(const QString& app_dir,
                                    const std::optional<QSet<int>>& only_years = std::nullopt)
{
    std::vector<Listed_file> files;
    std::vector<int> years;
    if (only_years)
        years.assign(only_years->cbegin(), only_years->cend());
    else
        years = List_years(app_dir);
    files.reserve(years.size() * 366);
    for (const int year : years) {
        const QString year_name = QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
        const Folder_listing listing = List_folder(
            Diary_store(app_dir).App_dir() + year_name, Listing_detail::Full, [](const char* name) {
                const std::size_t length = std::strlen(name);
                return (length == 8 && Digits(name, 4)) || length == 11;
            });
        for (const Folder_entry& entry : listing.entries) {
            const Name_class name = Classify_year_name(entry.name);
            int date = -1;
            if (name.kind == Diary_name::Day_file && Is_diary_day(name.month, name.day))
                date = Date_number(year, name.month, name.day);
            else if (name.kind == Diary_name::Index)
                date = 0;
            if (date < 0)
                continue;
            files.push_back({year_name + QLatin1Char('/') + QFile::decodeName(entry.name),
                             {entry.size, entry.mtime_ns, entry.inode},
                             year,
                             date});
        }
    }
    return files;
}

struct Day_memo {
    bool memory = false;
    QString memo;
};

// The memo and memory flag of every day of the year, from its index: a day
// with several lines is marked when any of them is, and has the last one's
// memo, as the main window reads it.
QHash<int, Day_memo> Read_year_memos(Diary_store& store, int year, Io_result* error)
{
    QHash<int, Day_memo> memos;
    QByteArray bytes;
    bool exists = false;
    const Io_result read = Read_file_bytes(store.Keyword_file_path(year), bytes, exists);
    if (!read.Ok()) {
        if (error)
            *error = read;
        return memos;
    }
    For_each_line(bytes, [&](QByteArrayView line) {
        const QString text = cp932::Decode_text(line);
        const std::optional<Key_date> key = Key_date_of(text);
        if (!key || key->year != year || !Is_diary_day(key->month, key->day))
            return;
        Day_memo& memo = memos[Date_number(key->year, key->month, key->day)];
        memo.memory = memo.memory || (text.size() > 10 && text.at(10) == u'1');
        memo.memo = text.mid(11);
        if (memo.memo.contains(u'?')) {
            // The exact memo, from the day's companion while it matches.
            Day_record record;
            record.found = true;
            record.memo_bytes = line.sliced(std::min<qsizetype>(11, line.size())).toByteArray();
            const auto exact =
                Read_companion_of(store.Day_file_path(key->year, key->month, key->day));
            if (exact && Memo_matches(exact->memo, record))
                memo.memo = exact->memo;
        }
    });
    return memos;
}

// A day as the index holds it.
struct Day_row {
    int date = 0;
    QString text;  // as written
    QString folded_text;
    QString memo;
    QString folded_memo;
    bool memory = false;
};

Day_row Row_of(int date, const QString& text, const Day_memo& memo, const Fold_options& options)
{
    return {date, text, Fold(text, options), memo.memo, Fold(memo.memo, options), memo.memory};
}

void Note_unreadable(Fulltext_result& result, const Io_result& error)
{
    if (error.Ok())
        return;
    if (result.unreadable++ == 0)
        result.first_unreadable = error;
}

void Sort_hits(std::vector<Fulltext_hit>& hits, bool newest_first)
{
    std::sort(hits.begin(), hits.end(),
              [newest_first](const Fulltext_hit& a, const Fulltext_hit& b) {
                  return newest_first ? a.date > b.date : a.date < b.date;
              });
}

// ---- SQLite ----

struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement() = default;
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &handle, nullptr); }
    Statement(sqlite3* db, const QByteArray& sql)
    {
        sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &handle, nullptr);
    }
    ~Statement() { sqlite3_finalize(handle); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return handle != nullptr; }

    void Bind(int i, const QString& text)
    {
        sqlite3_bind_text16(handle, i, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
    }
    void Bind(int i, qint64 value) { sqlite3_bind_int64(handle, i, value); }
    void Bind_null(int i) { sqlite3_bind_null(handle, i); }
    int Step() { return sqlite3_step(handle); }
    // Runs a statement that returns no rows, and makes it ready again.
    bool Run()
    {
        const int rc = sqlite3_step(handle);
        sqlite3_reset(handle);
        sqlite3_clear_bindings(handle);
        return rc == SQLITE_DONE;
    }
    void Reset()
    {
        sqlite3_reset(handle);
        sqlite3_clear_bindings(handle);
    }
    QString Text(int column) const
    {
        const void* text = sqlite3_column_text16(handle, column);
        const int bytes = sqlite3_column_bytes16(handle, column);
        return text ? QString(static_cast<const QChar*>(text), bytes / 2) : QString();
    }
    qint64 Int(int column) const { return sqlite3_column_int64(handle, column); }
};

// The index's tokenizer. A text gives, at each character, the character
// itself and, at the same position, the character with the next one: every
// word of one character is a token, and a longer word is the phrase of its
// character pairs at consecutive positions. So every word, of any length,
// is found exactly by the index, and no text is read to check it. The text
// comes folded already (fold.h): the tokenizer changes nothing.
constexpr const char* Tokenizer_name = "sorane_pairs";

int Utf8_next(const char* text, int size, int at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(size, at + length);
}

int Pairs_create(void*, const char**, int, Fts5Tokenizer** out)
{
    static char instance;
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void Pairs_delete(Fts5Tokenizer*) {}

int Pairs_tokenize(Fts5Tokenizer*, void* context, int flags, const char* text, int size,
                   int (*token)(void*, int, const char*, int, int, int))
{
    if (size <= 0)
        return SQLITE_OK;
    if (flags & FTS5_TOKENIZE_QUERY) {
        // A word searched for: one character, or its pairs in order.
        int first = 0;
        int second = Utf8_next(text, size, 0);
        if (second >= size)
            return token(context, 0, text, size, 0, size);
        while (second < size) {
            const int end = Utf8_next(text, size, second);
            if (const int rc = token(context, 0, text + first, end - first, first, end))
                return rc;
            first = second;
            second = end;
        }
        return SQLITE_OK;
    }
    for (int at = 0; at < size;) {
        const int next = Utf8_next(text, size, at);
        if (const int rc = token(context, 0, text + at, next - at, at, next))
            return rc;
        if (next < size) {
            const int end = Utf8_next(text, size, next);
            if (const int rc = token(context, FTS5_TOKEN_COLOCATED, text + at, end - at, at, end))
                return rc;
        }
        at = next;
    }
    return SQLITE_OK;
}

// Makes the tokenizer known to a connection; false when it has no FTS5.
bool Register_tokenizer(sqlite3* db)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return false;
    }
    sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (!api || api->iVersion < 2)
        return false;
    static fts5_tokenizer pairs{Pairs_create, Pairs_delete, Pairs_tokenize};
    return api->xCreateTokenizer(api, Tokenizer_name, nullptr, &pairs, nullptr) == SQLITE_OK;
}

bool Damage_code(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT ||
           primary == SQLITE_SCHEMA;
}

// The FTS5 query for days holding every word: each word a phrase.
QString Index_query(const QStringList& words)
{
    QStringList phrases;
    for (QString word : words) {
        word.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        phrases.append(QLatin1Char('"') + word + QLatin1Char('"'));
    }
    phrases.removeDuplicates();
    return phrases.join(QStringLiteral(" AND "));
}

}  // namespace

// ---- One connection to an index ----

namespace {

// A new, empty file of this user's alone (an empty file is a new database
// to SQLite); a link or anything else at the name is not opened.
bool Make_private_file(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return ok;
}

// An index found readable or writable by others (made by an earlier version
// under a loose umask) is closed to them before it is used, with the files
// SQLite keeps beside it; one that is not this user's own, or no regular
// file, is not used.
bool Make_private(const QString& path)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QByteArray name = QFile::encodeName(path + QLatin1String(suffix));
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0) {
            if (*suffix && errno == ENOENT)
                continue;
            return false;
        }
        if (!S_ISREG(st.st_mode) || st.st_uid != ::getuid())
            return false;
        if ((st.st_mode & 077) != 0 && ::chmod(name.constData(), 0600) != 0)
            return false;
    }
    return true;
}

// The cache folder, made 0700 with any parent that is missing; one of this
// user's own that others may look into is closed to them.
bool Private_cache_folder(const QString& folder)
{
    if (const Io_result made = Make_folders(folder);
        !made.Ok() && made.step != Io_step::Sync_folder)
        return false;
    const QByteArray name = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (st.st_uid == ::getuid() && (st.st_mode & 077) != 0)
        ::chmod(name.constData(), 0700);
    return true;
}

// Removes what a build that was killed left behind ("<index>.<pid>.building"
// and SQLite's files beside it): the diary's text, never used again. Done
// when the index is opened and before each build. A build of a program
// still running is left alone.
void Remove_stale_builds(const QString& cache_folder, const QString& cache_path)
{
    const QByteArray prefix =
        QFile::encodeName(cache_path.mid(cache_path.lastIndexOf(u'/') + 1)) + '.';
    const Folder_listing listing =
        List_folder(cache_folder, Listing_detail::Types, [&prefix](const char* name) {
            return std::strncmp(name, prefix.constData(), size_t(prefix.size())) == 0;
        });
    for (const Folder_entry& entry : listing.entries) {
        QByteArray rest = entry.name.mid(prefix.size());
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            if (rest.endsWith(suffix))
                rest.chop(qsizetype(std::strlen(suffix)));
        if (!rest.endsWith(".building") || entry.type == Entry_type::Folder)
            continue;
        bool number = false;
        const qint64 pid = rest.chopped(9).toLongLong(&number);
        if (!number || pid <= 0)
            continue;
        if (pid != ::getpid() && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH))
            continue;
        ::unlink(QFile::encodeName(cache_folder + QLatin1Char('/') + QFile::decodeName(entry.name))
                     .constData());
    }
}

}  // namespace

struct Fulltext_index::Db {
    sqlite3* handle = nullptr;
    int last_code = SQLITE_OK;
    ino_t inode = 0;
    QHash<QString, File_sig> files;  // what the index read, of loaded_years
    QSet<int> loaded_years;
    QHash<int, quint64> year_digests;
    std::unique_ptr<Statement> snippet_text;

    ~Db()
    {
        snippet_text.reset();
        sqlite3_close_v2(handle);
    }

    bool Open(const QString& path, bool create)
    {
        // The index holds the whole diary: it is the user's alone, whatever
        // the umask. A new one is made 0600 before SQLite opens it, and
        // SQLite gives its journal, -wal and -shm files the same mode.
        if (!(create ? Make_private_file(path) : Make_private(path))) {
            last_code = SQLITE_CANTOPEN;
            return false;
        }
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
        last_code = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, flags, nullptr);
        if (last_code != SQLITE_OK)
            return false;
        sqlite3_extended_result_codes(handle, 1);
        sqlite3_busy_timeout(handle, 3000);
        if (!Register_tokenizer(handle)) {
            last_code = SQLITE_ERROR;
            return false;
        }
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) == 0)
            inode = st.st_ino;
        return true;
    }

    bool Exec(const char* sql)
    {
        last_code = sqlite3_exec(handle, sql, nullptr, nullptr, nullptr);
        return last_code == SQLITE_OK;
    }
    bool Exec(const QString& sql) { return Exec(sql.toUtf8().constData()); }

    bool Done(Statement& statement, bool ok)
    {
        if (!ok)
            last_code = sqlite3_extended_errcode(handle);
        (void)statement;
        return ok;
    }

    QString Error() const
    {
        return QString::fromUtf8(sqlite3_errstr(last_code)) + QStringLiteral(" (") +
               QString::number(last_code) + QLatin1Char(')');
    }
    bool Damaged() const { return Damage_code(last_code); }

    bool Create_schema(const QString& app_dir, const Fold_options& options)
    {
        if (!Exec("PRAGMA page_size=16384; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                  "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
                  // What a search lists is kept apart from the texts, so
                  // that listing thousands of days reads a few pages.
                  "CREATE TABLE days(id INTEGER PRIMARY KEY, memory INTEGER NOT NULL,"
                  " memo TEXT NOT NULL);"
                  "CREATE TABLE texts(id INTEGER PRIMARY KEY, fmemo TEXT NOT NULL,"
                  " ftext TEXT NOT NULL);"
                  "CREATE TABLE originals(id INTEGER PRIMARY KEY, text TEXT NOT NULL);"
                  "CREATE TABLE files(path TEXT PRIMARY KEY, size INTEGER NOT NULL,"
                  " mtime INTEGER NOT NULL, inode INTEGER NOT NULL) WITHOUT ROWID;"
                  // A digest of each year folder's listing as last read, so
                  // that a year whose listing is the same is not compared
                  // file by file.
                  "CREATE TABLE years(year INTEGER PRIMARY KEY, digest INTEGER NOT NULL);"
                  "CREATE VIRTUAL TABLE fts USING fts5(ftext, fmemo, content='texts',"
                  " content_rowid='id', tokenize='sorane_pairs');"))
            return false;
        Statement meta(handle, "INSERT INTO meta(key, value) VALUES(?1, ?2)");
        const std::pair<QString, QString> values[] = {
            {QStringLiteral("format"), Index_format},
            {QStringLiteral("folding"), options.Name()},
            {QStringLiteral("diary"), app_dir},
        };
        for (const auto& [key, value] : values) {
            meta.Bind(1, key);
            meta.Bind(2, value);
            if (!Done(meta, meta.Run()))
                return false;
        }
        return true;
    }

    QString Meta(const QString& key)
    {
        Statement statement(handle, "SELECT value FROM meta WHERE key = ?1");
        if (!statement) {
            last_code = sqlite3_extended_errcode(handle);
            return {};
        }
        statement.Bind(1, key);
        const int rc = statement.Step();
        if (rc == SQLITE_ROW)
            return statement.Text(0);
        if (rc != SQLITE_DONE)
            last_code = sqlite3_extended_errcode(handle);
        return {};
    }

    // The digest of every year folder as the index last read it.
    bool Load_year_digests()
    {
        year_digests.clear();
        loaded_years.clear();
        files.clear();
        Statement statement(handle, "SELECT year, digest FROM years");
        if (!statement)
            return Done(statement, false);
        int rc;
        while ((rc = statement.Step()) == SQLITE_ROW)
            year_digests.insert(int(statement.Int(0)), quint64(statement.Int(1)));
        return Done(statement, rc == SQLITE_DONE);
    }

    // The files of a year as the index last read them, into files.
    bool Load_year_files(int year)
    {
        if (loaded_years.contains(year))
            return true;
        const QString first = QStringLiteral("%1/").arg(year, 4, 10, QLatin1Char('0'));
        Statement statement(handle, "SELECT path, size, mtime, inode FROM files"
                                    " WHERE path >= ?1 AND path < ?2");
        if (!statement)
            return Done(statement, false);
        statement.Bind(1, first);
        statement.Bind(2, first.left(4) + QLatin1Char('0'));
        int rc;
        while ((rc = statement.Step()) == SQLITE_ROW)
            files.insert(statement.Text(0),
                         {statement.Int(1), statement.Int(2), quint64(statement.Int(3))});
        if (rc != SQLITE_DONE)
            return Done(statement, false);
        loaded_years.insert(year);
        return true;
    }

    bool Store_year_digests(const QHash<int, quint64>& digests, const QSet<int>& gone)
    {
        Statement put(handle, "INSERT OR REPLACE INTO years(year, digest) VALUES(?1, ?2)");
        for (auto it = digests.cbegin(); it != digests.cend(); ++it) {
            put.Bind(1, qint64(it.key()));
            put.Bind(2, qint64(it.value()));
            if (!Done(put, put.Run()))
                return false;
        }
        Statement drop(handle, "DELETE FROM years WHERE year = ?1");
        for (const int year : gone) {
            drop.Bind(1, qint64(year));
            if (!Done(drop, drop.Run()))
                return false;
        }
        return true;
    }

    // Removes the day's row, if any, from the table and the index.
    bool Remove_day(int date)
    {
        Statement old(handle, "SELECT ftext, fmemo FROM texts WHERE id = ?1");
        old.Bind(1, qint64(date));
        const int rc = old.Step();
        if (rc == SQLITE_DONE)
            return true;
        if (rc != SQLITE_ROW)
            return Done(old, false);
        Statement unindex(handle,
                          "INSERT INTO fts(fts, rowid, ftext, fmemo) VALUES('delete', ?1, ?2, ?3)");
        unindex.Bind(1, qint64(date));
        unindex.Bind(2, old.Text(0));
        unindex.Bind(3, old.Text(1));
        old.Reset();
        if (!Done(unindex, unindex.Run()))
            return false;
        for (const char* sql : {"DELETE FROM days WHERE id = ?1", "DELETE FROM texts WHERE id = ?1",
                                "DELETE FROM originals WHERE id = ?1"}) {
            Statement drop(handle, sql);
            drop.Bind(1, qint64(date));
            if (!Done(drop, drop.Run()))
                return false;
        }
        return true;
    }

    struct Inserts {
        Statement day, text, original, index;
        explicit Inserts(sqlite3* db)
            : day(db, "INSERT INTO days(id, memory, memo) VALUES(?1, ?2, ?3)"),
              text(db, "INSERT INTO texts(id, fmemo, ftext) VALUES(?1, ?2, ?3)"),
              original(db, "INSERT INTO originals(id, text) VALUES(?1, ?2)"),
              index(db, "INSERT INTO fts(rowid, ftext, fmemo) VALUES(?1, ?2, ?3)")
        {}
    };

    bool Insert_day(Inserts& inserts, const Day_row& row)
    {
        inserts.day.Bind(1, qint64(row.date));
        inserts.day.Bind(2, qint64(row.memory));
        inserts.day.Bind(3, row.memo);
        if (!Done(inserts.day, inserts.day.Run()))
            return false;
        inserts.text.Bind(1, qint64(row.date));
        inserts.text.Bind(2, row.folded_memo);
        inserts.text.Bind(3, row.folded_text);
        if (!Done(inserts.text, inserts.text.Run()))
            return false;
        // The text as written is kept only where folding changed it.
        if (row.folded_text != row.text) {
            inserts.original.Bind(1, qint64(row.date));
            inserts.original.Bind(2, row.text);
            if (!Done(inserts.original, inserts.original.Run()))
                return false;
        }
        inserts.index.Bind(1, qint64(row.date));
        inserts.index.Bind(2, row.folded_text);
        inserts.index.Bind(3, row.folded_memo);
        return Done(inserts.index, inserts.index.Run());
    }

    bool Store_files(const std::vector<std::pair<QString, File_sig>>& changed,
                     const QStringList& removed)
    {
        Statement put(
            handle,
            "INSERT OR REPLACE INTO files(path, size, mtime, inode) VALUES(?1, ?2, ?3, ?4)");
        for (const auto& [path, sig] : changed) {
            put.Bind(1, path);
            put.Bind(2, sig.size);
            put.Bind(3, sig.mtime_ns);
            put.Bind(4, qint64(sig.inode));
            if (!Done(put, put.Run()))
                return false;
        }
        Statement drop(handle, "DELETE FROM files WHERE path = ?1");
        for (const QString& path : removed) {
            drop.Bind(1, path);
            if (!Done(drop, drop.Run()))
                return false;
        }
        return true;
    }
};

// ---- Reading days ----

QString Read_day_for_search(Diary_store& store, int year, int month, int day, Io_result* error)
{
    const QString path = store.Day_file_path(year, month, day);
    const Text_read read = store.Read_text_file(path);
    if (error)
        *error = read.result;
    if (!read.result.Ok())
        return QString();
    // A "?" may stand for a character Shift_JIS cannot hold: the companion's
    // exact text is what is searched, while it matches the file.
    if (read.text.contains(u'?')) {
        if (const auto exact = Read_companion_of(path);
            exact && Text_matches(exact->text, read.bytes))
            return exact->text;
    }
    return read.text;
}

namespace {

// Hands each day of the years given a row read from the files: a day with a
// file (one of file_dates) or an index record has a row. A day whose file
// cannot be read, and a year whose index cannot be, are noted in result and
// in failed_days / failed_years, and the day gets no row.
template <typename Each>
void For_each_day_of_years(Diary_store& store, const std::map<int, QSet<int>>& dates_by_year,
                           const Fold_options& options, Fulltext_result* result,
                           QSet<int>* failed_days, QSet<int>* failed_years,
                           const std::atomic<bool>* cancel, Each&& each)
{
    for (const auto& [year, file_dates] : dates_by_year) {
        if (cancel && cancel->load())
            return;
        Io_result memo_error;
        const QHash<int, Day_memo> memos = Read_year_memos(store, year, &memo_error);
        if (!memo_error.Ok()) {
            if (result)
                Note_unreadable(*result, memo_error);
            if (failed_years)
                failed_years->insert(year);
        }
        QList<int> dates(file_dates.cbegin(), file_dates.cend());
        for (auto it = memos.cbegin(); it != memos.cend(); ++it)
            if (!file_dates.contains(it.key()))
                dates.append(it.key());
        std::sort(dates.begin(), dates.end());
        for (const int date : dates) {
            QString text;
            if (file_dates.contains(date)) {
                Io_result error;
                text =
                    Read_day_for_search(store, date / 10000, date / 100 % 100, date % 100, &error);
                if (!error.Ok()) {
                    if (result)
                        Note_unreadable(*result, error);
                    if (failed_days)
                        failed_days->insert(date);
                    continue;
                }
            }
            each(Row_of(date, text, memos.value(date), options));
        }
    }
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

// Builds an index from nothing into the file at path (which must not be in
// use): every day of the diary.
bool Build_index(const QString& path, const QString& app_dir, const Fold_options& options,
                 const std::atomic<bool>& cancel, std::atomic<int>& done, std::atomic<int>& total,
                 QString& trouble)
{
    QFile::remove(path);
    Fulltext_index::Db db;
    if (!db.Open(path, true) || !db.Create_schema(app_dir, options)) {
        trouble = db.Error();
        return false;
    }
    const std::vector<Listed_file> files = List_diary(app_dir);
    total = int(files.size());
    done = 0;
    Diary_store store(app_dir);
    if (!db.Exec("BEGIN")) {
        trouble = db.Error();
        return false;
    }
    Fulltext_index::Db::Inserts inserts(db.handle);
    QSet<int> failed_days;
    QSet<int> failed_years;
    bool ok = true;
    For_each_day_of_years(store, Dates_by_year(files, 0, 9999), options, nullptr, &failed_days,
                          &failed_years, &cancel, [&](const Day_row& row) {
                              ok = ok && db.Insert_day(inserts, row);
                              ++done;
                          });
    if (!ok || cancel) {
        trouble = ok ? QStringLiteral("cancelled") : db.Error();
        return false;
    }
    std::vector<std::pair<QString, File_sig>> recorded;
    recorded.reserve(files.size());
    QHash<int, quint64> digests;
    QSet<int> incomplete;
    for (const Listed_file& file : files) {
        digests[file.year] += File_digest(file.path, file.sig);
        // A file that could not be read is left out, so that the next search
        // tries it again.
        if (file.date ? failed_days.contains(file.date) : failed_years.contains(file.year)) {
            incomplete.insert(file.year);
            continue;
        }
        recorded.emplace_back(file.path, file.sig);
    }
    for (const int year : incomplete)
        digests.remove(year);
    if (!db.Store_files(recorded, {}) || !db.Store_year_digests(digests, {}) ||
        !db.Exec("COMMIT") || !db.Exec("INSERT INTO fts(fts) VALUES('optimize')") ||
        !db.Exec("PRAGMA journal_mode=WAL")) {
        trouble = db.Error();
        return false;
    }
    done = total.load();
    return true;
}

}  // namespace

// ---- The plain search ----

Fulltext_result Scan_diary(const QString& app_dir, const Fulltext_search& search,
                           const Fold_options& options)
{
    Fulltext_result result;
    result.scanned = true;
    result.words = Search_words(search.typed, options);
    if (result.words.isEmpty())
        return result;
    Diary_store store(app_dir);
    For_each_day_of_years(
        store, Dates_by_year(List_diary(store.App_dir()), search.first_year, search.last_year),
        options, &result, nullptr, nullptr, nullptr, [&](const Day_row& row) {
            if (All_words_in(result.words, row.folded_text, row.folded_memo))
                result.hits.push_back({row.date, row.memory, row.memo});
        });
    Sort_hits(result.hits, search.newest_first);
    return result;
}

// ---- Settings and places ----

Fold_options Read_fold_options(const QString& app_dir)
{
    const Own_settings own = Read_own_settings(app_dir).values;
    Fold_options options;
    options.width = own.fulltext_width;
    options.letter_case = own.fulltext_case;
    options.kana = own.fulltext_kana;
    return options;
}

Io_result Write_fold_options(const QString& app_dir, const Fold_options& options)
{
    return Change_own_settings(app_dir, [&options](Own_settings& own) {
        own.fulltext_width = options.width;
        own.fulltext_case = options.letter_case;
        own.fulltext_kana = options.kana;
    });
}

QString Default_fulltext_cache_folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/sorane");
}

bool Fulltext_index_available()
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    const bool ok =
        Register_tokenizer(db) &&
        sqlite3_exec(db, "CREATE VIRTUAL TABLE t USING fts5(a, tokenize='sorane_pairs')", nullptr,
                     nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// ---- The index ----

Fulltext_index::Fulltext_index(const QString& diary_folder, const QString& cache,
                               const Fold_options& fold, Start start)
    : app_dir(Diary_store(diary_folder).App_dir()), cache_folder(cache), options(fold),
      start_mode(start)
{
    if (!Fulltext_index_available()) {
        unavailable = QStringLiteral("この環境の SQLite には全文検索の機能 (FTS5) がないため、"
                                     "索引を使わずに日記のファイルを直接検索しています。");
        return;
    }
    if (cache_folder.isEmpty() || !Private_cache_folder(cache_folder)) {
        unavailable = QStringLiteral("キャッシュのフォルダーを作れないため、"
                                     "索引を使わずに日記のファイルを直接検索しています。");
        return;
    }
    cache_path = cache_folder + QLatin1Char('/') + Folder_key(app_dir) + QStringLiteral(".sqlite");
    Remove_stale_builds(cache_folder, cache_path);
    if (!Open_existing())
        Start_build();
}

Fulltext_index::~Fulltext_index()
{
    Stop_build();
    Stop_watching();
}

bool Fulltext_index::Open_existing()
{
    db.reset();
    if (!QFile::exists(cache_path))
        return false;
    auto opened = std::make_unique<Db>();
    if (!opened->Open(cache_path, false))
        return false;
    if (opened->Meta(QStringLiteral("format")) != Index_format ||
        opened->Meta(QStringLiteral("folding")) != options.Name() ||
        opened->Meta(QStringLiteral("diary")) != app_dir || !opened->Load_year_digests())
        return false;
    opened->Exec("PRAGMA synchronous=NORMAL");
    db = std::move(opened);
    Stop_watching();
    return true;
}

void Fulltext_index::Drop_cache(const QString& why)
{
    db.reset();
    last_trouble = why;
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(cache_path + QLatin1String(suffix));
}

void Fulltext_index::Start_build()
{
    Stop_build();
    Drop_cache(last_trouble);
    Remove_stale_builds(cache_folder, cache_path);
    cancel = false;
    finished = false;
    progress_done = 0;
    progress_total = 0;
    worker_ok = false;
    const QString building = cache_path + QStringLiteral(".%1.building").arg(qint64(::getpid()));
    auto job = [this, building] {
        worker_ok = Build_index(building, app_dir, options, cancel, progress_done, progress_total,
                                worker_trouble) &&
                    ::rename(QFile::encodeName(building).constData(),
                             QFile::encodeName(cache_path).constData()) == 0;
        if (!worker_ok)
            QFile::remove(building);
        finished = true;
    };
    if (start_mode == Start::Foreground) {
        job();
        if (worker_ok)
            Open_existing();
        return;
    }
    worker = std::thread([job] {
        // The build gives way to the window and to anything else running.
        ::setpriority(PRIO_PROCESS, ::gettid(), 10);
        job();
    });
}

void Fulltext_index::Stop_build()
{
    if (!worker.joinable())
        return;
    cancel = true;
    worker.join();
}

bool Fulltext_index::Building() const { return worker.joinable() && !finished.load(); }

bool Fulltext_index::Take_finished_build()
{
    if (!worker.joinable() || !finished.load())
        return false;
    worker.join();
    if (!worker_ok) {
        last_trouble = worker_trouble;
        return false;
    }
    return Open_existing();
}

void Fulltext_index::Watch_folders()
{
    Stop_watching();
    watch_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_fd < 0)
        return;
    constexpr uint32_t Folder_events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                       IN_DELETE_SELF | IN_MOVE_SELF | IN_ATTRIB;
    if (::inotify_add_watch(watch_fd, QFile::encodeName(app_dir).constData(), Folder_events) < 0) {
        Stop_watching();
        return;
    }
    for (const int year : List_years(app_dir)) {
        const QString folder = app_dir + QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
        const int wd = ::inotify_add_watch(watch_fd, QFile::encodeName(folder).constData(),
                                           Folder_events | IN_MODIFY | IN_CLOSE_WRITE);
        if (wd < 0) {
            // Out of watches: every search lists every folder instead.
            Stop_watching();
            return;
        }
        watched_years.insert(wd, year);
    }
}

void Fulltext_index::Stop_watching()
{
    if (watch_fd >= 0)
        ::close(watch_fd);
    watch_fd = -1;
    watched_years.clear();
}

std::optional<QSet<int>> Fulltext_index::Years_to_check()
{
    // Changes the watch cannot see (a folder shared over the network) are
    // found by a whole listing now and then.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (watch_fd < 0 || now - last_full_check_ms > Whole_listing_every_ms) {
        // The watch is set before the listing, so that nothing falls between.
        Watch_folders();
        last_full_check_ms = now;
        return std::nullopt;
    }
    QSet<int> years;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(watch_fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const auto year = watched_years.constFind(event->wd);
            // A year folder made, removed or renamed, a folder gone, or
            // events lost: everything is listed again.
            if (year == watched_years.cend() ||
                (event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF))) {
                Watch_folders();
                last_full_check_ms = now;
                return std::nullopt;
            }
            years.insert(*year);
        }
    }
    return years;
}

void Fulltext_index::Note_digests(const QHash<int, quint64>& digests, const QSet<int>& dropped)
{
    for (auto it = digests.cbegin(); it != digests.cend(); ++it)
        db->year_digests.insert(it.key(), it.value());
    for (const int year : dropped)
        db->year_digests.remove(year);
}

// Reads again what changed on disk since the index was brought up to date.
// Anything but Current: the index cannot be used now (trouble says why).
Fulltext_index::Update Fulltext_index::Bring_up_to_date(QString& trouble)
{
    const auto Failed = [this] { return db->Damaged() ? Update::Rebuild : Update::Failed; };
    // Another copy of the program may have put a new index in place.
    struct stat st {};
    if (::stat(QFile::encodeName(cache_path).constData(), &st) != 0) {
        trouble = QStringLiteral("索引のファイルがなくなったため、作り直しています。");
        return Update::Rebuild;
    }
    if (st.st_ino != db->inode && !Open_existing()) {
        trouble = QStringLiteral("索引のファイルが置き換えられて開けないため、作り直しています。");
        return Update::Rebuild;
    }
    const std::optional<QSet<int>> scope = Years_to_check();
    if (scope && scope->isEmpty())
        return Update::Current;
    std::vector<Listed_file> listed = List_diary(app_dir, scope);
    // Only the years whose listing differs from the one the index read are
    // compared file by file.
    QHash<int, quint64> digests;
    for (const Listed_file& file : listed)
        digests[file.year] += File_digest(file.path, file.sig);
    QSet<int> compare;
    const auto consider = [&](int year) {
        const auto now = digests.constFind(year);
        const auto then = db->year_digests.constFind(year);
        const bool same = now == digests.cend() ? then == db->year_digests.cend()
                                                : then != db->year_digests.cend() && *now == *then;
        if (!same)
            compare.insert(year);
    };
    if (scope) {
        for (const int year : *scope)
            consider(year);
    } else {
        for (auto it = digests.cbegin(); it != digests.cend(); ++it)
            consider(it.key());
        for (auto it = db->year_digests.cbegin(); it != db->year_digests.cend(); ++it)
            consider(it.key());
    }
    if (compare.isEmpty())
        return Update::Current;
    for (const int year : compare) {
        if (!db->Load_year_files(year)) {
            trouble = db->Error();
            return Failed();
        }
    }
    std::erase_if(listed,
                  [&compare](const Listed_file& file) { return !compare.contains(file.year); });
    std::map<int, QSet<int>> dirty;  // year -> dates to read again
    QSet<int> memo_years;            // years whose index changed
    std::vector<std::pair<QString, File_sig>> changed;
    QSet<QString> seen;
    seen.reserve(qsizetype(listed.size()));
    for (const Listed_file& file : listed) {
        seen.insert(file.path);
        const auto known = db->files.constFind(file.path);
        if (known != db->files.cend() && *known == file.sig)
            continue;
        changed.emplace_back(file.path, file.sig);
        if (file.date)
            dirty[file.year].insert(file.date);
        else
            memo_years.insert(file.year);
    }
    QStringList removed;
    for (auto it = db->files.cbegin(); it != db->files.cend(); ++it) {
        const int year = it.key().left(4).toInt();
        if (seen.contains(it.key()) || !compare.contains(year))
            continue;
        removed.append(it.key());
        const QString name = it.key().mid(5);
        if (name.compare(QStringLiteral("keyword.txt"), Qt::CaseInsensitive) == 0)
            memo_years.insert(year);
        else
            dirty[year].insert(Date_number(year, name.left(2).toInt(), name.mid(2, 2).toInt()));
    }
    QSet<int> gone;  // years with no file left
    for (const int year : compare)
        if (!digests.contains(year))
            gone.insert(year);
    if (changed.empty() && removed.isEmpty()) {
        // Only the order or the digest's record differed.
        if (!db->Store_year_digests(digests, gone)) {
            trouble = db->Error();
            return Failed();
        }
        Note_digests(digests, gone);
        return Update::Current;
    }
    if (int(changed.size() + size_t(removed.size())) > Most_changes_in_place) {
        trouble = QStringLiteral("日記のファイルが多く変わったため、索引を作り直しています。");
        return Update::Rebuild;
    }
    // A year whose index changed: every day it had or has a record for.
    for (const int year : memo_years) {
        QSet<int>& dates = dirty[year];
        Statement rows(db->handle, "SELECT id FROM days WHERE id BETWEEN ?1 AND ?2");
        rows.Bind(1, qint64(Date_number(year, 1, 1)));
        rows.Bind(2, qint64(Date_number(year, 12, 31)));
        int rc;
        while ((rc = rows.Step()) == SQLITE_ROW)
            dates.insert(int(rows.Int(0)));
        if (rc != SQLITE_DONE) {
            db->last_code = sqlite3_extended_errcode(db->handle);
            trouble = db->Error();
            return Failed();
        }
        Diary_store store(app_dir);
        const QHash<int, Day_memo> memos = Read_year_memos(store, year, nullptr);
        for (auto it = memos.cbegin(); it != memos.cend(); ++it)
            dates.insert(it.key());
    }
    if (!db->Exec("BEGIN IMMEDIATE")) {
        trouble = db->Error();
        return Failed();
    }
    Diary_store store(app_dir);
    QHash<QString, File_sig> now;  // the listing by path, for the days read
    for (const Listed_file& file : listed)
        now.insert(file.path, file.sig);
    Db::Inserts inserts(db->handle);
    bool ok = true;
    QSet<int> failed_days;
    QSet<int> failed_years;
    for (const auto& [year, dates] : dirty) {
        Io_result memo_error;
        const QHash<int, Day_memo> memos = Read_year_memos(store, year, &memo_error);
        if (!memo_error.Ok())
            failed_years.insert(year);
        for (const int date : dates) {
            const int month = date / 100 % 100;
            const int day = date % 100;
            const bool has_file = Diary_store::File_exists(store.Day_file_path(year, month, day));
            Io_result error;
            const QString text =
                has_file ? Read_day_for_search(store, year, month, day, &error) : QString();
            if (!error.Ok()) {
                failed_days.insert(date);
                continue;
            }
            ok = ok && db->Remove_day(date);
            if (ok && (has_file || memos.contains(date)))
                ok = db->Insert_day(inserts, Row_of(date, text, memos.value(date), options));
        }
    }
    // A file that could not be read keeps no listing, so that the next
    // search reads it again.
    std::erase_if(changed, [&](const std::pair<QString, File_sig>& file) {
        const int year = file.first.left(4).toInt();
        const QString name = file.first.mid(5);
        if (name.compare(QStringLiteral("keyword.txt"), Qt::CaseInsensitive) == 0)
            return failed_years.contains(year);
        return failed_days.contains(
            Date_number(year, name.left(2).toInt(), name.mid(2, 2).toInt()));
    });
    // A year with a file that could not be read keeps no digest, so that it
    // is compared again at the next search.
    for (const int date : failed_days)
        digests.remove(date / 10000);
    for (const int year : failed_years)
        digests.remove(year);
    QHash<int, quint64> compared;
    for (const int year : compare)
        if (digests.contains(year))
            compared.insert(year, digests.value(year));
    QSet<int> undigested = compare;
    for (auto it = compared.cbegin(); it != compared.cend(); ++it)
        undigested.remove(it.key());
    ok = ok && db->Store_files(changed, removed) && db->Store_year_digests(compared, undigested) &&
         db->Exec("COMMIT");
    if (!ok) {
        trouble = db->Error();
        const Update failed = Failed();
        db->Exec("ROLLBACK");
        db->Load_year_digests();
        return failed;
    }
    for (const auto& [path, sig] : changed)
        db->files.insert(path, sig);
    for (const QString& path : removed)
        db->files.remove(path);
    Note_digests(compared, undigested);
    return Update::Current;
}

Fulltext_result Fulltext_index::Search(const Fulltext_search& search)
{
    Take_finished_build();
    if (!db && !Building() && unavailable.isEmpty() && !Open_existing())
        Start_build();
    QString trouble;
    Update update = db ? Bring_up_to_date(trouble) : Update::Failed;
    Fulltext_result result;
    result.words = Search_words(search.typed, options);
    if (update == Update::Current) {
        if (result.words.isEmpty())
            return result;
        if (Query_index(search, result))
            return result;
        trouble = db->Error();
        update = db->Damaged() ? Update::Rebuild : Update::Failed;
        result.hits.clear();
    }
    if (update == Update::Rebuild) {
        last_trouble = db && db->Damaged()
                           ? QStringLiteral("索引が壊れていたため、作り直しています。")
                           : trouble;
        Start_build();
    }
    if (search.wait_for_index && Building()) {
        result.pending = true;
        result.index_trouble =
            last_trouble.isEmpty() ? QStringLiteral("索引を作っています。") : last_trouble;
        return result;
    }
    // No usable index (being built, or gone wrong): the files themselves.
    result = Scan_diary(app_dir, search, options);
    if (!unavailable.isEmpty())
        result.index_trouble = unavailable;
    else if (Building())
        result.index_trouble =
            last_trouble.isEmpty() ? QStringLiteral("索引を作っています。") : last_trouble;
    else
        result.index_trouble = trouble.isEmpty() ? last_trouble : trouble;
    return result;
}

bool Fulltext_index::Query_index(const Fulltext_search& search, Fulltext_result& result)
{
    // The days the index finds hold every word: nothing is read to check.
    QByteArray sql = "SELECT id, memory, memo FROM days WHERE id BETWEEN ?1 AND ?2"
                     " AND id IN (SELECT rowid FROM fts WHERE fts MATCH ?3)";
    sql += search.newest_first ? " ORDER BY id DESC" : " ORDER BY id";
    Statement query(db->handle, sql);
    if (!query) {
        db->last_code = sqlite3_extended_errcode(db->handle);
        return false;
    }
    query.Bind(1, qint64(Date_number(search.first_year, 1, 1)));
    query.Bind(2, qint64(Date_number(search.last_year, 12, 31)));
    query.Bind(3, Index_query(result.words));
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW)
        result.hits.push_back({int(query.Int(0)), query.Int(1) != 0, query.Text(2)});
    if (rc == SQLITE_DONE)
        return true;
    db->last_code = sqlite3_extended_errcode(db->handle);
    return false;
}

QList<Io_result> Fulltext_index::Files_not_indexed(int first_year, int last_year)
{
    QList<Io_result> errors;
    if (!db || Building())
        return errors;
    Diary_store store(app_dir);
    for (const Listed_file& file : List_diary(app_dir)) {
        if (file.year < first_year || file.year > last_year || !db->Load_year_files(file.year))
            continue;
        // A file taken in may have lost its read permission since (which
        // changes neither its size nor its time): it is read again too.
        const auto known = db->files.constFind(file.path);
        if (known != db->files.cend() && *known == file.sig &&
            ::access(QFile::encodeName(store.App_dir() + file.path).constData(), R_OK) == 0)
            continue;
        Io_result error;
        if (file.date)
            Read_day_for_search(store, file.year, file.date / 100 % 100, file.date % 100, &error);
        else
            Read_year_memos(store, file.year, &error);
        if (!error.Ok())
            errors.append(error);
    }
    return errors;
}

Snippet Fulltext_index::Snippet_for(int date, const QStringList& words)
{
    if (db && !Building()) {
        if (!db->snippet_text)
            db->snippet_text = std::make_unique<Statement>(
                db->handle, "SELECT coalesce(o.text, t.ftext) FROM texts t LEFT JOIN originals o"
                            " ON o.id = t.id WHERE t.id = ?1");
        Statement& statement = *db->snippet_text;
        statement.Bind(1, qint64(date));
        const bool found = statement && statement.Step() == SQLITE_ROW;
        const QString text = found ? statement.Text(0) : QString();
        statement.Reset();
        if (found)
            return Snippet_of(text, words, options);
    }
    Diary_store store(app_dir);
    return Snippet_of(Read_day_for_search(store, date / 10000, date / 100 % 100, date % 100), words,
                      options);
}

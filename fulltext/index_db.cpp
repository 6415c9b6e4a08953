#include "fulltext/index_db.h"

#include "fulltext/cache_files.h"
#include "fulltext/locked_index.h"
#include "fulltext/scan.h"
#include "fulltext/tokenizer.h"

#include <QFile>
#include <algorithm>
#include <sys/stat.h>

const QString Index_format = QStringLiteral("sorane-fulltext 8");

bool Damage_code(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT ||
           primary == SQLITE_SCHEMA;
}

namespace {

// The characters of a word, a surrogate pair being one.
QStringList Characters_of(const QString& word)
{
    QStringList characters;
    for (qsizetype i = 0; i < word.size();) {
        const qsizetype length =
            word.at(i).isHighSurrogate() && i + 1 < word.size() && word.at(i + 1).isLowSurrogate()
                ? 2
                : 1;
        characters.append(word.mid(i, length));
        i += length;
    }
    return characters;
}

QString Quoted(QString token)
{
    token.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + token + QLatin1Char('"');
}

}  // namespace

QString Index_query(const QStringList& words)
{
    QStringList tokens;
    for (const QString& word : words) {
        const QStringList characters = Characters_of(word);
        // One character is the first of the pair it begins, or the last
        // character alone: every token beginning with it.
        if (characters.size() == 1)
            tokens.append(Quoted(word) + QStringLiteral(" *"));
        for (qsizetype i = 0; i + 1 < characters.size(); ++i)
            tokens.append(Quoted(characters[i] + characters[i + 1]));
    }
    tokens.removeDuplicates();
    return tokens.join(QStringLiteral(" AND "));
}

bool Index_query_exact(const QStringList& words)
{
    return std::all_of(words.cbegin(), words.cend(),
                       [](const QString& word) { return Characters_of(word).size() <= 2; });
}

Fulltext_index::Db::~Db()
{
    Close_sealed_index(*this);
    sqlite3_close_v2(handle);
}

bool Fulltext_index::Db::Open(const QString& path, bool create)
{
    if (Is_sealed_index(path))
        return Open_sealed_index(*this, path, create);
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

bool Fulltext_index::Db::Exec(const char* sql)
{
    last_code = sqlite3_exec(handle, sql, nullptr, nullptr, nullptr);
    return last_code == SQLITE_OK;
}

bool Fulltext_index::Db::Done(Statement& statement, bool ok)
{
    if (!ok)
        last_code = sqlite3_extended_errcode(handle);
    (void)statement;
    return ok;
}

QString Fulltext_index::Db::Error() const
{
    return QString::fromUtf8(sqlite3_errstr(last_code)) + QStringLiteral(" (") +
           QString::number(last_code) + QLatin1Char(')');
}

bool Fulltext_index::Db::Create_schema(const QString& app_dir, const Fold_options& options)
{
    if (!Exec("PRAGMA page_size=16384; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
              "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
              // What a search lists, and the document in the index that
              // holds the day's words. The index keeps no text (the lines
              // shown are made from the day files): a day read again gets a
              // new document, numbered after every one before it, and the
              // old one, whose words the index cannot take out without its
              // text, is no longer any day's. The documents of a build are
              // numbered 1, 2, 3... in date order, which keeps the index
              // small.
              "CREATE TABLE days(doc INTEGER PRIMARY KEY AUTOINCREMENT,"
              " id INTEGER NOT NULL UNIQUE, memory INTEGER NOT NULL, memo TEXT NOT NULL);"
              "CREATE TABLE files(path TEXT PRIMARY KEY, size INTEGER NOT NULL,"
              " mtime INTEGER NOT NULL, inode INTEGER NOT NULL) WITHOUT ROWID;"
              // A digest of each year folder's listing as last read, so
              // that a year whose listing is the same is not compared
              // file by file.
              "CREATE TABLE years(year INTEGER PRIMARY KEY, digest INTEGER NOT NULL);"
              // Which documents hold a pair, without where: a day holding
              // every pair of a longer word is read to see that it holds
              // the word.
              "CREATE VIRTUAL TABLE fts USING fts5(ftext, fmemo, content='', columnsize=0,"
              " detail=none, tokenize='sorane_pairs');"))
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

QString Fulltext_index::Db::Meta(const QString& key)
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

bool Fulltext_index::Db::Set_meta(const QString& key, const QString& value)
{
    Statement statement(handle, "INSERT OR REPLACE INTO meta(key, value) VALUES(?1, ?2)");
    statement.Bind(1, key);
    statement.Bind(2, value);
    return Done(statement, statement && statement.Run());
}

bool Fulltext_index::Db::Load_year_digests()
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

bool Fulltext_index::Db::Load_year_files(int year)
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

bool Fulltext_index::Db::Store_year_digests(const QHash<int, quint64>& digests,
                                            const QSet<int>& gone)
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

bool Fulltext_index::Db::Remove_day(int date)
{
    Statement drop(handle, "DELETE FROM days WHERE id = ?1");
    drop.Bind(1, qint64(date));
    if (!Done(drop, drop.Run()))
        return false;
    dropped_docs += sqlite3_changes(handle);
    return true;
}

bool Fulltext_index::Db::Insert_day(Inserts& inserts, const Day_row& row)
{
    inserts.day.Bind(1, qint64(row.date));
    inserts.day.Bind(2, qint64(row.memory));
    inserts.day.Bind(3, row.memo);
    if (!Done(inserts.day, inserts.day.Run()))
        return false;
    inserts.index.Bind(1, sqlite3_last_insert_rowid(handle));
    inserts.index.Bind(2, row.folded_text);
    inserts.index.Bind(3, row.folded_memo);
    return Done(inserts.index, inserts.index.Run());
}

bool Fulltext_index::Db::Store_dropped()
{
    if (dropped_docs == 0)
        return true;
    const qint64 dropped = Meta(QStringLiteral("dropped")).toLongLong() + dropped_docs;
    if (!Set_meta(QStringLiteral("dropped"), QString::number(dropped)))
        return false;
    dropped_docs = 0;
    return true;
}

bool Fulltext_index::Db::Mostly_dropped()
{
    const qint64 dropped = Meta(QStringLiteral("dropped")).toLongLong();
    if (dropped < 500)
        return false;
    Statement days(handle, "SELECT count(*) FROM days");
    return days.Step() == SQLITE_ROW && dropped > 500 + days.Int(0) / 8;
}

bool Fulltext_index::Db::Store_files(const std::vector<std::pair<QString, File_sig>>& changed,
                                     const QStringList& removed)
{
    Statement put(handle,
                  "INSERT OR REPLACE INTO files(path, size, mtime, inode) VALUES(?1, ?2, ?3, ?4)");
    for (const auto& [path, sig] : changed) {
        put.Bind(1, path);
        put.Bind(2, sig.size);
        put.Bind(3, sig.ctime_ns);
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

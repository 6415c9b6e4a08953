#pragma once
// The index's database: one SQLite connection, its schema, and the
// statements that read and write the days, the files and the year folders'
// digests. The days' texts are folded (fold.h) and indexed by FTS5 with the
// tokenizer of tokenizer.h, in a table that keeps no text; what a search
// lists (date, memory flag, memo) is kept in a table of its own.

#include "fulltext/fulltext.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <sqlite3.h>
#include <sys/types.h>
#include <utility>
#include <vector>

struct Day_row;

// Written into every index; an index of another format is built again.
extern const QString Index_format;

// An SQLite result code that says the database is damaged (or not one).
bool Damage_code(int code);

// The FTS5 query for the days that may hold every word: those holding each
// pair of characters of every word (and, for a word of one character, a
// pair it begins or the character alone).
QString Index_query(const QStringList& words);
// True when a day the query finds holds every word: no word is longer than
// one pair.
bool Index_query_exact(const QStringList& words);

// A prepared statement, finalized with the object.
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
    // The same, from the UTF-8 the index keeps, decoded by Qt (faster for
    // long texts than SQLite's own conversion).
    QString Text_from_utf8(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(handle, column));
        return text ? QString::fromUtf8(text, sqlite3_column_bytes(handle, column)) : QString();
    }
    qint64 Int(int column) const { return sqlite3_column_int64(handle, column); }
};

struct Fulltext_index::Db {
    sqlite3* handle = nullptr;
    int last_code = SQLITE_OK;
    ino_t inode = 0;
    QHash<QString, File_sig> files;  // what the index read, of loaded_years
    QSet<int> loaded_years;
    QHash<int, quint64> year_digests;

    ~Db();

    // Opens the index at path, made new (and empty) when create is set.
    bool Open(const QString& path, bool create);
    bool Exec(const char* sql);
    bool Exec(const QString& sql) { return Exec(sql.toUtf8().constData()); }
    // ok, noting SQLite's word when it is false.
    bool Done(Statement& statement, bool ok);
    // What went wrong last, for the status line.
    QString Error() const;
    bool Damaged() const { return Damage_code(last_code); }

    bool Create_schema(const QString& app_dir, const Fold_options& options);
    // A value of the index's record of itself (format, folding, diary).
    QString Meta(const QString& key);
    bool Set_meta(const QString& key, const QString& value);
    // The digest of every year folder as the index last read it.
    bool Load_year_digests();
    // The files of a year as the index last read them, into files.
    bool Load_year_files(int year);
    bool Store_year_digests(const QHash<int, quint64>& digests, const QSet<int>& gone);
    // Removes the day's row, if any: its document in the index is then no
    // day's.
    bool Remove_day(int date);

    struct Inserts {
        Statement day, index;
        explicit Inserts(sqlite3* db)
            : day(db, "INSERT INTO days(id, memory, memo) VALUES(?1, ?2, ?3)"),
              index(db, "INSERT INTO fts(rowid, ftext, fmemo) VALUES(?1, ?2, ?3)")
        {}
    };

    // The day's row, and a new document of its words in the index.
    bool Insert_day(Inserts& inserts, const Day_row& row);
    // Adds the documents dropped since the last call to the index's count,
    // inside the transaction that dropped them.
    bool Store_dropped();
    // True when the documents no longer any day's are so many that the
    // index is better made anew.
    bool Mostly_dropped();
    qint64 dropped_docs = 0;
    bool Store_files(const std::vector<std::pair<QString, File_sig>>& changed,
                     const QStringList& removed);
};

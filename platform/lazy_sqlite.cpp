// SQLite (the full-text index), opened at its first call: see lazy_library.h.
// Without it, a database cannot be opened (SQLITE_CANTOPEN, never a code
// that says a database is damaged, which would have the index removed) and
// sqlite3_errstr says why in the user's words.

#include "platform/lazy_library.h"

// Hidden: the executable never offers these names to the libraries it loads.
#pragma GCC visibility push(hidden)
#include <sqlite3.h>
#pragma GCC visibility pop

namespace {

// clang-format off
#define SORANE_SQLITE_FUNCTIONS(X) \
    X(sqlite3_bind_blob) \
    X(sqlite3_bind_int) \
    X(sqlite3_bind_int64) \
    X(sqlite3_bind_null) \
    X(sqlite3_bind_pointer) \
    X(sqlite3_bind_text) \
    X(sqlite3_bind_text16) \
    X(sqlite3_busy_timeout) \
    X(sqlite3_changes) \
    X(sqlite3_clear_bindings) \
    X(sqlite3_close) \
    X(sqlite3_close_v2) \
    X(sqlite3_column_blob) \
    X(sqlite3_column_bytes) \
    X(sqlite3_column_bytes16) \
    X(sqlite3_column_int) \
    X(sqlite3_column_int64) \
    X(sqlite3_column_text) \
    X(sqlite3_column_text16) \
    X(sqlite3_column_type) \
    X(sqlite3_deserialize) \
    X(sqlite3_errmsg) \
    X(sqlite3_errstr) \
    X(sqlite3_exec) \
    X(sqlite3_extended_errcode) \
    X(sqlite3_extended_result_codes) \
    X(sqlite3_file_control) \
    X(sqlite3_finalize) \
    X(sqlite3_free) \
    X(sqlite3_get_autocommit) \
    X(sqlite3_interrupt) \
    X(sqlite3_last_insert_rowid) \
    X(sqlite3_malloc64) \
    X(sqlite3_open_v2) \
    X(sqlite3_prepare_v2) \
    X(sqlite3_reset) \
    X(sqlite3_serialize) \
    X(sqlite3_step)
// clang-format on

enum Function {
#define SORANE_ENUM(name) At_##name,
    SORANE_SQLITE_FUNCTIONS(SORANE_ENUM)
#undef SORANE_ENUM
    Function_count
};
const char* const names[] = {
#define SORANE_NAME(name) #name,
    SORANE_SQLITE_FUNCTIONS(SORANE_NAME)
#undef SORANE_NAME
};
void* addresses[Function_count];
constinit Lazy_library sqlite("libsqlite3.so.0", names, addresses, Function_count);

#define SORANE_CALL(name, ...)                                                                     \
    reinterpret_cast<decltype(&::name)>(addresses[At_##name])(__VA_ARGS__)

// What a call that needs a database gives back without the library.
constexpr int Missing = SQLITE_CANTOPEN;
const char Missing_text[] = "SQLite のライブラリー (libsqlite3.so.0) を読み込めませんでした";

}  // namespace

extern "C" {

int sqlite3_open_v2(const char* filename, sqlite3** db, int flags, const char* vfs)
{
    if (sqlite.Loaded())
        return SORANE_CALL(sqlite3_open_v2, filename, db, flags, vfs);
    if (db)
        *db = nullptr;
    return Library_missing(Missing);
}

int sqlite3_close(sqlite3* db)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_close, db) : SQLITE_OK;
}

int sqlite3_close_v2(sqlite3* db)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_close_v2, db) : SQLITE_OK;
}

int sqlite3_exec(sqlite3* db, const char* sql, int (*callback)(void*, int, char**, char**),
                 void* context, char** error)
{
    if (sqlite.Loaded())
        return SORANE_CALL(sqlite3_exec, db, sql, callback, context, error);
    if (error)
        *error = nullptr;
    return Library_missing(Missing);
}

int sqlite3_prepare_v2(sqlite3* db, const char* sql, int bytes, sqlite3_stmt** statement,
                       const char** tail)
{
    if (sqlite.Loaded())
        return SORANE_CALL(sqlite3_prepare_v2, db, sql, bytes, statement, tail);
    if (statement)
        *statement = nullptr;
    if (tail)
        *tail = nullptr;
    return Library_missing(Missing);
}

int sqlite3_step(sqlite3_stmt* statement)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_step, statement) : Library_missing(Missing);
}

int sqlite3_reset(sqlite3_stmt* statement)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_reset, statement) : SQLITE_OK;
}

int sqlite3_finalize(sqlite3_stmt* statement)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_finalize, statement) : SQLITE_OK;
}

int sqlite3_clear_bindings(sqlite3_stmt* statement)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_clear_bindings, statement) : SQLITE_OK;
}

int sqlite3_bind_blob(sqlite3_stmt* statement, int i, const void* value, int bytes,
                      void (*destructor)(void*))
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_bind_blob, statement, i, value, bytes, destructor)
                           : Library_missing(Missing);
}

int sqlite3_bind_int(sqlite3_stmt* statement, int i, int value)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_bind_int, statement, i, value)
                           : Library_missing(Missing);
}

int sqlite3_bind_int64(sqlite3_stmt* statement, int i, sqlite3_int64 value)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_bind_int64, statement, i, value)
                           : Library_missing(Missing);
}

int sqlite3_bind_null(sqlite3_stmt* statement, int i)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_bind_null, statement, i)
                           : Library_missing(Missing);
}

int sqlite3_bind_pointer(sqlite3_stmt* statement, int i, void* pointer, const char* type,
                         void (*destructor)(void*))
{
    return sqlite.Loaded()
               ? SORANE_CALL(sqlite3_bind_pointer, statement, i, pointer, type, destructor)
               : Library_missing(Missing);
}

int sqlite3_bind_text(sqlite3_stmt* statement, int i, const char* text, int bytes,
                      void (*destructor)(void*))
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_bind_text, statement, i, text, bytes, destructor)
                           : Library_missing(Missing);
}

int sqlite3_bind_text16(sqlite3_stmt* statement, int i, const void* text, int bytes,
                        void (*destructor)(void*))
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_bind_text16, statement, i, text, bytes, destructor)
                           : Library_missing(Missing);
}

const void* sqlite3_column_blob(sqlite3_stmt* statement, int column)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_column_blob, statement, column) : nullptr;
}

int sqlite3_column_bytes(sqlite3_stmt* statement, int column)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_column_bytes, statement, column) : 0;
}

int sqlite3_column_bytes16(sqlite3_stmt* statement, int column)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_column_bytes16, statement, column) : 0;
}

int sqlite3_column_int(sqlite3_stmt* statement, int column)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_column_int, statement, column) : 0;
}

sqlite3_int64 sqlite3_column_int64(sqlite3_stmt* statement, int column)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_column_int64, statement, column) : 0;
}

const unsigned char* sqlite3_column_text(sqlite3_stmt* statement, int column)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_column_text, statement, column) : nullptr;
}

const void* sqlite3_column_text16(sqlite3_stmt* statement, int column)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_column_text16, statement, column) : nullptr;
}

int sqlite3_column_type(sqlite3_stmt* statement, int column)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_column_type, statement, column) : SQLITE_NULL;
}

int sqlite3_busy_timeout(sqlite3* db, int ms)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_busy_timeout, db, ms) : Library_missing(Missing);
}

int sqlite3_extended_result_codes(sqlite3* db, int on)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_extended_result_codes, db, on)
                           : Library_missing(Missing);
}

int sqlite3_file_control(sqlite3* db, const char* schema, int op, void* argument)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_file_control, db, schema, op, argument)
                           : Library_missing(Missing);
}

int sqlite3_changes(sqlite3* db) { return sqlite.Loaded() ? SORANE_CALL(sqlite3_changes, db) : 0; }

sqlite3_int64 sqlite3_last_insert_rowid(sqlite3* db)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_last_insert_rowid, db) : 0;
}

int sqlite3_get_autocommit(sqlite3* db)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_get_autocommit, db) : 1;
}

void sqlite3_interrupt(sqlite3* db)
{
    if (sqlite.Loaded())
        SORANE_CALL(sqlite3_interrupt, db);
}

int sqlite3_extended_errcode(sqlite3* db)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_extended_errcode, db) : Missing;
}

const char* sqlite3_errmsg(sqlite3* db)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_errmsg, db) : Missing_text;
}

const char* sqlite3_errstr(int code)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_errstr, code) : Missing_text;
}

void* sqlite3_malloc64(sqlite3_uint64 bytes)
{
    return sqlite.Loaded() ? SORANE_CALL(sqlite3_malloc64, bytes) : Library_missing(nullptr);
}

void sqlite3_free(void* memory)
{
    // Nothing can have come from SQLite without it.
    if (sqlite.Loaded())
        SORANE_CALL(sqlite3_free, memory);
}

unsigned char* sqlite3_serialize(sqlite3* db, const char* schema, sqlite3_int64* size,
                                 unsigned int flags)
{
    if (sqlite.Loaded())
        return SORANE_CALL(sqlite3_serialize, db, schema, size, flags);
    if (size)
        *size = -1;
    return Library_missing<unsigned char*>(nullptr);
}

int sqlite3_deserialize(sqlite3* db, const char* schema, unsigned char* data, sqlite3_int64 size,
                        sqlite3_int64 buffer_size, unsigned flags)
{
    return sqlite.Loaded()
               ? SORANE_CALL(sqlite3_deserialize, db, schema, data, size, buffer_size, flags)
               : Library_missing(Missing);
}

}  // extern "C"

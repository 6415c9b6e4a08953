#include "fulltext/tokenizer.h"

#include "fulltext/fulltext.h"

#include <algorithm>
#include <sqlite3.h>

namespace {

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
    // Each character with the next one; the last character alone.
    for (int at = 0; at < size;) {
        const int next = Utf8_next(text, size, at);
        const int end = next < size ? Utf8_next(text, size, next) : next;
        if (const int rc = token(context, 0, text + at, end - at, at, end))
            return rc;
        at = next;
    }
    return SQLITE_OK;
}

}  // namespace

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

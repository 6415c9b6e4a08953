// libarchive (backups), opened at its first call: see lazy_library.h.
// Without it, no archive object can be made (a null, errno ELIBACC): a
// backup fails through its own error path before any file is written, and
// a listing of backups finds none inside.

#include "platform/lazy_library.h"

#include <archive.h>
#include <archive_entry.h>

namespace {

// clang-format off
#define SORANE_ARCHIVE_FUNCTIONS(X) \
    X(archive_entry_free) \
    X(archive_entry_new) \
    X(archive_entry_pathname) \
    X(archive_entry_set_filetype) \
    X(archive_entry_set_mtime) \
    X(archive_entry_set_pathname) \
    X(archive_entry_set_perm) \
    X(archive_entry_set_size) \
    X(archive_errno) \
    X(archive_read_data_skip) \
    X(archive_read_free) \
    X(archive_read_new) \
    X(archive_read_next_header) \
    X(archive_read_open_filename) \
    X(archive_read_support_format_zip_seekable) \
    X(archive_write_close) \
    X(archive_write_data) \
    X(archive_write_free) \
    X(archive_write_header) \
    X(archive_write_new) \
    X(archive_write_open_fd) \
    X(archive_write_set_format_zip) \
    X(archive_write_set_options)
// clang-format on

enum Function {
#define SORANE_ENUM(name) At_##name,
    SORANE_ARCHIVE_FUNCTIONS(SORANE_ENUM)
#undef SORANE_ENUM
    Function_count
};
const char* const names[] = {
#define SORANE_NAME(name) #name,
    SORANE_ARCHIVE_FUNCTIONS(SORANE_NAME)
#undef SORANE_NAME
};
void* addresses[Function_count];
constinit Lazy_library libarchive("libarchive.so.13", names, addresses, Function_count);

#define SORANE_CALL(name, ...)                                                                     \
    reinterpret_cast<decltype(&::name)>(addresses[At_##name])(__VA_ARGS__)

}  // namespace

extern "C" {

archive* archive_write_new()
{
    return libarchive.Loaded() ? SORANE_CALL(archive_write_new) : Library_missing(nullptr);
}

archive* archive_read_new()
{
    return libarchive.Loaded() ? SORANE_CALL(archive_read_new) : Library_missing(nullptr);
}

archive_entry* archive_entry_new()
{
    return libarchive.Loaded() ? SORANE_CALL(archive_entry_new) : Library_missing(nullptr);
}

// Whatever is handed to the rest came from the library, or is a null.

int archive_write_free(archive* a)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_write_free, a) : ARCHIVE_OK;
}

int archive_read_free(archive* a)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_read_free, a) : ARCHIVE_OK;
}

void archive_entry_free(archive_entry* entry)
{
    if (libarchive.Loaded())
        SORANE_CALL(archive_entry_free, entry);
}

int archive_errno(archive* a)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_errno, a) : ELIBACC;
}

int archive_write_set_format_zip(archive* a)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_write_set_format_zip, a)
                               : Library_missing(ARCHIVE_FATAL);
}

int archive_write_set_options(archive* a, const char* options)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_write_set_options, a, options)
                               : Library_missing(ARCHIVE_FATAL);
}

int archive_write_open_fd(archive* a, int fd)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_write_open_fd, a, fd)
                               : Library_missing(ARCHIVE_FATAL);
}

int archive_write_header(archive* a, archive_entry* entry)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_write_header, a, entry)
                               : Library_missing(ARCHIVE_FATAL);
}

la_ssize_t archive_write_data(archive* a, const void* data, size_t size)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_write_data, a, data, size)
                               : Library_missing<la_ssize_t>(-1);
}

int archive_write_close(archive* a)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_write_close, a)
                               : Library_missing(ARCHIVE_FATAL);
}

int archive_read_support_format_zip_seekable(archive* a)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_read_support_format_zip_seekable, a)
                               : Library_missing(ARCHIVE_FATAL);
}

int archive_read_open_filename(archive* a, const char* path, size_t block_size)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_read_open_filename, a, path, block_size)
                               : Library_missing(ARCHIVE_FATAL);
}

int archive_read_next_header(archive* a, archive_entry** entry)
{
    if (libarchive.Loaded())
        return SORANE_CALL(archive_read_next_header, a, entry);
    if (entry)
        *entry = nullptr;
    return Library_missing(ARCHIVE_FATAL);
}

int archive_read_data_skip(archive* a)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_read_data_skip, a)
                               : Library_missing(ARCHIVE_FATAL);
}

const char* archive_entry_pathname(archive_entry* entry)
{
    return libarchive.Loaded() ? SORANE_CALL(archive_entry_pathname, entry) : nullptr;
}

void archive_entry_set_pathname(archive_entry* entry, const char* path)
{
    if (libarchive.Loaded())
        SORANE_CALL(archive_entry_set_pathname, entry, path);
}

void archive_entry_set_filetype(archive_entry* entry, unsigned int type)
{
    if (libarchive.Loaded())
        SORANE_CALL(archive_entry_set_filetype, entry, type);
}

void archive_entry_set_perm(archive_entry* entry, __LA_MODE_T mode)
{
    if (libarchive.Loaded())
        SORANE_CALL(archive_entry_set_perm, entry, mode);
}

void archive_entry_set_mtime(archive_entry* entry, time_t seconds, long nanoseconds)
{
    if (libarchive.Loaded())
        SORANE_CALL(archive_entry_set_mtime, entry, seconds, nanoseconds);
}

void archive_entry_set_size(archive_entry* entry, la_int64_t size)
{
    if (libarchive.Loaded())
        SORANE_CALL(archive_entry_set_size, entry, size);
}

}  // extern "C"

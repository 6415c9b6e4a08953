#pragma once
// Shared pieces of the fuzz targets: a check that stops the run with a
// message, and a private scratch folder for the targets that work on real
// files.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

[[noreturn]] void Fuzz_failure(const char* what, const char* file, int line);

// Unlike assert, stays on in every build type: a broken property is the
// finding, not only a crash.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            Fuzz_failure(#condition, __FILE__, __LINE__);                                          \
    } while (false)

// A folder of this process's own (on /dev/shm when there is one), with a
// trailing "/"; it and everything in it is removed when the process ends.
const QString& Scratch_folder();

// Plain POSIX file access, so that fixtures and checks do not go through
// the code under test.
void Put_file(const QString& path, const QByteArray& bytes);
QByteArray Get_file(const QString& path);
bool Path_exists(const QString& path);
void Remove_file(const QString& path);

// True when the bytes hold a lead byte of the codes Windows does not write
// for their character (87, ED, EE, FA): only then may writing back what was
// read give other bytes for the same text.
bool Has_duplicate_lead(const QByteArray& bytes);

inline QByteArray Bytes_of(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

#pragma once
// What is at a path and whether this process may make files in a folder,
// asked of the system directly: start-up and the endings both need them.

#include <QFile>
#include <QString>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// Anything at all at the path, a folder or a dangling link included.
inline bool Something_at(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 || errno != ENOENT;
}

inline bool May_make_files_in(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

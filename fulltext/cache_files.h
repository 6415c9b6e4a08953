#pragma once
// The index's place in the user's cache folder, and its files kept to this
// user alone: they hold the whole diary's text.

#include <QString>

// A new, empty file of this user's alone (an empty file is a new database
// to SQLite); a link or anything else at the name is not opened.
bool Make_private_file(const QString& path);

// An index found readable or writable by others (made by an earlier version
// under a loose umask) is closed to them before it is used, with the files
// SQLite keeps beside it; one that is not this user's own, or no regular
// file, is not used.
bool Make_private(const QString& path);

// The cache folder, made 0700 with any parent that is missing; one of this
// user's own that others may look into is closed to them.
bool Private_cache_folder(const QString& folder);

// Removes what a build that was killed left behind ("<index>.<pid>.building"
// and SQLite's files beside it): the diary's text, never used again. Done
// when the index is opened and before each build. A build of a program
// still running is left alone.
void Remove_stale_builds(const QString& cache_folder, const QString& cache_path);

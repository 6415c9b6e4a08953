#pragma once
// The index of a locked diary. It holds every word of every day, so it never
// lies on disk as it is: the database lives in memory (SQLite's memdb), and
// a finished build is kept in the cache folder only sealed with the diary's
// key ("<hash>.sealed"), so that the next unlock searches at once. Nothing
// of it reaches a journal, a -wal file or a temporary file (temp_store is
// memory). Without the diary's key (not opened, or locked again when idle)
// the index does not open and a build makes nothing.
//
// The index's own code sees a path like any other: Index_path_for gives the
// path, and Fulltext_index::Db::Open and its destructor hand a sealed path
// to Open_sealed_index and Close_sealed_index.

#include "fulltext/index_db.h"

#include <QByteArray>
#include <QString>

// The index's file for the diary in app_dir: "<hash>.sqlite" in cache_folder,
// or, for a locked diary, "<hash>.sealed". For a locked diary the plain index
// an earlier run left (the diary was locked since) is removed with SQLite's
// files beside it, and for a plain one a sealed index left from before it
// was unlocked.
QString Index_path_for(const QString& cache_folder, const QString& app_dir);

// The index open at path no longer fits the diary in app_dir: the diary
// was locked or unlocked since, or the locked diary's key is not open any
// more (locked again when idle), and what is in memory must go.
bool Index_must_close(const QString& path, const QString& app_dir);

// The path (or a build's "<path>.<pid>.building") is a locked diary's index.
bool Is_sealed_index(const QString& path);

// Opens db for a sealed index path: create gives an empty database in
// memory; otherwise the sealed file is read, opened with the diary's key and
// loaded into memory. false (db.last_code set) when the key is not open, the
// file is missing, cut, changed or of another key.
bool Open_sealed_index(Fulltext_index::Db& db, const QString& path, bool create);

// Before db closes: a database made by Open_sealed_index(create) whose work
// was committed (a build that ran to its end) is sealed into its file.
void Close_sealed_index(Fulltext_index::Db& db);

// The bytes of a sealed index file as they are on disk, any size; false
// when it is missing, not a regular file or a link.
bool Read_whole_file(const QString& path, QByteArray& bytes);

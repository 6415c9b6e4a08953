#pragma once
// The index built from nothing: every day of the diary read, folded and
// indexed into a new database, with the listing of every file it read.

#include "fulltext/fold.h"

#include <QString>
#include <atomic>

// Builds an index from nothing into the file at path (which must not be in
// use): every day of the diary.
bool Build_index(const QString& path, const QString& app_dir, const Fold_options& options,
                 const std::atomic<bool>& cancel, std::atomic<int>& done, std::atomic<int>& total,
                 QString& trouble);

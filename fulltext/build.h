#pragma once
// The index built from nothing: every day of the diary read, folded and
// indexed into a new database, with the listing of every file it read.

#include "fulltext/fold.h"

#include <QString>

class Job_control;

// Builds an index from nothing into the file at path (which must not be in
// use): every day of the diary. The job is told how far the build is, and
// the build stops when the job is cancelled.
bool Build_index(const QString& path, const QString& app_dir, const Fold_options& options,
                 const Job_control& job, QString& trouble);

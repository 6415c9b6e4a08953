#pragma once
// What the files of the backup share among themselves; not for other code.

#include "store/io_result.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

namespace backup_internal {

QString With_slash(QString folder);

// Writes the diary's files (relative to app_dir, which ends in "/") into a
// zip archive on fd. A failure of a diary file names the file; a failure of
// the archive names archive_path. Stops between two pieces when cancel is
// set, returning an empty result.
Io_result Write_archive(const QString& app_dir, const std::atomic<bool>& cancel, int fd,
                        const QStringList& files, const QString& archive_path,
                        const std::function<void(qint64 done)>& done_bytes);

// Keeps the compression's buffers in the heap once a backup runs.
void Keep_compression_buffers();

// Removes what the rotation gives up in folder: only names the program
// gives its backups, and only regular files.
Io_result Rotate(const QString& folder, QDate today);

}  // namespace backup_internal

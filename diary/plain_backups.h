#pragma once
// The backups a diary left plain behind it when it was locked: the one made
// just before the lock and the earlier daily ones. They hold every word of
// the diary readable by anyone who reads the backup folder, so after a lock
// the user is offered to delete them.

#include "store/io_result.h"

#include <QString>
#include <QStringList>

// The backup archives of the diary in app_dir (its own folder inside
// backup_folder, named as the program names its backups) that do not hold
// the key file "sorane-lock.ini": those were made while the diary was
// plain. Sorted by name. An archive that cannot be read is counted plain.
QStringList Plain_backups(const QString& app_dir, const QString& backup_folder, Io_result& error);

// Removes the archives, then syncs their folder. Stops at the first that
// cannot be removed; removed counts those gone.
Io_result Remove_backups(const QStringList& paths, int& removed);

#pragma once
// Backups of the whole diary: one zip archive per backup in a folder of the
// user's choice, named by the day it was made, old ones rotated away. The
// archive holds the diary's files byte for byte with their relative paths
// and modification times, so that unpacking it into an empty folder gives
// the diary back. A backup only reads the diary; it writes nothing but its
// own archive (through a temporary file, synced and renamed into place) and
// removes nothing but its own old archives.

#include "store/io_result.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

// A backup's file name: "sorane-20261209.zip" for the first of a day,
// "sorane-20261209-2.zip", "-3", ... for later ones the same day.
struct Backup_name {
    QDate date;
    int sequence = 1;
    friend bool operator==(const Backup_name&, const Backup_name&) = default;
};
QString Backup_file_name(const Backup_name& name);
// The name, when file_name is exactly one the program gives its backups.
std::optional<Backup_name> Parse_backup_file_name(const QString& file_name);

// The rotation: of the backups made up to today, the newest of each of the
// 7 latest days with a backup, of the 4 latest weeks (Monday to Sunday) and
// of the 12 latest months are kept, and every backup of today; every other
// backup is returned, to be removed. Backups dated after today (a clock
// that was wrong) are neither counted nor removed.
QList<Backup_name> Backups_to_remove(const QList<Backup_name>& existing, QDate today);

// The diary's files as a backup takes them, relative to the program folder,
// sorted: every year folder (a folder named by four digits) with its day
// files (MMDD.txt), keyword.txt, their exact texts and every conflict copy
// (this program's and the sync tools'), sorane.ini, the messages with theirs,
// and rescue files: every file that may hold the user's text. Entries ending
// in "/" are the year folders themselves. The pictures of the days
// (photos/, see diary/photos.h) go in too, their folders before them.
// Temporary files, links, the history and other folders are left out.
QStringList Diary_files(const QString& app_dir, Io_result& error);

// The folder of one diary's backups inside the chosen backup folder:
// "<name of the diary folder>-<8 hex digits of its real path's hash>/", so
// that two diaries sharing a backup folder never rotate each other's
// backups away.
QString Diary_backup_folder(const QString& backup_folder, const QString& app_dir);

// ~/sorane-backup/
QString Default_backup_folder();

// What the backup settings hold; they live in this program's own file
// beside the diary (sorane-linux.ini), never in the settings file the
// Windows program shares.
struct Backup_settings {
    QString folder;  // with a trailing "/"
    bool daily = true;
};
QString Backup_settings_path(const QString& app_dir);
Backup_settings Read_backup_settings(const QString& app_dir);
Io_result Write_backup_settings(const QString& app_dir, const Backup_settings& settings);

struct Backup_outcome {
    Io_result error;  // the failure that stopped the backup
    QString path;     // the archive made, when it was made
    int files = 0;    // the diary files it holds
    bool cancelled = false;
    // The archive was made, but an old backup could not be removed.
    Io_result rotation_error;
    bool Ok() const { return error.Ok() && !cancelled; }
};

// Makes one backup of the diary in app_dir into its own folder inside folder
// (Diary_backup_folder; both made when missing, but not folder's parents),
// then rotates the old backups there. Runs on the
// calling thread (the main window runs it as a Background_job); progress is
// told in percent as the files go in, and cancel stops it between two
// pieces of writing, leaving no file behind.
Backup_outcome Write_backup(const QString& app_dir, const QString& folder, QDate today,
                            const std::atomic<bool>& cancel,
                            const std::function<void(int percent)>& progress = {});

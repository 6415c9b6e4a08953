#pragma once
// Pictures kept with a day. They live in the diary folder, where a
// synchronising tool carries them and the Windows program never looks:
//
//   photos/2026/1209/20261209-211503-3f9a1c2e-IMG_1234.jpg
//
// one folder per day, each picture a byte-exact copy of the file the user
// added (a pasted picture is the clipboard's own PNG or JPEG, or a PNG made
// of it). A name is the time it was added, eight random hexadecimal digits
// and the original name, so two computers adding pictures to one day never
// make the same name, and the day's pictures sort in the order they came
// (to the second: pictures added in one second sort by their random part).
// Nothing is ever written over: a copy takes a new name, and a picture
// removed from the day moves to the day's history folder,
//
//   history/2026/1209/photos/20261209-211503-3f9a1c2e-IMG_1234.jpg
//
// Files are 0600, folders 0700. Qt Core only: which file is a picture is
// for the windows to tell (QImageReader), before they call here.

#include "diary/panel_date.h"
#include "store/io_result.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

// "photos", the folder of the pictures in the diary folder.
inline constexpr char Photos_folder_name[] = "photos";

// "…/photos/2026/1209/" for app_dir (which ends in "/").
QString Photo_day_folder(const QString& app_dir, const Panel_date& date);
// "…/history/2026/1209/photos/": where a removed picture goes.
QString Removed_photo_folder(const QString& app_dir, const Panel_date& date);

struct Photo_listing {
    QStringList paths;  // the day's pictures, oldest first
    Io_result error;    // the folder is there but could not be listed
};
// The day's pictures: regular files only (never a link, nor what an
// interrupted copy left behind). A missing folder is a day without any.
Photo_listing List_photos(const QString& app_dir, const Panel_date& date);

// The name a picture gets: "20261209-211503-<8 hex>-<original base>.<suffix>".
// The original's base is kept in letters, digits, '-', '_' and '.' only
// (others become '_'), at most 40 characters; suffix in lower case, only
// letters and digits (else "img").
QString New_photo_name(const QDateTime& now, quint32 unique, const QString& original_name,
                       const QString& suffix);

struct Photo_added {
    Io_result result;
    QString path;  // the copy in the day's folder, when it was made
};
// Copies the file at source, byte for byte, into the day's folder under a
// new name (durably: temporary file, flush, rename that never replaces,
// folder synced). A source that is no regular file is refused
// (Not_a_regular_file, or Not_a_file for a folder); one that changes size
// while it is read gives a Read failure and no copy.
Photo_added Add_photo_file(const QString& app_dir, const Panel_date& date, const QString& source,
                           const QString& suffix, const QDateTime& now);
// The same for a picture held in memory (a pasted one); name is the
// original name to keep in the new one, or empty.
Photo_added Add_photo_bytes(const QString& app_dir, const Panel_date& date, QByteArrayView bytes,
                            const QString& name, const QString& suffix, const QDateTime& now);

struct Photo_removed {
    Io_result result;
    QString kept_path;  // where the picture is now, in the day's history
};
// Moves the day's picture at path into the day's history folder (a rename:
// the bytes never leave the disk; a name taken there gets "-2", "-3" …),
// then syncs both folders. Only a picture of that day's folder is moved.
Photo_removed Remove_photo(const QString& app_dir, const Panel_date& date, const QString& path);

// The pictures removed from the day and kept in its history, oldest first.
Photo_listing List_removed_photos(const QString& app_dir, const Panel_date& date);

// Puts a removed picture back into the day's folder under the name it has
// in the history: a durable copy (the bytes read and written through the
// store's own reading and temporary file, so whatever the store does to a
// diary file's bytes it does here too); the history keeps its own. A name
// the day's folder holds already is refused (Rename with EEXIST): the
// picture is back. Only a picture of that day's history folder is copied.
Photo_added Put_back_photo(const QString& app_dir, const Panel_date& date,
                           const QString& kept_path);

// Every picture in the photos folder, for the backups: paths relative to
// app_dir, each folder ("photos/", "photos/2026/", "photos/2026/1209/")
// before its files. Links and other files are left out; folders named
// otherwise than years and days too.
QStringList Photo_files(const QString& app_dir, Io_result& error);

// True when the day has any picture (one look at its folder).
bool Day_has_photos(const QString& app_dir, const Panel_date& date);

// The pictures of a year's days, by month * 100 + day: their paths relative
// to app_dir ("photos/2026/1209/…"), oldest first. One look at the year's
// folder; a day's folder only when it is there.
QMap<int, QStringList> Year_photos(const QString& app_dir, int year);

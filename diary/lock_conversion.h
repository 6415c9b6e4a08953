#pragma once
// Locking a diary folder and unlocking it again, one file at a time, so that
// a kill at any moment leaves every file whole: either its old plain bytes
// or its new sealed bytes (each is put in place by Replace_file).
//
// Locking: the key file is written first (state "locking") and the key
// registered for the folder, then every file of the diary is replaced by its
// sealed bytes, then the key file says "locked". Unlocking: the key file
// says "unlocking", the key is forgotten, every file is replaced by its
// plain bytes, and the key file is removed last. While a key file says
// "locking" or "unlocking" the readers take both forms, and the next open
// (Finish_conversion, once the password has opened the key) completes the
// conversion.
//
// Before anything is written every file is read (and, to unlock, opened)
// and checked to be writable, so that a file in the way stops the
// conversion before it starts. A cancel from the progress callback turns
// the conversion back: what was done is undone, and the folder is as it
// was before.

#include "store/io_result.h"
#include "store/lock.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>

namespace lock {

// Files done and all files; false asks to stop (the conversion is then
// turned back).
using Conversion_progress = std::function<bool(int done, int all)>;

enum class Conversion_status {
    Done,
    Already_locked,  // locking a folder with a key file
    Not_locked,      // unlocking a folder without one
    Other_key,       // the key given is not the folder's
    Backup_failed,   // the backup before locking could not be made: nothing changed
    Cancelled,       // asked to stop: turned back, nothing changed
    Failed,          // result says which file and why
};

struct Conversion {
    Conversion_status status = Conversion_status::Failed;
    Io_result result;     // the failure, for Failed and Backup_failed
    QString backup_path;  // the backup made before locking
    int files = 0;        // the files converted
    bool Ok() const { return status == Conversion_status::Done; }
};

// Every file of the diary in diary_folder that a lock seals, as paths: the
// settings, the messages and their companions and copies, the hand-over
// record, rescue files, every known file of every year folder, and every
// file under history/ and photos/. The key file, temporary files and files
// the diary does not know (the program itself, when installed there) are
// left out.
QStringList Lockable_files(const QString& diary_folder, Io_result& error);

// Locks a plain diary with a new key for the password. recovery_text
// receives the recovery key (shown once to the user). A backup of the
// diary is made first into backup_folder (the folder the backup settings
// name when empty), and its path given back. On success the key is
// registered for the folder and stays so. limits are Argon2id's for the
// password (tests pass the fastest).
Conversion Lock_folder(const QString& diary_folder, QByteArrayView password_utf8,
                       QString& recovery_text, const Conversion_progress& progress = {},
                       const QString& backup_folder = {}, Kdf_limits limits = Default_limits());

// Makes every file plain again and removes the key file. key is the diary's
// (opened with the password or the recovery key); it is forgotten for the
// folder.
Conversion Unlock_folder(const QString& diary_folder, const Diary_key& key,
                         const Conversion_progress& progress = {});

// At open: a key file in state locking or unlocking completes that
// conversion; in state locked nothing is done. No key file: nothing to do.
Conversion Finish_conversion(const QString& diary_folder, const Diary_key& key,
                             const Conversion_progress& progress = {});

// For the tests of a conversion cut off by a kill: called after each file
// is put in place (and after each write of the key file), with the count so
// far; the test's child process ends itself there.
void Set_conversion_hook(std::function<void(int step)> hook);

}  // namespace lock

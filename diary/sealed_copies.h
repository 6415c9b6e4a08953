#pragma once
// Copies of a diary's text kept outside its folder: the search's index and
// the 記録 counts in the cache folder, the recovery records and rescue files
// in the state folder. For a locked diary each such file is sealed with the
// diary's own key (lock.h) before it touches the disk and opened with it
// when read; while the key is not open (before the password, after the idle
// lock) nothing is written there at all. A plain copy of a diary that has
// been locked since is removed rather than read.
//
// These places are not registered with the lock's registry: they are
// shared by every diary of the user, and what is written here is sealed
// here, explicitly, with the key of the diary the place is tied to.

#include "store/io_result.h"
#include "store/lock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace sealed_copies {

// The suffix a sealed copy's name takes in place of its plain one.
inline constexpr char Sealed_suffix[] = ".sealed";

// Files under place (a folder, or one file) hold copies of the text of the
// diary in diary_folder. The tie lasts for the run.
void Tie(const QString& place, const QString& diary_folder);

// The diary tied to path's place (empty when none), and its key when the
// diary is locked and its key is open.
QString Diary_of(const QString& path);
bool Key_of(const QString& path, lock::Diary_key& key);
// The diary tied to path is locked (whether or not its key is open).
bool Locked(const QString& path);

// The name of a copy: plain_path for a plain diary; for a locked one,
// plain_path with its suffix (".dat", ".sqlite", ...) replaced by ".sealed",
// the plain file of an earlier run removed (and the other way round after
// an unlock). Ties the returned path to the diary.
QString Copy_path(const QString& plain_path, const QString& diary_folder);

// Puts bytes at path through Replace_file: sealed when the tied diary is
// locked, refused with Io_step::Locked when its key is not open, as they are
// otherwise.
Io_result Write(const QString& path, QByteArrayView bytes);

// Reads the file at path (a regular file, never through a link, at most
// File_size_limit bytes): a sealed file is opened with the tied diary's key
// (Io_step::Locked without it, Io_step::Damaged_lock when it does not open).
// A plain file is handed on as it is.
Io_result Read(const QString& path, QByteArray& bytes, bool& exists);

}  // namespace sealed_copies

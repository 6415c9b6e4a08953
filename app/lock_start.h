#pragma once
// Opening a locked diary: the password (from the desktop's keyring when
// the user asked it to remember it, else asked), or the recovery key and a
// new password; then the diary's key is registered for the diary folder,
// so that every read and write there opens and seals, and a conversion
// that an earlier run left halfway is finished. At start this runs before
// anything of the diary is read; after an idle lock it runs over the
// covered window.

#include "dialogs/password_window.h"
#include "store/io_result.h"
#include "store/lock.h"

#include <QString>
#include <optional>

class Desktop_keyring;
class Platform;
class QWidget;

// Asks until the key file opens or the user gives up (nothing then). A
// right password with the tick 「このコンピューターに覚えておく」 is put
// into the keyring; the tick cleared over a kept password takes it out.
// Nothing in the diary folder is written, except the key file after the
// recovery key set a new password.
std::optional<lock::Diary_key> Ask_for_key(Platform& platform, QWidget* parent,
                                           Password_window::Purpose purpose,
                                           const QString& diary_folder, Desktop_keyring& keyring,
                                           bool kept_in_keyring);

// Registers the diary's key for the diary folder (and the private places
// that hold copies of its text).
void Register_diary_key(const QString& diary_folder, const lock::Diary_key& key);

// At start, before the session reads anything: false when the program must
// end (the user cancelled, or the key file cannot be read); nothing was
// written then. A plain diary folder passes at once.
bool Open_locked_diary(Platform& platform, const QString& diary_folder, Desktop_keyring& keyring);

// A conversion an earlier run left halfway (state locking or unlocking)
// finished with its progress shown; false when it could not end (told).
bool Finish_left_conversion(Platform& platform, const QString& diary_folder,
                            const lock::Diary_key& key, lock::Key_state state);

// The checks the password windows run off the window's thread.
Key_check Check_password(const QString& diary_folder, const QByteArray& password_utf8,
                         lock::Diary_key& out);
Key_check Check_recovery_key(const QString& diary_folder, const QString& recovery_text,
                             const QByteArray& new_password_utf8, lock::Diary_key& out);
// The password now opens the key, which the key file then holds wrapped by
// the new password instead (the day files are not touched).
Key_check Change_password(const QString& diary_folder, const QByteArray& password_utf8,
                          const QByteArray& new_password_utf8);

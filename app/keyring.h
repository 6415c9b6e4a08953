#pragma once
// The desktop's keyring (the Secret Service of GNOME Keyring, KWallet and
// the like), reached through libsecret, which is loaded the first time the
// keyring is needed and never linked: without it, or without a Secret
// Service on the session's D-Bus, the program works as before and only the
// tick 「このコンピューターに覚えておく」 is off. A password is kept under
// the diary folder's real path, so that each diary has its own.

#include <QByteArray>
#include <QString>

class Desktop_keyring {
public:
    // Whether passwords can be kept; why_not says why not, in words for the
    // tick's tool tip.
    bool Available(QString* why_not = nullptr);
    // The password kept for the diary folder, or empty when there is none
    // (or no keyring). The keyring may ask its own question first (a
    // locked collection); this waits for it.
    QByteArray Look_up(const QString& diary_folder);
    // Keeps the password for the diary folder, replacing one kept before.
    // False with the keyring's reason in error.
    bool Store(const QString& diary_folder, const QByteArray& password_utf8, QString& error);
    // Forgets the password kept for the diary folder; true when none is
    // kept afterwards.
    bool Remove(const QString& diary_folder, QString& error);
};

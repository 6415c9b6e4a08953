#pragma once
// One program per diary folder on this machine: a lock file named after the
// folder, kept in the user's runtime folder rather than in the diary folder
// (a synchronising tool would carry a lock in the diary folder to another
// machine, or leave it behind there).

#include <QString>
#include <memory>

class QLockFile;

class Folder_lock {
public:
    enum class State {
        Held,           // this program holds the folder
        Held_by_other,  // a running program holds it
        Unavailable     // no lock could be made (the lock folder's own trouble)
    };

    // program_folder is canonicalised, so a path through a link names the
    // same lock; lock_folder holds the lock file (Default_lock_folder()).
    Folder_lock(const QString& program_folder, const QString& lock_folder);
    ~Folder_lock();
    Folder_lock(const Folder_lock&) = delete;
    Folder_lock& operator=(const Folder_lock&) = delete;

    // Takes the lock, waiting up to wait_ms for a holder that is ending. A
    // lock left by a program that died is taken over at once; a live
    // holder's lock never ages into a stale one.
    State Take(int wait_ms = 0);
    void Release();
    bool Holds() const;

    // Where the program that holds the folder listens for the next start.
    QString Server_path() const { return server_path; }
    QString Lock_path() const { return lock_path; }

private:
    bool Remove_dead_lock();

    QString lock_path;
    QString server_path;
    std::unique_ptr<QLockFile> lock;
};

// The short name of a folder for its lock and its server: a hash of the
// folder's canonical path (links followed), the same for every path that
// leads to the same folder.
QString Folder_key(const QString& folder);

// The user's runtime folder, or, when there is none, a folder of this
// user's own under the temporary folder; empty when neither can be used.
QString Default_lock_folder();

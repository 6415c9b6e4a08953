#pragma once
// Every file the diary writes goes through Replace_file: the new content is
// written to a temporary file in the same folder, flushed to the disk and
// then renamed over the old file, and the folder is synced. Whatever happens
// on the way (a full disk, a crash, a kill), the file holds either its old
// content or its new content, whole.

#include "store/io_result.h"
#include "store/lock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <vector>

// Replaces (or creates) the file at path with bytes. A new file is readable
// and writable by its owner only (0600, whatever the umask); an existing
// file keeps its permissions, and one without its owner's write permission
// is refused. On failure the old file is untouched and no temporary file is
// left behind.
//
// What is refused, with the file untouched: a folder at the path
// (Not_a_file), a device, pipe or socket (Not_a_regular_file), and a
// symbolic link (Is_a_link: replacing it would turn the link into a plain
// file and leave its target stale); a file
// without its owner's write bit, even for root, or one this process may not
// write (Read_only). The new file keeps the old file's owner and group.
// Io_step::Sync_folder is the one failure that comes after the new content
// is in place: the file holds the new bytes, only their durability across a
// crash is in doubt.
//
// Under a place with a key registered (store/lock.h) the bytes are sealed
// with that key first; the key file of a locked diary never is.
Io_result Replace_file(const QString& path, QByteArrayView bytes);
// Replace_file with the bytes exactly as given, sealed or not, whatever key
// is registered: for the conversion of a diary between plain and sealed.
Io_result Replace_file_as_is(const QString& path, QByteArrayView bytes);
// The same, leaving the folder's sync to a caller that replaces many files
// of one folder and syncs it once (Sync_folder) before it relies on the new
// names: until then a crash may bring back the old file, whole.
enum class Folder_sync {
    Now,
    Later
};
Io_result Replace_file_as_is(const QString& path, QByteArrayView bytes, Folder_sync sync);
// Replace_file, sealed or not as it seals, with the folder's sync left to
// the caller as above.
Io_result Replace_file(const QString& path, QByteArrayView bytes, Folder_sync sync);

// Files of one folder replaced together, each as Replace_file replaces it,
// with one sync of the folder for all: Add writes a new content to its
// temporary file and sets the disk writing it (the file at the path is not
// touched yet), so that the files' writes and the caller's own work between
// Add and Commit overlap; Commit then, in the order they were added, waits
// until each file's data are on the disk and renames it into place, and
// syncs the folder once. A crash before that sync may
// bring back any of the old files, whole, in any mix; the caller adds the
// files in an order whose every mix it reads correctly. Temporary files
// not put in place go when the object goes.
class Replace_together {
public:
    Replace_together();
    Replace_together(const Replace_together&) = delete;
    Replace_together& operator=(const Replace_together&) = delete;
    ~Replace_together();

    // What Replace_file refuses, Add refuses, and the file is untouched.
    // Every path must be in the folder of the first.
    Io_result Add(const QString& path, QByteArrayView bytes);
    bool Empty() const { return staged.empty(); }

    struct Outcome {
        Io_result result;
        // How many of the files, from the first added, are in place: a
        // failed flush or rename stops the rest. The folder was synced for them
        // (Sync_folder in result when that failed).
        int in_place = 0;
        QString last_in_place;
    };
    Outcome Commit();

private:
    struct Staged;
    std::vector<std::unique_ptr<Staged>> staged;
};

// Creates the folder (0700, whatever the umask) and makes the new entry
// durable by syncing the parent folder. An existing folder is left alone;
// a file of that name is an error (Not_a_folder). A failure after the
// folder was made is reported as Sync_folder; the folder then exists.
// Every failure is marked as one of a folder (Io_result::path_is_folder).
Io_result Make_folder(const QString& path);

// Make_folder for the folder and each of its missing parents, so that every
// folder made is 0700; folders already there are left as they are.
Io_result Make_folders(const QString& path);
// The same, true when the folder is there afterwards.
inline bool Make_private_folders(const QString& path)
{
    const Io_result r = Make_folders(path);
    return r.Ok() || r.step == Io_step::Sync_folder;
}

// Makes the entries of a folder (a rename, a removal) durable.
Io_result Sync_folder(const QString& folder);

// A new file written in pieces by its caller (an archive too large to hold
// in memory), put in place as Replace_file puts its files: written to a
// temporary file in the target's folder, flushed, renamed, folder synced.
// A file that is not committed is removed when the object goes. Under a
// place with a key registered the caller writes into memory (Fd() is a
// memory file) and Commit seals the whole into the temporary file; the
// plain bytes never reach the disk.
class Temp_file {
public:
    Temp_file() = default;
    Temp_file(const Temp_file&) = delete;
    Temp_file& operator=(const Temp_file&) = delete;
    ~Temp_file() { Discard(); }

    // Makes the temporary file (0600) in folder, after removing what an
    // interrupted write left there. path is only named in a failure.
    Io_result Open(const QString& folder, const QString& path);
    // The open file's descriptor, for the caller's writes.
    int Fd() const { return fd; }
    // Flushes the file to the disk, closes it and gives it the name path
    // (in the same folder), which must be free: a file there already is
    // never replaced (Rename with EEXIST). Then syncs the folder.
    Io_result Commit(const QString& path);
    // Closes and removes the file when it was not committed.
    void Discard();

private:
    int fd = -1;
    QByteArray name;
    bool sealing = false;  // fd is a memory file, sealed with seal_key at Commit
    lock::Diary_key seal_key;
};

// Prefix of the temporary files Replace_file makes; a name with it is never
// a diary file, and leftovers of an interrupted save are removed by the next
// save into the same folder.
inline constexpr char Temp_prefix[] = ".sorane-tmp-";

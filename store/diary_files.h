#pragma once
// The diary folder's names, and how each folder is listed and each file
// opened for reading. Every part that looks into the diary folder (the
// session, the store, history, backup, this day in every year, the full-text
// index, export, import) lists its folders here and reads its files through
// Read_diary_file, so that a name means one thing everywhere and no file is
// read in a way another part would refuse.
//
// Reading: only a regular file is read, never through a symbolic link at the
// file's own name (a link at "2026/1209.txt" to /etc/shadow is reported as a
// link and not followed), and never more than File_size_limit bytes.

#include "store/io_result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <ctime>
#include <functional>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

// ---- Names ----

enum class Diary_name {
    Other,               // not one of the diary's
    Year_folder,         // "2026"
    Day_file,            // "1209.txt" (also "1209.TXT")
    Index,               // "keyword.txt"
    Message,             // "tomorrow.txt", "yesterda.txt"
    Companion,           // "1209.utf8.txt", "tomorrow.utf8.txt": the exact text
    Staged_companion,    // "1209.utf8.new.txt": the exact text of a save under way
    Kept_companion,      // "1209.utf8.kept-20261209-211503.txt"
    Own_conflict,        // "1209.conflict-20261209-211503.txt"
    Syncthing_conflict,  // "1209.sync-conflict-20261209-101010-ABCDEFG.txt"
    Dropbox_conflict,    // "1209 (Taro's conflicted copy 2026-12-09).txt"
    Nextcloud_conflict,  // "1209 (conflicted copy 2026-12-09 101010).txt",
                         // "1209_conflict-20261209-101010.txt" (also ownCloud's)
    Numbered_copy,       // "1209 (1).txt": a copy a sync tool or file manager made
    Settings,            // "sorane.ini"
    Own_settings,        // "sorane-linux.ini"
    Hand_over_record,    // ".sorane-handover"
    Rescue_file,         // "sorane-rescue-20261209-211503.txt"
    Temporary,           // ".sorane-tmp-XXXXXX": a save under way, or its leftover
    History_folder,      // "history"
    History_version,     // "20261209-211503.txt" (or "-2.txt") in a day's history folder
    History_record,      // "20261209-211503.rec": the index lines kept with a version
    History_index,       // "20261209-211503.idx": the year's whole old index, linked
    Lock_file,           // "sorane-lock.ini": the wrapped key of a locked diary
};

// What a name says, and for the names of one day (or a message, or the
// index) the stem they share: "1209", "keyword", "tomorrow", "yesterda",
// with the month and day of a day's names.
struct Name_class {
    Diary_name kind = Diary_name::Other;
    QByteArray stem;
    int month = 0;  // as written: "0230" gives 2 and 30, whether or not such a day exists
    int day = 0;
};

// A day of the diary's calendar: every month has the days 1 to 31, as the
// date bars allow, so that "0230.txt" (written here, or by the Windows
// program) is read, searched, exported and imported like any other day.
inline bool Is_diary_day(int month, int day)
{
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// A name in a year folder ("1209.txt", "keyword.txt", "1209.utf8.txt", the
// conflict copies of every kind).
Name_class Classify_year_name(QByteArrayView name);
// A name in the diary folder itself (the year folders, the settings, the
// messages and their companions and copies, the hand-over record, rescue
// and temporary files, the history folder).
Name_class Classify_top_name(QByteArrayView name);
// A name in a day's history folder.
Name_class Classify_history_name(QByteArrayView name);

// Another version of a day or a message, beside it, that is never read as
// the day itself: conflict copies of every kind and kept-aside companions.
bool Is_other_version(Diary_name kind);
// The file may hold text the user wrote (a day, a memo, a message), in any
// of its forms: what a backup must hold.
bool Holds_diary_text(Diary_name kind);

// The folder's real path (links followed, no "/" at its end) as bytes, or
// the path as given when it cannot be resolved: one name for every way to
// the same folder, for what is kept about a diary elsewhere (its lock, its
// index, its backups).
QByteArray Real_folder_path(const QString& folder);

// ---- Listing ----

enum class Entry_type {
    Regular,
    Folder,
    Link,
    Other
};

struct Folder_entry {
    QByteArray name;  // as the system gives it
    Entry_type type = Entry_type::Other;
    // With Listing_detail::Full only; -1 otherwise.
    qint64 size = -1;
    qint64 mtime_ns = 0;
    qint64 ctime_ns = 0;  // the inode's change time: any write, chmod or link
    quint64 inode = 0;
    mode_t mode = 0;
};

enum class Listing_detail {
    Types,  // the type of each entry (from the listing itself where it says)
    Full,   // also size, modification time, inode and mode (one lstat each)
};

struct Folder_listing {
    bool exists = false;  // false for a missing folder (and a file in its place)
    Io_result error;      // the folder is there but could not be listed whole
    std::vector<Folder_entry> entries;
};

// The folder's entries once, "." and ".." left out; a link is listed as a
// link, never as what it points to. wanted, when given, picks the names to
// keep before anything is asked of them.
Folder_listing List_folder(const QString& folder, Listing_detail detail = Listing_detail::Types,
                           const std::function<bool(const char* name)>& wanted = {});

// ---- Reading ----

// Opens the file for reading, at most File_size_limit bytes, a regular file
// only and never through a symbolic link at its own name. A missing file is
// no error: fd is -1 and exists false. A link is Io_step::Link_not_read, a
// folder Not_a_file, a pipe, device or socket Not_a_regular_file, a file
// over the limit Too_large; on any failure exists is true. st receives the
// open file's status. The descriptor reads the bytes as they are on the
// disk: a sealed file is opened by Read_diary_file only.
Io_result Open_diary_file(const QString& path, int& fd, bool& exists, struct stat* st = nullptr);
// read(2) for a descriptor from Open_diary_file, which may still be
// non-blocking: an interrupted read is made again, and one that would block
// clears O_NONBLOCK and waits.
ssize_t Read_diary_fd(int fd, char* into, size_t size);

// What a read of a file found, to know the file again later without
// reading it: the status of the descriptor that read it (its sizes are the
// bytes on the disk, sealed or not), and the clock that stamps files'
// changes, taken before it was opened. known is false when nothing was read.
struct Read_status {
    bool known = false;
    struct stat file {};
    struct timespec clock_before {};
};

// The whole file, opened as Open_diary_file opens it. A sealed file (see
// store/lock.h) is opened with its place's key: the bytes are its plain
// bytes. Without a key it is Io_step::Locked, and when it does not open
// Io_step::Damaged_lock; bytes are then empty. status, when given, receives
// what the read found.
Io_result Read_diary_file(const QString& path, QByteArray& bytes, bool& exists,
                          Read_status* status = nullptr);
// The file's bytes as they are on the disk, sealed or not.
Io_result Read_diary_file_as_is(const QString& path, QByteArray& bytes, bool& exists,
                                Read_status* status = nullptr);

// now (an lstat of a name of the file) is the very file a read found, its
// bytes as they were read: the same inode of the same device, the same size
// and the same change time of its data, and a change time older than the
// read by more than the file system's steps of time, so that no write after
// the read can have left the time as it was. Only on file systems that
// stamp changes with this machine's clock (not a network drive's server);
// on others, and when in doubt, it is false and the caller reads the bytes.
// The inode's own change time is not compared: a new link changes it.
bool Same_as_read(const Read_status& read, const struct stat& now, const QByteArray& name);

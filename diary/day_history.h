#pragma once
// Earlier versions of each day. Before a save replaces a day, the version it
// replaces is kept in the history folder of the program folder:
//
//   history/2026/1209/20261209-211503.txt   the day file, byte for byte
//   history/2026/1209/20261209-211503.rec   the day's lines of keyword.txt
//   history/2026/1209/20261209-211503.idx   or instead the year's whole
//                                           keyword.txt as it was, linked
//   history/2026/1209/20261209-211503.utf8.txt   the day's exact text, when
//                                                 it had a companion
//
// named by the time the version was replaced ("-2", "-3", ... when a name
// of that second is taken). A version without a ".rec" has the index lines
// of the next older version that has one (its ".rec" or its ".idx", whose
// lines of the day are the version's): the lines are kept only when they
// changed, so that saving the text again and again costs one link. Nothing
// here is ever a file of the diary itself; the Windows program, the search
// windows, the listing of other versions and the backups never look into
// the folder.

#include "store/io_result.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

struct Read_status;  // store/diary_files.h

struct History_version {
    QString path;        // the kept day file, "…/20261209-211503.txt"
    QDateTime replaced;  // when a save replaced it, from its name
    int number = 1;      // n of a name's "-n"; 1 without
    qint64 size = 0;     // bytes of the kept day file
};

// One kept version as read back.
struct History_read {
    Io_result error;
    QByteArray file;  // the day file as kept
    // The day's index lines, each followed by "\n" (as Day_record::own_lines
    // holds them); record_known is false when no ".rec" of this version or
    // an older one (nor ".idx") is there.
    QByteArray record;
    bool record_known = false;
    // What the panel would show of it.
    QString text;  // line breaks "\n"
    QString memo;
    bool flag = false;
};

// What keeping a version did.
struct History_keep {
    Io_result error;
    QString path;  // the kept ".txt"; empty when nothing new was kept
    // The folder whose new entry is not yet durable, when the caller asked
    // to sync it itself (see History_sync); empty when none is left.
    QString unsynced_folder;
};

// The one sync of a history folder for every new name a save kept there
// (the version's record, its exact text, the day file linked or copied),
// left to the save: it runs it once the new day's files are written and
// flushed under their temporary names, before any of them is renamed into
// place, so that the kept version is on the disk before the new day can
// be. On a journalling file system the flushes have then carried the new
// names to the disk, and the sync finds little left to do. A sync that
// fails stops the save before the day is replaced: a crash could otherwise
// take the only copy of the old version.
class History_sync {
public:
    History_sync() = default;
    History_sync(const History_sync&) = delete;
    History_sync& operator=(const History_sync&) = delete;
    ~History_sync() { Run(); }
    void Defer(const QString& folder_to_sync) { folder = folder_to_sync; }
    Io_result Run();

private:
    QString folder;
};

// The year's index that a save is about to replace, as just read: the
// version's lines are kept by linking it into the history, which writes no
// new data (the save's rename would orphan the old file anyway).
struct Replaced_index {
    QString path;                       // "…/2026/keyword.txt"
    const QByteArray* bytes = nullptr;  // its bytes as read (plain)
    const Read_status* read = nullptr;  // what that read found, when known
};

class Day_history {
public:
    // app_dir with its trailing "/".
    explicit Day_history(QString app_dir);

    QString Folder() const;  // "…/history"
    QString Day_folder(int year, int month, int day) const;

    // The kept versions of the day, newest first.
    QList<History_version> Versions(int year, int month, int day) const;
    History_read Read(const History_version& version) const;

    // Keeps the version of the day that a save is about to replace: file is
    // the day file's bytes as just read from day_path (empty when there is
    // none), own_lines the day's index lines as just read. A day without a
    // file whose record holds neither a memo nor the flag keeps nothing,
    // nor does a version that is the newest kept one byte for byte. The day
    // file is linked into the history when the file system allows it (its
    // bytes are then kept without a copy, and the save's rename leaves the
    // link the only name of the old file), else copied. Every new name is
    // durable before this returns; with sync_later none is, and the caller
    // syncs unsynced_folder. exact is the day's companion (the
    // exact text of characters Shift_JIS cannot hold), kept beside it.
    // With index, changed lines are kept by a link to the year's index (as
    // the day file is), when it is a plain file of the user's own with no
    // other name and its lines of the day are own_lines still; else, and
    // without index, they are written as a ".rec".
    History_keep Keep(int year, int month, int day, const QString& day_path, const QByteArray& file,
                      const QByteArray& own_lines, const QDateTime& now, bool sync_later = false,
                      const QByteArray& exact = QByteArray(),
                      const Replaced_index& index = {}) const;

private:
    QString app_dir;
};

// Index lines as a ".rec" holds them (CR LF after each) and back ("\n"
// after each, as Day_record::own_lines).
QByteArray Record_file_bytes(const QByteArray& own_lines);
QByteArray Own_lines_of(const QByteArray& record_file);

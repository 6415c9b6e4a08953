#pragma once
// The full-text search of the whole diary: every day's text and memo, every
// year, for one or more words (all must occur, in any order), with the
// Japanese folding of fold.h.
//
// The day files stay the only truth. The index is a cache in the user's
// cache folder (an SQLite database with an FTS5 index of which days hold
// each pair of characters, and no copy of the texts: the lines shown, and
// the check of a longer word, are made from the day files), never in the diary folder, and it never writes a diary file. Before each search it is
// brought up to date from the year folders' listings (name, size, change
// time, inode of every day file and index): only what changed is read
// again. A watch on the folders (inotify) says which year folders changed,
// so a search lists only those; every folder is listed at the first search
// and again at least once a minute, for changes no watch sees. A missing, damaged or older index, or one made with other folding,
// is built again from nothing in the background; until it is there, each
// search reads the files themselves, so no search ever misses a word.
//
// This header is the part's face. Inside: listing.h (the year folders and
// day files as the index sees them), scan.h (reading the days, the plain
// search), index_db.h (the SQLite database and its statements),
// tokenizer.h, cache_files.h (the index's place and modes), build.h (the
// build from nothing), watch.h (inotify on the folders), index_update.cpp
// (bringing the index up to date before a search), fold_settings.cpp (the
// folding options in the settings file), day_line.h (the line shown for a
// day, made from its file's bytes), in_order.h (lines made on every core,
// used in order).

#include "fulltext/fold.h"
#include "fulltext/watch.h"
#include "platform/background_job.h"
#include "store/io_result.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Diary_store;

// The text of a day as every full-text search reads it; an empty text when
// the day has no file. Every day the index or the scan reads comes through
// here.
QString Read_day_for_search(Diary_store& store, int year, int month, int day,
                            Io_result* error = nullptr);

// yyyymmdd as one number, and back.
constexpr int Date_number(int year, int month, int day) { return year * 10000 + month * 100 + day; }

struct Fulltext_hit {
    int date = 0;  // Date_number
    bool memory = false;
    QString memo;
    // Made as the day was read, when the search asked for it and the files
    // were read.
    std::optional<Snippet> snippet;
    // Instead of the snippet and the memo, when it was made from the bytes:
    // where its line lies in the result's printed bytes (the date, a tab,
    // its text as the command line prints it, a line end); -1 for none.
    qsizetype line_at = -1;
    qsizetype line_size = 0;
};

struct Fulltext_search {
    QString typed;  // the words as typed; blanks between them
    int first_year = 0;
    int last_year = 9999;
    bool newest_first = true;
    // While the index is being built: false reads the files for this
    // search (the command line); true answers at once with nothing found
    // and pending set, and the caller reads the files on a thread of its
    // own (a window, which must not stop for the reading of every file).
    bool wait_for_index = false;
    // Each hit's snippet made from the text read for the search (the files,
    // or the days the index found), for a caller that shows every hit (the
    // command line).
    bool snippets = false;
    // With snippets: a day the plain search decides by its bytes has its
    // line as printed (Fulltext_hit::line_at, in Fulltext_result::printed)
    // in place of the snippet and the memo.
    bool printed_lines = false;
    // When the files are read: each year's hits, oldest first, with the
    // bytes their printed lines lie in, handed over on the caller's thread
    // in the order of the years as soon as the year and those before it are
    // read, and not kept in the result (the command line prints them while
    // the later years are still read).
    std::function<void(std::vector<Fulltext_hit>&, const QByteArray& printed)> take_year_hits = {};
};

struct Fulltext_result {
    std::vector<Fulltext_hit> hits;
    // The printed lines of the hits that have one, one after another in
    // the order of the hits.
    QByteArray printed;
    QStringList words;     // folded, as searched
    bool scanned = false;  // the files were read, not the index
    bool pending = false;  // not searched: the index is being built
    // Day files or indexes that could not be read (the first of them named).
    int unreadable = 0;
    Io_result first_unreadable;
    // The index could not be used for this search; what went wrong, for the
    // status line. The search itself is still complete (it read the files).
    QString index_trouble;
};

// The plain search: every day file and index read, decoded and folded.
Fulltext_result Scan_diary(const QString& app_dir, const Fulltext_search& search,
                           const Fold_options& options);

// The folding options, kept in the program's own settings file beside the
// diary (sorane-linux.ini).
Fold_options Read_fold_options(const QString& app_dir);
Io_result Write_fold_options(const QString& app_dir, const Fold_options& options);

// $XDG_CACHE_HOME/sorane (~/.cache/sorane).
QString Default_fulltext_cache_folder();
// True when this SQLite has FTS5, which the index needs.
bool Fulltext_index_available();

class Fulltext_index {
public:
    enum class Start {
        Background,  // a build from nothing runs in a thread of its own
        Foreground,  // ... in the caller's thread, before the first search
        // None here: without a usable index every search reads the files,
        // and the building is left to a window (a command that prints and
        // ends must not make its user wait for it).
        Never,
        // As Background, but the build begins at Start_pending_build(): a
        // window reads the files for the search its user waits for first,
        // and builds after that.
        After_first_scan,
    };
    // The index of the diary in app_dir, kept in cache_folder as
    // "<hash of the diary folder's real path>.sqlite".
    Fulltext_index(const QString& app_dir, const QString& cache_folder, const Fold_options& options,
                   Start start = Start::Background);
    ~Fulltext_index();
    Fulltext_index(const Fulltext_index&) = delete;
    Fulltext_index& operator=(const Fulltext_index&) = delete;

    // Brings the index up to date and searches it; while the index is being
    // built, or when it cannot be used, reads the files.
    Fulltext_result Search(const Fulltext_search& search);
    // The day files and year indexes of the years given that the index
    // could not take in at its last update (listed, but not recorded as
    // read: it tries them again at each search), each read once more for
    // the reason. Empty while a build runs or without an index: a search
    // then reads the files and counts them itself.
    QList<Io_result> Files_not_indexed(int first_year, int last_year);
    // The line shown for a day found: the text around the first word found,
    // or the memo when only the memo holds the words.
    Snippet Snippet_for(int date, const QStringList& words);
    // The same for many days, read from the index in one go.
    std::vector<Snippet> Snippets_for(const std::vector<int>& dates, const QStringList& words);

    const Fold_options& Options() const { return options; }
    QString Cache_path() const { return cache_path; }

    // The build in the background: running (or waiting for
    // Start_pending_build), and how far.
    bool Building() const;
    // Begins the build an After_first_scan index is waiting to make.
    void Start_pending_build();
    int Build_done() const { return build.Progress_done(); }
    int Build_total() const { return build.Progress_total(); }
    // Takes a finished build in; true when one was taken in.
    bool Take_finished_build();
    // Why the index is not used (no FTS5, no cache folder), or
    // empty.
    QString Unavailable_reason() const { return unavailable; }

    struct Db;
    struct File_sig {
        qint64 size = -1;
        // The change time, not the modification time: a program may set
        // the latter back (a sync tool does), and a chmod changes only the
        // former.
        qint64 ctime_ns = 0;
        quint64 inode = 0;
        bool operator==(const File_sig&) const = default;
    };

private:
    bool Open_existing();
    void Start_build();
    void Run_build();
    void Stop_build();
    void Drop_cache(const QString& why);
    enum class Update {
        Current,  // the index holds what the files hold
        Failed,   // it could not be brought up to date this time
        Rebuild,  // it must be built again
    };
    Update Bring_up_to_date(QString& trouble);
    Update Update_from_listing(const std::optional<QSet<int>>& scope, QString& trouble);
    // The index file open is still the one at cache_path.
    bool Same_index_file();
    // Takes the year folders' digests just stored into the open index's
    // record; dropped years have none.
    void Note_digests(const QHash<int, quint64>& digests, const QSet<int>& dropped);
    // The index's answer; false when SQLite failed (db->last_code says how).
    bool Query_index(const Fulltext_search& search, Fulltext_result& result);

    QString app_dir;
    QString cache_folder;
    QString cache_path;
    Fold_options options;
    Start start_mode;
    std::unique_ptr<Db> db;
    Folder_watch watch;
    QString unavailable;
    QString last_trouble;  // why the index was last built again

    // A build from nothing: whether the new index took its place, and why
    // not.
    struct Build_outcome {
        bool ok = false;
        QString trouble;
    };
    Background_job<Build_outcome> build;
    bool build_pending = false;  // After_first_scan: a build is wanted
};

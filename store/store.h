#pragma once
// The diary store: the folder tree under the program folder and every file
// in it. Day files, the per-year index "keyword.txt", the message files.
// Every write goes through Replace_file, one file at a time; every failure
// comes back as an Io_result and never as a message.

#include "store/io_result.h"
#include "store/settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

struct Read_status;  // store/diary_files.h

// A text file read whole.
struct Text_read {
    QString text;
    Io_result result;
    qint64 file_size = 0;  // bytes in the file; 0 when it is missing
    QByteArray bytes;      // the file's bytes as read; empty when it is missing
};

struct Day_record {
    bool found = false;
    bool memory = false;  // set when any matching line has flag "1"
    QString memo;         // memo of the last matching line
    QByteArray memo_bytes;
    // Every line of the index with the day's key, each followed by "\n", as
    // the file holds them: what another copy of the diary may have changed.
    QByteArray own_lines;
};

// The day's record among the index's bytes.
Day_record Day_record_in(QByteArrayView index_bytes, const QString& key);
// Every day's record among the index's bytes, by key ("yyyy/mm/dd"), in one
// pass: each as Day_record_in finds it.
QHash<QByteArray, Day_record> Day_records_in(QByteArrayView index_bytes);

// Files beside a day file that hold another version of the day: this
// program's conflict copies ("1209.conflict-20261209-211503.txt"), its exact
// texts kept aside ("1209.utf8.kept-20261209-211503.txt") and those
// of synchronising tools ("1209.sync-conflict-20261209-101010-ABCDEFG.txt",
// "1209 (conflicted copy 2026-12-09).txt", "1209 (1).txt"). Their names are
// never a day file's or the index's, so nothing reads them as such.
bool Is_other_version_of(const QString& file_name, const QString& day_stem);

// What to do with characters that code page 932 cannot hold.
enum class Unmappable_policy {
    Refuse,      // write nothing and report Io_step::Encode
    Substitute,  // write what Windows would write in their place
};

class Diary_store {
public:
    // app_dir is kept with exactly one "/" at its end.
    explicit Diary_store(QString app_dir);

    const QString& App_dir() const { return app_dir; }
    QString Year_folder(int year) const;
    // The paths of the day, index and message files are lower case ("1209.txt"),
    // or upper case ("1209.TXT") when only that name is there.
    QString Day_file_path(int year, int month, int day) const;
    QString Keyword_file_path(int year) const;
    // Reads the day file, or the year's index, by the name those paths would
    // give, with no look at the name first: path receives the name read (the
    // lower-case one when neither is there). See Read_diary_file (and its
    // status, of the index's read).
    Io_result Read_day_file(int year, int month, int day, QString& path, QByteArray& bytes,
                            bool& exists) const;
    Io_result Read_keyword_file(int year, QString& path, QByteArray& bytes, bool& exists,
                                Read_status* status = nullptr) const;
    QString Settings_path() const;
    QString Tomorrow_path() const;
    QString Yesterday_path() const;
    static QString Date_key(int year, int month, int day);

    Io_result Ensure_year_folder(int year);

    // The whole file as text, line breaks "\n", without the final line end.
    // A missing file is the empty text; a file over File_size_limit bytes
    // is not read (Io_step::Too_large).
    Text_read Read_text_file(const QString& path);
    // Replaces the file with the text (line breaks "\n") and CR LF. A text
    // whose file would be over File_size_limit bytes is not written
    // (Io_step::Too_large): it could not be read again.
    Io_result Write_text_file(const QString& path, const QString& text,
                              Unmappable_policy policy = Unmappable_policy::Refuse);
    // The same for text the caller has already encoded with cp932::Encode
    // (line breaks "\n").
    // written, when given, receives the file's bytes.
    Io_result Write_text_bytes(const QString& path, const QByteArray& cp932_bytes,
                               QByteArray* written = nullptr);
    // The bytes of a file holding the text (line breaks "\n"), and the text
    // that a file's bytes hold, as Read_text_file reads it.
    static QByteArray File_bytes_of(const QByteArray& cp932_bytes);
    static QString Text_of_file(QByteArrayView file_bytes);

    Day_record Find_day_record(int year, const QString& key, Io_result* error = nullptr);
    // Gives the day the one record "key, flag, memo": every line with the
    // key takes it, or it is added at the end; other lines keep their bytes.
    Io_result Store_day_record(int year, const QString& key, bool memory_flag, const QString& memo,
                               Unmappable_policy policy = Unmappable_policy::Refuse);
    // The same for a memo the caller has already encoded. A record is one
    // line: a CR or LF byte in the memo is written as a blank. The index is
    // read again here, so that every other record stays as the file holds
    // it at this moment (another copy of the diary may have added one).
    // own_lines, when given, receives the day's lines as written (see
    // Day_record::own_lines). index_now, when given, is the whole index as
    // the caller read it a moment ago from index_path, so that it is not
    // read twice. An index that would get the bytes it holds is left as it
    // is: no write and no sync (unless the diary is locked, where a write
    // also seals a file left plain).
    Io_result Store_day_record_bytes(int year, const QString& key, bool memory_flag,
                                     const QByteArray& memo_bytes, QByteArray* own_lines = nullptr,
                                     const QByteArray* index_now = nullptr,
                                     const QString& index_path = QString());
    // What Store_day_record_bytes writes, worked out without writing: the
    // index's path and new bytes, the day's lines in them, and whether the
    // file needs writing at all (error: the index could not be read).
    struct Index_update {
        Io_result error;
        QString path;
        QByteArray bytes;
        QByteArray own_lines;
        bool write = false;
    };
    Index_update Day_record_update(int year, const QString& key, bool memory_flag,
                                   const QByteArray& memo_bytes,
                                   const QByteArray* index_now = nullptr,
                                   const QString& index_path = QString());
    Io_result Create_year_index(int year, const QString& key);

    // A new name for a copy of the day that another version left:
    // "2026/1209.conflict-20261209-211503.txt" at the time given, with
    // "-2", "-3", ... when that name is taken.
    QString New_conflict_copy_path(int year, int month, int day, const QDateTime& now) const;
    // The names of the files in the day's year folder that hold another
    // version of the day (see Is_other_version_of), sorted. The folder's
    // listing is kept, and read again only when the folder has changed.
    QStringList Other_versions(int year, int month, int day);

    Settings_read Read_settings(const Settings& first_values) const;
    Io_result Write_settings(const Settings& settings) const;

    // A new day has begun: "yesterda.txt" goes, and "tomorrow.txt" (if any)
    // becomes "yesterda.txt", each with its exact-text companion (see
    // store/exact_text.h). A failure names the file that stood in the way.
    Io_result Hand_over_messages();
    // The program's own record of a hand-over under way, ignored by the
    // Windows program (see Diary_session::Hand_over_messages_at_start).
    QString Hand_over_record_path() const;

    static bool File_exists(const QString& path);
    static bool Folder_exists(const QString& path);

private:
    QString app_dir;
    // The last year folder listed for other versions: its change time then,
    // when it was listed, and the other versions of all its days.
    struct Version_listing {
        QString folder;
        qint64 changed_ns = 0;
        qint64 listed_ns = 0;
        QStringList names;
    } versions;
};

// The year index "keyword.txt" in a year folder.
QString Keyword_path_in(const QString& year_folder);

// Index lines of one year, as the search windows read them: every line of
// the file without its line end, decoded. A missing file gives no lines.
QStringList Read_index_lines(const QString& keyword_path, Io_result* error = nullptr);

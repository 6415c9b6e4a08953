#pragma once
// A diary kept in another program brought into this one, without any
// window: first the source is read (a folder of daily notes named by their
// dates, or a journal's JSON export), then a plan says for each day whether
// it fills an empty day, would be appended to a day that holds something,
// or is there already; then each day is written through the session's own
// save, so that the history, the exact text of characters Shift_JIS cannot
// hold, the index and the safe replacement of files all apply. A day that
// holds text or a memo is never written over: what comes in is appended
// below a separator line, and only for the days the user chose.

#include "diary/panel_date.h"
#include "diary/session.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Diary_store;

// One day as it comes in.
struct Import_day {
    Panel_date date;
    QString text;  // "\n" line breaks
    QString memo;
    bool memory = false;  // 思い出
    // The pictures the note links, as found beside it: absolute paths, in
    // the order the text has them; one that is not there is still named.
    QStringList pictures = {};
};

// A file of the source that could not be read, and why, in words.
struct Unreadable_file {
    QString path;
    QString reason;
};

// A source as read: one day per date, in date order.
struct Import_source {
    QList<Import_day> days;
    QList<Unreadable_file> unreadable;
    int ignored = 0;  // files or entries without a date the diary holds
    // Each of them: a file's path, or an entry as "3 番目の項目（日付: …）".
    QStringList ignored_names;
    QString error;  // the source as a whole could not be read, in words
};

// Called with the steps done and the steps in all (0 while not known yet);
// returns false to cancel.
using Import_progress = std::function<bool(int done, int total)>;

// The date a daily note's file name gives, relative to the folder chosen:
// "2026-12-09.md", "20261209.txt" (".md" or ".txt" either way, in any
// subfolder such as "2026/" or "2026/12/"), and "2026/1209.txt", the
// layout of this diary's own year folders and of its plain text export.
// Nothing for any other name, or for a date outside the calendar or the
// years the diary holds.
std::optional<Panel_date> Daily_note_date(const QString& relative_path);

// A note's bytes as text: UTF-16 with its byte order mark, UTF-8 (with or
// without one), or else Shift_JIS; line ends become "\n" and one final line
// end is dropped. Nothing when the bytes are none of them, or hold a NUL
// byte outside UTF-16 (UTF-16 without its mark, a file that is no text);
// then why, when given, says which in words.
std::optional<QString> Note_text(const QByteArray& bytes, QString* why = nullptr);

// Why the folder may not be read as daily notes, in words for the user:
// the diary folder, or a folder inside it, holds the diary's own files.
// Empty when it may.
QString Import_refusal(const QString& diary_dir, const QString& folder);

// The pictures a note's text links, as written (Markdown ![alt](x.jpg
// "title") and ![](<a b.png>), Obsidian ![[x.png]] and ![[x.png|200]],
// HTML <img src="x.jpg">), percent escapes of Markdown and HTML decoded,
// in the order of the text, each once. Only names with a picture's suffix
// (jpg, jpeg, png, gif, webp, bmp, tif, tiff, heic, heif, avif); never a
// web address or data.
QStringList Linked_pictures(const QString& text);

// Where a linked picture is taken from: beside the note (relative to
// note_folder), else, for a bare name as Obsidian writes them, at that
// place below the folder chosen (root). Empty when it lies outside root
// (a picture is taken only from inside the folder chosen).
QString Linked_picture_path(const QString& root, const QString& note_folder, const QString& link);

// True when the bytes begin as a picture file does (JPEG, PNG, GIF, WebP,
// BMP, TIFF, HEIF/AVIF).
bool Looks_like_picture(const QByteArray& bytes);

// Every daily note in the folder and its subfolders. Notes of one date are
// joined in the order of their names, with a blank line between. A link at
// a note's name is never followed: it is named as unreadable. The pictures
// each note links come with its day (Import_day::pictures).
Import_source Read_daily_notes(const QString& folder, const Import_progress& progress = {});

// A JSON export in the common journal layout ({"entries": [{"date",
// "time", "title", "body", "starred"}]}). An entry with a "memo" (as this
// diary's export writes) gives its body and memo back exactly; an entry
// without one is the title followed by the body, the way the journal
// keeps it. Entries of one date are joined in time order, with a blank
// line between.
Import_source Parse_journal_json(const QByteArray& bytes);
Import_source Read_journal_json(const QString& path);

enum class Import_kind {
    Fill,    // the day here is empty: the day comes in whole
    Append,  // the day here holds something: appended, when chosen
    Same,    // the day here holds this text already: nothing to do
};

struct Import_item {
    Import_day incoming;
    Day_entry here;  // the day as the diary held it when planned
    Import_kind kind = Import_kind::Fill;
    bool chosen = false;  // Append: the user chose to append it
};

struct Import_plan {
    QList<Import_item> items;
    // Days of the diary that could not be read: nothing is written to them.
    QStringList unreadable_days;
};

// The plan for the days of a source, against the diary as it is now.
Import_plan Plan_import(Diary_store& store, const QList<Import_day>& days,
                        const Import_progress& progress = {});

// The line above an appended text: 「――――― 取り込み 2026/12/09 ―――――」
// with the date of the import.
QString Import_separator(const QDate& on);

// What the day becomes: the incoming day where the day was empty, else the
// day here with the incoming text below a separator line (and a memo that
// differs from the one here as the block's first line). The memory flag
// is kept when either has it.
Day_entry Entry_after_import(const Import_item& item, const QDate& on);

struct Import_report {
    int added = 0;                      // empty days filled
    int appended = 0;                   // days appended to
    int skipped = 0;                    // days left as they were (the same text, or not chosen)
    QStringList failed;                 // "2026/12/09: why" of each day that could not be written
    QList<Unreadable_file> unreadable;  // source files that could not be read
    QStringList unreadable_days;        // days of the diary that could not be read
    int ignored = 0;
    QStringList ignored_names;  // as Import_source has them
    int left = 0;               // days not done because the import was cancelled
    bool cancelled = false;
    int pictures = 0;  // pictures copied into their days
    // "2026/12/09" and the picture of each that could not be brought, and
    // why (the day's text came in all the same).
    QList<Unreadable_file> failed_pictures = {};
};

// Writes one day of the plan through the session's save (loading the day
// first, so that a day changed since the plan is planned again and never
// written over), and counts it in the report. The session's diary day is
// this day afterwards: the caller loads its own day again. Then the day's
// linked pictures are copied into it byte for byte (read and written
// through the store's own functions), but for one the day holds already
// (the same bytes), and for a day the user chose not to append to.
void Import_one(Diary_session& session, const Import_item& item, const QDate& on,
                Import_report& report);

// 「N日を追加、M日に追記、K日はそのまま」 and what could not be read or written.
QString Import_summary(const Import_report& report);

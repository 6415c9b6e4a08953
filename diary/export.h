#pragma once
// The diary written out as UTF-8 files for today's tools, without any
// window: Markdown or HTML (one file per year), a JSON file in the layout
// common journal programs import, or plain text (one file per day in year
// folders, LF line ends). Every day is read exactly (Read_exact_day), so a
// character Shift_JIS cannot hold comes out as it was typed. Nothing is
// written into the diary folder; every file is put in place whole
// (Replace_file), so a cancel or a failure leaves no half-written file.

#include "store/io_result.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Diary_store;

enum class Export_format {
    Markdown,
    Html,
    Json,
    Text
};

// "markdown", "html", "json", "text".
std::optional<Export_format> Export_format_named(const QString& name);
QString Export_format_name(Export_format format);

// One day as exported.
struct Export_day {
    int year = 0;
    int month = 0;
    int day = 0;
    bool memory = false;  // 思い出
    QString memo;
    QString text;  // "\n" line breaks
    // The day's pictures, relative to the diary folder and to the export's
    // folder alike ("photos/2026/1209/…"): Markdown and HTML link their
    // copies, JSON lists them.
    QStringList photos = {};
    // The text as the day file's bytes instead (final line end dropped),
    // for a reader that asked for it (text is then empty): Markdown_of_year
    // converts them to UTF-8 straight into its output, with no UTF-16 copy.
    QByteArray text_cp932 = {};
};

// "2026年12月9日（水）"; without the weekday for a date the calendar lacks.
QString Export_heading(const Export_day& day);

// The bytes of one year's Markdown or HTML file, and of the JSON file of
// all days, for the days given in order.
QByteArray Markdown_of_year(int year, const QList<Export_day>& days);
QByteArray Html_of_year(int year, const QList<Export_day>& days);
QByteArray Json_of_days(const QList<Export_day>& days);
// A day's plain text file: the text, UTF-8, LF, followed by one line end
// (also after a line end of its own).
QByteArray Text_of_day(const Export_day& day);

// The dates of an export; an invalid date leaves that end open.
struct Export_range {
    QDate from;
    QDate to;
};

// What an export did.
struct Export_report {
    int days = 0;   // days written
    int files = 0;  // files written
    // Days (and year indexes) that could not be read: the rest was exported.
    QList<Io_result> unreadable;
    QStringList unreadable_days;  // "2026/12/09" of each unreadable day file
    Io_result error;              // a write failed; the export stopped there
    bool cancelled = false;
    // Files already in the output folder that this export did not make (see
    // Existing_files::Keep): left as they were, the rest written.
    QStringList kept_files;
    bool Ok() const
    {
        return error.Ok() && unreadable.isEmpty() && !cancelled && kept_files.isEmpty();
    }
};

// Why the export may not write into out_dir, in words for the user: it lies
// inside the diary folder, or it holds a diary of its own (a settings file
// "sorane.ini", an index "keyword.txt" in it or in a year folder, or a year
// folder with a day file that no export made there). Empty when it may.
QString Export_refusal(const QString& diary_dir, const QString& out_dir);

// The export's record in its output folder: each file it wrote there, with
// its size, modification time (ns) and inode just after the write, one
// "size mtime inode  name" line each. A file that still has them may be
// written over by the next export; any other file of the same name is
// someone else's.
inline constexpr char Export_record_name[] = ".sorane-export";

// What an export does with a file of the same name that it did not make:
enum class Existing_files {
    Keep,     // leaves it as it is and names it (Export_report::kept_files)
    Replace,  // writes over it: the user said so
};

// Called with the days done and the days in all; returns false to cancel.
// Called from the thread that runs the export.
using Export_progress = std::function<bool(int done, int total)>;

// The days of a range as an export or a print reads them: a year at a time,
// the days that hold something (text, memo or the memory flag), each read
// exactly, in date order. from and to are yyyymmdd numbers, so that a day
// the calendar lacks (30 February) that has a file is found too. Each
// year's days go to on_year, which returns false to stop (a write failed).
// A day that cannot be read is named in the report and left out. Returns
// false when stopped or cancelled (report.cancelled). picture_days: a day
// that holds nothing but pictures is one of them too (the print's).
// utf8_text: each day's text comes as Export_day::text_cp932 unless a
// companion gave the exact text.
using Export_year_sink = std::function<bool(int year, QList<Export_day>& days)>;
bool Read_export_days(Diary_store& store, int from, int to, Export_report& report,
                      const Export_progress& progress, const Export_year_sink& on_year,
                      bool picture_days = false, bool utf8_text = false);
// yyyymmdd of a date; open_end for an invalid one.
int Export_date_number(const QDate& date, int open_end);

// Exports the days of the range that hold something (text, memo or the
// memory flag) to out_dir, which must exist and be refused by nothing above.
// A file there that an earlier export made (its bytes as the record has
// them), or that holds already the bytes it would get, is replaced; any
// other is kept unless existing says otherwise.
Export_report Run_export(Diary_store& store, Export_format format, const QString& out_dir,
                         const Export_range& range, const Export_progress& progress = {},
                         Existing_files existing = Existing_files::Keep);

// The report in words: days and files written, the days that could not be read.
QString Export_summary(const Export_report& report);

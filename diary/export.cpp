#include "diary/export.h"

#include "diary/panel_date.h"
#include "diary/photos.h"
#include "diary/program_folder.h"
#include "diary/this_day.h"
#include "platform/cp932.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/safe_replace.h"
#include "store/store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/stat.h>

std::optional<Export_format> Export_format_named(const QString& name)
{
    for (const Export_format format :
         {Export_format::Markdown, Export_format::Html, Export_format::Json, Export_format::Text}) {
        if (name.compare(Export_format_name(format), Qt::CaseInsensitive) == 0)
            return format;
    }
    return std::nullopt;
}

QString Export_format_name(Export_format format)
{
    switch (format) {
    case Export_format::Markdown: return QStringLiteral("markdown");
    case Export_format::Html: return QStringLiteral("html");
    case Export_format::Json: return QStringLiteral("json");
    case Export_format::Text: break;
    }
    return QStringLiteral("text");
}

QString Export_heading(const Export_day& day)
{
    // Built piece by piece: it is made for every day of an export.
    QString heading;
    heading.reserve(20);
    heading += QString::number(day.year);
    heading += u'年';
    heading += QString::number(day.month);
    heading += u'月';
    heading += QString::number(day.day);
    heading += u'日';
    const QDate date(day.year, day.month, day.day);
    if (date.isValid()) {
        static const QString weekdays = QStringLiteral("月火水木金土日");
        heading += u'（';
        heading += weekdays[date.dayOfWeek() - 1];
        heading += u'）';
    }
    return heading;
}

namespace {

const QString Memory_mark = QStringLiteral("★思い出");

// Appends text as UTF-8 straight into out, without a copy of its own: a
// year of a long-kept diary is a few hundred thousand characters.
void Append_utf8(QByteArray& out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size() * 3);
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    char* const end = utf8.appendToBuffer(out.data() + at, text);
    out.resize(end - out.constData());
}

void Append_text_lines(QByteArray& out, const QString& text)
{
    Append_utf8(out, text);
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        out += '\n';
}

QString Html_escaped(const QString& text) { return text.toHtmlEscaped(); }

// A JSON string: quotes, backslashes and control characters escaped, the
// rest as UTF-8.
void Append_json_string(QByteArray& out, const QString& text)
{
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (uchar(c) < 0x20)
                out += QByteArrayLiteral("\\u00") +
                       QByteArray::number(uchar(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
}

QString Iso_date(const Export_day& day)
{
    return QStringLiteral("%1-%2-%3")
        .arg(day.year, 4, 10, QLatin1Char('0'))
        .arg(day.month, 2, 10, QLatin1Char('0'))
        .arg(day.day, 2, 10, QLatin1Char('0'));
}

}  // namespace

namespace {

void Append_number(QByteArray& out, int number)
{
    char digits[16];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, number);
    out.append(digits, r.ptr - digits);
}

// Export_heading's text as UTF-8, made as bytes: it is made for every day
// of an export.
void Append_heading_utf8(QByteArray& out, const Export_day& day)
{
    static const char* const weekdays[] = {"月", "火", "水", "木", "金", "土", "日"};
    Append_number(out, day.year);
    out += "年";
    Append_number(out, day.month);
    out += "月";
    Append_number(out, day.day);
    out += "日";
    const QDate date(day.year, day.month, day.day);
    if (date.isValid()) {
        out += "（";
        out += weekdays[date.dayOfWeek() - 1];
        out += "）";
    }
}

}  // namespace

QByteArray Markdown_of_year(int year, const QList<Export_day>& days)
{
    qsizetype room = 64;
    for (const Export_day& day : days)
        room += 96 + (day.memo.size() + day.text.size() + day.text_cp932.size()) * 3;
    QByteArray out;
    out.reserve(room);
    out += "# ";
    Append_number(out, year);
    out += "年\n";
    for (const Export_day& day : days) {
        out += "\n## ";
        Append_heading_utf8(out, day);
        if (day.memory) {
            out += ' ';
            Append_utf8(out, Memory_mark);
        }
        out += '\n';
        if (!day.memo.isEmpty()) {
            out += "\nメモ：";
            Append_utf8(out, day.memo);
            out += '\n';
        }
        if (!day.text.isEmpty()) {
            out += '\n';
            Append_text_lines(out, day.text);
        } else if (!day.text_cp932.isEmpty()) {
            out += '\n';
            cp932::Append_utf8_lf(out, day.text_cp932);
            if (!out.endsWith('\n'))
                out += '\n';
        }
        if (!day.photos.isEmpty())
            out += '\n';
        for (const QString& photo : day.photos) {
            out += "![";
            Append_utf8(out, photo.section(u'/', -1));
            out += "](";
            Append_utf8(out, QString::fromLatin1(QUrl::toPercentEncoding(photo, "/")));
            out += ")\n";
        }
    }
    return out;
}

QByteArray Html_of_year(int year, const QList<Export_day>& days)
{
    QByteArray out = QStringLiteral("<!DOCTYPE html>\n"
                                    "<html lang=\"ja\">\n"
                                    "<head>\n"
                                    "<meta charset=\"utf-8\">\n"
                                    "<title>%1年の日記</title>\n"
                                    "<style>\n"
                                    "body { font-family: sans-serif; line-height: 1.7; "
                                    "max-width: 44em; margin: 2em auto; padding: 0 1em; }\n"
                                    "h2 { font-size: 1.1em; border-bottom: 1px solid #999; "
                                    "margin-top: 2em; }\n"
                                    ".memory { color: #c06000; font-weight: normal; "
                                    "margin-left: 1em; }\n"
                                    ".memo { color: #555; }\n"
                                    ".text { white-space: pre-wrap; }\n"
                                    "section { break-inside: avoid-page; }\n"
                                    ".photo img { max-width: 100%; height: auto; }\n"
                                    "</style>\n"
                                    "</head>\n"
                                    "<body>\n"
                                    "<h1>%1年</h1>\n")
                         .arg(year)
                         .toUtf8();
    for (const Export_day& day : days) {
        out += "<section>\n<h2>" + Export_heading(day).toUtf8();
        if (day.memory)
            out += "<span class=\"memory\">" + Memory_mark.toUtf8() + "</span>";
        out += "</h2>\n";
        if (!day.memo.isEmpty())
            out += "<p class=\"memo\">メモ：" + Html_escaped(day.memo).toUtf8() + "</p>\n";
        if (!day.text.isEmpty())
            out += "<div class=\"text\">" + Html_escaped(day.text).toUtf8() + "</div>\n";
        for (const QString& photo : day.photos)
            out += "<p class=\"photo\"><img src=\"" + QUrl::toPercentEncoding(photo, "/") +
                   "\" alt=\"" + Html_escaped(photo.section(u'/', -1)).toUtf8() + "\"></p>\n";
        out += "</section>\n";
    }
    out += "</body>\n</html>\n";
    return out;
}

QByteArray Json_of_days(const QList<Export_day>& days)
{
    QByteArray out = "{\n  \"tags\": {},\n  \"entries\": [";
    bool first = true;
    for (const Export_day& day : days) {
        out += first ? "\n" : ",\n";
        first = false;
        // The title is the memo, or the text's first line when there is no memo.
        const QString title =
            !day.memo.isEmpty() ? day.memo : day.text.section(QLatin1Char('\n'), 0, 0);
        out += "    {\n      \"title\": ";
        Append_json_string(out, title);
        out += ",\n      \"body\": ";
        Append_json_string(out, day.text);
        out += ",\n      \"date\": \"" + Iso_date(day).toLatin1() + "\"";
        out += ",\n      \"time\": \"00:00\"";
        out += ",\n      \"tags\": []";
        out += QByteArray(",\n      \"starred\": ") + (day.memory ? "true" : "false");
        // The memo apart, so that an import tells it from the text's first line.
        out += ",\n      \"memo\": ";
        Append_json_string(out, day.memo);
        // The pictures by their place in the diary folder, only for a day
        // that has any.
        if (!day.photos.isEmpty()) {
            out += ",\n      \"photos\": [";
            for (qsizetype i = 0; i < day.photos.size(); ++i) {
                out += i == 0 ? "" : ", ";
                Append_json_string(out, day.photos[i]);
            }
            out += "]";
        }
        out += "\n    }";
    }
    out += first ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

QByteArray Text_of_day(const Export_day& day)
{
    // One line end after the text as written, even after a line end of its
    // own, so that dropping the last line end gives the text back exactly.
    return day.text.toUtf8() + '\n';
}

namespace {

// Name in the output folder ("2026/1209.txt") -> the file's signature.
using Export_record = QHash<QString, QByteArray>;

// "size mtime-in-ns inode" of the regular file at path, as the folder has
// it now; empty for anything else. Any write to the file, an edit in place
// or a replacement, gives it another signature. (A hash of the bytes would
// cost more than the whole export: a hundred years are tens of megabytes.)
QByteArray File_signature(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return QByteArray();
    return QByteArray::number(qint64(st.st_size)) + ' ' +
           QByteArray::number(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec) + ' ' +
           QByteArray::number(quint64(st.st_ino));
}

// out ends with "/". A missing or unreadable record is empty: then every
// file there is someone else's.
Export_record Read_export_record(const QString& out)
{
    Export_record record;
    QByteArray bytes;
    bool exists = false;
    if (!Read_file_bytes(out + QLatin1String(Export_record_name), bytes, exists).Ok())
        return record;
    For_each_line(bytes, [&record](QByteArrayView line) {
        const qsizetype gap = line.indexOf("  ");
        if (gap > 0)
            record.insert(QString::fromUtf8(line.sliced(gap + 2)), line.first(gap).toByteArray());
    });
    return record;
}

QByteArray Export_record_bytes(const Export_record& record)
{
    QStringList names = record.keys();
    names.sort();
    QByteArray out;
    for (const QString& name : names)
        out += record.value(name) + "  " + name.toUtf8() + '\n';
    return out;
}

// A file of a diary in out_dir: its settings, an index, or a day file in a
// year folder (or in out_dir, a year folder itself) that the export's
// record does not name. Empty when there is none.
QString Diary_file_in(const QString& out_dir)
{
    const QDir out(out_dir);
    if (!out.exists())
        return QString();
    const Export_record record = Read_export_record(Folder_with_slash(out_dir));
    static const QRegularExpression day_name(QStringLiteral("^\\d{4}\\.txt$"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression year_name(QStringLiteral("^\\d{4}$"));
    const QDir::Filters files = QDir::Files | QDir::Hidden | QDir::System;
    const auto diary_file = [&](const QDir& folder, const QString& prefix) {
        for (const QString& name : folder.entryList(files)) {
            if (name.compare(QStringLiteral("keyword.txt"), Qt::CaseInsensitive) == 0 ||
                (day_name.match(name).hasMatch() && !record.contains(prefix + name)))
                return folder.filePath(name);
        }
        return QString();
    };
    for (const QString& name : out.entryList(files)) {
        if (name.compare(QStringLiteral("sorane.ini"), Qt::CaseInsensitive) == 0)
            return out.filePath(name);
    }
    if (const QString file = diary_file(out, QString()); !file.isEmpty())
        return file;
    for (const QString& year : out.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (!year_name.match(year).hasMatch())
            continue;
        if (const QString file = diary_file(QDir(out.filePath(year)), year + QLatin1Char('/'));
            !file.isEmpty())
            return file;
    }
    return QString();
}

}  // namespace

QString Export_refusal(const QString& diary_dir, const QString& out_dir)
{
    const QString diary = QFileInfo(diary_dir).canonicalFilePath();
    // The nearest folder of out_dir that exists tells where it lies.
    QFileInfo out(QDir::cleanPath(QDir(out_dir).absolutePath()));
    QString tail;
    while (!out.exists() && !out.isRoot()) {
        tail = QLatin1Char('/') + out.fileName() + tail;
        out = QFileInfo(out.absolutePath());
    }
    const QString target = out.canonicalFilePath() + tail;
    if (!diary.isEmpty() && (target == diary || target.startsWith(diary + QLatin1Char('/'))))
        return QStringLiteral("日記のフォルダーの中には書き出せません。\n"
                              "日記のフォルダーの外に、書き出し先のフォルダーを選んでください。\n"
                              "日記のフォルダー: %1")
            .arg(QDir::toNativeSeparators(diary));
    const QString other_diary = Diary_file_in(out_dir);
    if (!other_diary.isEmpty())
        return QStringLiteral("書き出し先のフォルダーには、別の日記があります。\n"
                              "その日記を書き換えないよう、書き出しませんでした。\n"
                              "日記のない、別のフォルダーを選んでください。\n"
                              "見つかった日記のファイル: %1")
            .arg(QDir::toNativeSeparators(other_diary));
    return QString();
}

namespace {

struct Year_days {
    int year = 0;
    QList<int> numbers;  // month * 100 + day, in order
    Year_files files;
};

}  // namespace

namespace {

// The final line end is the writer's, as Diary_store::Text_of_file drops it.
void Drop_final_line_end(QByteArray& bytes)
{
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    else if (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
}

void Put_two_digits(char* at, int number)
{
    at[0] = char('0' + number / 10 % 10);
    at[1] = char('0' + number % 10);
}

// A day of a year folder that holds no companion, as Read_exact_day reads
// it there without decoding its text: the record's memo and mark, and the
// day file's bytes in file when the folder lists it (lower case first).
// folder ends with "/"; number is month * 100 + day.
Exact_day Read_plain_day(const QString& folder, int year, int number, const Year_files& files)
{
    const int month = number / 100;
    const int day = number % 100;
    Exact_day out;
    out.index_error = files.index_error;
    char key[] = "0000/00/00";
    Put_two_digits(key, year / 100);
    Put_two_digits(key + 2, year);
    Put_two_digits(key + 5, month);
    Put_two_digits(key + 8, day);
    const auto record = files.records.constFind(QByteArray::fromRawData(key, 10));
    if (record != files.records.cend()) {
        out.record = *record;
        if (out.record.found) {
            out.memo = out.record.memo;
            out.flag = out.record.memory;
        }
    }
    char name[] = "0000.txt";
    Put_two_digits(name, month);
    Put_two_digits(name + 2, day);
    if (!files.names.contains(QByteArray::fromRawData(name, 8))) {
        std::memcpy(name + 5, "TXT", 3);
        if (!files.names.contains(QByteArray::fromRawData(name, 8)))
            return out;
    }
    bool exists = false;
    out.text_error = Read_file_bytes(folder + QLatin1String(name, 8), out.file, exists);
    out.file_size = out.file.size();
    if (!out.text_error.Ok())
        out.file.clear();
    return out;
}

}  // namespace

int Export_date_number(const QDate& date, int open_end)
{
    return date.isValid() ? date.year() * 10000 + date.month() * 100 + date.day() : open_end;
}

bool Read_export_days(Diary_store& store, int from, int to, Export_report& report,
                      const Export_progress& progress, const Export_year_sink& on_year,
                      bool picture_days, bool utf8_text)
{
    // The days with a file or a record that holds something: each year
    // folder listed once and its index read once.
    QList<Year_days> years;
    int total = 0;
    for (int year = std::max(First_year, from / 10000); year <= std::min(Last_year, to / 10000);
         ++year) {
        Year_files files = Read_year_files(store, year);
        if (!files.folder_error.Ok())
            report.unreadable.append(files.folder_error);
        const Year_marks marks = Year_marks_of(year, files);
        if (!marks.error.Ok())
            report.unreadable.append(marks.error);
        Year_days entry{year, {}, std::move(files)};
        for (auto it = marks.days.cbegin(); it != marks.days.cend(); ++it) {
            const int number = year * 10000 + it.key();
            if (number >= from && number <= to)
                entry.numbers.append(it.key());
        }
        if (picture_days)
            for (const int day : Year_photos(store.App_dir(), year).keys()) {
                const int number = year * 10000 + day;
                if (number >= from && number <= to && !entry.numbers.contains(day))
                    entry.numbers.append(day);
            }
        if (entry.numbers.isEmpty())
            continue;
        std::sort(entry.numbers.begin(), entry.numbers.end());
        total += int(entry.numbers.size());
        years.append(std::move(entry));
    }

    int done = 0;
    if (progress && !progress(0, total)) {
        report.cancelled = true;
        return false;
    }
    for (const Year_days& year : years) {
        QList<Export_day> days;
        days.reserve(year.numbers.size());
        const QMap<int, QStringList> photos = Year_photos(store.App_dir(), year.year);
        const QString folder = store.Year_folder(year.year) + QLatin1Char('/');
        // The folder listed and the index read once for the year's days.
        for (const int number : year.numbers) {
            // A year without companions (most of a diary) needs no more of a
            // day than its file's bytes and its record: read here without
            // the exact reader's names and paths of companions.
            Exact_day exact = utf8_text && !year.files.has_companions
                                  ? Read_plain_day(folder, year.year, number, year.files)
                                  : Read_exact_day(store, year.year, number / 100, number % 100,
                                                   year.files, !utf8_text);
            ++done;
            // The day file's bytes are converted to UTF-8 when the Markdown
            // is made, unless a companion gave the exact text.
            QByteArray text_cp932;
            if (utf8_text && exact.text_error.Ok() && !exact.exact_text) {
                text_cp932 = std::move(exact.file);
                Drop_final_line_end(text_cp932);
            }
            if (!exact.text_error.Ok()) {
                report.unreadable.append(exact.text_error);
                report.unreadable_days.append(
                    Diary_store::Date_key(year.year, number / 100, number % 100));
            } else if (!exact.text.isEmpty() || !text_cp932.isEmpty() || !exact.memo.isEmpty() ||
                       exact.flag || (picture_days && !photos.value(number).isEmpty())) {
                days.append({year.year, number / 100, number % 100, exact.flag, exact.memo,
                             exact.text, photos.value(number), std::move(text_cp932)});
            }
            if (progress && done % 64 == 0 && !progress(done, total)) {
                report.cancelled = true;
                return false;
            }
        }
        if (!days.isEmpty() && !on_year(year.year, days))
            return false;
    }
    if (progress)
        progress(total, total);
    return true;
}

Export_report Run_export(Diary_store& store, Export_format format, const QString& out_dir,
                         const Export_range& range, const Export_progress& progress,
                         Existing_files existing)
{
    Export_report report;
    const QString out = out_dir.endsWith(QLatin1Char('/')) ? out_dir : out_dir + QLatin1Char('/');
    Export_record record = Read_export_record(out);
    bool record_changed = false;
    QList<Export_day> all_days;  // for the one JSON file
    bool kept = false;           // the last file was someone else's, and left
    // Folders whose new names are not yet durable: a year's file is renamed
    // into place unsynced, and each folder is synced once at the end, not
    // once a file (a hundred years' Markdown, or a text export's file a day).
    QStringList unsynced;
    auto write = [&](const QString& name, const QByteArray& bytes) {
        const QString path = out + name;
        kept = false;
        const QByteArray signature = File_signature(path);
        // A file as an earlier export left it is replaced unread. Any other
        // file there, or one changed since, is someone's own: it stays
        // unless it holds these very bytes already or the user said so.
        if (existing == Existing_files::Keep &&
            (signature.isEmpty() || record.value(name) != signature)) {
            QByteArray now;
            bool exists = false;
            const Io_result read = Read_file_bytes(path, now, exists);
            if (exists && (!read.Ok() || now != bytes)) {
                report.kept_files.append(QDir::toNativeSeparators(path));
                kept = true;
                return true;
            }
        }
        report.error = Replace_file(path, bytes, Folder_sync::Later);
        if (!report.error.Ok())
            return false;
        const QString folder = path.section(u'/', 0, -2);
        if (!unsynced.contains(folder))
            unsynced.append(folder);
        ++report.files;
        record.insert(name, File_signature(path));
        record_changed = true;
        return true;
    };
    // The pictures the Markdown and HTML files link, copied byte for byte
    // to the same place below the output folder. One that cannot be read is
    // named in the report, and the rest is written.
    auto copy_photos = [&](const QList<Export_day>& days) {
        for (const Export_day& day : days) {
            for (const QString& photo : day.photos) {
                QByteArray bytes;
                bool exists = false;
                const Io_result read = Read_file_bytes(store.App_dir() + photo, bytes, exists);
                if (!read.Ok() || !exists) {
                    report.unreadable.append(read.Ok() ? Io_result::Failure(Io_step::Open, ENOENT,
                                                                            store.App_dir() + photo)
                                                       : read);
                    continue;
                }
                const Io_result folder = Make_folders(out + photo.section(u'/', 0, -2));
                if (!folder.Ok() && folder.step != Io_step::Sync_folder) {
                    report.error = folder;
                    return false;
                }
                if (!write(photo, bytes))
                    return false;
            }
        }
        return true;
    };
    auto write_year = [&](int year, QList<Export_day>& days) {
        const QString name = QString::number(year);
        int left = 0;  // days in a file that was kept
        switch (format) {
        case Export_format::Markdown:
            if (!copy_photos(days) ||
                !write(name + QStringLiteral(".md"), Markdown_of_year(year, days)))
                return false;
            left = kept ? int(days.size()) : 0;
            break;
        case Export_format::Html:
            if (!copy_photos(days) ||
                !write(name + QStringLiteral(".html"), Html_of_year(year, days)))
                return false;
            left = kept ? int(days.size()) : 0;
            break;
        case Export_format::Json: all_days += days; break;
        case Export_format::Text: {
            report.error = Make_folder(out + name);
            if (!report.error.Ok())
                return false;
            for (const Export_day& day : days) {
                if (day.text.isEmpty())
                    continue;
                const QString file = QStringLiteral("%1/%2%3.txt")
                                         .arg(name)
                                         .arg(day.month, 2, 10, QLatin1Char('0'))
                                         .arg(day.day, 2, 10, QLatin1Char('0'));
                if (!write(file, Text_of_day(day)))
                    return false;
                left += kept ? 1 : 0;
            }
            break;
        }
        }
        report.days += int(days.size()) - left;
        return true;
    };
    if (Read_export_days(store, Export_date_number(range.from, 0),
                         Export_date_number(range.to, 99999999), report, progress, write_year,
                         false, format == Export_format::Markdown) &&
        format == Export_format::Json &&
        write(QStringLiteral("diary.json"), Json_of_days(all_days)) && kept)
        report.days = 0;
    // The new names are made durable before the record can be: a crash then
    // leaves every file the record names as it names it.
    for (const QString& folder : std::as_const(unsynced)) {
        if (const Io_result r = Sync_folder(folder); !r.Ok() && report.error.Ok())
            report.error = r;
    }
    // The record names what was written, also when the export stopped on
    // the way; without it the next export would take these files for the
    // user's own.
    if (record_changed) {
        const Io_result r =
            Replace_file(out + QLatin1String(Export_record_name), Export_record_bytes(record));
        if (!r.Ok() && report.error.Ok())
            report.error = r;
    }
    return report;
}

QString Export_summary(const Export_report& report)
{
    QString summary =
        report.cancelled
            ? QStringLiteral("書き出しを取り消しました。書き出し済みのファイルは %1 個です。")
                  .arg(report.files)
            : QStringLiteral("%1 日分を %2 個のファイルに書き出しました。")
                  .arg(report.days)
                  .arg(report.files);
    if (!report.unreadable_days.isEmpty())
        summary += QStringLiteral("\n読めなかった日（書き出していません）: %1")
                       .arg(report.unreadable_days.join(QStringLiteral("、")));
    QStringList indexes;
    QStringList folders;
    for (const Io_result& r : report.unreadable) {
        if (r.path_is_folder)
            folders << QDir::toNativeSeparators(r.path);
        else if (r.path.endsWith(QStringLiteral("keyword.txt"), Qt::CaseInsensitive))
            indexes << QDir::toNativeSeparators(r.path);
    }
    if (!indexes.isEmpty())
        summary +=
            QStringLiteral("\n読めなかった索引ファイル（メモと思い出の印が欠けています）: %1")
                .arg(indexes.join(QStringLiteral("、")));
    if (!folders.isEmpty())
        summary += QStringLiteral("\n中を読めなかった年のフォルダー（書き出していません）: %1")
                       .arg(folders.join(QStringLiteral("、")));
    if (!report.kept_files.isEmpty())
        summary += QStringLiteral("\nこの書き出しが作ったのではないファイルがあったため、"
                                  "上書きしませんでした: %1")
                       .arg(report.kept_files.join(QStringLiteral("、")));
    if (!report.error.Ok())
        summary += QStringLiteral("\nファイルを書き込めなかったため、途中で止めました: %1")
                       .arg(QDir::toNativeSeparators(report.error.path));
    return summary;
}

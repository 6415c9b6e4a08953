#include "diary/export.h"

#include "diary/panel_date.h"
#include "diary/this_day.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/safe_replace.h"
#include "store/store.h"

#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>
#include <algorithm>

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

QByteArray Markdown_of_year(int year, const QList<Export_day>& days)
{
    qsizetype room = 64;
    for (const Export_day& day : days)
        room += 96 + (day.memo.size() + day.text.size()) * 3;
    QByteArray out;
    out.reserve(room);
    Append_utf8(out, QStringLiteral("# %1年\n").arg(year));
    for (const Export_day& day : days) {
        out += "\n## ";
        Append_utf8(out, Export_heading(day));
        if (day.memory) {
            out += ' ';
            Append_utf8(out, Memory_mark);
        }
        out += '\n';
        if (!day.memo.isEmpty()) {
            Append_utf8(out, u"\nメモ：");
            Append_utf8(out, day.memo);
            out += '\n';
        }
        if (!day.text.isEmpty()) {
            out += '\n';
            Append_text_lines(out, day.text);
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
    return QString();
}

namespace {

struct Year_days {
    int year = 0;
    QList<int> numbers;  // month * 100 + day, in order
    Year_files files;
};

}  // namespace

int Export_date_number(const QDate& date, int open_end)
{
    return date.isValid() ? date.year() * 10000 + date.month() * 100 + date.day() : open_end;
}

bool Read_export_days(Diary_store& store, int from, int to, Export_report& report,
                      const Export_progress& progress, const Export_year_sink& on_year)
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
        // The folder listed and the index read once for the year's days.
        for (const int number : year.numbers) {
            const Exact_day exact =
                Read_exact_day(store, year.year, number / 100, number % 100, year.files);
            ++done;
            if (!exact.text_error.Ok()) {
                report.unreadable.append(exact.text_error);
                report.unreadable_days.append(
                    Diary_store::Date_key(year.year, number / 100, number % 100));
            } else if (!exact.text.isEmpty() || !exact.memo.isEmpty() || exact.flag) {
                days.append(
                    {year.year, number / 100, number % 100, exact.flag, exact.memo, exact.text});
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
                         const Export_range& range, const Export_progress& progress)
{
    Export_report report;
    const QString out = out_dir.endsWith(QLatin1Char('/')) ? out_dir : out_dir + QLatin1Char('/');
    QList<Export_day> all_days;  // for the one JSON file
    auto write = [&](const QString& path, const QByteArray& bytes) {
        report.error = Replace_file(path, bytes);
        if (report.error.Ok())
            ++report.files;
        return report.error.Ok();
    };
    auto write_year = [&](int year, QList<Export_day>& days) {
        const QString name = QString::number(year);
        switch (format) {
        case Export_format::Markdown:
            if (!write(out + name + QStringLiteral(".md"), Markdown_of_year(year, days)))
                return false;
            break;
        case Export_format::Html:
            if (!write(out + name + QStringLiteral(".html"), Html_of_year(year, days)))
                return false;
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
                if (!write(out + file, Text_of_day(day)))
                    return false;
            }
            break;
        }
        }
        report.days += int(days.size());
        return true;
    };
    if (!Read_export_days(store, Export_date_number(range.from, 0),
                          Export_date_number(range.to, 99999999), report, progress, write_year))
        return report;
    if (format == Export_format::Json)
        write(out + QStringLiteral("diary.json"), Json_of_days(all_days));
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
    if (!report.error.Ok())
        summary += QStringLiteral("\nファイルを書き込めなかったため、途中で止めました: %1")
                       .arg(QDir::toNativeSeparators(report.error.path));
    return summary;
}

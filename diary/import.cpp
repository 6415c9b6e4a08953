#include "diary/import.h"

#include "diary/photos.h"
#include "platform/clock.h"
#include "platform/cp932.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/store.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A day of the diary's own calendar (30 February included, as the date
// bars and the export have it), so that an export comes back whole.
std::optional<Panel_date> Diary_date(int year, int month, int day)
{
    if (year < First_year || year > Last_year || !Is_diary_day(month, day))
        return std::nullopt;
    return Panel_date{year, month, day};
}

// Line ends as the diary holds them: "\n".
QString Lf_text(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// A memo that comes in beside another of the same date: kept after it.
void Add_memo(QString& memo, const QString& more)
{
    if (more.isEmpty() || memo == more)
        return;
    memo = memo.isEmpty() ? more : memo + QStringLiteral(" / ") + more;
}

// Entries of one date become one day: texts joined with a blank line.
void Add_entry(QList<Import_day>& days, const Import_day& entry)
{
    if (days.isEmpty() || !(days.back().date == entry.date)) {
        days.append(entry);
        return;
    }
    Import_day& day = days.back();
    if (!entry.text.isEmpty())
        day.text = day.text.isEmpty() ? entry.text : day.text + QStringLiteral("\n\n") + entry.text;
    Add_memo(day.memo, entry.memo);
    day.memory = day.memory || entry.memory;
    for (const QString& picture : entry.pictures)
        if (!day.pictures.contains(picture))
            day.pictures.append(picture);
}

const QStringList Picture_suffixes = {
    QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"), QStringLiteral("gif"),
    QStringLiteral("webp"), QStringLiteral("bmp"),  QStringLiteral("tif"), QStringLiteral("tiff"),
    QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("avif")};

bool Picture_name(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && Picture_suffixes.contains(name.mid(dot + 1).toLower());
}

// "a%20b.jpg" as the file's name; a "%" not followed by two hexadecimal
// digits stays as it is.
QString Percent_decoded(const QString& link)
{
    if (!link.contains(QLatin1Char('%')))
        return link;
    return QString::fromUtf8(QByteArray::fromPercentEncoding(link.toUtf8()));
}

// A link's target as a file name: no web address, no data, no query.
QString Link_target(QString target, bool escaped)
{
    target = target.trimmed();
    if (target.isEmpty() || target.startsWith(QLatin1String("//")))
        return QString();
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(target).hasMatch()) {
        if (!target.startsWith(QLatin1String("file://")))
            return QString();
        target = target.mid(7);
        escaped = true;
    }
    if (escaped)
        target = Percent_decoded(target);
    return Picture_name(target) ? target : QString();
}

const QString Import_picture_reasons[] = {
    QStringLiteral("見つかりません"),
    QStringLiteral("取り込むフォルダーの外にあるため、取り込みませんでした"),
    QStringLiteral("画像ではありません"),
};

bool Holds_something(const Import_day& day) { return !day.text.isEmpty() || !day.memo.isEmpty(); }

const QString Separator_head = QStringLiteral("――――― 取り込み ");
const QString Memo_head = QStringLiteral("メモ：");

}  // namespace

std::optional<Panel_date> Daily_note_date(const QString& relative_path)
{
    static const QRegularExpression dashed(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})\\.(md|txt)$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression joined(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})\\.(md|txt)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression in_year(QStringLiteral("^(\\d{2})(\\d{2})\\.(md|txt)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression year_folder(QStringLiteral("^\\d{4}$"));
    const QString path = QDir::fromNativeSeparators(relative_path);
    const QString name = path.section(QLatin1Char('/'), -1);
    for (const QRegularExpression* pattern : {&dashed, &joined}) {
        const QRegularExpressionMatch m = pattern->match(name);
        if (m.hasMatch())
            return Diary_date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    }
    const QString folder = path.section(QLatin1Char('/'), -2, -2);
    const QRegularExpressionMatch m = in_year.match(name);
    if (m.hasMatch() && year_folder.match(folder).hasMatch())
        return Diary_date(folder.toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    return std::nullopt;
}

std::optional<QString> Note_text(const QByteArray& bytes, QString* why)
{
    QByteArrayView view(bytes);
    QString text;
    const bool utf16_le = view.startsWith("\xFF\xFE");
    if (utf16_le || view.startsWith("\xFE\xFF")) {
        // Notepad's "Unicode": UTF-16 after its byte order mark.
        QStringDecoder utf16(utf16_le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless);
        text = utf16(view.sliced(2));
        if (utf16.hasError() || view.size() % 2 != 0) {
            if (why)
                *why = QStringLiteral("UTF-16 として読めない部分があります");
            return std::nullopt;
        }
    } else if (view.contains('\0')) {
        // No text of these encodings holds a NUL byte: UTF-16 without its
        // mark, or a file that is no text, would come in as garbage.
        if (why)
            *why = QStringLiteral("NUL 文字があり、文章のファイルとして読めません"
                                  "（UTF-16 なら BOM 付きで保存し直してください）");
        return std::nullopt;
    } else {
        const bool bom = view.startsWith("\xEF\xBB\xBF");
        if (bom)
            view = view.sliced(3);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8(view);
        if (utf8.hasError()) {
            cp932::Decode_result decoded = bom ? cp932::Decode_result{} : cp932::Decode(view);
            if (bom || !decoded.bad_offsets.empty()) {
                if (why)
                    *why = QStringLiteral("UTF-8、UTF-16、Shift_JIS のどれでもない文字があります");
                return std::nullopt;
            }
            text = std::move(decoded.text);
        }
    }
    text = Lf_text(std::move(text));
    // Editors end a file with a line end; the diary's text ends where the
    // writing does.
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

namespace {

// A note's bytes, read as every diary file is: a regular file only, never
// through a symbolic link at its name (a link to a file anywhere, /etc/shadow
// even, would come in as a day).
Io_result Read_note_bytes(const QString& path, QByteArray& bytes)
{
    bool exists = false;
    const Io_result read = Read_diary_file(path, bytes, exists);
    if (read.Ok() && !exists)
        return Io_result::Failure(Io_step::Open, ENOENT, path);
    return read;
}

}  // namespace

QStringList Linked_pictures(const QString& text)
{
    // ![alt](target "title") or ![alt](<target>); ![[target|size]];
    // <img ... src="target" ...>.
    static const QRegularExpression links(
        QStringLiteral(
            R"re(!\[[^\]\n]*\]\(\s*(?:<([^>\n]+)>|([^)\s]+))(?:\s+(?:"[^"\n]*"|'[^'\n]*'))?\s*\))re"
            R"re(|!\[\[([^\]\n|#]+)(?:[|#][^\]\n]*)?\]\])re"
            R"re(|<img\b[^>]*?\bsrc\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList found;
    for (auto it = links.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString target;
        if (m.hasCaptured(1) || m.hasCaptured(2))
            target = Link_target(m.captured(1) + m.captured(2), true);
        else if (m.hasCaptured(3))
            target = Link_target(m.captured(3), false);
        else {
            QString src = m.captured(4) + m.captured(5) + m.captured(6);
            src.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            target = Link_target(src, true);
        }
        if (!target.isEmpty() && !found.contains(target))
            found.append(target);
    }
    return found;
}

QString Linked_picture_path(const QString& root, const QString& note_folder, const QString& link)
{
    const QString base = QDir::cleanPath(root);
    const auto inside = [&base](const QString& path) {
        return path.startsWith(base + QLatin1Char('/')) ? path : QString();
    };
    const QString beside = QDir::cleanPath(QDir(note_folder).filePath(link));
    // Obsidian writes a bare name wherever the picture is in the vault;
    // the place it keeps them by default is the vault's top.
    if (!link.contains(QLatin1Char('/')) && !QFileInfo::exists(beside)) {
        const QString top = QDir::cleanPath(QDir(base).filePath(link));
        if (QFileInfo::exists(top))
            return inside(top);
    }
    const QString path = inside(beside);
    if (path.isEmpty())
        return path;
    // Through a link to a folder outside, it is outside too.
    const QString real = QFileInfo(QFileInfo(path).path()).canonicalFilePath();
    const QString real_base = QFileInfo(base).canonicalFilePath();
    if (!real.isEmpty() && !real_base.isEmpty() && real != real_base &&
        !real.startsWith(real_base + QLatin1Char('/')))
        return QString();
    return path;
}

bool Looks_like_picture(const QByteArray& b)
{
    const auto at = [&b](qsizetype i, const char* s) {
        return b.mid(i, qsizetype(strlen(s))) == s;
    };
    return b.startsWith("\xFF\xD8\xFF") || b.startsWith("\x89PNG\r\n\x1A\n") ||
           b.startsWith("GIF87a") || b.startsWith("GIF89a") ||
           (b.startsWith("RIFF") && at(8, "WEBP")) || b.startsWith("BM") ||
           b.startsWith(QByteArray("II*\0", 4)) || b.startsWith(QByteArray("MM\0*", 4)) ||
           (at(4, "ftyp") && (at(8, "heic") || at(8, "heix") || at(8, "mif1") || at(8, "msf1") ||
                              at(8, "avif") || at(8, "heif")));
}

QString Import_refusal(const QString& diary_dir, const QString& folder)
{
    const QString diary = QFileInfo(diary_dir).canonicalFilePath();
    const QString chosen = QFileInfo(folder).canonicalFilePath();
    if (diary.isEmpty() || chosen.isEmpty() ||
        (chosen != diary && !chosen.startsWith(diary + QLatin1Char('/'))))
        return QString();
    return QStringLiteral(
        "日記のフォルダーからは取り込めません。中のファイルは、この日記そのもの"
        "です。\n日記のフォルダーの外にある、取り込むフォルダーを選んでください。");
}

Import_source Read_daily_notes(const QString& folder, const Import_progress& progress)
{
    Import_source source;
    const QDir root(folder);
    if (!root.exists()) {
        source.error = QStringLiteral("フォルダーが見つかりません。\n%1")
                           .arg(QDir::toNativeSeparators(folder));
        return source;
    }
    struct Note {
        Panel_date date;
        QString relative;
    };
    QList<Note> notes;
    // Links, pipes and the like are listed too (QDir::System), so that each
    // is named in the report; links to folders are not walked.
    QDirIterator it(folder, {QStringLiteral("*.md"), QStringLiteral("*.txt")},
                    QDir::Files | QDir::System, QDirIterator::Subdirectories);
    int found = 0;
    while (it.hasNext()) {
        // A large folder takes a while to walk: the count so far, with no
        // total yet, and a cancel heard.
        if (progress && ++found % 256 == 0 && !progress(found, 0)) {
            source.error = QStringLiteral("読み込みを取り消しました。");
            return source;
        }
        const QString relative = root.relativeFilePath(it.next());
        if (const std::optional<Panel_date> date = Daily_note_date(relative)) {
            notes.append({*date, relative});
        } else {
            ++source.ignored;
            source.ignored_names.append(it.filePath());
        }
    }
    std::sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) {
        const auto key = [](const Panel_date& d) { return d.year * 10000 + d.month * 100 + d.day; };
        return key(a.date) != key(b.date) ? key(a.date) < key(b.date) : a.relative < b.relative;
    });
    int done = 0;
    for (const Note& note : notes) {
        if (progress && done % 32 == 0 && !progress(done, int(notes.size()))) {
            source.error = QStringLiteral("読み込みを取り消しました。");
            return source;
        }
        ++done;
        const QString path = root.filePath(note.relative);
        QByteArray bytes;
        if (const Io_result r = Read_note_bytes(path, bytes); !r.Ok()) {
            source.unreadable.append(
                {path, r.step == Io_step::Too_large ? QStringLiteral("大きすぎるファイルです")
                       : r.step == Io_step::Link_not_read
                           ? QStringLiteral("リンクのため、リンク先を読みませんでした")
                       : r.step == Io_step::Not_a_regular_file
                           ? QStringLiteral("普通のファイルではありません")
                           : QStringLiteral("読み込めませんでした")});
            continue;
        }
        QString why;
        const std::optional<QString> text = Note_text(bytes, &why);
        if (!text) {
            source.unreadable.append({path, why});
            continue;
        }
        // A picture that cannot be taken (outside the folder chosen) keeps
        // its link's place as written, so that the import names it.
        QStringList pictures;
        const QString note_folder = QFileInfo(path).path();
        for (const QString& link : Linked_pictures(*text)) {
            const QString picture = Linked_picture_path(folder, note_folder, link);
            pictures.append(picture.isEmpty() ? QStringLiteral("?") + link : picture);
        }
        if (!text->isEmpty() || !pictures.isEmpty())
            Add_entry(source.days, {note.date, *text, QString(), false, pictures});
    }
    if (progress)
        progress(done, int(notes.size()));
    source.ignored_names.sort();
    return source;
}

Import_source Parse_journal_json(const QByteArray& bytes)
{
    Import_source source;
    QJsonParseError parse_error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parse_error);
    if (parse_error.error != QJsonParseError::NoError) {
        source.error = QStringLiteral("JSON ファイルとして読めませんでした（%1 バイト目で形式が"
                                      "崩れています）。")
                           .arg(parse_error.offset + 1);
        return source;
    }
    const QJsonValue entries = document.object().value(QStringLiteral("entries"));
    if (!document.isObject() || !entries.isArray()) {
        source.error = QStringLiteral("日記の JSON ファイルではありません（\"entries\" の一覧が"
                                      "ありません）。");
        return source;
    }
    static const QRegularExpression iso_date(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    struct Entry {
        Import_day day;
        QString time;
        qsizetype order = 0;
    };
    QList<Entry> read;
    const QJsonArray list = entries.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QJsonObject entry = list.at(i).toObject();
        const QRegularExpressionMatch m =
            iso_date.match(entry.value(QStringLiteral("date")).toString());
        const std::optional<Panel_date> date =
            m.hasMatch()
                ? Diary_date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt())
                : std::nullopt;
        if (!date) {
            ++source.ignored;
            source.ignored_names.append(
                QStringLiteral("%1 番目の項目（日付: %2）")
                    .arg(i + 1)
                    .arg(entry.value(QStringLiteral("date")).toVariant().toString()));
            continue;
        }
        const QString title = Lf_text(entry.value(QStringLiteral("title")).toString());
        const QString body = Lf_text(entry.value(QStringLiteral("body")).toString());
        Import_day day{*date, body, QString(), entry.value(QStringLiteral("starred")).toBool()};
        if (entry.contains(QStringLiteral("memo"))) {
            // This diary's own export: the body is the text, the memo apart.
            day.memo = One_line_memo(entry.value(QStringLiteral("memo")).toString());
        } else if (body.isEmpty() || body.startsWith(title + QLatin1Char('\n')) || body == title) {
            // The journal's own: the title is the text's first line, or the
            // whole entry when it has no body.
            if (body.isEmpty())
                day.text = title;
        } else if (!title.isEmpty()) {
            day.text = title + QLatin1Char('\n') + body;
        }
        if (!Holds_something(day)) {
            ++source.ignored;
            source.ignored_names.append(
                QStringLiteral("%1 番目の項目（日付: %2、中身が空）").arg(i + 1).arg(date->Key()));
            continue;
        }
        read.append({day, entry.value(QStringLiteral("time")).toString(), i});
    }
    std::stable_sort(read.begin(), read.end(), [](const Entry& a, const Entry& b) {
        const auto key = [](const Entry& e) {
            return std::tuple(e.day.date.year, e.day.date.month, e.day.date.day, e.time);
        };
        return key(a) < key(b);
    });
    for (const Entry& entry : read)
        Add_entry(source.days, entry.day);
    return source;
}

Import_source Read_journal_json(const QString& path)
{
    QByteArray bytes;
    bool exists = false;
    const Io_result r = Read_file_bytes(path, bytes, exists);
    if (!r.Ok() || !exists) {
        Import_source source;
        source.error = QStringLiteral("ファイルを読み込めませんでした。\n%1")
                           .arg(QDir::toNativeSeparators(path));
        return source;
    }
    return Parse_journal_json(bytes);
}

namespace {

// The day here holds the text already: as it is, or as an earlier import
// appended it below a separator line.
bool Holds_already(const Day_entry& here, const Import_day& incoming)
{
    if (here.text == incoming.text && (incoming.memo.isEmpty() || incoming.memo == here.memo))
        return true;
    if (incoming.text.isEmpty())
        return incoming.memo == here.memo;
    const QString needle = QLatin1Char('\n') + incoming.text;
    for (qsizetype at = here.text.indexOf(needle); at >= 0;
         at = here.text.indexOf(needle, at + 1)) {
        const qsizetype end = at + needle.size();
        if (end < here.text.size() && here.text[end] != QLatin1Char('\n'))
            continue;
        // The line above: the separator, or the memo line below one.
        const qsizetype line_start = here.text.lastIndexOf(QLatin1Char('\n'), at - 1) + 1;
        QStringView above = QStringView(here.text).sliced(line_start, at - line_start);
        if (above.startsWith(Memo_head) && line_start > 0) {
            const qsizetype start = here.text.lastIndexOf(QLatin1Char('\n'), line_start - 2) + 1;
            above = QStringView(here.text).sliced(start, line_start - 1 - start);
        }
        if (above.startsWith(Separator_head))
            return true;
    }
    return false;
}

}  // namespace

Import_plan Plan_import(Diary_store& store, const QList<Import_day>& days,
                        const Import_progress& progress)
{
    Import_plan plan;
    int done = 0;
    // The days come in date order: each year's index is read once for its
    // days; when it cannot be read, each day reads it and finds why.
    int index_year = 0;
    QByteArray index;
    bool index_ok = false;
    for (const Import_day& day : days) {
        if (progress && done % 64 == 0 && !progress(done, int(days.size())))
            break;
        ++done;
        const Panel_date& d = day.date;
        if (d.year != index_year) {
            index_year = d.year;
            bool exists = false;
            index_ok = Read_file_bytes(store.Keyword_file_path(d.year), index, exists).Ok();
        }
        const Exact_day exact =
            Read_exact_day(store, d.year, d.month, d.day, index_ok ? &index : nullptr);
        if (!exact.text_error.Ok() || !exact.index_error.Ok()) {
            plan.unreadable_days.append(d.Key());
            continue;
        }
        Import_item item{day, {exact.text, exact.memo, exact.flag}, Import_kind::Fill, false};
        if (!item.here.text.isEmpty() || !item.here.memo.isEmpty())
            item.kind = Holds_already(item.here, day) ? Import_kind::Same : Import_kind::Append;
        plan.items.append(item);
    }
    if (progress)
        progress(done, int(days.size()));
    return plan;
}

QString Import_separator(const QDate& on)
{
    return Separator_head + on.toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" ―――――");
}

Day_entry Entry_after_import(const Import_item& item, const QDate& on)
{
    const Import_day& in = item.incoming;
    Day_entry entry = item.here;
    entry.flag = item.here.flag || in.memory;
    if (item.kind == Import_kind::Fill) {
        entry.text = in.text;
        entry.memo = in.memo;
        return entry;
    }
    QStringList block;
    if (!in.memo.isEmpty() && in.memo != item.here.memo) {
        if (item.here.memo.isEmpty())
            entry.memo = in.memo;
        else
            block << Memo_head + in.memo;
    }
    if (!in.text.isEmpty())
        block << in.text;
    if (block.isEmpty())
        return entry;
    if (item.here.text.isEmpty()) {
        entry.text = block.join(QLatin1Char('\n'));
        return entry;
    }
    entry.text =
        item.here.text + (item.here.text.endsWith(QLatin1Char('\n')) ? QStringLiteral("\n")
                                                                     : QStringLiteral("\n\n"));
    entry.text += Import_separator(on) + QLatin1Char('\n') + block.join(QLatin1Char('\n'));
    return entry;
}

namespace {

// Copies the day's linked pictures into it, but for those it holds already.
void Import_pictures(const QString& app_dir, const Import_item& item, const QDateTime& now,
                     Import_report& report)
{
    const Panel_date& d = item.incoming.date;
    const auto fail = [&](const QString& picture, const QString& why) {
        report.failed_pictures.append({d.Key() + QStringLiteral("：") + picture, why});
    };
    // The day's pictures, each read when compared and let go (their sizes
    // on disk need not be those of the bytes read).
    QStringList held = List_photos(app_dir, d).paths;
    for (const QString& picture : item.incoming.pictures) {
        if (picture.startsWith(QLatin1Char('?'))) {
            fail(picture.mid(1), Import_picture_reasons[1]);
            continue;
        }
        QByteArray bytes;
        bool exists = false;
        const Io_result read = Read_diary_file(picture, bytes, exists);
        if (!read.Ok() || !exists) {
            fail(picture, !exists ? Import_picture_reasons[0]
                          : read.step == Io_step::Too_large
                              ? QStringLiteral("大きすぎるファイルです")
                          : read.step == Io_step::Link_not_read
                              ? QStringLiteral("リンクのため、リンク先を読みませんでした")
                              : QStringLiteral("読み込めませんでした"));
            continue;
        }
        if (!Looks_like_picture(bytes)) {
            fail(picture, Import_picture_reasons[2]);
            continue;
        }
        // An import done again brings no second copy.
        const bool there = std::any_of(held.cbegin(), held.cend(), [&bytes](const QString& path) {
            QByteArray have;
            bool have_it = false;
            return Read_diary_file(path, have, have_it).Ok() && have_it && have == bytes;
        });
        if (there)
            continue;
        const QString name = QFileInfo(picture).fileName();
        const Photo_added added =
            Add_photo_bytes(app_dir, d, bytes, name, QFileInfo(name).suffix(), now);
        if (added.path.isEmpty()) {
            fail(picture, QStringLiteral("日記のフォルダーに書き込めませんでした（%1）")
                              .arg(QDir::toNativeSeparators(added.result.path)));
            continue;
        }
        held.append(added.path);
        ++report.pictures;
    }
}

void Import_text(Diary_session& session, const Import_item& item, const QDate& on,
                 Import_report& report);

}  // namespace

void Import_one(Diary_session& session, const Import_item& item, const QDate& on,
                Import_report& report)
{
    const qsizetype failed_before = report.failed.size();
    Import_text(session, item, on, report);
    const bool declined = item.kind == Import_kind::Append && !item.chosen;
    if (!declined && report.failed.size() == failed_before && !item.incoming.pictures.isEmpty())
        Import_pictures(session.App_dir(), item, session.Time().Now(), report);
}

namespace {

void Import_text(Diary_session& session, const Import_item& item, const QDate& on,
                 Import_report& report)
{
    if (item.kind == Import_kind::Same || (item.kind == Import_kind::Append && !item.chosen)) {
        ++report.skipped;
        return;
    }
    const Panel_date& d = item.incoming.date;
    auto fail = [&](const QString& why) {
        report.failed.append(d.Key() + QStringLiteral("：") + why);
    };
    if (!Diary_store::Folder_exists(session.Store().Year_folder(d.year))) {
        session.Load_empty_day(d);
    } else {
        const Diary_session::Day_read read = session.Load_diary_day(d);
        if (!read.text_error.Ok() || !read.index_error.Ok())
            return fail(QStringLiteral("日記を読み込めませんでした"));
    }
    if (!(session.Loaded_day() == item.here))
        return fail(QStringLiteral("一覧を作った後に書き換えられていたため、取り込みませんでした"));
    Diary_session::Day_plan plan =
        session.Plan_day_save(Entry_after_import(item, on), Diary_session::Who::User);
    // An import only adds: it never removes a day (an empty incoming day
    // gives no plan to remove one, and none is asked for here).
    if (plan.result == Diary_session::Save_result::Unchanged || plan.remove) {
        ++report.skipped;
        return;
    }
    const Diary_session::Save_result result =
        plan.result == Diary_session::Save_result::Saved ? session.Write_day(plan) : plan.result;
    switch (result) {
    case Diary_session::Save_result::Saved:
        ++(item.kind == Import_kind::Fill ? report.added : report.appended);
        return;
    case Diary_session::Save_result::Unchanged: ++report.skipped; return;
    case Diary_session::Save_result::Changed_on_disk:
        return fail(QStringLiteral("ほかで書き換えられていたため、取り込みませんでした"));
    case Diary_session::Save_result::Declined:
    case Diary_session::Save_result::Failed: break;
    }
    if (plan.failure == Diary_session::Failure::History)
        return fail(QStringLiteral("以前の版を履歴に残せなかったため、取り込みませんでした"));
    fail(QStringLiteral("保存できませんでした（%1）")
             .arg(QDir::toNativeSeparators(plan.error.path)));
}

}  // namespace

QString Import_summary(const Import_report& report)
{
    QStringList parts;
    parts << QStringLiteral("%1日を追加、%2日に追記、%3日はそのままにしました。")
                 .arg(report.added)
                 .arg(report.appended)
                 .arg(report.skipped);
    if (report.cancelled)
        parts << QStringLiteral("取り込みを取り消しました。残りの%1日は取り込んでいません。")
                     .arg(report.left);
    if (!report.failed.isEmpty())
        parts << QStringLiteral("取り込めなかった日：\n") + report.failed.join(QLatin1Char('\n'));
    if (report.pictures > 0)
        parts << QStringLiteral("写真を%1枚、その日に加えました。").arg(report.pictures);
    if (!report.failed_pictures.isEmpty()) {
        QStringList pictures;
        for (const Unreadable_file& file : report.failed_pictures)
            pictures
                << QStringLiteral("%1（%2）").arg(QDir::toNativeSeparators(file.path), file.reason);
        parts << QStringLiteral("取り込めなかった写真（その日の本文は取り込みました）：\n") +
                     pictures.join(QLatin1Char('\n'));
    }
    if (!report.unreadable_days.isEmpty())
        parts << QStringLiteral("日記を読み込めなかったため、そのままにした日：%1")
                     .arg(report.unreadable_days.join(QStringLiteral("、")));
    if (!report.unreadable.isEmpty()) {
        QStringList files;
        for (const Unreadable_file& file : report.unreadable)
            files
                << QStringLiteral("%1（%2）").arg(QDir::toNativeSeparators(file.path), file.reason);
        parts << QStringLiteral("読めなかったファイル（取り込んでいません）：\n") +
                     files.join(QLatin1Char('\n'));
    }
    if (report.ignored > 0) {
        QStringList names;
        for (const QString& name : report.ignored_names)
            names << QDir::toNativeSeparators(name);
        parts << QStringLiteral("日付の名前でないファイルや、日付の読めない項目 %1 件は"
                                "取り込んでいません：\n")
                         .arg(report.ignored) +
                     names.join(QLatin1Char('\n'));
    }
    return parts.join(QStringLiteral("\n\n"));
}

#include "store/own_settings.h"

#include "store/diary_files.h"
#include "store/safe_replace.h"

#include <QByteArray>
#include <QList>
#include <QStringDecoder>
#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>

namespace {

// One value of the file: its group, its key and how it is read and written.
struct Field {
    const char* group;
    const char* key;
    bool Own_settings::*flag;     // a true/false value, or
    QString Own_settings::*text;  // a text
};

const Field Fields[] = {
    {"backup", "folder", nullptr, &Own_settings::backup_folder},
    {"backup", "daily", &Own_settings::backup_daily, nullptr},
    {"this_day", "oldest_first", &Own_settings::this_day_oldest_first, nullptr},
    {"fulltext", "width", &Own_settings::fulltext_width, nullptr},
    {"fulltext", "case", &Own_settings::fulltext_case, nullptr},
    {"fulltext", "kana", &Own_settings::fulltext_kana, nullptr},
    {"reminder", "on", &Own_settings::reminder_on, nullptr},
    {"reminder", "time", nullptr, &Own_settings::reminder_time},
    {"template", "text", nullptr, &Own_settings::day_template},
    {"lock", "idle_minutes", nullptr, &Own_settings::lock_minutes},
    {"windows", "years", nullptr, &Own_settings::place_years},
    {"windows", "fulltext", nullptr, &Own_settings::place_fulltext},
    {"windows", "history", nullptr, &Own_settings::place_history},
    {"windows", "import", nullptr, &Own_settings::place_import},
    {"windows", "manual", nullptr, &Own_settings::place_manual},
};

// A value as the file writes it: plain when it is safe so, else quoted with
// "\" before "\" and '"' (as Qt's settings files quote theirs, so that
// files written by either read the same).
QByteArray Escaped(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    bool plain = !utf8.startsWith('@') && utf8.trimmed() == utf8;
    for (const char c : utf8)
        if (uchar(c) < 0x20 || c == '"' || c == '\\' || c == ',' || c == ';' || c == '=' ||
            c == '#')
            plain = false;
    if (plain)
        return utf8;
    QByteArray out = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out + '"';
}

// A value as written by this file or by Qt's settings: blanks around it
// dropped, quotes taken away, escapes ("\\", "\"", "\n", "\t", "\r",
// "\xhhhh") turned back, "@@" at the start read as "@". Nothing when the
// value is a list (a comma outside quotes) or a typed value ("@Variant(").
std::optional<QString> Unescaped(QByteArrayView raw)
{
    raw = raw.trimmed();
    if (raw.startsWith("@@"))
        raw = raw.sliced(1);
    else if (raw.startsWith('@'))
        return std::nullopt;
    QString out;
    QByteArray pending;  // UTF-8 bytes not yet decoded
    auto flush = [&] {
        QStringDecoder utf8(QStringDecoder::Utf8);
        out += utf8(pending);
        pending.clear();
    };
    bool quoted = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            return std::nullopt;
        } else if (c == '\\' && i + 1 < raw.size()) {
            const char e = raw[++i];
            if (e == 'n')
                pending += '\n';
            else if (e == 't')
                pending += '\t';
            else if (e == 'r')
                pending += '\r';
            else if (e == 'x') {
                qsizetype end = i + 1;
                while (end < raw.size() && end < i + 5 && std::isxdigit(uchar(raw[end])))
                    ++end;
                flush();
                out += QChar(char16_t(raw.sliced(i + 1, end - i - 1).toUInt(nullptr, 16)));
                i = end - 1;
            } else
                pending += e;
        } else {
            pending += c;
        }
    }
    flush();
    return out;
}

std::optional<bool> Flag_of(const QString& value)
{
    const QString v = value.trimmed().toLower();
    if (v == QLatin1String("true") || v == QLatin1String("1"))
        return true;
    if (v == QLatin1String("false") || v == QLatin1String("0"))
        return false;
    return std::nullopt;
}

// The file's lines, and where each known value stands among them.
struct Parsed {
    QList<QByteArray> lines;  // without their line ends
    Own_settings values;
    int line_of[std::size(Fields)];
};

Parsed Parse(const QByteArray& bytes)
{
    Parsed p;
    std::fill(std::begin(p.line_of), std::end(p.line_of), -1);
    if (!bytes.isEmpty()) {
        p.lines = bytes.split('\n');
        if (p.lines.last().isEmpty())
            p.lines.removeLast();
    }
    QByteArray group;
    for (qsizetype n = 0; n < p.lines.size(); ++n) {
        if (p.lines[n].endsWith('\r'))
            p.lines[n].chop(1);
        const QByteArray line = p.lines[n].trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            group = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith(';') || line.startsWith('#') || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        for (std::size_t f = 0; f < std::size(Fields); ++f) {
            if (group != Fields[f].group || key != Fields[f].key)
                continue;
            p.line_of[f] = int(n);
            const std::optional<QString> value = Unescaped(line.sliced(equals + 1));
            if (!value)
                continue;
            if (Fields[f].text)
                p.values.*Fields[f].text = *value;
            else if (const std::optional<bool> flag = Flag_of(*value))
                p.values.*Fields[f].flag = *flag;
        }
    }
    return p;
}

}  // namespace

QString Own_settings_path(const QString& app_dir)
{
    return app_dir.endsWith(QLatin1Char('/')) ? app_dir + QStringLiteral("sorane-linux.ini")
                                              : app_dir + QStringLiteral("/sorane-linux.ini");
}

Own_settings_read Read_own_settings(const QString& app_dir)
{
    Own_settings_read out;
    QByteArray bytes;
    bool exists = false;
    out.result = Read_diary_file(Own_settings_path(app_dir), bytes, exists);
    if (out.result.Ok())
        out.values = Parse(bytes).values;
    return out;
}

Io_result Change_own_settings(const QString& app_dir,
                              const std::function<void(Own_settings&)>& change)
{
    const QString path = Own_settings_path(app_dir);
    QByteArray bytes;
    bool exists = false;
    if (const Io_result read = Read_diary_file(path, bytes, exists); !read.Ok())
        return read;
    Parsed p = Parse(bytes);
    Own_settings changed = p.values;
    change(changed);
    if (changed == p.values && exists)
        return Io_result::Success();
    for (std::size_t f = 0; f < std::size(Fields); ++f) {
        const Field& field = Fields[f];
        const bool same = field.text ? changed.*field.text == p.values.*field.text
                                     : changed.*field.flag == p.values.*field.flag;
        // A value the file lacks is written with the others, so that the
        // file says what the program goes by; an empty text says nothing.
        if (same && (p.line_of[f] >= 0 || (field.text && (changed.*field.text).isEmpty())))
            continue;
        const QByteArray line = QByteArray(field.key) + '=' +
                                (field.text ? Escaped(changed.*field.text)
                                            : QByteArray(changed.*field.flag ? "true" : "false"));
        if (p.line_of[f] >= 0) {
            p.lines[p.line_of[f]] = line;
            continue;
        }
        // A new key goes at the end of its group, or into a new group at the
        // end of the file.
        const QByteArray header = '[' + QByteArray(field.group) + ']';
        qsizetype at = -1;
        for (qsizetype n = 0; n < p.lines.size(); ++n) {
            const QByteArray trimmed = p.lines[n].trimmed();
            if (trimmed == header)
                at = n + 1;
            else if (at >= 0 && trimmed.startsWith('['))
                break;
            else if (at >= 0 && !trimmed.isEmpty())
                at = n + 1;
        }
        if (at < 0) {
            if (!p.lines.isEmpty() && !p.lines.last().trimmed().isEmpty())
                p.lines.append(QByteArray());
            p.lines.append(header);
            at = p.lines.size();
        }
        p.lines.insert(at, line);
        for (int& other : p.line_of)
            if (other >= at)
                ++other;
    }
    QByteArray out;
    for (const QByteArray& line : p.lines)
        out += line + '\n';
    return Replace_file(path, out);
}

bool Read_oldest_first(const QString& app_dir)
{
    return Read_own_settings(app_dir).values.this_day_oldest_first;
}

Io_result Write_oldest_first(const QString& app_dir, bool oldest_first)
{
    return Change_own_settings(
        app_dir, [oldest_first](Own_settings& own) { own.this_day_oldest_first = oldest_first; });
}

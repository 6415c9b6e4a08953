#include "store/settings.h"
#include "store/diary_files.h"
#include "store/lock.h"

#include "platform/cp932.h"
#include "store/line_file.h"
#include "store/safe_replace.h"

#include <QFile>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Parse_int(const QString& line, int& value)
{
    bool ok = false;
    const int v = line.trimmed().toInt(&ok, 10);
    if (ok)
        value = v;
    return ok;
}

bool Parse_twips(const QString& line, float& value)
{
    const QByteArray text = line.trimmed().toLatin1();
    float v = 0;
    const char* end = text.constData() + text.size();
    const auto [stop, error] = std::from_chars(text.constData(), end, v);
    if (text.isEmpty() || error != std::errc() || stop != end || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

}  // namespace

QString Word_of(Screen_mode mode)
{
    return mode == Screen_mode::Normal ? QStringLiteral("nomal") : QStringLiteral("wide");
}

QString Word_of(Fortune_state state)
{
    return state == Fortune_state::Told ? QStringLiteral("sumi") : QStringLiteral("mada");
}

Screen_mode Screen_mode_of(const QString& word)
{
    return word == QLatin1String("nomal") ? Screen_mode::Normal : Screen_mode::Wide;
}

Fortune_state Fortune_state_of(const QString& word)
{
    return word == QLatin1String("sumi") ? Fortune_state::Told : Fortune_state::Not_told;
}

Settings Settings::First_values(float top, float left, const QString& today_key)
{
    Settings s;
    s.win_top = top;
    s.win_left = left;
    s.last_ref_date = today_key;
    s.last_run_date = today_key;
    for (int i = 1; i <= Spare_line_count; ++i) {
        s.spare_lines.append(QStringLiteral("spare%1").arg(i));
        s.spare_bytes.append("spare" + QByteArray::number(i));
    }
    return s;
}

bool Parse_date_text(const QString& text, int& year, int& month, int& day)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3)
        return false;
    int v[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok, 10);
        if (!ok)
            return false;
    }
    if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31)
        return false;
    year = v[0];
    month = v[1];
    day = v[2];
    return true;
}

QString Format_twips(float value)
{
    if (!std::isfinite(value))
        value = 0;
    if (value == 0)
        value = 0;  // no "-0"
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc())
        return QStringLiteral("0");
    return QString::fromLatin1(buffer, end - buffer);
}

QStringList Settings_lines(const Settings& s)
{
    QStringList lines;
    lines << QString::number(s.win_state) << Format_twips(s.win_top) << Format_twips(s.win_left)
          << Format_twips(s.win_height) << Format_twips(s.win_width) << s.screen_mode.Word()
          << QString::number(s.ref_mode) << s.last_ref_date << s.last_run_date
          << s.fortune_state.Word();
    for (int i = 0; i < Spare_line_count; ++i)
        lines << (i < s.spare_lines.size() ? s.spare_lines[i]
                                           : QStringLiteral("spare%1").arg(i + 1));
    return lines;
}

Settings_read Read_settings(const QString& path, const Settings& first_values)
{
    Settings_read out;
    out.values = first_values;
    bool exists = false;
    QList<QByteArray> raw;
    out.result = Read_line_file(path, raw, exists);
    QStringList lines;
    for (const QByteArray& line : raw)
        lines << cp932::Decode_text(line);

    Settings& s = out.values;
    // Each value is taken only when its line is there and of the right
    // kind; anything else keeps its first value and is noted.
    auto take = [&](int number, auto&& parse) {
        if (number > lines.size() || !parse(lines[number - 1]))
            out.replaced_lines.append(number);
    };
    auto text_into = [](QString& target) {
        return [&target](const QString& line) {
            target = line;
            return true;
        };
    };
    auto date_into = [](QString& target) {
        return [&target](const QString& line) {
            int y = 0, m = 0, d = 0;
            if (!Parse_date_text(line, y, m, d))
                return false;
            target = line;
            return true;
        };
    };
    auto word_into = [](auto& target, auto state_of) {
        return [&target, state_of](const QString& line) {
            target.Read(state_of(line), line);
            return true;
        };
    };
    take(1, [&](const QString& line) {
        int v = 0;
        if (!Parse_int(line, v) || v < 0 || v > 2)
            return false;
        s.win_state = v;
        return true;
    });
    take(2, [&](const QString& line) { return Parse_twips(line, s.win_top); });
    take(3, [&](const QString& line) { return Parse_twips(line, s.win_left); });
    take(4, [&](const QString& line) { return Parse_twips(line, s.win_height); });
    take(5, [&](const QString& line) { return Parse_twips(line, s.win_width); });
    take(6, word_into(s.screen_mode, Screen_mode_of));
    take(7, [&](const QString& line) { return Parse_int(line, s.ref_mode); });
    take(8, date_into(s.last_ref_date));
    take(9, date_into(s.last_run_date));
    take(10, word_into(s.fortune_state, Fortune_state_of));
    s.spare_lines = first_values.spare_lines;
    while (s.spare_lines.size() < Spare_line_count)
        s.spare_lines.append(QStringLiteral("spare%1").arg(s.spare_lines.size() + 1));
    s.spare_bytes.clear();
    for (int i = 0; i < Spare_line_count; ++i) {
        take(11 + i, text_into(s.spare_lines[i]));
        s.spare_bytes.append(11 + i <= raw.size() ? raw[10 + i]
                                                  : cp932::Encode(s.spare_lines[i]).bytes);
    }
    return out;
}

namespace {

// True when the regular file at path (not a link), writable by its owner,
// holds exactly bytes. A pipe in its place is not waited on.
bool Holds_already(const QString& path, QByteArrayView bytes)
{
    // A locked diary's file holds its bytes sealed: it is opened to compare.
    if (lock::Diary_key key; lock::Any_key_registered() && lock::Key_for(path, key)) {
        QByteArray held;
        bool exists = false;
        struct stat st {};
        return Read_diary_file_as_is(path, held, exists).Ok() && lock::Is_sealed(held) &&
               ::lstat(QFile::encodeName(path).constData(), &st) == 0 &&
               (st.st_mode & S_IWUSR) != 0 && lock::Open_read_bytes(path, held).Ok() &&
               held == bytes;
    }
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) != 0 &&
                st.st_size == bytes.size();
    if (same) {
        // One byte more than expected is asked for, to see the end.
        QByteArray held(bytes.size() + 1, Qt::Uninitialized);
        qsizetype got = 0;
        while (got < held.size()) {
            const ssize_t n = ::read(fd, held.data() + got, size_t(held.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        same = got == bytes.size() && QByteArrayView(held.constData(), got) == bytes;
    }
    ::close(fd);
    return same;
}

// The lines as they go into the file: code page 932, each followed by CR LF,
// reserved lines as read where their text is unchanged.
Io_result Settings_file_bytes(const Settings& settings, const QString& path, QByteArray& bytes)
{
    bytes.clear();
    const QStringList lines = Settings_lines(settings);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype spare = i - (Settings_line_count - Spare_line_count);
        if (spare >= 0 && spare < settings.spare_bytes.size() &&
            cp932::Decode_text(settings.spare_bytes[spare]) == lines[i]) {
            bytes += settings.spare_bytes[spare];
        } else {
            const cp932::Encode_result encoded = cp932::Encode(lines[i]);
            if (!encoded.Ok()) {
                bytes.clear();
                return Io_result::Failure(Io_step::Encode, 0, path);
            }
            bytes += encoded.bytes;
        }
        bytes += "\r\n";
    }
    return Io_result::Success();
}

}  // namespace

Io_result Write_settings(const QString& path, const Settings& settings)
{
    QByteArray bytes;
    const Io_result encoded = Settings_file_bytes(settings, path, bytes);
    if (!encoded.Ok())
        return encoded;
    // Most endings change nothing: the file is then left as it is. One the
    // user made read-only goes on to the replace, which says so.
    if (Holds_already(path, bytes))
        return Io_result::Success();
    return Replace_file(path, bytes);
}

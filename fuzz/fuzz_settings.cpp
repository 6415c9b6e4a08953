// The settings file "sorane.ini" read from any bytes, then written and read
// again.
//
// What must hold: every value taken from the file is that line's value (a
// text line as it stands, a number or a date only when it reads as one);
// every other line is listed as replaced and keeps its first value; the
// values read are always in range. Written back, the file has exactly thirty
// CR LF lines; read again it gives the same values with nothing replaced,
// and written again the same bytes.

#include "fuzz/fuzz_support.h"
#include "platform/cp932.h"
#include "store/settings.h"

#include <QList>
#include <QString>
#include <cmath>
#include <cstdint>

namespace {

bool Same_values(const Settings& a, const Settings& b)
{
    return a.win_state == b.win_state && a.win_top == b.win_top && a.win_left == b.win_left &&
           a.win_height == b.win_height && a.win_width == b.win_width &&
           a.screen_mode.Word() == b.screen_mode.Word() && a.ref_mode == b.ref_mode &&
           a.last_ref_date == b.last_ref_date && a.last_run_date == b.last_run_date &&
           a.fortune_state.Word() == b.fortune_state.Word() && a.spare_lines == b.spare_lines;
}

// The file's lines, split here on their own: LF ends a line, a CR before it
// belongs to the line end, a last line without LF counts.
QStringList File_lines(const QByteArray& bytes)
{
    QStringList lines;
    QByteArray current;
    for (char c : bytes) {
        if (c == '\n') {
            if (current.endsWith('\r'))
                current.chop(1);
            lines << cp932::Decode_text(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        lines << cp932::Decode_text(current);
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = Scratch_folder() + QStringLiteral("sorane.ini");
    const QByteArray file = Bytes_of(data, size);
    Put_file(path, file);

    const Settings first = Settings::First_values(1800, 9645, QStringLiteral("2026/12/07"));
    const Settings_read read = Read_settings(path, first);
    FUZZ_CHECK(read.result.Ok());
    const Settings& s = read.values;
    const QStringList lines = File_lines(file);

    // Replaced lines are in order, each once, and within the thirty.
    for (qsizetype i = 0; i < read.replaced_lines.size(); ++i) {
        FUZZ_CHECK(read.replaced_lines[i] >= 1 && read.replaced_lines[i] <= Settings_line_count);
        if (i > 0)
            FUZZ_CHECK(read.replaced_lines[i] > read.replaced_lines[i - 1]);
    }
    for (int n = int(lines.size()) + 1; n <= Settings_line_count; ++n)
        FUZZ_CHECK(read.replaced_lines.contains(n));

    // Each value is its line's, or the first value when the line was replaced.
    auto line_of = [&](int n) { return lines[n - 1]; };
    auto replaced = [&](int n) { return read.replaced_lines.contains(n); };
    FUZZ_CHECK(s.win_state >= 0 && s.win_state <= 2);
    FUZZ_CHECK(std::isfinite(s.win_top) && std::isfinite(s.win_left));
    FUZZ_CHECK(std::isfinite(s.win_height) && std::isfinite(s.win_width));
    // A number taken from a line reads as that number by Qt's own rules too.
    auto int_line = [&](int n, int value, int first_value) {
        if (replaced(n))
            return value == first_value;
        bool ok = false;
        const int v = line_of(n).trimmed().toInt(&ok);
        return ok && v == value;
    };
    auto twips_line = [&](int n, float value, float first_value) {
        if (replaced(n))
            return value == first_value;
        bool ok = false;
        const float v = float(line_of(n).trimmed().toDouble(&ok));
        return ok && (v == value || std::nextafter(v, value) == value);
    };
    FUZZ_CHECK(int_line(1, s.win_state, first.win_state));
    FUZZ_CHECK(twips_line(2, s.win_top, first.win_top));
    FUZZ_CHECK(twips_line(3, s.win_left, first.win_left));
    FUZZ_CHECK(twips_line(4, s.win_height, first.win_height));
    FUZZ_CHECK(twips_line(5, s.win_width, first.win_width));
    FUZZ_CHECK(int_line(7, s.ref_mode, first.ref_mode));
    FUZZ_CHECK(s.screen_mode.Word() == (replaced(6) ? first.screen_mode.Word() : line_of(6)));
    if (replaced(7))
        FUZZ_CHECK(s.ref_mode == first.ref_mode);
    for (int n : {8, 9}) {
        const QString& value = n == 8 ? s.last_ref_date : s.last_run_date;
        const QString& first_value = n == 8 ? first.last_ref_date : first.last_run_date;
        FUZZ_CHECK(value == (replaced(n) ? first_value : line_of(n)));
        int y = 0, m = 0, d = 0;
        if (!replaced(n))
            FUZZ_CHECK(Parse_date_text(value, y, m, d) && m >= 1 && m <= 12 && d >= 1 && d <= 31);
    }
    FUZZ_CHECK(s.fortune_state.Word() == (replaced(10) ? first.fortune_state.Word() : line_of(10)));
    FUZZ_CHECK(s.spare_lines.size() == Spare_line_count);
    for (int i = 0; i < Spare_line_count; ++i)
        FUZZ_CHECK(s.spare_lines[i] == (replaced(11 + i) ? first.spare_lines[i] : line_of(11 + i)));

    // Written, read again, written again.
    FUZZ_CHECK(Write_settings(path, s).Ok());
    const QByteArray written = Get_file(path);
    FUZZ_CHECK(written.endsWith("\r\n"));
    FUZZ_CHECK(File_lines(written).size() == Settings_line_count);
    FUZZ_CHECK(written.count('\n') == Settings_line_count);
    FUZZ_CHECK(written.count("\r\n") == Settings_line_count);
    const Settings_read again = Read_settings(path, first);
    FUZZ_CHECK(again.result.Ok());
    FUZZ_CHECK(again.replaced_lines.isEmpty());
    FUZZ_CHECK(Same_values(again.values, s));
    FUZZ_CHECK(Write_settings(path, again.values).Ok());
    FUZZ_CHECK(Get_file(path) == written);
    return 0;
}

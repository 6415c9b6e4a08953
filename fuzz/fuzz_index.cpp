// The year index "keyword.txt": the line reader, record lookup, record
// store and the first record of a new year, on index files of any bytes.
//
// Input: byte 0 holds choices (bit 0 the memory flag to store, bit 1 no
// index file at all, bit 2 with bit 1: the year index is made first by
// Create_year_index, bit 3 the memo is the input read as UTF-16, so it may
// hold characters code page 932 cannot write); bytes 1 and 2 the month and
// day of the key; byte 3 the memo's length; then the memo's bytes; the rest
// is the index file.
//
// What must hold: the lines read are the file's lines, each decoded; the
// lookup agrees with a plain model of it (any matching line with flag "1"
// sets the flag, the last matching line gives the memo); storing keeps every
// other line's bytes exactly and in place, replaces every matching line with
// the new record or appends it, and the record is found afterwards with the
// stored flag and memo; a memo that cannot be written leaves the file as it
// was. The search windows' record tests list what a plain model lists, in
// the same order.

#include "fuzz/fuzz_support.h"
#include "platform/cp932.h"
#include "store/day_list.h"
#include "store/store.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>

namespace {

constexpr int Year = 2026;

// The lines of an index file, split here on their own so that the model
// does not share the reader's code: a line ends at LF, one CR before the LF
// belongs to the line end; a last line without LF is a line too.
QList<QByteArray> Model_lines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    QByteArray current;
    for (char c : bytes) {
        if (c == '\n') {
            if (current.endsWith('\r'))
                current.chop(1);
            lines.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        lines.append(current);
    return lines;
}

Day_record Model_lookup(const QList<QByteArray>& lines, const QByteArray& key)
{
    Day_record r;
    for (const QByteArray& line : lines) {
        if (!line.startsWith(key))
            continue;
        r.found = true;
        if (line.size() > 10 && line[10] == '1')
            r.memory = true;
        r.memo = cp932::Decode_text(line.mid(11));
    }
    return r;
}

void Check_lookup(Diary_store& store, const QString& key, const Day_record& expected)
{
    Io_result error;
    const Day_record found = store.Find_day_record(Year, key, &error);
    FUZZ_CHECK(error.Ok());
    FUZZ_CHECK(found.found == expected.found);
    FUZZ_CHECK(found.memory == expected.memory);
    FUZZ_CHECK(found.memo == expected.memo);
}

// What a search window lists, by a plain model: the passing lines in file
// order, then sorted by UTF-16 code units with equal lines kept in order.
QStringList Model_listing(const QStringList& lines,
                          const std::function<bool(const QString&)>& passes)
{
    QStringList out;
    for (const QString& line : lines)
        if (passes(line))
            out.append(line);
    // Insertion sort: stable, and shares nothing with the code under test.
    for (qsizetype i = 1; i < out.size(); ++i)
        for (qsizetype j = i; j > 0 && QStringView(out[j]).compare(out[j - 1]) < 0; --j)
            out.swapItemsAt(j, j - 1);
    return out;
}

void Check_listing(const QStringList& lines, const Record_test& test,
                   const std::function<bool(const QString&)>& model_passes)
{
    const QList<Listed_record> listed = Select_and_sort(lines, test);
    const QStringList expected = Model_listing(lines, model_passes);
    FUZZ_CHECK(listed.size() == expected.size());
    for (qsizetype i = 0; i < listed.size(); ++i) {
        FUZZ_CHECK(listed[i].line == expected[i]);
        // Each row names the file line it came from.
        FUZZ_CHECK(listed[i].file_line >= 1 && listed[i].file_line <= lines.size());
        FUZZ_CHECK(lines[listed[i].file_line - 1] == listed[i].line);
        if (i > 0 && listed[i].line == listed[i - 1].line)
            FUZZ_CHECK(listed[i].file_line > listed[i - 1].file_line);
    }
}

void Check_lines_read(const QString& path, const QList<QByteArray>& model)
{
    Io_result error;
    const QStringList lines = Read_index_lines(path, &error);
    FUZZ_CHECK(error.Ok());
    FUZZ_CHECK(lines.size() == model.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        FUZZ_CHECK(lines[i] == cp932::Decode_text(model[i]));

    // The search windows' record tests over the same lines: the memory
    // list, and the memo search with a keyword cut from the file itself and
    // with the empty keyword.
    Check_listing(lines, Memory_test, [](const QString& line) {
        return line.size() >= 11 && line[10] == QLatin1Char('1');
    });
    const QString keyword =
        lines.isEmpty() ? QString() : lines.last().mid(lines.last().size() / 2, 3);
    Check_listing(
        lines, [&](const QString& line) { return Keyword_test(line, keyword); },
        [&](const QString& line) {
            return keyword.isEmpty() || line.contains(keyword, Qt::CaseSensitive);
        });
    Check_listing(
        lines, [](const QString& line) { return Keyword_test(line, QString()); },
        [](const QString&) { return true; });
    for (const QString& line : lines) {
        const Row_text row = Row_text_of(line);
        FUZZ_CHECK(row.date == line.left(10));
        FUZZ_CHECK(row.memo == line.mid(11));
        if (const std::optional<Key_date> date = Key_date_of(line))
            FUZZ_CHECK(Diary_store::Date_key(date->year, date->month, date->day) == line.left(10));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const uint8_t choices = data[0];
    const bool memory_flag = choices & 1;
    const bool no_index = choices & 2;
    const bool create_first = no_index && (choices & 4);
    const bool any_memo = choices & 8;
    const QString key = Diary_store::Date_key(Year, 1 + data[1] % 12, 1 + data[2] % 31);
    const QByteArray key_bytes = key.toLatin1();
    const size_t memo_length = qMin<size_t>(data[3] % 48, size - 4);
    const QByteArray memo_bytes = Bytes_of(data + 4, memo_length);
    QString memo;
    if (any_memo) {
        for (size_t i = 0; i + 1 < memo_length; i += 2)
            memo += QChar(char16_t((memo_bytes[qsizetype(i)] & 0xFF) |
                                   (memo_bytes[qsizetype(i) + 1] & 0xFF) << 8));
    } else {
        memo = cp932::Decode_text(memo_bytes);
    }
    const QByteArray content = Bytes_of(data + 4 + memo_length, size - 4 - memo_length);

    Diary_store store(Scratch_folder());
    FUZZ_CHECK(store.Ensure_year_folder(Year).Ok());
    const QString path = store.Keyword_file_path(Year);
    Remove_file(path);

    QByteArray before;
    bool had_file = !no_index;
    if (no_index) {
        Check_lookup(store, key, {});
        Check_lines_read(path, {});
        if (create_first) {
            FUZZ_CHECK(store.Create_year_index(Year, key).Ok());
            before = key_bytes + "0\r\n";
            had_file = true;
            FUZZ_CHECK(Get_file(path) == before);
        }
    } else {
        Put_file(path, content);
        before = content;
        // An index that exists is never replaced by a new one.
        const QString other = Diary_store::Date_key(Year, 1 + data[2] % 12, 1 + data[1] % 28);
        FUZZ_CHECK(store.Create_year_index(Year, other).Ok());
        FUZZ_CHECK(Get_file(path) == content);
    }
    const QList<QByteArray> lines = Model_lines(before);
    if (had_file) {
        Check_lines_read(path, lines);
        Check_lookup(store, key, Model_lookup(lines, key_bytes));
    }

    // Storing the day's record.
    QString one_line_memo = memo;
    one_line_memo.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    const cp932::Encode_result memo_encoded = cp932::Encode(one_line_memo);
    const Io_result stored = store.Store_day_record(Year, key, memory_flag, memo);
    if (!memo_encoded.Ok()) {
        FUZZ_CHECK(stored.step == Io_step::Encode);
        FUZZ_CHECK(stored.path == path);
        FUZZ_CHECK(Path_exists(path) == had_file);
        if (had_file)
            FUZZ_CHECK(Get_file(path) == before);
        return 0;
    }
    FUZZ_CHECK(stored.Ok());
    const QByteArray record = key_bytes + (memory_flag ? "1" : "0") + memo_encoded.bytes;
    QByteArray expected;
    bool matched = false;
    for (const QByteArray& line : lines) {
        const bool match = line.startsWith(key_bytes);
        matched = matched || match;
        expected += (match ? record : line) + "\r\n";
    }
    if (!matched)
        expected += record + "\r\n";
    FUZZ_CHECK(Get_file(path) == expected);

    QList<QByteArray> lines_after = lines;
    for (QByteArray& line : lines_after)
        if (line.startsWith(key_bytes))
            line = record;
    if (!matched)
        lines_after.append(record);
    Check_lines_read(path, lines_after);
    Day_record now;
    now.found = true;
    now.memory = memory_flag;
    now.memo = cp932::Decode_text(memo_encoded.bytes);
    Check_lookup(store, key, now);
    // A memo that came from a file reads back as it was given.
    if (!any_memo)
        FUZZ_CHECK(now.memo == one_line_memo);
    return 0;
}

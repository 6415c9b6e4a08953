#include "fulltext/scan.h"

#include "fulltext/day_line.h"
#include "fulltext/in_order.h"

#include "fulltext/listing.h"
#include "platform/cp932.h"
#include "platform/cp932_scan.h"
#include "store/day_list.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/lock.h"
#include "store/store.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The index's last line of a day (a day with several has the last one's
// memo), where it lies in the index's bytes, and the memory flag of all of
// its lines.
struct Memo_line {
    qsizetype at = 0;
    qsizetype size = 0;
    bool present = false;
    bool memory = false;
};
using Year_memo_lines = std::array<Memo_line, Year_day_slots>;

// The lines of a year's index, each "yyyy/mm/dd", the memory flag and the
// memo. Only bytes below 0x80 read as the date's digits and slashes, and
// the memo after a flag of one such byte reads as it does in the whole
// line: the date and flag are taken from the bytes, and nothing is decoded.
void Parse_memo_lines(QByteArrayView bytes, int year, Year_memo_lines& days)
{
    days.fill({});
    const char* const data = bytes.data();
    qsizetype start = 0;
    while (start < bytes.size()) {
        // As For_each_line: a CR is part of the line end only before a LF.
        const void* lf = std::memchr(data + start, '\n', size_t(bytes.size() - start));
        qsizetype end = lf ? static_cast<const char*>(lf) - data : bytes.size();
        const qsizetype next = lf ? end + 1 : end;
        if (lf && end > start && data[end - 1] == '\r')
            --end;
        const char* line = data + start;
        const qsizetype size = end - start;
        start = next;
        if (size < 10)
            continue;
        const auto digit = [&](int i) { return line[i] >= '0' && line[i] <= '9'; };
        if (!(digit(0) && digit(1) && digit(2) && digit(3) && line[4] == '/' && digit(5) &&
              digit(6) && line[7] == '/' && digit(8) && digit(9)))
            continue;
        const int key_year =
            ((line[0] - '0') * 10 + line[1] - '0') * 100 + (line[2] - '0') * 10 + line[3] - '0';
        const int month = (line[5] - '0') * 10 + line[6] - '0';
        const int day = (line[8] - '0') * 10 + line[9] - '0';
        if (key_year != year || !Is_diary_day(month, day))
            continue;
        Memo_line& memo = days[size_t(Day_slot(month, day))];
        memo.present = true;
        memo.at = line - data;
        memo.size = size;
        // A flag of two bytes leaves the flag as it was.
        if (!(size > 10 && static_cast<unsigned char>(line[10]) >= 0x80))
            memo.memory = memo.memory || (size > 10 && line[10] == '1');
    }
}

// The memo's own bytes when they are the memo's text as it is: a flag of
// one byte, and no "?" (which the day's companion may stand for).
std::optional<QByteArrayView> Plain_memo_bytes(QByteArrayView bytes, const Memo_line& memo)
{
    const QByteArrayView line = bytes.sliced(memo.at, memo.size);
    if (line.size() > 10 && static_cast<unsigned char>(line[10]) >= 0x80)
        return std::nullopt;
    const QByteArrayView text = line.size() > 11 ? line.sliced(11) : QByteArrayView();
    if (text.contains('?'))
        return std::nullopt;
    return text;
}

// The memo of a day's last line, decoded; its exact text from the day's
// companion while that matches (asked of the disk only when the year's
// listing, where there is one, holds it).
Day_memo Decode_memo(QByteArrayView bytes, const Memo_line& line_of_day, Diary_store& store,
                     int year, int slot, bool companion_listed = true)
{
    Day_memo memo;
    memo.memory = line_of_day.memory;
    const QByteArrayView line = bytes.sliced(line_of_day.at, line_of_day.size);
    if (line.size() > 10 && static_cast<unsigned char>(line[10]) >= 0x80) {
        // A flag of two bytes: the memo is what follows that character.
        const QString text = cp932::Decode_text(line.sliced(10));
        memo.memo = text.mid(1);
    } else {
        memo.memo = line.size() > 11 ? cp932::Decode_text(line.sliced(11)) : QString();
    }
    if (companion_listed && memo.memo.contains(u'?')) {
        Day_record record;
        record.found = true;
        record.memo_bytes = line.sliced(std::min<qsizetype>(11, line.size())).toByteArray();
        const auto exact =
            Read_companion_of(store.Day_file_path(year, slot / 31 + 1, slot % 31 + 1));
        if (exact && Memo_matches(exact->memo, record))
            memo.memo = exact->memo;
    }
    return memo;
}

}  // namespace

QHash<int, Day_memo> Read_year_memos(Diary_store& store, int year, Io_result* error)
{
    QHash<int, Day_memo> memos;
    QByteArray bytes;
    bool exists = false;
    const Io_result read = Read_file_bytes(store.Keyword_file_path(year), bytes, exists);
    if (!read.Ok()) {
        if (error)
            *error = read;
        return memos;
    }
    Year_memo_lines lines;
    Parse_memo_lines(bytes, year, lines);
    for (int slot = 0; slot < Year_day_slots; ++slot)
        if (lines[size_t(slot)].present)
            memos.insert(Date_of_slot(year, slot),
                         Decode_memo(bytes, lines[size_t(slot)], store, year, slot));
    return memos;
}

Day_row Row_of(int date, const QString& text, const Day_memo& memo, const Fold_options& options)
{
    return {date, text, Fold(text, options), memo.memo, Fold(memo.memo, options), memo.memory};
}

void Note_unreadable(Fulltext_result& result, const Io_result& error)
{
    if (error.Ok())
        return;
    if (result.unreadable++ == 0)
        result.first_unreadable = error;
}

namespace {

void Sort_hits(std::vector<Fulltext_hit>& hits, bool newest_first)
{
    std::sort(hits.begin(), hits.end(),
              [newest_first](const Fulltext_hit& a, const Fulltext_hit& b) {
                  return newest_first ? a.date > b.date : a.date < b.date;
              });
}

// "yyyy/mmdd.txt" for the date yyyymmdd, made without formatting: many days
// are read for one search.
template <typename Char>
void Fill_day_file_name(Char (&name)[14], int date)
{
    for (int i = 8, n = date; i >= 0; --i) {
        if (i == 4)
            continue;
        name[i] = Char('0' + n % 10);
        n /= 10;
    }
}

}  // namespace

QString Day_file_path_of(const QString& app_dir, int date)
{
    char16_t name[] = u"yyyy/mmdd.txt";
    Fill_day_file_name(name, date);
    QString path;
    path.reserve(app_dir.size() + 13);
    path += app_dir;
    path += QStringView(name, 13);
    return path;
}

QByteArray Encoded_day_file_path(const QString& app_dir, int date)
{
    // The folder's name is encoded once a thread; the day's part is ASCII.
    thread_local QString folder;
    thread_local QByteArray encoded_folder;
    if (app_dir != folder) {
        folder = app_dir;
        encoded_folder = QFile::encodeName(app_dir);
    }
    char name[] = "yyyy/mmdd.txt";
    Fill_day_file_name(name, date);
    QByteArray path;
    path.reserve(encoded_folder.size() + 13);
    path += encoded_folder;
    path += QByteArrayView(name, 13);
    return path;
}

bool Read_plain_file_at_once(const char* encoded_path, QByteArray& bytes)
{
    // O_NONBLOCK keeps a named pipe from holding the open, and changes
    // nothing for a regular file's reads, the only kind read here.
    const int fd = ::open(encoded_path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat st {};
    bool whole = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= File_size_limit) {
        // One byte more than the file holds: fewer come back when the read
        // reached its end.
        bytes.resize(qsizetype(st.st_size) + 1);
        const ssize_t n = ::read(fd, bytes.data(), size_t(bytes.size()));
        whole = n == st.st_size;
        bytes.truncate(whole ? qsizetype(n) : 0);
    }
    ::close(fd);
    return whole && !lock::Is_sealed(bytes);
}

Io_result Read_day_bytes(Diary_store& store, int date, QString& path, QByteArray& bytes,
                         bool& exists)
{
    // The usual day, a plain file under its lower-case name, in four calls;
    // anything else (no such file, the upper-case name, a link, a sealed
    // file, a file that changed while read, a failure) as the store reads it.
    path = Day_file_path_of(store.App_dir(), date);
    if (Read_plain_file_at_once(Encoded_day_file_path(store.App_dir(), date).constData(), bytes)) {
        exists = true;
        return Io_result::Success();
    }
    return store.Read_day_file(date / 10000, date / 100 % 100, date % 100, path, bytes, exists);
}

std::optional<QString> Exact_text_for_search(const QString& path, const QByteArray& bytes)
{
    // The byte 0x3F is never part of a two-byte character.
    if (bytes.contains('?')) {
        if (const auto exact = Read_companion_of(path); exact && Text_matches(exact->text, bytes))
            return exact->text;
    }
    return std::nullopt;
}

QString Text_for_search(const QString& path, const QByteArray& bytes)
{
    if (std::optional<QString> exact = Exact_text_for_search(path, bytes))
        return *std::move(exact);
    return Diary_store::Text_of_file(bytes);
}

QString Read_day_for_search(Diary_store& store, int year, int month, int day, Io_result* error)
{
    QString path;
    QByteArray bytes;
    bool exists = false;
    const Io_result read =
        Read_day_bytes(store, Date_number(year, month, day), path, bytes, exists);
    if (error)
        *error = read;
    if (!read.Ok() || !exists)
        return QString();
    return Text_for_search(path, bytes);
}

Fulltext_result Scan_diary(const QString& app_dir, const Fulltext_search& search,
                           const Fold_options& options)
{
    return Scan_diary_until(app_dir, search, options, nullptr);
}

namespace {

// A day file the year's listing shows as a regular file under its
// lower-case name, read in three calls where Read_plain_file_at_once makes
// four: opened by its name in the year folder, read once into room for more
// than any usual day holds (a read of a regular file that comes back short
// has reached its end), closed; its size is never asked for. A name swapped
// for a link after the listing is not followed, and one swapped for a pipe
// is not waited on.
enum class Listed_read {
    Whole,   // bytes hold the whole plain file
    Sealed,  // a locked diary's file: for the store to open
    Other    // a file that fills the room, or anything else: read it the usual way
};

Listed_read Read_listed_day_file(int folder, const char* name, QByteArray& bytes)
{
    constexpr qsizetype room = 128 * 1024;
    const int fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return Listed_read::Other;
    bytes.resize(room);
    const ssize_t n = ::read(fd, bytes.data(), size_t(room));
    ::close(fd);
    bytes.truncate(n > 0 ? qsizetype(n) : 0);
    if (n < 0 || n == room)
        return Listed_read::Other;
    return lock::Is_sealed(bytes) ? Listed_read::Sealed : Listed_read::Whole;
}

// One year of the plain search, read from its files' bytes.
class Year_scan {
public:
    Year_scan(const QString& app_dir, const QByteArray& encoded_app_dir,
              const Fulltext_search& for_search, const Fold_options& fold,
              const QStringList& searched, const Line_words& in_bytes)
        : store(app_dir), encoded_dir(encoded_app_dir), search(for_search), options(fold),
          words(searched), line_words(in_bytes)
    {}

    // names as Read_year_names lists them, the folder's descriptor it kept.
    Fulltext_result Scan(int of_year, const Year_names& names, int year_folder)
    {
        part = {};
        year = of_year;
        folder = year_folder;
        companions = &names.companions;
        plain_files = &names.plain_day_files;
        // "<diary>/yyyy/mmdd.txt": only "mmdd" changes from day to day.
        path = encoded_dir;
        for (int i = 1000; i >= 1; i /= 10)
            path += char('0' + year / i % 10);
        path += "/keyword.txt";
        name_at = path.size() - 11;
        Read_memos(names);
        path.truncate(name_at);
        path += "mmdd.txt";
        for (int slot = 0; slot < Year_day_slots; ++slot)
            if (names.day_files[size_t(slot)] || memo_lines[size_t(slot)].present)
                Scan_day(slot, names.day_files[size_t(slot)]);
        return std::move(part);
    }

private:
    bool Companion_listed(int slot) const { return (*companions)[size_t(slot)]; }

    void Read_memos(const Year_names& names)
    {
        memo_bytes.clear();
        if (names.index &&
            !(names.lower_index && Read_plain_file_at_once(path.constData(), memo_bytes))) {
            bool exists = false;
            const Io_result read =
                Read_file_bytes(store.Keyword_file_path(year), memo_bytes, exists);
            if (!read.Ok()) {
                Note_unreadable(part, read);
                memo_bytes.clear();
            }
        }
        Parse_memo_lines(memo_bytes, year, memo_lines);
    }

    void Scan_day(int slot, bool has_file)
    {
        const int date = Date_of_slot(year, slot);
        const int month = slot / 31 + 1;
        const int day = slot % 31 + 1;
        const QByteArray* bytes = nullptr;
        QString file_path;
        if (has_file) {
            char* const name = path.data() + name_at;
            name[0] = char('0' + month / 10);
            name[1] = char('0' + month % 10);
            name[2] = char('0' + day / 10);
            name[3] = char('0' + day % 10);
            const Listed_read listed = (*plain_files)[size_t(slot)]
                                           ? Read_listed_day_file(folder, name, file)
                                           : Listed_read::Other;
            if (listed == Listed_read::Whole ||
                (listed == Listed_read::Other && Read_plain_file_at_once(path.constData(), file))) {
                bytes = &file;
            } else {
                // Anything but a plain file under its lower-case name, as
                // the store reads it.
                bool exists = false;
                const Io_result error =
                    store.Read_day_file(year, month, day, file_path, file, exists);
                if (!error.Ok()) {
                    Note_unreadable(part, error);
                    return;
                }
                if (exists)
                    bytes = &file;
            }
        }
        const Memo_line& memo_line = memo_lines[size_t(slot)];
        std::optional<Day_memo> memo;
        const auto memo_of = [&]() -> const Day_memo& {
            if (!memo)
                memo = memo_line.present ? Decode_memo(memo_bytes, memo_line, store, year, slot,
                                                       Companion_listed(slot))
                                         : Day_memo{};
            return *memo;
        };
        // A "?" is the text's own unless the file's companion holds the
        // exact text; a day the listing shows without one has none.
        std::optional<QString> exact;
        if (bytes && Companion_listed(slot) && bytes->contains('?')) {
            if (file_path.isEmpty())
                file_path = Day_file_path_of(store.App_dir(), date);
            exact = Exact_text_for_search(file_path, *bytes);
        }
        if (bytes && !exact && Bytes_decide_text(line_words, *bytes)) {
            // The words looked for in the bytes, a word not there in the
            // memo: its bytes too where they are its text.
            std::optional<QByteArrayView> plain_memo;
            if (memo_line.present)
                plain_memo = Plain_memo_bytes(memo_bytes, memo_line);
            if (plain_memo && line_words.katakana && cp932::Has_half_width_katakana(*plain_memo))
                plain_memo.reset();
            QString folded_memo;
            qsizetype first = -1;
            for (size_t i = 0; i < line_words.bytes.size(); ++i) {
                const qsizetype at = Word_in_bytes_at(*bytes, line_words.bytes[i]);
                if (at >= 0) {
                    first = first < 0 ? at : std::min(first, at);
                    continue;
                }
                if (!memo_line.present)
                    return;
                if (plain_memo) {
                    if (Word_in_bytes_at(*plain_memo, line_words.bytes[i]) < 0)
                        return;
                    continue;
                }
                if (folded_memo.isNull())
                    folded_memo = Fold(memo_of().memo, options);
                if (!folded_memo.contains(line_words.words[qsizetype(i)]))
                    return;
            }
            if (search.snippets && search.printed_lines && first >= 0) {
                // Its line as printed, after the year's others; the memo
                // is not shown beside it.
                Fulltext_hit& hit = part.hits.emplace_back();
                hit.date = date;
                hit.memory = memo_line.memory;
                hit.line_at = part.printed.size();
                Append_printed_date(part.printed, date);
                Append_printed_line_at(part.printed, *bytes, first);
                part.printed += '\n';
                hit.line_size = part.printed.size() - hit.line_at;
                return;
            }
            part.hits.push_back({date, memo_line.memory, memo_of().memo, std::nullopt});
            if (search.snippets)
                part.hits.back().snippet = Line_of_day_bytes_at(*bytes, first, line_words, options);
            return;
        }
        const Day_row row = Row_of(date,
                                   exact ? *std::move(exact)
                                         : (bytes ? Diary_store::Text_of_file(*bytes) : QString()),
                                   memo_of(), options);
        if (!All_words_in(words, row.folded_text, row.folded_memo))
            return;
        part.hits.push_back({row.date, row.memory, row.memo, std::nullopt});
        if (search.snippets)
            part.hits.back().snippet = Snippet_of(row.text, words, options);
    }

    Diary_store store;
    const QByteArray& encoded_dir;
    const Fulltext_search& search;
    const Fold_options& options;
    const QStringList& words;
    const Line_words& line_words;
    Fulltext_result part;
    int year = 0;
    const std::bitset<Year_day_slots>* companions = nullptr;
    const std::bitset<Year_day_slots>* plain_files = nullptr;
    int folder = -1;
    QByteArray path;
    qsizetype name_at = 0;
    // Read into again for every day and year of this thread.
    QByteArray file;
    QByteArray memo_bytes;
    Year_memo_lines memo_lines;
};

}  // namespace

Fulltext_result Scan_diary_until(const QString& app_dir, const Fulltext_search& search,
                                 const Fold_options& options, const std::atomic<bool>* cancel)
{
    Fulltext_result result;
    result.scanned = true;
    result.words = Search_words(search.typed, options);
    if (result.words.isEmpty())
        return result;
    // Words of kanji (or kana, as Line_words_of allows) are looked for in
    // the bytes themselves: a day whose bytes and memo lack one is passed
    // over without decoding or folding its text, which is most days of a
    // search. Other words, and a file the bytes cannot decide, take the text.
    const Line_words line_words = Line_words_of(result.words, options);
    // The years are read on every core, and taken in their order, so that
    // the first file that could not be read is still the one named. Each
    // year folder is listed by the thread that reads it, by its names alone.
    std::vector<int> years;
    const QString base = Diary_store(app_dir).App_dir();
    const QByteArray encoded_base = QFile::encodeName(base);
    for (const int year : List_years(base))
        if (year >= search.first_year && year <= search.last_year)
            years.push_back(year);
    Make_in_order(
        years.size(), 1,
        [&](std::size_t i) {
            if (cancel && cancel->load())
                return Fulltext_result{};
            QByteArray folder = encoded_base;
            for (int k = 1000; k >= 1; k /= 10)
                folder += char('0' + years[i] / k % 10);
            Year_names names;
            int year_folder = -1;
            if (!Read_year_names(folder, names, &year_folder))
                return Fulltext_result{};
            Year_scan scan(base, encoded_base, search, options, result.words, line_words);
            Fulltext_result part = scan.Scan(years[i], names, year_folder);
            if (year_folder >= 0)
                ::close(year_folder);
            return part;
        },
        [&](std::size_t, std::vector<Fulltext_result>& parts) {
            for (Fulltext_result& part : parts) {
                if (part.unreadable > 0 && result.unreadable == 0)
                    result.first_unreadable = part.first_unreadable;
                result.unreadable += part.unreadable;
                if (search.take_year_hits) {
                    // A year's days are read in their order.
                    search.take_year_hits(part.hits, part.printed);
                    continue;
                }
                for (Fulltext_hit& hit : part.hits) {
                    if (hit.line_at >= 0)
                        hit.line_at += result.printed.size();
                    result.hits.push_back(std::move(hit));
                }
                result.printed += part.printed;
            }
        });
    Sort_hits(result.hits, search.newest_first);
    return result;
}

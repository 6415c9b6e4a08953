#include "fulltext/scan.h"

#include "fulltext/day_line.h"
#include "fulltext/in_order.h"

#include "fulltext/listing.h"
#include "platform/cp932.h"
#include "store/day_list.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/lock.h"
#include "store/store.h"

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    For_each_line(bytes, [&](QByteArrayView line) {
        // "yyyy/mm/dd", the memory flag, the memo. Only bytes below 0x80
        // read as the date's digits and slashes, and the memo after a flag
        // of one such byte reads as it does in the whole line: the date and
        // flag are taken from the bytes, and only the memo is decoded.
        if (line.size() < 10)
            return;
        const auto digit = [&](int i) { return line[i] >= '0' && line[i] <= '9'; };
        for (const int i : {0, 1, 2, 3, 5, 6, 8, 9})
            if (!digit(i))
                return;
        if (line[4] != '/' || line[7] != '/')
            return;
        const auto number = [&](int at, int count) {
            int value = 0;
            for (int i = at; i < at + count; ++i)
                value = value * 10 + (line[i] - '0');
            return value;
        };
        const int key_year = number(0, 4);
        const int month = number(5, 2);
        const int day = number(8, 2);
        if (key_year != year || !Is_diary_day(month, day))
            return;
        Day_memo& memo = memos[Date_number(key_year, month, day)];
        if (line.size() > 10 && static_cast<unsigned char>(line[10]) >= 0x80) {
            // A flag of two bytes: the memo is what follows that character.
            const QString text = cp932::Decode_text(line.sliced(10));
            memo.memo = text.mid(1);
        } else {
            memo.memory = memo.memory || (line.size() > 10 && line[10] == '1');
            memo.memo = line.size() > 11 ? cp932::Decode_text(line.sliced(11)) : QString();
        }
        if (memo.memo.contains(u'?')) {
            // The exact memo, from the day's companion while it matches.
            Day_record record;
            record.found = true;
            record.memo_bytes = line.sliced(std::min<qsizetype>(11, line.size())).toByteArray();
            const auto exact = Read_companion_of(store.Day_file_path(key_year, month, day));
            if (exact && Memo_matches(exact->memo, record))
                memo.memo = exact->memo;
        }
    });
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

bool Read_plain_file_at_once(const QByteArray& encoded_path, QByteArray& bytes)
{
    // O_NONBLOCK keeps a named pipe from holding the open, and changes
    // nothing for a regular file's reads, the only kind read here.
    const int fd = ::open(encoded_path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
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
    if (Read_plain_file_at_once(Encoded_day_file_path(store.App_dir(), date), bytes)) {
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
    const auto scan_year = [&](int year, const QSet<int>& file_dates) {
        Fulltext_result part;
        Diary_store store(app_dir);
        For_each_day_bytes_of_years(
            store, {{year, file_dates}}, &part, nullptr, nullptr, cancel,
            [&](int date, const QByteArray* bytes, const QString& path, const Day_memo& memo) {
                // A "?" is the text's own unless the file's companion holds
                // the exact text.
                std::optional<QString> exact;
                if (bytes && bytes->contains('?'))
                    exact = Exact_text_for_search(path, *bytes);
                if (bytes && !exact && Bytes_decide_text(line_words, *bytes)) {
                    QString folded_memo;
                    qsizetype first = -1;
                    for (size_t i = 0; i < line_words.bytes.size(); ++i) {
                        const qsizetype at = Word_in_bytes_at(*bytes, line_words.bytes[i]);
                        if (at >= 0) {
                            first = first < 0 ? at : std::min(first, at);
                            continue;
                        }
                        if (folded_memo.isNull())
                            folded_memo = Fold(memo.memo, options);
                        if (!folded_memo.contains(line_words.words[qsizetype(i)]))
                            return;
                    }
                    part.hits.push_back({date, memo.memory, memo.memo, std::nullopt});
                    if (search.snippets)
                        part.hits.back().snippet =
                            Line_of_day_bytes_at(*bytes, first, line_words, options);
                    return;
                }
                const Day_row row =
                    Row_of(date,
                           exact ? *std::move(exact)
                                 : (bytes ? Diary_store::Text_of_file(*bytes) : QString()),
                           memo, options);
                if (!All_words_in(result.words, row.folded_text, row.folded_memo))
                    return;
                part.hits.push_back({row.date, row.memory, row.memo, std::nullopt});
                if (search.snippets)
                    part.hits.back().snippet = Snippet_of(row.text, result.words, options);
            });
        return part;
    };
    // The years are read on every core, and taken in their order, so that
    // the first file that could not be read is still the one named. Each
    // year folder is listed by the thread that reads it, by its names alone.
    std::vector<int> years;
    const QString base = Diary_store(app_dir).App_dir();
    for (const int year : List_years(base))
        if (year >= search.first_year && year <= search.last_year)
            years.push_back(year);
    Make_in_order(
        years.size(), 1,
        [&](std::size_t i) {
            const std::optional<QSet<int>> dates = Day_dates_in_year(base, years[i]);
            return dates ? scan_year(years[i], *dates) : Fulltext_result{};
        },
        [&](std::size_t, std::vector<Fulltext_result>& parts) {
            for (Fulltext_result& part : parts) {
                if (part.unreadable > 0 && result.unreadable == 0)
                    result.first_unreadable = part.first_unreadable;
                result.unreadable += part.unreadable;
                std::move(part.hits.begin(), part.hits.end(), std::back_inserter(result.hits));
            }
        });
    Sort_hits(result.hits, search.newest_first);
    return result;
}

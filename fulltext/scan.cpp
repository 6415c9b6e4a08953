#include "fulltext/scan.h"

#include "fulltext/day_line.h"
#include "fulltext/in_order.h"

#include "fulltext/listing.h"
#include "platform/cp932.h"
#include "store/day_list.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/store.h"

#include <algorithm>

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
        const QString text = cp932::Decode_text(line);
        const std::optional<Key_date> key = Key_date_of(text);
        if (!key || key->year != year || !Is_diary_day(key->month, key->day))
            return;
        Day_memo& memo = memos[Date_number(key->year, key->month, key->day)];
        memo.memory = memo.memory || (text.size() > 10 && text.at(10) == u'1');
        memo.memo = text.mid(11);
        if (memo.memo.contains(u'?')) {
            // The exact memo, from the day's companion while it matches.
            Day_record record;
            record.found = true;
            record.memo_bytes = line.sliced(std::min<qsizetype>(11, line.size())).toByteArray();
            const auto exact =
                Read_companion_of(store.Day_file_path(key->year, key->month, key->day));
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

}  // namespace

Io_result Read_day_bytes(Diary_store& store, int date, QString& path, QByteArray& bytes,
                         bool& exists)
{
    // Read by its name at once: many days are read for one search.
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
                if (bytes && Bytes_decide(line_words, *bytes)) {
                    const QString folded_memo = Fold(memo.memo, options);
                    for (size_t i = 0; i < line_words.bytes.size(); ++i)
                        if (!Bytes_hold_word(*bytes, line_words.bytes[i]) &&
                            !folded_memo.contains(line_words.words[qsizetype(i)]))
                            return;
                    part.hits.push_back({date, memo.memory, memo.memo, std::nullopt});
                    if (search.snippets)
                        part.hits.back().snippet = Line_of_day_bytes(*bytes, line_words, options);
                    return;
                }
                const Day_row row =
                    Row_of(date, bytes ? Text_for_search(path, *bytes) : QString(), memo, options);
                if (!All_words_in(result.words, row.folded_text, row.folded_memo))
                    return;
                part.hits.push_back({row.date, row.memory, row.memo, std::nullopt});
                if (search.snippets)
                    part.hits.back().snippet = Snippet_of(row.text, result.words, options);
            });
        return part;
    };
    // The years are read on every core, and taken in their order, so that
    // the first file that could not be read is still the one named.
    const std::map<int, QSet<int>> dates_by_year = Dates_by_year(
        List_diary(Diary_store(app_dir).App_dir()), search.first_year, search.last_year);
    const std::vector<std::pair<int, QSet<int>>> years(dates_by_year.cbegin(),
                                                       dates_by_year.cend());
    Make_in_order(
        years.size(), 1, [&](std::size_t i) { return scan_year(years[i].first, years[i].second); },
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

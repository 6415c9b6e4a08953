#include "fulltext/candidates.h"

#include "fulltext/day_line.h"
#include "fulltext/in_order.h"
#include "fulltext/scan.h"
#include "store/store.h"

namespace {

struct Checked {
    bool hit = false;
    std::optional<Snippet> snippet;
};

// Whether the day holds every word, from its file's bytes where they alone
// can tell (most days of a word of kanji or kana), else from its folded
// text, as the plain search decides.
// decided are the same words with no look for half-width katakana: the
// line of a file whose bytes decided has none.
Checked Check_day(const Diary_store& store, const Fulltext_hit& hit, const Line_words& words,
                  const Line_words& decided, const Fold_options& options, bool snippets)
{
    Checked out;
    QString path;
    QByteArray bytes;
    bool exists = false;
    const int date = hit.date;
    if (!store.Read_day_file(date / 10000, date / 100 % 100, date % 100, path, bytes, exists).Ok())
        return out;
    if (exists && Bytes_decide(words, bytes)) {
        const QString folded_memo = Fold(hit.memo, options);
        for (size_t i = 0; i < words.bytes.size(); ++i)
            if (!Bytes_hold_word(bytes, words.bytes[i]) &&
                !folded_memo.contains(words.words[qsizetype(i)]))
                return out;
        out.hit = true;
        if (snippets)
            out.snippet = Line_of_day_bytes(bytes, decided, options);
        return out;
    }
    const QString text = exists ? Text_for_search(path, bytes) : QString();
    if (!All_words_in(words.words, Fold(text, options), Fold(hit.memo, options)))
        return out;
    out.hit = true;
    if (snippets)
        out.snippet = Snippet_of(text, words.words, options);
    return out;
}

}  // namespace

void Check_candidates(const QString& app_dir, const Fold_options& options,
                      const Fulltext_search& search, bool exact, Fulltext_result& result)
{
    // Every day found holds the words: its line, when one is wanted, is
    // made by the caller for the days it shows.
    if (exact)
        return;
    const Line_words words = Line_words_of(result.words, options);
    Line_words decided = words;
    decided.katakana = false;
    const Diary_store store(app_dir);
    std::vector<Fulltext_hit> found = std::move(result.hits);
    result.hits.clear();
    result.hits.reserve(found.size());
    Make_in_order(
        found.size(), 256,
        [&](size_t i) {
            return Check_day(store, found[i], words, decided, options, search.snippets);
        },
        [&](size_t first, std::vector<Checked>& checked) {
            for (size_t i = 0; i < checked.size(); ++i) {
                if (!checked[i].hit)
                    continue;
                result.hits.push_back(std::move(found[first + i]));
                result.hits.back().snippet = std::move(checked[i].snippet);
            }
        });
}

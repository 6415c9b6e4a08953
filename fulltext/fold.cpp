#include "fulltext/fold.h"

#include <QChar>
#include <algorithm>

namespace {

// U+FF61 .. U+FF9F, the half-width katakana and their punctuation, as their
// full-width characters.
constexpr char16_t Half_width_kana[] = {
    u'。', u'「', u'」', u'、', u'・', u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ',
    u'ョ', u'ッ', u'ー', u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ',
    u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ', u'チ', u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ',
    u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ', u'マ', u'ミ', u'ム', u'メ', u'モ', u'ヤ',
    u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン', u'゛', u'゜',
};
static_assert(std::size(Half_width_kana) == 0xFF9F - 0xFF61 + 1);

constexpr char16_t Half_voiced = 0xFF9E;
constexpr char16_t Half_semi_voiced = 0xFF9F;

// The katakana with a voicing mark, or 0 when the pair makes none.
char16_t Voiced(char16_t base, char16_t mark)
{
    if (mark == Half_voiced) {
        if ((base >= u'カ' && base <= u'ヂ' && (base - u'カ') % 2 == 0) || base == u'ツ' ||
            base == u'テ' || base == u'ト')
            return char16_t(base + 1);
        if (base >= u'ハ' && base <= u'ホ' && (base - u'ハ') % 3 == 0)
            return char16_t(base + 1);
        if (base == u'ウ')
            return u'ヴ';
        if (base == u'ワ')
            return u'ヷ';
        if (base == u'ヲ')
            return u'ヺ';
        return 0;
    }
    if (mark == Half_semi_voiced && base >= u'ハ' && base <= u'ホ' && (base - u'ハ') % 3 == 0)
        return char16_t(base + 2);
    return 0;
}

char16_t Fold_one(char16_t c, const Fold_options& options)
{
    // Kana and kanji, most of a diary: neither width nor case touch them.
    if (c > 0x3000 && c <= 0x9FFF) {
        if (options.kana && ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E))
            return char16_t(c + 0x60);
        return c;
    }
    if (options.width) {
        if (c >= 0xFF01 && c <= 0xFF5E)
            c = char16_t(c - 0xFF01 + 0x21);
        else if (c == 0x3000)
            c = u' ';
        else if (c >= 0xFF61 && c <= 0xFF9F)
            c = Half_width_kana[c - 0xFF61];
    }
    if (options.letter_case) {
        // ASCII, and kana and kanji (U+3000 to U+9FFF, no character with
        // a case), without the table: they are most of a diary.
        if (c < 0x80) {
            if (c >= u'A' && c <= u'Z')
                c = char16_t(c + 0x20);
        } else if ((c < 0x3000 || c > 0x9FFF) && !QChar::isSurrogate(c)) {
            c = char16_t(QChar::toLower(char32_t(c)));
        }
    }
    if (options.kana) {
        if (c >= 0x3041 && c <= 0x3096)
            c = char16_t(c + 0x60);
        else if (c == 0x309D || c == 0x309E)
            c = char16_t(c + 0x60);
    }
    return c;
}

template <typename Each>
void Fold_each(QStringView text, const Fold_options& options, Each&& each)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (options.width && c >= 0xFF66 && c <= 0xFF9C && i + 1 < n) {
            const char16_t pair = Voiced(Half_width_kana[c - 0xFF61], text[i + 1].unicode());
            if (pair) {
                each(Fold_one(pair, options), i);
                ++i;
                continue;
            }
        }
        each(Fold_one(c, options), i);
    }
}

}  // namespace

QString Fold_options::Name() const
{
    return QStringLiteral("width=%1 case=%2 kana=%3")
        .arg(int(width))
        .arg(int(letter_case))
        .arg(int(kana));
}

QString Fold(QStringView text, const Fold_options& options)
{
    QString out(text.size(), Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(out.data());
    char16_t* const start = to;
    Fold_each(text, options, [&to](char16_t c, qsizetype) { *to++ = c; });
    out.truncate(to - start);
    return out;
}

Folded_text Fold_mapped(QStringView text, const Fold_options& options)
{
    Folded_text folded;
    folded.text.resize(text.size());
    folded.origin.resize(size_t(text.size()) + 1);
    char16_t* const start = reinterpret_cast<char16_t*>(folded.text.data());
    char16_t* to = start;
    Fold_each(text, options, [&](char16_t c, qsizetype from) {
        folded.origin[size_t(to - start)] = from;
        *to++ = c;
    });
    const size_t length = size_t(to - start);
    folded.text.truncate(qsizetype(length));
    folded.origin[length] = text.size();
    folded.origin.resize(length + 1);
    return folded;
}

QStringList Search_words(QStringView typed, const Fold_options& options)
{
    QStringList words;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= typed.size(); ++i) {
        if (i < typed.size() && !typed[i].isSpace())
            continue;
        if (i > start)
            words.append(Fold(typed.mid(start, i - start), options));
        start = i + 1;
    }
    return words;
}

bool All_words_in(const QStringList& words, QStringView folded_text, QStringView folded_memo)
{
    return std::all_of(words.cbegin(), words.cend(), [&](const QString& word) {
        return folded_text.contains(word) || folded_memo.contains(word);
    });
}

namespace {

// The marks of every occurrence of the words in the folded text, in the
// original's positions, sorted by start; overlapping marks merged.
// origin null: the text is its own folded form.
QList<Snippet::Mark> Occurrences(QStringView folded, const std::vector<qsizetype>* origin,
                                 const QStringList& words)
{
    QList<Snippet::Mark> marks;
    for (const QString& word : words) {
        if (word.isEmpty())
            continue;
        for (qsizetype at = folded.indexOf(word); at >= 0; at = folded.indexOf(word, at + 1)) {
            const qsizetype start = origin ? (*origin)[size_t(at)] : at;
            const qsizetype end = origin ? (*origin)[size_t(at + word.size())] : at + word.size();
            marks.append({start, end - start});
        }
    }
    std::sort(marks.begin(), marks.end(),
              [](const Snippet::Mark& a, const Snippet::Mark& b) { return a.start < b.start; });
    QList<Snippet::Mark> merged;
    for (const Snippet::Mark& mark : marks) {
        if (!merged.isEmpty() && mark.start <= merged.last().start + merged.last().length) {
            Snippet::Mark& last = merged.last();
            last.length = std::max(last.start + last.length, mark.start + mark.length) - last.start;
        } else {
            merged.append(mark);
        }
    }
    return merged;
}

Snippet Window_of(QStringView text, const QList<Snippet::Mark>& marks, qsizetype from,
                  qsizetype length)
{
    Snippet snippet;
    const qsizetype to = std::min(text.size(), from + length);
    snippet.text = text.mid(from, to - from).toString();
    for (QChar& c : snippet.text)
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    for (const Snippet::Mark& mark : marks) {
        const qsizetype start = std::max(mark.start, from);
        const qsizetype end = std::min(mark.start + mark.length, to);
        if (start < end)
            snippet.marks.append({start - from, end - start});
    }
    return snippet;
}

// Where the line shown starts: a little before the first mark.
qsizetype Window_start(QStringView text, const QList<Snippet::Mark>& marks, qsizetype before,
                       qsizetype length)
{
    qsizetype from = marks.isEmpty() ? 0 : std::max<qsizetype>(0, marks.first().start - before);
    // A window that would end past the text starts earlier, so that the
    // line stays full.
    from = std::max<qsizetype>(0, std::min(from, text.size() - length));
    // Never begin inside a surrogate pair.
    if (from > 0 && text[from].isLowSurrogate())
        --from;
    return from;
}

Snippet Window_around_first(QStringView text, const QList<Snippet::Mark>& marks, qsizetype before,
                            qsizetype length)
{
    return Window_of(text, marks, Window_start(text, marks, before, length), length);
}

}  // namespace

Snippet Snippet_of(QStringView text, const QStringList& words, const Fold_options& options,
                   qsizetype before, qsizetype length)
{
    // Only the beginning of a long text is folded, as far as the line
    // needs: a first word found there, and room after the line for every
    // mark that reaches into it (a folded character stands for at most two
    // of the text's), with one more at the cut, where a voicing mark may
    // have been parted from its kana.
    qsizetype longest = 0;
    for (const QString& word : words)
        longest = std::max(longest, word.size());
    const qsizetype margin = 4 * longest + 4;
    for (qsizetype prefix = 128;; prefix *= 4) {
        if (prefix >= text.size()) {
            const Folded_text folded = Fold_mapped(text, options);
            return Window_around_first(text, Occurrences(folded.text, &folded.origin, words),
                                       before, length);
        }
        const Folded_text folded = Fold_mapped(text.first(prefix), options);
        const QList<Snippet::Mark> marks = Occurrences(folded.text, &folded.origin, words);
        if (marks.isEmpty() || marks.first().start + marks.first().length > prefix - margin)
            continue;
        const qsizetype from = Window_start(text, marks, before, length);
        if (from + length + margin <= prefix)
            return Window_of(text, marks, from, length);
    }
}

std::optional<Snippet> Snippet_of_part(QStringView part, bool starts_text, bool ends_text,
                                       bool word_in_part, const QStringList& words,
                                       const Fold_options& options, qsizetype before,
                                       qsizetype length)
{
    const Folded_text folded = Fold_mapped(part, options);
    const QList<Snippet::Mark> marks = Occurrences(folded.text, &folded.origin, words);
    if (marks.isEmpty() == word_in_part || (marks.isEmpty() && !starts_text))
        return std::nullopt;
    // As Window_start, in the part's places: a start before the part is
    // one it cannot make.
    qsizetype from = marks.isEmpty() ? 0 : marks.first().start - before;
    if (ends_text)
        from = std::min(from, part.size() - length);
    if (from < 0) {
        if (!starts_text)
            return std::nullopt;
        from = 0;
    }
    if (from < part.size() && part[from].isLowSurrogate()) {
        if (from == 0 && !starts_text)
            return std::nullopt;
        if (from > 0)
            --from;
    }
    // Past the line, room for a word that begins inside it (a folded
    // character stands for at most two of the text's).
    qsizetype longest = 0;
    for (const QString& word : words)
        longest = std::max(longest, word.size());
    if (!ends_text && from + length + 2 * longest > part.size())
        return std::nullopt;
    return Window_of(part, marks, from, length);
}

Snippet Snippet_of_unfolded(QStringView text, const QStringList& words, qsizetype before,
                            qsizetype length)
{
    return Window_around_first(text, Occurrences(text, nullptr, words), before, length);
}

Snippet Marked(QStringView text, const QStringList& words, const Fold_options& options)
{
    const Folded_text folded = Fold_mapped(text, options);
    return Window_of(text, Occurrences(folded.text, &folded.origin, words), 0, text.size());
}

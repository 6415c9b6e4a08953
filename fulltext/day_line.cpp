#include "fulltext/day_line.h"

#include "fulltext/scan.h"
#include "platform/cp932.h"
#include "platform/cp932_scan.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/store.h"

#include <algorithm>
#include <cstring>

namespace {

// A character that only one pair of bytes reads as, and whose only form in
// a folded text is itself, or (katakana, while width is folded) half-width
// katakana.
bool Found_in_bytes(char16_t c, const Fold_options& options, bool& katakana)
{
    const bool kanji = c >= 0x3400 && c <= 0x9FFF;
    const bool hiragana = !options.kana && c >= 0x3041 && c <= 0x3096;
    const bool full_width_katakana = !options.kana && ((c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC);
    katakana = katakana || (full_width_katakana && options.width);
    return (kanji || hiragana || full_width_katakana) && cp932::Has_one_code(c);
}

// True when Decode begins a character at the place: read forward from the
// last byte before it that is not a first byte (a character of its own or
// the second of a pair, which either way ends one), most often the byte
// just before it.
bool Begins_character(QByteArrayView body, qsizetype at)
{
    const auto* in = reinterpret_cast<const unsigned char*>(body.data());
    qsizetype from = at;
    while (from > 0 && cp932::Is_lead_byte(in[from - 1]))
        --from;
    if (from == at)
        return true;
    qsizetype passed = 0;
    return cp932::Pass_text_characters(body, from, at, body.size(), passed) == at;
}

// The first place before end where the word's bytes begin a character, or -1.
qsizetype Word_before(QByteArrayView body, QByteArrayView word, qsizetype end)
{
    for (qsizetype at = 0; at + word.size() <= body.size() && at < end; ++at) {
        const void* found =
            ::memmem(body.data() + at, size_t(body.size() - at), word.data(), size_t(word.size()));
        if (!found)
            break;
        at = static_cast<const char*>(found) - body.data();
        if (at < end && Begins_character(body, at))
            return at;
    }
    return -1;
}

// The place of the first of the words in the bytes where a character
// begins, or -1.
qsizetype First_word_at(QByteArrayView body, const std::vector<QByteArray>& words)
{
    qsizetype first = -1;
    for (const QByteArray& word : words)
        if (const qsizetype at = Word_before(body, word, first < 0 ? body.size() : first); at >= 0)
            first = at;
    return first;
}

// The start of a character at or before the place: the byte after one below
// 0x40, which no character continues, or the beginning.
qsizetype Character_start_before(QByteArrayView body, qsizetype at)
{
    at = std::max<qsizetype>(0, at);
    while (at > 0 && static_cast<unsigned char>(body[at - 1]) >= 0x40)
        --at;
    return at;
}

// The start of a character of the text at or before the place: after a
// byte that is not a first byte, and not between the CR and LF of a line
// break; or the beginning.
qsizetype Text_start_before(QByteArrayView body, qsizetype at)
{
    const auto* in = reinterpret_cast<const unsigned char*>(body.data());
    at = std::clamp<qsizetype>(at, 0, body.size());
    while (at > 0 && (cp932::Is_lead_byte(in[at - 1]) ||
                      (in[at - 1] == '\r' && at < body.size() && in[at] == '\n')))
        --at;
    return at;
}

// The bytes of the text: the final line end is not the user's.
QByteArrayView Body_of(QByteArrayView file_bytes)
{
    if (file_bytes.endsWith("\r\n"))
        file_bytes.chop(2);
    else if (file_bytes.endsWith('\n') || file_bytes.endsWith('\r'))
        file_bytes.chop(1);
    return file_bytes;
}

// The place `count` characters of the text before `to` (both characters'
// starts), or the beginning when there are fewer.
qsizetype Characters_before(QByteArrayView body, qsizetype to, qsizetype count)
{
    // A character is at most two bytes, a CR LF too.
    const qsizetype from = Text_start_before(body, to - 2 * count - 2);
    qsizetype between = 0;
    cp932::Pass_text_characters(body, from, to, body.size(), between);
    if (between <= count)
        return from;
    qsizetype passed = 0;
    return cp932::Pass_text_characters(body, from, to, between - count, passed);
}

}  // namespace

void Append_printed_line_at(QByteArray& out, QByteArrayView file_bytes, qsizetype first_at,
                            qsizetype before, qsizetype length)
{
    // As the window around the first word: `before` characters ahead of it,
    // `length` long, moved back to stay full when the text ends sooner.
    const QByteArrayView body = Body_of(file_bytes);
    const qsizetype kept = out.size();
    if (cp932::Append_utf8_blanked(out, body, Characters_before(body, first_at, before), length) <
        length) {
        out.truncate(kept);
        cp932::Append_utf8_blanked(out, body, Characters_before(body, body.size(), length), length);
    }
}

void Append_printed_date(QByteArray& out, int date)
{
    // Made without formatting: one for every line printed.
    char text[] = "yyyy/mm/dd\t";
    for (int i = 9, n = date; i >= 0; --i) {
        if (i == 4 || i == 7)
            continue;
        text[i] = char('0' + n % 10);
        n /= 10;
    }
    out.append(text, 11);
}

Line_words Line_words_of(const QStringList& words, const Fold_options& options)
{
    Line_words out{words, {}};
    for (const QString& word : words) {
        if (!std::all_of(word.cbegin(), word.cend(), [&](QChar c) {
                return Found_in_bytes(c.unicode(), options, out.katakana);
            })) {
            out.bytes.clear();
            out.katakana = false;
            return out;
        }
        out.bytes.push_back(cp932::Encode(word).bytes);
    }
    return out;
}

bool Bytes_decide(const Line_words& words, QByteArrayView file_bytes)
{
    return !file_bytes.contains('?') && Bytes_decide_text(words, file_bytes);
}

bool Bytes_decide_text(const Line_words& words, QByteArrayView file_bytes)
{
    return !words.bytes.empty() && !(words.katakana && cp932::Has_half_width_katakana(file_bytes));
}

bool Bytes_hold_word(QByteArrayView file_bytes, const QByteArray& word)
{
    return Word_in_bytes_at(file_bytes, word) >= 0;
}

qsizetype Word_in_bytes_at(QByteArrayView file_bytes, const QByteArray& word)
{
    return Word_before(file_bytes, word, file_bytes.size());
}

Snippet Line_of_day_bytes(QByteArrayView file_bytes, const Line_words& words,
                          const Fold_options& options, qsizetype before, qsizetype length)
{
    return Line_of_day_bytes_at(file_bytes, std::nullopt, words, options, before, length);
}

Snippet Line_of_day_bytes_at(QByteArrayView file_bytes, std::optional<qsizetype> first_at,
                             const Line_words& words, const Fold_options& options, qsizetype before,
                             qsizetype length)
{
    if (words.bytes.empty() || words.words.isEmpty())
        return Snippet_of(Diary_store::Text_of_file(file_bytes), words.words, options);
    // The text's bytes: the final line end is not the user's.
    QByteArrayView body = file_bytes;
    if (body.endsWith("\r\n"))
        body.chop(2);
    else if (body.endsWith('\n') || body.endsWith('\r'))
        body.chop(1);
    if (words.katakana && cp932::Has_half_width_katakana(body))
        return Snippet_of(Diary_store::Text_of_file(file_bytes), words.words, options, before,
                          length);
    const qsizetype first = first_at ? *first_at : First_word_at(body, words.bytes);
    // A character is one or two bytes, and so is a line break: the part
    // decoded begins at least `before` characters ahead of the word (at
    // least `length` ahead of the end, when the line may be moved back to
    // stay full) and ends past the line with room for a word begun in it.
    qsizetype longest = 0;
    for (const QByteArray& word : words.bytes)
        longest = std::max(longest, word.size());
    const qsizetype at = std::max<qsizetype>(first, 0);
    qsizetype end = at + 2 * (before + length) + 2 * longest + 8;
    qsizetype start = at - 2 * before;
    const bool ends_text = end >= body.size();
    if (ends_text) {
        end = body.size();
        start = std::min(start, end - 2 * length);
    }
    start = first < 0 ? 0 : Character_start_before(body, start);
    QString part = cp932::Decode_text(body.sliced(start, end - start));
    // Each CR LF a line break, as the whole text has it.
    if (part.contains(u'\r')) {
        char16_t* const text = reinterpret_cast<char16_t*>(part.data());
        qsizetype kept = 0;
        for (qsizetype i = 0; i < part.size(); ++i)
            if (!(text[i] == u'\r' && i + 1 < part.size() && text[i + 1] == u'\n'))
                text[kept++] = text[i];
        part.truncate(kept);
    }
    // The last character may be a pair of bytes cut in two, or a CR whose
    // LF was left out.
    if (!ends_text)
        part.chop(1);
    if (std::optional<Snippet> line = Snippet_of_part(part, start == 0, ends_text, first >= 0,
                                                      words.words, options, before, length))
        return *std::move(line);
    return Snippet_of(Diary_store::Text_of_file(file_bytes), words.words, options, before, length);
}

Snippet Day_line(const Diary_store& store, int date, const Line_words& words,
                 const Fold_options& options)
{
    // Read by its name as Diary_store::Read_day_file reads it ("mmdd.txt",
    // else "MMDD.TXT"), the usual plain file at once.
    QString path = Day_file_path_of(store.App_dir(), date);
    QByteArray bytes;
    bool exists = true;
    Io_result read;
    if (!Read_plain_file_at_once(Encoded_day_file_path(store.App_dir(), date).constData(), bytes)) {
        read = Read_diary_file(path, bytes, exists);
        if (!exists) {
            path.replace(path.size() - 3, 3, QStringLiteral("TXT"));
            read = Read_diary_file(path, bytes, exists);
        }
    }
    if (!read.Ok() || !exists)
        return {};
    // As every search reads a day: a "?" may stand for a character code page
    // 932 cannot hold, which the companion holds while it matches the file.
    if (const std::optional<QString> exact = Exact_text_for_search(path, bytes))
        return Snippet_of(*exact, words.words, options);
    return Line_of_day_bytes(bytes, words, options);
}

#include "diary/words.h"

#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/store.h"

#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <algorithm>
#include <mutex>

namespace {

// The few calls of the library's C interface the analyser makes; the
// library is opened at the first analyser, never at start-up.
struct Mecab_calls {
    using New2 = void* (*)(const char*);
    using Sparse_tostr2 = const char* (*)(void*, const char*, size_t);
    using Destroy = void (*)(void*);
    using Strerror = const char* (*)(void*);
    New2 new2 = nullptr;
    Sparse_tostr2 sparse_tostr2 = nullptr;
    Destroy destroy = nullptr;
    Strerror strerror = nullptr;
    bool loaded = false;
};

const Mecab_calls& Mecab()
{
    static Mecab_calls calls;
    static std::once_flag once;
    std::call_once(once, [] {
        static QLibrary library(QStringLiteral("mecab"), 2);
        if (!library.load())
            return;
        calls.new2 = reinterpret_cast<Mecab_calls::New2>(library.resolve("mecab_new2"));
        calls.sparse_tostr2 =
            reinterpret_cast<Mecab_calls::Sparse_tostr2>(library.resolve("mecab_sparse_tostr2"));
        calls.destroy = reinterpret_cast<Mecab_calls::Destroy>(library.resolve("mecab_destroy"));
        calls.strerror = reinterpret_cast<Mecab_calls::Strerror>(library.resolve("mecab_strerror"));
        calls.loaded = calls.new2 && calls.sparse_tostr2 && calls.destroy && calls.strerror;
    });
    return calls;
}

// The IPA dictionary in UTF-8 where Debian puts it; the system's default
// dictionary (which may be the EUC-JP one) only when it is not there.
const char* const Utf8_dictionary = "/var/lib/mecab/dic/ipadic-utf8";

const QString No_dictionary =
    QStringLiteral("言葉を調べるための辞書が見つかりません。\n"
                   "パッケージ mecab-ipadic-utf8 を入れてから、もう一度開いてください。\n"
                   "（sudo apt-get install mecab-ipadic-utf8）");

// The function words that every diary is full of.
const QStringList Common_words{
    QStringLiteral("する"),   QStringLiteral("いる"),   QStringLiteral("ある"),
    QStringLiteral("なる"),   QStringLiteral("できる"), QStringLiteral("いう"),
    QStringLiteral("くる"),   QStringLiteral("おる"),   QStringLiteral("れる"),
    QStringLiteral("られる"), QStringLiteral("せる"),   QStringLiteral("させる"),
    QStringLiteral("やる"),   QStringLiteral("こと"),   QStringLiteral("もの"),
    QStringLiteral("よう"),   QStringLiteral("ため"),   QStringLiteral("とき"),
};

// The analyser's answer: a line per word,
// "surface<TAB>part,detail,...,base,reading,sound", then "EOS". Calls
// word(surface, part, detail, base) for each word's line; the base is the
// surface where the dictionary gives none.
template <typename Word>
void For_each_word(const char* result, Word&& word)
{
    const QByteArrayView all(result);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        const QByteArrayView line = all.sliced(start, end - start);
        start = end + 1;
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0)
            continue;
        // part,detail,...: the first two and the seventh field.
        QByteArrayView fields[7];
        qsizetype from = tab + 1;
        int n = 0;
        while (n < 7) {
            const qsizetype comma = line.indexOf(',', from);
            fields[n++] = line.sliced(from, (comma < 0 ? line.size() : comma) - from);
            if (comma < 0)
                break;
            from = comma + 1;
        }
        const QByteArrayView surface = line.first(tab);
        const bool has_base = n == 7 && !fields[6].isEmpty() && fields[6] != QByteArrayView("*");
        word(surface, fields[0], fields[1], has_base ? fields[6] : surface);
    }
}

}  // namespace

Word_analyser::Word_analyser()
{
    const Mecab_calls& calls = Mecab();
    if (!calls.loaded) {
        error = QStringLiteral("言葉を調べるための MeCab が見つかりません。\n"
                               "パッケージ libmecab2 と mecab-ipadic-utf8 を入れてから、"
                               "もう一度開いてください。\n"
                               "（sudo apt-get install libmecab2 mecab-ipadic-utf8）");
        return;
    }
    const QByteArray argument = QFileInfo::exists(QString::fromLatin1(Utf8_dictionary))
                                    ? QByteArray("-d ") + Utf8_dictionary
                                    : QByteArray();
    tagger = calls.new2(argument.constData());
    if (!tagger) {
        error = No_dictionary;
        return;
    }
    // A dictionary in another encoding gives back no word the program can
    // read.
    const QList<Morpheme> probe = Analyse(u"雨");
    if (probe.size() != 1 || probe[0].base != QStringLiteral("雨")) {
        calls.destroy(tagger);
        tagger = nullptr;
        error = No_dictionary;
    }
}

Word_analyser::~Word_analyser()
{
    if (tagger)
        Mecab().destroy(tagger);
}

const char* Word_analyser::Raw(const QByteArray& utf8)
{
    if (!tagger)
        return nullptr;
    return Mecab().sparse_tostr2(tagger, utf8.constData(), size_t(utf8.size()));
}

QList<Morpheme> Word_analyser::Analyse(QStringView text)
{
    QList<Morpheme> out;
    const char* result = Raw(text.toUtf8());
    if (!result)
        return out;
    For_each_word(result, [&out](QByteArrayView surface, QByteArrayView part, QByteArrayView detail,
                                 QByteArrayView base) {
        out.append({QString::fromUtf8(surface), QString::fromUtf8(part), QString::fromUtf8(detail),
                    QString::fromUtf8(base)});
    });
    return out;
}

QString Counted_word(const Morpheme& m, unsigned parts)
{
    bool wanted = false;
    if (m.part == QStringLiteral("名詞"))
        wanted = (parts & Nouns) && m.detail != QStringLiteral("非自立") &&
                 m.detail != QStringLiteral("代名詞") && m.detail != QStringLiteral("数") &&
                 m.detail != QStringLiteral("接尾") && m.detail != QStringLiteral("特殊");
    else if (m.part == QStringLiteral("動詞"))
        wanted = (parts & Verbs) && m.detail == QStringLiteral("自立");
    else if (m.part == QStringLiteral("形容詞"))
        wanted = (parts & Adjectives) && m.detail == QStringLiteral("自立");
    const QString word = m.base.trimmed();
    if (!wanted || Common_words.contains(word))
        return {};
    // Signs and numbers the dictionary does not know ("②") and lone kana
    // are no words to look back on.
    if (std::none_of(word.cbegin(), word.cend(), [](QChar c) { return c.isLetter(); }))
        return {};
    if (word.size() == 1 && word[0].unicode() >= 0x3040 && word[0].unicode() < 0x3100)
        return {};
    return word;
}

QList<Word_count> Count_words(Word_analyser& analyser, const QStringList& texts, unsigned parts,
                              int limit, const std::atomic<bool>* cancel)
{
    // The analyser's lines are read as bytes: a part of speech is compared
    // as bytes, and a word becomes text once, when it is first met.
    struct Tally {
        QString word;  // empty: a form that is not counted
        QString part;
        int count = 0;
        qsizetype first = 0;
    };
    QHash<QByteArray, Tally> tallies;
    qsizetype order = 0;
    for (const QString& text : texts) {
        if (cancel && cancel->load())
            return {};
        const QByteArray bytes = text.toUtf8();
        const char* result = analyser.Raw(bytes);
        if (!result)
            continue;
        For_each_word(result, [&](QByteArrayView, QByteArrayView part, QByteArrayView detail,
                                  QByteArrayView base) {
            if (part != QByteArrayView("名詞") && part != QByteArrayView("動詞") &&
                part != QByteArrayView("形容詞"))
                return;
            // The key holds the part and its division: they decide whether
            // the form counts.
            QByteArray key;
            key.reserve(part.size() + detail.size() + base.size() + 2);
            key.append(part).append('\t').append(detail).append('\t').append(base);
            auto found = tallies.find(key);
            if (found == tallies.end()) {
                Morpheme m;
                m.part = QString::fromUtf8(part);
                m.detail = QString::fromUtf8(detail);
                m.base = QString::fromUtf8(base);
                found = tallies.insert(key, {Counted_word(m, parts), m.part, 0, order++});
            }
            ++found->count;
        });
    }
    // One word may come from several forms ("雨" as 一般 and as 副詞可能).
    QHash<QString, qsizetype> index;
    QList<Word_count> words;
    QList<qsizetype> firsts;
    QList<const Tally*> sorted;
    for (const Tally& t : tallies)
        if (!t.word.isEmpty())
            sorted.append(&t);
    std::sort(sorted.begin(), sorted.end(),
              [](const Tally* a, const Tally* b) { return a->first < b->first; });
    for (const Tally* t : sorted) {
        const auto at = index.constFind(t->word);
        if (at != index.cend()) {
            words[*at].count += t->count;
        } else {
            index.insert(t->word, words.size());
            words.append({t->word, t->part, t->count});
        }
    }
    std::stable_sort(words.begin(), words.end(),
                     [](const Word_count& a, const Word_count& b) { return a.count > b.count; });
    if (limit >= 0 && words.size() > limit)
        words.resize(limit);
    return words;
}

QStringList Texts_of(Diary_store& store, int year, int month, QList<Io_result>* unreadable)
{
    QStringList texts;
    const Year_files files = Read_year_files(store, year);
    if (!files.folder_error.Ok() && unreadable)
        unreadable->append(files.folder_error);
    QList<int> numbers;
    for (const QByteArray& name : files.names) {
        const Name_class c = Classify_year_name(name);
        if (c.kind == Diary_name::Day_file && Is_diary_day(c.month, c.day) &&
            (month == 0 || c.month == month))
            numbers.append(c.month * 100 + c.day);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (const int number : numbers) {
        const Exact_day day = Read_exact_day(store, year, number / 100, number % 100, files);
        if (!day.text_error.Ok()) {
            if (unreadable)
                unreadable->append(day.text_error);
            continue;
        }
        if (!day.text.isEmpty())
            texts.append(day.text);
    }
    return texts;
}

#pragma once
// 言葉: the most frequent words of a year or a month, found by a Japanese
// morphological analyser (MeCab, with its IPA dictionary in UTF-8). The
// library is loaded when the words are first asked for, not at start-up;
// when it or its dictionary is missing, the analyser says so in Japanese.
// Words are counted by their dictionary form (降っ, 降る and 降り are 降る),
// nouns and verbs by default, adjectives when asked; the common function
// words (する, いる, ある, ...), numbers, pronouns and dependent nouns are
// left out.

#include "store/io_result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>

class Diary_store;

// One word of the analyser's output: the surface, the part of speech and
// its first sub-division, and the dictionary form.
struct Morpheme {
    QString surface;
    QString part;    // 名詞, 動詞, 形容詞, 助詞, ...
    QString detail;  // 一般, 自立, 非自立, 数, ...
    QString base;    // the dictionary form ("*" gives the surface)
};

enum Word_parts : unsigned {
    Nouns = 1,
    Verbs = 2,
    Adjectives = 4,
};

struct Word_count {
    QString word;
    QString part;
    int count = 0;
    friend bool operator==(const Word_count&, const Word_count&) = default;
};

// One analyser for one thread at a time.
class Word_analyser {
public:
    Word_analyser();
    ~Word_analyser();
    Word_analyser(const Word_analyser&) = delete;
    Word_analyser& operator=(const Word_analyser&) = delete;

    // The analyser is ready; otherwise Error() says why, for the user.
    bool Ok() const { return tagger != nullptr; }
    const QString& Error() const { return error; }

    QList<Morpheme> Analyse(QStringView text);
    // The analyser's own output for UTF-8 text: a line per word,
    // "surface<TAB>part,detail,...,base,reading,sound", then "EOS"; valid
    // until the next call.
    const char* Raw(const QByteArray& utf8);

private:
    void* tagger = nullptr;
    QString error;
};

// The word a morpheme counts as, or empty when it is left out.
QString Counted_word(const Morpheme& m, unsigned parts);

// The words of the texts, most frequent first (then in the order of their
// first appearance), at most limit of them.
QList<Word_count> Count_words(Word_analyser& analyser, const QStringList& texts, unsigned parts,
                              int limit, const std::atomic<bool>* cancel = nullptr);

// The exact texts of the days of a year, or of one month of it (month 0:
// the whole year); files that could not be read are named in unreadable.
QStringList Texts_of(Diary_store& store, int year, int month, QList<Io_result>* unreadable);

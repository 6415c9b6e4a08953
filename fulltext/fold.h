#pragma once
// Japanese folding for the full-text search: the forms of a character that a
// user takes for the same character are made one before texts are compared.
// The same folding serves the index, the plain scan and the words searched
// for, so that every way of searching finds the same days.

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <vector>

struct Fold_options {
    bool width = true;        // ＡＢＣ = ABC, １２ = 12, ｶﾀｶﾅ = カタカナ
    bool letter_case = true;  // ABC = abc
    bool kana = false;        // ひらがな = ヒラガナ

    bool operator==(const Fold_options&) const = default;
    // A short text naming the options, kept with an index made with them.
    QString Name() const;
};

// The folded text.
QString Fold(QStringView text, const Fold_options& options);

// The folded text and, for each of its characters, where it began in the
// original (one more entry at the end: the original's length). A half-width
// katakana with its voicing mark ("ｶﾞ") folds into one character.
struct Folded_text {
    QString text;
    std::vector<qsizetype> origin;
};
Folded_text Fold_mapped(QStringView text, const Fold_options& options);

// The words of a search as typed: split at blanks (the full-width blank
// too), each folded; empty words dropped.
QStringList Search_words(QStringView typed, const Fold_options& options);

// True when every word occurs in the folded text or the folded memo.
bool All_words_in(const QStringList& words, QStringView folded_text, QStringView folded_memo);

// A line around the first place in a text where one of the words occurs,
// with every occurrence of the words inside it marked. Line breaks and tabs
// are shown as blanks. When no word occurs, the beginning of the text.
struct Snippet {
    QString text;
    struct Mark {
        qsizetype start = 0;
        qsizetype length = 0;
    };
    QList<Mark> marks;
};
Snippet Snippet_of(QStringView text, const QStringList& words, const Fold_options& options,
                   qsizetype before = 16, qsizetype length = 80);
// The same line made from a part of the text only: word_in_part when the
// part holds the text's first word found (and no word before it), else the
// text holds none; starts_text when the part is the text's beginning,
// ends_text when it is the text's end. Nothing when the part cannot make
// the line the whole text would (it ends too soon or starts too late, or
// holds a word where none was expected, or none where one was).
std::optional<Snippet> Snippet_of_part(QStringView part, bool starts_text, bool ends_text,
                                       bool word_in_part, const QStringList& words,
                                       const Fold_options& options, qsizetype before = 16,
                                       qsizetype length = 80);
// The same for a text that folding leaves as it is (its own folded form).
Snippet Snippet_of_unfolded(QStringView text, const QStringList& words, qsizetype before = 16,
                            qsizetype length = 80);
// Where the words occur in a short text such as a memo, marked as above.
Snippet Marked(QStringView text, const QStringList& words, const Fold_options& options);

#pragma once
// The line shown for a day found, made from its day file's bytes. A word of
// kanji (and of hiragana, while hiragana are not folded to katakana) is
// looked for in the code page 932 bytes themselves: no other character
// folds to those characters and no other bytes read as them, so only the
// bytes around the first word found are decoded and folded. Other words
// have the whole text decoded, and its beginning folded as far as the line
// needs.

#include "fulltext/fold.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <optional>
#include <vector>

class Diary_store;

struct Line_words {
    QStringList words;  // folded, as searched
    // Each word as the bytes that alone read as it; empty when a word is
    // not one that can be found in the bytes.
    std::vector<QByteArray> bytes;
    // A word has katakana, and half-width katakana fold to them: the bytes
    // of a file with half-width katakana are decoded whole.
    bool katakana = false;
};
Line_words Line_words_of(const QStringList& words, const Fold_options& options);

// True when the bytes alone tell whether the file's text holds each of the
// words: every word is one to be found in the bytes, the file has no "?"
// (whose text may be its companion's) and, for katakana words, no
// half-width katakana.
bool Bytes_decide(const Line_words& words, QByteArrayView file_bytes);
// Bytes_decide for bytes known to be the text (no "?" or no companion
// holding the exact text).
bool Bytes_decide_text(const Line_words& words, QByteArrayView file_bytes);

// True when the word's bytes begin a character somewhere in the file's
// bytes: the text holds the word (for a word Line_words_of gave bytes).
bool Bytes_hold_word(QByteArrayView file_bytes, const QByteArray& word);

// Where the word's bytes first begin a character in the file's bytes, or -1.
qsizetype Word_in_bytes_at(QByteArrayView file_bytes, const QByteArray& word);

// The line of a day file's text, from the file's bytes as read (its final
// line end still there).
Snippet Line_of_day_bytes(QByteArrayView file_bytes, const Line_words& words,
                          const Fold_options& options, qsizetype before = 16,
                          qsizetype length = 80);
// The same, where the first of the words' bytes begins a character already
// known (the least of Word_in_bytes_at over the words, -1 for none).
Snippet Line_of_day_bytes_at(QByteArrayView file_bytes, std::optional<qsizetype> first_at,
                             const Line_words& words, const Fold_options& options,
                             qsizetype before = 16, qsizetype length = 80);

// The text of the line Line_of_day_bytes_at makes, for bytes known to be the
// text (Bytes_decide_text) whose first word found begins at first_at (>= 0),
// appended to out as UTF-8 with its line breaks and tabs as blanks, as the
// command line prints it: made from the bytes of the line alone.
void Append_printed_line_at(QByteArray& out, QByteArrayView file_bytes, qsizetype first_at,
                            qsizetype before = 16, qsizetype length = 80);
// "yyyy/mm/dd" and a tab for the date yyyymmdd, as the command line prints
// them before a day's line.
void Append_printed_date(QByteArray& out, int date);

// The line of the day (yyyymmdd), read from its file; an empty line when the
// day has no file or it cannot be read. A file with a "?" in it is read as
// every search reads it, its companion's exact text taken while it matches.
Snippet Day_line(const Diary_store& store, int date, const Line_words& words,
                 const Fold_options& options);

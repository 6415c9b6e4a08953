#pragma once
// Turns what a store operation reports into words for the user: what could
// not be done, the file, and the reason, in Japanese.

#include "store/io_result.h"

#include <QString>

class Platform;
struct Text_read;

// A read that was capped is told at once, with "３２ｋＢまでを読み込みました";
// any other read is not.
void Tell_capped_read(Platform& platform, const Text_read& read);

// "ディスクがいっぱいです。" and the like, for a failed result.
QString Io_reason(const Io_result& result);

// headline + "\nファイル: " + path + "\n理由: " + reason.
QString Io_message(const QString& headline, const Io_result& result);

struct Unmappable_char {
    QString character;   // the character as typed
    QString substitute;  // what would be written in its place
};

// The question asked before a day with characters that code page 932 cannot
// hold is written: each character once, in the order first met.
QString Unmappable_question(const QList<Unmappable_char>& characters);

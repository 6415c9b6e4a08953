#pragma once
// Turns what a store operation reports into words for the user: what could
// not be done, the file, and the reason, in Japanese.

#include "diary/session.h"
#include "store/io_result.h"

#include <QString>

class Platform;

// "ディスクがいっぱいです。" and the like, for a failed result.
QString Io_reason(const Io_result& result);

// headline + "\nファイル: " + path + "\n理由: " + reason; "フォルダー: " in
// place of "ファイル: " when the path is a folder.
QString Io_message(const QString& headline, const Io_result& result);

// What holds the characters a question is about.
enum class Unmappable_in {
    Diary,
    Message
};

// The question asked before a day or a message with characters that code
// page 932 cannot hold is written: each character once, in the order first
// met.
QString Unmappable_question(const QList<Unmappable_char>& characters, Unmappable_in where);

// Tells the user how a failed step went: headline, file and reason, and the
// note below them when there is one.
void Show_failure(Platform& platform, const QString& headline, const Io_result& result,
                  const QString& note = QString());

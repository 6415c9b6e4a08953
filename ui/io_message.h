#pragma once
// Turns what a store operation reports into words for the user: what could
// not be done, the file, and the reason, in Japanese.

#include "store/io_result.h"

#include <QString>

class Platform;

// "ディスクがいっぱいです。" and the like, for a failed result.
QString Io_reason(const Io_result& result);

// headline + "\nファイル: " + path + "\n理由: " + reason; "フォルダー: " in
// place of "ファイル: " when the path is a folder.
QString Io_message(const QString& headline, const Io_result& result);

// Tells the user how a failed step went: headline, file and reason, and the
// note below them when there is one.
void Show_failure(Platform& platform, const QString& headline, const Io_result& result,
                  const QString& note = QString());

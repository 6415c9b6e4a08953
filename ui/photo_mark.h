#pragma once
// The mark of a day with pictures in the lists of days: a small camera,
// with 写真あり as its words (tool tip, screen readers, the pages of text).

#include <QIcon>
#include <QString>

QIcon Photo_mark_icon();
inline QString Photo_mark_words() { return QStringLiteral("写真あり"); }

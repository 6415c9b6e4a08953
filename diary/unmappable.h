#pragma once
// Characters code page 932 cannot hold: each one once, with what the day's
// files get in its place.

#include "platform/cp932.h"

#include <QList>
#include <QString>

// A character that code page 932 cannot hold and what is written instead.
struct Unmappable_char {
    QString character;   // the character as typed
    QString substitute;  // what would be written in its place
};

// Each character of the texts that code page 932 cannot hold, once, in the
// order first met.
QList<Unmappable_char> Unmappable_chars(const QList<const cp932::Encode_result*>& encoded);

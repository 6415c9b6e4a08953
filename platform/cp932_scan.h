#pragma once
// A look through code page 932 bytes without decoding them (cp932.cpp), for
// the full-text search's lines.

#include <QByteArrayView>

namespace cp932 {

// True when Decode reads a byte A1-DF on its own (a half-width katakana or
// its punctuation) in the bytes.
bool Has_half_width_katakana(QByteArrayView bytes);

}  // namespace cp932

#pragma once
// Code page 932 (Shift_JIS as Windows writes it): the one place where bytes
// become text and text becomes bytes. It maps exactly as Windows does, both
// ways, and reports what it cannot convert instead of dropping it.

#include "platform/cp932_lead.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <vector>

namespace cp932 {

// Decoding never fails. A byte that does not begin a valid character (a lead
// byte with no valid trail, a lead byte cut off at the end) becomes a
// private-use character that only this codec makes; Encode turns it back
// into the same byte where the bytes read back as the same text, and treats
// it as a character code page 932 cannot hold anywhere else (typed, pasted,
// or moved next to a byte it would join).
struct Decode_result {
    QString text;
    std::vector<qsizetype> bad_offsets;  // byte offsets of undecodable bytes
};
Decode_result Decode(QByteArrayView bytes);
// The text alone, for callers that only carry it through.
QString Decode_text(QByteArrayView bytes);

// A character that code page 932 cannot hold.
struct Unmappable {
    qsizetype position;  // index in the UTF-16 text
    char32_t character;
    QByteArray substitute;  // what Windows would write in its place
};

struct Encode_result {
    QByteArray bytes;                    // with each unmappable's substitute
    std::vector<Unmappable> unmappable;  // empty when the text encodes exactly
    bool Ok() const { return unmappable.empty(); }
};
Encode_result Encode(QStringView text);

// True when Decode makes this character for an undecodable byte (U+F7xx
// before a byte that cannot be a second byte or at the end, U+F6xx before
// one that can).
bool Is_carried_byte(char16_t c);

// True when the character is written as two bytes and no other bytes read
// as it: it occurs in a text exactly where those bytes begin a character.
bool Has_one_code(char16_t c);

// True when Decode, reading the bytes from their start, begins a character
// at offset (0 <= offset <= size).
bool Starts_character(QByteArrayView bytes, qsizetype offset);

// Decode_text's text as UTF-8, made from the bytes in one pass without the
// UTF-16 text between: the same bytes as Decode_text(bytes).toUtf8().
QByteArray Decode_utf8(QByteArrayView bytes);

// Appends Decode_text(bytes) to out as UTF-8 with every CR LF made LF (a CR
// of its own stays): the text of a day file, converted once and straight
// into the buffer that holds it. Makes exactly the bytes of
// Decode_text(bytes).replace("\r\n", "\n").toUtf8().
void Append_utf8_lf(QByteArray& out, QByteArrayView bytes);

}  // namespace cp932

namespace cp932 {

// From `at`, where Decode begins a character, passes up to `count`
// characters of the text the bytes read as, a CR LF taken as one (as a
// day's text holds its line breaks), stopping at `limit` (a character's
// start, or the end). Returns where it stopped; `passed` is how many
// characters it passed.
qsizetype Pass_text_characters(QByteArrayView bytes, qsizetype at, qsizetype limit, qsizetype count,
                               qsizetype& passed);

// Appends as UTF-8 up to `count` characters of the text the bytes read as,
// from `from` (where Decode begins a character) to the end, each CR LF, CR,
// LF and tab as one blank: a line shown for a day, made straight from its
// bytes. Returns how many characters it appended.
qsizetype Append_utf8_blanked(QByteArray& out, QByteArrayView bytes, qsizetype from,
                              qsizetype count);

}  // namespace cp932

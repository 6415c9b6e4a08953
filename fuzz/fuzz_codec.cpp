// The code page 932 codec on arbitrary bytes and arbitrary text.
//
// Bytes: decoding never loses a byte (every byte is part of a character or
// carried as one), and writing back what was read gives the same text, and
// the same bytes unless a code Windows does not write for its character
// was involved. Text (the input read as UTF-16): encoding reports exactly
// what it could not write, and reading the bytes back gives the text with
// each reported character as "?" and each look-alike as the character
// Windows uses; nothing else changes.

#include "fuzz/fuzz_support.h"
#include "platform/cp932.h"

#include <QString>
#include <cstdint>

namespace {

bool Is_lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// What a character typed on Linux becomes once written and read back.
char16_t Read_back_as(char16_t c)
{
    switch (c) {
    case 0x301C: return 0xFF5E;  // WAVE DASH -> FULLWIDTH TILDE
    case 0x2212: return 0xFF0D;  // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
    case 0x2016: return 0x2225;  // DOUBLE VERTICAL LINE -> PARALLEL TO
    case 0x2014: return 0x2015;  // EM DASH -> HORIZONTAL BAR
    case 0x203E: return 0x007E;  // OVERLINE -> TILDE
    default: return c;
    }
}

void Check_bytes(const QByteArray& bytes)
{
    const cp932::Decode_result d = cp932::Decode(bytes);

    // Every byte is in the text: a pair makes one character, anything else one.
    FUZZ_CHECK(d.text.size() <= bytes.size());
    qsizetype carried = 0;
    for (QChar c : d.text)
        carried += cp932::Is_carried_byte(c.unicode()) ? 1 : 0;
    FUZZ_CHECK(carried == qsizetype(d.bad_offsets.size()));
    for (size_t i = 0; i < d.bad_offsets.size(); ++i) {
        const qsizetype at = d.bad_offsets[i];
        FUZZ_CHECK(at >= 0 && at < bytes.size());
        FUZZ_CHECK(Is_lead(static_cast<unsigned char>(bytes[at])));
        if (i > 0)
            FUZZ_CHECK(at > d.bad_offsets[i - 1]);
    }
    FUZZ_CHECK(cp932::Decode_text(bytes) == d.text);

    // Writing back what was read.
    const cp932::Encode_result e = cp932::Encode(d.text);
    FUZZ_CHECK(e.Ok());
    FUZZ_CHECK(e.bytes.size() == bytes.size());
    const cp932::Decode_result again = cp932::Decode(e.bytes);
    FUZZ_CHECK(again.text == d.text);
    FUZZ_CHECK(again.bad_offsets == d.bad_offsets);
    FUZZ_CHECK(cp932::Encode(again.text).bytes == e.bytes);
    if (!Has_duplicate_lead(bytes))
        FUZZ_CHECK(e.bytes == bytes);
}

void Check_text(const QString& text)
{
    const cp932::Encode_result e = cp932::Encode(text);

    // The text as it must read back: reported characters as "?" (a pair of
    // surrogates is one character), look-alikes as Windows' characters.
    QString expected;
    size_t next = 0;
    for (qsizetype i = 0; i < text.size();) {
        if (next < e.unmappable.size() && e.unmappable[next].position == i) {
            const cp932::Unmappable& u = e.unmappable[next];
            FUZZ_CHECK(u.substitute == QByteArray("?"));
            if (u.character > 0xFFFF) {
                FUZZ_CHECK(i + 1 < text.size());
                FUZZ_CHECK(QChar::surrogateToUcs4(text[i], text[i + 1]) == u.character);
                i += 2;
            } else {
                FUZZ_CHECK(text[i].unicode() == u.character);
                i += 1;
            }
            expected += QLatin1Char('?');
            ++next;
            continue;
        }
        expected += QChar(Read_back_as(text[i].unicode()));
        ++i;
    }
    // Every report names a place in the text, in order.
    FUZZ_CHECK(next == e.unmappable.size());
    FUZZ_CHECK(e.Ok() == e.unmappable.empty());

    const cp932::Decode_result d = cp932::Decode(e.bytes);
    FUZZ_CHECK(d.text == expected);
    // What was written reads and writes back stably.
    const cp932::Encode_result again = cp932::Encode(d.text);
    FUZZ_CHECK(again.Ok());
    FUZZ_CHECK(cp932::Decode_text(again.bytes) == d.text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = Bytes_of(data, size);
    Check_bytes(bytes);

    // The same input as UTF-16 code units, low byte first.
    QString text;
    text.reserve(qsizetype(size / 2));
    for (size_t i = 0; i + 1 < size; i += 2)
        text += QChar(char16_t(data[i] | data[i + 1] << 8));
    Check_text(text);
    return 0;
}

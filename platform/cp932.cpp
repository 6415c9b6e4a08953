#include "platform/cp932.h"
#include "platform/cp932_scan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace cp932 {

namespace {

// What iconv "CP932" maps both ways, dumped at build time by cp932_table_gen.
#include "cp932_generated.inc"

constexpr std::uint16_t no_code = 0xFFFF;  // FF is never a lead byte
// An undecodable lead byte b is carried as U+F700 + b when the byte after it
// could not be a second byte (or there is none), and as U+F600 + b when it
// could but the pair is no character. The two forms keep a file's text
// apart from the same character typed by the user: each form is written as
// its byte only where reading the bytes back gives the same form again.
constexpr char16_t carried_base = 0xF700;
constexpr char16_t carried_joined_base = 0xF600;
constexpr char substitute_byte = '?';

// The trail bytes 40-7E, 80-FC numbered 0..187.
constexpr int Trail_index(unsigned char t)
{
    if (t >= 0x40 && t <= 0x7E)
        return t - 0x40;
    if (t >= 0x80 && t <= 0xFC)
        return t - 0x41;
    return -1;
}

// The decoding and encoding tables, worked out by the compiler: they are
// the program's read-only data, so that no start of the program pays for
// building them (about a millisecond, and 400 KB written).
struct Tables {
    std::array<char16_t, 256> single{};  // every byte that is not a lead byte
    std::array<char16_t, 65536> pair{};  // lead << 8 | trail -> character; 0: not a character
    std::array<std::uint16_t, 65536> encode{};  // UTF-16 unit -> code (< 0x100: one byte)

    constexpr bool Is_pair(unsigned char lead, unsigned char trail) const
    {
        return pair[lead << 8 | trail] != 0;
    }
};

constexpr Tables Make_tables()
{
    Tables t;
    t.encode.fill(no_code);
    for (const auto& [code, c] : generated_decode_pairs) {
        if (code < 0x100)
            t.single[code] = c;
        else
            t.pair[code] = c;
    }
    // Among the codes of one character, iconv writes the one Windows
    // writes (checked against Windows' table by the tests).
    for (const auto& [c, code] : generated_encode_pairs)
        t.encode[c] = code;

    // Single bytes Windows decodes that iconv rejects.
    constexpr std::pair<unsigned char, char16_t> extra_singles[] = {
        {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};
    for (auto [b, c] : extra_singles) {
        t.single[b] = c;
        t.encode[c] = b;
    }

    // User-defined area: F040-F9FC <-> U+E000-U+E757, 188 codes a row.
    for (int lead = 0xF0; lead <= 0xF9; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            int index = Trail_index(static_cast<unsigned char>(trail));
            if (index < 0)
                continue;
            char16_t c = char16_t(0xE000 + (lead - 0xF0) * 188 + index);
            std::uint16_t code = std::uint16_t(lead << 8 | trail);
            t.pair[code] = c;
            t.encode[c] = code;
        }
    }

    // Characters Linux input methods type where Windows users get
    // U+FF5E, U+FF0D, U+2225, U+2015 and U+007E: written as those
    // characters' codes, the way a Japanese user means them.
    constexpr std::pair<char16_t, std::uint16_t> look_alikes[] = {
        {0x301C, 0x8160}, {0x2212, 0x817C}, {0x2016, 0x8161}, {0x2014, 0x815C}, {0x203E, 0x007E}};
    for (auto [c, code] : look_alikes)
        t.encode[c] = code;

    // Undecodable lead bytes carried through the text.
    for (int b = 0x81; b <= 0xFC; ++b) {
        if (Is_lead_byte(static_cast<unsigned char>(b))) {
            t.encode[carried_base + b] = std::uint16_t(b);
            t.encode[carried_joined_base + b] = std::uint16_t(b);
        }
    }
    return t;
}

constexpr Tables tables = Make_tables();

// Codes a character also decodes from but that Encode does not choose
// first, as (character, code), sorted.
using Code_of = std::array<std::uint16_t, 2>;

constexpr bool Is_other_code(int code)
{
    const char16_t c = tables.pair[code];
    return c != 0 && tables.encode[c] != code;
}

constexpr std::size_t Other_code_count()
{
    std::size_t n = 0;
    for (int code = 0x8100; code <= 0xFCFF; ++code)
        n += Is_other_code(code);
    return n;
}

constexpr auto other_codes = [] {
    std::array<Code_of, Other_code_count()> out{};
    std::size_t n = 0;
    for (int code = 0x8100; code <= 0xFCFF; ++code)
        if (Is_other_code(code))
            out[n++] = {tables.pair[code], std::uint16_t(code)};
    std::sort(out.begin(), out.end());
    return out;
}();

unsigned char First_byte(std::uint16_t code) { return code < 0x100 ? code : code >> 8; }

}  // namespace

bool Is_carried_byte(char16_t c)
{
    return (c & 0xFF00) >= carried_joined_base && (c & 0xFF00) <= carried_base &&
           Is_lead_byte(static_cast<unsigned char>(c & 0xFF));
}

Decode_result Decode(QByteArrayView bytes)
{
    const Tables& t = tables;
    Decode_result result;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    result.text.resize(n);
    auto* out = reinterpret_cast<char16_t*>(result.text.data());
    qsizetype k = 0;
    for (qsizetype i = 0; i < n;) {
        unsigned char b = in[i];
        if (!Is_lead_byte(b)) {
            out[k++] = t.single[b];
            ++i;
            continue;
        }
        if (i + 1 < n) {
            char16_t c = t.pair[b << 8 | in[i + 1]];
            if (c != 0) {
                out[k++] = c;
                i += 2;
                continue;
            }
        }
        // Only the lead byte is carried; the next byte starts afresh, so a
        // line break after a stray lead byte stays a line break.
        result.bad_offsets.push_back(i);
        const bool joined = i + 1 < n && Trail_index(in[i + 1]) >= 0;
        out[k++] = char16_t((joined ? carried_joined_base : carried_base) + b);
        ++i;
    }
    result.text.truncate(k);
    return result;
}

QString Decode_text(QByteArrayView bytes) { return Decode(bytes).text; }

Encode_result Encode(QStringView text)
{
    const Tables& t = tables;
    Encode_result result;
    const auto* in = reinterpret_cast<const char16_t*>(text.data());
    const qsizetype n = text.size();
    result.bytes.resize(2 * n);
    auto* out = reinterpret_cast<unsigned char*>(result.bytes.data());
    qsizetype k = 0;
    // A carried lead byte just written, where its character is and which
    // form it has: the next byte must neither join it into a two-byte code
    // nor disagree with its form, or the file would read back as a
    // different text. Where it would, the carried character is one that
    // code page 932 cannot hold: "?" takes its place and it is reported.
    int open_lead = -1;
    qsizetype open_lead_position = 0;
    bool open_lead_joined = false;
    // The carried lead bytes written just before the open one, each followed
    // by the next: when the open one becomes "?", a joined one before it is
    // followed by a byte that can no longer be a second byte, and goes too.
    struct Written_lead {
        qsizetype at;  // in the bytes
        qsizetype position;
        bool joined;
    };
    std::vector<Written_lead> earlier_leads;
    auto report = [&](qsizetype position) {
        const Unmappable u{position, char32_t(in[position]), QByteArray(1, substitute_byte)};
        auto place = std::upper_bound(
            result.unmappable.begin(), result.unmappable.end(), position,
            [](qsizetype p, const Unmappable& other) { return p < other.position; });
        result.unmappable.insert(place, u);
    };
    auto substitute_open_lead = [&] {
        out[k - 1] = static_cast<unsigned char>(substitute_byte);
        report(open_lead_position);
        while (!earlier_leads.empty() && earlier_leads.back().joined) {
            out[earlier_leads.back().at] = static_cast<unsigned char>(substitute_byte);
            report(earlier_leads.back().position);
            earlier_leads.pop_back();
        }
        earlier_leads.clear();
        open_lead = -1;
    };
    // next_byte: the byte written after the open lead byte; -1 at the end.
    // next_is_carried: that byte is a carried lead byte itself.
    auto close_open_lead = [&](int next_byte, bool next_is_carried) {
        if (open_lead < 0) {
            earlier_leads.clear();
            return;
        }
        const bool could_be_second =
            next_byte >= 0 && Trail_index(static_cast<unsigned char>(next_byte)) >= 0;
        if (could_be_second != open_lead_joined) {
            substitute_open_lead();
        } else if (next_is_carried) {
            earlier_leads.push_back({k - 1, open_lead_position, open_lead_joined});
        } else {
            earlier_leads.clear();
        }
        open_lead = -1;
    };

    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = in[i];
        std::uint16_t code = t.encode[c];
        if (code == no_code) {
            // Not in code page 932. Windows would write a best-fit character
            // for some of these, but its best-fit table cannot ship with the
            // program, so every one gets Windows' default character "?".
            close_open_lead(substitute_byte, false);
            char32_t character = c;
            qsizetype position = i;
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(in[i + 1])) {
                character = QChar::surrogateToUcs4(c, in[i + 1]);
                ++i;
            }
            result.unmappable.push_back({position, character, QByteArray(1, substitute_byte)});
            out[k++] = static_cast<unsigned char>(substitute_byte);
            continue;
        }

        if (open_lead >= 0 && t.Is_pair(static_cast<unsigned char>(open_lead), First_byte(code))) {
            // Another code of the same character may keep the bytes apart;
            // text decoded from a file always has one, the code it came from.
            bool resolved = false;
            if (code >= 0x100) {
                auto range =
                    std::equal_range(other_codes.begin(), other_codes.end(), Code_of{c, 0},
                                     [](const auto& a, const auto& b) { return a[0] < b[0]; });
                for (auto it = range.first; it != range.second; ++it) {
                    if (!t.Is_pair(static_cast<unsigned char>(open_lead), First_byte((*it)[1]))) {
                        code = (*it)[1];
                        resolved = true;
                        break;
                    }
                }
            }
            // Otherwise the stray byte would swallow this character: "?"
            // in its place, rather than lose what follows.
            if (!resolved)
                substitute_open_lead();
        }
        close_open_lead(First_byte(code),
                        code < 0x100 && Is_lead_byte(static_cast<unsigned char>(code)));

        if (code < 0x100) {
            out[k++] = static_cast<unsigned char>(code);
            if (Is_lead_byte(static_cast<unsigned char>(code))) {
                open_lead = code;
                open_lead_position = i;
                open_lead_joined = (c & 0xFF00) == carried_joined_base;
            }
        } else {
            out[k++] = static_cast<unsigned char>(code >> 8);
            out[k++] = static_cast<unsigned char>(code & 0xFF);
        }
    }
    close_open_lead(-1, false);
    result.bytes.truncate(k);
    return result;
}

bool Has_one_code(char16_t c)
{
    const Tables& t = tables;
    const std::uint16_t code = t.encode[c];
    if (code == no_code || code < 0x100 || t.pair[code] != c)
        return false;
    const auto other = std::lower_bound(other_codes.cbegin(), other_codes.cend(), Code_of{c, 0});
    return other == other_codes.cend() || (*other)[0] != c;
}

bool Starts_character(QByteArrayView bytes, qsizetype offset)
{
    // A byte below 0x40 is neither a lead byte nor a second byte: the byte
    // after it begins a character. From the last such byte, the characters
    // are read as Decode reads them, up to the offset.
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype i = offset;
    while (i > 0 && in[i - 1] >= 0x40)
        --i;
    const Tables& t = tables;
    while (i < offset) {
        if (Is_lead_byte(in[i]) && i + 1 < bytes.size() && t.Is_pair(in[i], in[i + 1]))
            i += 2;
        else
            ++i;
    }
    return i == offset;
}

bool Has_half_width_katakana(QByteArrayView bytes)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    const Tables& t = tables;
    for (qsizetype i = 0; i < n;) {
        if (Is_lead_byte(in[i]) && i + 1 < n && t.Is_pair(in[i], in[i + 1])) {
            i += 2;
            continue;
        }
        if (in[i] >= 0xA1 && in[i] <= 0xDF)
            return true;
        ++i;
    }
    return false;
}

namespace {

// A UTF-16 unit of the tables (never a surrogate) as UTF-8.
constexpr char* Put_utf8(char* out, char16_t c)
{
    if (c < 0x80) {
        *out++ = char(c);
    } else if (c < 0x800) {
        *out++ = char(0xC0 | (c >> 6));
        *out++ = char(0x80 | (c & 0x3F));
    } else {
        *out++ = char(0xE0 | (c >> 12));
        *out++ = char(0x80 | ((c >> 6) & 0x3F));
        *out++ = char(0x80 | (c & 0x3F));
    }
    return out;
}

// Every code's character as UTF-8, packed: its bytes in the low three
// bytes (the first lowest), their count in the high byte; 0 for a pair
// that is no character. Worked out by the compiler from the tables Decode
// reads.
struct Utf8_tables {
    std::array<std::uint32_t, 256> single{};
    std::array<std::uint32_t, 65536> pair{};
};

constexpr std::uint32_t Packed(char16_t c)
{
    char bytes[3] = {};
    const int count = int(Put_utf8(bytes, c) - bytes);
    std::uint32_t packed = std::uint32_t(count) << 24;
    for (int i = 0; i < count; ++i)
        packed |= std::uint32_t(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return packed;
}

constexpr Utf8_tables Make_utf8_tables()
{
    Utf8_tables u;
    for (int b = 0; b < 256; ++b)
        u.single[b] = Packed(tables.single[b]);
    for (int code = 0; code < 65536; ++code)
        u.pair[code] = tables.pair[code] != 0 ? Packed(tables.pair[code]) : 0;
    return u;
}

constexpr Utf8_tables utf8_tables = Make_utf8_tables();

inline char* Put_packed(char* out, std::uint32_t packed)
{
    out[0] = char(packed);
    out[1] = char(packed >> 8);
    out[2] = char(packed >> 16);
    return out + (packed >> 24);
}

}  // namespace

QByteArray Decode_utf8(QByteArrayView bytes)
{
    const Utf8_tables& t = utf8_tables;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    // A byte becomes at most three bytes, a pair at most three; each
    // character is written as three bytes and the next one starts where
    // its own bytes end.
    QByteArray result(3 * n + 3, Qt::Uninitialized);
    char* const start = result.data();
    char* out = start;
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = in[i];
        if (!Is_lead_byte(b)) {
            out = Put_packed(out, t.single[b]);
            ++i;
            continue;
        }
        if (i + 1 < n) {
            if (const std::uint32_t packed = t.pair[b << 8 | in[i + 1]]) {
                out = Put_packed(out, packed);
                i += 2;
                continue;
            }
        }
        // Carried as Decode carries it.
        const bool joined = i + 1 < n && Trail_index(in[i + 1]) >= 0;
        out = Put_utf8(out, char16_t((joined ? carried_joined_base : carried_base) + b));
        ++i;
    }
    result.truncate(out - start);
    return result;
}

namespace {

// A packed character of Utf8_tables stored as four bytes at once: the
// fourth is written over by the next character or cut off at the end.
inline char* Put_packed_wide(char* out, std::uint32_t packed)
{
    if constexpr (std::endian::native == std::endian::little)
        std::memcpy(out, &packed, 4);
    else
        Put_packed(out, packed);
    return out + (packed >> 24);
}

}  // namespace

void Append_utf8_lf(QByteArray& out, QByteArrayView bytes)
{
    // Held here, not read through the tables again after every store.
    const Utf8_tables& t = utf8_tables;
    const std::uint32_t* const single = t.single.data();
    const std::uint32_t* const pair = t.pair.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    // Every byte becomes at most three bytes, and one more is written
    // past the last character.
    const qsizetype at = out.size();
    out.resize(at + 3 * bytes.size() + 4);
    char* const start = out.data() + at;
    char* to = start;
    // Where the next character starts is decided by branches on its first
    // byte, not by what the tables hold, so that the reads of the tables
    // for one character do not wait for those of the one before.
    while (end - p >= 2) {
        const unsigned char b = p[0];
        if (!Is_lead_byte(b)) {
            if (b == '\r' && p[1] == '\n') {
                *to++ = '\n';
                p += 2;
            } else {
                to = Put_packed_wide(to, single[b]);
                ++p;
            }
            continue;
        }
        if (const std::uint32_t packed = pair[b << 8 | p[1]]) {
            to = Put_packed_wide(to, packed);
            p += 2;
            continue;
        }
        // A lead byte that begins no character, carried as Decode carries it.
        const bool joined = Trail_index(p[1]) >= 0;
        to = Put_utf8(to, char16_t((joined ? carried_joined_base : carried_base) + b));
        ++p;
    }
    if (p != end) {
        // The last byte: one of its own, or a lead byte cut off.
        if (Is_lead_byte(*p))
            to = Put_utf8(to, char16_t(carried_base + *p));
        else
            to = Put_packed(to, single[*p]);
    }
    out.truncate(at + (to - start));
}

}  // namespace cp932

namespace cp932 {

namespace {

// A byte of its own as a line shows it: line breaks and tabs a blank.
constexpr std::uint32_t Packed_single(unsigned char b)
{
    return b == '\r' || b == '\n' || b == '\t' ? Packed(u' ') : utf8_tables.single[b];
}

// What a character of a day's text is, looked up by its first byte and the
// byte after it: its UTF-8 with each CR LF, CR, LF and tab a blank, packed
// as Utf8_tables packs it (its bytes in the low three bytes, their count in
// bits 24-27), and how many bytes it takes in bits 28-31 (a CR LF two, as
// the text holds one line break for it). A line shown for a day is made
// and counted with one look-up a character; the last byte of the bytes,
// with none after it, is read apart.
constexpr std::array<std::uint32_t, 65536> Make_text_steps()
{
    std::array<std::uint32_t, 65536> step{};
    const Utf8_tables& t = utf8_tables;
    for (int b = 0; b < 256; ++b) {
        const auto lead = static_cast<unsigned char>(b);
        for (int next = 0; next < 256; ++next) {
            const auto trail = static_cast<unsigned char>(next);
            std::uint32_t packed = 0;
            std::uint32_t taken = 1;
            if (!Is_lead_byte(lead)) {
                packed = Packed_single(lead);
                taken = b == '\r' && next == '\n' ? 2 : 1;
            } else if (t.pair[size_t(b << 8 | next)] != 0) {
                packed = t.pair[size_t(b << 8 | next)];
                taken = 2;
            } else {
                // A lead byte that begins no character, carried as Decode
                // carries it.
                const bool joined = Trail_index(trail) >= 0;
                packed = Packed(char16_t((joined ? carried_joined_base : carried_base) + b));
            }
            step[size_t(b << 8 | next)] = (packed & 0x0FFFFFFFu) | taken << 28;
        }
    }
    return step;
}

constexpr std::array<std::uint32_t, 65536> text_steps = Make_text_steps();

// The last byte of the bytes, with no byte after it: one of its own, or a
// lead byte cut off.
std::uint32_t Last_byte_step(unsigned char b)
{
    const std::uint32_t packed =
        Is_lead_byte(b) ? Packed(char16_t(carried_base + b)) : Packed_single(b);
    return packed | 1u << 28;
}

inline std::uint32_t Step_at(const std::uint32_t* steps, const unsigned char* in)
{
    return steps[size_t(in[0]) << 8 | in[1]];
}

}  // namespace

qsizetype Pass_text_characters(QByteArrayView bytes, qsizetype at, qsizetype limit, qsizetype count,
                               qsizetype& passed)
{
    const std::uint32_t* const steps = text_steps.data();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    limit = std::min(limit, n);
    passed = 0;
    // A byte after each character's first: one look-up a character.
    const qsizetype paired = std::min(limit, n - 1);
    while (at < paired && passed < count) {
        at += Step_at(steps, in + at) >> 28;
        ++passed;
    }
    // The last byte of all.
    if (at < limit && passed < count) {
        ++at;
        ++passed;
    }
    return at;
}

qsizetype Append_utf8_blanked(QByteArray& out, QByteArrayView bytes, qsizetype from,
                              qsizetype count)
{
    const std::uint32_t* const steps = text_steps.data();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    count = std::max<qsizetype>(0, count);
    // A character becomes at most three bytes; one more is written past
    // the last.
    const qsizetype at = out.size();
    out.resize(at + 3 * count + 4);
    char* const start = out.data() + at;
    char* o = start;
    qsizetype i = from;
    qsizetype made = 0;
    // A character takes at most two bytes: the first `sure` characters
    // each have a byte after their first, and are made without a check of
    // the end.
    const qsizetype sure = from < n ? std::min(count, (n - from) / 2) : 0;
    for (; made < sure; ++made) {
        const std::uint32_t step = Step_at(steps, in + i);
        o = Put_packed_wide(o, step & 0x0FFFFFFFu);
        i += step >> 28;
    }
    for (; i < n && made < count; ++made) {
        const std::uint32_t step = i + 1 < n ? Step_at(steps, in + i) : Last_byte_step(in[i]);
        o = Put_packed_wide(o, step & 0x0FFFFFFFu);
        i += step >> 28;
    }
    out.truncate(at + (o - start));
    return made;
}

}  // namespace cp932

// Code page 932 codec against Windows' own table (CP932.TXT, read from
// outside the project) and the rules the codec adds on top of it.

#include <QFile>
#include <QtTest>

#include <map>
#include <random>
#include <vector>

#include "platform/cp932.h"

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

QByteArray Code_bytes(unsigned code)
{
    if (code < 0x100)
        return QByteArray(1, char(code));
    QByteArray bytes;
    bytes += char(code >> 8);
    bytes += char(code & 0xFF);
    return bytes;
}

QString Chars(std::initializer_list<char16_t> units)
{
    QString s;
    for (char16_t u : units)
        s.append(QChar(u));
    return s;
}

bool Is_lead(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The code Windows writes for a character that has several: the lowest code
// outside rows ED and EE. Rows ED-EE repeat the extension kanji and symbols
// of rows FA-FC, and lose to them; otherwise the lower code wins, so row 81
// beats the symbol row 87 and rows FA-FC, and row 87 beats rows FA-FC.
unsigned Windows_choice(const std::vector<unsigned>& codes)
{
    unsigned best = 0;
    for (unsigned code : codes) {
        if (code >= 0xED40 && code <= 0xEEFC)
            continue;
        if (best == 0 || code < best)
            best = code;
    }
    return best;
}

// The user-defined area: lead F0-F9, trails 40-7E and 80-FC, row by row.
char16_t User_defined_character(unsigned lead, unsigned trail)
{
    unsigned index = trail <= 0x7E ? trail - 0x40 : trail - 0x41;
    return char16_t(0xE000 + (lead - 0xF0) * 188 + index);
}

bool Is_trail(unsigned t) { return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC); }

}  // namespace

class Test_cp932 : public QObject {
    Q_OBJECT

    std::map<unsigned, char16_t> table;                  // code -> character
    std::map<char16_t, std::vector<unsigned>> codes_of;  // character -> codes

    void Require_table()
    {
        if (table.empty())
            QSKIP("Windows' table CP932.TXT is not at " SORANE_CP932_TABLE
                  " (set SORANE_CP932_TABLE to its path)");
    }

private slots:
    void initTestCase()
    {
        QFile file(QStringLiteral(SORANE_CP932_TABLE));
        if (!file.open(QIODevice::ReadOnly))
            return;
        while (!file.atEnd()) {
            QList<QByteArray> fields = file.readLine().split('\t');
            if (fields.size() < 2 || !fields[0].startsWith("0x") || !fields[1].startsWith("0x"))
                continue;
            bool ok_code = false, ok_char = false;
            unsigned code = fields[0].mid(2).toUInt(&ok_code, 16);
            unsigned c = fields[1].trimmed().mid(2).toUInt(&ok_char, 16);
            QVERIFY(ok_code && ok_char);
            table[code] = char16_t(c);
            codes_of[char16_t(c)].push_back(code);
        }
        // A table that parsed wrongly would make the comparisons below vacuous.
        QCOMPARE(table.size(), size_t(7915));
        QCOMPARE(codes_of.size(), size_t(7517));
    }

    void decodes_every_code_of_windows_table()
    {
        Require_table();
        QByteArray all;
        QString expected;
        for (auto [code, c] : table) {
            auto d = cp932::Decode(Code_bytes(code));
            if (d.text != QString(QChar(c)) || !d.bad_offsets.empty())
                QFAIL(qPrintable(QStringLiteral("code %1 decodes to %2")
                                     .arg(code, 0, 16)
                                     .arg(d.text.isEmpty() ? 0 : d.text[0].unicode(), 0, 16)));
            all += Code_bytes(code);
            expected += QChar(c);
        }
        // The same codes in one run, as a file holds them.
        auto d = cp932::Decode(all);
        QCOMPARE(d.text, expected);
        QVERIFY(d.bad_offsets.empty());
    }

    void reports_every_pair_windows_does_not_have()
    {
        Require_table();
        // Every lead byte with every second byte: a pair in Windows' table
        // or the user-defined area is one character; anything else carries
        // the lead byte and decodes the second byte on its own.
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!Is_lead(lead))
                continue;
            for (unsigned second = 0; second < 0x100; ++second) {
                unsigned code = lead << 8 | second;
                auto d = cp932::Decode(Code_bytes(code));
                bool user_defined = lead >= 0xF0 && lead <= 0xF9 && Is_trail(second);
                if (table.count(code) || user_defined)
                    continue;  // checked elsewhere
                QCOMPARE(d.bad_offsets.size() >= 1, true);
                QCOMPARE(d.bad_offsets[0], qsizetype(0));
                QCOMPARE(d.text[0].unicode(),
                         char16_t((Is_trail(second) ? 0xF600 : 0xF700) + lead));
                QCOMPARE(d.text.mid(1), cp932::Decode_text(QByteArray(1, char(second))));
            }
        }
    }

    void encodes_every_character_of_windows_table()
    {
        Require_table();
        int duplicates = 0;
        for (const auto& [c, codes] : codes_of) {
            unsigned expected = Windows_choice(codes);
            if (codes.size() > 1)
                ++duplicates;
            auto e = cp932::Encode(QString(QChar(c)));
            if (e.bytes != Code_bytes(expected) || !e.Ok())
                QFAIL(qPrintable(QStringLiteral("U+%1 encodes to %2, Windows writes %3")
                                     .arg(unsigned(c), 4, 16, QChar('0'))
                                     .arg(QString::fromLatin1(e.bytes.toHex()))
                                     .arg(expected, 0, 16)));
        }
        QCOMPARE(duplicates, 396);
    }

    void chooses_windows_code_among_duplicates()
    {
        Require_table();
        struct Case {
            char16_t c;
            const char* bytes;
        };
        // Each is a character with two or three codes in the table.
        const Case cases[] = {
            {0x7E8A, "fa5c"},  // ED40 / FA5C: rows ED-EE lose
            {0xFFE2, "81ca"},  // 81CA / EEF9 / FA54
            {0x2252, "81e0"},  // 81E0 / 8790
            {0x2235, "81e6"},  // 81E6 / 879A / FA5B
            {0x2160, "8754"},  // 8754 / FA4A
            {0x2170, "fa40"},  // EEEF / FA40
            {0x2116, "8782"},  // 8782 / FA59
            {0x3231, "878a"},  // 878A / FA58
            {0x2261, "81df"},  // 81DF / 8791
        };
        for (const auto& k : cases) {
            QVERIFY2(codes_of[k.c].size() > 1, "not a duplicate in Windows' table");
            QCOMPARE(cp932::Encode(QString(QChar(k.c))).bytes, Hex(k.bytes));
        }
    }

    void reports_every_character_windows_cannot_write()
    {
        // Everything else in the basic plane is reported: nothing the C
        // library writes one-way (U+00A5 as 5C, say) slips through.
        Require_table();
        QString text;
        for (unsigned c = 0; c < 0x10000; ++c) {
            bool mapped = codes_of.count(char16_t(c)) || (c >= 0xE000 && c <= 0xE757) ||
                          c == 0x80 || (c >= 0xF8F0 && c <= 0xF8F3) || c == 0x301C || c == 0x2212 ||
                          c == 0x2016 || c == 0x2014 || c == 0x203E ||
                          cp932::Is_carried_byte(char16_t(c)) || (c >= 0xD800 && c <= 0xDFFF);
            if (!mapped)
                text += QChar(char16_t(c));
        }
        auto e = cp932::Encode(text);
        QCOMPARE(e.unmappable.size(), size_t(text.size()));
        QCOMPARE(e.bytes, QByteArray(text.size(), '?'));
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (e.unmappable[i].position != i || e.unmappable[i].character != text[i].unicode())
                QFAIL(qPrintable(
                    QStringLiteral("U+%1 reported wrongly").arg(text[i].unicode(), 4, 16)));
        }
    }

    void user_defined_area_and_five_single_bytes_both_ways()
    {
        QCOMPARE(cp932::Decode_text(Hex("f040f07ef080f0fcf140f9fc")),
                 Chars({0xE000, 0xE03E, 0xE03F, 0xE0BB, 0xE0BC, 0xE757}));
        QByteArray all;
        QString expected;
        for (unsigned lead = 0xF0; lead <= 0xF9; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (!Is_trail(trail))
                    continue;
                all += Code_bytes(lead << 8 | trail);
                expected += QChar(User_defined_character(lead, trail));
            }
        }
        QCOMPARE(expected.size(), qsizetype(1880));
        QCOMPARE(expected.back().unicode(), char16_t(0xE757));
        auto d = cp932::Decode(all);
        QCOMPARE(d.text, expected);
        QVERIFY(d.bad_offsets.empty());
        auto e = cp932::Encode(expected);
        QCOMPARE(e.bytes, all);
        QVERIFY(e.Ok());
        // One past the area is not a character of code page 932.
        QVERIFY(!cp932::Encode(Chars({0xE758})).Ok());

        const QByteArray singles = Hex("80a0fdfeff");
        const QString single_chars = Chars({0x0080, 0xF8F0, 0xF8F1, 0xF8F2, 0xF8F3});
        d = cp932::Decode(singles);
        QCOMPARE(d.text, single_chars);
        QVERIFY(d.bad_offsets.empty());
        e = cp932::Encode(single_chars);
        QCOMPARE(e.bytes, singles);
        QVERIFY(e.Ok());
    }

    void control_characters_are_themselves()
    {
        QByteArray bytes;
        for (int b = 0; b < 0x80; ++b)
            bytes += char(b);
        QString text;
        for (int b = 0; b < 0x80; ++b)
            text += QChar(char16_t(b));
        QCOMPARE(cp932::Decode_text(bytes), text);
        QCOMPARE(cp932::Encode(text).bytes, bytes);
        // Half-width katakana are single bytes too.
        QCOMPARE(cp932::Decode_text(Hex("a1dfb1")), Chars({0xFF61, 0xFF9F, 0xFF71}));
    }

    void writes_look_alikes_as_windows_characters_silently()
    {
        // 〜 − ‖ — ‾ as Linux input methods type them.
        auto e = cp932::Encode(Chars({0x301C, 0x2212, 0x2016, 0x2014, 0x203E}));
        QCOMPARE(e.bytes, Hex("8160817c8161815c7e"));
        QVERIFY(e.Ok());
        // They read back as the characters Windows has at those codes.
        QCOMPARE(cp932::Decode_text(e.bytes), Chars({0xFF5E, 0xFF0D, 0x2225, 0x2015, 0x007E}));
    }

    void reports_unmappable_with_positions_and_question_marks()
    {
        // 日 😀 é, a lone high surrogate, あ, a lone low surrogate, 😀 at the end.
        const QString text =
            Chars({0x65E5, 0xD83D, 0xDE00, 0x00E9, 0xD800, 0x3042, 0xDC00, 0xD83D, 0xDE00});
        auto e = cp932::Encode(text);
        QCOMPARE(e.bytes, Hex("93fa"
                              "3f"
                              "3f"
                              "3f"
                              "82a0"
                              "3f"
                              "3f"));
        QVERIFY(!e.Ok());
        QCOMPARE(e.unmappable.size(), size_t(5));
        const std::pair<qsizetype, char32_t> expected[] = {
            {1, 0x1F600}, {3, 0x00E9}, {4, 0xD800}, {6, 0xDC00}, {7, 0x1F600}};
        for (size_t i = 0; i < 5; ++i) {
            QCOMPARE(e.unmappable[i].position, expected[i].first);
            QCOMPARE(e.unmappable[i].character, expected[i].second);
            QCOMPARE(e.unmappable[i].substitute, QByteArray("?"));
        }
        // A high surrogate cut off at the end of the text.
        e = cp932::Encode(Chars({0x0041, 0xD83D}));
        QCOMPARE(e.bytes, QByteArray("A?"));
        QCOMPARE(e.unmappable.size(), size_t(1));
        QCOMPARE(e.unmappable[0].position, qsizetype(1));
        QCOMPARE(e.unmappable[0].character, char32_t(0xD83D));
    }

    void carries_undecodable_bytes_through_the_text()
    {
        struct Case {
            const char* name;
            const char* bytes;
            QString text;
            std::vector<qsizetype> bad;
        };
        const Case cases[] = {
            {"trail byte out of range", "41812042", Chars({0x41, 0xF781, 0x20, 0x42}), {1}},
            {"lead byte at the end", "4182", Chars({0x41, 0xF782}), {1}},
            {"lead byte before CR LF", "880d0a41", Chars({0xF788, 0x0D, 0x0A, 0x41}), {0}},
            {"pair Windows does not have", "8540", Chars({0xF685, 0x40}), {0}},
            {"unassigned pair before a pair", "858140", Chars({0xF685, 0x3000}), {0}},
            {"two stray leads before a letter",
             "85854142",
             Chars({0xF685, 0xF685, 0x41, 0x42}),
             {0, 1}},
            {"two leads at the end", "82a0fcfc", Chars({0x3042, 0xF6FC, 0xF7FC}), {2, 3}},
            {"lead then 7F", "817f", Chars({0xF781, 0x7F}), {0}},
            {"lead then FD", "e0fd", Chars({0xF7E0, 0xF8F1}), {0}},
        };
        for (const auto& k : cases) {
            auto d = cp932::Decode(Hex(k.bytes));
            QVERIFY2(d.text == k.text, k.name);
            QVERIFY2(d.bad_offsets == k.bad, k.name);
            qsizetype carried = 0;
            for (QChar c : d.text)
                carried += cp932::Is_carried_byte(c.unicode()) ? 1 : 0;
            QVERIFY2(carried == qsizetype(k.bad.size()), k.name);
            auto e = cp932::Encode(d.text);
            QVERIFY2(e.bytes == Hex(k.bytes), k.name);
            QVERIFY2(e.Ok(), k.name);
        }
        QVERIFY(cp932::Is_carried_byte(0xF781));
        QVERIFY(cp932::Is_carried_byte(0xF79F));
        QVERIFY(cp932::Is_carried_byte(0xF7E0));
        QVERIFY(cp932::Is_carried_byte(0xF7FC));
        QVERIFY(!cp932::Is_carried_byte(0xF780));
        QVERIFY(!cp932::Is_carried_byte(0xF7A0));
        QVERIFY(!cp932::Is_carried_byte(0xF7DF));
        QVERIFY(!cp932::Is_carried_byte(0xF7FD));
        QVERIFY(!cp932::Is_carried_byte(0x0081));
        QVERIFY(cp932::Is_carried_byte(0xF685));
        QVERIFY(!cp932::Is_carried_byte(0xF6A0));
        // Private-use characters next to the carried ones are not written as bytes.
        QVERIFY(!cp932::Encode(Chars({0xF741})).Ok());
        QVERIFY(!cp932::Encode(Chars({0xF641})).Ok());
    }

    void typed_carried_characters_are_unmappable_where_they_would_not_read_back()
    {
        struct Case {
            const char* name;
            QString text;
            QByteArray bytes;
            std::vector<qsizetype> reported;
        };
        const Case cases[] = {
            // 82 41 reads back as U+F682 "A": the typed U+F782 is not written as 82.
            {"lone-lead form before a letter", Chars({0xF782, 0x41}), QByteArray("?A"), {0}},
            {"lone-lead form before kana",
             Chars({0x41, 0xF785, 0xFF71}),
             QByteArray("A?\xb1"),
             {1}},
            {"lone-lead form before a pair", Chars({0xF785, 0x3042}), Hex("3f82a0"), {0}},
            {"lone-lead form before a carried byte", Chars({0xF785, 0xF785}), Hex("3f85"), {0}},
            {"joined form at the end", Chars({0x41, 0xF682}), QByteArray("A?"), {1}},
            {"joined form before CR LF", Chars({0xF682, 0x0D, 0x0A}), Hex("3f0d0a"), {0}},
            {"joined form before an unmappable", Chars({0xF682, 0x00E9}), QByteArray("??"), {0, 1}},
            // A joined form before one that becomes "?" is followed by "?": it goes too.
            {"joined forms before an unmappable",
             Chars({0xF687, 0xF6F6, 0x00E9}),
             QByteArray("???"),
             {0, 1, 2}},
            {"joined form before a joined form at the end",
             Chars({0x41, 0xF685, 0xF685}),
             QByteArray("A??"),
             {1, 2}},
            {"lone form ends the run",
             Chars({0xF685, 0xF785, 0x20, 0xF685, 0x41}),
             Hex("85852085 41"),
             {}},
            // Where the bytes read back as the same text, they are written.
            {"lone-lead form at the end", Chars({0x41, 0xF782}), Hex("4182"), {}},
            {"lone-lead form before a blank", Chars({0xF782, 0x20}), Hex("8220"), {}},
            {"joined form before a letter", Chars({0xF685, 0x41}), Hex("8541"), {}},
        };
        for (const auto& k : cases) {
            const auto e = cp932::Encode(k.text);
            QVERIFY2(e.bytes == k.bytes, k.name);
            std::vector<qsizetype> reported;
            for (const auto& u : e.unmappable)
                reported.push_back(u.position);
            QVERIFY2(reported == k.reported, k.name);
            for (const auto& u : e.unmappable)
                QVERIFY2(u.character == char32_t(k.text[u.position].unicode()), k.name);
            if (e.Ok())
                QVERIFY2(cp932::Decode_text(e.bytes) == k.text, k.name);
        }
    }

    void carried_byte_never_joins_the_next_character()
    {
        // 84 FA is no pair, FA4A is Ⅰ. Ⅰ is normally written 8754, but
        // 84 87 is a pair (a Cyrillic letter): the code the file had is kept.
        auto d = cp932::Decode(Hex("84fa4a"));
        QCOMPARE(d.text, Chars({0xF684, 0x2160}));
        auto e = cp932::Encode(d.text);
        QCOMPARE(e.bytes, Hex("84fa4a"));
        QVERIFY(e.Ok());

        // After editing, a carried byte may stand before a character it would
        // join with whatever code is used: it is reported and written as "?",
        // so the character after it survives.
        e = cp932::Encode(Chars({0x41, 0xF784, 0x41}));
        QCOMPARE(e.bytes, QByteArray("A?A"));
        QCOMPARE(e.unmappable.size(), size_t(1));
        QCOMPARE(e.unmappable[0].position, qsizetype(1));
        QCOMPARE(e.unmappable[0].character, char32_t(0xF784));
        QCOMPARE(e.unmappable[0].substitute, QByteArray("?"));
        // Two carried bytes that would make 8181 (＝).
        e = cp932::Encode(Chars({0xF781, 0xF781, 0x20}));
        QCOMPARE(e.bytes, Hex("3f8120"));
        QCOMPARE(e.unmappable.size(), size_t(1));
        QCOMPARE(e.unmappable[0].position, qsizetype(0));

        // Every lead byte before every code of a character that has several.
        std::map<char16_t, std::vector<unsigned>> codes;
        for (unsigned code = 0x8140; code <= 0xFCFC; ++code) {
            auto p = cp932::Decode(Code_bytes(code));
            if (p.bad_offsets.empty())
                codes[p.text[0].unicode()].push_back(code);
        }
        int checked = 0;
        for (const auto& [c, list] : codes) {
            if (list.size() < 2)
                continue;
            for (unsigned code : list) {
                for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
                    if (!Is_lead(lead))
                        continue;
                    QByteArray bytes = QByteArray(1, char(lead)) + Code_bytes(code);
                    auto first = cp932::Decode(bytes);
                    if (first.bad_offsets != std::vector<qsizetype>{0})
                        continue;
                    auto again = cp932::Encode(first.text);
                    QVERIFY(again.Ok());
                    QCOMPARE(cp932::Decode_text(again.bytes), first.text);
                    ++checked;
                }
            }
        }
        QVERIFY(checked > 10000);
    }

    void random_bytes_round_trip()
    {
        std::mt19937 random(932);
        // Leads of the codes Windows does not write for their character
        // (87, ED, EE, FA): without them the bytes come back unchanged, not
        // only the text.
        auto has_duplicate_lead = [](const QByteArray& b) {
            for (char x : b) {
                auto u = static_cast<unsigned char>(x);
                if (u == 0x87 || u == 0xED || u == 0xEE || u == 0xFA)
                    return true;
            }
            return false;
        };
        int identical = 0;
        for (int round = 0; round < 20000; ++round) {
            QByteArray bytes(int(random() % 48), '\0');
            for (char& b : bytes)
                b = char(random() & 0xFF);
            auto d = cp932::Decode(bytes);
            auto e = cp932::Encode(d.text);
            QVERIFY2(e.Ok(), bytes.toHex().constData());
            QCOMPARE(e.bytes.size(), bytes.size());
            auto again = cp932::Decode(e.bytes);
            QVERIFY2(again.text == d.text, bytes.toHex().constData());
            QVERIFY2(again.bad_offsets == d.bad_offsets, bytes.toHex().constData());
            // Writing what was read is stable.
            QCOMPARE(cp932::Encode(again.text).bytes, e.bytes);
            if (!has_duplicate_lead(bytes)) {
                QVERIFY2(e.bytes == bytes, bytes.toHex().constData());
                ++identical;
            }
        }
        QVERIFY(identical > 1000);
    }

    // The UTF-8 made straight from the bytes is the text's UTF-8, byte for
    // byte: every single byte, every lead byte with every byte after it
    // (the NEC and IBM rows, the user-defined area, pairs that are no
    // character), a lead byte at the end, all of them run together, and
    // random bytes.
    void decodes_straight_to_the_utf8_of_the_text()
    {
        auto same = [](const QByteArray& bytes) {
            return cp932::Decode_utf8(bytes) == cp932::Decode_text(bytes).toUtf8();
        };
        QByteArray all;
        for (int b = 0; b < 256; ++b) {
            const QByteArray one(1, char(b));
            QVERIFY2(same(one), one.toHex().constData());
            all += one;
            for (int trail = 0; b >= 0x81 && trail < 256; ++trail) {
                const QByteArray pair{char(b), char(trail)};
                QVERIFY2(same(pair), pair.toHex().constData());
                all += pair;
            }
        }
        QVERIFY(same(all));
        QVERIFY(same(all.mid(1)));
        QVERIFY(same(QByteArray()));
        QCOMPARE(cp932::Decode_utf8("\x87\x40\xed\x40\xfa\x40\xf0\x40\x82\x0d\x0a"),
                 QByteArray("\xe2\x91\xa0\xe7\xba\x8a\xe2\x85\xb0\xee\x80\x80"
                            "\xef\x9e\x82\r\n"));
        std::mt19937 random(65001);
        for (int round = 0; round < 20000; ++round) {
            QByteArray bytes(int(random() % 48), '\0');
            for (char& b : bytes)
                b = char(random() & 0xFF);
            QVERIFY2(same(bytes), bytes.toHex().constData());
        }
    }

    void appends_the_utf8_of_the_text_with_lf_for_cr_lf()
    {
        // After what the buffer holds already, as a year's file grows.
        auto same = [](const QByteArray& bytes) {
            QByteArray out = "# 前\n";
            cp932::Append_utf8_lf(out, bytes);
            return out == "# 前\n" + cp932::Decode_text(bytes)
                                         .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                         .toUtf8();
        };
        QByteArray all;
        for (int b = 0; b < 256; ++b) {
            for (const char next : {'\0', '\r', '\n', 'A', char(0x40), char(0x7F), char(0x80),
                                    char(0x9F), char(0xA0), char(0xFC), char(0xFD)}) {
                const QByteArray pair{char(b), next};
                QVERIFY2(same(pair), pair.toHex().constData());
                QVERIFY2(same(pair + "\r\n"), pair.toHex().constData());
            }
            for (int trail = 0; b >= 0x81 && trail < 256; ++trail)
                all += QByteArray{char(b), char(trail)};
            all += char(b);
        }
        QVERIFY(same(all));
        QVERIFY(same(all.mid(1)));
        QVERIFY(same(QByteArray()));
        // CR LF is one line end even after a CR or a stray lead byte; a CR
        // of its own, first or last, stays.
        QByteArray out;
        cp932::Append_utf8_lf(out, "\r\r\n\x82\r\n\x82\n\r\xe9\r");
        QCOMPARE(out, QByteArray("\r\n\xef\x9e\x82\n\xef\x9e\x82\n\r\xef\x9f\xa9\r"));
        std::mt19937 random(932);
        const char common[] = {'\r', '\n', char(0x82), char(0xA0), 'a', char(0x88)};
        for (int round = 0; round < 20000; ++round) {
            QByteArray bytes(int(random() % 48), '\0');
            for (char& b : bytes)
                b = random() % 2 ? common[random() % sizeof common] : char(random() & 0xFF);
            QVERIFY2(same(bytes), bytes.toHex().constData());
        }
    }
};

QTEST_GUILESS_MAIN(Test_cp932)
#include "test_cp932.moc"

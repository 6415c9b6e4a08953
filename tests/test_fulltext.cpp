// The full-text search: Japanese folding, the index against a plain scan of
// the files over a generated diary, the index following changes on disk,
// a damaged or deleted cache, and the command line's output and exit codes.

#include "fulltext/day_line.h"
#include "fulltext/fold.h"
#include "fulltext/fulltext.h"
#include "fulltext/in_order.h"
#include "fulltext/listing.h"
#include "fulltext/scan.h"
#include "fulltext/search_command.h"
#include "fulltext/tokenizer.h"
#include "platform/cp932.h"
#include "store/exact_text.h"
#include "store/store.h"
#include "support/temp_folder.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QTextStream>
#include <QtTest>
#include <functional>
#include <numeric>
#include <random>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList Dates_of(const Fulltext_result& result)
{
    QStringList dates;
    for (const Fulltext_hit& hit : result.hits)
        dates << QStringLiteral("%1 %2 %3").arg(hit.date).arg(int(hit.memory)).arg(hit.memo);
    return dates;
}

// The pieces a generated day is made of: the forms that folding makes one
// (width, case, kana kind, half-width katakana with voicing marks) and
// characters that are easy to find by accident.
const char16_t* const Pieces[] = {
    u"鍋",    u"料理",     u"鍋料理", u"ＡＢＣ", u"abc",  u"Abc", u"ｶﾀｶﾅ", u"カタカナ", u"かたかな",
    u"ｶﾞｲﾄﾞ", u"ガイド",   u"がいど", u"１２３", u"123",  u"の",  u"。",   u"\n",       u"　",
    u" ",     u"\"引用\"", u"ﾊﾟﾝ",    u"パン",   u"ぱん", u"雨",  u"散歩", u"ＮＨＫ",   u"nhk",
};

QString Random_text(std::mt19937& random, int pieces)
{
    std::uniform_int_distribution<int> pick(0, int(std::size(Pieces)) - 1);
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += QString::fromUtf16(Pieces[pick(random)]);
    return text;
}

void Write_day(Diary_store& store, const QDate& d, const QString& text)
{
    QVERIFY(store.Ensure_year_folder(d.year()).Ok());
    QVERIFY(store.Write_text_file(store.Day_file_path(d.year(), d.month(), d.day()), text).Ok());
}

// A few years of days: most with a file and a record, some with a file
// only, some with a record only (a memo and no text).
void Generate_diary(Diary_store& store, int first_year, int years, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> length(0, 12);
    for (int year = first_year; year < first_year + years; ++year) {
        QVERIFY(store.Ensure_year_folder(year).Ok());
        QByteArray index;
        for (QDate d(year, 1, 1); d.year() == year; d = d.addDays(3)) {
            const int k = kind(random);
            if (k == 0)
                continue;
            if (k != 1)
                Write_day(store, d, Random_text(random, length(random)));
            if (k != 2) {
                const QString line = Diary_store::Date_key(year, d.month(), d.day()) +
                                     (k % 3 == 0 ? QStringLiteral("1") : QStringLiteral("0")) +
                                     Random_text(random, 2).remove(u'\n');
                index += cp932::Encode(line).bytes + "\r\n";
            }
        }
        QVERIFY(Write_bytes(store.Keyword_file_path(year), index));
    }
}

// True when the index answered the search, with the days expected. A
// search answered otherwise must have found them all the same.
bool Answered_by_index(Fulltext_index& index, const Fulltext_search& search,
                       const QStringList& expected)
{
    const Fulltext_result result = index.Search(search);
    if (Dates_of(result) != expected)
        qFatal("a search missed days");
    return !result.scanned;
}

const QStringList Queries = {
    QStringLiteral("鍋"),         QStringLiteral("の"),       QStringLiteral("料理"),
    QStringLiteral("鍋料理"),     QStringLiteral("abc"),      QStringLiteral("ＡＢＣ"),
    QStringLiteral("ｶﾀｶﾅ"),       QStringLiteral("カタカナ"), QStringLiteral("かたかな"),
    QStringLiteral("ガイド"),     QStringLiteral("ｶﾞｲﾄﾞ"),    QStringLiteral("パン 雨"),
    QStringLiteral("123 nhk"),    QStringLiteral("\"引用\""), QStringLiteral("散歩　鍋　の"),
    QStringLiteral("。\n"),       QStringLiteral("ナ。"),     QStringLiteral("理鍋料理"),
    QStringLiteral("存在しない"), QStringLiteral("c1"),       QStringLiteral("ぱんパン"),
};

}  // namespace

class Test_fulltext : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        diary = std::make_unique<Temp_folder>();
        cache = std::make_unique<Temp_folder>();
        QVERIFY(diary->Ok() && cache->Ok());
        store = std::make_unique<Diary_store>(diary->Path());
    }

    void Folding_makes_the_forms_of_a_character_one()
    {
        const Fold_options on{true, true, true};
        QCOMPARE(Fold(u"ＡＢＣ１２３", Fold_options{}), QStringLiteral("abc123"));
        QCOMPARE(Fold(u"ｶﾀｶﾅ", Fold_options{}), QStringLiteral("カタカナ"));
        QCOMPARE(Fold(u"ｶﾞｷﾞﾊﾟﾎﾟｳﾞﾂﾞ", Fold_options{}), QStringLiteral("ガギパポヴヅ"));
        // A voicing mark after a kana that takes none stays a mark.
        QCOMPARE(Fold(u"ｱﾞ", Fold_options{}), QStringLiteral("ア゛"));
        QCOMPARE(Fold(u"「ｶﾚｰ｣、ﾃｽﾄ｡", Fold_options{}), QStringLiteral("「カレー」、テスト。"));
        QCOMPARE(Fold(u"ABC　Ｘ", Fold_options{}), QStringLiteral("abc x"));
        // Hiragana and katakana stay apart unless asked.
        QCOMPARE(Fold(u"ひらがな", Fold_options{}), QStringLiteral("ひらがな"));
        QCOMPARE(Fold(u"ひらがなゝ", on), QStringLiteral("ヒラガナヽ"));
        QCOMPARE(Fold(u"ｶﾞ", on), Fold(u"が", on));
        // Each option alone.
        QCOMPARE(Fold(u"ＡＢＣ", Fold_options{false, true, false}), QStringLiteral("ａｂｃ"));
        QCOMPARE(Fold(u"ＡＢＣ", Fold_options{true, false, false}), QStringLiteral("ABC"));
        QCOMPARE(Fold(u"ｶﾀｶﾅ", Fold_options{false, false, false}), QStringLiteral("ｶﾀｶﾅ"));
        // A character outside the basic plane passes whole.
        QCOMPARE(Fold(u"𠮷Ａ", Fold_options{}), QStringLiteral("𠮷a"));
    }

    void Case_folds_every_character_as_the_unicode_table_does()
    {
        const Fold_options case_only{false, true, false};
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const QString one = QChar(char16_t(c));
            const QChar expected(char16_t(QChar::toLower(c)));
            if (Fold(one, case_only) != QString(expected) ||
                Fold_mapped(one, case_only).text != QString(expected))
                QFAIL(qPrintable(QStringLiteral("U+%1").arg(quint32(c), 4, 16, QLatin1Char('0'))));
        }
    }

    void Folded_positions_lead_back_to_the_original()
    {
        const Folded_text folded = Fold_mapped(u"aｶﾞＢ", Fold_options{});
        QCOMPARE(folded.text, QStringLiteral("aガb"));
        QCOMPARE(folded.origin, (std::vector<qsizetype>{0, 1, 3, 4}));
        // The mark covers both half-width characters of the word found.
        const Snippet snippet =
            Snippet_of(u"今日はｶﾞｲﾄﾞと\n鍋", {QStringLiteral("ガイド")}, Fold_options{});
        QCOMPARE(snippet.text, QStringLiteral("今日はｶﾞｲﾄﾞと 鍋"));
        QCOMPARE(snippet.marks.size(), 1);
        QCOMPARE(snippet.marks[0].start, 3);
        QCOMPARE(snippet.marks[0].length, 5);
    }

    void A_long_text_gives_the_line_its_whole_folding_gives()
    {
        // The line worked out here from the marks of the whole text.
        const auto expected = [](const QString& text, const QStringList& words,
                                 const Fold_options& options) {
            const Snippet all = Marked(text, words, options);
            qsizetype from =
                all.marks.isEmpty() ? 0 : std::max<qsizetype>(0, all.marks[0].start - 16);
            from = std::max<qsizetype>(0, std::min(from, text.size() - 80));
            if (from > 0 && text[from].isLowSurrogate())
                --from;
            QString line = text.mid(from, 80);
            for (const char16_t c : {u'\n', u'\r', u'\t'})
                line.replace(QChar(c), u' ');
            QStringList marks;
            for (const Snippet::Mark& mark : all.marks) {
                const qsizetype start = std::max(mark.start, from);
                const qsizetype end = std::min(mark.start + mark.length, from + 80);
                if (start < end)
                    marks << QStringLiteral("%1+%2").arg(start - from).arg(end - start);
            }
            return line + u'|' + marks.join(u',');
        };
        const auto made = [](const Snippet& snippet) {
            QStringList marks;
            for (const Snippet::Mark& mark : snippet.marks)
                marks << QStringLiteral("%1+%2").arg(mark.start).arg(mark.length);
            return snippet.text + u'|' + marks.join(u',');
        };
        // A line that ends where the folding first stops, with a word
        // across that end.
        for (const qsizetype end : {qsizetype(128), qsizetype(512), qsizetype(2048)}) {
            for (qsizetype second = end - 8; second <= end + 2; ++second) {
                QString text(4000, u'あ');
                text.replace(end - 80 + 16, 4, QStringLiteral("ｶﾞｲﾄﾞ").left(4));
                text.replace(second, 5, QStringLiteral("ｶﾞｲﾄﾞ"));
                const QStringList words = Search_words(u"ガイ", Fold_options{});
                QCOMPARE(made(Snippet_of(text, words, Fold_options{})),
                         expected(text, words, Fold_options{}));
            }
        }
        // Words at every place around the lengths folded first, parted
        // voicing marks, a word twice across the line's end, none at all.
        std::mt19937 random(31);
        for (int round = 0; round < 400; ++round) {
            const int size = std::uniform_int_distribution<int>(0, 9000)(random);
            QString text = Random_text(random, 1 + size / 3).left(size);
            const int at = std::uniform_int_distribution<int>(0, int(text.size()))(random);
            const QString word = round % 3 == 0   ? QStringLiteral("ｶﾞｲﾄﾞ")
                                 : round % 3 == 1 ? QStringLiteral("ＡＢＣ鍋")
                                                  : QStringLiteral("存在しない");
            if (round % 5 != 0)
                text.insert(at, word + QStringLiteral("あいう") + word);
            for (const Fold_options& options : {Fold_options{}, Fold_options{true, true, true}}) {
                const QStringList words = Search_words(word, options);
                QCOMPARE(made(Snippet_of(text, words, options)), expected(text, words, options));
            }
        }
    }

    void A_line_made_from_the_bytes_around_the_word_is_the_whole_texts()
    {
        const auto made = [](const Snippet& snippet) {
            QStringList marks;
            for (const Snippet::Mark& mark : snippet.marks)
                marks << QStringLiteral("%1+%2").arg(mark.start).arg(mark.length);
            return snippet.text + u'|' + marks.join(u',');
        };
        // 纊 is written as FA5C and also read from ED40: found only in the
        // whole text.
        const QByteArray other_code("\xED\x40");
        QCOMPARE(cp932::Decode_text(other_code), QStringLiteral("纊"));
        const QList<std::pair<QString, Fold_options>> searches{
            {QStringLiteral("鍋"), Fold_options{}},
            {QStringLiteral("料理 雨"), Fold_options{}},
            {QStringLiteral("の"), Fold_options{}},
            {QStringLiteral("の"), Fold_options{true, true, true}},
            {QStringLiteral("纊"), Fold_options{}},
            {QStringLiteral("ガイド"), Fold_options{}},
            {QStringLiteral("カタカナ の"), Fold_options{false, true, false}},
        };
        QCOMPARE(Line_words_of(Search_words(u"料理 雨", Fold_options{}), Fold_options{}).bytes,
                 (std::vector<QByteArray>{cp932::Encode(u"料理").bytes, "\x89\x4A"}));
        for (const char16_t* word : {u"纊", u"ガイド。", u"abc"})
            QVERIFY(Line_words_of({QString::fromUtf16(word)}, Fold_options{}).bytes.empty());
        QVERIFY(Line_words_of({QStringLiteral("ガイド")}, Fold_options{}).katakana);
        QVERIFY(
            Line_words_of({QStringLiteral("の")}, Fold_options{true, true, true}).bytes.empty());
        // Bytes of every kind: the words' own, any byte (a second byte
        // before a word's bytes, a stray first byte), line breaks, the
        // other code of 纊, at any place and length; a hit at the start,
        // past the first folding's end and in the last line.
        std::mt19937 random(53);
        for (int round = 0; round < 2500; ++round) {
            QByteArray bytes;
            const int pieces =
                std::uniform_int_distribution<int>(0, round % 8 == 0 ? 3000 : 120)(random);
            for (int i = 0; i < pieces; ++i) {
                switch (std::uniform_int_distribution<int>(0, 9)(random)) {
                case 0: bytes += cp932::Encode(u"鍋").bytes; break;
                case 1: bytes += cp932::Encode(u"料理の雨").bytes; break;
                case 2: bytes += "\r\n"; break;
                case 3: bytes += "\r\t"; break;
                case 4: bytes += other_code; break;
                case 5:
                    bytes += char(std::uniform_int_distribution<int>(0x81, 0xFC)(random));
                    break;
                default: bytes += cp932::Encode(Random_text(random, 1)).bytes; break;
                }
            }
            if (round % 3 == 0)
                bytes += "\r\n";
            for (const auto& [typed, options] : searches) {
                const QStringList words = Search_words(typed, options);
                QCOMPARE(made(Line_of_day_bytes(bytes, Line_words_of(words, options), options)),
                         made(Snippet_of(Diary_store::Text_of_file(bytes), words, options)));
                // The scan passes over a day on the bytes' word alone, and
                // makes its line from the place it found the words.
                const Line_words line_words = Line_words_of(words, options);
                if (Bytes_decide_text(line_words, bytes)) {
                    qsizetype first = -1;
                    for (const QByteArray& word : line_words.bytes)
                        if (const qsizetype at = Word_in_bytes_at(bytes, word); at >= 0)
                            first = first < 0 ? at : std::min(first, at);
                    QCOMPARE(made(Line_of_day_bytes_at(bytes, first, line_words, options)),
                             made(Snippet_of(Diary_store::Text_of_file(bytes), words, options)));
                }
                if (Bytes_decide(line_words, bytes))
                    for (size_t i = 0; i < line_words.bytes.size(); ++i)
                        QCOMPARE(Bytes_hold_word(bytes, line_words.bytes[i]),
                                 Fold(Diary_store::Text_of_file(bytes), options)
                                     .contains(words[qsizetype(i)]));
            }
        }
    }

    void A_printed_line_made_from_the_bytes_is_the_whole_texts_line()
    {
        // Windows cut at a line break, CR LF split at the edge, a two-byte
        // character or a stray first byte at either edge, half-width
        // katakana, the word in the first or last characters.
        std::mt19937 random(71);
        const QList<QByteArray> pieces{cp932::Encode(u"鍋").bytes,
                                       cp932::Encode(u"料理の雨").bytes,
                                       "\r\n",
                                       "\r",
                                       "\n",
                                       "\t",
                                       "\r\r\n",
                                       "\xB6\xDE",
                                       "a",
                                       cp932::Encode(u"ガイドの").bytes};
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            const int count =
                std::uniform_int_distribution<int>(0, round % 10 == 0 ? 400 : 90)(random);
            for (int i = 0; i < count; ++i) {
                const int k = std::uniform_int_distribution<int>(0, 12)(random);
                if (k < pieces.size())
                    bytes += pieces[k];
                else
                    bytes += char(std::uniform_int_distribution<int>(0x81, 0xFC)(random));
            }
            bytes += QList<QByteArray>{"", "\r\n", "\n", "\r"}[round % 4];
            for (const char16_t* typed : {u"鍋", u"料理 雨", u"の", u"ガイド"}) {
                const QStringList words = Search_words(QStringView(typed), Fold_options{});
                const Line_words line_words = Line_words_of(words, Fold_options{});
                if (!Bytes_decide_text(line_words, bytes))
                    continue;
                qsizetype first = -1;
                for (const QByteArray& word : line_words.bytes)
                    if (const qsizetype at = Word_in_bytes_at(bytes, word); at >= 0)
                        first = first < 0 ? at : std::min(first, at);
                if (first < 0)
                    continue;
                QByteArray line("kept");
                Append_printed_line_at(line, bytes, first);
                QCOMPARE(line, "kept" + Snippet_of(Diary_store::Text_of_file(bytes), words,
                                                   Fold_options{})
                                            .text.toUtf8());
            }
        }
    }

    void The_command_line_without_an_index_prints_the_lines_of_the_plain_scans_snippets()
    {
        // Days found in the bytes, by their memos alone, through a
        // companion, with half-width katakana: the lines the snippets give.
        Generate_diary(*store, 2020, 3, 83);
        QVERIFY(store->Ensure_year_folder(2023).Ok());
        QVERIFY(Write_bytes(
            store->Day_file_path(2023, 1, 1),
            cp932::Encode(QStringLiteral("鍋🎂") + QString(70, u'の') + u'鍋').bytes + "\r\n"));
        QVERIFY(Write_bytes(store->Keyword_file_path(2023),
                            cp932::Encode(u"2023/01/010料理?\r\n2023/01/021料理の鍋\r\n").bytes));
        QVERIFY(Write_bytes(Companion_path(store->Day_file_path(2023, 1, 1)),
                            (QStringLiteral("料理🍲\n鍋🎂") + QString(70, u'の') + u'鍋').toUtf8()));
        for (const QString& typed : Queries) {
            Fulltext_search search{typed, 0, 9999, false};
            search.snippets = true;
            const Fulltext_result scanned = Scan_diary(diary->Path(), search, Fold_options{});
            QString expected;
            for (const Fulltext_hit& hit : scanned.hits)
                expected +=
                    Diary_store::Date_key(hit.date / 10000, hit.date / 100 % 100, hit.date % 100) +
                    u'\t' +
                    (hit.snippet->marks.isEmpty() && !hit.memo.isEmpty()
                         ? Marked(hit.memo, scanned.words, {})
                         : *hit.snippet)
                        .text +
                    u'\n';
            QString out;
            QString err;
            QTextStream out_stream(&out);
            QTextStream err_stream(&err);
            Run_search_command({"sorane", "--search", typed}, diary->Path(), cache->Path(),
                               out_stream, err_stream);
            QCOMPARE(err, QString());
            QCOMPARE(out, expected);
        }
    }

    void A_year_folders_names_say_its_day_files_and_index_as_the_listing_does()
    {
        const QString year = diary->Path() + QStringLiteral("/2026/");
        QVERIFY(QDir().mkpath(year));
        for (const char* name :
             {"0101.txt", "0102.TXT", "0103.Txt", "0230.txt", "1301.txt", "0000.txt",
              "0104.utf8.txt", "0105 (1).txt", "0106.sync-conflict-20261209-101010-ABCDEFG.txt",
              "01070.txt", "keyword.txt", "keyword (1).txt"})
            QVERIFY(Write_bytes(year + QLatin1String(name), "x"));
        Year_names names;
        QVERIFY(Read_year_names(QFile::encodeName(year.chopped(1)), names));
        QList<int> dates;
        for (int slot = 0; slot < Year_day_slots; ++slot)
            if (names.day_files[size_t(slot)])
                dates << Date_of_slot(2026, slot);
        QCOMPARE(dates, (QList<int>{20260101, 20260102, 20260103, 20260230}));
        // Only a regular file under the lower-case name is read the short way.
        QCOMPARE(names.plain_day_files,
                 names.day_files & ~std::bitset<Year_day_slots>().set(1).set(2));
        // Only the name a companion is read under counts as one.
        for (const char* name : {"0105.utf8.txt", "0106.UTF8.txt", "0107.utf8.new.txt",
                                 "1301.utf8.txt", "0108 (1).utf8.txt"})
            QVERIFY(Write_bytes(year + QLatin1String(name), "x"));
        QVERIFY(Read_year_names(QFile::encodeName(year.chopped(1)), names));
        QList<int> companions;
        for (int slot = 0; slot < Year_day_slots; ++slot)
            if (names.companions[size_t(slot)])
                companions << Date_of_slot(2026, slot);
        QCOMPARE(companions, (QList<int>{20260104, 20260105}));
        const QSet<int> listed = *Day_dates_in_year(diary->Path() + u'/', 2026);
        QCOMPARE(QSet<int>(dates.cbegin(), dates.cend()), listed);
        QVERIFY(names.index && names.lower_index);
        // An index under its upper-case name only; then nothing of a day.
        QVERIFY(QFile::rename(year + QStringLiteral("keyword.txt"),
                              year + QStringLiteral("KEYWORD.TXT")));
        QVERIFY(Read_year_names(QFile::encodeName(year.chopped(1)), names));
        QVERIFY(names.index && !names.lower_index);
        for (const char* name : {"0101.txt", "0102.TXT", "0103.Txt", "0230.txt", "KEYWORD.TXT"})
            QVERIFY(QFile::remove(year + QLatin1String(name)));
        QVERIFY(!Read_year_names(QFile::encodeName(year.chopped(1)), names));
        QVERIFY(!Read_year_names(QFile::encodeName(diary->File("1999")), names));
    }

    void A_word_in_a_memo_alone_is_found_in_its_bytes_its_folded_text_or_its_companion()
    {
        const auto sjis = [](const char16_t* text) { return cp932::Encode(text).bytes; };
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        for (int day = 1; day <= 5; ++day)
            QVERIFY(Write_bytes(store->Day_file_path(2026, 1, day), sjis(u"晴れ") + "\r\n"));
        QVERIFY(Write_bytes(store->Keyword_file_path(2026),
                            "2026/01/010" + sjis(u"ガイドの鍋") + "\r\n2026/01/021" +
                                sjis(u"ｶﾞｲﾄﾞ") + "\r\n2026/01/030" + sjis(u"ガイド?") +
                                "\r\n2026/01/04" + sjis(u"＊ガイド") + "\r\n2026/01/050" +
                                sjis(u"ガイ") + "\r\n"));
        QVERIFY(Write_bytes(Companion_path(store->Day_file_path(2026, 1, 3)),
                            QStringLiteral("ガイド🍲\n晴れ").toUtf8()));
        Fulltext_search search{QStringLiteral("ガイド"), 0, 9999, false};
        search.snippets = search.printed_lines = true;
        const Fulltext_result found = Scan_diary(diary->Path(), search, Fold_options{});
        QCOMPARE(Dates_of(found), (QStringList{QStringLiteral("20260101 0 ガイドの鍋"),
                                               QStringLiteral("20260102 1 ｶﾞｲﾄﾞ"),
                                               QStringLiteral("20260103 0 ガイド🍲"),
                                               QStringLiteral("20260104 0 ガイド")}));
        // Their lines are the memos, as the text holds no word.
        for (const Fulltext_hit& hit : found.hits)
            QVERIFY(hit.line_at < 0 && hit.snippet && hit.snippet->marks.isEmpty());
    }

    void Snippets_start_near_the_first_word_and_mark_every_word()
    {
        const QString text =
            QString(100, u'あ') + QStringLiteral("鍋を食べた。鍋") + QString(100, u'い');
        const Snippet snippet =
            Snippet_of(text, {QStringLiteral("鍋"), QStringLiteral("食べ")}, Fold_options{}, 5, 20);
        QCOMPARE(snippet.text, QStringLiteral("あああああ鍋を食べた。鍋いいいいいいいい"));
        QCOMPARE(snippet.marks.size(), 3);
        QCOMPARE(snippet.marks[0].start, 5);
        QCOMPARE(snippet.marks[1].start, 7);
        QCOMPARE(snippet.marks[1].length, 2);
        QCOMPARE(snippet.marks[2].start, 11);
        // No word: the beginning of the text.
        QCOMPARE(Snippet_of(u"晴れ", {QStringLiteral("雨")}, Fold_options{}).text,
                 QStringLiteral("晴れ"));
        QCOMPARE(Search_words(u"  鍋　料理 ", Fold_options{}),
                 (QStringList{QStringLiteral("鍋"), QStringLiteral("料理")}));
    }

    void The_index_finds_what_a_plain_scan_finds()
    {
        Generate_diary(*store, 2024, 3, 7);
        for (const Fold_options& options :
             {Fold_options{}, Fold_options{true, true, true}, Fold_options{false, false, false}}) {
            Fulltext_index index(diary->Path(), cache->Path(), options,
                                 Fulltext_index::Start::Foreground);
            QVERIFY2(index.Unavailable_reason().isEmpty(), qPrintable(index.Unavailable_reason()));
            int found_any = 0;
            for (const QString& query : Queries) {
                for (const bool newest_first : {true, false}) {
                    Fulltext_search search{query, 2024, 2026, newest_first};
                    search.snippets = true;
                    const Fulltext_result indexed = index.Search(search);
                    const Fulltext_result scanned = Scan_diary(diary->Path(), search, options);
                    QVERIFY2(!indexed.scanned, qPrintable(indexed.index_trouble));
                    QCOMPARE(Dates_of(indexed), Dates_of(scanned));
                    // Each line shown, from the index, is the one made from
                    // the day's file as it was read.
                    std::vector<int> dates;
                    for (const Fulltext_hit& hit : indexed.hits)
                        dates.push_back(hit.date);
                    const std::vector<Snippet> lines = index.Snippets_for(dates, indexed.words);
                    for (size_t i = 0; i < lines.size(); ++i) {
                        QVERIFY(scanned.hits[i].snippet);
                        QCOMPARE(lines[i].text, scanned.hits[i].snippet->text);
                        QCOMPARE(lines[i].marks.size(), scanned.hits[i].snippet->marks.size());
                        for (qsizetype m = 0; m < lines[i].marks.size(); ++m)
                            QCOMPARE(std::pair(lines[i].marks[m].start, lines[i].marks[m].length),
                                     std::pair(scanned.hits[i].snippet->marks[m].start,
                                               scanned.hits[i].snippet->marks[m].length));
                    }
                    found_any += indexed.hits.empty() ? 0 : 1;
                }
            }
            // The queries are not all empty-handed.
            QVERIFY(found_any > int(Queries.size()));
        }
        // A range of years.
        Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                             Fulltext_index::Start::Foreground);
        const Fulltext_result one_year = index.Search({QStringLiteral("の"), 2025, 2025, true});
        QVERIFY(!one_year.hits.empty());
        for (const Fulltext_hit& hit : one_year.hits)
            QCOMPARE(hit.date / 10000, 2025);
        QCOMPARE(Dates_of(one_year),
                 Dates_of(Scan_diary(diary->Path(), {QStringLiteral("の"), 2025, 2025, true},
                                     Fold_options{})));
    }

    void A_linked_day_is_named_and_30_February_is_found()
    {
        // A day of the date bars' that the calendar lacks, and a day file
        // that is a link to somebody else's file.
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        QVERIFY(Write_bytes(store->Year_folder(2026) + "/0230.txt", Hex("93 e7 0d 0a")));  // 鍋
        QVERIFY(Write_bytes(diary->File("secret"), Hex("93 e7 94 e9 96 a7 0d 0a")));  // 鍋秘密
        QVERIFY(QFile::link(diary->File("secret"), store->Year_folder(2026) + "/0301.txt"));
        // A day far longer than most, its word only at its end.
        QVERIFY(Write_bytes(store->Year_folder(2026) + "/0302.txt",
                            QByteArray(300 * 1024, 'x') + Hex("0d 0a 93 e7 0d 0a")));
        for (const bool scan : {false, true}) {
            Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                                 Fulltext_index::Start::Foreground);
            const Fulltext_search search{QStringLiteral("鍋"), 0, 9999, false};
            const Fulltext_result result =
                scan ? Scan_diary(diary->Path(), search, Fold_options{}) : index.Search(search);
            QVERIFY2(scan || !result.scanned, qPrintable(result.index_trouble));
            QCOMPARE(Dates_of(result),
                     (QStringList{QStringLiteral("20260230 0 "), QStringLiteral("20260302 0 ")}));
            if (!scan)
                continue;
            QCOMPARE(result.unreadable, 1);
            QCOMPARE(result.first_unreadable.step, Io_step::Link_not_read);
            QCOMPARE(result.first_unreadable.path, store->Year_folder(2026) + "/0301.txt");
        }
    }

    void The_cache_is_the_users_alone_and_no_build_is_left_behind()
    {
        Write_day(*store, QDate(2026, 12, 1), QStringLiteral("鍋"));
        const mode_t old_mask = ::umask(022);
        const auto restore = qScopeGuard([old_mask] { ::umask(old_mask); });
        const QString folder = cache->File("made/sorane");
        const auto all_private = [this, &folder] {
            QStringList loose;
            for (const QString& name : Entries(folder))
                if ((Mode_of(folder + '/' + name) & 0777) != 0600)
                    loose << name;
            if ((Mode_of(folder) & 0777) != 0700 || (Mode_of(cache->File("made")) & 0777) != 0700)
                loose << folder;
            return loose;
        };
        QString path;
        {
            Fulltext_index index(diary->Path(), folder, Fold_options{},
                                 Fulltext_index::Start::Foreground);
            QCOMPARE(Dates_of(index.Search({QStringLiteral("鍋"), 0, 9999, false})).size(), 1);
            path = index.Cache_path();
            QVERIFY(QFileInfo::exists(path));
            QCOMPARE(all_private(), QStringList());
        }
        // A cache an earlier version left open to others is closed to them.
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        // What a killed build left (a process that is gone), and the build
        // of a program still running.
        const QString dead = path + ".2147483646.building";
        const QString live = path + QStringLiteral(".%1.building").arg(::getppid());
        for (const QString& file : {dead, dead + "-journal", live})
            QVERIFY(Write_bytes(file, "鍋"));
        {
            Fulltext_index index(diary->Path(), folder, Fold_options{},
                                 Fulltext_index::Start::Foreground);
            QCOMPARE(Dates_of(index.Search({QStringLiteral("鍋"), 0, 9999, false})).size(), 1);
            QCOMPARE(Mode_of(path) & 0777, 0600);
            QCOMPARE(Mode_of(folder) & 0777, 0700);
        }
        QVERIFY(!QFileInfo::exists(dead) && !QFileInfo::exists(dead + "-journal"));
        QVERIFY(QFileInfo::exists(live));
        QVERIFY(QFile::remove(live));
        QCOMPARE(all_private(), QStringList());
    }

    void A_day_saved_changed_or_deleted_shows_in_the_next_search()
    {
        Write_day(*store, QDate(2026, 12, 1), QStringLiteral("晴れ"));
        Write_day(*store, QDate(2026, 12, 2), QStringLiteral("雨"));
        Write_day(*store, QDate(2026, 12, 3), QStringLiteral("鍋"));
        Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                             Fulltext_index::Start::Foreground);
        const auto find = [&index](const QString& words) {
            const Fulltext_result result = index.Search({words, 0, 9999, false});
            return Dates_of(result);
        };
        QCOMPARE(find(QStringLiteral("鍋")), QStringList{QStringLiteral("20261203 0 ")});
        // Saved here: replaced through a temporary file.
        Write_day(*store, QDate(2026, 12, 1), QStringLiteral("寄せ鍋"));
        // Changed elsewhere, in place, to the same size.
        {
            QFile file(store->Day_file_path(2026, 12, 2));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.write(cp932::Encode(u"鍋").bytes) == 2);
        }
        // Deleted, and a new year folder.
        QVERIFY(QFile::remove(store->Day_file_path(2026, 12, 3)));
        Write_day(*store, QDate(2027, 1, 1), QStringLiteral("ＮＡＢＥ 鍋"));
        QCOMPARE(find(QStringLiteral("鍋")),
                 (QStringList{QStringLiteral("20261201 0 "), QStringLiteral("20261202 0 "),
                              QStringLiteral("20270101 0 ")}));
        QCOMPARE(find(QStringLiteral("nabe")), QStringList{QStringLiteral("20270101 0 ")});
        // A memo and its flag, from the year's index; a record without a file.
        QVERIFY(Write_bytes(store->Keyword_file_path(2026),
                            cp932::Encode(u"2026/12/011土鍋\r\n2026/12/200鍋の日\r\n").bytes));
        QCOMPARE(find(QStringLiteral("土鍋")), QStringList{QStringLiteral("20261201 1 土鍋")});
        QCOMPARE(find(QStringLiteral("鍋")),
                 (QStringList{QStringLiteral("20261201 1 土鍋"), QStringLiteral("20261202 0 "),
                              QStringLiteral("20261220 0 鍋の日"), QStringLiteral("20270101 0 ")}));
        // The whole year folder goes.
        QVERIFY(QDir(store->Year_folder(2026)).removeRecursively());
        QCOMPARE(find(QStringLiteral("鍋")), QStringList{QStringLiteral("20270101 0 ")});
        QCOMPARE(Dates_of(Scan_diary(diary->Path(), {QStringLiteral("鍋"), 0, 9999, false},
                                     Fold_options{})),
                 QStringList{QStringLiteral("20270101 0 ")});
    }

    // Characters Shift_JIS cannot hold are searched as written: the day file
    // holds "?" for them, its companion the exact text and memo.
    void Exact_text_is_searched_and_substitutes_are_not()
    {
        Write_day(*store, QDate(2026, 12, 9), QStringLiteral("ケーキ?"));
        QVERIFY(Write_bytes(store->Keyword_file_path(2026),
                            cp932::Encode(u"2026/12/091誕生日?\r\n2026/12/100疑問?\r\n").bytes));
        QVERIFY(Write_bytes(Companion_path(store->Day_file_path(2026, 12, 9)),
                            QStringLiteral("誕生日🎂\nケーキ😀").toUtf8()));
        for (const bool scan : {false, true}) {
            Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                                 Fulltext_index::Start::Foreground);
            const auto find = [&](const QString& words) {
                const Fulltext_search search{words, 0, 9999, false};
                return Dates_of(scan ? Scan_diary(diary->Path(), search, Fold_options{})
                                     : index.Search(search));
            };
            QCOMPARE(find(QStringLiteral("🎂")), QStringList{QStringLiteral("20261209 1 誕生日🎂")});
            QCOMPARE(find(QStringLiteral("ケーキ😀")),
                     QStringList{QStringLiteral("20261209 1 誕生日🎂")});
            // A "?" typed by the user is a "?"; a substitute is not.
            QCOMPARE(find(QStringLiteral("?")), QStringList{QStringLiteral("20261210 0 疑問?")});
        }
        // Once the day file is changed elsewhere, the companion no longer
        // speaks for it.
        Write_day(*store, QDate(2026, 12, 9), QStringLiteral("ケーキ?!"));
        Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                             Fulltext_index::Start::Foreground);
        QCOMPARE(Dates_of(index.Search({QStringLiteral("ケーキ?!"), 0, 9999, false})),
                 QStringList{QStringLiteral("20261209 1 誕生日🎂")});
        QVERIFY(index.Search({QStringLiteral("😀"), 0, 9999, false}).hits.empty());
    }

    void Odd_index_lines_upper_case_names_and_lone_question_marks_are_read_as_written()
    {
        const auto sjis = [](const char16_t* text) { return cp932::Encode(text).bytes; };
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QByteArray cut_memo = sjis(u"散歩") + "\x81";
        QVERIFY(Write_bytes(store->Keyword_file_path(2026),
                            "2026/01/011" + sjis(u"散歩") + "\r\n" +
                                // The flag a two-byte character, then half-width.
                                "2026/01/02" + sjis(u"雨の日") + "\r\n2026/01/03\xb1" +
                                sjis(u"メモ") + "\r\n2026/01/04\r\n2026/1/050" + sjis(u"散歩") +
                                "\r\n2025/01/060" + sjis(u"散歩") + "\r\n2026/01/070" + cut_memo +
                                "\r\n"));
        // "?" with no companion is the user's own; an upper-case name is read.
        QVERIFY(Write_bytes(store->Day_file_path(2026, 1, 1), "?" + sjis(u"散歩の日") + "\r\n"));
        QVERIFY(Write_bytes(diary->Path() + QStringLiteral("/2026/0108.TXT"),
                            sjis(u"公園を散歩") + "\r\n"));
        const QHash<int, Day_memo> memos = Read_year_memos(*store, 2026, nullptr);
        QCOMPARE(memos.size(), 5);
        QCOMPARE(std::pair(memos[20260102].memory, memos[20260102].memo),
                 std::pair(false, QStringLiteral("の日")));
        QCOMPARE(std::pair(memos[20260103].memory, memos[20260103].memo),
                 std::pair(false, QStringLiteral("メモ")));
        QVERIFY(memos.contains(20260104) && memos[20260104].memo.isEmpty());
        QCOMPARE(memos[20260107].memo, cp932::Decode_text(cut_memo));
        Fulltext_search search{QStringLiteral("散歩"), 0, 9999, false};
        search.snippets = true;
        const Fulltext_result found = Scan_diary(diary->Path(), search, Fold_options{});
        QCOMPARE(Dates_of(found), (QStringList{QStringLiteral("20260101 1 散歩"),
                                               "20260107 0 " + cp932::Decode_text(cut_memo),
                                               QStringLiteral("20260108 0 ")}));
        QCOMPARE(found.hits[0].snippet->text, QStringLiteral("?散歩の日"));
        QCOMPARE(found.hits[2].snippet->text, QStringLiteral("公園を散歩"));
        QCOMPARE(found.unreadable, 0);
    }

    void The_index_keeps_no_text_and_forgets_the_words_a_day_lost()
    {
        const QString sentence = QStringLiteral("quick brown fox jumps");
        Write_day(*store, QDate(2026, 12, 1), QStringLiteral("寄せ鍋と湯豆腐。") + sentence);
        Write_day(*store, QDate(2026, 12, 2), QStringLiteral("雨"));
        QVERIFY(Write_bytes(store->Keyword_file_path(2026),
                            cp932::Encode(u"2026/12/010夕食\r\n2026/12/020\r\n").bytes));
        Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                             Fulltext_index::Start::Foreground);
        const auto find = [&index](const QString& words) {
            return Dates_of(index.Search({words, 0, 9999, false}));
        };
        QCOMPARE(find(QStringLiteral("湯豆腐")), QStringList{QStringLiteral("20261201 0 夕食")});
        QCOMPARE(find(QStringLiteral("x")), QStringList{QStringLiteral("20261201 0 夕食")});
        // Neither the text nor the memo as written is kept in the cache.
        QByteArray cached;
        for (const QString& name : Entries(cache->Path()))
            cached += Read_bytes(cache->Path() + QLatin1Char('/') + name);
        QVERIFY(!cached.isEmpty());
        QVERIFY(!cached.contains(sentence.toUtf8()));
        QVERIFY(!cached.contains(QStringLiteral("湯豆腐").toUtf8()));
        // Changed again and again: only the words of its last text are found.
        for (const QString& text :
             {QStringLiteral("晴れ"), QStringLiteral("曇り"), QStringLiteral("湯豆腐")}) {
            Write_day(*store, QDate(2026, 12, 2), text);
            QCOMPARE(find(text),
                     (QStringList{QStringLiteral("20261201 0 夕食"), QStringLiteral("20261202 0 ")})
                         .mid(text == u"湯豆腐" ? 0 : 1));
        }
        for (const QString& lost : {QStringLiteral("雨"), QStringLiteral("晴れ"),
                                    QStringLiteral("曇"), QStringLiteral("り")})
            QCOMPARE(find(lost), QStringList());
        // A flag set and a memo changed in the year's index; the texts are the
        // same.
        QVERIFY(Write_bytes(store->Keyword_file_path(2026),
                            cp932::Encode(u"2026/12/011夕食\r\n2026/12/020鍋\r\n").bytes));
        QCOMPARE(find(QStringLiteral("湯豆腐")),
                 (QStringList{QStringLiteral("20261201 1 夕食"), QStringLiteral("20261202 0 鍋")}));
        QCOMPARE(find(QStringLiteral("鍋")),
                 (QStringList{QStringLiteral("20261201 1 夕食"), QStringLiteral("20261202 0 鍋")}));
        QCOMPARE(find(QStringLiteral("夕食 fox")), QStringList{QStringLiteral("20261201 1 夕食")});
    }

    void A_day_holding_every_pair_of_a_word_but_not_the_word_is_no_hit()
    {
        // Each day holds every pair of the word it is named for, apart.
        Write_day(*store, QDate(2026, 4, 1), QStringLiteral("東京で京都の話"));
        Write_day(*store, QDate(2026, 4, 2), QStringLiteral("東京都の地図"));
        Write_day(*store, QDate(2026, 4, 3), QStringLiteral("東京に行く"));
        Write_day(*store, QDate(2026, 4, 4), QStringLiteral("ab bc ＡＢ"));
        Write_day(*store, QDate(2026, 4, 5), QStringLiteral("ｶﾞｲﾄﾞ"));
        Write_day(*store, QDate(2026, 4, 6), QStringLiteral("ガイ イド"));
        QVERIFY(Write_bytes(store->Keyword_file_path(2026),
                            cp932::Encode(u"2026/04/030京都\r\n2026/04/070東京都\r\n").bytes));
        const QStringList words = {QStringLiteral("東京都"), QStringLiteral("abc"),
                                   QStringLiteral("ガイド"), QStringLiteral("東京 京都")};
        const QList<QStringList> expected = {
            {QStringLiteral("20260402 0 "), QStringLiteral("20260407 0 東京都")},
            {},
            {QStringLiteral("20260405 0 ")},
            {QStringLiteral("20260401 0 "), QStringLiteral("20260402 0 "),
             QStringLiteral("20260403 0 京都"), QStringLiteral("20260407 0 東京都")},
        };
        Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                             Fulltext_index::Start::Foreground);
        for (qsizetype i = 0; i < words.size(); ++i) {
            for (const bool snippets : {false, true}) {
                Fulltext_search search{words[i], 0, 9999, false};
                search.snippets = snippets;
                const Fulltext_result indexed = index.Search(search);
                QVERIFY(!indexed.scanned);
                QCOMPARE(Dates_of(indexed), expected[i]);
                QCOMPARE(Dates_of(Scan_diary(diary->Path(), search, Fold_options{})), expected[i]);
            }
        }
        // The command line prints the days that hold the word, each line once.
        QString out;
        QString err;
        QTextStream out_stream(&out);
        QTextStream err_stream(&err);
        QCOMPARE(Run_search_command({"sorane", "--search", "東京都"}, diary->Path(), cache->Path(),
                                    out_stream, err_stream),
                 0);
        QCOMPARE(out, QStringLiteral("2026/04/02\t東京都の地図\n2026/04/07\t東京都\n"));
        QCOMPARE(err, QString());
    }

    void An_index_of_the_older_format_is_read_by_no_search_and_built_again()
    {
        Write_day(*store, QDate(2026, 7, 1), QStringLiteral("七夕の短冊"));
        Write_day(*store, QDate(2026, 7, 2), QStringLiteral("晴れ"));
        QString path;
        {
            Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                                 Fulltext_index::Start::Foreground);
            path = index.Cache_path();
        }
        // Marked as the last format, whose documents were numbered
        // otherwise: one of its documents now says the second day holds
        // the first day's word.
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE,
                                 nullptr),
                 SQLITE_OK);
        QVERIFY(Register_tokenizer(db));
        QCOMPARE(
            sqlite3_exec(db,
                         "UPDATE meta SET value = 'sorane-fulltext 7' WHERE key = 'format';"
                         "INSERT INTO fts(rowid, ftext, fmemo) SELECT doc, '七夕', '' FROM days"
                         " WHERE id = 20260702;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(db);
        const Fulltext_search search{QStringLiteral("七夕"), 0, 9999, true};
        const QStringList expected = {QStringLiteral("20260701 0 ")};
        // The command line, which builds nothing, reads the files.
        Fulltext_result result = Fulltext_index(diary->Path(), cache->Path(), Fold_options{},
                                                Fulltext_index::Start::Never)
                                     .Search(search);
        QVERIFY(result.scanned);
        QCOMPARE(Dates_of(result), expected);
        // A window reads the files for its first search, and builds after it.
        Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                             Fulltext_index::Start::After_first_scan);
        result = index.Search(search);
        QVERIFY(result.scanned);
        QCOMPARE(Dates_of(result), expected);
        QTRY_VERIFY_WITH_TIMEOUT(Answered_by_index(index, search, expected), 20000);
    }

    void The_diary_folder_is_never_written()
    {
        Generate_diary(*store, 2026, 1, 3);
        const QStringList before = Entries(diary->Path()) + Entries(store->Year_folder(2026));
        const QByteArray index_bytes = Read_bytes(store->Keyword_file_path(2026));
        {
            Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                                 Fulltext_index::Start::Foreground);
            QVERIFY(!index.Search({QStringLiteral("の"), 0, 9999, true}).hits.empty());
            QVERIFY(index.Cache_path().startsWith(cache->Path()));
            QVERIFY(QFile::exists(index.Cache_path()));
        }
        QCOMPARE(Entries(diary->Path()) + Entries(store->Year_folder(2026)), before);
        QCOMPARE(Read_bytes(store->Keyword_file_path(2026)), index_bytes);
    }

    void A_damaged_or_deleted_cache_is_built_again_and_misses_nothing()
    {
        Generate_diary(*store, 2025, 2, 11);
        const Fulltext_search search{QStringLiteral("鍋"), 0, 9999, true};
        const QStringList expected = Dates_of(Scan_diary(diary->Path(), search, Fold_options{}));
        QVERIFY(!expected.isEmpty());
        QString path;
        {
            Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                                 Fulltext_index::Start::Foreground);
            path = index.Cache_path();
        }
        const QByteArray good = Read_bytes(path);
        QVERIFY(good.size() > 4096);
        // Garbage, then a file cut in half, then no file while the index is open.
        for (const QByteArray& damaged :
             {QByteArray(good.size(), 'x'), good.left(good.size() / 2), QByteArray()}) {
            QVERIFY(Write_bytes(path, good));
            Fulltext_index index(diary->Path(), cache->Path(), Fold_options{});
            if (damaged.isEmpty())
                QVERIFY(QFile::remove(path));
            else
                QVERIFY(Write_bytes(path, damaged));
            // Every search finds every day, read from the files until the
            // index has been built again in the background.
            QCOMPARE(Dates_of(index.Search(search)), expected);
            QTRY_VERIFY_WITH_TIMEOUT(Answered_by_index(index, search, expected), 20000);
        }
        // A damaged file found at start is built again in the background.
        QVERIFY(Write_bytes(path, "SQLite format 3\0 and nothing else"));
        Fulltext_index index(diary->Path(), cache->Path(), Fold_options{});
        QCOMPARE(Dates_of(index.Search(search)), expected);
        QTRY_VERIFY_WITH_TIMEOUT(Answered_by_index(index, search, expected), 20000);
    }

    void A_build_in_the_background_says_how_far_it_is_and_stops_with_the_index()
    {
        Generate_diary(*store, 2024, 3, 5);
        int files = 0;
        for (const int year : {2024, 2025, 2026})
            files += int(QDir(store->Year_folder(year))
                             .entryList({QStringLiteral("????.txt"), QStringLiteral("keyword.txt")},
                                        QDir::Files)
                             .size());
        QString path;
        {
            Fulltext_index index(diary->Path(), cache->Path(), Fold_options{});
            path = index.Cache_path();
            QTRY_VERIFY_WITH_TIMEOUT(!index.Building(), 20000);
            QCOMPARE(index.Build_total(), files);
            QCOMPARE(index.Build_done(), files);
            QVERIFY(index.Take_finished_build());
            QVERIFY(!index.Take_finished_build());
            QVERIFY(!index.Search({QStringLiteral("鍋"), 0, 9999, true}).scanned);
        }
        // Closed while its build runs: the build stops and leaves no file.
        QVERIFY(QFile::remove(path));
        for (int round = 0; round < 3; ++round)
            Fulltext_index(diary->Path(), cache->Path(), Fold_options{});
        QCOMPARE(Entries(cache->Path()).filter(QStringLiteral(".building")), QStringList());
    }

    void Other_folding_builds_the_index_again()
    {
        Write_day(*store, QDate(2026, 5, 5), QStringLiteral("ひらがな"));
        {
            Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                                 Fulltext_index::Start::Foreground);
            QVERIFY(index.Search({QStringLiteral("ヒラガナ"), 0, 9999, true}).hits.empty());
        }
        Fulltext_index index(diary->Path(), cache->Path(), Fold_options{true, true, true},
                             Fulltext_index::Start::Foreground);
        const Fulltext_result result = index.Search({QStringLiteral("ヒラガナ"), 0, 9999, true});
        QVERIFY(!result.scanned);
        QCOMPARE(Dates_of(result), QStringList{QStringLiteral("20260505 0 ")});
        QVERIFY(Write_fold_options(diary->Path(), Fold_options{false, true, true}).Ok());
        QCOMPARE(Read_fold_options(diary->Path()), (Fold_options{false, true, true}));
        // The settings file of the Windows program is not touched.
        QVERIFY(!QFile::exists(diary->File("sorane.ini")));
    }

    void The_command_line_prints_days_oldest_first_and_exits_as_grep()
    {
        Write_day(*store, QDate(2026, 12, 9), QStringLiteral("夜は寄せ鍋にした。\n美味しかった。"));
        Write_day(*store, QDate(1999, 1, 2), QStringLiteral("鍋\tを買った"));
        QVERIFY(Write_bytes(store->Keyword_file_path(2026),
                            cp932::Encode(u"2026/12/100鍋パーティー\r\n").bytes));
        const auto run = [&](const QStringList& arguments, QString& out, QString& err) {
            QTextStream out_stream(&out);
            QTextStream err_stream(&err);
            return Run_search_command(QStringList{QStringLiteral("sorane")} + arguments,
                                      diary->Path(), cache->Path(), out_stream, err_stream);
        };
        QString out;
        QString err;
        QCOMPARE(run({QStringLiteral("--search"), QStringLiteral("鍋")}, out, err), 0);
        QCOMPARE(out, QStringLiteral("1999/01/02\t鍋 を買った\n"
                                     "2026/12/09\t夜は寄せ鍋にした。 美味しかった。\n"
                                     "2026/12/10\t鍋パーティー\n"));
        out.clear();
        QCOMPARE(
            run({QStringLiteral("--search=寄せ鍋 美味"), QStringLiteral("--diary"), diary->Path()},
                out, err),
            0);
        QCOMPARE(out, QStringLiteral("2026/12/09\t夜は寄せ鍋にした。 美味しかった。\n"));
        out.clear();
        QCOMPARE(run({QStringLiteral("--search"), QStringLiteral("すき焼き")}, out, err), 1);
        QVERIFY(out.isEmpty());
        QCOMPARE(run({QStringLiteral("--search"), QStringLiteral("鍋"), QStringLiteral("--diary"),
                      diary->File("none")},
                     out, err),
                 2);
        QVERIFY(err.contains(QStringLiteral("日記のフォルダーがありません")));
        QCOMPARE(run({QStringLiteral("--search"), QStringLiteral("　")}, out, err), 2);
        QCOMPARE(run({QStringLiteral("--search"), QStringLiteral("鍋"), QStringLiteral("--bad")},
                     out, err),
                 2);
        QVERIFY(out.isEmpty());
    }

    void Work_made_on_every_core_is_taken_once_in_order()
    {
        // Items slow at random, so that the threads finish out of order;
        // runs that end short, of one, and fewer items than a run.
        std::mt19937 random(7);
        for (const auto& [count, run] :
             {std::pair<std::size_t, std::size_t>{0, 4}, {3, 4}, {40, 1}, {103, 8}}) {
            std::vector<std::size_t> taken;
            Make_in_order(
                count, run,
                [&](std::size_t i) {
                    std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
                    return i;
                },
                [&](std::size_t first, std::vector<std::size_t>& made) {
                    QCOMPARE(first, taken.size());
                    taken.insert(taken.end(), made.begin(), made.end());
                });
            std::vector<std::size_t> expected(count);
            std::iota(expected.begin(), expected.end(), 0);
            QCOMPARE(taken, expected);
        }
    }

    void The_command_line_cuts_the_years_read_to_the_range_and_the_memories()
    {
        // Read from the files: each year's lines printed as it is read, its
        // days outside the range or not memories left out.
        for (const int year : {2001, 2002, 2003})
            for (const int month : {1, 6, 12})
                Write_day(*store, QDate(year, month, 10), QStringLiteral("鍋%1").arg(month));
        QVERIFY(Write_bytes(store->Keyword_file_path(2002), "2002/06/101\r\n"));
        QCOMPARE(Search_for_pot(
                     {QStringLiteral("--from=2001/06/10"), QStringLiteral("--to=2003/01/10")}),
                 QStringLiteral("0 2001/06/10\t鍋6\n2001/12/10\t鍋12\n2002/01/10\t鍋1\n"
                                "2002/06/10\t鍋6\n2002/12/10\t鍋12\n2003/01/10\t鍋1\n"));
        QCOMPARE(Search_for_pot({QStringLiteral("--memory")}),
                 QStringLiteral("0 2002/06/10\t鍋6\n"));
        // Days found in the years read, none of them in the range: not found.
        QCOMPARE(Search_for_pot({QStringLiteral("--memory"), QStringLiteral("--to=2002/06/09")}),
                 QStringLiteral("1 "));
    }

    void A_years_lines_from_the_bytes_and_from_its_companions_are_cut_and_kept_in_order()
    {
        // Lines the scan made from the bytes beside one made from a
        // companion's exact text, and a "?" with no companion listed: the
        // command prints them in the order of the days, cut to the range and
        // the memories, from the years' bytes or one by one.
        Write_day(*store, QDate(2001, 5, 10), QStringLiteral("鍋5"));
        for (const int month : {1, 6, 12})
            Write_day(*store, QDate(2002, month, 10), QStringLiteral("鍋%1").arg(month));
        QVERIFY(Write_bytes(store->Day_file_path(2002, 3, 10), "\x93\xE7?\r\n"));
        QVERIFY(Write_bytes(Companion_path(store->Day_file_path(2002, 3, 10)),
                            QStringLiteral("\n鍋🍲").toUtf8()));
        QVERIFY(Write_bytes(store->Day_file_path(2002, 4, 10), "\x93\xE7?4\r\n"));
        QVERIFY(Write_bytes(store->Keyword_file_path(2002), "2002/03/101\r\n2002/06/101\r\n"));
        const QString all = QStringLiteral("2001/05/10\t鍋5\n2002/01/10\t鍋1\n2002/03/10\t鍋🍲\n"
                                           "2002/04/10\t鍋?4\n2002/06/10\t鍋6\n2002/12/10\t鍋12\n");
        QCOMPARE(Search_for_pot({}), QStringLiteral("0 ") + all);
        QCOMPARE(Search_for_pot(
                     {QStringLiteral("--from=2002/03/10"), QStringLiteral("--to=2002/06/10")}),
                 QStringLiteral("0 2002/03/10\t鍋🍲\n2002/04/10\t鍋?4\n2002/06/10\t鍋6\n"));
        QCOMPARE(Search_for_pot({QStringLiteral("--memory")}),
                 QStringLiteral("0 2002/03/10\t鍋🍲\n2002/06/10\t鍋6\n"));
        // The plain search keeping every year's hits: each line made from
        // the bytes where its hit says, after the years before it.
        Fulltext_search search{QStringLiteral("鍋"), 0, 9999, false};
        search.snippets = search.printed_lines = true;
        const Fulltext_result found = Scan_diary(diary->Path(), search, Fold_options{});
        QByteArray lines;
        for (const Fulltext_hit& hit : found.hits) {
            if (hit.line_at >= 0) {
                QVERIFY(!hit.snippet && hit.memo.isEmpty());
                lines += found.printed.sliced(hit.line_at, hit.line_size);
            } else {
                lines +=
                    Diary_store::Date_key(hit.date / 10000, hit.date / 100 % 100, hit.date % 100)
                        .toUtf8() +
                    '\t' + hit.snippet->text.toUtf8() + '\n';
            }
        }
        QCOMPARE(QString::fromUtf8(lines), all);
    }

    void Many_lines_made_on_every_core_are_printed_in_the_order_of_the_days()
    {
        // More days than one run of lines: the plain scan's lines, in its
        // order, byte for byte; days found by their memo alone among them.
        std::mt19937 random(61);
        QByteArray index;
        for (QDate d(2024, 1, 1); d.year() == 2024 || d.month() < 9; d = d.addDays(1)) {
            QVERIFY(store->Ensure_year_folder(d.year()).Ok());
            const QString memo = d.day() % 7 == 0 ? QStringLiteral("雨の日") : QString();
            if (d.day() % 7 != 0 || d.month() % 2 == 0)
                Write_day(*store, d,
                          Random_text(random, 2 + d.dayOfYear() % 90) + QStringLiteral("雨") +
                              Random_text(random, d.day() % 5));
            // Some named as another program may name them.
            const QString path = store->Day_file_path(d.year(), d.month(), d.day());
            if (d.day() == 15)
                QVERIFY(QFile::rename(path, path.chopped(8) + path.right(8).toUpper()));
            if (!memo.isEmpty())
                index +=
                    cp932::Encode(Diary_store::Date_key(d.year(), d.month(), d.day()) + u'0' + memo)
                        .bytes +
                    "\r\n";
            if (d.month() == 12 && d.day() == 31) {
                QVERIFY(Write_bytes(store->Keyword_file_path(d.year()), index));
                index.clear();
            }
        }
        QVERIFY(Write_bytes(store->Keyword_file_path(2025), index));
        Fulltext_search search{QStringLiteral("雨"), 0, 9999, false};
        search.snippets = true;
        const Fulltext_result scanned = Scan_diary(diary->Path(), search, Fold_options{});
        QVERIFY(scanned.hits.size() > 600);
        QString expected;
        for (const Fulltext_hit& hit : scanned.hits)
            expected +=
                Diary_store::Date_key(hit.date / 10000, hit.date / 100 % 100, hit.date % 100) +
                u'\t' +
                (hit.snippet->marks.isEmpty() ? Marked(hit.memo, scanned.words, {}) : *hit.snippet)
                    .text +
                u'\n';
        Fulltext_index(diary->Path(), cache->Path(), Fold_options{},
                       Fulltext_index::Start::Foreground);
        QString out;
        QString err;
        QTextStream out_stream(&out);
        QTextStream err_stream(&err);
        QCOMPARE(Run_search_command({"sorane", "--search", "雨"}, diary->Path(), cache->Path(),
                                    out_stream, err_stream),
                 0);
        QCOMPARE(err, QString());
        QCOMPARE(out, expected);
    }

    void The_index_and_the_reading_of_the_files_name_the_same_file_they_cannot_read()
    {
        // Permissions do not bind root: the case runs again as nobody.
        if (QString failure; Rerun_as_nobody(failure)) {
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        Write_day(*store, QDate(2026, 12, 9), QStringLiteral("寄せ鍋"));
        const QString day = store->Day_file_path(2026, 12, 10);
        const QString index = store->Keyword_file_path(2026);
        QVERIFY(Write_bytes(cache->File("a file"), "x"));  // no index there: the files are read
        // The first index takes the day in while it can still be read.
        QVERIFY(Write_bytes(day, "x"));
        Fulltext_index(diary->Path(), cache->File("1"), Fold_options{},
                       Fulltext_index::Start::Foreground);
        const QList<std::pair<QString, std::function<bool()>>> faults{
            {day, [&] { return ::chmod(QFile::encodeName(day), 0) == 0; }},
            {day,
             [&] {
                 return QFile::remove(day) && QFile(day).open(QIODevice::WriteOnly) &&
                        QFile(day).resize(65ll << 20);
             }},
            {index,
             [&] {
                 QFile::remove(index);
                 return QFile::remove(day) && ::mkfifo(QFile::encodeName(index), 0600) == 0;
             }},
        };
        int n = 0;
        for (const auto& [path, make] : faults) {
            QVERIFY(make());
            const QString index_cache = cache->File(QString::number(++n));
            // The index built (by a window, which the command line leaves the
            // building to) or updated, then brought up to date, then the
            // files read.
            Fulltext_index(diary->Path(), index_cache, Fold_options{},
                           Fulltext_index::Start::Foreground);
            for (const QString& cache_folder : {index_cache, index_cache, cache->File("a file")}) {
                QString out;
                QString err;
                QTextStream out_stream(&out);
                QTextStream err_stream(&err);
                QCOMPARE(Run_search_command({"sorane", "--search", "鍋"}, diary->Path(),
                                            cache_folder, out_stream, err_stream),
                         2);
                QCOMPARE(out, QStringLiteral("2026/12/09\t寄せ鍋\n"));
                QCOMPARE(err,
                         QStringLiteral("読めないファイルが 1 件ありました（%1）。\n").arg(path));
            }
        }
    }

    void A_moment_old_listing_vouches_for_the_files_until_a_folder_changes()
    {
        Write_day(*store, QDate(2026, 12, 1), QStringLiteral("鍋"));
        Fulltext_index(diary->Path(), cache->Path(), Fold_options{},
                       Fulltext_index::Start::Foreground);
        // Each search in an index of its own, as each command line is.
        const auto find = [this] {
            Fulltext_index index(diary->Path(), cache->Path(), Fold_options{},
                                 Fulltext_index::Start::Never);
            const Fulltext_result result = index.Search({QStringLiteral("鍋"), 0, 9999, false});
            return result.scanned ? QStringList{QStringLiteral("read the files")}
                                  : Dates_of(result);
        };
        // Folders changed a moment ago are not vouched for: the first search
        // after they settle lists every file.
        QTest::qWait(2100);
        QCOMPARE(find(), QStringList{QStringLiteral("20261201 0 ")});
        // An edit in place changes no folder: the listing just made still
        // vouches for it (for a minute at most).
        {
            QFile file(store->Day_file_path(2026, 12, 1));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.write(cp932::Encode(u"肉").bytes) == 2);
        }
        QCOMPARE(find(), QStringList{QStringLiteral("20261201 0 ")});
        // A new year folder, settled: every file is listed again, the edit
        // in place found too.
        Write_day(*store, QDate(2027, 1, 1), QStringLiteral("寄せ鍋"));
        QTest::qWait(2100);
        QCOMPARE(find(), QStringList{QStringLiteral("20270101 0 ")});
        // A save in a year folder, found at once.
        Write_day(*store, QDate(2026, 12, 2), QStringLiteral("鍋"));
        QCOMPARE(find(),
                 (QStringList{QStringLiteral("20261202 0 "), QStringLiteral("20270101 0 ")}));
    }

    void The_program_searches_without_a_display()
    {
        Write_day(*store, QDate(2026, 12, 9), QStringLiteral("寄せ鍋"));
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache->Path());
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(SORANE_EXE), {QStringLiteral("--search"), QStringLiteral("鍋"),
                                                   QStringLiteral("--diary"), diary->Path()});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()),
                 QStringLiteral("2026/12/09\t寄せ鍋\n"));
        // The files were read; the building is left to a window.
        const QDir index_folder(cache->File(QStringLiteral("sorane")));
        QCOMPARE(index_folder.entryList({QStringLiteral("*.sqlite*")}, QDir::Files), QStringList());
        Fulltext_index(diary->Path(), index_folder.path(), Fold_options{},
                       Fulltext_index::Start::Foreground);
        QCOMPARE(index_folder.entryList({QStringLiteral("*.sqlite")}, QDir::Files).size(), 1);
        program.start(QStringLiteral(SORANE_EXE), {QStringLiteral("--search"), QStringLiteral("鍋"),
                                                   QStringLiteral("--diary"), diary->Path()});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()),
                 QStringLiteral("2026/12/09\t寄せ鍋\n"));
        program.start(QStringLiteral(SORANE_EXE),
                      {QStringLiteral("--search"), QStringLiteral("すき焼き"),
                       QStringLiteral("--diary"), diary->Path()});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 1);
    }

private:
    // The command's exit code, a blank and what it printed, for 鍋 with
    // the options given.
    QString Search_for_pot(const QStringList& arguments)
    {
        QString out;
        QTextStream stream(&out);
        const int code = Run_search_command(
            QStringList{QStringLiteral("sorane"), QStringLiteral("--search=鍋")} + arguments,
            diary->Path(), cache->Path(), stream, stream);
        stream.flush();
        return QString::number(code) + u' ' + out;
    }

    std::unique_ptr<Temp_folder> diary;
    std::unique_ptr<Temp_folder> cache;
    std::unique_ptr<Diary_store> store;
};

QTEST_GUILESS_MAIN(Test_fulltext)
#include "test_fulltext.moc"

// The diary store against bytes on disk: paths, reading whole files and what
// is not read, day files, the index, the settings file and the message files.

#include "platform/cp932.h"
#include "store/store.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// "あ" in code page 932.
const QByteArray A_kana = Hex("82 a0");

QByteArray Repeat(const QByteArray& piece, qsizetype size)
{
    QByteArray out;
    while (out.size() < size)
        out += piece;
    out.truncate(size);
    return out;
}

}  // namespace

class Test_store : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder = std::make_unique<Temp_folder>();
        QVERIFY(folder->Ok());
        store = std::make_unique<Diary_store>(folder->Path());
    }

    void Paths_are_built_from_the_program_folder()
    {
        Diary_store root(QStringLiteral("/"));
        QCOMPARE(root.App_dir(), QStringLiteral("/"));
        Diary_store plain(QStringLiteral("/home/u/sorane"));
        QCOMPARE(plain.App_dir(), QStringLiteral("/home/u/sorane/"));
        QCOMPARE(plain.Year_folder(2026), QStringLiteral("/home/u/sorane/2026"));
        QCOMPARE(plain.Day_file_path(2026, 12, 7), QStringLiteral("/home/u/sorane/2026/1207.txt"));
        QCOMPARE(plain.Day_file_path(2024, 2, 30), QStringLiteral("/home/u/sorane/2024/0230.txt"));
        QCOMPARE(plain.Keyword_file_path(1990), QStringLiteral("/home/u/sorane/1990/keyword.txt"));
        QCOMPARE(plain.Settings_path(), QStringLiteral("/home/u/sorane/sorane.ini"));
        QCOMPARE(plain.Tomorrow_path(), QStringLiteral("/home/u/sorane/tomorrow.txt"));
        QCOMPARE(plain.Yesterday_path(), QStringLiteral("/home/u/sorane/yesterda.txt"));
        QCOMPARE(Diary_store::Date_key(2026, 3, 7), QStringLiteral("2026/03/07"));
    }

    void Year_folder_is_made_private_and_a_file_in_its_place_is_reported()
    {
        const mode_t old_mask = ::umask(022);
        const Io_result made = store->Ensure_year_folder(2026);
        ::umask(old_mask);
        QVERIFY(made.Ok());
        QCOMPARE(Mode_of(folder->File("2026")), 0700);
        QVERIFY(store->Ensure_year_folder(2026).Ok());  // already there

        QVERIFY(Write_bytes(folder->File("2027"), Hex("41")));
        const Io_result taken = store->Ensure_year_folder(2027);
        QCOMPARE(taken.step, Io_step::Not_a_folder);
        QCOMPARE(taken.path, folder->File("2027"));
        QCOMPARE(Read_bytes(folder->File("2027")), Hex("41"));
    }

    void Short_day_files_read_without_losing_text()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString path = store->Day_file_path(2026, 12, 7);
        QCOMPARE(store->Read_text_file(path).text, QString());  // missing

        QVERIFY(Write_bytes(path, Hex("0d 0a")));
        QCOMPARE(store->Read_text_file(path).text, QString());
        // "あ" CR LF "い" CR LF: line breaks become "\n", the last is dropped.
        QVERIFY(Write_bytes(path, Hex("82 a0 0d 0a 82 a2 0d 0a")));
        QCOMPARE(store->Read_text_file(path).text, QStringLiteral("あ\nい"));
        // Files made elsewhere: no final line end, a lone LF, one byte.
        QVERIFY(Write_bytes(path, Hex("82 a0 41")));
        QCOMPARE(store->Read_text_file(path).text, QStringLiteral("あA"));
        QVERIFY(Write_bytes(path, Hex("41 0a")));
        QCOMPARE(store->Read_text_file(path).text, QStringLiteral("A"));
        QVERIFY(Write_bytes(path, Hex("41")));
        QCOMPARE(store->Read_text_file(path).text, QStringLiteral("A"));
        QVERIFY(Write_bytes(path, Hex("0a")));
        QCOMPARE(store->Read_text_file(path).text, QString());
    }

    void A_day_of_any_size_is_read_whole()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString path = store->Day_file_path(2026, 12, 7);

        const QByteArray whole = Repeat(A_kana, 31998) + Hex("0d 0a");
        QCOMPARE(whole.size(), 32000);
        QVERIFY(Write_bytes(path, whole));
        Text_read read = store->Read_text_file(path);
        QCOMPARE(read.text.size(), 15999);
        QCOMPARE(read.file_size, qint64(32000));

        // Over the 32000 bytes of the Windows program's text box: all of it.
        const QByteArray over = Repeat(A_kana, 31998) + Hex("41 0d 0a");
        QCOMPARE(over.size(), 32001);
        QVERIFY(Write_bytes(path, over));
        read = store->Read_text_file(path);
        QVERIFY(read.result.Ok());
        QCOMPARE(read.file_size, qint64(32001));
        QCOMPARE(read.text, QString(15999, QChar(0x3042)) + QLatin1Char('A'));

        // A missing file: nothing read.
        read = store->Read_text_file(store->Day_file_path(2026, 12, 8));
        QVERIFY(read.result.Ok());
        QCOMPARE(read.file_size, qint64(0));
        QCOMPARE(read.text, QString());
    }

    void Text_added_to_a_long_day_goes_at_its_end()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString path = store->Day_file_path(2026, 12, 7);
        const QByteArray original = Hex("41") + Repeat(A_kana, 39998) + Hex("0d 0a 42 0d 0a");
        QVERIFY(Write_bytes(path, original));
        const Text_read read = store->Read_text_file(path);
        QCOMPARE(read.file_size, qint64(original.size()));
        const QString text = read.text;
        QCOMPARE(text.size(), 1 + 19999 + 2);
        QVERIFY(text.endsWith(QStringLiteral("\nB")));

        // Unchanged text: the very same bytes.
        QVERIFY(store->Write_text_file(path, text).Ok());
        QCOMPARE(Read_bytes(path), original);
        // Edited at both ends: the edits where the user made them, nothing after.
        QVERIFY(
            store->Write_text_file(path, QStringLiteral("Z") + text.mid(1) + QStringLiteral("C"))
                .Ok());
        QCOMPARE(Read_bytes(path),
                 Hex("5a") + original.mid(1, original.size() - 3) + Hex("43 0d 0a"));
    }

    void A_long_message_keeps_its_line_breaks()
    {
        const QString path = store->Tomorrow_path();
        const QByteArray original =
            Repeat(Hex("41"), 31997) + Hex("0d 0a") + Repeat(Hex("42"), 10) + Hex("0d 0a");
        QVERIFY(Write_bytes(path, original));
        const Text_read read = store->Read_text_file(path);
        QCOMPARE(read.file_size, qint64(original.size()));
        const QString text = read.text;
        QCOMPARE(text, QString(31997, QLatin1Char('A')) + QLatin1Char('\n') +
                           QString(10, QLatin1Char('B')));
        QVERIFY(store->Write_text_file(path, text).Ok());
        QCOMPARE(Read_bytes(path), original);
    }

    void A_stray_lead_byte_in_a_long_day_is_written_back()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString path = store->Day_file_path(2026, 12, 7);
        // 85 is a lead byte without a valid trail, so it stands alone and
        // 81 40 (the ideographic space) is the character after it.
        const QByteArray original = Repeat(A_kana, 31996) + Hex("85 81 40 0d 0a");
        QVERIFY(Write_bytes(path, original));
        const Text_read read = store->Read_text_file(path);
        QCOMPARE(read.file_size, qint64(original.size()));
        const QString text = read.text;
        QCOMPARE(text, QString(15998, QChar(0x3042)) + QChar(0xF685) + QChar(0x3000));
        QVERIFY(store->Write_text_file(path, text).Ok());
        QCOMPARE(Read_bytes(path), original);
    }

    void Writing_a_day_file()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString path = store->Day_file_path(2026, 12, 7);
        QVERIFY(store->Write_text_file(path, QString()).Ok());
        QCOMPARE(Read_bytes(path), Hex("0d 0a"));
        QVERIFY(store->Write_text_file(path, QStringLiteral("晴れ\n\n〜散歩")).Ok());
        QCOMPARE(Read_bytes(path), Hex("90 b0 82 ea 0d 0a 0d 0a 81 60 8e 55 95 e0 0d 0a"));
        QCOMPARE(Mode_of(path), 0600);
    }

    void Text_encoded_by_the_caller_is_written_as_the_text_would_be()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString by_text = store->Day_file_path(2026, 12, 7);
        const QString by_bytes = store->Day_file_path(2026, 12, 8);
        QVERIFY(store->Write_text_bytes(by_bytes, Hex("90 b0 82 ea 0a 0a 81 60 8e 55 95 e0")).Ok());
        QCOMPARE(Read_bytes(by_bytes), Hex("90 b0 82 ea 0d 0a 0d 0a 81 60 8e 55 95 e0 0d 0a"));

        // Both ways give the same file, for the empty text, a CR of the
        // text's own, a stray lead byte and a substituted character too.
        const QString texts[] = {
            QString(),
            QStringLiteral("晴れ\n\n〜散歩"),
            QStringLiteral("\r\nA\r"),
            QStringLiteral("A") + QChar(0xF785) + QStringLiteral("\nB"),
            QStringLiteral("a\U0001F600b"),
        };
        for (const QString& text : texts) {
            QVERIFY(store->Write_text_file(by_text, text, Unmappable_policy::Substitute).Ok());
            QVERIFY(store->Write_text_bytes(by_bytes, cp932::Encode(text).bytes).Ok());
            QCOMPARE(Read_bytes(by_bytes), Read_bytes(by_text));
        }

        // A long file edited, whichever way the text came.
        const QByteArray original = Hex("41") + Repeat(A_kana, 39998) + Hex("0d 0a 42 0d 0a");
        QVERIFY(Write_bytes(by_text, original));
        QVERIFY(Write_bytes(by_bytes, original));
        const QString text = store->Read_text_file(by_text).text;
        QCOMPARE(store->Read_text_file(by_bytes).text, text);
        const QString edited = QStringLiteral("Z") + text.mid(1);
        QVERIFY(store->Write_text_file(by_text, edited).Ok());
        QVERIFY(store->Write_text_bytes(by_bytes, cp932::Encode(edited).bytes).Ok());
        QCOMPARE(Read_bytes(by_bytes), Hex("5a") + original.mid(1));
        QCOMPARE(Read_bytes(by_text), Read_bytes(by_bytes));
    }

    void Characters_code_page_932_cannot_hold_are_not_written_silently()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString path = store->Day_file_path(2026, 12, 7);
        QVERIFY(Write_bytes(path, Hex("82 a0 0d 0a")));
        const QString text = QStringLiteral("a\U0001F600b\u00e9");
        const Io_result refused = store->Write_text_file(path, text);
        QCOMPARE(refused.step, Io_step::Encode);
        QCOMPARE(refused.path, path);
        QCOMPARE(Read_bytes(path), Hex("82 a0 0d 0a"));

        QVERIFY(store->Write_text_file(path, text, Unmappable_policy::Substitute).Ok());
        QCOMPARE(Read_bytes(path), Hex("61 3f 62 3f 0d 0a"));
    }

    void Bytes_that_do_not_decode_come_back_unchanged()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString path = store->Day_file_path(2026, 12, 7);
        // An invalid pair, then a lead byte just before the line end.
        const QByteArray odd = Hex("85 41 82 a0 0d 0a 41 82 0d 0a");
        QVERIFY(Write_bytes(path, odd));
        const QString text = store->Read_text_file(path).text;
        QVERIFY(store->Write_text_file(path, text).Ok());
        QCOMPARE(Read_bytes(path), odd);
    }

    void A_cr_before_a_line_break_survives_a_save()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString path = store->Day_file_path(2026, 12, 7);
        // A file made elsewhere with a stray CR before a line break: the CR
        // is part of the text, and writing the text back keeps it.
        const QByteArray original = Hex("41 0d 0d 0a 42 0d 0d 0a");
        QVERIFY(Write_bytes(path, original));
        const QString text = store->Read_text_file(path).text;
        QCOMPARE(text, QStringLiteral("A\r\nB\r"));
        QVERIFY(store->Write_text_file(path, text).Ok());
        QCOMPARE(Read_bytes(path), original);
        QCOMPARE(store->Read_text_file(path).text, text);
        // A text typed with such a CR is written the same way.
        QVERIFY(store->Write_text_file(path, QStringLiteral("\r\n\r")).Ok());
        QCOMPARE(Read_bytes(path), Hex("0d 0d 0a 0d 0d 0a"));
        QCOMPARE(store->Read_text_file(path).text, QStringLiteral("\r\n\r"));
    }

    void Looking_up_records()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString key = QStringLiteral("2026/12/07");
        QVERIFY(!store->Find_day_record(2026, key).found);  // no index

        const QString index = store->Keyword_file_path(2026);
        QVERIFY(Write_bytes(index, QByteArray("2026/12/070\r\n")));
        Day_record r = store->Find_day_record(2026, key);
        QVERIFY(r.found);
        QVERIFY(!r.memory);
        QCOMPARE(r.memo, QString());

        QVERIFY(Write_bytes(index, QByteArray("2026/12/071\r\n")));
        r = store->Find_day_record(2026, key);
        QVERIFY(r.memory);
        QCOMPARE(r.memo, QString());

        // Two lines with the key: the flag of either, the memo of the later.
        // "2026/12/071買い物" and "2026/12/070散歩".
        QVERIFY(Write_bytes(index, Hex("32 30 32 36 2f 31 32 2f 30 37 31 94 83 82 a2 95 a8 0d 0a"
                                       "32 30 32 36 2f 31 32 2f 30 38 31 0d 0a"
                                       "32 30 32 36 2f 31 32 2f 30 37 30 8e 55 95 e0 0d 0a")));
        r = store->Find_day_record(2026, key);
        QVERIFY(r.found);
        QVERIFY(r.memory);
        QCOMPARE(r.memo, QStringLiteral("散歩"));
        QVERIFY(!store->Find_day_record(2026, QStringLiteral("2026/12/09")).found);
    }

    void Storing_records_keeps_every_other_byte()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString index = store->Keyword_file_path(2026);
        // A new index holds the one record.
        QVERIFY(store
                    ->Store_day_record(2026, QStringLiteral("2026/12/07"), true,
                                       QStringLiteral("買い物"))
                    .Ok());
        QCOMPARE(Read_bytes(index),
                 Hex("32 30 32 36 2f 31 32 2f 30 37 31 94 83 82 a2 95 a8 0d 0a"));

        // Records of other days, one with a character that has two codes
        // (ed 40) and one with a byte that does not decode: untouched.
        const QByteArray before = QByteArray("2026/01/021\xed\x40\r\n"
                                             "2026/12/070old\r\n"
                                             "2026/03/040\x85\r\n"
                                             "2026/12/071older\r\n");
        QVERIFY(Write_bytes(index, before));
        QVERIFY(
            store
                ->Store_day_record(2026, QStringLiteral("2026/12/07"), false, QStringLiteral("new"))
                .Ok());
        QCOMPARE(Read_bytes(index), QByteArray("2026/01/021\xed\x40\r\n"
                                               "2026/12/070new\r\n"
                                               "2026/03/040\x85\r\n"
                                               "2026/12/070new\r\n"));
        QVERIFY(store->Store_day_record(2026, QStringLiteral("2026/05/05"), true, QString()).Ok());
        QCOMPARE(Read_bytes(index), QByteArray("2026/01/021\xed\x40\r\n"
                                               "2026/12/070new\r\n"
                                               "2026/03/040\x85\r\n"
                                               "2026/12/070new\r\n"
                                               "2026/05/051\r\n"));
    }

    void A_memo_encoded_by_the_caller_is_stored_as_the_memo_would_be()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString index = store->Keyword_file_path(2026);
        const QString key = QStringLiteral("2026/12/07");
        const QByteArray before = QByteArray("2026/01/021\xed\x40\r\n"
                                             "2026/12/070old\r\n"
                                             "2026/03/040\x85\r\n");
        // A record is one line: the memo's line breaks are written as blanks.
        QVERIFY(Write_bytes(index, before));
        QVERIFY(store->Store_day_record_bytes(2026, key, true, Hex("61 0d 0a 62 0a")).Ok());
        QCOMPARE(Read_bytes(index), QByteArray("2026/01/021\xed\x40\r\n"
                                               "2026/12/071a  b \r\n"
                                               "2026/03/040\x85\r\n"));

        const QString memos[] = {
            QString(),
            QStringLiteral("買い物"),
            QStringLiteral("a\r\nb\n"),
            QChar(0xF785) + QStringLiteral("\rx"),
            QStringLiteral("ab\U00020BB7"),
        };
        for (const QString& memo : memos) {
            QVERIFY(Write_bytes(index, before));
            QVERIFY(store->Store_day_record(2026, key, false, memo, Unmappable_policy::Substitute)
                        .Ok());
            const QByteArray by_text = Read_bytes(index);
            QVERIFY(Write_bytes(index, before));
            QVERIFY(
                store->Store_day_record_bytes(2026, key, false, cp932::Encode(memo).bytes).Ok());
            QCOMPARE(Read_bytes(index), by_text);
        }
        QVERIFY(Write_bytes(index, before));
        QVERIFY(store->Store_day_record(2026, key, false, QStringLiteral("a\r\nb\n")).Ok());
        QCOMPARE(Read_bytes(index), QByteArray("2026/01/021\xed\x40\r\n"
                                               "2026/12/070a  b \r\n"
                                               "2026/03/040\x85\r\n"));
    }

    void A_memo_that_cannot_be_stored_leaves_the_index_alone()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString index = store->Keyword_file_path(2026);
        QVERIFY(Write_bytes(index, QByteArray("2026/12/070\r\n")));
        const Io_result r = store->Store_day_record(2026, QStringLiteral("2026/12/07"), true,
                                                    QStringLiteral("ab\U00020BB7"));
        QCOMPARE(r.step, Io_step::Encode);
        QCOMPARE(Read_bytes(index), QByteArray("2026/12/070\r\n"));
    }

    void A_long_index_is_rewritten_whole()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString index = store->Keyword_file_path(2026);
        QByteArray lines;
        for (int i = 0; i < 400; ++i)
            lines += QStringLiteral("2026/%1/%2 0line%3\r\n")
                         .arg(i / 28 + 1, 2, 10, QLatin1Char('0'))
                         .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                         .arg(i)
                         .remove(QLatin1Char(' '))
                         .toLatin1();
        QVERIFY(Write_bytes(index, lines));
        QVERIFY(
            store->Store_day_record(2026, QStringLiteral("2026/12/31"), false, QStringLiteral("x"))
                .Ok());
        QCOMPARE(Read_bytes(index), lines + "2026/12/310x\r\n");
        QCOMPARE(Read_index_lines(index).size(), 401);
    }

    void An_index_that_cannot_be_read_is_never_rewritten()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        QVERIFY(QDir().mkdir(store->Keyword_file_path(2026)));
        const Io_result r =
            store->Store_day_record(2026, QStringLiteral("2026/12/07"), false, QStringLiteral("m"));
        QVERIFY(!r.Ok());
        QCOMPARE(r.path, store->Keyword_file_path(2026));
        QVERIFY(Diary_store::Folder_exists(store->Keyword_file_path(2026)));
    }

    void A_year_index_is_created_once()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const QString index = store->Keyword_file_path(2026);
        QVERIFY(store->Create_year_index(2026, QStringLiteral("2026/12/07")).Ok());
        QCOMPARE(Read_bytes(index), QByteArray("2026/12/070\r\n"));
        QVERIFY(Write_bytes(index, QByteArray("2026/01/011x\r\n")));
        QVERIFY(store->Create_year_index(2026, QStringLiteral("2026/12/08")).Ok());
        QCOMPARE(Read_bytes(index), QByteArray("2026/01/011x\r\n"));
        QCOMPARE(Entries(folder->File("2026")), QStringList{QStringLiteral("keyword.txt")});
    }

    void Settings_are_thirty_lines_of_plain_text()
    {
        Settings s = Settings::First_values(4365.5f, 7020, QStringLiteral("2026/12/07"));
        QVERIFY(store->Write_settings(s).Ok());
        QByteArray expected =
            "0\r\n4365.5\r\n7020\r\n7020\r\n9510\r\nnomal\r\n1\r\n2026/12/07\r\n2026/12/07\r\nmada\r\n";
        for (int i = 1; i <= 20; ++i)
            expected += "spare" + QByteArray::number(i) + "\r\n";
        QCOMPARE(Read_bytes(store->Settings_path()), expected);
        QCOMPARE(Mode_of(store->Settings_path()), 0600);

        const Settings_read back =
            store->Read_settings(Settings::First_values(1, 2, QStringLiteral("2000/01/01")));
        QVERIFY(back.result.Ok());
        QVERIFY(back.replaced_lines.isEmpty());
        QCOMPARE(Settings_lines(back.values), Settings_lines(s));
    }

    void Settings_that_change_nothing_leave_the_file_alone()
    {
        const auto inode = [](const QString& path) {
            struct stat st {};
            return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
        };
        const QString path = store->Settings_path();
        Settings s = Settings::First_values(4365.5f, 7020, QStringLiteral("2026/12/07"));
        QVERIFY(store->Write_settings(s).Ok());
        const QByteArray first = Read_bytes(path);
        const ino_t written = inode(path);
        QVERIFY(store->Write_settings(s).Ok());
        QCOMPARE(inode(path), written);
        QCOMPARE(Read_bytes(path), first);

        // One value changed: the file is replaced, every byte as it should be.
        s.screen_mode.Set(Screen_mode::Wide);
        QVERIFY(store->Write_settings(s).Ok());
        QVERIFY(inode(path) != written);
        QByteArray wide = first;
        wide.replace("nomal", "wide");
        QCOMPARE(Read_bytes(path), wide);

        // A byte more, or one byte other, at the same size: replaced.
        QByteArray other = wide;
        other[0] = '1';
        for (const QByteArray& held : {wide + "x", other}) {
            QVERIFY(Write_bytes(path, held));
            const ino_t before = inode(path);
            QVERIFY(store->Write_settings(s).Ok());
            QVERIFY(inode(path) != before);
            QCOMPARE(Read_bytes(path), wide);
        }
        // The same bytes in a file the user made read-only: refused as any
        // write to it is.
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0400) == 0);
        QCOMPARE(store->Write_settings(s).step, Io_step::Read_only);
        QCOMPARE(Read_bytes(path), wide);
    }

    void Settings_written_elsewhere_are_read_leniently()
    {
        // Blanks around numbers, a date without leading zeros, a reserved
        // line in Japanese ("メモ" 83 81 83 82), no final line end.
        QByteArray file =
            " 2 \r\n 1995.25 \r\n-30\r\n7020\r\n9510\r\nwide\r\n3\r\n2025/3/7\r\n2026/12/01\r\nsumi\r\n"
            "\x83\x81\x83\x82\r\n";
        for (int i = 2; i <= 20; ++i)
            file += "spare" + QByteArray::number(i) + (i < 20 ? "\r\n" : "");
        QVERIFY(Write_bytes(store->Settings_path(), file));
        const Settings first = Settings::First_values(100, 200, QStringLiteral("2026/12/07"));
        const Settings_read r = store->Read_settings(first);
        QVERIFY(r.replaced_lines.isEmpty());
        QCOMPARE(r.values.win_state, 2);
        QCOMPARE(r.values.win_top, 1995.25f);
        QCOMPARE(r.values.win_left, -30.0f);
        QCOMPARE(r.values.screen_mode.Word(), QStringLiteral("wide"));
        QCOMPARE(r.values.ref_mode, 3);
        int y = 0, m = 0, d = 0;
        QVERIFY(Parse_date_text(r.values.last_ref_date, y, m, d));
        QCOMPARE(QList<int>({y, m, d}), QList<int>({2025, 3, 7}));
        QCOMPARE(r.values.fortune_state.Word(), QStringLiteral("sumi"));
        QCOMPARE(r.values.spare_lines.first(), QStringLiteral("メモ"));
        QVERIFY(store->Write_settings(r.values).Ok());
        const QByteArray written = Read_bytes(store->Settings_path());
        QCOMPARE(written.count("\r\n"), 30);
        QVERIFY(written.contains("\r\n\x83\x81\x83\x82\r\nspare2\r\n"));
        QVERIFY(written.startsWith("2\r\n1995.25\r\n-30\r\n"));
    }

    void Settings_words_the_program_does_not_know_stay_until_their_state_is_set()
    {
        // "NOMAL" is no mode and lays the panel out wide; "sumi " and an
        // empty line are no told fortune. Written unchanged, they stay.
        auto file = [](const QByteArray& mode, const QByteArray& fortune) {
            QByteArray bytes = "0\r\n0\r\n0\r\n7020\r\n9510\r\n" + mode +
                               "\r\n1\r\n2026/12/07\r\n" + "2026/12/07\r\n" + fortune + "\r\n";
            for (int i = 1; i <= 20; ++i)
                bytes += "spare" + QByteArray::number(i) + "\r\n";
            return bytes;
        };
        const Settings first = Settings::First_values(1, 2, QStringLiteral("2000/01/01"));
        for (const QByteArray& fortune : {QByteArray("sumi "), QByteArray()}) {
            QVERIFY(Write_bytes(store->Settings_path(), file("NOMAL", fortune)));
            Settings s = store->Read_settings(first).values;
            QCOMPARE(s.screen_mode.Get(), Screen_mode::Wide);
            QCOMPARE(s.fortune_state.Get(), Fortune_state::Not_told);
            QVERIFY(store->Write_settings(s).Ok());
            QCOMPARE(Read_bytes(store->Settings_path()), file("NOMAL", fortune));

            // A state set is written as its own word, even the state the
            // odd word stood for.
            s.screen_mode.Set(Screen_mode::Wide);
            s.fortune_state.Set(Fortune_state::Not_told);
            QVERIFY(store->Write_settings(s).Ok());
            QCOMPARE(Read_bytes(store->Settings_path()), file("wide", "mada"));
            s.screen_mode.Set(Screen_mode::Normal);
            s.fortune_state.Set(Fortune_state::Told);
            QVERIFY(store->Write_settings(s).Ok());
            QCOMPARE(Read_bytes(store->Settings_path()), file("nomal", "sumi"));
        }
    }

    void Reserved_settings_lines_keep_their_bytes()
    {
        // 87 90 (≒) and ED 40 (纊) are characters with two codes; code page
        // 932 writes them 81 E0 and FA 5C. A stray lead byte and a user-defined
        // character ride along. Saved without an edit, every byte stays.
        QByteArray file =
            "0\r\n0\r\n0\r\n7020\r\n9510\r\nnomal\r\n1\r\n2026/12/07\r\n2026/12/07\r\nmada\r\n"
            "\x87\x90\r\n\xed\x40\xed\x40\r\nA\x85\x41\r\n\xf0\x40\r\n";
        for (int i = 5; i <= 20; ++i)
            file += "spare" + QByteArray::number(i) + "\r\n";
        QVERIFY(Write_bytes(store->Settings_path(), file));
        const Settings_read r =
            store->Read_settings(Settings::First_values(1, 2, QStringLiteral("2000/01/01")));
        QVERIFY(r.result.Ok());
        QVERIFY(r.replaced_lines.isEmpty());
        QCOMPARE(r.values.spare_lines.first(), QStringLiteral("≒"));
        Settings changed = r.values;
        changed.win_state = 2;
        QVERIFY(store->Write_settings(changed).Ok());
        QCOMPARE(Read_bytes(store->Settings_path()), QByteArray(file).replace(0, 1, "2"));

        // A reserved line given a new value is written as its text; a new
        // file's reserved lines are "spare1" to "spare20".
        changed.spare_lines[1] = QStringLiteral("纊");
        QVERIFY(store->Write_settings(changed).Ok());
        QVERIFY(Read_bytes(store->Settings_path()).contains("\r\n\x87\x90\r\n\xfa\x5c\r\n"));
        const Settings fresh = Settings::First_values(1, 2, QStringLiteral("2000/01/01"));
        QCOMPARE(fresh.spare_bytes.size(), 20);
        QCOMPARE(fresh.spare_bytes.last(), QByteArray("spare20"));
    }

    void Missing_or_wrong_settings_take_their_first_values()
    {
        QVERIFY(Write_bytes(store->Settings_path(),
                            "1\r\nabc\r\n12e\r\n\r\n9510\r\nnomal\r\nx\r\n2025/13/1\r\n"));
        const Settings first = Settings::First_values(100, 200, QStringLiteral("2026/12/07"));
        const Settings_read r = store->Read_settings(first);
        QCOMPARE(r.values.win_state, 1);
        QCOMPARE(r.values.win_top, 100.0f);
        QCOMPARE(r.values.win_left, 200.0f);
        QCOMPARE(r.values.win_height, 7020.0f);
        QCOMPARE(r.values.ref_mode, 1);
        QCOMPARE(r.values.last_ref_date, QStringLiteral("2026/12/07"));
        QCOMPARE(r.values.last_run_date, QStringLiteral("2026/12/07"));
        QCOMPARE(r.values.spare_lines.size(), 20);
        QCOMPARE(r.values.spare_lines.last(), QStringLiteral("spare20"));
        QList<int> expected{2, 3, 4, 7, 8};
        for (int i = 9; i <= 30; ++i)
            expected << i;
        QCOMPARE(r.replaced_lines, expected);
    }

    void Window_values_are_plain_decimals()
    {
        QCOMPARE(Format_twips(7020), QStringLiteral("7020"));
        QCOMPARE(Format_twips(4365.5f), QStringLiteral("4365.5"));
        QCOMPARE(Format_twips(-0.0f), QStringLiteral("0"));
        QCOMPARE(Format_twips(123456789.0f), QStringLiteral("123456792"));
        QCOMPARE(Format_twips(0.1f), QStringLiteral("0.1"));
    }

    void Messages_are_handed_over_to_the_next_day()
    {
        const QString tomorrow = store->Tomorrow_path();
        const QString yesterday = store->Yesterday_path();
        QVERIFY(store->Hand_over_messages().Ok());  // neither file
        QVERIFY(Write_bytes(yesterday, Hex("41 0d 0a")));
        QVERIFY(Write_bytes(tomorrow, Hex("82 a0 0d 0a")));
        QVERIFY(store->Hand_over_messages().Ok());
        QVERIFY(!Diary_store::File_exists(tomorrow));
        QCOMPARE(Read_bytes(yesterday), Hex("82 a0 0d 0a"));
        QVERIFY(store->Hand_over_messages().Ok());  // no new message: the old one goes
        QVERIFY(!Diary_store::File_exists(yesterday));
    }

    void Only_regular_files_are_read_and_never_written_over()
    {
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        const auto is_fifo = [](const QString& path) {
            struct stat st {};
            return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
        };
        // Named pipes as a day file, the index, a message and the settings:
        // reading does not wait for a writer, and nothing replaces them.
        const QString day = store->Day_file_path(2026, 12, 7);
        const QString index = store->Keyword_file_path(2026);
        const QString message = store->Tomorrow_path();
        for (const QString& path : {day, index, message, store->Settings_path()})
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        for (const QString& path : {day, message}) {
            const Text_read read = store->Read_text_file(path);
            QCOMPARE(read.result.step, Io_step::Not_a_regular_file);
            QCOMPARE(read.result.path, path);
            QVERIFY(!store->Write_text_file(path, QStringLiteral("A")).Ok());
        }
        Io_result error;
        store->Find_day_record(2026, QStringLiteral("2026/12/07"), &error);
        QCOMPARE(error.step, Io_step::Not_a_regular_file);
        QCOMPARE(store->Store_day_record(2026, QStringLiteral("2026/12/07"), true, QString()).step,
                 Io_step::Not_a_regular_file);
        QCOMPARE(Read_index_lines(index, &error), QStringList());
        QCOMPARE(error.step, Io_step::Not_a_regular_file);
        const Settings first = Settings::First_values(1, 2, QStringLiteral("2026/12/07"));
        QCOMPARE(store->Read_settings(first).result.step, Io_step::Not_a_regular_file);
        QCOMPARE(store->Write_settings(first).step, Io_step::Not_a_regular_file);
        for (const QString& path : {day, index, message, store->Settings_path()})
            QVERIFY2(is_fifo(path), qPrintable(path));

        // A link to a device that never ends, or to a file elsewhere (some
        // other user's secret): neither followed nor written over.
        const QString linked = store->Day_file_path(2026, 12, 8);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), linked));
        QCOMPARE(store->Read_text_file(linked).result.step, Io_step::Link_not_read);
        QCOMPARE(store->Write_text_file(linked, QStringLiteral("A")).step, Io_step::Is_a_link);
        const QString target = folder->File("elsewhere.txt");
        QVERIFY(Write_bytes(target, Hex("82 a0 0d 0a")));
        const QString link = store->Day_file_path(2026, 12, 9);
        QVERIFY(QFile::link(target, link));
        const Text_read through_link = store->Read_text_file(link);
        QCOMPARE(through_link.result.step, Io_step::Link_not_read);
        QVERIFY(through_link.text.isEmpty() && through_link.bytes.isEmpty());

        // A regular file over the limit (sparse: no disk used) is not read.
        const QString huge = store->Day_file_path(2026, 12, 10);
        QVERIFY(Write_bytes(huge, QByteArray()));
        QVERIFY(::truncate(QFile::encodeName(huge).constData(), File_size_limit + 1) == 0);
        const Text_read read = store->Read_text_file(huge);
        QCOMPARE(read.result.step, Io_step::Too_large);
        QVERIFY(read.text.isEmpty());
        // Nor is a text written that could not be read back.
        const QString next = store->Day_file_path(2026, 12, 11);
        QCOMPARE(store->Write_text_bytes(next, QByteArray(File_size_limit - 1, 'A')).step,
                 Io_step::Too_large);
        QVERIFY(!Diary_store::File_exists(next));
        QVERIFY(store->Write_text_bytes(next, QByteArray(File_size_limit - 2, 'A')).Ok());
        QCOMPARE(store->Read_text_file(next).text.size(), File_size_limit - 2);
    }

    void Upper_case_names_are_found_and_kept()
    {
        // A diary copied from FAT media: every name in upper case.
        QVERIFY(store->Ensure_year_folder(2026).Ok());
        QVERIFY(Write_bytes(folder->File("2026/1209.TXT"), Hex("82 a0 0d 0a")));
        QVERIFY(Write_bytes(folder->File("2026/KEYWORD.TXT"), "2026/12/091\x8e\x55\r\n"));
        QVERIFY(Write_bytes(folder->File("TOMORROW.TXT"), Hex("41 0d 0a")));
        QVERIFY(Write_bytes(folder->File("YESTERDA.TXT"), Hex("42 0d 0a")));

        QCOMPARE(store->Read_text_file(store->Day_file_path(2026, 12, 9)).text,
                 QStringLiteral("あ"));
        const Day_record record = store->Find_day_record(2026, QStringLiteral("2026/12/09"));
        QVERIFY(record.found && record.memory);
        QCOMPARE(record.memo, QStringLiteral("散"));
        QCOMPARE(store->Read_text_file(store->Tomorrow_path()).text, QStringLiteral("A"));
        QCOMPARE(store->Read_text_file(store->Yesterday_path()).text, QStringLiteral("B"));

        // Saving writes to the same names.
        QVERIFY(
            store->Write_text_file(store->Day_file_path(2026, 12, 9), QStringLiteral("い")).Ok());
        QVERIFY(store->Store_day_record(2026, QStringLiteral("2026/12/09"), false, QString()).Ok());
        QVERIFY(store->Write_text_file(store->Tomorrow_path(), QStringLiteral("C")).Ok());
        QCOMPARE(Entries(folder->File("2026")), QStringList({"1209.TXT", "KEYWORD.TXT"}));
        QCOMPARE(Read_bytes(folder->File("2026/1209.TXT")), Hex("82 a2 0d 0a"));
        QCOMPARE(Read_bytes(folder->File("2026/KEYWORD.TXT")), QByteArray("2026/12/090\r\n"));
        QCOMPARE(Read_bytes(folder->File("TOMORROW.TXT")), Hex("43 0d 0a"));

        // The hand-over moves the message over the old one's name.
        QVERIFY(store->Hand_over_messages().Ok());
        QCOMPARE(Entries(folder->Path()), QStringList({"2026", "YESTERDA.TXT"}));
        QCOMPARE(Read_bytes(folder->File("YESTERDA.TXT")), Hex("43 0d 0a"));

        // A new file is lower case; where both names are there, the lower-case one is used.
        QVERIFY(
            store->Write_text_file(store->Day_file_path(2026, 12, 10), QStringLiteral("D")).Ok());
        QVERIFY(Diary_store::File_exists(folder->File("2026/1210.txt")));
        QVERIFY(Write_bytes(folder->File("2026/1209.txt"), Hex("45 0d 0a")));
        QCOMPARE(store->Read_text_file(store->Day_file_path(2026, 12, 9)).text,
                 QStringLiteral("E"));
    }

    void A_hand_over_names_the_file_in_the_way()
    {
        QVERIFY(Write_bytes(store->Tomorrow_path(), Hex("41 0d 0a")));
        // A folder where yesterday's message goes.
        QVERIFY(QDir().mkdir(folder->File("yesterda.txt")));
        QVERIFY(Write_bytes(folder->File("yesterda.txt/inside"), Hex("42")));
        Io_result r = store->Hand_over_messages();
        QCOMPARE(r.step, Io_step::Not_a_file);
        QCOMPARE(r.path, store->Yesterday_path());
        QCOMPARE(Read_bytes(store->Tomorrow_path()), Hex("41 0d 0a"));
        QVERIFY(QDir().rmdir(folder->File("yesterda.txt")) == false);
        QVERIFY(QFile::remove(folder->File("yesterda.txt/inside")));
        QVERIFY(QDir().rmdir(folder->File("yesterda.txt")));
        // A pipe there.
        QVERIFY(::mkfifo(QFile::encodeName(folder->File("yesterda.txt")).constData(), 0600) == 0);
        r = store->Hand_over_messages();
        QCOMPARE(r.step, Io_step::Not_a_regular_file);
        QCOMPARE(r.path, store->Yesterday_path());
        QVERIFY(QFile::remove(folder->File("yesterda.txt")));
        // A folder as tomorrow's message: it is the one named.
        QVERIFY(QFile::remove(store->Tomorrow_path()));
        QVERIFY(QDir().mkdir(folder->File("tomorrow.txt")));
        r = store->Hand_over_messages();
        QCOMPARE(r.step, Io_step::Not_a_file);
        QCOMPARE(r.path, store->Tomorrow_path());
        QVERIFY(QFileInfo(folder->File("tomorrow.txt")).isDir());
        QVERIFY(!QFileInfo::exists(folder->File("yesterda.txt")));
    }

private:
    std::unique_ptr<Temp_folder> folder;
    std::unique_ptr<Diary_store> store;
};

QTEST_GUILESS_MAIN(Test_store)
#include "test_store.moc"

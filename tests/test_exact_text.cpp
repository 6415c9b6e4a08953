// Characters code page 932 cannot hold (😀, 𠮷, é, 🎂), kept exactly in the
// UTF-8 companions beside the Shift_JIS files, without any window: the
// bytes of every file after a save, a day changed elsewhere, each state a
// save cut short can leave, the memo search, the messages and their
// hand-over. Fixtures are bytes written here.

#include "diary/session.h"
#include "store/day_list.h"
#include "store/exact_text.h"
#include "support/session_fixture.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <memory>

namespace {

// 絵文字😀と𠮷野家とcafé / 二行目, the memo 誕生日🎂, and their substitutes.
const QString Exact_text_1 = QStringLiteral("絵文字😀と𠮷野家とcafé\n二行目");
const QString Exact_memo_1 = QStringLiteral("誕生日🎂");
const QByteArray File_1 = Hex("8a 47 95 b6 8e 9a 3f 82 c6 3f 96 ec 89 c6 82 c6 63 61 66 3f 0d 0a"
                              "93 f1 8d 73 96 da 0d 0a");
const QByteArray Record_1 = Hex("32 30 32 36 2f 31 32 2f 30 37 31 92 61 90 b6 93 fa 3f 0d 0a");
// What the companion of that day holds: the memo line, then the text.
const QByteArray Companion_1 = QStringLiteral("誕生日🎂\n絵文字😀と𠮷野家とcafé\n二行目").toUtf8();

// ケーキ🍰 with the memo 雪☃, a second version of the day.
const QString Exact_text_2 = QStringLiteral("ケーキ🍰");
const QString Exact_memo_2 = QStringLiteral("雪☃");
const QByteArray File_2 = Hex("83 50 81 5b 83 4c 3f 0d 0a");
const QByteArray Record_2 = Hex("32 30 32 36 2f 31 32 2f 30 37 30 90 e1 3f 0d 0a");
const QByteArray Companion_2 = QStringLiteral("雪☃\nケーキ🍰").toUtf8();

// 雨。 as the Windows program writes it.
const QByteArray Rain_file = Hex("89 4a 81 42 0d 0a");

}  // namespace

class Test_exact_text : public QObject, private Session_fixture {
    Q_OBJECT

private:
    // A new run of the program on the same folder, on the day given.
    void Restart(QDate day = QDate(2026, 12, 7))
    {
        clock.now = QDateTime(day, QTime(8, 0, 0));
        session = std::make_unique<Diary_session>(folder->Path(), clock);
        Start();
    }
    Diary_session::Save_result Save(const QString& text, const QString& memo, bool flag)
    {
        Diary_session::Day_plan plan =
            session->Plan_day_save({text, memo, flag}, Diary_session::Who::User);
        return session->Write_day(plan);
    }
    // The year folder's names, the index and the day file left out.
    QStringList Beside_the_day() const
    {
        QStringList names = Entries(At("2026"));
        names.removeAll(QStringLiteral("keyword.txt"));
        names.removeAll(QStringLiteral("1207.txt"));
        return names;
    }

private slots:
    void init() { Set_up(); }

    void A_day_is_saved_with_substitutes_and_read_back_exactly()
    {
        Start();
        QCOMPARE(Save(Exact_text_1, Exact_memo_1, true), Diary_session::Save_result::Saved);
        // The Shift_JIS files byte for byte as without the companion.
        QCOMPARE(Read_bytes(At("2026/1207.txt")), File_1);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Record_1);
        QCOMPARE(Read_bytes(At("2026/1207.utf8.txt")), Companion_1);
        QCOMPARE(Beside_the_day(), QStringList({"1207.utf8.txt"}));
        QCOMPARE(session->Loaded_day(), (Day_entry{Exact_text_1, Exact_memo_1, true}));

        Restart();
        QCOMPARE(session->Loaded_day(), (Day_entry{Exact_text_1, Exact_memo_1, true}));
        const Exact_day day = Read_exact_day(session->Store(), 2026, 12, 7);
        QVERIFY(day.exact_text && day.exact_memo && day.flag);
        QCOMPARE(day.file, File_1);
        // The reference panel reads it exactly too.
        session->Set_reference_date({2026, 12, 7});
        Diary_session::Day_read read;
        QCOMPARE(session->Load_reference_text(read), Exact_text_1);
        QVERIFY(read.text_error.Ok());

        // Saved again with text code page 932 holds: the companion goes.
        QCOMPARE(Save(QStringLiteral("雨。"), QString(), false), Diary_session::Save_result::Saved);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Rain_file);
        QCOMPARE(Beside_the_day(), QStringList());
        Restart();
        QCOMPARE(session->Loaded_day(), (Day_entry{QStringLiteral("雨。"), QString(), false}));
    }

    void A_day_changed_elsewhere_wins_and_its_exact_text_is_kept()
    {
        Start();
        QCOMPARE(Save(Exact_text_1, Exact_memo_1, true), Diary_session::Save_result::Saved);
        // The Windows program rewrote the text only: the memo's record is
        // as saved, so the memo stays exact, the text is the file's.
        QVERIFY(Write_bytes(At("2026/1207.txt"), Rain_file));
        Restart();
        QCOMPARE(session->Loaded_day(), (Day_entry{QStringLiteral("雨。"), Exact_memo_1, true}));
        QCOMPARE(Read_bytes(At("2026/1207.utf8.txt")), Companion_1);

        // And the record too: nothing of the companion matches any more;
        // loading the day keeps it aside, and it is named as another version.
        QVERIFY(Write_bytes(At("2026/keyword.txt"), Hex("32 30 32 36 2f 31 32 2f 30 37 30 0d 0a")));
        Restart();
        QCOMPARE(session->Loaded_day(), (Day_entry{QStringLiteral("雨。"), QString(), false}));
        QCOMPARE(Beside_the_day(), QStringList({"1207.utf8.kept-20261207-080000.txt"}));
        QCOMPARE(Read_bytes(At("2026/1207.utf8.kept-20261207-080000.txt")), Companion_1);
        QCOMPARE(session->Other_versions({2026, 12, 7}),
                 QStringList({"2026/1207.utf8.kept-20261207-080000.txt"}));
        // The reference panel only reads: the file's text, nothing moved.
        QVERIFY(Write_bytes(At("2026/1208.txt"), Rain_file));
        QVERIFY(Write_bytes(At("2026/1208.utf8.txt"), Companion_2));
        session->Set_reference_date({2026, 12, 8});
        Diary_session::Day_read read;
        QCOMPARE(session->Load_reference_text(read), QStringLiteral("雨。"));
        QVERIFY(QFile::exists(At("2026/1208.utf8.txt")));
    }

    void A_save_of_a_day_changed_elsewhere_keeps_the_old_exact_text_first()
    {
        Start();
        QCOMPARE(Save(Exact_text_1, Exact_memo_1, true), Diary_session::Save_result::Saved);
        QVERIFY(Write_bytes(At("2026/1207.txt"), Rain_file));
        Restart();
        // Edited and saved with new characters: the companion that only
        // half matched is kept aside before the new one takes its name.
        clock.now = QDateTime(QDate(2026, 12, 7), QTime(9, 15, 0));
        QCOMPARE(Save(Exact_text_2, Exact_memo_2, false), Diary_session::Save_result::Saved);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), File_2);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Record_2);
        QCOMPARE(Read_bytes(At("2026/1207.utf8.txt")), Companion_2);
        QCOMPARE(Read_bytes(At("2026/1207.utf8.kept-20261207-091500.txt")), Companion_1);
        QCOMPARE(Beside_the_day(),
                 QStringList({"1207.utf8.kept-20261207-091500.txt", "1207.utf8.txt"}));
    }

    // A day changed elsewhere while it was open: whichever version goes to
    // the conflict copy takes its exact text along, beside the copy.
    void The_version_not_kept_keeps_its_exact_text_data()
    {
        QTest::addColumn<bool>("keep_disk");
        QTest::newRow("the files' version kept") << true;
        QTest::newRow("the panel's version kept") << false;
    }
    void The_version_not_kept_keeps_its_exact_text()
    {
        QFETCH(bool, keep_disk);
        Start();
        QCOMPARE(Save(Exact_text_1, Exact_memo_1, true), Diary_session::Save_result::Saved);
        // Another copy of the diary saves the day with other characters.
        QVERIFY(Write_bytes(At("2026/1207.txt"), File_2));
        QVERIFY(Write_bytes(At("2026/keyword.txt"), Record_2));
        QVERIFY(Write_bytes(At("2026/1207.utf8.txt"), Companion_2));
        Diary_session::Day_plan plan = session->Plan_day_save(
            {QStringLiteral("é"), QStringLiteral("🌙"), true}, Diary_session::Who::User);
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Changed_on_disk);
        plan.keep = keep_disk ? Diary_session::Keep::Disk : Diary_session::Keep::Mine;
        session->Write_day(plan);
        const QString copy = QStringLiteral("2026/1207.conflict-20261207-213015.utf8.txt");
        QCOMPARE(Read_bytes(At(copy)), keep_disk ? QStringLiteral("🌙\né").toUtf8() : Companion_2);
        QCOMPARE(Read_bytes(At("2026/1207.utf8.txt")),
                 keep_disk ? Companion_2 : QStringLiteral("🌙\né").toUtf8());
        const Day_entry kept = keep_disk
                                   ? Day_entry{Exact_text_2, Exact_memo_2, false}
                                   : Day_entry{QStringLiteral("é"), QStringLiteral("🌙"), true};
        // The session holds the version kept, exactly, before and after a load.
        QCOMPARE(session->Loaded_day(), kept);
        session->Load_diary_day({2026, 12, 7});
        QCOMPARE(session->Loaded_day(), kept);
    }

    // A save writes the staged companion, the index, the day file, then
    // renames the companion. Each state a kill can leave reads as old or
    // new, part by part, exactly; the next save loses nothing.
    void Every_state_a_cut_save_leaves_reads_old_or_new_data()
    {
        QTest::addColumn<int>("steps");  // steps of the second save done
        QTest::newRow("staged companion written") << 1;
        QTest::newRow("index written") << 2;
        QTest::newRow("day file written") << 3;
    }
    void Every_state_a_cut_save_leaves_reads_old_or_new()
    {
        QFETCH(int, steps);
        QVERIFY(QDir().mkpath(At("2026")));
        // The first version saved whole; the second cut after some steps.
        QVERIFY(Write_bytes(At("2026/1207.txt"), steps >= 3 ? File_2 : File_1));
        QVERIFY(Write_bytes(At("2026/keyword.txt"), steps >= 2 ? Record_2 : Record_1));
        QVERIFY(Write_bytes(At("2026/1207.utf8.txt"), Companion_1));
        QVERIFY(Write_bytes(At("2026/1207.utf8.new.txt"), Companion_2));
        Start();
        const Day_entry expected{steps >= 3 ? Exact_text_2 : Exact_text_1,
                                 steps >= 2 ? Exact_memo_2 : Exact_memo_1, steps < 2};
        QCOMPARE(session->Loaded_day(), expected);
        // Nothing was moved aside: each companion serves a part, or the
        // staged one is what the files hold.
        QCOMPARE(Beside_the_day().size(), 2);

        // The next save settles them: what matches the files is kept as the
        // companion, and what does not is kept aside, never dropped.
        QCOMPARE(Save(QStringLiteral("雨。"), QStringLiteral("傘"), false),
                 Diary_session::Save_result::Saved);
        QStringList kept = Beside_the_day();
        QCOMPARE(kept.size(), steps == 2 ? 2 : 1);
        QByteArrayList kept_bytes;
        for (const QString& name : kept) {
            QVERIFY2(Is_kept_companion_name(name), qPrintable(name));
            kept_bytes << Read_bytes(At("2026/" + name));
        }
        // Cut before the index: the second version never reached the files.
        if (steps == 1)
            QCOMPARE(kept_bytes, QByteArrayList({Companion_2}));
        // Cut before the rename: the first version, replaced by then.
        if (steps == 3)
            QCOMPARE(kept_bytes, QByteArrayList({Companion_1}));
        if (steps == 2)
            QVERIFY(kept_bytes.contains(Companion_1) && kept_bytes.contains(Companion_2));
    }

    // A reader of many days of a year (the export, the print) lists the
    // folder and reads the index once; each day must come out as it does
    // when read alone: companions of every state, an upper-case name, a
    // key written twice, a record without a file, a file without a record.
    void A_year_read_at_once_gives_each_day_as_read_alone()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At("2026/1207.txt"), File_2));
        QVERIFY(Write_bytes(At("2026/1207.utf8.txt"), Companion_1));
        QVERIFY(Write_bytes(At("2026/1207.utf8.new.txt"), Companion_2));
        QVERIFY(Write_bytes(At("2026/1208.TXT"), File_1));
        QVERIFY(Write_bytes(At("2026/1208.utf8.txt"), Companion_1));
        QVERIFY(Write_bytes(At("2026/1209.txt"), Rain_file));
        QVERIFY(Write_bytes(At("2026/1210.utf8.txt"), Companion_2));  // its file is gone
        QVERIFY(QDir().mkpath(At("2026/1211.txt")));                  // unreadable
        // 12/07 twice (flag once, the memo of the last line), 12/08 as
        // the first record, 12/10 without a file.
        QVERIFY(Write_bytes(At("2026/keyword.txt"),
                            Hex("32 30 32 36 2f 31 32 2f 30 37 31 8e 50 0d 0a") + Record_2 +
                                Hex("32 30 32 36 2f 31 32 2f 30 38 31 92 61 90 b6 93 fa 3f 0d 0a"
                                    "32 30 32 36 2f 31 32 2f 31 30 30 90 e1 3f 0d 0a")));
        Diary_store store(folder->Path());
        const Year_files year = Read_year_files(store, 2026);
        QVERIFY(year.folder_exists && year.folder_error.Ok() && year.index_error.Ok());
        for (int day = 6; day <= 11; ++day) {
            const Exact_day alone = Read_exact_day(store, 2026, 12, day);
            const Exact_day at_once = Read_exact_day(store, 2026, 12, day, year);
            const QString which = QStringLiteral("12/%1").arg(day);
            QCOMPARE(at_once.text, alone.text);
            QCOMPARE(at_once.memo, alone.memo);
            QCOMPARE(at_once.flag, alone.flag);
            QCOMPARE(at_once.file, alone.file);
            QCOMPARE(at_once.text_error.step, alone.text_error.step);
            QCOMPARE(at_once.exact_text, alone.exact_text);
            QCOMPARE(at_once.exact_memo, alone.exact_memo);
            QCOMPARE(at_once.unmatched, alone.unmatched);
            QCOMPARE(at_once.record.own_lines, alone.record.own_lines);
            QVERIFY2(at_once.record.memo_bytes == alone.record.memo_bytes, qPrintable(which));
            // The export's form: the text as UTF-8 from the file's bytes,
            // or the companion's where it is the exact one.
            const Exact_day bytes = Read_exact_day(store, 2026, 12, day, year, false);
            QCOMPARE(bytes.exact_text ? bytes.text.toUtf8() : Utf8_text_of_file(bytes.file),
                     alone.text.toUtf8());
            QCOMPARE(bytes.memo, alone.memo);
            QCOMPARE(bytes.text_error.step, alone.text_error.step);
        }
        // What each of them is, so that the comparison above compares
        // something.
        QCOMPARE(Read_exact_day(store, 2026, 12, 7, year).text, Exact_text_2);
        QCOMPARE(Read_exact_day(store, 2026, 12, 7, year).memo, Exact_memo_2);
        QVERIFY(Read_exact_day(store, 2026, 12, 7, year).flag);
        QCOMPARE(Read_exact_day(store, 2026, 12, 8, year).text, Exact_text_1);
        QCOMPARE(Read_exact_day(store, 2026, 12, 8, year).memo, Exact_memo_1);
        QCOMPARE(Read_exact_day(store, 2026, 12, 10, year).memo, Exact_memo_2);
        QVERIFY(!Read_exact_day(store, 2026, 12, 11, year).text_error.Ok());
    }

    // The final line end dropped and CR LF read as one line break, as the
    // text read from a file has them, around stray bytes too.
    void A_file_as_utf8_is_its_text_as_utf8()
    {
        for (const char* hex :
             {"", "0d 0a", "0d", "0a", "41 0d 0d 0a", "41 0d 0a 0d 0a 0d 0a", "0d 0d 0a 0a 0d",
              "82 0d 0a 42 0a 0d", "41 0a 0d 42 0d 0a 0d", "8a 47 95 b6 0d 0a 87 40 82"}) {
            const QByteArray file = Hex(hex);
            QCOMPARE(Utf8_text_of_file(file), Diary_store::Text_of_file(file).toUtf8());
        }
    }

    void The_memo_search_finds_the_exact_memo()
    {
        Start();
        QCOMPARE(Save(Exact_text_1, Exact_memo_1, true), Diary_session::Save_result::Saved);
        session->Load_diary_day({2026, 12, 8});
        QCOMPARE(Save(QStringLiteral("晴れ"), QStringLiteral("何?"), false),
                 Diary_session::Save_result::Saved);
        auto memos = [this](const QString& keyword) {
            QStringList out;
            const Day_list_read read = Read_day_list(
                folder->Path(), QStringLiteral("2026"),
                [&keyword](const QString& line) { return Keyword_test(line, keyword); });
            for (const Listed_record& record : read.records)
                out << Row_text_of(record.line).date + QLatin1Char(' ') +
                           Row_text_of(record.line).memo;
            return out;
        };
        QCOMPARE(memos(QStringLiteral("🎂")), QStringList({"2026/12/07 誕生日🎂"}));
        // A question mark typed is one, and finds only that memo.
        QCOMPARE(memos(QStringLiteral("?")), QStringList({"2026/12/08 何?"}));
        QCOMPARE(Read_bytes(At("2026/1208.txt")), Hex("90 b0 82 ea 0d 0a"));
        QVERIFY(!QFile::exists(At("2026/1208.utf8.txt")));
        // The memo rewritten elsewhere: the index's memo is listed.
        QByteArray index = Read_bytes(At("2026/keyword.txt"));
        index.replace(Hex("92 61 90 b6 93 fa 3f"), Hex("92 61 3f"));
        QVERIFY(Write_bytes(At("2026/keyword.txt"), index));
        QCOMPARE(memos(QStringLiteral("🎂")), QStringList());
        QCOMPARE(memos(QStringLiteral("誕")), QStringList({"2026/12/07 誕?"}));
    }

    void Messages_keep_their_exact_text_through_the_hand_over()
    {
        Start();
        QVERIFY(Write_exact_text_file(session->Store(), At("tomorrow.txt"),
                                      QStringLiteral("😀元気😀"), clock.now)
                    .Ok());
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Hex("3f 8c b3 8b 43 3f 0d 0a"));  // ?元気?
        QCOMPARE(Read_bytes(At("tomorrow.utf8.txt")), QStringLiteral("\n😀元気😀").toUtf8());
        QCOMPARE(Read_exact_text_file(At("tomorrow.txt")).text, QStringLiteral("😀元気😀"));

        // The next day: both move together.
        Restart(QDate(2026, 12, 8));
        QVERIFY(!QFile::exists(At("tomorrow.txt")) && !QFile::exists(At("tomorrow.utf8.txt")));
        QCOMPARE(Read_bytes(At("yesterda.txt")), Hex("3f 8c b3 8b 43 3f 0d 0a"));
        QCOMPARE(Read_exact_text_file(At("yesterda.txt")).text, QStringLiteral("😀元気😀"));

        // A message the Windows program wrote over: the file wins, and its
        // old exact text is kept aside rather than handed over with it.
        QVERIFY(Write_exact_text_file(session->Store(), At("tomorrow.txt"), QStringLiteral("é"),
                                      clock.now)
                    .Ok());
        QVERIFY(Write_bytes(At("tomorrow.txt"), Rain_file));
        QCOMPARE(Read_exact_text_file(At("tomorrow.txt")).text, QStringLiteral("雨。"));
        Restart(QDate(2026, 12, 9));
        QCOMPARE(Read_bytes(At("yesterda.txt")), Rain_file);
        QVERIFY(!QFile::exists(At("yesterda.utf8.txt")));
        QCOMPARE(Read_bytes(At("tomorrow.utf8.kept-20261209-080000.txt")),
                 QStringLiteral("\né").toUtf8());

        // No new message: the received one goes with its exact text.
        QVERIFY(Write_exact_text_file(session->Store(), At("yesterda.txt"), QStringLiteral("🌙"),
                                      clock.now)
                    .Ok());
        Restart(QDate(2026, 12, 10));
        QVERIFY(!QFile::exists(At("yesterda.txt")) && !QFile::exists(At("yesterda.utf8.txt")));

        // A withdrawn message takes its companion with it.
        QVERIFY(Write_exact_text_file(session->Store(), At("tomorrow.txt"), QStringLiteral("🌙"),
                                      clock.now)
                    .Ok());
        QVERIFY(Remove_exact_text_file(At("tomorrow.txt"), clock.now).Ok());
        QVERIFY(!QFile::exists(At("tomorrow.txt")) && !QFile::exists(At("tomorrow.utf8.txt")));
    }

    void Companions_are_never_read_as_days_or_other_versions()
    {
        const QString day = QStringLiteral("1207");
        QVERIFY(!Is_other_version_of(QStringLiteral("1207.utf8.txt"), day));
        QVERIFY(!Is_other_version_of(QStringLiteral("1207.utf8.new.txt"), day));
        QVERIFY(Is_other_version_of(QStringLiteral("1207.utf8.kept-20261207-080000.txt"), day));
        QVERIFY(Is_other_version_of(QStringLiteral("1207.utf8.kept-20261207-080000-2.txt"), day));
        QVERIFY(!Is_other_version_of(QStringLiteral("1207.utf8.kept-x.txt"), day));
        QCOMPARE(Companion_path(QStringLiteral("/d/2026/1207.TXT")),
                 QStringLiteral("/d/2026/1207.utf8.txt"));
        // A companion that is not UTF-8 is no companion.
        QVERIFY(!Parse_companion(Hex("82 a0 0a 82 a0")));
        QVERIFY(!Parse_companion(QByteArray("no memo line")));
        QCOMPARE(*Parse_companion(Companion_2), (Exact_text{Exact_memo_2, Exact_text_2}));
    }
};

QTEST_GUILESS_MAIN(Test_exact_text)
#include "test_exact_text.moc"

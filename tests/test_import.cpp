// Bringing a diary in: the names of daily notes, their decoding, a folder
// of notes and a journal's JSON read into days, those days written into
// empty and non-empty days through the session's save (bytes on disk, the
// exact-text companion, nothing written over), the report, and the diary
// exported and brought back into an empty folder byte for byte.

#include "diary/export.h"
#include "diary/import.h"
#include "diary/photos.h"
#include "store/exact_text.h"
#include "store/store.h"
#include "support/session_fixture.h"

#include <QDir>
#include <QtTest>

namespace {

bool Put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return Write_bytes(path, bytes);
}

// The year folders only: what a day's save and an import both write.
QMap<QString, QByteArray> Files_of_year(const QString& root)
{
    QMap<QString, QByteArray> files;
    const QMap<QString, QByteArray> tree = File_tree(root);
    for (auto it = tree.cbegin(); it != tree.cend(); ++it)
        if (QStringView(it.key()).left(4).toInt() >= First_year)
            files.insert(it.key(), it.value());
    return files;
}

void Save_day(Diary_session& session, const Panel_date& date, const Day_entry& entry)
{
    session.Load_diary_day(date);
    Diary_session::Day_plan plan = session.Plan_day_save(entry, Diary_session::Who::User);
    QCOMPARE(session.Write_day(plan), Diary_session::Save_result::Saved);
}

Import_report Import_all(Diary_session& session, Import_plan& plan, bool choose_appends)
{
    Import_report report;
    for (Import_item& item : plan.items) {
        item.chosen = choose_appends;
        Import_one(session, item, QDate(2026, 12, 7), report);
    }
    return report;
}

const QString Separator = QStringLiteral("――――― 取り込み 2026/12/07 ―――――");

}  // namespace

class Test_import : public QObject, private Session_fixture {
    Q_OBJECT

private:
    std::unique_ptr<Temp_folder> notes;

private slots:
    void init()
    {
        Set_up();
        notes = std::make_unique<Temp_folder>();
        QVERIFY(notes->Ok());
    }

    void Daily_note_names_give_their_dates_and_nothing_else_does()
    {
        const auto date = [](const char* name) { return Daily_note_date(QString::fromUtf8(name)); };
        QCOMPARE(date("2026-12-09.md"), (Panel_date{2026, 12, 9}));
        QCOMPARE(date("20261209.txt"), (Panel_date{2026, 12, 9}));
        QCOMPARE(date("2026-12-09.TXT"), (Panel_date{2026, 12, 9}));
        QCOMPARE(date("Daily/2026/12/2026-12-09.md"), (Panel_date{2026, 12, 9}));
        QCOMPARE(date("2026/1209.txt"), (Panel_date{2026, 12, 9}));
        QCOMPARE(date("2024-02-29.md"), (Panel_date{2024, 2, 29}));
        // The diary's calendar has 31 days in every month, as its date bars.
        QCOMPARE(date("2026/0230.txt"), (Panel_date{2026, 2, 30}));
        QCOMPARE(date("2025-02-29.md"), (Panel_date{2025, 2, 29}));
        for (const char* bad :
             {"2026-02-32.md", "2026-04-00.md", "2026-13-01.md", "2026-12-9.md", "1989-12-31.md",
              "2101-01-01.md", "2026-12-09.html", "2026-12-09 メモ.md", "1209.txt", "x/1209.txt",
              "2026/12099.txt", "notes.md", "2026120.txt"})
            QVERIFY2(!date(bad), bad);
    }

    void Notes_decode_as_utf8_or_shift_jis_and_lose_one_final_line_end()
    {
        QCOMPARE(Note_text("\xEF\xBB\xBF"
                           "晴れ\r\n散歩\r\n"),
                 QStringLiteral("晴れ\n散歩"));
        QCOMPARE(Note_text("晴れ\n\n"), QStringLiteral("晴れ\n"));
        QCOMPARE(Note_text(Hex("90 b0 82 ea 0d 0a")), QStringLiteral("晴れ"));  // Shift_JIS
        QCOMPARE(Note_text("a\rb"), QStringLiteral("a\nb"));
        QCOMPARE(Note_text(""), QString());
        QVERIFY(!Note_text(Hex("82 ff 82")));              // neither
        QVERIFY(!Note_text(Hex("ef bb bf 90 b0 82 ea")));  // a UTF-8 mark on Shift_JIS
    }

    void A_folder_of_notes_joins_a_date_and_names_what_it_cannot_read()
    {
        QVERIFY(Put(notes->File("2026-12-09.md"), "朝\n"));
        QVERIFY(Put(notes->File("20261209.txt"), "夜\n"));
        QVERIFY(Put(notes->File("2024/2024-02-29.md"), "閏日"));
        QVERIFY(Put(notes->File("2026/1210.txt"), Hex("89 4a 0d 0a")));  // 雨, Shift_JIS
        QVERIFY(Put(notes->File("2026/keyword.txt"), "x"));
        QVERIFY(Put(notes->File("README.md"), "x"));
        QVERIFY(Put(notes->File("2026-02-32.md"), "x"));
        QVERIFY(Put(notes->File("2026-12-11.md"), Hex("82 ff")));
        QVERIFY(Put(notes->File("2026-12-12.md"), ""));
        QVERIFY(Put(notes->File(".trash/2026-12-13.md"), "消したもの"));
        const Import_source source = Read_daily_notes(notes->Path());
        QVERIFY(source.error.isEmpty());
        QCOMPARE(source.days.size(), 3);
        QCOMPARE(source.days[0].date, (Panel_date{2024, 2, 29}));
        QCOMPARE(source.days[0].text, QStringLiteral("閏日"));
        QCOMPARE(source.days[1].text, QStringLiteral("朝\n\n夜"));
        QCOMPARE(source.days[2].text, QStringLiteral("雨"));
        QCOMPARE(source.ignored, 3);
        QCOMPARE(source.unreadable.size(), 1);
        QCOMPARE(source.unreadable[0].path, notes->File("2026-12-11.md"));

        QVERIFY(!Read_daily_notes(notes->File("無い")).error.isEmpty());
        QCOMPARE(Read_daily_notes(notes->Path(), [](int, int) { return false; }).error,
                 QStringLiteral("読み込みを取り消しました。"));
    }

    void Links_utf16_and_nul_bytes_are_never_read_as_days_and_every_file_left_is_named()
    {
        QVERIFY(Put(notes->File("secret"), "shadow\n"));
        QVERIFY(QFile::link(notes->File("secret"), notes->File("2026-12-01.md")));
        QVERIFY(QDir().mkpath(notes->File("2026")));
        QVERIFY(QFile::link(notes->File("secret"), notes->File("2026/1202.txt")));
        QVERIFY(Put(notes->File("2026-12-03.txt"), Hex("ff fe 74 66 8c 30 0d 00 0a 00")));  // 晴れ
        QVERIFY(Put(notes->File("2026-12-04.txt"), Hex("fe ff 96 e8 00 0a")));              // 雨
        QVERIFY(Put(notes->File("2026-12-05.txt"), Hex("61 00 0d 00 0a 00")));  // no mark
        QVERIFY(Put(notes->File("2026-12-06.txt"), Hex("ff fe 74 66 8c")));     // an odd byte
        QVERIFY(Put(notes->File("メモ.txt"), "x"));
        const Import_source source = Read_daily_notes(notes->Path());
        QCOMPARE(source.days.size(), 2);
        QCOMPARE(source.days[0].text, QStringLiteral("晴れ"));
        QCOMPARE(source.days[1].text, QStringLiteral("雨"));
        Import_report report;
        report.unreadable = source.unreadable;
        report.ignored = source.ignored;
        report.ignored_names = source.ignored_names;
        const QString at = notes->Path();
        QCOMPARE(Import_summary(report),
                 "0日を追加、0日に追記、0日はそのままにしました。\n\n"
                 "読めなかったファイル（取り込んでいません）：\n" +
                     at + "2026-12-01.md（リンクのため、リンク先を読みませんでした）\n" + at +
                     "2026/1202.txt（リンクのため、リンク先を読みませんでした）\n" + at +
                     "2026-12-05.txt（NUL 文字があり、文章のファイルとして読めません"
                     "（UTF-16 なら BOM 付きで保存し直してください））\n" +
                     at +
                     "2026-12-06.txt（UTF-16 として読めない部分があります）\n\n"
                     "日付の名前でないファイルや、日付の読めない項目 1 件は取り込んでいません：\n" +
                     at + "メモ.txt");
        // A journal's entries left out are named by their place.
        QCOMPARE(
            Parse_journal_json(R"({"entries": [{"date": "2026-12-09", "body": "a"},
            {"date": "yesterday", "body": "b"}, {"date": 20261209}]})")
                .ignored_names,
            QStringList({"2 番目の項目（日付: yesterday）", "3 番目の項目（日付: 20261209）"}));
    }

    void The_diary_folder_itself_is_no_source()
    {
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Import_refusal(folder->Path(), At("2026")).startsWith("日記のフォルダーからは"));
        QVERIFY(!Import_refusal(folder->Path(), folder->Path()).isEmpty());
        QVERIFY(Import_refusal(folder->Path(), notes->Path()).isEmpty());
    }

    void A_journal_keeps_title_and_body_orders_entries_by_time_and_stars_memories()
    {
        const Import_source source = Parse_journal_json(R"({"tags": {}, "entries": [
            {"date": "2026-12-09", "time": "21:00", "title": "夜", "body": "星を見た。", "starred": false},
            {"date": "2026-12-09", "time": "07:30", "title": "朝。", "body": "", "starred": true},
            {"date": "2026-12-10", "time": "09:00", "title": "一行目", "body": "一行目\n二行目"},
            {"date": "2026-12-11", "time": "09:00", "title": "", "body": "", "starred": true},
            {"date": "2026/12/12", "title": "日付が違う"},
            {"date": "2026-02-32", "title": "無い日"}]})");
        QVERIFY(source.error.isEmpty());
        QCOMPARE(source.days.size(), 2);
        QCOMPARE(source.days[0].date, (Panel_date{2026, 12, 9}));
        QCOMPARE(source.days[0].text, QStringLiteral("朝。\n\n夜\n星を見た。"));
        QVERIFY(source.days[0].memory);
        QVERIFY(source.days[0].memo.isEmpty());
        QCOMPARE(source.days[1].text, QStringLiteral("一行目\n二行目"));
        QVERIFY(!source.days[1].memory);
        QCOMPARE(source.ignored, 3);
    }

    void A_broken_journal_file_says_so_clearly()
    {
        QCOMPARE(Parse_journal_json(R"({"entries": [{"date": "2026-12-09",)").error,
                 QStringLiteral("JSON ファイルとして読めませんでした（36 バイト目で形式が崩れて"
                                "います）。"));
        const QString not_a_diary = QStringLiteral(
            "日記の JSON ファイルではありません（\"entries\" の一覧がありません）。");
        QCOMPARE(Parse_journal_json(R"({"items": []})").error, not_a_diary);
        QCOMPARE(Parse_journal_json("[1, 2]").error, not_a_diary);
        QVERIFY(Read_journal_json(notes->File("無い.json")).error.contains("無い.json"));
    }

    void Empty_days_are_filled_and_written_days_kept_unless_appending_is_chosen()
    {
        Make_this_year();
        Save_day(*session, {2026, 12, 8},
                 {QStringLiteral("今日の日記"), QStringLiteral("メモ"), false});
        Save_day(*session, {2026, 12, 9}, {QStringLiteral("同じ"), QString(), false});
        const QMap<QString, QByteArray> before = Files_of_year(folder->Path());
        QVERIFY(Put(notes->File("2026-12-08.md"), "取り込む日記\n"));
        QVERIFY(Put(notes->File("2026-12-09.md"), "同じ\n"));
        QVERIFY(Put(notes->File("2026-12-10.md"), "空が青い😀\n"));

        Import_plan plan = Plan_import(session->Store(), Read_daily_notes(notes->Path()).days);
        QCOMPARE(plan.items.size(), 3);
        QCOMPARE(plan.items[0].kind, Import_kind::Append);
        QCOMPARE(plan.items[1].kind, Import_kind::Same);
        QCOMPARE(plan.items[2].kind, Import_kind::Fill);
        Import_report report = Import_all(*session, plan, false);
        QCOMPARE(Import_summary(report),
                 QStringLiteral("1日を追加、0日に追記、2日はそのままにしました。"));
        // The written days are as they were; the empty one holds the note,
        // in Shift_JIS with CR LF and a companion with the emoji.
        QMap<QString, QByteArray> after = Files_of_year(folder->Path());
        QCOMPARE(after.take("2026/1210.txt"), Hex("8b f3 82 aa 90 c2 82 a2 3f 0d 0a"));
        QCOMPARE(after.take("2026/1210.utf8.txt"), QByteArray("\n空が青い😀"));
        const QByteArray index = after.take("2026/keyword.txt");
        QVERIFY(index.endsWith("2026/12/100\r\n"));
        QCOMPARE(index.chopped(13), before.value("2026/keyword.txt"));
        QMap<QString, QByteArray> unchanged = before;
        unchanged.remove("2026/keyword.txt");
        QCOMPARE(after, unchanged);

        // Brought in again with appending chosen: only the written day
        // changes, once; a third import finds it there and does nothing.
        plan = Plan_import(session->Store(), Read_daily_notes(notes->Path()).days);
        QCOMPARE(plan.items[2].kind, Import_kind::Same);
        report = Import_all(*session, plan, true);
        QCOMPARE(Import_summary(report),
                 QStringLiteral("0日を追加、1日に追記、2日はそのままにしました。"));
        QCOMPARE(Read_bytes(At("2026/1208.txt")),
                 cp932::Encode(QStringLiteral("今日の日記\r\n\r\n") + Separator +
                               QStringLiteral("\r\n取り込む日記\r\n"))
                     .bytes);
        QCOMPARE(Read_exact_day(session->Store(), 2026, 12, 8).memo, QStringLiteral("メモ"));
        QCOMPARE(session->History().Versions(2026, 12, 8).size(), 1);
        plan = Plan_import(session->Store(), Read_daily_notes(notes->Path()).days);
        QCOMPARE(plan.items[0].kind, Import_kind::Same);
    }

    void An_appended_day_keeps_its_memo_and_the_incoming_memo_goes_below_the_line()
    {
        Import_item item{{{2026, 12, 9}, QStringLiteral("雪"), QStringLiteral("寒い"), true},
                         {QStringLiteral("晴れ\n"), QStringLiteral("散歩"), false},
                         Import_kind::Append,
                         true};
        Day_entry entry = Entry_after_import(item, QDate(2026, 12, 7));
        QCOMPARE(entry.text,
                 QStringLiteral("晴れ\n\n") + Separator + QStringLiteral("\nメモ：寒い\n雪"));
        QCOMPARE(entry.memo, QStringLiteral("散歩"));
        QVERIFY(entry.flag);
        // A day with a memo and no text: the text comes in with no line
        // above it, the memo here stays.
        item.here = {QString(), QStringLiteral("散歩"), false};
        entry = Entry_after_import(item, QDate(2026, 12, 7));
        QCOMPARE(entry.text, QStringLiteral("メモ：寒い\n雪"));
        QCOMPARE(entry.memo, QStringLiteral("散歩"));
    }

    void A_day_changed_after_the_list_was_made_is_not_written()
    {
        Make_this_year();
        QVERIFY(Put(notes->File("2026-12-09.md"), "取り込む"));
        Import_plan plan = Plan_import(session->Store(), Read_daily_notes(notes->Path()).days);
        QCOMPARE(plan.items[0].kind, Import_kind::Fill);
        Save_day(*session, {2026, 12, 9}, {QStringLiteral("あとで書いた"), QString(), false});
        const Import_report report = Import_all(*session, plan, true);
        QCOMPARE(report.failed,
                 QStringList{
                     "2026/12/09：一覧を作った後に書き換えられていたため、取り込みませんでした"});
        QCOMPARE(Read_exact_day(session->Store(), 2026, 12, 9).text,
                 QStringLiteral("あとで書いた"));
    }

    void The_diary_exported_and_brought_into_an_empty_folder_is_the_same_diary()
    {
        Save_day(*session, {2024, 2, 29},
                 {QStringLiteral("閏日\n二行目\n"), QStringLiteral("うるう"), true});
        Save_day(*session, {2026, 1, 3}, {QString(), QStringLiteral("休み"), false});
        // A day the date bars allow and the calendar has not.
        Save_day(*session, {2026, 2, 30},
                 {QStringLiteral("三十日"), QStringLiteral("無い日"), true});
        Save_day(*session, {2026, 12, 8}, {QStringLiteral("一行目\n\n三行目"), QString(), true});
        Save_day(*session, {2026, 12, 9},
                 {QStringLiteral("空が青い😀\n𠮷野家"), QStringLiteral("誕生日🎂"), false});
        Save_day(*session, {2026, 12, 10},
                 {QStringLiteral("メモと同じ\n本文"), QStringLiteral("メモと同じ"), false});
        const QMap<QString, QByteArray> diary = Files_of_year(folder->Path());
        Temp_folder out;
        Diary_store store(folder->Path());
        QVERIFY(Run_export(store, Export_format::Json, out.Path(), {}).Ok());
        QVERIFY(Run_export(store, Export_format::Text, out.Path(), {}).Ok());

        const auto brought_in = [this](const Import_source& source) {
            Temp_folder empty;
            Diary_session fresh(empty.Path(), clock);
            Import_plan plan = Plan_import(fresh.Store(), source.days);
            const Import_report report = Import_all(fresh, plan, false);
            [&] { QCOMPARE(report.added, int(plan.items.size())); }();
            return Files_of_year(empty.Path());
        };
        const Import_source json = Read_journal_json(out.File("diary.json"));
        QVERIFY(json.error.isEmpty());
        QCOMPARE(brought_in(json), diary);
        // The plain text files carry the text alone: every day file comes
        // back the same, with its companion.
        QMap<QString, QByteArray> text_only;
        for (auto it = diary.cbegin(); it != diary.cend(); ++it)
            if (!it.key().endsWith("keyword.txt"))
                text_only.insert(it.key(), it.value());
        QMap<QString, QByteArray> from_text = brought_in(Read_daily_notes(out.Path()));
        from_text.remove("2024/keyword.txt");
        from_text.remove("2026/keyword.txt");
        // The companion holds the memo on its first line.
        QCOMPARE(from_text.take("2026/1209.utf8.txt"), QByteArray("\n空が青い😀\n𠮷野家"));
        text_only.remove("2026/1209.utf8.txt");
        // A day with a memo alone has no text file to carry it.
        QCOMPARE(text_only.take("2026/0103.txt"), QByteArray("\r\n"));
        QCOMPARE(from_text, text_only);
    }

    void Linked_pictures_come_in_byte_for_byte_and_a_missing_one_is_named()
    {
        QCOMPARE(Linked_pictures(QStringLiteral(
                     "![夕焼け](img/sun%20set.JPG \"空\")\n![[cat.png|200]] ![[Note]]\n"
                     "<p><img alt=x src='a&amp;b.webp'></p> ![](https://x/y.png) "
                     "![](<my dog.jpeg>) ![](img/sun%20set.JPG)")),
                 (QStringList{"img/sun set.JPG", "cat.png", "a&b.webp", "my dog.jpeg"}));

        Make_this_year();
        const QByteArray jpeg = Hex("ff d8 ff e0 00 10 4a 46 49 46 00 01 ff d9");
        const QByteArray png = Hex("89 50 4e 47 0d 0a 1a 0a 00 00 00 0d 49 48 44 52");
        const QByteArray webp = QByteArray("RIFF\x08\0\0\0WEBPVP8 ", 16);
        QVERIFY(Put(notes->File("daily/2026-12-08.md"),
                    "海へ。\n![](img/sea%201.jpg)\n![[cat.png]]\n"));
        QVERIFY(Put(notes->File("daily/img/sea 1.jpg"), jpeg));
        QVERIFY(Put(notes->File("cat.png"), png));  // Obsidian's bare name: the vault's top
        QVERIFY(Put(notes->File("2026-12-10.md"),
                    "<img src=\"b.webp\"> <img src=\"gone.jpg\"> ![](fake.png) "
                    "![](../../outside.png)\n"));
        QVERIFY(Put(notes->File("b.webp"), webp));
        QVERIFY(Put(notes->File("fake.png"), "no picture"));
        QVERIFY(Put(notes->File("../outside.png"), png));

        const auto import = [&] {
            Import_plan plan = Plan_import(session->Store(), Read_daily_notes(notes->Path()).days);
            return Import_all(*session, plan, false);
        };
        const Import_report report = import();
        const QString tenth = notes->File("2026-12-10.md").section('/', 0, -2);
        QCOMPARE(Import_summary(report),
                 QStringLiteral("2日を追加、0日に追記、0日はそのままにしました。\n\n"
                                "写真を3枚、その日に加えました。\n\n"
                                "取り込めなかった写真（その日の本文は取り込みました）：\n"
                                "2026/12/10：%1/gone.jpg（見つかりません）\n"
                                "2026/12/10：%1/fake.png（画像ではありません）\n"
                                "2026/12/10：../../outside.png（取り込むフォルダーの外にあるため、"
                                "取り込みませんでした）")
                     .arg(tenth));
        // The text as written, and each picture a byte-exact copy in its day,
        // named after the original.
        QCOMPARE(Read_exact_day(session->Store(), 2026, 12, 8).text,
                 QStringLiteral("海へ。\n![](img/sea%201.jpg)\n![[cat.png]]"));
        const QStringList eighth = List_photos(folder->Path(), {2026, 12, 8}).paths;
        QCOMPARE(eighth.size(), 2);
        QVERIFY2((eighth[0].endsWith("-sea_1.jpg") && eighth[1].endsWith("-cat.png")) ||
                     (eighth[1].endsWith("-sea_1.jpg") && eighth[0].endsWith("-cat.png")),
                 qPrintable(eighth.join(' ')));
        QCOMPARE(Read_bytes(eighth[0]), eighth[0].endsWith(".jpg") ? jpeg : png);
        QCOMPARE(Read_bytes(eighth[1]), eighth[1].endsWith(".jpg") ? jpeg : png);
        const QStringList tenth_photos = List_photos(folder->Path(), {2026, 12, 10}).paths;
        QCOMPARE(tenth_photos.size(), 1);
        QCOMPARE(Read_bytes(tenth_photos[0]), webp);

        // Brought in again, nothing is copied twice.
        QCOMPARE(import().pictures, 0);
        QCOMPARE(List_photos(folder->Path(), {2026, 12, 8}).paths, eighth);
    }
};

QTEST_GUILESS_MAIN(Test_import)
#include "test_import.moc"

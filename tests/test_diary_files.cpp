// The diary folder's names, its listing, and reading a file never through a
// link at its name.

#include "diary/export.h"
#include "store/diary_files.h"
#include "store/store.h"
#include "support/temp_folder.h"

#include <QFile>
#include <QTest>
#include <sys/stat.h>

Q_DECLARE_METATYPE(Diary_name)

class Test_diary_files : public QObject {
    Q_OBJECT

private slots:
    void Names_in_a_year_folder_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<Diary_name>("kind");
        QTest::addColumn<QByteArray>("stem");
        const auto row = [](const char* name, Diary_name kind, const char* stem) {
            QTest::newRow(name) << QByteArray(name) << kind << QByteArray(stem);
        };
        row("1209.txt", Diary_name::Day_file, "1209");
        row("0230.TXT", Diary_name::Day_file, "0230");
        row("keyword.txt", Diary_name::Index, "keyword");
        row("KEYWORD.TXT", Diary_name::Index, "KEYWORD");
        row("1209.utf8.txt", Diary_name::Companion, "1209");
        row("1209.utf8.new.txt", Diary_name::Staged_companion, "1209");
        row("1209.utf8.kept-20261209-211503-2.txt", Diary_name::Kept_companion, "1209");
        row("1209.conflict-20261209-211503.txt", Diary_name::Own_conflict, "1209");
        row("1209.sync-conflict-20261209-101010-ABCDEFG.txt", Diary_name::Syncthing_conflict,
            "1209");
        row("1209.utf8.sync-conflict-20261209-101010-ABCDEFG.txt", Diary_name::Syncthing_conflict,
            "1209");
        row("1209 (Taro's conflicted copy 2026-12-09).txt", Diary_name::Dropbox_conflict, "1209");
        row("1209_conflict-20261209-101010.txt", Diary_name::Nextcloud_conflict, "1209");
        row("keyword_conflict-20261209-101010.txt", Diary_name::Nextcloud_conflict, "keyword");
        row("1209 (1).txt", Diary_name::Numbered_copy, "1209");
        row(".sorane-tmp-Ab12Cd", Diary_name::Temporary, "");
        // Near misses are no one's.
        row("12091.txt", Diary_name::Other, "");
        row("1209.txt.txt", Diary_name::Other, "");
        row("1209.utf8.kept-2026.txt", Diary_name::Other, "");
        row("keyword.utf8.txt", Diary_name::Other, "");
        row("1209 (1)", Diary_name::Other, "");
        row("x1209.txt", Diary_name::Other, "");
    }
    void Names_in_a_year_folder()
    {
        QFETCH(QByteArray, name);
        QFETCH(Diary_name, kind);
        QFETCH(QByteArray, stem);
        const Name_class c = Classify_year_name(name);
        QCOMPARE(c.kind, kind);
        QCOMPARE(c.stem, stem);
        if (kind == Diary_name::Day_file)
            QCOMPARE(c.month * 100 + c.day, name.left(4).toInt());
    }

    void Names_in_the_diary_folder_and_the_history()
    {
        QCOMPARE(Classify_top_name("2026").kind, Diary_name::Year_folder);
        QCOMPARE(Classify_top_name("SORANE.INI").kind, Diary_name::Settings);
        QCOMPARE(Classify_top_name("sorane-linux.ini").kind, Diary_name::Own_settings);
        QCOMPARE(Classify_top_name(".sorane-handover").kind, Diary_name::Hand_over_record);
        QCOMPARE(Classify_top_name("history").kind, Diary_name::History_folder);
        QCOMPARE(Classify_top_name("sorane-rescue-20261209-211503.txt").kind,
                 Diary_name::Rescue_file);
        QCOMPARE(Classify_top_name("tomorrow.txt").kind, Diary_name::Message);
        QCOMPARE(Classify_top_name("YESTERDA.TXT").kind, Diary_name::Message);
        QCOMPARE(Classify_top_name("tomorrow.utf8.txt").kind, Diary_name::Companion);
        QCOMPARE(Classify_top_name("tomorrow.utf8.kept-20261209-211503.txt").kind,
                 Diary_name::Kept_companion);
        QCOMPARE(Classify_top_name("tomorrow.sync-conflict-20261209-101010-X.txt").kind,
                 Diary_name::Syncthing_conflict);
        QCOMPARE(Classify_top_name("20261").kind, Diary_name::Other);
        QCOMPARE(Classify_top_name("tomorrows.txt").kind, Diary_name::Other);
        QCOMPARE(Classify_history_name("20261209-211503.txt").kind, Diary_name::History_version);
        QCOMPARE(Classify_history_name("20261209-211503-2.rec").kind, Diary_name::History_record);
        QCOMPARE(Classify_history_name("2026129-211503.txt").kind, Diary_name::Other);
        // What a backup must hold, and what it need not.
        for (const char* name : {"1209.txt", "keyword.txt", "1209.utf8.new.txt",
                                 "1209_conflict-20261209-101010.txt", "1209 (1).txt"})
            QVERIFY2(Holds_diary_text(Classify_year_name(name).kind), name);
        for (const char* name : {".sorane-tmp-x", "notes.txt"})
            QVERIFY2(!Holds_diary_text(Classify_year_name(name).kind), name);
    }

    void A_folder_is_listed_once_with_links_as_links()
    {
        Temp_folder folder;
        QVERIFY(Write_bytes(folder.File("1209.txt"), "abc"));
        QVERIFY(QDir(folder.Path()).mkdir("2026"));
        QVERIFY(QFile::link(folder.File("1209.txt"), folder.File("1210.txt")));
        QVERIFY(::mkfifo(QFile::encodeName(folder.File("pipe")).constData(), 0600) == 0);

        const Folder_listing full = List_folder(folder.Path(), Listing_detail::Full);
        QVERIFY(full.exists && full.error.Ok());
        QMap<QByteArray, Folder_entry> by_name;
        for (const Folder_entry& e : full.entries)
            by_name.insert(e.name, e);
        QCOMPARE(by_name.keys(), (QList<QByteArray>{"1209.txt", "1210.txt", "2026", "pipe"}));
        QCOMPARE(by_name["1209.txt"].type, Entry_type::Regular);
        QCOMPARE(by_name["1209.txt"].size, 3);
        QCOMPARE(by_name["1210.txt"].type, Entry_type::Link);
        QCOMPARE(by_name["2026"].type, Entry_type::Folder);
        QCOMPARE(by_name["pipe"].type, Entry_type::Other);

        const Folder_listing some = List_folder(folder.Path(), Listing_detail::Types,
                                                [](const char* name) { return name[0] == '1'; });
        QCOMPARE(some.entries.size(), size_t(2));
        QCOMPARE(some.entries[0].size, -1);

        const Folder_listing missing = List_folder(folder.File("1999"));
        QVERIFY(!missing.exists && missing.error.Ok() && missing.entries.empty());
        const Folder_listing file = List_folder(folder.File("1209.txt"));
        QVERIFY(!file.exists && file.error.Ok());
    }

    void A_link_at_a_file_name_is_never_read()
    {
        Temp_folder folder;
        const QString secret = folder.File("secret");
        QVERIFY(Write_bytes(secret, "not the diary's"));
        QVERIFY(QDir(folder.Path()).mkdir("real"));
        QVERIFY(Write_bytes(folder.File("real/1209.txt"), "day"));
        QVERIFY(QFile::link(folder.File("real"), folder.File("linked")));

        QByteArray bytes = "stale";
        bool exists = false;
        for (const QString& target : {secret, QStringLiteral("/dev/zero"), folder.File("gone")}) {
            const QString link = folder.File("real/1210.txt");
            QFile::remove(link);
            QVERIFY(QFile::link(target, link));
            const Io_result r = Read_diary_file(link, bytes, exists);
            QCOMPARE(r.step, Io_step::Link_not_read);
            QCOMPARE(r.path, link);
            QVERIFY(exists);
            QVERIFY(bytes.isEmpty());
        }
        // A link higher up (the diary folder reached through a link) is the
        // user's own choice of where the diary lives, and is followed.
        QVERIFY(Read_diary_file(folder.File("linked/1209.txt"), bytes, exists).Ok());
        QCOMPARE(bytes, QByteArray("day"));

        QVERIFY(Read_diary_file(folder.File("real/0101.txt"), bytes, exists).Ok());
        QVERIFY(!exists);
        QVERIFY(::mkfifo(QFile::encodeName(folder.File("real/1211.txt")).constData(), 0600) == 0);
        QCOMPARE(Read_diary_file(folder.File("real/1211.txt"), bytes, exists).step,
                 Io_step::Not_a_regular_file);
        QCOMPARE(Read_diary_file(folder.File("real"), bytes, exists).step, Io_step::Not_a_file);
    }

    void Thirty_February_is_exported_as_a_day()
    {
        // The date bars allow it, and a diary from Windows may hold it.
        Temp_folder diary;
        Temp_folder out;
        Diary_store store(diary.Path());
        QVERIFY(store.Ensure_year_folder(2026).Ok());
        QVERIFY(Write_bytes(store.Day_file_path(2026, 2, 30), Hex("90 b0 0d 0a")));  // 晴
        const Export_report report = Run_export(store, Export_format::Json, out.Path(),
                                                {QDate(2026, 1, 1), QDate(2026, 12, 31)});
        QVERIFY(report.Ok());
        QVERIFY(Read_bytes(out.File("diary.json")).contains("2026-02-30"));
        QVERIFY(Is_diary_day(2, 30) && Is_diary_day(12, 31));
        QVERIFY(!Is_diary_day(2, 32) && !Is_diary_day(13, 1) && !Is_diary_day(0, 1));
    }
};

QTEST_GUILESS_MAIN(Test_diary_files)
#include "test_diary_files.moc"

// The diary folder's names, its listing, and reading a file never through a
// link at its name.

#include "diary/export.h"
#include "store/diary_files.h"
#include "store/store.h"
#include "support/temp_folder.h"

#include <QFile>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class Test_diary_files : public QObject {
    Q_OBJECT

private slots:
    void Every_name_is_known_for_what_it_is()
    {
        using N = Diary_name;
        using Classify = Name_class (*)(QByteArrayView);
        const Classify year = Classify_year_name, top = Classify_top_name,
                       history = Classify_history_name;
        const struct {
            Classify in;
            const char* name;
            N kind;
            const char* stem;
        } names[] = {
            {year, "1209.txt", N::Day_file, "1209"},
            {year, "0230.TXT", N::Day_file, "0230"},
            {year, "KEYWORD.TXT", N::Index, "KEYWORD"},
            {year, "1209.utf8.txt", N::Companion, "1209"},
            {year, "1209.utf8.new.txt", N::Staged_companion, "1209"},
            {year, "1209.utf8.kept-20261209-211503-2.txt", N::Kept_companion, "1209"},
            {year, "1209.conflict-20261209-211503.txt", N::Own_conflict, "1209"},
            {year, "1209.utf8.sync-conflict-20261209-101010-ABC.txt", N::Syncthing_conflict,
             "1209"},
            {year, "1209 (Taro's conflicted copy 2026-12-09).txt", N::Dropbox_conflict, "1209"},
            {year, "1209_conflict-20261209-101010.txt", N::Nextcloud_conflict, "1209"},
            {year, "1209 (conflicted copy 2026-12-09 101010).txt", N::Nextcloud_conflict, "1209"},
            {year, "keyword_conflict-20261209-101010.txt", N::Nextcloud_conflict, "keyword"},
            {year, "1209 (1).txt", N::Numbered_copy, "1209"},
            {year, ".sorane-tmp-Ab12Cd", N::Temporary, ""},
            {top, "2026", N::Year_folder, "2026"},
            {top, "SORANE.INI", N::Settings, ""},
            {top, "sorane-linux.ini", N::Own_settings, ""},
            {top, ".sorane-handover", N::Hand_over_record, ""},
            {top, "sorane-rescue-20261209-211503.txt", N::Rescue_file, ""},
            {top, "YESTERDA.TXT", N::Message, "YESTERDA"},
            {top, "tomorrow.utf8.kept-20261209-211503.txt", N::Kept_companion, "tomorrow"},
            {top, "tomorrow.sync-conflict-20261209-101010-X.txt", N::Syncthing_conflict,
             "tomorrow"},
            {history, "20261209-211503-2.rec", N::History_record, "20261209-211503-2"},
            // Near misses are no one's.
            {year, "12091.txt", N::Other, ""},
            {year, "1209.txt.txt", N::Other, ""},
            {year, "1209.utf8.kept-2026.txt", N::Other, ""},
            {year, "keyword.utf8.txt", N::Other, ""},
            {year, "1209 (1)", N::Other, ""},
            {top, "20261", N::Other, ""},
            {top, "tomorrows.txt", N::Other, ""},
            {history, "2026129-211503.txt", N::Other, ""},
        };
        for (const auto& n : names) {
            const Name_class c = n.in(n.name);
            QVERIFY2(c.kind == n.kind && c.stem == n.stem, n.name);
        }
        QCOMPARE(Classify_year_name("0230.txt").month, 2);
        QCOMPARE(Classify_year_name("0230.txt").day, 30);
        QVERIFY(Holds_diary_text(N::Nextcloud_conflict) && Holds_diary_text(N::Rescue_file));
        QVERIFY(!Holds_diary_text(N::Temporary) && !Holds_diary_text(N::Other));
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

    // A file is known again without reading it only while it is the inode
    // read, its size and data time unchanged, and that time a whole step of
    // the file system's clock older than the read: a write in that step
    // could leave the time as it was.
    void A_file_is_known_again_by_what_its_read_found()
    {
        Temp_folder folder;
        const QString path = folder.File("keyword.txt");
        const QByteArray name = QFile::encodeName(path);
        auto set_time = [&](const QString& file, time_t seconds, long nanoseconds) {
            const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
            return ::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0) == 0;
        };
        auto status_now = [](const QByteArray& at) {
            struct stat st {};
            return ::lstat(at.constData(), &st) == 0 ? st : (struct stat){};
        };
        const time_t long_ago = ::time(nullptr) - 600;
        QVERIFY(Write_bytes(path, "2026/12/071\r\n"));
        QVERIFY(set_time(path, long_ago, 123456789));
        Read_status read;
        QByteArray bytes;
        bool exists = false;
        QVERIFY(Read_diary_file(path, bytes, exists, &read).Ok());
        QVERIFY(read.known);
        QCOMPARE(read.file.st_size, 13);
        QVERIFY(Same_as_read(read, status_now(name), name));
        // Another name of the same file (a hard link) is the same file.
        const QByteArray linked = QFile::encodeName(folder.File("kept.idx"));
        QVERIFY(::link(name.constData(), linked.constData()) == 0);
        QVERIFY(Same_as_read(read, status_now(linked), linked));

        // Written in place, the same size: its time moved.
        QVERIFY(Write_bytes(path, "2026/12/070\r\n"));
        QVERIFY(!Same_as_read(read, status_now(name), name));
        // Replaced by another file of the same size and the very same time.
        QVERIFY(::unlink(linked.constData()) == 0);
        QVERIFY(Write_bytes(folder.File("new"), "2026/12/071\r\n"));
        QVERIFY(set_time(folder.File("new"), long_ago, 123456789));
        QVERIFY(QFile::remove(path) && QFile::rename(folder.File("new"), path));
        QVERIFY(!Same_as_read(read, status_now(name), name));

        // The step: a time with nanoseconds of its own is at most a
        // nanosecond's step; one of whole seconds may be a second's.
        QVERIFY(Read_diary_file(path, bytes, exists, &read).Ok());
        const struct stat now = status_now(name);
        read.clock_before = {long_ago, 123456789};
        QVERIFY(!Same_as_read(read, now, name));
        read.clock_before = {long_ago, 123456790};
        QVERIFY(Same_as_read(read, now, name));
        QVERIFY(set_time(path, long_ago, 0));
        QVERIFY(Read_diary_file(path, bytes, exists, &read).Ok());
        read.clock_before = {long_ago, 999999999};
        QVERIFY(!Same_as_read(read, status_now(name), name));
        read.clock_before = {long_ago + 1, 0};
        QVERIFY(Same_as_read(read, status_now(name), name));
        // A time not older than the read (another clock's, ahead of ours):
        // not known again.
        QVERIFY(set_time(path, ::time(nullptr) + 60, 5));
        QVERIFY(Read_diary_file(path, bytes, exists, &read).Ok());
        QVERIFY(!Same_as_read(read, status_now(name), name));
        // Nothing read: nothing known.
        QVERIFY(Read_diary_file(folder.File("gone.txt"), bytes, exists, &read).Ok());
        QVERIFY(!read.known && !exists);
        QVERIFY(!Same_as_read(read, now, name));
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

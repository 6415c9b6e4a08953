// Backups: what an archive holds, read back with libarchive; the rotation
// over a year of daily starts; failing folders and cut writes.

#include "diary/backup.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QMap>
#include <QtTest>
#include <archive.h>
#include <archive_entry.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

struct Stored {
    QByteArray bytes;
    qint64 mtime = 0;
    friend bool operator==(const Stored&, const Stored&) = default;
};

// Every file of an archive by its path, read with libarchive; folders
// end in "/" and hold no bytes.
QMap<QString, Stored> Read_archive(const QString& path)
{
    QMap<QString, Stored> files;
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 10240) != ARCHIVE_OK) {
        archive_read_free(a);
        return files;
    }
    archive_entry* entry = nullptr;
    while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
        Stored s;
        s.mtime = archive_entry_mtime(entry);
        char buffer[4096];
        la_ssize_t n;
        while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0)
            s.bytes.append(buffer, n);
        files.insert(QString::fromUtf8(archive_entry_pathname(entry)), s);
    }
    archive_read_free(a);
    return files;
}

// Every file under a folder with its bytes and modification time.
QMap<QString, Stored> Snapshot(const QString& folder)
{
    QMap<QString, Stored> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path.mid(folder.size()),
                     {Read_bytes(path), QFileInfo(path).lastModified().toSecsSinceEpoch()});
    }
    return files;
}

bool Write_dated(const QString& path, const QByteArray& bytes, qint64 mtime = 0)
{
    QDir().mkpath(QFileInfo(path).path());
    utimbuf times{mtime, mtime};
    return Write_bytes(path, bytes) &&
           (mtime == 0 || ::utime(QFile::encodeName(path).constData(), &times) == 0);
}

const QDate Today(2026, 12, 9);

}  // namespace

class Test_backup : public QObject {
    Q_OBJECT

    std::unique_ptr<Temp_folder> app;
    std::unique_ptr<Temp_folder> place;  // holds the backup folder
    QString backups;
    QMap<QString, Stored> diary;
    // This diary's own folder among the backups.
    QString Ours() const
    {
        return Diary_backup_folder(backups, app->Path());
    }  // what a backup must hold
    std::atomic<bool> no_cancel{false};

private slots:
    void init()
    {
        app = std::make_unique<Temp_folder>();
        place = std::make_unique<Temp_folder>();
        backups = place->File(QStringLiteral("backup/"));
        diary.clear();
        const struct {
            const char* path;
            const char* hex;
        } files[] = {
            {"sorane.ini", "30 0d 0a 34 35 39 30 0d 0a"},
            {"tomorrow.txt", "96 be 93 fa 0d 0a"},
            {"2025/1207.txt", "90 b0 82 ea 81 42 0d 0a 00 ff"},
            {"2025/keyword.txt", "32 30 32 35 2f 31 32 2f 30 37 30 0d 0a"},
            {"2026/0101.TXT", "0d 0a"},
            {"2026/0102.txt", ""},
            // Exact texts beside the Shift_JIS files: 😀 and é.
            {"2025/1207.utf8.txt", "0a f0 9f 98 80"},
            {"2025/1207.utf8.new.txt", "0a c3 a9"},
            {"2025/1207.utf8.kept-20261207-080000.txt", "0a c3 a9"},
            {"tomorrow.utf8.txt", "0a f0 9f 98 80"},
            // Other versions of a day, which may hold the only copy of a
            // text: this program's conflict copies and the sync tools'.
            {"2025/1207.conflict-20261207-080000.txt", "82 a0 0d 0a"},
            {"2025/1207.sync-conflict-20261207-101010-ABCDEFG.txt", "82 a2 0d 0a"},
            {"2025/1207 (Taro's conflicted copy 2026-12-07).txt", "82 a4 0d 0a"},
            {"2025/1207_conflict-20261207-101010.txt", "82 a6 0d 0a"},
            {"2025/keyword (1).txt", "32 30 32 35 2f 31 32 2f 30 37 31 0d 0a"},
            {"tomorrow.sync-conflict-20261207-101010-ABCDEFG.txt", "82 a8 0d 0a"},
            // What could not be saved when the program ended.
            {"sorane-rescue-20261207-213015.txt", "e6 97 a5"},
            // The pictures of a day, as they were added.
            {"photos/2025/1207/20251207-101010-0a1b2c3d-IMG_1.jpg", "ff d8 ff e0 00 10 4a 46"},
            {"photos/2025/1207/20251207-101011-0a1b2c3e-paste.png", "89 50 4e 47 0d 0a 1a 0a"},
        };
        qint64 mtime = 1700000000;
        for (const auto& f : files) {
            QVERIFY(Write_dated(app->File(f.path), Hex(f.hex), mtime));
            diary.insert(f.path, {Hex(f.hex), mtime});
            mtime += 86401;
        }
        // Not the diary's: temporary and foreign files, a history folder, a
        // folder not named by a year, a link to a day.
        for (const char* other :
             {".sorane-tmp-Ab12Cd", "history/2026/1207.txt",
              "history/2026/1207/20261207-213015.txt", "history/2026/1207/20261207-213015.rec",
              "notes/1207.txt", "12345/1207.txt", "2026/.sorane-tmp-x", "2026/memo.txt",
              "2026/12070.txt", "2026/1207.utf8.old.txt", "notes.utf8.txt",
              "photos/2025/1207/.sorane-tmp-Zz9", "photos/notes/a.jpg",
              "history/2025/1207/photos/20251207-090000-00000000-old.jpg"})
            QVERIFY(Write_dated(app->File(other), "x"));
        QVERIFY(Write_bytes(app->File("sorane-linux.ini"), "[window]\nsize=1\n"));
        QVERIFY(QFile::link(app->File("2025/1207.txt"), app->File("2026/0103.txt")));
    }

    void Archive_holds_the_diary_byte_for_byte_and_nothing_else()
    {
        const QMap<QString, Stored> before = Snapshot(app->Path());
        QList<int> percents;
        const Backup_outcome outcome = Write_backup(app->Path(), backups, Today, no_cancel,
                                                    [&](int p) { percents.append(p); });
        QVERIFY(outcome.Ok());
        QCOMPARE(outcome.path, Ours() + "sorane-20261209.zip");
        QCOMPARE(outcome.files, diary.size());
        QCOMPARE(Entries(Ours()), QStringList{"sorane-20261209.zip"});
        QCOMPARE(Mode_of(outcome.path) & 0777, 0600);
        QVERIFY(!percents.isEmpty());
        QCOMPARE(percents.last(), 100);
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        QVERIFY(!Read_archive(outcome.path).contains("sorane-linux.ini"));
        // The history of the days is no part of a backup.
        const QStringList names = Read_archive(outcome.path).keys();
        QVERIFY(std::none_of(names.begin(), names.end(),
                             [](const QString& name) { return name.startsWith("history"); }));

        QMap<QString, Stored> stored = Read_archive(outcome.path);
        for (const char* folder_entry :
             {"2025/", "2026/", "photos/", "photos/2025/", "photos/2025/1207/"}) {
            QVERIFY2(stored.contains(folder_entry), folder_entry);
            stored.remove(folder_entry);
        }
        QCOMPARE(stored.keys(), diary.keys());
        for (const QString& path : diary.keys())
            QVERIFY2(stored[path] == diary[path], qPrintable(path));
        QVERIFY(Snapshot(app->Path()) == before);

        // A second backup the same day takes the next name; the first stays
        // until the day is over.
        const Backup_outcome second = Write_backup(app->Path(), backups, Today, no_cancel);
        QCOMPARE(second.path, Ours() + "sorane-20261209-2.zip");
        QCOMPARE(Entries(Ours()), QStringList({"sorane-20261209-2.zip", "sorane-20261209.zip"}));
    }

    void Rotation_over_a_year_of_daily_starts()
    {
        QVERIFY(QDir().mkpath(Ours()));
        const QStringList foreign = {"notes.txt",
                                     "sorane-2026.zip",
                                     "sorane-20260101-1.zip",
                                     "sorane-20261301.zip",
                                     "sorane-20270101.zip.bak",
                                     "Sorane-20260101.zip",
                                     "sorane-20260101-02.zip"};
        for (const QString& name : foreign)
            QVERIFY(Write_bytes(Ours() + name, "keep"));
        for (QDate day(2026, 1, 1); day <= QDate(2026, 12, 31); day = day.addDays(1)) {
            if (day.month() == 6)  // a month away from the diary
                continue;
            QVERIFY(Write_backup(app->Path(), backups, day, no_cancel).Ok());
            QStringList ours = Entries(Ours());
            for (const QString& name : foreign)
                QVERIFY2(ours.removeOne(name), qPrintable(name));
            QVERIFY(ours.contains(Backup_file_name({day, 1})));
            QVERIFY(ours.size() <= 7 + 4 + 12);
        }
        QStringList ours = Entries(Ours());
        for (const QString& name : foreign)
            ours.removeOne(name);
        QSet<QDate> dates;
        for (const QString& name : ours)
            dates.insert(Parse_backup_file_name(name)->date);
        // The last seven days, a backup in each of the last four weeks
        // (their Sundays are the newest) and one in each month it was used.
        for (int d = 25; d <= 31; ++d)
            QVERIFY(dates.contains(QDate(2026, 12, d)));
        for (const QDate sunday : {QDate(2026, 12, 13), QDate(2026, 12, 20)})
            QVERIFY(dates.contains(sunday));
        for (int month = 1; month <= 12; ++month)
            if (month != 6)
                QVERIFY(dates.contains(QDate(2026, month, QDate(2026, month, 1).daysInMonth())));
        QCOMPARE(ours.size(), dates.size());
    }

    void Rotation_keeps_today_and_what_the_clock_has_not_reached()
    {
        const QList<Backup_name> made = {{Today, 1},
                                         {Today, 2},
                                         {QDate(2030, 1, 1), 1},
                                         {QDate(2020, 3, 1), 1},
                                         {QDate(2020, 3, 2), 1}};
        QCOMPARE(Backups_to_remove(made, Today), QList<Backup_name>());
        // From the day after, a day is its newest backup, even years later.
        const QList<Backup_name> gone = {{Today, 1}};
        QCOMPARE(Backups_to_remove(made, Today.addDays(1)), gone);
        QCOMPARE(Backups_to_remove(made, QDate(2060, 1, 1)), gone);
    }

    void A_failing_folder_stops_the_backup_and_leaves_the_diary()
    {
        const QMap<QString, Stored> before = Snapshot(app->Path());
        QVERIFY(Write_bytes(place->File("file"), "x"));
        const Backup_outcome in_place =
            Write_backup(app->Path(), place->File("file"), Today, no_cancel);
        QCOMPARE(in_place.error.step, Io_step::Not_a_folder);
        QVERIFY(in_place.path.isEmpty());
        const Backup_outcome no_parent =
            Write_backup(app->Path(), place->File("gone/backup"), Today, no_cancel);
        QCOMPARE(no_parent.error.error_number, ENOENT);
        QVERIFY(!QFileInfo::exists(place->File("gone")));
        QVERIFY(Snapshot(app->Path()) == before);
    }

    void A_folder_that_takes_no_file()
    {
        if (QString failure; Rerun_as_nobody(failure)) {
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        QVERIFY(QDir().mkpath(backups));
        QVERIFY(QFile::setPermissions(backups, QFile::ReadOwner | QFile::ExeOwner));
        const Backup_outcome outcome = Write_backup(app->Path(), backups, Today, no_cancel);
        QCOMPARE(outcome.error.error_number, EACCES);
        QCOMPARE(outcome.error.path, Ours());
        QVERIFY(outcome.error.path_is_folder);
        QCOMPARE(Entries(backups), QStringList());
    }

    void A_cut_write_leaves_no_archive_under_a_backups_name()
    {
        // Files may grow to 200 bytes: the archive is cut on its way.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &old) == 0);
        rlimit small = old;
        small.rlim_cur = 200;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        const Backup_outcome outcome = Write_backup(app->Path(), backups, Today, no_cancel);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &old) == 0);
        QCOMPARE(outcome.error.error_number, EFBIG);
        QCOMPARE(Entries(Ours()), QStringList());

        // A cancel halfway leaves nothing either.
        std::atomic<bool> cancel{false};
        const Backup_outcome cancelled =
            Write_backup(app->Path(), backups, Today, cancel, [&](int) { cancel = true; });
        QVERIFY(cancelled.cancelled && cancelled.path.isEmpty());
        QCOMPARE(Entries(Ours()), QStringList());
    }

    void Two_diaries_sharing_a_folder_never_touch_each_others_backups()
    {
        Temp_folder other;
        QVERIFY(QDir().mkpath(other.File("2026")));
        QVERIFY(Write_bytes(other.File("2026/0101.txt"), Hex("82 a0 0d 0a")));
        QVERIFY(QDir().mkpath(backups));
        // A backup made before backups had a folder per diary stays.
        QVERIFY(Write_bytes(backups + "sorane-20250101.zip", "old"));
        const Backup_outcome first =
            Write_backup(other.Path(), backups, QDate(2026, 1, 1), no_cancel);
        QVERIFY(first.Ok());
        for (QDate day(2026, 1, 2); day <= QDate(2026, 4, 30); day = day.addDays(1))
            QVERIFY(Write_backup(app->Path(), backups, day, no_cancel).Ok());
        QVERIFY(QFileInfo::exists(first.path));
        QCOMPARE(Read_archive(first.path).value("2026/0101.txt").bytes, Hex("82 a0 0d 0a"));
        QCOMPARE(Read_bytes(backups + "sorane-20250101.zip"), QByteArray("old"));
        QCOMPARE(Entries(backups).size(), 3);
        QVERIFY(Diary_backup_folder(backups, other.Path()) != Ours());
        // The same folder reached through a link has the same backups.
        QVERIFY(QFile::link(app->Path(), place->File("linked")));
        QCOMPARE(Diary_backup_folder(backups, place->File("linked")), Ours());
    }

    void Settings_live_in_the_programs_own_file()
    {
        QCOMPARE(Read_backup_settings(app->Path()).folder, QDir::homePath() + "/sorane-backup/");
        QVERIFY(Write_backup_settings(app->Path(), {QStringLiteral("/mnt/日記/"), false}).Ok());
        // UTF-8, beside what other parts of the program keep there.
        const QByteArray file = Read_bytes(app->File("sorane-linux.ini"));
        QVERIFY(file.contains(QStringLiteral("日記").toUtf8()));
        QVERIFY(file.contains("[window]\nsize=1\n"));
        QCOMPARE(Read_bytes(app->File("sorane.ini")), diary["sorane.ini"].bytes);
    }
};

QTEST_GUILESS_MAIN(Test_backup)
#include "test_backup.moc"

// The program's own settings file beside the diary: its values, what a
// change rewrites, and files that are no settings file.

#include "store/own_settings.h"
#include "support/temp_folder.h"

#include <QFile>
#include <QTest>
#include <sys/stat.h>

class Test_own_settings : public QObject {
    Q_OBJECT

private slots:
    void Values_read_with_their_defaults()
    {
        Temp_folder folder;
        QCOMPARE(Read_own_settings(folder.Path()).values, Own_settings{});
        // As Qt's settings class wrote the file in earlier versions, with a
        // group this version does not know and a value that is no flag.
        QVERIFY(
            Write_bytes(folder.File("sorane-linux.ini"),
                        "[backup]\r\ndaily=false\r\nfolder=\"/mnt/a, b/\\x65e5\\x8a18/\"\r\n"
                        "\r\n[fulltext]\r\nkana=true\r\nwidth=maybe\r\n[window]\r\nsize=1\r\n"));
        const Own_settings_read read = Read_own_settings(folder.Path());
        QVERIFY(read.result.Ok());
        QCOMPARE(read.values.backup_folder, QStringLiteral("/mnt/a, b/日記/"));
        QVERIFY(!read.values.backup_daily);
        QVERIFY(read.values.fulltext_kana);
        QVERIFY(read.values.fulltext_width);  // "maybe" is no flag: the default
        QVERIFY(!read.values.this_day_oldest_first);
    }

    void A_change_rewrites_only_its_own_lines()
    {
        Temp_folder folder;
        const QString path = folder.File("sorane-linux.ini");
        const mode_t old_mask = ::umask(022);
        QVERIFY(Change_own_settings(folder.Path(), [](Own_settings& s) {
                    s.this_day_oldest_first = true;
                }).Ok());
        ::umask(old_mask);
        QCOMPARE(Read_bytes(path),
                 QByteArray("[backup]\ndaily=true\n\n[this_day]\noldest_first=true\n"
                            "\n[fulltext]\nwidth=true\ncase=true\nkana=false\n"
                            "\n[reminder]\non=false\ntime=21:00\n"));
        QCOMPARE(Mode_of(path) & 0777, 0600);

        QVERIFY(Write_bytes(path, "; kept\n[backup]\ndaily=true\n\n[window]\nsize=1\n"));
        QVERIFY(Change_own_settings(folder.Path(), [](Own_settings& s) {
                    s.backup_daily = false;
                    s.backup_folder = QStringLiteral(" @日記\"\\");
                    s.fulltext_case = false;
                    s.day_template = QStringLiteral("a:\n\tb:");
                }).Ok());
        QCOMPARE(Read_bytes(path),
                 QByteArray("; kept\n[backup]\ndaily=false\n"
                            "folder=\" @\xe6\x97\xa5\xe8\xa8\x98\\\"\\\\\"\n"
                            "\n[window]\nsize=1\n\n[this_day]\noldest_first=false\n"
                            "\n[fulltext]\nwidth=true\ncase=false\nkana=false\n"
                            "\n[reminder]\non=false\ntime=21:00\n"
                            "\n[template]\ntext=\"a:\\n\\tb:\"\n"));
        QCOMPARE(Read_own_settings(folder.Path()).values.day_template, QStringLiteral("a:\n\tb:"));
        QCOMPARE(Read_own_settings(folder.Path()).values.backup_folder,
                 QStringLiteral(" @日記\"\\"));
        // Nothing changed: nothing written.
        const QByteArray before = Read_bytes(path);
        QVERIFY(Change_own_settings(folder.Path(), [](Own_settings&) {}).Ok());
        QCOMPARE(Read_bytes(path), before);
    }

    void A_link_in_its_place_is_neither_read_nor_replaced()
    {
        Temp_folder folder;
        const QString elsewhere = folder.File("elsewhere.ini");
        QVERIFY(Write_bytes(elsewhere, "[backup]\ndaily=false\n"));
        QVERIFY(QFile::link(elsewhere, folder.File("sorane-linux.ini")));
        const Own_settings_read read = Read_own_settings(folder.Path());
        QCOMPARE(read.result.step, Io_step::Link_not_read);
        QVERIFY(read.values.backup_daily);
        QCOMPARE(Change_own_settings(folder.Path(), [](Own_settings& s) { s.fulltext_kana = true; })
                     .step,
                 Io_step::Link_not_read);
        QVERIFY(QFileInfo(folder.File("sorane-linux.ini")).isSymLink());
        QCOMPARE(Read_bytes(elsewhere), QByteArray("[backup]\ndaily=false\n"));
    }
};

QTEST_GUILESS_MAIN(Test_own_settings)
#include "test_own_settings.moc"

// Backups as the main window runs them: the first start of a day, the menu
// items, the progress in the bottom row, the one message of a failure, the
// settings window, and an end while a backup runs.

#include "app/backup_control.h"
#include "dialogs/backup_settings_window.h"
#include "support/diary_fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

class Test_backup_window : public QObject, Diary_fixture {
    Q_OBJECT

    std::unique_ptr<Temp_folder> place;
    QString backups;

    // Waits for the running backup to end; false when it did not.
    static bool Wait_for_backup(Main_form& form)
    {
        QSignalSpy done(form.Backup(), &Backup_control::Backup_done);
        return form.Backup()->Running() ? done.wait(20000) : false;
    }

private slots:
    void init()
    {
        QVERIFY(Set_up());
        place = std::make_unique<Temp_folder>();
        backups = place->File(QStringLiteral("backup/"));
        QVERIFY(Write_backup_settings(folder->Path(), {backups, true}).Ok());
        // The last start was the day before.
        QVERIFY(Write_bytes(At("sorane.ini"), Ini({"0", "4590", "9645", "7020", "9510", "nomal",
                                                   "1", "2026/12/06", "2026/12/06", "mada"})));
    }
    void cleanup() { Verify_clean(); }

    void The_first_start_of_a_day_backs_up_once()
    {
        for (int start = 0; start < 3; ++start) {
            // Daily backups turned off for the third day.
            QVERIFY(Write_backup_settings(folder->Path(), {backups, start < 2}).Ok());
            fake->now = QDateTime(QDate(2026, 12, 7 + start), QTime(21, 30, 15));
            auto form = Start();
            form->Backup()->Start_of_day();
            QCOMPARE(form->Backup()->Running(), start < 2);
            QCOMPARE(form->Backup()->Progress_label->isVisible(), start < 2);
            if (start < 2)
                QVERIFY(Wait_for_backup(*form));
            QVERIFY(!form->Backup()->Progress_label->isVisible());
            End(*form);
            // A second start the same day makes none; the menu item does.
            auto again = Start();
            again->Backup()->Start_of_day();
            QVERIFY(!again->Backup()->Running());
            if (start == 0) {
                fake->Expect_box(
                    QStringLiteral(
                        "バックアップを作成しました。\nファイル: %1sorane-20261207-2.zip")
                        .arg(Diary_backup_folder(backups, folder->Path())),
                    App_title, Platform::Icon::Information, Platform::Buttons::Ok,
                    Platform::Answer::Ok);
                again->Backup()->Menu_backup->trigger();
                QVERIFY(!again->Backup()->Menu_backup->isEnabled());
                QVERIFY(Wait_for_backup(*again));
                QVERIFY(again->Backup()->Menu_backup->isEnabled());
            }
            End(*again);
        }
        // The day after, the 7th is its newest backup.
        QCOMPARE(Entries(Diary_backup_folder(backups, folder->Path())),
                 QStringList({"sorane-20261207-2.zip", "sorane-20261208.zip"}));
    }

    void A_failure_is_told_once_and_the_diary_stays()
    {
        // A file where the backup folder should be.
        QVERIFY(Write_bytes(place->File("backup"), "x"));
        auto form = Start();
        Write_diary_entry(*form);
        const QByteArray ini = Read_bytes(At("sorane.ini"));
        fake->Expect_box(QStringLiteral("バックアップを作成できませんでした。\nフォルダー: %1\n"
                                        "理由: フォルダーの場所に同じ名前のファイルがあります。\n\n"
                                        "日記のファイルはそのままです。")
                             .arg(backups),
                         App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok,
                         Platform::Answer::Ok);
        form->Backup()->Start_of_day();
        QVERIFY(Wait_for_backup(*form));
        QCOMPARE(fake->calls.filter(QStringLiteral("box:")).size(), 1);
        QCOMPARE(Read_bytes(At("sorane.ini")), ini);
        QVERIFY(!QFileInfo::exists(At("2026/1207.txt")));
        End(*form);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
    }

    void The_settings_window_changes_only_its_own_file()
    {
        auto form = Start();
        const QByteArray ini = Read_bytes(At("sorane.ini"));
        fake->Expect_box(
            QStringLiteral("バックアップのフォルダーは、「/」で始まる場所で指定してください。"),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok, Platform::Answer::Ok);
        fake->Expect_modal([](QDialog& dialog) {
            auto& window = static_cast<Backup_settings_window&>(dialog);
            window.Folder->setText(QStringLiteral("backup"));
            window.Ok->click();
            window.Folder->setText(QStringLiteral("/srv/バックアップ"));
            window.Daily->setChecked(false);
            window.Ok->click();
            return dialog.result();
        });
        form->Backup()->Menu_backup_settings->trigger();
        const Backup_settings settings = Read_backup_settings(folder->Path());
        QCOMPARE(settings.folder, QStringLiteral("/srv/バックアップ/"));
        QVERIFY(!settings.daily);
        QCOMPARE(Read_bytes(At("sorane.ini")), ini);
        End(*form);
    }

    void Ending_while_a_backup_runs_saves_the_day_and_leaves_no_temporary_file()
    {
        QVERIFY(QDir().mkpath(At("2025")));
        for (int day = 1; day <= 28; ++day)
            for (int month = 1; month <= 12; ++month)
                QVERIFY(Write_bytes(At(QStringLiteral("2025/%1%2.txt")
                                           .arg(month, 2, 10, QLatin1Char('0'))
                                           .arg(day, 2, 10, QLatin1Char('0'))),
                                    QByteArray(20000, 'a')));
        auto form = Start();
        Write_diary_entry(*form);
        form->Backup()->Start_of_day();
        QVERIFY(form->Backup()->Running());
        End(*form);
        QVERIFY(!form->Backup()->Running());
        QVERIFY(!form->Backup()->Progress_label->isVisible());
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        // Either nothing, or a whole archive the worker finished in time.
        const QStringList left = Entries(Diary_backup_folder(backups, folder->Path()));
        QVERIFY2(left.isEmpty() || left == QStringList{"sorane-20261207.zip"},
                 qPrintable(left.join(' ')));
    }
};

QTEST_MAIN(Test_backup_window)
#include "test_backup_window.moc"

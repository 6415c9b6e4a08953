// Under a loose umask (022) the program is used as a day goes: a day saved
// twice (so it has a history), a backup, a full-text search, an export, a
// rescue file, a PDF printed, the lock of the folder. Then every file and
// folder it made, in the diary folder and outside it, is walked: each file
// is the user's alone (0600), each folder too (0700).

#include "app/backup_control.h"
#include "diary/backup.h"
#include "diary/export.h"
#include "diary/export_command.h"
#include "diary/folder_lock.h"
#include "fulltext/fulltext.h"
#include "support/diary_fixture.h"
#include "ui/look.h"
#include "ui/print_document.h"
#include "ui/print_paper.h"

#include <QDirIterator>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QSignalSpy>
#include <QTextDocument>
#include <sys/stat.h>

class Test_private_files : public QObject, Diary_fixture {
    Q_OBJECT

    // Every file and folder below root that is not mode 0600 (a file) or
    // 0700 (a folder), with its mode; links and anything else are named too.
    static QStringList Loose(const QString& root)
    {
        QStringList loose;
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            struct stat st {};
            if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
                continue;
            const int want = S_ISDIR(st.st_mode) ? 0700 : S_ISREG(st.st_mode) ? 0600 : -1;
            if (int(st.st_mode & 07777) != want)
                loose << QStringLiteral("%1 %2").arg(path).arg(st.st_mode & 07777, 0, 8);
        }
        return loose;
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    void Every_file_and_folder_made_is_the_users_alone()
    {
        Temp_folder home;  // the user's home: caches, state, backups, exports
        const mode_t old_mask = ::umask(022);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home.File("cache")));
        qputenv("XDG_STATE_HOME", QFile::encodeName(home.File("state")));
        const auto restore = qScopeGuard([old_mask] {
            ::umask(old_mask);
            qunsetenv("XDG_CACHE_HOME");
            qunsetenv("XDG_STATE_HOME");
        });
        QVERIFY(Write_backup_settings(folder->Path(), {home.File("backups/"), false}).Ok());
        auto form = Start();
        Folder_lock lock(folder->Path(), home.File("run"));
        QVERIFY(
            QDir().mkdir(home.File("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(lock.Take(), Folder_lock::State::Held);

        // A day saved, then changed and saved again: its first version goes
        // into the history.
        Controls_of(*form).Text2->setPlainText(Day_text);
        Controls_of(*form).Text6->setText(Day_memo);
        QCOMPARE(Probe(*form).Save_day(Main_form::Who::User), Main_form::Save_result::Saved);
        fake->now = fake->now.addSecs(60);
        Controls_of(*form).Text2->setPlainText(QStringLiteral("雨。"));
        QCOMPARE(Probe(*form).Save_day(Main_form::Who::User), Main_form::Save_result::Saved);
        QVERIFY(!Entries(At("history/2026/1207")).isEmpty());

        // A backup from the menu.
        const QString archive =
            Diary_backup_folder(home.File("backups/"), folder->Path()) + "sorane-20261207.zip";
        fake->Expect_box(QStringLiteral("バックアップを作成しました。\nファイル: %1").arg(archive),
                         App_title, Platform::Icon::Information, Platform::Buttons::Ok,
                         Platform::Answer::Ok);
        QSignalSpy done(form->Backup(), &Backup_control::Backup_done);
        form->Backup()->Menu_backup->trigger();
        QVERIFY(done.wait(20000));
        QVERIFY(QFileInfo::exists(archive));

        // A search through the index in the user's cache.
        {
            Fulltext_index index(folder->Path(), Default_fulltext_cache_folder(), Fold_options{},
                                 Fulltext_index::Start::Foreground);
            const Fulltext_result found = index.Search({QStringLiteral("雨"), 0, 9999, true});
            QCOMPARE(found.hits.size(), size_t(1));
            QVERIFY(!found.scanned);
        }

        // An export into a folder that is not there yet.
        QString out_text;
        QString err_text;
        QTextStream out(&out_text);
        QTextStream err(&err_text);
        QCOMPARE(Run_export_command({QStringLiteral("sorane"), QStringLiteral("--export"),
                                     QStringLiteral("markdown"), home.File("export/diary"),
                                     QStringLiteral("--diary"), folder->Path()},
                                    folder->Path(), out, err),
                 0);
        QVERIFY(!Entries(home.File("export/diary")).isEmpty());

        // Rescue files: in the diary folder, and in the user's state folder.
        const Day_entry entry{QStringLiteral("雪。"), QString(), false};
        QVERIFY(!form->Session()
                     .Write_rescue_file(form->Session().New_rescue_path(), entry)
                     .path.isEmpty());
        const QString own = Diary_session::User_rescue_folder() + "sorane-rescue-x.txt";
        QCOMPARE(form->Session().Write_rescue_file(own, entry).path, own);

        // A PDF printed into a file the user named.
        const QList<Export_day> days{{2026, 12, 7, false, QString(), QStringLiteral("雨。")}};
        const auto document = Print_document(days, Diary_font());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(home.File("日記.pdf"));
        QCOMPARE(Print_to(*document, printer, false), QString());

        End(*form);
        QCOMPARE(Mode_of(lock.Lock_path()) & 07777, 0600);
        lock.Release();
        const QStringList in_diary = Loose(folder->Path());
        QVERIFY2(in_diary.isEmpty(), qPrintable(in_diary.join('\n')));
        // The test made "run" itself; everything else in home is the program's.
        const QStringList outside = Loose(home.Path());
        QVERIFY2(outside.isEmpty(), qPrintable(outside.join('\n')));
        QVERIFY(QFileInfo::exists(home.File("cache/sorane")));
        QVERIFY(QFileInfo::exists(home.File("state/sorane/sorane-rescue-x.txt")));
    }
};

QTEST_MAIN(Test_private_files)
#include "test_private_files.moc"

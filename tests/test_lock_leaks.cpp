// A locked diary leaves no plain copy of its text anywhere. Days are written
// with known words (code page 932, and UTF-8 with 😀 and 𠮷), the diary is
// locked, and the program is used as a day goes: saves with history, a
// conflict copy, searches (the index built and opened again, the command
// line), the 記録 counts, a picture and its thumbnail, a recovery record,
// rescue files, a backup, the export refused and asked. Then every byte
// written in the diary folder, the cache, state and config folders, the
// backup folder and the temporary folder (each archive unpacked) is searched
// for the words in code page 932, UTF-8 and UTF-16.

#include "app/backup_control.h"
#include "app/locked_export.h"
#include "diary/backup.h"
#include "diary/folder_lock.h"
#include "diary/lock_conversion.h"
#include "diary/photos.h"
#include "diary/records.h"
#include "diary/recovery.h"
#include "fulltext/fulltext.h"
#include "store/lock.h"
#include "store/store.h"
#include "support/diary_fixture.h"
#include "ui/photo_thumbnails.h"

#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QStringEncoder>
#include <archive.h>
#include <archive_entry.h>

namespace {

struct Word {
    const char* name;
    QString text;
    QByteArray cp932;  // empty when code page 932 cannot hold it
};

const QList<Word>& Words()
{
    static const QList<Word> words{
        {"秘密基地", QStringLiteral("秘密基地"), Hex("94 e9 96 a7 8a ee 92 6e")},
        {"鍋奉行", QStringLiteral("鍋奉行"), Hex("93 e7 95 f2 8d 73")},
        {"合言葉", QStringLiteral("合言葉"), Hex("8d 87 8c be 97 74")},
        {"𠮷野家", QStringLiteral("𠮷野家"), {}},
        {"😀牛丼", QStringLiteral("😀牛丼"), {}},
    };
    return words;
}

// "file: word (encoding)" for each word found in bytes.
QStringList Found_in(const QString& where, const QByteArray& bytes)
{
    QStringList found;
    for (const Word& word : Words()) {
        const std::pair<const char*, QByteArray> forms[] = {
            {"UTF-8", word.text.toUtf8()},
            {"UTF-16LE", QStringEncoder(QStringConverter::Utf16LE).encode(word.text)},
            {"UTF-16BE", QStringEncoder(QStringConverter::Utf16BE).encode(word.text)},
            {"CP932", word.cp932},
        };
        for (const auto& [encoding, form] : forms)
            if (!form.isEmpty() && bytes.contains(form))
                found << QStringLiteral("%1: %2 (%3)").arg(where, word.name, encoding);
    }
    return found;
}

// The entries of a zip archive, unpacked.
QStringList Found_in_archive(const QString& path)
{
    QStringList found;
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 10240) != ARCHIVE_OK) {
        archive_read_free(a);
        return {path + QStringLiteral(": not read as an archive")};
    }
    archive_entry* entry = nullptr;
    while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
        QByteArray bytes;
        char buffer[65536];
        la_ssize_t n;
        while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, n);
        found += Found_in(path + u':' + QString::fromUtf8(archive_entry_pathname(entry)), bytes);
    }
    archive_read_free(a);
    return found;
}

// Every word in every file below root; count receives how many files were
// read.
QStringList Found_below(const QString& root, int& count)
{
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            found << path + QStringLiteral(": not readable");
            continue;
        }
        const QByteArray bytes = file.readAll();
        ++count;
        found += Found_in(path, bytes);
        if (bytes.startsWith("PK\x03\x04"))
            found += Found_in_archive(path);
    }
    return found;
}

const QByteArray Password = QByteArrayLiteral("correct horse 電池");

}  // namespace

class Test_lock_leaks : public QObject, Diary_fixture {
    Q_OBJECT

    std::unique_ptr<Temp_folder> home;
    std::unique_ptr<Temp_folder> before_lock;

    QString Home(const QString& relative) const { return home->File(relative); }

    // A plain diary of one day (秘密基地) with a memo (鍋奉行).
    void Write_plain_diary()
    {
        QVERIFY(Write_bytes(At("sorane.ini"), First_ini));
        QVERIFY(QDir().mkpath(At("2026")));
        QVERIFY(Write_bytes(At("2026/1201.txt"), Words()[0].cp932 + "\r\n"));
        QVERIFY(Write_bytes(At("2026/keyword.txt"), "2026/12/011" + Words()[1].cp932 + "\r\n"));
    }

    // The diary locked by the conversion (its backup before the lock goes
    // to a folder of its own, outside what is searched: it is made plain,
    // on purpose, before anything is sealed).
    void Lock()
    {
        QString recovery_text;
        const lock::Conversion locked =
            lock::Lock_folder(folder->Path(), Password, recovery_text, {}, before_lock->Path(),
                              lock::Fastest_limits());
        QVERIFY2(locked.Ok(), qPrintable(locked.result.path));
    }

    // The real program on the diary, the password on its standard input
    // when given; its exit code, standard output and standard error.
    struct Run {
        int code = -1;
        QString out, err;
    };
    Run Program(const QStringList& arguments, const QByteArray& password = {}) const
    {
        QProcess process;
        process.start(QStringLiteral(SORANE_EXE),
                      arguments + QStringList{"--diary", folder->Path()} +
                          (password.isEmpty() ? QStringList{} : QStringList{"--password-stdin"}));
        process.write(password + '\n');
        process.closeWriteChannel();
        Run run;
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
            run.code = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

private slots:
    void init()
    {
        QVERIFY(Set_up());
        home = std::make_unique<Temp_folder>();
        before_lock = std::make_unique<Temp_folder>();
        for (const char* name : {"XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "TMPDIR"})
            QVERIFY(QDir().mkpath(Home(QString::fromLatin1(name))));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(Home("XDG_CACHE_HOME")));
        qputenv("XDG_STATE_HOME", QFile::encodeName(Home("XDG_STATE_HOME")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Home("XDG_CONFIG_HOME")));
        qputenv("TMPDIR", QFile::encodeName(Home("TMPDIR")));
    }
    void cleanup()
    {
        lock::Forget_keys();
        for (const char* name : {"XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "TMPDIR"})
            qunsetenv(name);
        Verify_clean();
    }

    void No_word_of_a_locked_diary_is_written_plain()
    {
        // A plain diary first, searched and counted: its index and counts
        // in the cache hold the words until the diary is locked.
        Write_plain_diary();
        const QString cache = Default_fulltext_cache_folder();
        {
            Fulltext_index index(folder->Path(), cache, Fold_options{},
                                 Fulltext_index::Start::Foreground);
            QCOMPARE(index.Search({Words()[0].text, 0, 9999, true}).hits.size(), size_t(1));
        }
        Diary_store store(folder->Path());
        Records_cache records;
        records.Refresh(store);
        QVERIFY(records.Save(Records_cache_path(cache, folder->Path())).Ok());

        Lock();
        QVERIFY(Write_backup_settings(folder->Path(), {Home("backups/"), false}).Ok());

        auto form = Start();
        const QString words_text = QStringLiteral("%1で%2を食べた。\n%3の話。")
                                       .arg(Words()[3].text, Words()[4].text, Words()[0].text);
        // Saved twice: the first version goes into the history.
        Controls_of(*form).Text2->setPlainText(words_text);
        Controls_of(*form).Text6->setText(Words()[2].text);
        QCOMPARE(Probe(*form).Save_day(Main_form::Who::User), Main_form::Save_result::Saved);
        fake->now = fake->now.addSecs(60);
        Controls_of(*form).Text2->setPlainText(words_text + QStringLiteral("\n晴れ。"));
        QCOMPARE(Probe(*form).Save_day(Main_form::Who::User), Main_form::Save_result::Saved);
        QVERIFY(QFileInfo::exists(At("history/2026/1207")));

        // Changed elsewhere: the version typed here goes to a conflict copy.
        fake->now = fake->now.addSecs(60);
        Controls_of(*form).Text2->setPlainText(words_text + QStringLiteral("\n曇り。"));
        Change_day_elsewhere();
        const QString conflict =
            "2026/1207.conflict-" + fake->now.toString("yyyyMMdd-hhmmss") + ".txt";
        const QString question = Changed_day_question(conflict);
        fake->Expect_box(question, App_title, Platform::Icon::Exclamation,
                         Platform::Buttons::Yes_no_cancel, Platform::Answer::Yes);
        Probe(*form).Save_day(Main_form::Who::User);

        // The search: an index built in memory and kept sealed, then opened
        // again from its sealed file; the command line's search.
        {
            Fulltext_index index(folder->Path(), cache, Fold_options{},
                                 Fulltext_index::Start::Foreground);
            const Fulltext_result found = index.Search({Words()[0].text, 0, 9999, true});
            QVERIFY2(found.hits.size() == 1 && !found.scanned, qPrintable(found.index_trouble));
            QVERIFY(index.Cache_path().endsWith(QLatin1String(".sealed")));
        }
        {
            Fulltext_index index(folder->Path(), cache, Fold_options{},
                                 Fulltext_index::Start::Never);
            const Fulltext_result found = index.Search({Words()[1].text, 0, 9999, true});
            QVERIFY2(found.hits.size() == 1 && !found.scanned, qPrintable(found.index_trouble));
        }
        // The command line's search, with the password.
        const Run search = Program({"--search", Words()[0].text}, Password);
        QCOMPARE(search.code, 0);
        QVERIFY2(search.out.startsWith(QStringLiteral("2026/12/01\t")), qPrintable(search.out));

        // 記録's counts (the memos are in them).
        records.Refresh(store);
        const QString records_path = Records_cache_path(cache, folder->Path());
        QVERIFY(records.Save(records_path).Ok());
        Records_cache again;
        again.Load(records_path);
        QVERIFY(!again.Changed());

        // A picture with the words in its text chunk, and its thumbnail.
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        picture.setText(QStringLiteral("Comment"), words_text);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "PNG"));
        QVERIFY(png.contains(Words()[0].text.toUtf8()));
        const Photo_added added =
            Add_photo_bytes(folder->Path(), Panel_date{2026, 12, 7}, png, QStringLiteral("x.png"),
                            QStringLiteral("png"), fake->now);
        QVERIFY(added.result.Ok());
        const Thumbnail thumbnail = Make_thumbnail(added.path, 32, Thumbnail_cache_folder());
        QVERIFY2(!thumbnail.image.isNull(), qPrintable(thumbnail.error));

        // A recovery record, read back with the key and not without it.
        Recovery_files records_of_run(folder->Path(), fake->now);
        Recovery_record record;
        record.written = fake->now;
        record.folder = folder->Path();
        record.date = Panel_date{2026, 12, 7};
        record.day = {words_text, Words()[2].text, true};
        QVERIFY(Recovery_files::Write(records_of_run.Own_path(), Recovery_bytes(record)).Ok());
        std::optional<Recovery_record> read;
        QVERIFY(Recovery_files::Read(records_of_run.Own_path(), read).Ok());
        QVERIFY(read && *read == record);

        // Rescue files, in the diary folder and in the user's state folder.
        const Day_entry entry{words_text, Words()[2].text, false};
        QVERIFY(!form->Session()
                     .Write_rescue_file(form->Session().New_rescue_path(), entry)
                     .path.isEmpty());
        const QString own = Diary_session::User_rescue_folder() + "sorane-rescue-x.txt";
        QCOMPARE(form->Session().Write_rescue_file(own, entry).path, own);

        // A backup from the menu.
        fake->Expect_box(
            QStringLiteral("バックアップを作成しました。\nファイル: %1")
                .arg(Diary_backup_folder(Home("backups/"), folder->Path()) + "sorane-20261207.zip"),
            App_title, Platform::Icon::Information, Platform::Buttons::Ok, Platform::Answer::Ok);
        QSignalSpy done(form->Backup(), &Backup_control::Backup_done);
        form->Backup()->Menu_backup->trigger();
        QVERIFY(done.wait(20000));

        // The window's export asks first; refused, nothing is written.
        fake->Expect_box(Locked_export_question(), App_title, Platform::Icon::Exclamation,
                         Platform::Buttons::Yes_no, Platform::Answer::No);
        form->findChild<QAction*>(QStringLiteral("Menu_export"))->trigger();

        End(*form);
        form.reset();

        // The command line exports only with the password, and says that
        // what it writes is not locked (that export is outside what is
        // searched: it is plain, as asked).
        lock::Forget_keys();
        const Run refused = Program({"--export", "text", Home("export")});
        QCOMPARE(refused.code, 2);
        QVERIFY(!QFileInfo::exists(Home("export")));
        const Run asked = Program({"--export", "text", before_lock->File("export")}, Password);
        QCOMPARE(asked.code, 0);
        QVERIFY2(asked.err.contains(QStringLiteral("書き出すファイルには鍵がかかりません")),
                 qPrintable(asked.err));
        QVERIFY(QFileInfo::exists(before_lock->File("export/2026/1201.txt")));
        std::optional<Recovery_record> locked_out;
        QCOMPARE(Recovery_files::Read(records_of_run.Own_path(), locked_out).step, Io_step::Locked);

        int files = 0;

        QStringList found = Found_below(folder->Path(), files);
        found += Found_below(home->Path(), files);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(u'\n')));
        QVERIFY2(files >= 19, qPrintable(QString::number(files)));
        QVERIFY(QDir(Thumbnail_cache_folder()).isEmpty());
        // Each kind of copy was made, and no thumbnail was kept.
        for (const QString& made :
             {At(conflict), At(conflict.chopped(4) + ".utf8.txt"), added.path, records_path,
              records_of_run.Own_path(), own, cache + '/' + Folder_key(folder->Path()) + ".sealed"})
            QVERIFY2(QFileInfo::exists(made), qPrintable(made));
    }

    // The index kept in the cache is sealed whole: a changed byte, or no
    // key, and it is not used; the index in memory goes when the key is
    // closed (the idle lock), so nothing answers from it.
    void The_sealed_index_is_used_whole_and_with_its_key_only()
    {
        Write_plain_diary();
        Lock();
        const QString cache = Default_fulltext_cache_folder();
        Fulltext_index open(folder->Path(), cache, Fold_options{},
                            Fulltext_index::Start::Foreground);
        QCOMPARE(open.Search({Words()[0].text, 0, 9999, true}).hits.size(), size_t(1));
        QFile sealed(open.Cache_path());
        QVERIFY(sealed.open(QIODevice::ReadWrite));
        const QByteArray bytes = sealed.readAll();
        QVERIFY(lock::Is_sealed(bytes) && !bytes.contains("SQLite format 3"));

        // One byte changed: the files are read instead.
        sealed.seek(bytes.size() / 2);
        sealed.write(QByteArray(1, char(bytes[bytes.size() / 2] ^ 1)));
        sealed.close();
        {
            Fulltext_index changed(folder->Path(), cache, Fold_options{},
                                   Fulltext_index::Start::Never);
            const Fulltext_result found = changed.Search({Words()[0].text, 0, 9999, true});
            QVERIFY(found.scanned);
            QCOMPARE(found.hits.size(), size_t(1));
        }

        // The key closed: neither the index in memory nor the files answer.
        lock::Forget_keys();
        const Fulltext_result locked = open.Search({Words()[0].text, 0, 9999, true});
        QVERIFY(locked.hits.empty());
        QCOMPARE(locked.first_unreadable.step, Io_step::Locked);
    }

    // The 全文検索 window's index, open while the diary is locked and then
    // unlocked: each time its file changes with the diary, and the other
    // one is removed.
    void An_open_index_follows_the_lock()
    {
        Write_plain_diary();
        Fulltext_index index(folder->Path(), Default_fulltext_cache_folder(), Fold_options{},
                             Fulltext_index::Start::Foreground);
        const QString plain = index.Cache_path();
        const QString sealed = plain.chopped(7) + ".sealed";
        QVERIFY(plain.endsWith(".sqlite") && QFileInfo::exists(plain));
        Lock();
        const Fulltext_result locked = index.Search({Words()[0].text, 0, 9999, true});
        QCOMPARE(locked.hits.size(), size_t(1));
        QVERIFY(!locked.scanned);
        QCOMPARE(index.Cache_path(), sealed);
        QVERIFY(!QFileInfo::exists(plain) && QFileInfo::exists(sealed));

        lock::Diary_key key;
        QVERIFY(lock::Key_for(folder->Path(), key));
        QVERIFY(lock::Unlock_folder(folder->Path(), key).Ok());
        QCOMPARE(index.Search({Words()[0].text, 0, 9999, true}).hits.size(), size_t(1));
        QCOMPARE(index.Cache_path(), plain);
        QVERIFY(QFileInfo::exists(plain) && !QFileInfo::exists(sealed));
    }
};

QTEST_MAIN(Test_lock_leaks)
#include "test_lock_leaks.moc"

// Locking and unlocking a diary folder for real: no known word left in any
// file after locking (code page 932 and UTF-8, emoji included), every file
// back byte for byte after unlocking, a kill after every rename of either
// conversion leaves every file readable and the next open completes it,
// a cancel or a file in the way changes nothing, and the command line's
// exit codes and messages (a wrong password writes nothing).

#include "diary/backup.h"
#include "diary/lock_conversion.h"
#include "diary/plain_backups.h"
#include "store/diary_files.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// 秘密の散歩道, the known word, in both encodings; 😀𠮷 in UTF-8.
const QByteArray Word_cp932 = Hex("94 e9 96 a7 82 cc 8e 55 95 e0 93 b9");
const QByteArray Word_utf8 = Hex("e7 a7 98 e5 af 86 e3 81 ae e6 95 a3 e6 ad a9 e9 81 93");
const QByteArray Emoji_utf8 = Hex("f0 9f 98 80 f0 a0 ae b7");
const QByteArray Password = "合言葉";

// Every kind of file a diary holds, each with the known word, and two files
// that are not the diary's (they stay as they are).
QMap<QString, QByteArray> Diary_fixture()
{
    const QByteArray crlf = "\r\n";
    return {
        {"sorane.ini", Ini({"1", Word_cp932})},
        {"tomorrow.txt", Word_cp932 + crlf},
        {"tomorrow.utf8.txt", Word_utf8 + Emoji_utf8},
        {"sorane-rescue-20261209-211503.txt", Word_utf8 + crlf},
        {"2026/1209.txt", Hex("90 b0 82 ea 0d 0a") + Word_cp932 + crlf},
        {"2026/1209.utf8.txt", Word_utf8 + Emoji_utf8 + crlf},
        {"2026/keyword.txt", "2026/12/091" + Word_cp932 + crlf},
        {"2026/1209.sync-conflict-20261209-101010-ABCDEFG.txt", Word_cp932},
        {"2025/0101.txt", Word_cp932},
        {"history/2026/1209/20261209-211503.txt", Word_cp932},
        {"history/2026/1209/20261209-211503.rec", "2026/12/091" + Word_cp932},
        {"photos/2026/1209/20261209-211503-a.jpg", Hex("ff d8 ff e0") + Word_utf8},
        {"sorane", "\x7f"
                   "ELF program"},
        {"notes-of-mine.md", "not the diary's"},
    };
}

bool Write_fixture(const QString& root)
{
    const auto files = Diary_fixture();
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString path = root + it.key();
        if (!QDir().mkpath(QFileInfo(path).path()) || !Write_bytes(path, it.value()))
            return false;
    }
    return true;
}

// The files of the tree, folders left out.
QMap<QString, QByteArray> Files(const QString& root)
{
    QMap<QString, QByteArray> out;
    const auto tree = File_tree(root);
    for (auto it = tree.begin(); it != tree.end(); ++it)
        if (it.value() != "<dir>")
            out.insert(it.key(), it.value());
    return out;
}

// Every diary file read as the program reads it (opened when sealed).
QMap<QString, QByteArray> Read_through_store(const QString& root)
{
    QMap<QString, QByteArray> out;
    const auto files = Diary_fixture();
    for (auto it = files.begin(); it != files.end(); ++it) {
        QByteArray bytes;
        bool exists = false;
        if (Read_diary_file(root + it.key(), bytes, exists).Ok() && exists)
            out.insert(it.key(), bytes);
    }
    return out;
}

// The diary's key from the key file, with the password; no key when there
// is no key file.
lock::Diary_key Key_of(const QString& root)
{
    lock::Key_file file;
    lock::Diary_key key;
    if (lock::Read_key_file(root, file).Ok())
        lock::Open_with_password(file, Password, key);
    return key;
}

struct Run_result {
    int code = -1;
    QString out, err;
};

}  // namespace

class Test_lock_conversion : public QObject {
    Q_OBJECT

    std::unique_ptr<Temp_folder> temp;
    QString diary, backups;

    Run_result Run(const QStringList& arguments, const QByteArray& input)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SORANE_HOME"})
            environment.remove(QString::fromLatin1(name));
        environment.insert("HOME", temp->File("home"));
        environment.insert("XDG_RUNTIME_DIR", temp->File("run"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(SORANE_EXE), arguments + QStringList{"--diary", diary});
        process.write(input);
        process.closeWriteChannel();
        Run_result r;
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
            r.code = process.exitCode();
        r.out = QString::fromUtf8(process.readAllStandardOutput());
        r.err = QString::fromUtf8(process.readAllStandardError());
        return r;
    }

    // The conversion run in a child process that ends itself right after
    // the n-th file or key file is put in place; true when it ended there,
    // false when it finished first.
    bool Killed_at(int n, bool locking)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            lock::Set_conversion_hook([n](int step) {
                if (step == n)
                    ::_exit(9);
            });
            if (locking) {
                QString recovery;
                lock::Lock_folder(diary, Password, recovery, {}, backups, lock::Fastest_limits());
            } else {
                lock::Unlock_folder(diary, Key_of(diary));
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 9;
    }

private slots:
    void init()
    {
        temp = std::make_unique<Temp_folder>();
        diary = temp->File("diary/");
        backups = temp->File("backups/");
        QVERIFY(Write_fixture(diary));
        QVERIFY(QDir().mkpath(temp->File("run")) && QDir().mkpath(temp->File("home")));
        ::chmod(QFile::encodeName(temp->File("run")).constData(), 0700);
    }
    void cleanup()
    {
        lock::Forget_keys();
        lock::Set_conversion_hook({});
    }

    // Locked: no known word in any file of the folder, the files that are
    // not the diary's untouched, a backup made, every file read back as it
    // was. Unlocked: every file byte for byte as before, no key file.
    void lock_and_unlock_round_trip()
    {
        const auto before = Files(diary);
        QString recovery;
        int last_done = 0, last_all = 0;
        const lock::Conversion locked = lock::Lock_folder(
            diary, Password, recovery,
            [&](int done, int all) {
                last_done = done;
                last_all = all;
                return true;
            },
            backups, lock::Fastest_limits());
        QVERIFY(locked.Ok());
        QCOMPARE(locked.files, 12);
        QCOMPARE(last_done, 12);
        QCOMPARE(last_all, 12);
        QVERIFY(!recovery.isEmpty());
        QVERIFY(locked.backup_path.startsWith(backups));
        QVERIFY(QFileInfo(locked.backup_path).size() > 0);

        const auto after = Files(diary);
        for (auto it = after.begin(); it != after.end(); ++it) {
            for (const QByteArray& word :
                 {Word_cp932, Word_utf8, Emoji_utf8, Word_cp932.left(4), Word_utf8.left(6)})
                QVERIFY2(!it.value().contains(word), qPrintable(it.key()));
        }
        QCOMPARE(after.value("sorane"), before.value("sorane"));
        QCOMPARE(after.value("notes-of-mine.md"), before.value("notes-of-mine.md"));
        QVERIFY(after.contains("sorane-lock.ini"));
        QCOMPARE(Read_through_store(diary), Diary_fixture());

        // Another computer: only the folder, and the password.
        lock::Forget_keys();
        QByteArray bytes;
        bool exists = false;
        QCOMPARE(Read_diary_file(diary + "2026/1209.txt", bytes, exists).step, Io_step::Locked);
        const lock::Diary_key key = Key_of(diary);
        QVERIFY(key.Valid());
        QVERIFY(lock::Unlock_folder(diary, key).Ok());
        QCOMPARE(Files(diary), before);
    }

    // The year's index linked into the history (a version's lines, its old
    // file kept by a second name) is sealed under both names, and both
    // read back as they were.
    void a_linked_index_in_the_history_is_sealed_too()
    {
        const QString index = diary + "2026/keyword.txt";
        const QString kept = diary + "history/2026/1209/20261209-211503.idx";
        QVERIFY(::link(QFile::encodeName(index).constData(), QFile::encodeName(kept).constData()) ==
                0);
        QString recovery;
        QVERIFY(
            lock::Lock_folder(diary, Password, recovery, {}, backups, lock::Fastest_limits()).Ok());
        for (const QString& path : {index, kept}) {
            const QByteArray raw = Read_bytes(path);
            QVERIFY2(!raw.contains(Word_cp932) && !raw.contains("2026/12/09"), qPrintable(path));
            QByteArray bytes;
            bool exists = false;
            QVERIFY(Read_diary_file(path, bytes, exists).Ok());
            QCOMPARE(bytes, Diary_fixture().value("2026/keyword.txt"));
        }
    }

    // After a lock, the backup made before it (plain) is found and removed;
    // one made since, which holds the key file and sealed files, is kept.
    void plain_backups_after_a_lock()
    {
        QString recovery;
        const lock::Conversion locked =
            lock::Lock_folder(diary, Password, recovery, {}, backups, lock::Fastest_limits());
        QVERIFY(locked.Ok());
        const std::atomic<bool> cancel{false};
        const Backup_outcome sealed = Write_backup(diary, backups, QDate::currentDate(), cancel);
        QVERIFY(sealed.Ok());
        Io_result error;
        const QStringList plain = Plain_backups(diary, backups, error);
        QVERIFY(error.Ok());
        QCOMPARE(plain.size(), 1);
        QCOMPARE(QFileInfo(plain[0]).canonicalFilePath(),
                 QFileInfo(locked.backup_path).canonicalFilePath());
        int removed = 0;
        QVERIFY(Remove_backups(plain, removed).Ok());
        QCOMPARE(removed, 1);
        QVERIFY(!QFileInfo::exists(locked.backup_path));
        QVERIFY(QFileInfo::exists(sealed.path));
        QCOMPARE(Plain_backups(diary, backups, error), QStringList());
    }

    // A kill after every rename of the lock, then of the unlock: every file
    // reads as it was, and the next open (Finish_conversion) completes
    // the conversion; unlocked at the end, every byte is as it was.
    void kill_at_every_rename()
    {
        const auto before = Files(diary);
        int kills = 0;
        for (const bool locking : {true, false}) {
            for (int n = 1;; ++n) {
                if (locking) {
                    QVERIFY(Write_fixture(diary));
                    QFile::remove(diary + "sorane-lock.ini");
                } else {
                    QString recovery;
                    QVERIFY(Files(diary) == before);
                    QVERIFY(lock::Lock_folder(diary, Password, recovery, {}, backups,
                                              lock::Fastest_limits())
                                .Ok());
                    lock::Forget_keys();
                }
                const bool killed = Killed_at(n, locking);
                const lock::Diary_key key = Key_of(diary);
                if (key.Valid())
                    lock::Register_key(diary, key);
                QCOMPARE(Read_through_store(diary), Diary_fixture());
                if (key.Valid()) {
                    QVERIFY(lock::Finish_conversion(diary, key).Ok());
                    QCOMPARE(Read_through_store(diary), Diary_fixture());
                    if (locking) {
                        lock::Key_file file;
                        QVERIFY(lock::Read_key_file(diary, file).Ok());
                        QCOMPARE(file.state, lock::Key_state::Locked);
                        QVERIFY(lock::Unlock_folder(diary, key).Ok());
                    }
                }
                lock::Forget_keys();
                QCOMPARE(Files(diary), before);
                if (!killed)
                    break;
                ++kills;
            }
        }
        // 12 files and 2 key file writes each way, the key file's removal
        // last on the way back.
        QCOMPARE(kills, 28);
    }

    // A cancel halfway, and a read-only file: the folder as it was.
    void cancel_and_file_in_the_way_change_nothing()
    {
        const auto before = Files(diary);
        QString recovery;
        const lock::Conversion cancelled = lock::Lock_folder(
            diary, Password, recovery, [](int done, int) { return done < 5; }, backups,
            lock::Fastest_limits());
        QCOMPARE(cancelled.status, lock::Conversion_status::Cancelled);
        QVERIFY(recovery.isEmpty());
        QCOMPARE(Files(diary), before);

        ::chmod(QFile::encodeName(diary + "2026/keyword.txt").constData(), 0400);
        const lock::Conversion refused =
            lock::Lock_folder(diary, Password, recovery, {}, backups, lock::Fastest_limits());
        QCOMPARE(refused.status, lock::Conversion_status::Failed);
        QCOMPARE(refused.result.step, Io_step::Read_only);
        QCOMPARE(refused.result.path, diary + "2026/keyword.txt");
        QCOMPARE(Files(diary), before);
    }

    // The command line: --lock prints the recovery key once; a command on
    // the locked diary says how to give the password; a wrong password
    // writes nothing; --unlock gives the plain files back.
    void command_line()
    {
        const auto before = Files(diary);
        const Run_result locked = Run({"--lock", "--password-stdin"}, Password + "\n");
        QCOMPARE(locked.code, 0);
        QVERIFY2(
            QRegularExpression("\n回復キー: ([0-9A-Z]{4}-){7}[0-9A-Z]{4}\n回復キーは、いまだけ")
                .match(locked.out)
                .hasMatch(),
            qPrintable(locked.out));
        QVERIFY(locked.out.startsWith("日記に鍵をかけました: " + diary));
        QVERIFY(locked.out.contains("鍵をかける前のバックアップ: " + temp->File("home/")));

        const Run_result refused = Run({"--show", "2026/12/09"}, {});
        QCOMPARE(refused.code, 2);
        QCOMPARE(refused.out, QString());
        QCOMPARE(refused.err, "この日記には鍵がかかっています: " + diary +
                                  "\nパスワードを標準入力の一行目で渡し、--password-stdin を"
                                  "付けて実行してください。\n例: sorane --search 言葉 "
                                  "--password-stdin < パスワードのファイル\n");

        const auto locked_files = Files(diary);
        const Run_result wrong = Run({"--stats", "--password-stdin"}, "合言葉?\n");
        QCOMPARE(wrong.code, 2);
        QCOMPARE(
            wrong.err,
            QString("パスワードが違います。日記は開きませんでした（何も書き換えていません）。\n"));
        QCOMPARE(Files(diary), locked_files);
        QCOMPARE(Run({"--unlock", "--password-stdin"}, "x\n").code, 2);
        QCOMPARE(Files(diary), locked_files);

        const Run_result shown =
            Run({"--show", "2025/01/01", "--password-stdin"}, Password + "\r\n");
        QCOMPARE(shown.code, 0);
        QVERIFY2(shown.out.endsWith("\n秘密の散歩道\n"), qPrintable(shown.out + shown.err));

        const Run_result again = Run({"--lock", "--password-stdin"}, Password + "\n");
        QCOMPARE(again.code, 2);
        QCOMPARE(again.err, "この日記にはすでに鍵がかかっています: " + diary + "\n");

        const Run_result unlocked = Run({"--unlock", "--password-stdin"}, Password + "\n");
        QCOMPARE(unlocked.code, 0);
        QCOMPARE(unlocked.out, "日記の鍵を外しました: " + diary + "\n");
        QCOMPARE(Files(diary), before);
    }
};

QTEST_GUILESS_MAIN(Test_lock_conversion)
#include "test_lock_conversion.moc"

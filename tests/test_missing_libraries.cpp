// SQLite, libarchive and libsodium are opened at their first use; here none
// of them can be: a backup, the full-text index and the lock each fail in
// the user's words through their own paths, nothing is left half-written,
// and the diary itself is saved and searched as ever.

#include "app/keyring.h"
#include "app/lock_start.h"
#include "diary/backup.h"
#include "diary/lock_conversion.h"
#include "fulltext/fulltext.h"
#include "platform/lazy_library.h"
#include "store/lock.h"
#include "support/diary_fixture.h"
#include "support/session_fixture.h"
#include "ui/io_message.h"

#include <QtTest>
#include <cerrno>

namespace {

QStringList asked_for;
void* Refuse(const char* soname)
{
    asked_for << QString::fromLatin1(soname);
    return nullptr;
}

const QString No_library =
    QStringLiteral("プログラムに必要なライブラリーが見つからないか、読み込めませんでした。");

}  // namespace

class Test_missing_libraries : public QObject, private Session_fixture {
    Q_OBJECT

    // Today's text saved as the window saves it.
    void Save_today(const QString& text)
    {
        Start();
        Diary_session::Day_plan plan =
            session->Plan_day_save({text, QString(), false}, Diary_session::Who::User);
        QCOMPARE(session->Write_day(plan), Diary_session::Save_result::Saved);
    }

private slots:
    void init() { Set_up(); }

    void The_day_is_saved_and_a_backup_fails_in_words_leaving_nothing()
    {
        Save_today(QStringLiteral("雨のち晴れ。"));
        const QByteArray day = Read_bytes(At("2026/1207.txt"));
        QVERIFY(day.startsWith(Hex("89 4a 82 cc 82 bf 90 b0 82 ea 81 42")));

        const QString backups = At("backups");
        const std::atomic<bool> no_cancel{false};
        const Backup_outcome outcome =
            Write_backup(folder->Path(), backups, QDate(2026, 12, 7), no_cancel);
        QCOMPARE(outcome.error.error_number, ELIBACC);
        QVERIFY(outcome.path.isEmpty());
        QCOMPARE(Io_reason(outcome.error), No_library);
        // No archive, whole or cut, in the backup folder.
        QStringList left;
        const QMap<QString, QByteArray> tree = File_tree(backups);
        for (auto it = tree.cbegin(); it != tree.cend(); ++it)
            if (it.value() != "<dir>")
                left << it.key();
        QCOMPARE(left, QStringList());
        QCOMPARE(Read_bytes(At("2026/1207.txt")), day);
        QVERIFY(asked_for.contains(QStringLiteral("libarchive.so.13")));
    }

    void A_search_reads_the_files_and_says_why_the_index_is_not_used()
    {
        Save_today(QStringLiteral("散歩の途中で虹を見た。"));
        Temp_folder cache;
        Fulltext_index index(folder->Path(), cache.Path(), Fold_options(),
                             Fulltext_index::Start::Foreground);
        Fulltext_search search;
        search.typed = QStringLiteral("虹");
        const Fulltext_result result = index.Search(search);
        QCOMPARE(result.hits.size(), std::size_t(1));
        QCOMPARE(result.hits.front().date, Date_number(2026, 12, 7));
        QVERIFY(result.scanned);
        // Said in the status line; no index is made.
        QCOMPARE(result.index_trouble,
                 QStringLiteral("SQLite を読み込めないため、"
                                "索引を使わずに日記のファイルを直接検索しています。"));
        QCOMPARE(Entries(cache.Path()), QStringList());
        QVERIFY(asked_for.contains(QStringLiteral("libsqlite3.so.0")));
    }

    void Locking_is_refused_before_anything_is_written()
    {
        Save_today(QStringLiteral("鍵をかける前の日。"));
        const QMap<QString, QByteArray> before = File_tree(folder->Path());
        QVERIFY(!lock::Crypto_ready());
        QString recovery;
        const lock::Conversion done = lock::Lock_folder(folder->Path(), "password", recovery, {},
                                                        At("backups"), lock::Fastest_limits());
        QVERIFY(!done.Ok());
        QCOMPARE(done.result.error_number, ELIBACC);
        QCOMPARE(done.result.path, QStringLiteral("libsodium.so.23"));
        QVERIFY(recovery.isEmpty());
        // No key file, no backup, every day as it was.
        QCOMPARE(File_tree(folder->Path()), before);
        QVERIFY(asked_for.contains(QStringLiteral("libsodium.so.23")));
    }

    void A_locked_diary_is_not_opened_and_the_user_is_told_why()
    {
        lock::Key_file file;
        file.key_id = QByteArray(lock::Key_id_bytes, '\1');
        file.salt = QByteArray(lock::Salt_bytes, '\2');
        file.limits = lock::Fastest_limits();
        file.password_nonce = file.recovery_nonce = QByteArray(lock::Nonce_bytes, '\3');
        file.password_wrap = file.recovery_wrap =
            QByteArray(lock::Key_bytes + lock::Tag_bytes, '\4');
        QVERIFY(lock::Write_key_file(folder->Path(), file).Ok());
        const QMap<QString, QByteArray> before = File_tree(folder->Path());

        Fake_platform fake;
        fake.Expect_box(
            QStringLiteral("この日記には鍵がかかっていますが、鍵を開けるためのライブラリーを"
                           "読み込めないため、日記を開けません。\n"
                           "ファイル: libsodium.so.23\n理由: ") +
                No_library + QStringLiteral("\n\n日記のファイルには何も書き込んでいません。"),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok, Platform::Answer::Ok);
        Desktop_keyring keyring;
        QVERIFY(!Open_locked_diary(fake, folder->Path(), keyring));
        VERIFY_PLATFORM_CLEAN(fake);
        QVERIFY(!lock::Any_key_registered());
        QCOMPARE(File_tree(folder->Path()), before);
    }
};

int main(int argc, char* argv[])
{
    // Before anything could open a library.
    Set_library_opener_for_tests(Refuse);
    QApplication app(argc, argv);
    Test_missing_libraries test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_missing_libraries.moc"

// The lock's keys and sealed files: the password and the recovery key open
// the diary key and nothing else does; a sealed file that was changed
// anywhere, cut or sealed with another key is reported by name and never
// read as text; the store's one write and read place seals and opens under
// a registered folder only, and the key file is never sealed.

#include "store/diary_files.h"
#include "store/lock.h"
#include "store/safe_replace.h"
#include "store/settings.h"
#include "store/store.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// 晴れ CR LF, in code page 932: the plain bytes of every sealed file here.
const QByteArray Plain = Hex("90 b0 82 ea 0d 0a");

QByteArray Password() { return QByteArrayLiteral("そらの鍵 2026"); }

}  // namespace

class Test_lock : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { lock::Forget_keys(); }

    // A sealed file's layout, and its round trip.
    void sealed_bytes_round_trip()
    {
        const lock::Diary_key key = lock::Diary_key::Generate();
        const QByteArray sealed = lock::Seal(key, Plain);
        QCOMPARE(sealed.size(), lock::Header_bytes + Plain.size() + lock::Tag_bytes);
        QCOMPARE(sealed.left(9), Hex("00 53 4c 4b 0d 0a 1a 0a 01"));
        QCOMPARE(sealed.mid(9, 16), key.Id());
        QVERIFY(!sealed.contains(Plain));
        QVERIFY(lock::Seal(key, Plain) != sealed);  // a new nonce each time
        QByteArray plain;
        QVERIFY(lock::Open_sealed(key, sealed, plain));
        QCOMPARE(plain, Plain);
        QVERIFY(lock::Open_sealed(key, lock::Seal(key, {}), plain));
        QCOMPARE(plain, QByteArray());
        // Another key with the same id does not open it.
        const QByteArray other_bytes(lock::Key_bytes, 'k');
        QVERIFY(!lock::Open_sealed(lock::Diary_key::Of(other_bytes, key.Id()), sealed, plain));
        QVERIFY(plain.isEmpty());
    }

    // A changed byte in each part of the file, and a cut file: read through
    // the store, each is Damaged_lock naming the file, with no bytes.
    void damage_is_reported_by_name()
    {
        Temp_folder folder;
        const lock::Diary_key key = lock::Diary_key::Generate();
        lock::Register_key(folder.Path(), key);
        const QString path = folder.File("1209.txt");
        QVERIFY(Replace_file(path, Plain).Ok());
        const QByteArray sealed = Read_bytes(path);
        struct Damage {
            const char* what;
            qsizetype at;  // the byte flipped; -1: the file cut
        };
        const qsizetype tag = sealed.size() - 1;
        for (const Damage d :
             {Damage{"version", 8}, Damage{"key id", 12}, Damage{"nonce", 30},
              Damage{"body", lock::Header_bytes + 1}, Damage{"tag", tag}, Damage{"cut", -1}}) {
            QByteArray bad = sealed;
            if (d.at < 0)
                bad.chop(5);
            else
                bad[d.at] = char(bad[d.at] ^ 0x01);
            QVERIFY(Write_bytes(path, bad));
            QByteArray bytes;
            bool exists = false;
            const Io_result r = Read_diary_file(path, bytes, exists);
            QVERIFY2(r.step == Io_step::Damaged_lock, d.what);
            QCOMPARE(r.path, path);
            QVERIFY2(bytes.isEmpty(), d.what);
            // The store's text reader says the same and shows nothing.
            Diary_store store(folder.Path());
            const Text_read text = store.Read_text_file(path);
            QVERIFY2(text.result.step == Io_step::Damaged_lock && text.text.isEmpty(), d.what);
        }
        // Whole again, but no key registered: Locked, not text.
        QVERIFY(Write_bytes(path, sealed));
        lock::Forget_keys();
        QByteArray bytes;
        bool exists = false;
        QCOMPARE(Read_diary_file(path, bytes, exists).step, Io_step::Locked);
        QVERIFY(bytes.isEmpty());
    }

    // The password opens the key, a wrong one does not; the key file's text
    // is read back as written, and a cut one is damaged.
    void password_and_key_file()
    {
        Temp_folder folder;
        lock::Diary_key key;
        QString recovery;
        lock::Key_file file = lock::New_key_file(Password(), key, recovery, lock::Fastest_limits());
        QVERIFY(lock::Write_key_file(folder.Path(), file).Ok());
        const QByteArray text = Read_bytes(lock::Key_file_path(folder.Path()));
        QVERIFY(text.contains("state=locked\n"));
        QVERIFY(text.contains("key_id=" + key.Id().toHex() + "\n"));

        lock::Key_file read;
        QVERIFY(lock::Read_key_file(folder.Path(), read).Ok());
        QCOMPARE(lock::Key_file_text(read), text);
        lock::Diary_key opened;
        QCOMPARE(lock::Open_with_password(read, Password(), opened), lock::Open_result::Opened);
        QCOMPARE(opened.Id(), key.Id());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(opened.Bytes()), lock::Key_bytes),
                 QByteArray(reinterpret_cast<const char*>(key.Bytes()), lock::Key_bytes));
        QCOMPARE(lock::Open_with_password(read, "そらの鍵 2027", opened),
                 lock::Open_result::Wrong_password);
        QCOMPARE(lock::Open_with_password(read, "", opened), lock::Open_result::Wrong_password);

        for (const char* field : {"password_key=", "salt=", "state="}) {
            QByteArray cut = text;
            const qsizetype at = cut.indexOf(field);
            cut.remove(at, cut.indexOf('\n', at) + 1 - at);
            QVERIFY(Write_bytes(lock::Key_file_path(folder.Path()), cut));
            QCOMPARE(lock::Read_key_file(folder.Path(), read).step, Io_step::Damaged_lock);
        }
    }

    // The recovery key, as written down or typed loosely, opens the key; a
    // new password then opens it too, the old one no longer, and the
    // recovery key still does.
    void recovery_key_sets_a_new_password()
    {
        lock::Diary_key key;
        QString recovery;
        const lock::Key_file file =
            lock::New_key_file(Password(), key, recovery, lock::Fastest_limits());
        QVERIFY2(QRegularExpression("^([0-9A-HJKMNP-TV-Z]{4}-){7}[0-9A-HJKMNP-TV-Z]{4}$")
                     .match(recovery)
                     .hasMatch(),
                 qPrintable(recovery));
        lock::Diary_key opened;
        // Lower case, blanks for hyphens, O for 0, a full-width first letter.
        QString loose = recovery.toLower().replace('-', ' ').replace('0', 'o');
        loose[0] = QChar(char16_t(recovery[0].unicode() + 0xFEE0));
        QCOMPARE(lock::Open_with_recovery_key(file, loose, opened), lock::Open_result::Opened);
        QCOMPARE(opened.Id(), key.Id());
        QString wrong = recovery;
        wrong[3] = wrong[3] == 'A' ? 'B' : 'A';
        QCOMPARE(lock::Open_with_recovery_key(file, wrong, opened),
                 lock::Open_result::Wrong_recovery_key);
        QCOMPARE(lock::Open_with_recovery_key(file, recovery.left(30), opened),
                 lock::Open_result::Wrong_recovery_key);

        const lock::Key_file renewed =
            lock::With_new_password(file, opened, "新しい合言葉", lock::Fastest_limits());
        QVERIFY(renewed.salt != file.salt);
        QCOMPARE(lock::Open_with_password(renewed, "新しい合言葉", opened),
                 lock::Open_result::Opened);
        QCOMPARE(lock::Open_with_password(renewed, Password(), opened),
                 lock::Open_result::Wrong_password);
        QCOMPARE(lock::Open_with_recovery_key(renewed, recovery, opened),
                 lock::Open_result::Opened);
    }

    // Replace_file and Temp_file seal under a registered folder, reached by
    // any path, and nowhere else; the key file stays plain; the store reads
    // the sealed day as its text.
    void writes_sealed_under_a_registered_folder()
    {
        Temp_folder root;
        QVERIFY(QDir().mkpath(root.File("diary/2026")) && QDir().mkpath(root.File("other")));
        QVERIFY(QFile::link(root.File("diary"), root.File("link")));
        const lock::Diary_key key = lock::Diary_key::Generate();
        lock::Register_key(root.File("diary"), key);

        const QString day = root.File("link/2026/1209.txt");  // through the link
        QVERIFY(Replace_file(day, Plain).Ok());
        QByteArray plain;
        QVERIFY(lock::Open_sealed(key, Read_bytes(root.File("diary/2026/1209.txt")), plain));
        QCOMPARE(plain, Plain);
        Diary_store store(root.File("diary/"));
        QCOMPARE(store.Read_text_file(store.Day_file_path(2026, 12, 9)).text, QString("晴れ"));

        QVERIFY(Replace_file(root.File("other/1209.txt"), Plain).Ok());
        QCOMPARE(Read_bytes(root.File("other/1209.txt")), Plain);
        QVERIFY(Replace_file(root.File("diary/sorane-lock.ini"), "version=1\n").Ok());
        QCOMPARE(Read_bytes(root.File("diary/sorane-lock.ini")), QByteArray("version=1\n"));

        // A file written in pieces: nothing plain in the folder before the
        // commit, the whole sealed after it.
        Temp_file temp;
        const QString photo = root.File("diary/2026/photo.jpg");
        QVERIFY(temp.Open(root.File("diary/2026"), photo).Ok());
        QCOMPARE(::write(temp.Fd(), Plain.constData(), 3), 3);
        QCOMPARE(::write(temp.Fd(), Plain.constData() + 3, Plain.size() - 3), Plain.size() - 3);
        for (const QByteArray& bytes : File_tree(root.File("diary/")))
            QVERIFY(!bytes.contains(Plain.left(4)));
        QVERIFY(temp.Commit(photo).Ok());
        QVERIFY(lock::Open_sealed(key, Read_bytes(photo), plain));
        QCOMPARE(plain, Plain);
        QCOMPARE(Entries(root.File("diary/2026")),
                 QStringList({"1209.txt", "photo.jpg"}));  // no temporary file left

        // Forgotten: written plain again.
        lock::Forget_key(root.File("link"));
        QVERIFY(Replace_file(day, Plain).Ok());
        QCOMPARE(Read_bytes(day), Plain);
    }

    // A locked folder whose key is not open (the idle lock forgot it, or it
    // was never given) takes no write: a day, the settings, a file written
    // in pieces are refused as Locked and not a byte of the folder changes.
    // The key file stays writable; the key given again writes sealed.
    void a_closed_folder_takes_no_write()
    {
        Temp_folder root;
        const QString diary = root.File("diary");
        QVERIFY(QDir().mkpath(diary + "/2026"));
        const lock::Diary_key key = lock::Diary_key::Generate();
        lock::Register_key(diary, key);
        Diary_store store(diary);
        const QString day = store.Day_file_path(2026, 12, 9);
        QVERIFY(store.Write_text_file(day, "晴れ").Ok());
        QVERIFY(
            Write_settings(store.Settings_path(), Settings::First_values(0, 0, "2026/12/09")).Ok());
        QVERIFY(Replace_file(lock::Key_file_path(diary), "version=1\n").Ok());
        const QMap<QString, QByteArray> before = File_tree(diary);

        lock::Forget_keys();
        QCOMPARE(store.Write_text_file(day, "雨").step, Io_step::Locked);
        QCOMPARE(store.Write_text_file(store.Day_file_path(2026, 12, 10), "雨").step,
                 Io_step::Locked);
        const Settings changed = Settings::First_values(0, 0, "2026/12/10");
        const Io_result settings = Write_settings(store.Settings_path(), changed);
        QCOMPARE(settings.step, Io_step::Locked);
        QCOMPARE(settings.path, store.Settings_path());
        Temp_file temp;
        QCOMPARE(temp.Open(diary + "/2026", diary + "/2026/photo.jpg").step, Io_step::Locked);
        QCOMPARE(File_tree(diary), before);

        // A folder only seen locked (a start before the password) is closed
        // too; another folder is not.
        const QString seen = root.File("seen");
        QVERIFY(QDir().mkpath(seen));
        QVERIFY(Replace_file(lock::Key_file_path(seen), "version=1\n").Ok());
        QVERIFY(lock::Folder_is_locked(seen));
        QCOMPARE(Replace_file(seen + "/1209.txt", Plain).step, Io_step::Locked);
        QCOMPARE(Entries(seen), QStringList({"sorane-lock.ini"}));
        QVERIFY(Replace_file(root.File("other.txt"), Plain).Ok());

        lock::Register_key(diary, key);
        QVERIFY(store.Write_text_file(day, "雨").Ok());
        QCOMPARE(store.Read_text_file(day).text, QString("雨"));
        QVERIFY(lock::Is_sealed(Read_bytes(day)));
    }

    // An index whose record does not change is not written again, unless it
    // is still plain in a locked folder (a sync tool brought it): then it is
    // sealed.
    void an_unchanged_index_is_sealed_once_then_left()
    {
        Temp_folder root;
        const QString diary = root.File("diary");
        QVERIFY(QDir().mkpath(diary + "/2026"));
        Diary_store store(diary);
        const QString index = store.Keyword_file_path(2026);
        QVERIFY(Replace_file(index, "2026/12/090\r\n").Ok());
        lock::Register_key(diary, lock::Diary_key::Generate());
        QVERIFY(store.Store_day_record_bytes(2026, "2026/12/09", false, {}).Ok());
        const QByteArray sealed = Read_bytes(index);
        QVERIFY(lock::Is_sealed(sealed));
        const auto inode_of = [](const QString& p) {
            struct stat st {};
            return ::stat(QFile::encodeName(p).constData(), &st) == 0 ? st.st_ino : ino_t(0);
        };
        const ino_t inode = inode_of(index);
        QVERIFY(store.Store_day_record_bytes(2026, "2026/12/09", false, {}).Ok());
        QCOMPARE(Read_bytes(index), sealed);
        QCOMPARE(inode_of(index), inode);
    }
};

QTEST_GUILESS_MAIN(Test_lock)
#include "test_lock.moc"

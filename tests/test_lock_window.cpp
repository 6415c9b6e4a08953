// The lock in the window: the password at start (right, wrong, the recovery
// key), locking and unlocking from the menu, the idle lock saving first,
// and the desktop keyring, a real gnome-keyring-daemon on a D-Bus of the
// test's own.

#include "app/keyring.h"
#include "app/lock_control.h"
#include "app/lock_start.h"
#include "dialogs/lock_settings_window.h"
#include "dialogs/lock_setup_window.h"
#include "dialogs/password_window.h"
#include "dialogs/recovery_key_window.h"
#include "dialogs/work_window.h"
#include "store/lock.h"
#include "store/own_settings.h"
#include "support/diary_fixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <sys/prctl.h>

namespace {

const QByteArray Password = "yama-no-hi 2026";
const QByteArray New_password = "umi-no-hi 2027";

// Runs the checks of a scripted modal window (QTRY macros return on a
// failure) and hands back the window's result.
template <class Checks>
int Played(QDialog& dialog, Checks checks)
{
    dialog.show();
    checks();
    const int result = dialog.result();
    dialog.hide();
    return result;
}

void Type_and_ok(QLineEdit* field, const QByteArray& text, QPushButton* ok)
{
    field->clear();
    QTest::keyClicks(field, QString::fromUtf8(text));
    QTest::mouseClick(ok, Qt::LeftButton);
}

// The new password typed in both of the recovery window's fields, then OK.
void Type_new_password_and_ok(Recovery_window& window)
{
    QTest::keyClicks(window.New_password, QString::fromUtf8(New_password));
    QTest::keyClicks(window.New_password_again, QString::fromUtf8(New_password));
    QTest::mouseClick(window.Ok, Qt::LeftButton);
}

// The work window runs by itself once shown; it closes when done.
void Expect_work(Fake_platform& fake)
{
    fake.Expect_modal([](QDialog& dialog) {
        return Played(dialog, [&] { QTRY_VERIFY_WITH_TIMEOUT(dialog.isHidden(), 30000); });
    });
}

}  // namespace

class Test_lock_window : public QObject, Diary_fixture {
    Q_OBJECT

    QTemporaryDir keyring_home;
    QProcess bus;
    QProcess keyring_daemon;
    QString keyring_missing;  // why the keyring could not be started

    // A locked diary folder written by the test: the key file (fastest
    // limits) and 7 December's day and index record sealed with its key.
    lock::Diary_key Make_locked_folder(QString& recovery_text)
    {
        lock::Diary_key key;
        const lock::Key_file file =
            lock::New_key_file(Password, key, recovery_text, lock::Fastest_limits());
        [&] {
            QVERIFY(lock::Write_key_file(folder->Path(), file).Ok());
            QVERIFY(QDir().mkpath(At(QStringLiteral("2026"))));
            QVERIFY(
                Write_bytes(At(QStringLiteral("2026/1207.txt")), lock::Seal(key, Day_file_bytes)));
            QVERIFY(Write_bytes(At(QStringLiteral("2026/keyword.txt")),
                                lock::Seal(key, Today_record_saved)));
        }();
        return key;
    }
    QByteArray Opened(const QString& relative, const lock::Diary_key& key)
    {
        QByteArray plain;
        const QByteArray sealed = Read_bytes(At(relative));
        if (!lock::Is_sealed(sealed) || !lock::Open_sealed(key, sealed, plain))
            return "(not sealed with the key)";
        return plain;
    }
    bool Key_registered() const
    {
        lock::Diary_key key;
        return lock::Key_for(At(QStringLiteral("2026/1207.txt")), key) && key.Valid();
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { QVERIFY(Set_up()); }
    void cleanup()
    {
        lock::Forget_keys();
        Verify_clean();
    }

    void password_window_in_a_real_modal_run();
    void start_asks_and_a_wrong_password_writes_nothing();
    void start_with_the_recovery_key_sets_a_new_password();
    void start_finishes_a_lock_left_halfway();
    void lock_and_unlock_from_the_menu();
    void lock_settings_keep_the_idle_minutes();
    void idle_lock_saves_the_day_first();
    void idle_lock_covers_a_question_unanswered();
    void password_changed_from_the_settings_menu();
    void keyring_keeps_finds_and_forgets();
};

void Test_lock_window::initTestCase()
{
    // A session bus and a Secret Service of this test's own, so that the
    // user's keyring is never touched; both end with the test.
    if (QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
        keyring_missing = QStringLiteral("gnome-keyring-daemon or dbus-daemon is not installed");
        return;
    }
    // Both end with the test, even with a test that crashed.
    for (QProcess* process : {&bus, &keyring_daemon})
        process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address")});
    QVERIFY(bus.waitForReadyRead(10000));
    const QByteArray address = bus.readLine().trimmed();
    QVERIFY(!address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), keyring_home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), keyring_home.path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), keyring_home.path());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(address));
    keyring_daemon.setProcessEnvironment(env);
    keyring_daemon.start(QStringLiteral("gnome-keyring-daemon"),
                         {QStringLiteral("--unlock"), QStringLiteral("--components=secrets"),
                          QStringLiteral("--foreground")});
    QVERIFY(keyring_daemon.waitForStarted(10000));
    keyring_daemon.write("keyring of the test");
    keyring_daemon.closeWriteChannel();
    const auto registered = [] {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.secrets"));
    };
    if (!QTest::qWaitFor(registered, 15000))
        keyring_missing = QStringLiteral("gnome-keyring-daemon did not take the Secret Service: ") +
                          QString::fromLocal8Bit(keyring_daemon.readAllStandardError());
}

void Test_lock_window::cleanupTestCase()
{
    for (QProcess* process : {&keyring_daemon, &bus}) {
        process->terminate();
        process->waitForFinished(5000);
    }
}

void Test_lock_window::password_window_in_a_real_modal_run()
{
    QString recovery;
    Make_locked_folder(recovery);
    lock::Diary_key key;
    Password_window window(
        nullptr, Password_window::Purpose::Start, folder->Path(),
        [&](const QByteArray& typed) { return Check_password(folder->Path(), typed, key); },
        {false, QStringLiteral("no keyring here"), false});
    QVERIFY(!window.Remember_tick->isEnabled());
    QCOMPARE(window.Remember_tick->toolTip(), QStringLiteral("no keyring here"));
    When_modal<Password_window>(&window, [](Password_window& shown) {
        Type_and_ok(shown.Password_field, "not the password", shown.Ok);
        QVERIFY(shown.Checking());
        QVERIFY(!shown.Ok->isEnabled());
        QTRY_COMPARE(shown.Status->text(), Wrong_password_text());
        Type_and_ok(shown.Password_field, Password, shown.Ok);
    });
    QCOMPARE(window.exec(), int(QDialog::Accepted));
    QVERIFY(key.Valid());
    QCOMPARE(window.Password(), Password);
    QVERIFY(!window.Remember());
}

void Test_lock_window::start_asks_and_a_wrong_password_writes_nothing()
{
    QString recovery;
    const lock::Diary_key key = Make_locked_folder(recovery);
    const QMap<QString, QByteArray> before = File_tree(folder->Path());

    // キャンセル ends the start with nothing written and no key.
    fake->Expect_modal([](QDialog& dialog) {
        return Played(dialog, [&] {
            QCOMPARE(dialog.objectName(), QStringLiteral("Password_window"));
            QTest::mouseClick(static_cast<Password_window&>(dialog).Cancel, Qt::LeftButton);
        });
    });
    Desktop_keyring keyring;
    QVERIFY(!Open_locked_diary(*fake, folder->Path(), keyring));
    QVERIFY(!lock::Any_key_registered());
    QCOMPARE(File_tree(folder->Path()), before);

    // A wrong password is told in the window, which stays for another try.
    fake->Expect_modal([&](QDialog& dialog) {
        return Played(dialog, [&] {
            auto& window = static_cast<Password_window&>(dialog);
            Type_and_ok(window.Password_field, "yama-no-hi 2025", window.Ok);
            QTRY_COMPARE(window.Status->text(), Wrong_password_text());
            QVERIFY(dialog.isVisible());
            QVERIFY(window.Password_field->text().isEmpty());
            QVERIFY(!lock::Any_key_registered());
            QCOMPARE(File_tree(folder->Path()), before);
            Type_and_ok(window.Password_field, Password, window.Ok);
            QTRY_VERIFY(dialog.isHidden());
        });
    });
    QVERIFY(Open_locked_diary(*fake, folder->Path(), keyring));
    QVERIFY(Key_registered());
    QCOMPARE(File_tree(folder->Path()), before);

    // The session reads the day through the key.
    auto form = Start();
    QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
    QCOMPARE(Opened(QStringLiteral("2026/1207.txt"), key), Day_file_bytes);
    End(*form);
}

void Test_lock_window::start_with_the_recovery_key_sets_a_new_password()
{
    QString recovery;
    const lock::Diary_key key = Make_locked_folder(recovery);
    const QByteArray day_before = Read_bytes(At(QStringLiteral("2026/1207.txt")));

    fake->Expect_modal([](QDialog& dialog) {
        return Played(dialog, [&] {
            QTest::mouseClick(static_cast<Password_window&>(dialog).Recovery, Qt::LeftButton);
        });
    });
    fake->Expect_modal([&](QDialog& dialog) {
        return Played(dialog, [&] {
            auto& window = static_cast<Recovery_window&>(dialog);
            QTest::keyClicks(window.Recovery_field, QStringLiteral("AAAA-BBBB"));
            Type_new_password_and_ok(window);
            QTRY_COMPARE(window.Status->text(), Wrong_recovery_key_text());
            // Lower case and no hyphens are the same key.
            window.Recovery_field->setText(recovery.toLower().remove(QLatin1Char('-')));
            QTest::keyClicks(window.New_password, QString::fromUtf8(New_password));
            QTest::keyClicks(window.New_password_again, QStringLiteral("other one"));
            QTest::mouseClick(window.Ok, Qt::LeftButton);
            QCOMPARE(
                window.Status->text(),
                QStringLiteral("2回入力したパスワードが一致しません。もう一度入力してください。"));
            Type_new_password_and_ok(window);
            QTRY_VERIFY(dialog.isHidden());
        });
    });
    fake->Expect_box(QStringLiteral("新しいパスワードを設定しました。\n"
                                    "次からは新しいパスワードで日記を開いてください。"),
                     App_title, Platform::Icon::Information, Platform::Buttons::Ok,
                     Platform::Answer::Ok);
    Desktop_keyring keyring;
    QVERIFY(Open_locked_diary(*fake, folder->Path(), keyring));
    QVERIFY(Key_registered());

    // The same key under the new password; the old one no longer opens it,
    // the recovery key still does, and no day was touched.
    lock::Key_file file;
    QVERIFY(lock::Read_key_file(folder->Path(), file).Ok());
    lock::Diary_key opened;
    QCOMPARE(lock::Open_with_password(file, Password, opened), lock::Open_result::Wrong_password);
    QCOMPARE(lock::Open_with_password(file, New_password, opened), lock::Open_result::Opened);
    QCOMPARE(opened.Id(), key.Id());
    QCOMPARE(lock::Open_with_recovery_key(file, recovery, opened), lock::Open_result::Opened);
    QCOMPARE(Read_bytes(At(QStringLiteral("2026/1207.txt"))), day_before);
}

void Test_lock_window::start_finishes_a_lock_left_halfway()
{
    // A lock stopped after its key file: the day is still plain.
    lock::Diary_key key;
    QString recovery;
    lock::Key_file file = lock::New_key_file(Password, key, recovery, lock::Fastest_limits());
    file.state = lock::Key_state::Locking;
    QVERIFY(lock::Write_key_file(folder->Path(), file).Ok());
    QVERIFY(QDir().mkpath(At(QStringLiteral("2026"))));
    QVERIFY(Write_bytes(At(QStringLiteral("2026/1207.txt")), Day_file_bytes));
    QVERIFY(Write_bytes(At(QStringLiteral("2026/keyword.txt")), Today_record_saved));

    fake->Expect_modal([](QDialog& dialog) {
        return Played(dialog, [&] {
            auto& window = static_cast<Password_window&>(dialog);
            Type_and_ok(window.Password_field, Password, window.Ok);
            QTRY_VERIFY(dialog.isHidden());
        });
    });
    Expect_work(*fake);
    Desktop_keyring keyring;
    QVERIFY(Open_locked_diary(*fake, folder->Path(), keyring));
    QCOMPARE(Opened(QStringLiteral("2026/1207.txt"), key), Day_file_bytes);
    QCOMPARE(Opened(QStringLiteral("2026/keyword.txt"), key), Today_record_saved);
    QVERIFY(lock::Read_key_file(folder->Path(), file).Ok());
    QVERIFY(file.state == lock::Key_state::Locked);
    QVERIFY(Key_registered());
}

void Test_lock_window::lock_and_unlock_from_the_menu()
{
    // The backup made before the lock goes to a folder of the test's own.
    QTemporaryDir backups;
    QVERIFY(Change_own_settings(folder->Path(), [&](Own_settings& s) {
                s.backup_folder = backups.path() + QLatin1Char('/');
            }).Ok());
    auto form = Start();
    Write_diary_entry(*form);
    auto* control = form->findChild<Lock_control*>();
    QVERIFY(control);
    QCOMPARE(control->Menu_lock->text(), QStringLiteral("日記に鍵をかける…"));

    QString shown_key;
    fake->Expect_modal([](QDialog& dialog) {
        return Played(dialog, [&] {
            auto& window = static_cast<Lock_setup_window&>(dialog);
            QVERIFY(window.Warning->text().contains(QStringLiteral("Windows 版のソラネ")));
            QVERIFY(window.Warning->text().contains(QStringLiteral("二度と読めなくなります")));
            QTest::keyClicks(window.Password_field, QStringLiteral("short"));
            QTest::keyClicks(window.Again_field, QStringLiteral("short"));
            QTest::mouseClick(window.Ok, Qt::LeftButton);
            QCOMPARE(window.Status->text(),
                     QStringLiteral("パスワードは8文字以上にしてください。"));
            QTest::keyClicks(window.Password_field, QString::fromUtf8(Password));
            QTest::keyClicks(window.Again_field, QString::fromUtf8(Password));
            QTest::mouseClick(window.Ok, Qt::LeftButton);
            QVERIFY(dialog.isHidden());
        });
    });
    Expect_work(*fake);
    fake->Expect_modal([&](QDialog& dialog) {
        return Played(dialog, [&] {
            auto& window = static_cast<Recovery_key_window&>(dialog);
            shown_key = window.Key->text();
            // Not to be clicked away before the key is kept.
            QVERIFY(!window.Close->isEnabled());
            QTest::keyClick(&window, Qt::Key_Escape);
            QVERIFY(window.isVisible());
            QTest::mouseClick(window.Copy, Qt::LeftButton);
            QCOMPARE(QApplication::clipboard()->text(), shown_key);
            QTest::mouseClick(window.Print, Qt::LeftButton);
            // The backup made before the lock is plain, and said so next.
            QStringList zips;
            for (QDirIterator it(backups.path(), {QStringLiteral("*.zip")}, QDir::Files,
                                 QDirIterator::Subdirectories);
                 it.hasNext();)
                zips << it.next();
            QCOMPARE(zips.size(), 1);
            // Offered for deletion, いいえ first; はい deletes it.
            fake->Expect_box(QStringLiteral("鍵をかける前の日記のバックアップを作りました。\n"
                                            "このバックアップと、それより前のバックアップには\n"
                                            "鍵がかかっていないため、誰でも読めます。\n"
                                            "フォルダー: %1\n"
                                            "鍵のかかっていないこの日記のバックアップ 1 個を"
                                            "消しますか？")
                                 .arg(QFileInfo(zips[0]).path()),
                             App_title, Platform::Icon::Question,
                             Platform::Buttons::Yes_no_default_no, Platform::Answer::Yes);
            QTest::mouseClick(window.Written_down, Qt::LeftButton);
            QTest::mouseClick(window.Close, Qt::LeftButton);
            QVERIFY(dialog.isHidden());
        });
    });
    // 印刷… prints the key: here into a PDF, read back as text.
    const QString pdf = backups.filePath(QStringLiteral("key.pdf"));
    fake->Expect_modal([&](QDialog& dialog) {
        static_cast<QPrintDialog&>(dialog).printer()->setOutputFileName(pdf);
        return int(QDialog::Accepted);
    });
    control->Menu_lock_Click();
    QVERIFY(QDirIterator(backups.path(), {QStringLiteral("*.zip")}, QDir::Files,
                         QDirIterator::Subdirectories)
                .hasNext() == false);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(20000));
    QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains(shown_key));
    // The key on paper is the user's alone.
    QCOMPARE(QFileInfo(pdf).permissions() &
                 ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
             QFile::Permissions());

    // The day typed was saved first, then sealed; the key shown opens the
    // key file and the window goes on reading through the key.
    QCOMPARE(control->Menu_lock->text(), QStringLiteral("鍵を外す…"));
    lock::Key_file file;
    QVERIFY(lock::Read_key_file(folder->Path(), file).Ok());
    lock::Diary_key key;
    QCOMPARE(lock::Open_with_recovery_key(file, shown_key, key), lock::Open_result::Opened);
    QCOMPARE(Opened(QStringLiteral("2026/1207.txt"), key), Day_file_bytes);
    QVERIFY(Key_registered());

    fake->Expect_modal([](QDialog& dialog) {
        return Played(dialog, [&] {
            auto& window = static_cast<Password_window&>(dialog);
            QVERIFY(window.Intro->text().contains(QStringLiteral("読めるようになります")));
            QVERIFY(!window.Recovery->isVisible());
            Type_and_ok(window.Password_field, Password, window.Ok);
            QTRY_VERIFY(dialog.isHidden());
        });
    });
    Expect_work(*fake);
    fake->Expect_box(QStringLiteral("日記の鍵を外しました。\n"
                                    "日記のファイルは、暗号化されない元の形に戻りました。"),
                     App_title, Platform::Icon::Information, Platform::Buttons::Ok,
                     Platform::Answer::Ok);
    control->Menu_lock_Click();
    QCOMPARE(Read_bytes(At(QStringLiteral("2026/1207.txt"))), Day_file_bytes);
    QVERIFY(!QFile::exists(At(QString::fromLatin1(lock::Key_file_name))));
    QVERIFY(!lock::Any_key_registered());
    QCOMPARE(control->Menu_lock->text(), QStringLiteral("日記に鍵をかける…"));
    End(*form);
}

void Test_lock_window::lock_settings_keep_the_idle_minutes()
{
    QString recovery;
    const lock::Diary_key key = Make_locked_folder(recovery);
    Register_diary_key(folder->Path(), key);
    auto form = Start();
    auto* control = form->findChild<Lock_control*>();
    QVERIFY(control);
    fake->Expect_modal([](QDialog& dialog) {
        return Played(dialog, [&] {
            auto& window = static_cast<Lock_settings_window&>(dialog);
            QCOMPARE(window.Minutes->value(), 10);
            window.Minutes->setValue(3);
            dialog.accept();
        });
    });
    control->Menu_lock_settings_Click();
    // Kept sealed beside the diary, as every file of a locked diary.
    QCOMPARE(Opened(QStringLiteral("sorane-linux.ini"), key),
             QByteArray("[backup]\ndaily=true\n\n[this_day]\noldest_first=false\n\n"
                        "[fulltext]\nwidth=true\ncase=true\nkana=false\n\n"
                        "[reminder]\non=false\ntime=21:00\n\n[lock]\nidle_minutes=3\n"));
    End(*form);
}

void Test_lock_window::idle_lock_saves_the_day_first()
{
    QString recovery;
    const lock::Diary_key key = Make_locked_folder(recovery);
    QVERIFY(QFile::remove(At(QStringLiteral("2026/1207.txt"))));
    QVERIFY(
        Write_bytes(At(QStringLiteral("2026/keyword.txt")), lock::Seal(key, Today_record_only)));
    Register_diary_key(folder->Path(), key);
    auto form = Start();
    Write_diary_entry(*form);
    auto* control = form->findChild<Lock_control*>();
    QVERIFY(control);

    bool asked = false;
    fake->Expect_modal([&](QDialog& dialog) {
        return Played(dialog, [&] {
            asked = true;
            // Saved before the key went: the day's files hold what was typed.
            QCOMPARE(Opened(QStringLiteral("2026/1207.txt"), key), Day_file_bytes);
            QCOMPARE(Opened(QStringLiteral("2026/keyword.txt"), key), Today_record_saved);
            QVERIFY(!lock::Any_key_registered());
            QVERIFY(control->Covered());
            auto* cover = form->findChild<QWidget*>(QStringLiteral("Lock_cover"));
            QVERIFY(cover && cover->isVisible());
            QCOMPARE(cover->geometry(), form->rect());
            auto& window = static_cast<Password_window&>(dialog);
            QCOMPARE(window.Cancel->text(), QStringLiteral("終了"));
            Type_and_ok(window.Password_field, Password, window.Ok);
            QTRY_VERIFY(dialog.isHidden());
        });
    });
    control->Set_idle_ms(50);
    QTRY_VERIFY(asked);
    QTRY_VERIFY(!control->Covered());
    QVERIFY(Key_registered());
    QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);

    // 終了 at the next idle lock ends the program without a plain byte
    // written: every file but the key file stays sealed.
    fake->Expect_modal([](QDialog& dialog) {
        return Played(dialog, [&] {
            QTest::mouseClick(static_cast<Password_window&>(dialog).Cancel, Qt::LeftButton);
        });
    });
    control->Lock_now();
    QVERIFY(form->Ended());
    const QMap<QString, QByteArray> tree = File_tree(folder->Path());
    for (auto file = tree.begin(); file != tree.end(); ++file)
        QVERIFY2(file.value() == "<dir>" || file.key() == QLatin1String(lock::Key_file_name) ||
                     lock::Is_sealed(file.value()),
                 qPrintable(file.key()));
    QCOMPARE(Opened(QStringLiteral("2026/1207.txt"), key), Day_file_bytes);
}

// A question open when the idle time runs out is covered where it is, not
// answered or closed: after the password it is there, still waiting, and
// answers as the user says.
void Test_lock_window::idle_lock_covers_a_question_unanswered()
{
    QString recovery;
    const lock::Diary_key key = Make_locked_folder(recovery);
    Register_diary_key(folder->Path(), key);
    auto form = Start();
    auto* control = form->findChild<Lock_control*>();
    QVERIFY(control);

    QMessageBox question(QMessageBox::Question, QStringLiteral("ソラネ"),
                         QStringLiteral("書いた日記を保存しますか？"),
                         QMessageBox::Yes | QMessageBox::No, form.get());
    int finished = 0;
    connect(&question, &QDialog::finished, [&] { ++finished; });
    bool asked = false;
    fake->Expect_modal([&](QDialog& dialog) {
        return Played(dialog, [&] {
            asked = true;
            QVERIFY(question.isVisible());
            auto* sheet = question.findChild<QWidget*>(QStringLiteral("Lock_cover"));
            QVERIFY(sheet && sheet->isVisible());
            QCOMPARE(sheet->geometry(), question.rect());
            QCOMPARE(finished, 0);
            Type_and_ok(static_cast<Password_window&>(dialog).Password_field, Password,
                        static_cast<Password_window&>(dialog).Ok);
            QTRY_VERIFY(dialog.isHidden());
        });
    });
    QTimer::singleShot(0, control, [&] {
        control->Lock_now();
        QVERIFY(asked);
        QVERIFY(!control->Covered());
        QVERIFY(question.isVisible());
        QCOMPARE(finished, 0);
        QTRY_VERIFY(!question.findChild<QWidget*>(QStringLiteral("Lock_cover")));
        question.button(QMessageBox::Yes)->click();
    });
    QCOMPARE(question.exec(), int(QMessageBox::Yes));
    QCOMPARE(finished, 1);
    QVERIFY(asked);
    QVERIFY(Key_registered());
    End(*form);
}

// 設定 → パスワードを変える…: a wrong password now changes nothing; the
// right one puts the new password in the key file, and nothing else in the
// folder changes.
void Test_lock_window::password_changed_from_the_settings_menu()
{
    QString recovery;
    const lock::Diary_key key = Make_locked_folder(recovery);
    Register_diary_key(folder->Path(), key);
    auto form = Start();
    auto* control = form->findChild<Lock_control*>();
    QVERIFY(control && control->Menu_change_password->isEnabled());
    const QString key_file = lock::Key_file_path(folder->Path());
    const QByteArray key_file_before = Read_bytes(key_file);
    QMap<QString, QByteArray> days_before = File_tree(folder->Path());
    days_before.remove(QLatin1String(lock::Key_file_name));

    fake->Expect_modal([&](QDialog& dialog) {
        return Played(dialog, [&] {
            auto& window = static_cast<Recovery_window&>(dialog);
            QCOMPARE(window.objectName(), QStringLiteral("Change_password_window"));
            QCOMPARE(window.Recovery_field->echoMode(), QLineEdit::Password);
            QTest::keyClicks(window.Recovery_field, QStringLiteral("not-the-password"));
            Type_new_password_and_ok(window);
            QTRY_COMPARE(window.Status->text(), Wrong_password_text());
            QVERIFY(dialog.isVisible());
            QCOMPARE(Read_bytes(key_file), key_file_before);
            QTest::keyClicks(window.Recovery_field, QString::fromUtf8(Password));
            Type_new_password_and_ok(window);
            QTRY_VERIFY(dialog.isHidden());
        });
    });
    fake->Expect_box(QStringLiteral("パスワードを変えました。\n"
                                    "次からは新しいパスワードで日記を開いてください。"),
                     App_title, Platform::Icon::Information, Platform::Buttons::Ok,
                     Platform::Answer::Ok);
    control->Menu_change_password->trigger();

    lock::Key_file file;
    QVERIFY(lock::Read_key_file(folder->Path(), file).Ok());
    lock::Diary_key opened;
    QCOMPARE(lock::Open_with_password(file, Password, opened), lock::Open_result::Wrong_password);
    QCOMPARE(lock::Open_with_password(file, New_password, opened), lock::Open_result::Opened);
    QCOMPARE(opened.Id(), key.Id());
    QCOMPARE(lock::Open_with_recovery_key(file, recovery, opened), lock::Open_result::Opened);
    QMap<QString, QByteArray> days_after = File_tree(folder->Path());
    days_after.remove(QLatin1String(lock::Key_file_name));
    QCOMPARE(days_after, days_before);
    End(*form);
}

void Test_lock_window::keyring_keeps_finds_and_forgets()
{
    if (!keyring_missing.isEmpty())
        QSKIP(qPrintable(keyring_missing));
    QString recovery;
    Make_locked_folder(recovery);
    Desktop_keyring keyring;
    QVERIFY(keyring.Available());
    QVERIFY(keyring.Look_up(folder->Path()).isEmpty());

    // Ticked: kept after the right password.
    fake->Expect_modal([](QDialog& dialog) {
        return Played(dialog, [&] {
            auto& window = static_cast<Password_window&>(dialog);
            QVERIFY(window.Remember_tick->isEnabled());
            QVERIFY(!window.Remember_tick->isChecked());
            QTest::mouseClick(window.Remember_tick, Qt::LeftButton);
            Type_and_ok(window.Password_field, Password, window.Ok);
            QTRY_VERIFY(dialog.isHidden());
        });
    });
    QVERIFY(Open_locked_diary(*fake, folder->Path(), keyring));
    QCOMPARE(keyring.Look_up(folder->Path()), Password);

    // The next start asks nothing (an unscripted window would fail).
    lock::Forget_keys();
    QVERIFY(Open_locked_diary(*fake, folder->Path(), keyring));
    QVERIFY(Key_registered());

    // The tick cleared takes it out of the keyring.
    lock::Forget_keys();
    fake->Expect_modal([](QDialog& dialog) {
        return Played(dialog, [&] {
            auto& window = static_cast<Password_window&>(dialog);
            QVERIFY(window.Remember_tick->isChecked());
            QTest::mouseClick(window.Remember_tick, Qt::LeftButton);
            Type_and_ok(window.Password_field, Password, window.Ok);
            QTRY_VERIFY(dialog.isHidden());
        });
    });
    QVERIFY(
        Ask_for_key(*fake, nullptr, Password_window::Purpose::Idle, folder->Path(), keyring, true));
    QVERIFY(keyring.Look_up(folder->Path()).isEmpty());
    fake->Expect_modal([](QDialog& dialog) { return Played(dialog, [&] { dialog.reject(); }); });
    QVERIFY(!Open_locked_diary(*fake, folder->Path(), keyring));
}

QTEST_MAIN(Test_lock_window)
#include "test_lock_window.moc"

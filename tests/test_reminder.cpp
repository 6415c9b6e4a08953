// The reminder to write: "sorane --remind" run for real against its own
// D-Bus session bus (a dbus-daemon started here) where this test owns the
// notification service and counts the Notify calls; and the schedule's
// files, both layouts, as whole bytes with their modes, and their removal.

#include "diary/lock_conversion.h"
#include "diary/reminder.h"
#include "store/lock.h"
#include "store/safe_replace.h"
#include "store/store.h"
#include "support/temp_folder.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QtTest>

// The notification service as a desktop runs it: each Notify gets an id,
// and the notification is closed a moment later, as when it times out.
class Notification_listener : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList summaries;
    QStringList bodies;
    QList<QStringList> actions;
    bool click = false;  // the user clicks the notification, or it times out

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& action_list, const QVariantMap&, int)
    {
        summaries << summary;
        bodies << body;
        actions << action_list;
        const uint id = uint(summaries.size());
        QTimer::singleShot(100, this, [this, id] {
            if (click)
                emit ActionInvoked(id, QStringLiteral("default"));
            emit NotificationClosed(id, click ? 2 : 1);
        });
        return id;
    }

signals:
    void NotificationClosed(uint id, uint reason);
    void ActionInvoked(uint id, const QString& action_key);
};

class Test_reminder : public QObject {
    Q_OBJECT

private:
    QProcess bus_daemon;
    QString address;
    Notification_listener listener;

    int Run(const QStringList& arguments, QByteArray* err = nullptr,
            const QString& runtime = QString())
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (!runtime.isEmpty())
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(SORANE_EXE), arguments);
        // The event loop runs meanwhile: the listener answers on the bus.
        [&] { QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 30000); }();
        if (err)
            *err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private slots:
    void initTestCase()
    {
        bus_daemon.start(QStringLiteral("dbus-daemon"),
                         {"--session", "--nofork", "--print-address"});
        QVERIFY2(bus_daemon.waitForStarted(), "dbus-daemon is missing (scripts/install-deps)");
        QTRY_VERIFY(bus_daemon.canReadLine());
        address = QString::fromUtf8(bus_daemon.readLine()).trimmed();
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("listener"));
        QVERIFY(bus.isConnected());
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &listener,
                                   QDBusConnection::ExportAllSlots |
                                       QDBusConnection::ExportAllSignals));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("listener"));
        bus_daemon.kill();
        bus_daemon.waitForFinished();
    }

    void one_notification_for_an_empty_day_none_for_a_written_one()
    {
        Temp_folder folder;
        const QString diary = folder.Path();
        QCOMPARE(Run({"--remind", "--diary", diary}), 0);
        QCOMPARE(listener.summaries, QStringList{"今日の日記がまだです"});
        QCOMPARE(
            listener.bodies,
            QStringList{QStringLiteral("%1 の日記は、まだ何も書かれていません。")
                            .arg(QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")))});
        QCOMPARE(listener.actions.constFirst(), (QStringList{"default", "日記を開く"}));
        // Looking created nothing in the diary.
        QCOMPARE(Entries(diary), QStringList());

        QCOMPARE(Run({"--add", "書いた", "--diary", diary}), 0);
        QCOMPARE(Run({"--remind", "--diary", diary}), 0);
        QCOMPARE(listener.summaries.size(), 1);
    }

    void a_click_opens_the_diary()
    {
        Temp_folder folder;
        Temp_folder runtime;
        listener.click = true;
        QCOMPARE(Run({"--remind", "--diary", folder.Path()}, nullptr, runtime.Path()), 0);
        listener.click = false;
        QCOMPARE(listener.summaries.size(), 2);
        // The window's program holds the folder's lock (its pid inside)
        // and has started on today.
        const QString year = QString::number(QDate::currentDate().year());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder.File(year + "/keyword.txt")), 20000);
        QString lock;
        QTRY_VERIFY((lock =
                         [&] {
                             const QStringList locks =
                                 QDir(runtime.Path()).entryList({"*.lock"}, QDir::Files);
                             return locks.isEmpty() ? QString() : runtime.File(locks.constFirst());
                         }())
                        .size() > 0);
        QByteArray pid_line;
        QTRY_VERIFY((pid_line = Read_bytes(lock).split('\n').constFirst()).toInt() > 0);
        const qint64 pid = pid_line.toLongLong();
        QCOMPARE(QProcess::execute("kill", {QString::number(pid)}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)), 20000);
    }

    // The schedule has no password: a locked diary is reminded unless
    // today's day file is there, and the command ends with 0 either way,
    // writing nothing.
    void a_locked_diary_is_reminded_without_its_password()
    {
        Temp_folder folder;
        Temp_folder backups;
        const QString diary = folder.File("diary");
        QVERIFY(QDir().mkpath(diary));
        QString recovery;
        QVERIFY(lock::Lock_folder(diary, "そらの鍵 2026", recovery, {}, backups.Path(),
                                  lock::Fastest_limits())
                    .Ok());
        const qsizetype before = listener.summaries.size();
        QByteArray err;
        QCOMPARE(Run({"--remind", "--diary", diary}, &err), 0);
        QCOMPARE(QString::fromUtf8(err), QString());
        QCOMPARE(listener.summaries.size(), before + 1);

        // Today written (sealed, with the key this process holds).
        const QDate today = QDate::currentDate();
        Diary_store store(diary);
        QVERIFY(Make_folder(store.Year_folder(today.year())).Ok());
        const QString day = store.Day_file_path(today.year(), today.month(), today.day());
        QVERIFY(store.Write_text_file(day, "書いた").Ok());
        QVERIFY(lock::Is_sealed(Read_bytes(day)));
        lock::Forget_key(diary);
        const QMap<QString, QByteArray> tree = File_tree(diary);
        QCOMPARE(Run({"--remind", "--diary", diary}, &err), 0);
        QCOMPARE(QString::fromUtf8(err), QString());
        QCOMPARE(listener.summaries.size(), before + 1);
        QCOMPARE(File_tree(diary), tree);
    }

    void refusals()
    {
        Temp_folder folder;
        QByteArray err;
        QCOMPARE(Run({"--remind", "--at", "24:00", "--diary", folder.Path()}, &err), 2);
        QCOMPARE(QString::fromUtf8(err),
                 "時刻は 00:00 から 23:59 までの HH:MM で指定してください: 24:00\n");
        QCOMPARE(Run({"--remind", "--when", "--diary", folder.Path()}, &err), 2);
        QVERIFY(QString::fromUtf8(err).startsWith("不明なオプションです: --when\n"));
        QCOMPARE(listener.summaries.size(), 3);
    }

    void the_autostart_entry_waits_for_the_time()
    {
        const QDateTime morning(QDate(2026, 12, 7), QTime(8, 0));
        QCOMPARE(Reminder_wait_ms(morning, QTime(21, 0), false), 13 * 3600 * 1000LL);
        QCOMPARE(Reminder_wait_ms(morning.addSecs(14 * 3600), QTime(21, 0), false), 0LL);
        QCOMPARE(Reminder_wait_ms(morning.addSecs(14 * 3600), QTime(21, 0), true),
                 23 * 3600 * 1000LL);
    }

    void both_layouts_installed_and_removed()
    {
        Temp_folder home;
        const QString config = home.Path() + "config";
        QStringList calls;
        bool enable_works = true;
        Reminder_places places{config, "/opt/ソラネ/sorane", "/home/u/日記 100%\"", {}};
        const auto systemctl = [&](const QStringList& arguments) {
            calls << arguments.join(' ');
            return enable_works || arguments.constFirst() != "enable";
        };

        // No systemd: the autostart entry, which waits for the time itself.
        QVERIFY(Install_reminder(places, QTime(21, 5)).Ok());
        const QString autostart = config + "/autostart/sorane-reminder.desktop";
        QCOMPARE(Read_bytes(autostart),
                 QStringLiteral("[Desktop Entry]\nType=Application\n"
                                "Name=ソラネ 書き忘れのお知らせ\n"
                                "Comment=決めた時刻に、今日の日記がまだなら知らせます\n"
                                "Exec=\"/opt/ソラネ/sorane\" --remind --at 21:05 --diary "
                                "\"/home/u/日記 100%%\\\\\"\"\n"
                                "NoDisplay=true\nX-GNOME-Autostart-enabled=true\n")
                     .toUtf8());
        QCOMPARE(Mode_of(autostart), 0600);
        QCOMPARE(Mode_of(config), 0700);
        QCOMPARE(Mode_of(config + "/autostart"), 0700);

        // With systemd: a timer and its service, and the entry goes.
        places.systemctl = systemctl;
        QVERIFY(Install_reminder(places, QTime(7, 30)).Ok());
        const QString timer = config + "/systemd/user/sorane-reminder.timer";
        const QString service = config + "/systemd/user/sorane-reminder.service";
        QCOMPARE(Read_bytes(timer),
                 QStringLiteral("[Unit]\nDescription=ソラネ 書き忘れのお知らせ\n\n[Timer]\n"
                                "OnCalendar=*-*-* 07:30:00\nUnit=sorane-reminder.service\n\n"
                                "[Install]\nWantedBy=timers.target\n")
                     .toUtf8());
        QCOMPARE(Read_bytes(service),
                 QStringLiteral("[Unit]\nDescription=ソラネ 書き忘れのお知らせ\n\n[Service]\n"
                                "Type=oneshot\nExecStart=\"/opt/ソラネ/sorane\" --remind --diary "
                                "\"/home/u/日記 100%%\\\"\"\n")
                     .toUtf8());
        QCOMPARE(Mode_of(timer), 0600);
        QCOMPARE(Mode_of(service), 0600);
        QCOMPARE(Mode_of(config + "/systemd/user"), 0700);
        QVERIFY(!QFileInfo::exists(autostart));
        QCOMPARE(calls, (QStringList{"daemon-reload", "enable sorane-reminder.timer",
                                     "restart sorane-reminder.timer"}));

        calls.clear();
        QVERIFY(Remove_reminder(places).Ok());
        QCOMPARE(calls, (QStringList{"disable --now sorane-reminder.timer", "daemon-reload"}));
        QCOMPARE(Entries(config + "/systemd/user"), QStringList());

        // A timer that cannot be enabled: its files go, the entry takes over.
        enable_works = false;
        QVERIFY(Install_reminder(places, QTime(22, 0)).Ok());
        QCOMPARE(Entries(config + "/systemd/user"), QStringList());
        QVERIFY(Read_bytes(autostart).contains("--at 22:00"));
        places.systemctl = {};
        QVERIFY(Remove_reminder(places).Ok());
        QCOMPARE(Entries(config + "/autostart"), QStringList());

        // A folder name with a line break would end the command's line.
        places.diary = "/home/u/a\nb";
        QVERIFY(!Install_reminder(places, QTime(22, 0)).Ok());
        QCOMPARE(Entries(config + "/autostart"), QStringList());
    }
};

QTEST_GUILESS_MAIN(Test_reminder)
#include "test_reminder.moc"

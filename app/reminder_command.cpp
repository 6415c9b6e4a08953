#include "app/reminder_command.h"

#include "app/single_instance.h"
#include "diary/command_line.h"
#include "diary/reminder.h"
#include "platform/clock.h"
#include "ui/io_message.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <QTimer>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Object_path = QStringLiteral("/org/freedesktop/Notifications");
// How long the command waits for the notification to be clicked: a
// notification left alone longer is gone from the screen on every desktop.
constexpr int Longest_wait_ms = 60 * 60 * 1000;

// Waits for the end of one notification: its action opens the diary.
class Notification_wait : public QObject {
    Q_OBJECT

public:
    Notification_wait(uint id_, QString diary_) : id(id_), diary(std::move(diary_)) {}
    void Run()
    {
        QTimer::singleShot(Longest_wait_ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

public slots:
    void Action_invoked(uint which, const QString& action)
    {
        if (which != id)
            return;
        if (action == QLatin1String("default"))
            Open_diary();
        loop.quit();
    }
    void Closed(uint which, uint)
    {
        if (which == id)
            loop.quit();
    }

private:
    // A window open on the folder is asked to come forward (no second
    // start, which would tell the user it is open already); otherwise the
    // program starts, on today.
    void Open_diary()
    {
        {
            Single_instance instance(diary, Default_lock_folder());
            if (instance.Take_folder() == Single_instance::Start::Already_open)
                return;
        }
        QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                {QStringLiteral("--diary"), diary});
    }

    uint id;
    QString diary;
    QEventLoop loop;
};

// Today's check: true when it went as it should (notified or not needed).
bool Remind_once(const QString& diary, Clock& clock, QTextStream& err)
{
    const QDate today = clock.Now().date();
    const Today_read read = Read_day_written(diary, today);
    if (!read.failure.Ok()) {
        err << Io_message(QStringLiteral("今日の日記を読み込めませんでした。"), read.failure)
            << Qt::endl;
        return false;
    }
    if (read.written)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        err << QStringLiteral("デスクトップの通知を出せませんでした（セッションの D-Bus に"
                              "つながりません）。")
            << Qt::endl;
        return false;
    }
    QDBusInterface notifications(Service, Object_path, Service, bus);
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("org.sorane.Diary")},
                            {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}};
    const QDBusReply<uint> reply = notifications.call(
        QStringLiteral("Notify"), QStringLiteral("ソラネ"), uint(0), QStringLiteral("sorane"),
        QStringLiteral("今日の日記がまだです"),
        QStringLiteral("%1 の日記は、まだ何も書かれていません。")
            .arg(today.toString(QStringLiteral("yyyy/MM/dd"))),
        QStringList{QStringLiteral("default"), QStringLiteral("日記を開く")}, hints, int(-1));
    if (!reply.isValid()) {
        err << QStringLiteral("デスクトップの通知を出せませんでした。"
                              "通知を表示するサービスが動いていないようです。\n詳細: %1")
                   .arg(reply.error().message())
            << Qt::endl;
        return false;
    }
    Notification_wait wait(reply.value(), diary);
    bus.connect(Service, Object_path, Service, QStringLiteral("ActionInvoked"), &wait,
                SLOT(Action_invoked(uint, QString)));
    bus.connect(Service, Object_path, Service, QStringLiteral("NotificationClosed"), &wait,
                SLOT(Closed(uint, uint)));
    wait.Run();
    return true;
}

}  // namespace

int Run_remind_command(const QStringList& arguments, const QString& program_folder, Clock& clock,
                       QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    const QCommandLineOption remind_option(
        QStringLiteral("remind"),
        QStringLiteral("今日の日記がまだなら、デスクトップに知らせます。"));
    const QCommandLineOption at_option(
        QStringLiteral("at"), QStringLiteral("その時刻まで待ってから、毎日その時刻に知らせます。"),
        QStringLiteral("HH:MM"));
    const Command_help help{
        QStringLiteral("sorane --remind [--at HH:MM] [--diary DIR]"),
        QStringLiteral("今日の日記に何も書かれていなければ、デスクトップに通知を出します。"
                       "通知をクリックすると日記が開きます。\n"
                       "終了コード: 0 知らせた・書かれていた、2 エラー。")};
    if (const std::optional<int> ended =
            Parse_command(parser, {remind_option, at_option, Diary_option(), Help_option()}, help,
                          arguments, out, err))
        return *ended;
    if (Refuse_extra_arguments(parser, 0, err))
        return 2;
    std::optional<QTime> at;
    if (parser.isSet(at_option)) {
        at = Reminder_time_of(parser.value(at_option));
        if (!at) {
            err << QStringLiteral("時刻は 00:00 から 23:59 までの HH:MM で指定してください: %1")
                       .arg(parser.value(at_option))
                << Qt::endl;
            return 2;
        }
    }
    // The schedule runs this without the password: a locked diary is then
    // looked at from outside (whether today's file is there). With
    // --password-stdin the day is read.
    std::optional<QString> diary;
    if (parser.isSet(QStringLiteral("password-stdin"))) {
        diary = Diary_folder_of(parser, program_folder, err);
    } else {
        diary = parser.isSet(QStringLiteral("diary")) ? parser.value(QStringLiteral("diary"))
                                                      : program_folder;
        if (!QFileInfo(*diary).isDir()) {
            err << QStringLiteral("日記のフォルダーがありません: %1").arg(*diary) << Qt::endl;
            return 2;
        }
    }
    if (!diary)
        return 2;
    const QString folder = QDir(*diary).absolutePath();
    if (!at)
        return Remind_once(folder, clock, err) ? 0 : 2;
    // The autostart entry's way: every day at the time, for the whole
    // desktop session. A failure is told and the next day tried again.
    QDate checked;
    for (;;) {
        const QDateTime now = clock.Now();
        const qint64 wait = Reminder_wait_ms(now, *at, checked == now.date());
        if (wait > 0) {
            QEventLoop loop;
            // Wakes at least hourly: a suspended machine's timer does not
            // count the time asleep.
            QTimer::singleShot(int(std::min<qint64>(wait, 60 * 60 * 1000)), &loop,
                               &QEventLoop::quit);
            loop.exec();
            continue;
        }
        checked = now.date();
        Remind_once(folder, clock, err);
    }
}

#include "reminder_command.moc"

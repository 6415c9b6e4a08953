// The diary program: one main window on the diary folder.

#include "app/backup_control.h"
#include "app/end_signals.h"
#include "app/main_form.h"
#include "app/recovery_control.h"
#include "app/reminder_command.h"
#include "app/single_instance.h"
#include "app/terminal_add.h"
#include "diary/add_command.h"
#include "diary/export_command.h"
#include "diary/folder_lock.h"
#include "diary/lock_command.h"
#include "diary/program_folder.h"
#include "diary/program_help.h"
#include "diary/show_command.h"
#include "diary/stats_command.h"
#include "fulltext/fulltext.h"
#include "fulltext/search_command.h"
#include "platform/app_title.h"
#include "platform/clock_real.h"
#include "platform/platform_real.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QSessionManager>
#include <QTextStream>
#include <cstdio>

namespace {

// Qt's own note that it chose a runtime folder itself (no XDG_RUNTIME_DIR,
// as under "su -") is no news to a user, of a command or of the window,
// and nothing they can act on: the lock's folder is this program's
// business, and a lock that cannot be made is told in the program's own
// words. Every other message passes to Qt's own handler.
QtMessageHandler qt_handler = nullptr;
void Quiet_standard_paths(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths:")))
        return;
    if (qt_handler)
        qt_handler(type, context, text);
}

// The commands without a window: no display needed. The search, the export
// and the display of a day only read the diary and run beside the open
// window; the addition hands its text to the window that holds the folder,
// or holds the folder itself while it writes.
int Run_command(int argc, char* argv[], Program_command command)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Every argument is taken as the bytes it is, as the window takes the
    // diary folder: a name that does not come back byte for byte from its
    // text (bytes that are not UTF-8) would name another folder, a sibling
    // whose name holds the replacement character, so it is refused.
    QStringList arguments{QFile::decodeName(QByteArray(argv[0]))};
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        const QString text = QFile::decodeName(bytes);
        if (QFile::encodeName(text) != bytes) {
            err << QStringLiteral("引数の文字を読み取れないため、実行できません: %1\n"
                                  "フォルダーの名前に UTF-8 でない文字があるときは、"
                                  "名前を付け直してから、もう一度実行してください。")
                       .arg(text)
                << Qt::endl;
            return 2;
        }
        arguments << text;
    }
    // The diary folder is only named here, never made: a search and an
    // export read it.
    const QByteArray diary = Choose_diary_folder(Diary_folder_inputs_of(argc, argv)).bytes;
    const QString folder = QFile::decodeName(diary);
    if (QFile::encodeName(folder) != diary) {
        err << QStringLiteral("日記のフォルダーの名前を読み取れないため、実行できません: %1")
                   .arg(folder)
            << Qt::endl;
        return 2;
    }
    Real_clock clock;
    switch (command) {
    case Program_command::Export: return Run_export_command(arguments, folder, out, err);
    case Program_command::Show:
        return Run_show_command(arguments, folder, clock, Io_reason, out, err);
    case Program_command::Add: {
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly))
            return 2;
        const Add_command_links links{Default_lock_folder(), clock, input, Hand_over_to_window,
                                      Io_reason};
        return Run_add_command(arguments, folder, links, out, err);
    }
    case Program_command::Remind: return Run_remind_command(arguments, folder, clock, out, err);
    case Program_command::Stats: return Run_stats_command(arguments, folder, Io_reason, out, err);
    case Program_command::Lock:
    case Program_command::Unlock:
        return Run_lock_command(arguments, folder, Default_lock_folder(),
                                command == Program_command::Lock, out, err);
    case Program_command::Search:
    case Program_command::Window: break;
    }
    return Run_search_command(arguments, folder, Default_fulltext_cache_folder(), out, err);
}

// The window's start: --help and --version, and the options it does not
// take, before any display is needed.
std::optional<int> Check_window_start(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(QByteArray(argv[i]));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return Check_window_arguments(arguments, out, err);
}

}  // namespace

int main(int argc, char* argv[])
{
    qt_handler = qInstallMessageHandler(Quiet_standard_paths);
    if (const Program_command command = Command_of(argc, argv); command != Program_command::Window)
        return Run_command(argc, argv, command);
    if (const std::optional<int> ended = Check_window_start(argc, argv))
        return *ended;
    QApplication app(argc, argv);
    Install_japanese_qt_texts(app);
    Real_platform platform;
    // The diary folder is taken as bytes: a folder whose name cannot be named
    // back exactly would send every file somewhere else (the root folder, at
    // worst), so the program refuses to start before anything is written.
    const QByteArray diary = Choose_diary_folder(Diary_folder_inputs_of(argc, argv)).bytes;
    Io_result failure;
    const Program_folder folder = Open_diary_folder(diary, failure);
    if (!folder.nameable) {
        const QString message =
            diary.isEmpty() ? QStringLiteral("日記のフォルダーが決まらないため、起動できません。\n"
                                             "--diary のあとに日記のフォルダーを指定してください。")
            : !failure.Ok()
                ? Io_message(QStringLiteral("日記のフォルダーを用意できないため、起動できません。"),
                             failure)
                : QStringLiteral("日記のフォルダーの名前を読み取れないため、起動できません。\n"
                                 "フォルダー: %1\n"
                                 "フォルダーの名前を半角英数字などに付け直してから、"
                                 "もう一度起動してください。")
                      .arg(QString::fromLocal8Bit(folder.bytes));
        platform.Message_box(message, App_title, Platform::Icon::Critical, Platform::Buttons::Ok);
        return 1;
    }
    // One program per folder on this machine: a second start brings the
    // first one's window forward, says so, and ends before start-up writes
    // anything. The first holds the folder until the form has ended and its
    // last save is done (the form is destroyed before the instance).
    Single_instance instance(folder.path, Default_lock_folder());
    if (!Open_as_only_program(instance, platform, QFile::decodeName(folder.bytes)))
        return 0;
    Real_clock clock;
    Main_form form(platform, clock, folder.path);
    QObject::connect(&instance, &Single_instance::Come_forward_requested, &form,
                     [&form] { Bring_to_front(form); });
    instance.Set_add_handler([window = QPointer<Main_form>(&form)](const Add_request& request) {
        if (!window)
            return Add_reply{Add_reply::Kind::Failed,
                             QStringLiteral("日記の画面が終了したため、追加しませんでした。")};
        return window->Add_from_terminal(request);
    });
    if (!form.Form_Load())
        return 0;

    // Every way of ending goes through the form, which saves first.
    QObject::connect(&form, &Main_form::Program_ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    End_signals end_signals;
    QObject::connect(&end_signals, &End_signals::Received, &form, &Main_form::End_without_user);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.Save_for_session(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, &Main_form::End_without_user);
    // What is typed and not saved yet is kept in a record outside the diary
    // folder; the desktop session's save request puts it on disk at once.
    Recovery_control recovery(form);
    for (auto request : {&QGuiApplication::commitDataRequest, &QGuiApplication::saveStateRequest})
        QObject::connect(&app, request, &recovery, [&recovery](QSessionManager&) {
            recovery.Record_now();
            recovery.Wait();
        });

    form.Show_window();
    recovery.Offer_earlier();
    form.Backup()->Start_of_day();
    return app.exec();
}

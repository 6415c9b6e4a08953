// The window's module: the diary's main window and the commands that talk to
// a window, loaded by the program when one of them is asked for (see
// app/window_module.h).

#include "app/backup_control.h"
#include "app/end_signals.h"
#include "app/keyring.h"
#include "app/lock_start.h"
#include "app/main_form.h"
#include "app/recovery_control.h"
#include "app/reminder_command.h"
#include "app/single_instance.h"
#include "app/terminal_add.h"
#include "app/window_module.h"
#include "diary/add_command.h"
#include "diary/folder_lock.h"
#include "diary/program_folder.h"
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

namespace {

int Run_window(int& argc, char** argv)
{
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
    // A locked diary opens with its password before anything of it is read.
    Desktop_keyring keyring;
    if (!Open_locked_diary(platform, folder.path, keyring))
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

// --add hands its text to the window that holds the folder, or holds the
// folder itself while it writes; --remind shows the message as a notice.
int Run_window_command(Program_command command, const QStringList& arguments, const QString& folder,
                       QTextStream& out, QTextStream& err)
{
    Real_clock clock;
    if (command == Program_command::Remind)
        return Run_remind_command(arguments, folder, clock, out, err);
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return 2;
    const Add_command_links links{Default_lock_folder(), clock, input, Hand_over_to_window,
                                  Io_reason};
    return Run_add_command(arguments, folder, links, out, err);
}

const Window_calls calls{Window_calls_version, Run_window, Run_window_command};

}  // namespace

extern "C" __attribute__((visibility("default"))) const Window_calls* sorane_window_calls()
{
    return &calls;
}

// The diary program: one main window on the diary folder.

#include "app/backup_control.h"
#include "app/end_signals.h"
#include "app/main_form.h"
#include "app/recovery_control.h"
#include "app/single_instance.h"
#include "diary/export_command.h"
#include "diary/program_folder.h"
#include "fulltext/fulltext.h"
#include "fulltext/search_command.h"
#include "platform/app_title.h"
#include "platform/clock_real.h"
#include "platform/platform_real.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QApplication>
#include <QFile>
#include <QSessionManager>
#include <QTextStream>
#include <cstdio>

namespace {

// The search and the export from the command line: no window, no display
// needed, and no folder lock (they only read the diary, so they run beside
// the open diary).
int Run_command(int argc, char* argv[], bool search)
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
    if (!search)
        return Run_export_command(arguments, folder, out, err);
    return Run_search_command(arguments, folder, Default_fulltext_cache_folder(), out, err);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (Is_search_command(argc, argv))
        return Run_command(argc, argv, true);
    if (Is_export_command(argc, argv))
        return Run_command(argc, argv, false);
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

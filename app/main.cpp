// The diary program: one main window on the diary folder, and the commands
// that read or change the diary without one. The window and the commands
// that talk to a window are in the window's module (app/window_module.h),
// loaded only for them.

#include "app/window_module.h"
#include "diary/export_command.h"
#include "diary/folder_lock.h"
#include "diary/lock_command.h"
#include "diary/program_folder.h"
#include "diary/program_help.h"
#include "diary/show_command.h"
#include "diary/stats_command.h"
#include "fulltext/fulltext.h"
#include "fulltext/search_command.h"
#include "platform/clock_real.h"
#include "platform/module_load.h"
#include "ui/io_message.h"

#include <QCoreApplication>
#include <QFile>
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

// Runs run with the window's module, loaded now; for_window: the window's
// start, else a command. When the module cannot be loaded the program says
// so on stderr (no window can be shown without it) and ends with 1.
template <typename Run>
int Run_in_window_module(bool for_window, Run run)
{
    const QString path = Module_path(QStringLiteral("sorane-window.so"));
    QString reason;
    if (const Window_calls* window = Module_calls<Window_calls>(
            path, "sorane_window_calls", Window_calls_version, false, reason))
        return run(*window);
    const QString message = Module_failure_message(
        QStringLiteral("画面"), for_window ? QStringLiteral("起動") : QStringLiteral("実行"), path,
        reason);
    std::fputs(qPrintable(message + QLatin1Char('\n')), stderr);
    return 1;
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
    case Program_command::Add:
    case Program_command::Remind:
        return Run_in_window_module(false, [&](const Window_calls& window) {
            return window.run_command(command, arguments, folder, out, err);
        });
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
    return Run_in_window_module(
        true, [&](const Window_calls& window) { return window.run_window(argc, argv); });
}

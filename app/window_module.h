#pragma once
// The window, and the commands that talk to a window (--add, --remind),
// live in a module of their own (sorane-window.so, which links Qt Widgets
// and Qt D-Bus), loaded by the program only when one of them is asked for:
// the search, the export and the other commands run on Qt Core alone and
// map none of the window's libraries. Only Qt's types and Program_command
// cross between them, so a module of another build serves as long as its
// table is the same: the version, raised whenever the table changes,
// refuses one that is not.

#include "diary/program_help.h"

#include <QStringList>

class QTextStream;

struct Window_calls {
    int version;
    // The window's start, once --help, --version and the options are
    // checked: argc and argv as main got them. The exit code.
    int (*run_window)(int& argc, char** argv);
    // --add and --remind in the program's QCoreApplication: the arguments
    // as text, the diary folder named. The exit code.
    int (*run_command)(Program_command command, const QStringList& arguments, const QString& folder,
                       QTextStream& out, QTextStream& err);
};

inline constexpr int Window_calls_version = 1;

// The module's one exported symbol.
extern "C" const Window_calls* sorane_window_calls();

#pragma once
// The program's own command line: which command the arguments ask for, the
// help and the version, and the options of the window's start, all read
// before any window (or display) is needed.

#include <QString>
#include <QStringList>
#include <optional>

class QTextStream;

// Passed to the window's module (app/window_module.h): new commands go at
// the end, so that the values of the others stay.
enum class Program_command {
    Window,  // no command: the diary's window
    Search,
    Export,
    Add,
    Show,
    Remind,
    Stats,
    Lock,
    Unlock,
};

// The first of --search, --export, --add, --show, --remind, --stats, --lock
// and --unlock among the arguments
// (before a "--"); Window when there is none.
Program_command Command_of(int argc, const char* const* argv);

// Every option and command, a line each.
QString Program_help_text();
// "ソラネ（sorane）2.0".
QString Version_text();

// The arguments of the window's start (arguments as QCoreApplication gives
// them, the program's name first): "--help" and "--version" print and end
// with 0; an option neither this program nor Qt's start takes ("-platform",
// "-session", "-style" and the like are Qt's), or a word that is no option,
// ends with 2 and is named. Nothing when the window may start.
std::optional<int> Check_window_arguments(const QStringList& arguments, QTextStream& out,
                                          QTextStream& err);

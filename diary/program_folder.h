#pragma once
// The program folder: the folder the diary's files live in, found from the
// running executable itself, and the one way a name is joined to a folder.

#include "store/io_result.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct Program_folder {
    QByteArray bytes;  // the folder as the file system names it, no trailing "/"
    QString path;      // the folder with exactly one trailing "/"
    // False when the folder could not be found, or when its name holds bytes
    // that no file name of this program can reproduce (a Shift_JIS name
    // copied from Windows): every path built from it would name another file.
    bool nameable = false;
};

// The real folder of the executable at exe_path, links followed
// ("/proc/self/exe" gives the running program's).
Program_folder Program_folder_of(const QByteArray& exe_path);

// Where the diary lives, chosen in this order:
// 1. the folder named on the command line by "--diary DIR" or "--diary=DIR";
// 2. the folder named by the environment variable SORANE_HOME;
// 3. the program's own folder, as a per-user install keeps program and diary
//    together, when it is not a system folder (/usr, /bin, /sbin or a folder
//    below them) and it either holds a diary already (sorane.ini) or this
//    process may write into it;
// 4. otherwise "sorane" in the home folder, the folder of a program installed
//    for every user of the machine.
// A relative name is taken from the working folder.
struct Diary_folder_inputs {
    QList<QByteArray> arguments;  // the command line, after the program's name
    QByteArray sorane_home;       // SORANE_HOME, empty when unset
    QByteArray home;              // HOME
    QByteArray working_folder;
    Program_folder program;  // the executable's folder
};
enum class Diary_folder_source {
    Argument,
    Environment,
    Program,
    Home
};
struct Diary_folder_choice {
    QByteArray bytes;  // empty: "--diary" without a folder, or no home folder
    Diary_folder_source source = Diary_folder_source::Home;
};
Diary_folder_choice Choose_diary_folder(const Diary_folder_inputs& inputs);

// The inputs of this process: its arguments, environment and executable.
Diary_folder_inputs Diary_folder_inputs_of(int argc, const char* const* argv);

// The chosen folder, made when missing (with its parents; a folder made here
// is the user's alone, mode 0700), then named as Program_folder_of names the
// executable's. On failure, error says where and why and the result is not
// nameable; an empty name fails at once with error left Ok.
Program_folder Open_diary_folder(const QByteArray& bytes, Io_result& error);

// The name inside the folder, with one "/" between them whether or not the
// folder ends with one ("/" and "sorane.txt" give "/sorane.txt").
QString In_folder(const QString& folder, const QString& name);

// The folder with exactly one trailing "/" ("/" stays "/"; empty stays
// empty).
QString Folder_with_slash(const QString& folder);

#pragma once
// What the commands run without a window (the search, the export, the
// addition and the display of a day) share: the help, the diary folder
// option, the dates, and the reading of the arguments with every message in
// Japanese. Which command runs is decided in diary/program_help.h.

#include "diary/panel_date.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QTextStream;

// "--diary DIR", and "-h", "--help".
QCommandLineOption Diary_option();
QCommandLineOption Help_option();

// What a command's help says besides its options: the usage line, what the
// command does and its exit codes.
struct Command_help {
    QString usage;        // "sorane --search 言葉 [--diary DIR]"
    QString description;  // a few lines
};

// Parses the arguments against options (all of them added to parser here);
// an exit code when the command ends here (an error: 2, the help printed:
// 0), nothing when it goes on. "-h" or "--help" anywhere before "--" prints
// the help, also where an option's value would stand ("--search --help").
// The errors name the option in Japanese; Qt's own English messages are
// never printed.
std::optional<int> Parse_command(QCommandLineParser& parser,
                                 const QList<QCommandLineOption>& options, const Command_help& help,
                                 const QStringList& arguments, QTextStream& out, QTextStream& err);

// The first fault of the arguments against these options, in Japanese
// ("不明なオプションです: --x"); empty when there is none. A single dash
// takes a whole option name ("-platform") or a run of one-letter options.
QString Argument_fault(const QList<QCommandLineOption>& options, const QStringList& arguments);

// The options' lines of a help text: the names, the value, the description.
QString Option_lines(const QList<QCommandLineOption>& options);

// True after telling "余分な引数があります" when the command was given more
// than allowed arguments besides its options (those past allowed named).
bool Refuse_extra_arguments(const QCommandLineParser& parser, qsizetype allowed, QTextStream& err);

// The diary folder: --diary, or program_folder without it; nothing, with
// the error written, when it is no folder. A locked diary is opened with
// the password of --password-stdin (which every command given
// Diary_option() takes); without it, or with a wrong one, nothing.
std::optional<QString> Diary_folder_of(const QCommandLineParser& parser,
                                       const QString& program_folder, QTextStream& err);

// "2026/12/09" (or "2026-12-09"): four digits of year, two of month and two
// of day, a day the diary's date bars hold (1990-2100, days 1-31 of every
// month, as a diary from Windows may hold 30 February); nothing otherwise.
std::optional<Panel_date> Diary_date_argument(const QString& text);

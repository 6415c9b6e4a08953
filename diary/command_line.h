#pragma once
// What the commands run without a window (the search, the export) share:
// spotting their option before any window is made, the help and the
// diary folder option.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>

class QTextStream;

// True when "--name" or "--name=..." is among the arguments.
bool Has_command_option(int argc, const char* const* argv, const char* name);

// "--diary DIR", and "-h", "--help".
QCommandLineOption Diary_option();
QCommandLineOption Help_option();

// Parses the arguments; an exit code when the command ends here (an error:
// 2, the help printed: 0), nothing when it goes on.
std::optional<int> Parse_command(QCommandLineParser& parser, const QStringList& arguments,
                                 QTextStream& out, QTextStream& err);

// The diary folder: --diary, or program_folder without it; nothing, with
// the error written, when it is no folder.
std::optional<QString> Diary_folder_of(const QCommandLineParser& parser,
                                       const QString& program_folder, QTextStream& err);

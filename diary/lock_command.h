#pragma once
// The lock from the terminal:
//
//   sorane --lock [--diary DIR] --password-stdin
//   sorane --unlock [--diary DIR] --password-stdin
//
// --lock makes a backup, seals every file of the diary with a new key for
// the password (the first line of standard input) and prints the recovery
// key once. --unlock makes every file plain again. Both end with 0 when
// done, 2 on any error (a wrong password writes nothing).
//
// Every other command that reads the diary (--search, --export, --add,
// --show, --stats, --remind) takes --password-stdin too; on a locked diary
// without it they end with 2 and say how to give the password.

#include "store/lock.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>

class QTextStream;

QCommandLineOption Password_stdin_option();

// The password from standard input: its first line, without its line end,
// in locked memory. From a terminal it is asked for on err, not echoed.
// Empty when nothing was read.
lock::Secret Read_password_line(QTextStream& err);

// For a command that reads the diary in folder: nothing to do when it is
// not locked; otherwise the password (--password-stdin) opens its key, which
// is registered for the folder. false, with the message written, when the
// diary stays closed.
bool Open_locked_diary(const QCommandLineParser& parser, const QString& folder, QTextStream& err);

int Run_lock_command(const QStringList& arguments, const QString& program_folder,
                     const QString& lock_folder, bool locking, QTextStream& out, QTextStream& err);

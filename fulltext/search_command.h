#pragma once
// The full-text search from the command line, without a window:
//
//   sorane --search 'WORDS' [--from yyyy/mm/dd] [--to yyyy/mm/dd] [--memory]
//          [--diary DIR]
//
// prints one line per day found (between the dates, only 思い出 days with
// --memory), oldest first, "yyyy/mm/dd", a tab and the
// snippet, and ends with 0 when a day was found, 1 when none was, and 2 on
// an error, as grep does. It only reads the diary, so it runs beside the
// open diary window.

#include <QString>
#include <QStringList>

class QTextStream;

// arguments as QCoreApplication::arguments() gives them, the program's name
// first; program_folder is the diary when --diary is not given.
int Run_search_command(const QStringList& arguments, const QString& program_folder,
                       const QString& cache_folder, QTextStream& out, QTextStream& err);

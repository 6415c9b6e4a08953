#pragma once
// How much was written, in the terminal, without a window:
//
//   sorane --stats [--diary DIR]
//
// prints one line per year folder, oldest first, "yyyy<TAB>days written
// <TAB>characters", then "total<TAB>days<TAB>characters" (see
// diary/records.h for what is counted). It reads the diary and nothing
// else, writes nothing, and runs beside the open diary window. Ends with 0,
// or 2 with a message (a missing folder, a file that could not be read:
// the lines are printed without it).

#include "store/io_result.h"

#include <QString>
#include <QStringList>
#include <functional>

class QTextStream;

int Run_stats_command(const QStringList& arguments, const QString& program_folder,
                      const std::function<QString(const Io_result&)>& reason, QTextStream& out,
                      QTextStream& err);

#pragma once
// One day of the diary printed in the terminal, without a window:
//
//   sorane --show [yyyy/mm/dd] [--diary DIR]
//
// prints the date, the 思い出 mark, the memo, a blank line, then the day's
// exact text (characters code page 932 cannot hold as typed) in UTF-8 with
// a line break after each line, the last one too. Ends with 0 when the day
// holds something, 1 when it is empty, 2 on an error (a file that could not
// be read). It only reads, so it runs beside the open diary window.

#include "store/io_result.h"

#include <QString>
#include <QStringList>
#include <functional>

class Clock;
class QTextStream;

int Run_show_command(const QStringList& arguments, const QString& program_folder, Clock& clock,
                     const std::function<QString(const Io_result&)>& reason, QTextStream& out,
                     QTextStream& err);

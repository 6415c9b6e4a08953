#pragma once
// The export from the command line, without a window:
//
//   sorane --export FORMAT OUT_DIR [--from yyyy/mm/dd] [--to yyyy/mm/dd] [--diary DIR]
//          [--force]
//
// writes the files the export window writes (FORMAT: markdown, html, json
// or text) and ends with 0 when every day was written, 2 on an error (a
// day that could not be read is named, the rest is still written; a file
// the export did not make is left and named, unless --force). It only
// reads the diary, so it runs beside the open diary window.

#include <QString>
#include <QStringList>

class QTextStream;

// arguments as QCoreApplication::arguments() gives them, the program's name
// first; program_folder is the diary when --diary is not given.
int Run_export_command(const QStringList& arguments, const QString& program_folder,
                       QTextStream& out, QTextStream& err);

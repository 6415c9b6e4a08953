#pragma once
// The command the reminder's schedule runs, without a window:
//
//   sorane --remind [--at HH:MM] [--diary DIR]
//
// When today holds nothing yet, a desktop notification (the freedesktop
// notification service on the session's D-Bus) says so; its action opens
// the diary, on today (a window already open on the folder comes forward).
// The command waits for the notification to be clicked or closed, at most
// an hour, and ends with 0 whether today was written or not (a locked
// diary without --password-stdin: whether today's day file is there); 2 on an error
// (bad arguments, no folder, a day that could not be read, no notification
// service). With --at it first waits for that time, and then for the same
// time every day, as the autostart entry of a desktop without systemd runs
// it.

#include <QString>
#include <QStringList>

class Clock;
class QTextStream;

int Run_remind_command(const QStringList& arguments, const QString& program_folder, Clock& clock,
                       QTextStream& out, QTextStream& err);

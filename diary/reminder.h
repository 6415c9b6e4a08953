#pragma once
// The reminder to write: whether today holds anything yet, and the files
// that run "sorane --remind" at the chosen time while the program is
// closed. With a systemd user manager a timer and its service go into
// "<config>/systemd/user"; without one, an autostart entry in
// "<config>/autostart" starts "sorane --remind --at HH:MM" with the
// desktop session, which waits for the time. Turning the reminder off
// removes whichever of them is there.

#include "store/io_result.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <functional>
#include <optional>

// "21:00" (hours 0-23, minutes 0-59, two digits each); nothing otherwise.
std::optional<QTime> Reminder_time_of(const QString& text);

// How long "--remind --at" waits from now: until today's time while it is
// ahead; at once when it has passed and today was not checked yet (a
// desktop started after the time); until tomorrow's once today's check ran.
qint64 Reminder_wait_ms(const QDateTime& now, QTime at, bool checked_today);

struct Today_read {
    bool written = false;  // text, memo or the 思い出 mark
    Io_result failure;     // the day's files could not be read
};
// Reads the day in the diary folder; a year without a folder is unwritten.
Today_read Read_day_written(const QString& diary, const QDate& day);

// Where the files go and how the user's systemd is reached: the choice is
// the caller's, so that the layouts can be made without a running manager.
struct Reminder_places {
    QString config_home;  // $XDG_CONFIG_HOME, or ~/.config
    QString program;      // the absolute path of this program
    QString diary;        // the diary folder
    // Runs "systemctl --user ARGS"; true when it succeeded. Empty when the
    // user has no systemd manager: the autostart entry is used then.
    std::function<bool(const QStringList&)> systemctl;
};

inline constexpr char Reminder_unit_name[] = "sorane-reminder";

QString Reminder_timer_path(const QString& config_home);
QString Reminder_service_path(const QString& config_home);
QString Reminder_autostart_path(const QString& config_home);

// The files' contents.
QByteArray Reminder_timer_unit(QTime at);
QByteArray Reminder_service_unit(const QString& program, const QString& diary);
QByteArray Reminder_autostart_entry(const QString& program, const QString& diary, QTime at);

// Writes the files for the time (0600, their folders 0700) and removes
// those of the other way. With systemd the timer is enabled; when that
// fails its files go again and the autostart entry is written instead. The
// first failure of a file is returned.
Io_result Install_reminder(const Reminder_places& places, QTime at);
// Removes every file Install_reminder may have made (and disables the
// timer first when systemd is there).
Io_result Remove_reminder(const Reminder_places& places);

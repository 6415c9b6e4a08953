#include "diary/reminder.h"

#include "store/exact_text.h"
#include "store/lock.h"
#include "store/safe_replace.h"
#include "store/store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <unistd.h>

std::optional<QTime> Reminder_time_of(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([01][0-9]|2[0-3]):([0-5][0-9])$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return QTime(m.captured(1).toInt(), m.captured(2).toInt());
}

qint64 Reminder_wait_ms(const QDateTime& now, QTime at, bool checked_today)
{
    if (checked_today)
        return std::max<qint64>(0, now.msecsTo(QDateTime(now.date().addDays(1), at)));
    return std::max<qint64>(0, now.msecsTo(QDateTime(now.date(), at)));
}

Today_read Read_day_written(const QString& diary, const QDate& day)
{
    Today_read read;
    Diary_store store(diary);
    if (!Diary_store::Folder_exists(store.Year_folder(day.year())))
        return read;
    // A locked diary whose password was not given: the day cannot be read,
    // but its file is there or not for anyone who lists the folder. A day
    // file with text in it counts as written; a day with only a memo or the
    // 思い出 mark (kept in the sealed index) is reminded of.
    if (lock::Diary_key key; lock::Folder_is_locked(diary) && !lock::Key_for(diary, key)) {
        QFile file(store.Day_file_path(day.year(), day.month(), day.day()));
        if (QFileInfo(file).isFile() && file.open(QIODevice::ReadOnly)) {
            // Only the header is read: sealed, the text is shorter than the file.
            const qint64 size = file.size();
            const bool sealed = lock::Is_sealed(file.read(sizeof lock::Sealed_magic));
            read.written = sealed ? lock::Plain_size(size) > 0 : size > 0;
        }
        return read;
    }
    const Exact_day exact = Read_exact_day(store, day.year(), day.month(), day.day());
    read.failure = !exact.index_error.Ok() ? exact.index_error : exact.text_error;
    read.written = !exact.text.isEmpty() || !exact.memo.isEmpty() || exact.flag;
    return read;
}

QString Reminder_timer_path(const QString& config_home)
{
    return config_home + QStringLiteral("/systemd/user/") + QLatin1String(Reminder_unit_name) +
           QStringLiteral(".timer");
}

QString Reminder_service_path(const QString& config_home)
{
    return config_home + QStringLiteral("/systemd/user/") + QLatin1String(Reminder_unit_name) +
           QStringLiteral(".service");
}

QString Reminder_autostart_path(const QString& config_home)
{
    return config_home + QStringLiteral("/autostart/") + QLatin1String(Reminder_unit_name) +
           QStringLiteral(".desktop");
}

namespace {

// An argument of a systemd ExecStart= line: always in double quotes, with
// "\" and '"' escaped; "%" (a specifier) doubled and "$" (a variable)
// doubled.
QString Systemd_quoted(const QString& argument)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        if (c == QLatin1Char('%') || c == QLatin1Char('$'))
            out += c;
        out += c;
    }
    return out + QLatin1Char('"');
}

// An argument of a desktop entry's Exec= key: in double quotes with '"',
// "`", "$" and "\" escaped, "%" doubled; then the key's own escape of "\"
// doubles every backslash once more.
QString Desktop_quoted(const QString& argument)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += c;
        quoted += c;
    }
    quoted += QLatin1Char('"');
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return quoted;
}

// The command itself, a line break in a folder's name included, is never
// written: a line break would end the key.
bool One_line(const QString& text)
{
    return !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

}  // namespace

QByteArray Reminder_timer_unit(QTime at)
{
    return QStringLiteral("[Unit]\n"
                          "Description=ソラネ 書き忘れのお知らせ\n"
                          "\n"
                          "[Timer]\n"
                          "OnCalendar=*-*-* %1:00\n"
                          "Unit=%2.service\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n")
        .arg(at.toString(QStringLiteral("HH:mm")), QLatin1String(Reminder_unit_name))
        .toUtf8();
}

QByteArray Reminder_service_unit(const QString& program, const QString& diary)
{
    return QStringLiteral("[Unit]\n"
                          "Description=ソラネ 書き忘れのお知らせ\n"
                          "\n"
                          "[Service]\n"
                          "Type=oneshot\n"
                          "ExecStart=%1 --remind --diary %2\n")
        .arg(Systemd_quoted(program), Systemd_quoted(diary))
        .toUtf8();
}

QByteArray Reminder_autostart_entry(const QString& program, const QString& diary, QTime at)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=ソラネ 書き忘れのお知らせ\n"
                          "Comment=決めた時刻に、今日の日記がまだなら知らせます\n"
                          "Exec=%1 --remind --at %2 --diary %3\n"
                          "NoDisplay=true\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(Desktop_quoted(program), at.toString(QStringLiteral("HH:mm")), Desktop_quoted(diary))
        .toUtf8();
}

namespace {

Io_result Write_private(const QString& path, const QByteArray& bytes)
{
    const QString folder = QFileInfo(path).path();
    const Io_result made = Make_folders(folder);
    if (!made.Ok() && made.step != Io_step::Sync_folder)
        return made;
    return Replace_file(path, bytes);
}

Io_result Remove_if_there(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) == 0 || errno == ENOENT)
        return {};
    return Io_result::Failure(Io_step::Remove, errno, path);
}

Io_result Remove_units(const Reminder_places& places)
{
    for (const QString& path :
         {Reminder_timer_path(places.config_home), Reminder_service_path(places.config_home)}) {
        const Io_result removed = Remove_if_there(path);
        if (!removed.Ok())
            return removed;
    }
    return {};
}

}  // namespace

Io_result Install_reminder(const Reminder_places& places, QTime at)
{
    if (!One_line(places.program) || !One_line(places.diary))
        return Io_result::Failure(Io_step::Write, EINVAL, places.diary);
    const QString timer = QLatin1String(Reminder_unit_name) + QStringLiteral(".timer");
    if (places.systemctl) {
        Io_result written = Write_private(Reminder_service_path(places.config_home),
                                          Reminder_service_unit(places.program, places.diary));
        if (written.Ok())
            written =
                Write_private(Reminder_timer_path(places.config_home), Reminder_timer_unit(at));
        if (!written.Ok())
            return written;
        // A timer already enabled keeps its old time until the manager
        // reads the files again; "restart" starts it at the new one.
        if (places.systemctl({QStringLiteral("daemon-reload")}) &&
            places.systemctl({QStringLiteral("enable"), timer}) &&
            places.systemctl({QStringLiteral("restart"), timer}))
            return Remove_if_there(Reminder_autostart_path(places.config_home));
        places.systemctl({QStringLiteral("disable"), QStringLiteral("--now"), timer});
        const Io_result removed = Remove_units(places);
        if (!removed.Ok())
            return removed;
    }
    return Write_private(Reminder_autostart_path(places.config_home),
                         Reminder_autostart_entry(places.program, places.diary, at));
}

Io_result Remove_reminder(const Reminder_places& places)
{
    if (places.systemctl && QFileInfo::exists(Reminder_timer_path(places.config_home))) {
        places.systemctl({QStringLiteral("disable"), QStringLiteral("--now"),
                          QLatin1String(Reminder_unit_name) + QStringLiteral(".timer")});
    }
    Io_result removed = Remove_units(places);
    if (removed.Ok())
        removed = Remove_if_there(Reminder_autostart_path(places.config_home));
    if (removed.Ok() && places.systemctl)
        places.systemctl({QStringLiteral("daemon-reload")});
    return removed;
}

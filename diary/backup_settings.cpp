#include "diary/backup.h"
#include "diary/backup_internal.h"

#include "store/own_settings.h"

#include <QDir>

using backup_internal::With_slash;

QString Default_backup_folder() { return QDir::homePath() + QStringLiteral("/sorane-backup/"); }

QString Backup_settings_path(const QString& app_dir) { return Own_settings_path(app_dir); }

Backup_settings Read_backup_settings(const QString& app_dir)
{
    const Own_settings own = Read_own_settings(app_dir).values;
    Backup_settings settings;
    settings.folder =
        With_slash(own.backup_folder.isEmpty() ? Default_backup_folder() : own.backup_folder);
    settings.daily = own.backup_daily;
    return settings;
}

Io_result Write_backup_settings(const QString& app_dir, const Backup_settings& settings)
{
    return Change_own_settings(app_dir, [&settings](Own_settings& own) {
        own.backup_folder = settings.folder;
        own.backup_daily = settings.daily;
    });
}

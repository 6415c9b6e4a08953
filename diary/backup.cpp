#include "diary/backup.h"
#include "diary/backup_internal.h"

#include "store/diary_files.h"
#include "store/safe_replace.h"

#include <QCryptographicHash>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

using backup_internal::Keep_compression_buffers;
using backup_internal::Rotate;
using backup_internal::With_slash;

QString backup_internal::With_slash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString Diary_backup_folder(const QString& backup_folder, const QString& app_dir)
{
    // The diary's real path, so that every way to the same folder gives the
    // same backups, and two folders of the same name elsewhere do not.
    const QByteArray real = Real_folder_path(app_dir);
    QString name = QFile::decodeName(real.mid(real.lastIndexOf('/') + 1)).left(40);
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c == QLatin1Char('/') || c == QChar(0xFFFD))
            c = QLatin1Char('_');
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QLatin1String("diary"));
    const QByteArray hash = QCryptographicHash::hash(real, QCryptographicHash::Sha256);
    return With_slash(backup_folder) + name + QLatin1Char('-') +
           QString::fromLatin1(hash.toHex().left(8)) + QLatin1Char('/');
}

Backup_outcome Write_backup(const QString& app_dir, const QString& folder_path, QDate today,
                            const std::atomic<bool>& cancel,
                            const std::function<void(int percent)>& progress)
{
    Keep_compression_buffers();
    Backup_outcome outcome;
    auto failed = [&](const Io_result& r) {
        outcome.error = r;
        return outcome;
    };

    // The chosen folder (made when missing, but not its parents), and in it
    // this diary's own: another diary's rotation never reaches these.
    if (const Io_result r = Make_folder(folder_path); !r.Ok() && r.step != Io_step::Sync_folder)
        return failed(r);
    const QString folder = Diary_backup_folder(folder_path, app_dir);
    if (const Io_result r = Make_folder(folder); !r.Ok() && r.step != Io_step::Sync_folder)
        return failed(r);
    Io_result list_error;
    const QStringList files = Diary_files(app_dir, list_error);
    if (!list_error.Ok())
        return failed(list_error);

    // The next free name of today: after the last one made today.
    const Folder_listing made = List_folder(folder);
    if (!made.error.Ok())
        return failed(made.error);
    Backup_name name{today, 1};
    for (const Folder_entry& e : made.entries)
        if (const std::optional<Backup_name> n = Parse_backup_file_name(QFile::decodeName(e.name));
            n && n->date == today)
            name.sequence = std::max(name.sequence, n->sequence + 1);

    qint64 total = 0;
    const QString dir = With_slash(app_dir);
    for (const QString& relative : files) {
        struct stat st {};
        if (::lstat(QFile::encodeName(dir + relative).constData(), &st) == 0 && S_ISREG(st.st_mode))
            total += st.st_size;
    }
    int last_percent = -1;
    auto tell = [&](qint64 done) {
        const int percent = total > 0 ? int(std::min<qint64>(99, done * 100 / total)) : 0;
        if (percent != last_percent && progress)
            progress(percent);
        last_percent = percent;
    };
    tell(0);

    for (;;) {
        const QString path = folder + Backup_file_name(name);
        Temp_file temp;
        if (const Io_result r = temp.Open(folder, path); !r.Ok())
            return failed(Io_result::Folder_failure(r.step, r.error_number, folder));
        const Io_result written =
            backup_internal::Write_archive(dir, cancel, temp.Fd(), files, path, tell);
        if (cancel) {
            outcome.cancelled = true;
            return outcome;  // the temporary file goes with temp
        }
        if (!written.Ok())
            return failed(written);
        const Io_result placed = temp.Commit(path);
        if (placed.step == Io_step::Rename && placed.error_number == EEXIST &&
            name.sequence < 9999) {
            // Another copy of the program took the name meanwhile.
            ++name.sequence;
            continue;
        }
        if (!placed.Ok() && placed.step != Io_step::Sync_folder)
            return failed(placed);
        outcome.path = path;
        outcome.files = int(std::count_if(files.begin(), files.end(), [](const QString& f) {
            return !f.endsWith(QLatin1Char('/'));
        }));
        if (!placed.Ok())
            return failed(placed);
        break;
    }
    if (progress)
        progress(100);
    outcome.rotation_error = Rotate(folder, today);
    return outcome;
}

#include "diary/plain_backups.h"

#include "diary/backup.h"
#include "store/diary_files.h"
#include "store/lock.h"
#include "store/safe_replace.h"

#include <QFile>
#include <QFileInfo>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace {

// The archive names the key file among its entries. Only the entries'
// headers are read: the zip's central directory. Empty when no archive can
// be read at all (libarchive could not be loaded).
std::optional<bool> Holds_key_file(const QString& path)
{
    archive* a = archive_read_new();
    if (!a)
        return std::nullopt;
    archive_read_support_format_zip_seekable(a);
    bool found = false;
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 64 * 1024) ==
        ARCHIVE_OK) {
        archive_entry* entry = nullptr;
        while (!found && archive_read_next_header(a, &entry) == ARCHIVE_OK) {
            const char* name = archive_entry_pathname(entry);
            found = name && std::strcmp(name, lock::Key_file_name) == 0;
            archive_read_data_skip(a);
        }
    }
    archive_read_free(a);
    return found;
}

}  // namespace

QStringList Plain_backups(const QString& app_dir, const QString& backup_folder, Io_result& error)
{
    error = Io_result::Success();
    const QString folder = Diary_backup_folder(backup_folder, app_dir);
    const Folder_listing listing = List_folder(folder, Listing_detail::Types);
    QStringList plain;
    if (!listing.exists)
        return plain;
    error = listing.error;
    for (const Folder_entry& entry : listing.entries) {
        const QString name = QFile::decodeName(entry.name);
        if (entry.type != Entry_type::Regular || !Parse_backup_file_name(name))
            continue;
        const std::optional<bool> locked = Holds_key_file(folder + name);
        if (!locked) {
            // Not one is offered for deletion unread.
            error = Io_result::Failure(Io_step::Read, ELIBACC, folder + name);
            return {};
        }
        if (!*locked)
            plain << folder + name;
    }
    plain.sort();
    return plain;
}

Io_result Remove_backups(const QStringList& paths, int& removed)
{
    removed = 0;
    for (const QString& path : paths) {
        if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
            return Io_result::Failure(Io_step::Remove, errno, path);
        ++removed;
    }
    if (paths.isEmpty())
        return Io_result::Success();
    return Sync_folder(QFileInfo(paths.constFirst()).path());
}

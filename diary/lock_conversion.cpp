#include "diary/lock_conversion.h"

#include "diary/backup.h"
#include "diary/photos.h"
#include "store/diary_files.h"
#include "store/safe_replace.h"

#include <QDate>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lock {

namespace {

std::function<void(int)>& Hook()
{
    static std::function<void(int)> hook;
    return hook;
}

QString With_slash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool Temporary_name(const QByteArray& name) { return name.startsWith(Temp_prefix); }

// Every regular file under folder, at any depth, temporary files left out.
void Collect_all(const QString& folder, QStringList& files, Io_result& error)
{
    const Folder_listing listing = List_folder(folder);
    if (!listing.error.Ok() && error.Ok())
        error = listing.error;
    for (const Folder_entry& e : listing.entries) {
        const QString path = folder + QFile::decodeName(e.name);
        if (e.type == Entry_type::Folder)
            Collect_all(path + QLatin1Char('/'), files, error);
        else if (e.type == Entry_type::Regular && !Temporary_name(e.name))
            files.append(path);
    }
}

// One file's bytes and the mode it has; what a conversion needs to know
// before it writes anything.
struct File_now {
    QByteArray bytes;
    bool exists = false;
    timespec mtime{};
};

Io_result Look_at(const QString& path, File_now& out)
{
    Io_result r = Read_diary_file_as_is(path, out.bytes, out.exists);
    if (!r.Ok() || !out.exists)
        return r;
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return Io_result::Failure(Io_step::Open, errno, path);
    // Replace_file refuses a file its owner made read-only; better before
    // the first file is changed than halfway.
    if ((st.st_mode & S_IWUSR) == 0)
        return Io_result::Failure(Io_step::Read_only, EACCES, path);
    out.mtime = st.st_mtim;
    return Io_result::Success();
}

// The file's new bytes in place, with its old modification time: a day
// locked was still written when it was written. The folder is synced by
// the caller once its files are done (Sync_folders).
Io_result Put(const QString& path, const QByteArray& bytes, const timespec& mtime, int& step)
{
    const Io_result r = Replace_file_as_is(path, bytes, Folder_sync::Later);
    if (!r.Ok())
        return r;
    const timespec times[2] = {{0, UTIME_OMIT}, mtime};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
    if (Hook())
        Hook()(++step);
    return Io_result::Success();
}

QString Folder_of(const QString& path) { return path.left(path.lastIndexOf(QLatin1Char('/'))); }

// Makes the renames of the files done so far durable: each folder once.
// A folder that cannot be synced is told; its files hold their new bytes.
Io_result Sync_folders(QStringList& unsynced)
{
    Io_result first;
    for (const QString& folder : unsynced)
        if (const Io_result r = Sync_folder(folder); !r.Ok() && first.Ok())
            first = r;
    unsynced.clear();
    return first;
}

Io_result Put_key_file(const QString& folder, const Key_file& file, int& step)
{
    const Io_result r = Write_key_file(folder, file);
    if (!r.Ok() && r.step != Io_step::Sync_folder)
        return r;
    if (Hook())
        Hook()(++step);
    return Io_result::Success();
}

// Seals (to_sealed) or opens every file that is not yet in the wanted form.
// checked_only: read and check everything, write nothing. done receives the
// files changed; progress may stop the walk (stopped set).
Io_result Convert(const QStringList& files, const Diary_key& key, bool to_sealed, bool checked_only,
                  const Conversion_progress& progress, int& done, int& step, bool& stopped)
{
    done = 0;
    stopped = false;
    const int all = int(files.size());
    // The folders whose renames are not yet synced: the files are sorted,
    // so a folder is done when the next file is in another one.
    QStringList unsynced;
    auto sync_all = [&] { return Sync_folders(unsynced); };
    for (int i = 0; i < all; ++i) {
        const QString& path = files[i];
        File_now now;
        if (const Io_result r = Look_at(path, now); !r.Ok())
            return r;
        if (!now.exists)
            continue;  // gone since the listing: nothing to convert
        const bool sealed = Is_sealed(now.bytes);
        if (sealed && Sealed_key_id(now.bytes) != key.Id())
            return Io_result::Failure(Io_step::Damaged_lock, 0, path);
        QByteArray wanted;
        if (to_sealed && !sealed) {
            wanted = Seal(key, now.bytes);
            if (wanted.size() > File_size_limit)
                return Io_result::Failure(Io_step::Too_large, EFBIG, path);
        } else if (!to_sealed && sealed) {
            if (!Open_sealed(key, now.bytes, wanted))
                return Io_result::Failure(Io_step::Damaged_lock, 0, path);
        } else {
            continue;
        }
        if (!checked_only) {
            const QString folder = Folder_of(path);
            if (!unsynced.isEmpty() && unsynced.last() != folder)
                if (const Io_result r = sync_all(); !r.Ok())
                    return r;
            if (const Io_result r = Put(path, wanted, now.mtime, step); !r.Ok()) {
                sync_all();
                return r;
            }
            if (unsynced.isEmpty())
                unsynced.append(folder);
            ++done;
            if (progress && !progress(i + 1, all)) {
                stopped = true;
                return sync_all();
            }
        }
    }
    if (const Io_result r = sync_all(); !r.Ok())
        return r;
    if (!checked_only && progress)
        progress(all, all);
    return Io_result::Success();
}

Io_result Remove_key_file(const QString& folder, int& step)
{
    const QString path = Key_file_path(folder);
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        return Io_result::Failure(Io_step::Remove, errno, path);
    if (const Io_result r = Sync_folder(folder); !r.Ok())
        return r;
    if (Hook())
        Hook()(++step);
    return Io_result::Success();
}

Conversion Failed(const Io_result& r)
{
    Conversion out;
    out.status = Conversion_status::Failed;
    out.result = r;
    return out;
}

// Turns every file to the form of to_sealed and leaves the key file as the
// end of that conversion wants it. file is the key file as it is now.
Conversion Run(const QString& folder, Key_file file, const Diary_key& key, bool to_sealed,
               const Conversion_progress& progress, int& step)
{
    Io_result error;
    const QStringList files = Lockable_files(folder, error);
    if (!error.Ok())
        return Failed(error);
    int done = 0;
    bool stopped = false;
    // Everything read and checked first: a file in the way stops here,
    // before any file has changed.
    if (const Io_result r = Convert(files, key, to_sealed, true, {}, done, step, stopped); !r.Ok())
        return Failed(r);

    const Key_state state = to_sealed ? Key_state::Locking : Key_state::Unlocking;
    if (file.state != state) {
        file.state = state;
        if (const Io_result r = Put_key_file(folder, file, step); !r.Ok())
            return Failed(r);
    }
    if (to_sealed)
        Register_key(folder, key);
    else
        Forget_key(folder);

    const Io_result converted =
        Convert(files, key, to_sealed, false, progress, done, step, stopped);
    if (!converted.Ok() || stopped) {
        // Back the other way: the folder as it was. When that fails too the
        // key file still says which way the conversion went, and the next
        // open finishes it.
        int back_done = 0;
        bool back_stopped = false;
        file.state = to_sealed ? Key_state::Unlocking : Key_state::Locking;
        Io_result back = Put_key_file(folder, file, step);
        if (to_sealed)
            Forget_key(folder);
        else
            Register_key(folder, key);
        if (back.Ok())
            back = Convert(files, key, !to_sealed, false, {}, back_done, step, back_stopped);
        if (back.Ok()) {
            if (to_sealed) {
                back = Remove_key_file(folder, step);
            } else {
                file.state = Key_state::Locked;
                back = Put_key_file(folder, file, step);
            }
        }
        if (!converted.Ok())
            return Failed(converted);
        if (!back.Ok())
            return Failed(back);
        Conversion out;
        out.status = Conversion_status::Cancelled;
        return out;
    }

    if (to_sealed) {
        file.state = Key_state::Locked;
        if (const Io_result r = Put_key_file(folder, file, step); !r.Ok())
            return Failed(r);
    } else if (const Io_result r = Remove_key_file(folder, step); !r.Ok()) {
        return Failed(r);
    }
    Conversion out;
    out.status = Conversion_status::Done;
    out.files = done;
    return out;
}

}  // namespace

void Set_conversion_hook(std::function<void(int step)> hook) { Hook() = std::move(hook); }

QStringList Lockable_files(const QString& diary_folder, Io_result& error)
{
    error = {};
    const QString dir = With_slash(diary_folder);
    QStringList files;
    const Folder_listing top = List_folder(dir);
    error = top.error;
    if (!top.exists && error.Ok())
        error = Io_result::Folder_failure(Io_step::Read, ENOENT, dir);
    if (!error.Ok())
        return {};
    for (const Folder_entry& e : top.entries) {
        const Diary_name kind = Classify_top_name(e.name).kind;
        const QString path = dir + QFile::decodeName(e.name);
        if (e.type == Entry_type::Folder) {
            if (kind == Diary_name::Year_folder) {
                const Folder_listing year = List_folder(path);
                if (!year.error.Ok() && error.Ok())
                    error = year.error;
                for (const Folder_entry& f : year.entries)
                    if (f.type == Entry_type::Regular &&
                        Classify_year_name(f.name).kind != Diary_name::Other)
                        files.append(path + QLatin1Char('/') + QFile::decodeName(f.name));
            } else if (kind == Diary_name::History_folder || e.name == Photos_folder_name) {
                Collect_all(path + QLatin1Char('/'), files, error);
            }
        } else if (e.type == Entry_type::Regular) {
            switch (kind) {
            case Diary_name::Other:
            case Diary_name::Temporary:
            case Diary_name::Lock_file: break;
            default: files.append(path);
            }
        }
    }
    if (!error.Ok())
        return {};
    files.sort();
    return files;
}

Conversion Lock_folder(const QString& diary_folder, QByteArrayView password_utf8,
                       QString& recovery_text, const Conversion_progress& progress,
                       const QString& backup_folder, Kdf_limits limits)
{
    recovery_text.clear();
    // Before the backup and the key: without the cipher nothing is begun.
    if (!Crypto_ready())
        return Failed(Crypto_missing());
    if (Folder_is_locked(diary_folder)) {
        Conversion out;
        out.status = Conversion_status::Already_locked;
        return out;
    }
    // Everything readable and writable before the backup and the key.
    Io_result error;
    const QStringList files = Lockable_files(diary_folder, error);
    if (!error.Ok())
        return Failed(error);
    // A sealed file in a folder without a key file is of another key (a
    // copy from another locked diary): it would never open again.
    for (const QString& path : files) {
        File_now now;
        if (const Io_result r = Look_at(path, now); !r.Ok())
            return Failed(r);
        if (now.exists && Is_sealed(now.bytes))
            return Failed(Io_result::Failure(Io_step::Damaged_lock, 0, path));
    }

    // A backup as the daily one makes it, so that nothing the lock does can
    // cost the diary.
    Conversion out;
    const QString folder =
        backup_folder.isEmpty() ? Read_backup_settings(diary_folder).folder : backup_folder;
    const std::atomic<bool> no_cancel{false};
    const Backup_outcome backup =
        Write_backup(diary_folder, folder, QDate::currentDate(), no_cancel);
    if (!backup.error.Ok()) {
        out.status = Conversion_status::Backup_failed;
        out.result = backup.error;
        return out;
    }

    Diary_key key;
    QString recovery;
    Key_file file = New_key_file(password_utf8, key, recovery, limits);
    file.state = Key_state::Locking;
    int step = 0;
    if (const Io_result r = Put_key_file(diary_folder, file, step); !r.Ok())
        return Failed(r);
    out = Run(diary_folder, file, key, true, progress, step);
    out.backup_path = backup.path;
    if (out.Ok())
        recovery_text = recovery;
    return out;
}

Conversion Unlock_folder(const QString& diary_folder, const Diary_key& key,
                         const Conversion_progress& progress)
{
    Key_file file;
    const Io_result read = Read_key_file(diary_folder, file);
    if (read.step == Io_step::Open && read.error_number == ENOENT) {
        Conversion out;
        out.status = Conversion_status::Not_locked;
        return out;
    }
    if (!read.Ok())
        return Failed(read);
    if (!key.Valid() || file.key_id != key.Id()) {
        Conversion out;
        out.status = Conversion_status::Other_key;
        return out;
    }
    int step = 0;
    return Run(diary_folder, file, key, false, progress, step);
}

Conversion Finish_conversion(const QString& diary_folder, const Diary_key& key,
                             const Conversion_progress& progress)
{
    Key_file file;
    const Io_result read = Read_key_file(diary_folder, file);
    Conversion out;
    if (read.step == Io_step::Open && read.error_number == ENOENT) {
        out.status = Conversion_status::Done;
        return out;
    }
    if (!read.Ok())
        return Failed(read);
    if (!key.Valid() || file.key_id != key.Id()) {
        out.status = Conversion_status::Other_key;
        return out;
    }
    if (file.state == Key_state::Locked) {
        out.status = Conversion_status::Done;
        return out;
    }
    int step = 0;
    return Run(diary_folder, file, key, file.state == Key_state::Locking, progress, step);
}

}  // namespace lock

#include "store/safe_replace.h"

#include "store/diary_files.h"
#include "store/lock.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// The folder part of an encoded path: "a/b/c" -> "a/b", "c" -> ".",
// "/c" -> "/". Trailing slashes of the path are ignored.
QByteArray Folder_of(const QByteArray& path)
{
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const qsizetype slash = path.lastIndexOf('/', end - 1);
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

int Fsync_folder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    if (::fsync(fd) != 0)
        error = errno;
    ::close(fd);
    return error;
}

// Removes what an interrupted save left behind: regular files (and stray
// links) named with Temp_prefix. A temporary file that another save is
// writing at this moment is locked by that save and is left alone. This is
// tidying, not saving: a leftover that cannot be removed does not stop the
// save, and the old file is never touched here.
//
// Leftovers come from a save that was cut off (a kill, a crash), so they
// are there when the program starts: once a folder has been found clear,
// the saves after it in this run need not read it again. A folder where a
// leftover could not go yet (another save holds it) is looked at again.
void Remove_leftovers(const QByteArray& folder)
{
    static std::mutex tidied_lock;
    static std::set<QByteArray> tidied;
    {
        const std::lock_guard<std::mutex> guard(tidied_lock);
        if (tidied.count(folder))
            return;
    }
    const Folder_listing listing =
        List_folder(QFile::decodeName(folder), Listing_detail::Types, [](const char* name) {
            return std::strncmp(name, Temp_prefix, sizeof Temp_prefix - 1) == 0;
        });
    if (!listing.exists)
        return;
    bool clear = listing.error.Ok();
    for (const Folder_entry& entry : listing.entries) {
        const QByteArray path = folder + '/' + entry.name;
        if (entry.type == Entry_type::Regular) {
            const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) {
                clear = false;
                continue;
            }
            const bool in_use = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
            if (in_use || ::unlink(path.constData()) != 0)
                clear = false;
            ::close(fd);
        } else if (entry.type == Entry_type::Link) {
            if (::unlink(path.constData()) != 0)
                clear = false;
        }
    }
    if (clear) {
        const std::lock_guard<std::mutex> guard(tidied_lock);
        tidied.insert(folder);
    }
}

}  // namespace

namespace {

// The key file of a locked diary is read before any key is known: it is
// never sealed, wherever it is.
bool Never_sealed(const QString& path)
{
    return path.endsWith(QLatin1String(lock::Key_file_name)) &&
           (path.size() == qsizetype(sizeof lock::Key_file_name - 1) ||
            path[path.size() - qsizetype(sizeof lock::Key_file_name)] == QLatin1Char('/'));
}

// Writes all of bytes to fd; a write that makes no progress is a full disk.
int Write_all(int fd, QByteArrayView bytes)
{
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        data += n;
        left -= n;
    }
    return 0;
}

}  // namespace

namespace {

// The bytes a file at path is to hold: sealed with the key of a locked
// place that is open, as they are elsewhere. sealed receives the sealed
// bytes when there are any; a locked place without its key open gets
// nothing, since the bytes could only be written plain.
Io_result Bytes_for(const QString& path, QByteArrayView bytes, QByteArray& sealed, bool& seal)
{
    seal = false;
    if (!lock::Any_locked_folder() || Never_sealed(path))
        return Io_result::Success();
    lock::Diary_key key;
    const lock::Place_state state = lock::State_for(path, key);
    if (state == lock::Place_state::Closed)
        return Io_result::Failure(Io_step::Locked, EACCES, path);
    if (state == lock::Place_state::Open) {
        sealed = lock::Seal(key, bytes);
        seal = true;
        // What could not be read again is not written.
        if (sealed.size() > File_size_limit)
            return Io_result::Failure(Io_step::Too_large, EFBIG, path);
    }
    return Io_result::Success();
}

// A new content written to its temporary file beside the target and
// flushed to the disk: all of a replace but its rename and the folder's
// sync. The descriptor stays open (and locked, so that no save takes the
// file for a leftover) until the rename.
struct Prepared {
    QString path;
    QByteArray target;
    QByteArray folder;
    QByteArray temp_name;
    int fd = -1;
};

// How Prepare leaves the temporary file's data: flushed to the disk, or
// only on their way there, for Flush_prepared to wait for.
enum class Flush {
    Now,
    Started
};

// Closes the descriptor and removes the temporary file.
void Drop(Prepared& p)
{
    if (p.fd >= 0)
        ::close(p.fd);
    p.fd = -1;
    if (!p.temp_name.isEmpty())
        ::unlink(p.temp_name.constData());
    p.temp_name.clear();
}

// The data must be on the disk before the new name points at them;
// otherwise a crash right after the rename can leave an empty file. A
// failed fdatasync is not retried: the kernel may already have dropped the
// pages it could not write.
Io_result Flush_prepared(const Prepared& p)
{
    if (::fdatasync(p.fd) != 0)
        return Io_result::Failure(Io_step::Sync, errno, p.path);
    return Io_result::Success();
}

Io_result Prepare(const QString& path, QByteArrayView bytes, Prepared& out,
                  Flush flush = Flush::Now)
{
    out = {};
    out.path = path;
    out.target = QFile::encodeName(path);
    if (out.target.isEmpty() || out.target.endsWith('/'))
        return Io_result::Failure(Io_step::Not_a_file, EISDIR, path);
    out.folder = Folder_of(out.target);

    // What stands at the path now. A folder, a device or a pipe is not ours
    // to replace. Neither is a symbolic link: renaming over it would turn
    // the link into a plain file and leave its target as it was, so the
    // link is refused rather than followed or replaced.
    struct stat old {};
    bool exists = false;
    if (::lstat(out.target.constData(), &old) == 0) {
        exists = true;
        if (S_ISDIR(old.st_mode))
            return Io_result::Failure(Io_step::Not_a_file, EISDIR, path);
        if (S_ISLNK(old.st_mode))
            return Io_result::Failure(Io_step::Is_a_link, EINVAL, path);
        if (!S_ISREG(old.st_mode))
            return Io_result::Failure(Io_step::Not_a_regular_file, EINVAL, path);
        // The owner's write bit is the user's "do not change this file";
        // it holds even for root, who could write anyway.
        if ((old.st_mode & S_IWUSR) == 0)
            return Io_result::Failure(Io_step::Read_only, EACCES, path);
        // A file this process could not write in place (someone else's
        // file, a read-only mount) is not replaced behind its owner's back.
        if (::faccessat(AT_FDCWD, out.target.constData(), W_OK, AT_EACCESS) != 0)
            return Io_result::Failure(Io_step::Read_only, errno, path);
    } else if (errno != ENOENT) {
        return Io_result::Failure(Io_step::Open, errno, path);
    }

    Remove_leftovers(out.folder);

    QByteArray temp_name = out.folder;
    if (!temp_name.endsWith('/'))
        temp_name += '/';
    temp_name += Temp_prefix;
    temp_name += "XXXXXX";
    const int fd = ::mkostemp(temp_name.data(), O_CLOEXEC);
    if (fd < 0)
        return Io_result::Failure(Io_step::Open, errno, path);
    out.fd = fd;
    out.temp_name = temp_name;

    // From here on, any failure removes the temporary file; the old file
    // has not been touched.
    auto fail = [&](Io_step step, int error) {
        Drop(out);
        return Io_result::Failure(step, error, path);
    };

    // Marks this temporary file as in use, so that a save running at the
    // same time into the same folder does not take it for a leftover.
    // Advisory only: a folder that does not support locks still saves.
    ::flock(fd, LOCK_EX | LOCK_NB);

    // The new file is the old file's: same owner and group (a copy made by
    // root stays its user's file), same permission bits. fchmod comes last,
    // because a change of owner clears the set-id bits, and it sets the
    // mode exactly, whatever the umask.
    if (exists) {
        struct stat now {};
        if (::fstat(fd, &now) != 0)
            return fail(Io_step::Open, errno);
        const uid_t uid = now.st_uid == old.st_uid ? uid_t(-1) : old.st_uid;
        const gid_t gid = now.st_gid == old.st_gid ? gid_t(-1) : old.st_gid;
        if ((uid != uid_t(-1) || gid != gid_t(-1)) && ::fchown(fd, uid, gid) != 0)
            return fail(Io_step::Open, errno);
    }
    const mode_t mode = exists ? (old.st_mode & 07777) : (S_IRUSR | S_IWUSR);
    if (::fchmod(fd, mode) != 0)
        return fail(Io_step::Open, errno);

    // Write everything. A short write is continued; a write that returns 0
    // makes no progress and counts as a full disk.
    if (const int error = Write_all(fd, bytes))
        return fail(Io_step::Write, error);

    if (flush == Flush::Started) {
        // The disk begins writing now, while the caller prepares its other
        // files; Flush_prepared waits for it before the rename. A file
        // system that cannot begin early loses nothing: the flush writes it.
        ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        return Io_result::Success();
    }
    if (const Io_result r = Flush_prepared(out); !r.Ok()) {
        Drop(out);
        return r;
    }
    return Io_result::Success();
}

// Closes the prepared file and gives it its name; on failure the temporary
// file is removed and the old file is as it was.
Io_result Put_in_place(Prepared& p)
{
    const int fd = p.fd;
    p.fd = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        Drop(p);
        return Io_result::Failure(Io_step::Close, error, p.path);
    }
    if (::rename(p.temp_name.constData(), p.target.constData()) != 0) {
        const int error = errno;
        Drop(p);
        return Io_result::Failure(Io_step::Rename, error, p.path);
    }
    p.temp_name.clear();
    return Io_result::Success();
}

}  // namespace

Io_result Replace_file(const QString& path, QByteArrayView bytes)
{
    return Replace_file(path, bytes, Folder_sync::Now);
}

Io_result Replace_file(const QString& path, QByteArrayView bytes, Folder_sync sync)
{
    QByteArray sealed;
    bool seal = false;
    if (const Io_result r = Bytes_for(path, bytes, sealed, seal); !r.Ok())
        return r;
    return Replace_file_as_is(path, seal ? QByteArrayView(sealed) : bytes, sync);
}

Io_result Replace_file_as_is(const QString& path, QByteArrayView bytes)
{
    return Replace_file_as_is(path, bytes, Folder_sync::Now);
}

Io_result Replace_file_as_is(const QString& path, QByteArrayView bytes, Folder_sync sync)
{
    Prepared p;
    if (const Io_result r = Prepare(path, bytes, p); !r.Ok())
        return r;
    if (const Io_result r = Put_in_place(p); !r.Ok())
        return r;
    // The new content is in place. Syncing the folder makes the rename
    // survive a crash; if that fails the caller is told, but the file
    // already holds the new content and nothing is to be undone.
    if (sync == Folder_sync::Later)
        return Io_result::Success();
    if (const int error = Fsync_folder(p.folder))
        return Io_result::Failure(Io_step::Sync_folder, error, path);
    return Io_result::Success();
}

struct Replace_together::Staged : Prepared {};

Replace_together::Replace_together() = default;

Replace_together::~Replace_together()
{
    for (const std::unique_ptr<Staged>& s : staged)
        Drop(*s);
}

Io_result Replace_together::Add(const QString& path, QByteArrayView bytes)
{
    QByteArray sealed;
    bool seal = false;
    if (const Io_result r = Bytes_for(path, bytes, sealed, seal); !r.Ok())
        return r;
    auto s = std::make_unique<Staged>();
    if (const Io_result r =
            Prepare(path, seal ? QByteArrayView(sealed) : bytes, *s, Flush::Started);
        !r.Ok())
        return r;
    // One folder, one sync: a file of another folder is no part of it.
    if (!staged.empty() && s->folder != staged.front()->folder) {
        Drop(*s);
        return Io_result::Failure(Io_step::Rename, EXDEV, path);
    }
    staged.push_back(std::move(s));
    return Io_result::Success();
}

Replace_together::Outcome Replace_together::Commit()
{
    Outcome out;
    for (const std::unique_ptr<Staged>& s : staged) {
        if (s->temp_name.isEmpty())
            continue;  // put in place by an earlier commit
        // Each file's data on the disk before its name: the first that
        // cannot be flushed stops the rest, as a failed rename does.
        if (out.result = Flush_prepared(*s); !out.result.Ok())
            break;
        if (out.result = Put_in_place(*s); !out.result.Ok())
            break;
        ++out.in_place;
        out.last_in_place = s->path;
    }
    // What went into place is made durable, also when a later file could
    // not follow it: its caller reports it as written.
    if (out.in_place > 0) {
        if (const int error = Fsync_folder(staged.front()->folder); error && out.result.Ok())
            out.result = Io_result::Failure(Io_step::Sync_folder, error, out.last_in_place);
    }
    for (const std::unique_ptr<Staged>& s : staged)
        Drop(*s);
    staged.clear();
    return out;
}

Io_result Make_folder(const QString& path)
{
    QByteArray name = QFile::encodeName(path);
    while (name.size() > 1 && name.endsWith('/'))
        name.chop(1);
    if (name.isEmpty())
        return Io_result::Folder_failure(Io_step::Make_folder, ENOENT, path);

    if (::mkdir(name.constData(), S_IRWXU) != 0) {
        const int error = errno;
        if (error != EEXIST)
            return Io_result::Folder_failure(Io_step::Make_folder, error, path);
        // Something is there already. A folder (or a link to one) is what
        // was wanted and is left exactly as it is.
        struct stat st {};
        if (::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            return Io_result::Success();
        return Io_result::Folder_failure(Io_step::Not_a_folder, ENOTDIR, path);
    }
    // mkdir applies the umask; the mode is set again, exactly.
    if (::chmod(name.constData(), S_IRWXU) != 0)
        return Io_result::Folder_failure(Io_step::Make_folder, errno, path);
    if (const int error = Fsync_folder(Folder_of(name)))
        return Io_result::Folder_failure(Io_step::Sync_folder, error, path);
    return Io_result::Success();
}

Io_result Make_folders(const QString& path)
{
    QByteArray name = QFile::encodeName(path);
    while (name.size() > 1 && name.endsWith('/'))
        name.chop(1);
    struct stat st {};
    if (name.isEmpty() || ::stat(name.constData(), &st) == 0)
        return Make_folder(path);
    const QByteArray parent = Folder_of(name);
    if (parent != name && parent != ".") {
        if (const Io_result r = Make_folders(QFile::decodeName(parent));
            !r.Ok() && r.step != Io_step::Sync_folder)
            return r;
    }
    return Make_folder(path);
}

Io_result Sync_folder(const QString& folder)
{
    if (const int error = Fsync_folder(QFile::encodeName(folder)))
        return Io_result::Folder_failure(Io_step::Sync_folder, error, folder);
    return Io_result::Success();
}

Io_result Temp_file::Open(const QString& folder, const QString& path)
{
    Discard();
    QByteArray folder_name = QFile::encodeName(folder);
    while (folder_name.size() > 1 && folder_name.endsWith('/'))
        folder_name.chop(1);
    const lock::Place_state state = lock::Any_locked_folder() && !Never_sealed(path)
                                        ? lock::State_for(path, seal_key)
                                        : lock::Place_state::Plain;
    if (state == lock::Place_state::Closed) {
        seal_key = {};
        return Io_result::Failure(Io_step::Locked, EACCES, path);
    }
    Remove_leftovers(folder_name);
    name = folder_name + '/' + Temp_prefix + "XXXXXX";
    // Under a locked place the caller's plain bytes go to memory, never to
    // the disk; Commit seals them into the file.
    if (state == lock::Place_state::Open) {
        fd = ::memfd_create("sorane-sealing", MFD_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            name.clear();
            seal_key = {};
            return Io_result::Failure(Io_step::Open, error, path);
        }
        sealing = true;
        return Io_result::Success();
    }
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        name.clear();
        return Io_result::Failure(Io_step::Open, error, path);
    }
    // In use: a save into the same folder does not take it for a leftover.
    ::flock(fd, LOCK_EX | LOCK_NB);
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
        const int error = errno;
        Discard();
        return Io_result::Failure(Io_step::Open, error, path);
    }
    return Io_result::Success();
}

Io_result Temp_file::Commit(const QString& path)
{
    if (fd < 0)
        return Io_result::Failure(Io_step::Open, EBADF, path);
    auto fail = [&](Io_step step, int error) {
        Discard();
        return Io_result::Failure(step, error, path);
    };
    if (sealing) {
        // The plain bytes, from memory, sealed into the temporary file.
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return fail(Io_step::Read, errno);
        if (st.st_size > File_size_limit)
            return fail(Io_step::Too_large, EFBIG);
        QByteArray plain(qsizetype(st.st_size), Qt::Uninitialized);
        qsizetype got = 0;
        while (got < plain.size()) {
            const ssize_t n = ::pread(fd, plain.data() + got, std::size_t(plain.size() - got), got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail(Io_step::Read, n < 0 ? errno : EIO);
            got += n;
        }
        const QByteArray sealed = lock::Seal(seal_key, plain);
        plain.fill('\0');
        if (sealed.size() > File_size_limit)
            return fail(Io_step::Too_large, EFBIG);
        ::close(fd);
        sealing = false;
        seal_key = {};
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            name.clear();
            return Io_result::Failure(Io_step::Open, error, path);
        }
        ::flock(fd, LOCK_EX | LOCK_NB);
        if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
            return fail(Io_step::Open, errno);
        if (const int error = Write_all(fd, sealed))
            return fail(Io_step::Write, error);
    }
    if (::fdatasync(fd) != 0)
        return fail(Io_step::Sync, errno);
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0)
        return fail(Io_step::Close, errno);
    const QByteArray target = QFile::encodeName(path);
    // Never over an existing file; a file system without the no-replace
    // rename gets a look first (nothing else makes these names).
    if (::renameat2(AT_FDCWD, name.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) !=
        0) {
        if (errno != EINVAL)
            return fail(Io_step::Rename, errno);
        struct stat st {};
        if (::lstat(target.constData(), &st) == 0)
            return fail(Io_step::Rename, EEXIST);
        if (::rename(name.constData(), target.constData()) != 0)
            return fail(Io_step::Rename, errno);
    }
    name.clear();
    if (const int error = Fsync_folder(Folder_of(target)))
        return Io_result::Failure(Io_step::Sync_folder, error, path);
    return Io_result::Success();
}

void Temp_file::Discard()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    // A memory file has no name on the disk.
    if (!name.isEmpty() && !sealing)
        ::unlink(name.constData());
    name.clear();
    sealing = false;
    seal_key = {};
}

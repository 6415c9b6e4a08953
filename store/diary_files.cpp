#include "store/diary_files.h"

#include "store/lock.h"
#include "store/safe_replace.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <linux/magic.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

bool Digits(QByteArrayView s)
{
    for (const char c : s)
        if (c < '0' || c > '9')
            return false;
    return !s.isEmpty();
}

int Number(QByteArrayView s)
{
    int value = 0;
    for (const char c : s)
        value = value * 10 + (c - '0');
    return value;
}

bool Same_letters(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), size_t(a.size())) == 0;
}

bool Starts_with(QByteArrayView s, QByteArrayView prefix)
{
    return s.size() >= prefix.size() && Same_letters(s.first(prefix.size()), prefix);
}

bool Ends_with(QByteArrayView s, QByteArrayView suffix)
{
    return s.size() >= suffix.size() && Same_letters(s.last(suffix.size()), suffix);
}

// "20261209-211503", optionally followed by "-2", "-3", ...
bool Is_stamp(QByteArrayView s)
{
    if (s.size() < 15 || !Digits(s.first(8)) || s[8] != '-' || !Digits(s.sliced(9, 6)))
        return false;
    s = s.sliced(15);
    return s.isEmpty() || (s[0] == '-' && Digits(s.sliced(1)));
}

// The kind of what follows a stem ("1209", "keyword", "tomorrow") up to its
// ".txt", given the kind of the stem's own file.
Diary_name Kind_after_stem(QByteArrayView rest, Diary_name own)
{
    if (rest.isEmpty())
        return own;
    if (Same_letters(rest, ".utf8"))
        return Diary_name::Companion;
    if (Same_letters(rest, ".utf8.new"))
        return Diary_name::Staged_companion;
    if (Starts_with(rest, ".utf8.kept-") && Is_stamp(rest.sliced(11)))
        return Diary_name::Kept_companion;
    if (Starts_with(rest, ".conflict-"))
        return Diary_name::Own_conflict;
    // The sync tools mark a copy of a companion the same way.
    if (Starts_with(rest, ".utf8"))
        rest = rest.sliced(5);
    if (Starts_with(rest, ".sync-conflict-"))
        return Diary_name::Syncthing_conflict;
    if (Starts_with(rest, "_conflict-"))
        return Diary_name::Nextcloud_conflict;
    if (Starts_with(rest, " (") && rest.endsWith(')')) {
        const QByteArray inside = rest.toByteArray().toLower();
        // Nextcloud's client names no one: " (conflicted copy 2026-12-09
        // 101010)"; Dropbox names the computer or person first.
        if (inside.startsWith(" (conflicted copy"))
            return Diary_name::Nextcloud_conflict;
        return inside.contains("conflicted copy") ? Diary_name::Dropbox_conflict
                                                  : Diary_name::Numbered_copy;
    }
    return Diary_name::Other;
}

// A name made of a stem and what follows it, ending in ".txt".
Name_class With_stem(QByteArrayView name, qsizetype stem_size, Diary_name own)
{
    Name_class out;
    if (!Ends_with(name, ".txt") || name.size() < stem_size + 4)
        return out;
    const QByteArrayView rest = name.sliced(stem_size, name.size() - stem_size - 4);
    out.kind = Kind_after_stem(rest, own);
    if (out.kind != Diary_name::Other)
        out.stem = name.first(stem_size).toByteArray();
    return out;
}

bool Stem_ends_at(QByteArrayView name, qsizetype size)
{
    return name.size() > size && (name[size] == '.' || name[size] == ' ' || name[size] == '_');
}

}  // namespace

Name_class Classify_year_name(QByteArrayView name)
{
    if (Starts_with(name, Temp_prefix))
        return {Diary_name::Temporary, {}, 0, 0};
    if (Stem_ends_at(name, 4) && Digits(name.first(4))) {
        Name_class out = With_stem(name, 4, Diary_name::Day_file);
        if (out.kind != Diary_name::Other) {
            out.month = Number(name.first(2));
            out.day = Number(name.sliced(2, 2));
        }
        return out;
    }
    if (Stem_ends_at(name, 7) && Starts_with(name, "keyword")) {
        const Name_class out = With_stem(name, 7, Diary_name::Index);
        // The index has no exact text of its own (the days' companions hold
        // the memos), but a sync tool's copy of it holds the memos too.
        if (out.kind == Diary_name::Index || Is_other_version(out.kind))
            return out;
    }
    return {};
}

Name_class Classify_top_name(QByteArrayView name)
{
    if (name.size() == 4 && Digits(name))
        return {Diary_name::Year_folder, name.toByteArray(), 0, 0};
    if (Same_letters(name, "sorane.ini"))
        return {Diary_name::Settings, {}, 0, 0};
    if (name == "sorane-linux.ini")
        return {Diary_name::Own_settings, {}, 0, 0};
    if (name == lock::Key_file_name)
        return {Diary_name::Lock_file, {}, 0, 0};
    if (name == ".sorane-handover")
        return {Diary_name::Hand_over_record, {}, 0, 0};
    if (name == "history")
        return {Diary_name::History_folder, {}, 0, 0};
    if (Starts_with(name, Temp_prefix))
        return {Diary_name::Temporary, {}, 0, 0};
    if (name.startsWith("sorane-rescue-") && name.endsWith(".txt"))
        return {Diary_name::Rescue_file, {}, 0, 0};
    for (const char* stem : {"tomorrow", "yesterda"}) {
        if (Stem_ends_at(name, 8) && Starts_with(name, stem))
            return With_stem(name, 8, Diary_name::Message);
    }
    return {};
}

Name_class Classify_history_name(QByteArrayView name)
{
    for (const auto& [suffix, kind] : {std::pair{".txt", Diary_name::History_version},
                                       std::pair{".rec", Diary_name::History_record},
                                       std::pair{".idx", Diary_name::History_index}}) {
        if (name.endsWith(suffix) && Is_stamp(name.chopped(4)))
            return {kind, name.chopped(4).toByteArray(), 0, 0};
    }
    return {};
}

bool Is_other_version(Diary_name kind)
{
    switch (kind) {
    case Diary_name::Kept_companion:
    case Diary_name::Own_conflict:
    case Diary_name::Syncthing_conflict:
    case Diary_name::Dropbox_conflict:
    case Diary_name::Nextcloud_conflict:
    case Diary_name::Numbered_copy: return true;
    default: return false;
    }
}

bool Holds_diary_text(Diary_name kind)
{
    switch (kind) {
    case Diary_name::Day_file:
    case Diary_name::Index:
    case Diary_name::Message:
    case Diary_name::Companion:
    case Diary_name::Staged_companion:
    case Diary_name::Rescue_file:
    case Diary_name::History_version:
    case Diary_name::History_record:
    case Diary_name::History_index: return true;
    default: return Is_other_version(kind);
    }
}

QByteArray Real_folder_path(const QString& folder)
{
    QByteArray bytes = QFile::encodeName(folder);
    char resolved[PATH_MAX];
    if (::realpath(bytes.constData(), resolved))
        bytes = resolved;
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    return bytes;
}

Folder_listing List_folder(const QString& folder, Listing_detail detail,
                           const std::function<bool(const char* name)>& wanted)
{
    Folder_listing out;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        if (errno != ENOENT && errno != ENOTDIR) {
            out.exists = true;
            out.error = Io_result::Folder_failure(Io_step::Read, errno, folder);
        }
        return out;
    }
    out.exists = true;
    const int dir_fd = ::dirfd(dir);
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if ((name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) ||
            (wanted && !wanted(name))) {
            errno = 0;
            continue;
        }
        Folder_entry e;
        e.name = QByteArray(name);
        unsigned char type = entry->d_type;
        if (detail == Listing_detail::Full || type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(dir_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                errno = 0;
                continue;  // gone since it was listed
            }
            type = S_ISREG(st.st_mode)   ? DT_REG
                   : S_ISDIR(st.st_mode) ? DT_DIR
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
            if (detail == Listing_detail::Full) {
                e.size = qint64(st.st_size);
                e.mtime_ns = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
                e.ctime_ns = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
                e.inode = quint64(st.st_ino);
                e.mode = st.st_mode;
            }
        }
        e.type = type == DT_REG   ? Entry_type::Regular
                 : type == DT_DIR ? Entry_type::Folder
                 : type == DT_LNK ? Entry_type::Link
                                  : Entry_type::Other;
        out.entries.push_back(std::move(e));
        errno = 0;
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0)
        out.error = Io_result::Folder_failure(Io_step::Read, error, folder);
    return out;
}

Io_result Open_diary_file(const QString& path, int& fd, bool& exists, struct stat* status)
{
    fd = -1;
    exists = false;
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a named pipe for reading would otherwise wait for
    // a writer that never comes. A regular file's reads do not heed it, so
    // it is left set (two calls fewer for every day read); Read_diary_fd
    // clears it should a file system ever answer "try again". O_NOFOLLOW: a
    // link at the name is not followed.
    const int opened = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (opened < 0) {
        const int e = errno;
        if (e == ENOENT)
            return Io_result::Success();
        exists = true;
        struct stat link {};
        if (e == ELOOP && ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            return Io_result::Failure(Io_step::Link_not_read, e, path);
        if (e == ENXIO)  // a socket, or a device without its driver
            return Io_result::Failure(Io_step::Not_a_regular_file, e, path);
        return Io_result::Failure(Io_step::Open, e, path);
    }
    exists = true;
    auto fail = [&](Io_step step, int e) {
        ::close(opened);
        return Io_result::Failure(step, e, path);
    };
    struct stat st {};
    if (::fstat(opened, &st) != 0)
        return fail(Io_step::Read, errno);
    if (S_ISDIR(st.st_mode))
        return fail(Io_step::Not_a_file, EISDIR);
    // A pipe, a device or a socket would block, never end or give bytes
    // that are no diary's.
    if (!S_ISREG(st.st_mode))
        return fail(Io_step::Not_a_regular_file, EINVAL);
    if (st.st_size > File_size_limit)
        return fail(Io_step::Too_large, EFBIG);
    if (status)
        *status = st;
    fd = opened;
    return Io_result::Success();
}

ssize_t Read_diary_fd(int fd, char* into, size_t size)
{
    for (;;) {
        const ssize_t n = ::read(fd, into, size);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return n;
        // A file system that heeds O_NONBLOCK for a regular file: read it
        // as a blocking descriptor from here on.
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || (flags & O_NONBLOCK) == 0 ||
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            errno = EAGAIN;
            return -1;
        }
    }
}

Io_result Read_diary_file(const QString& path, QByteArray& bytes, bool& exists, Read_status* status)
{
    const Io_result read = Read_diary_file_as_is(path, bytes, exists, status);
    if (!read.Ok() || !lock::Is_sealed(bytes))
        return read;
    const Io_result opened = lock::Open_read_bytes(path, bytes);
    if (!opened.Ok() && status)
        *status = {};
    return opened;
}

Io_result Read_diary_file_as_is(const QString& path, QByteArray& bytes, bool& exists,
                                Read_status* status)
{
    bytes.clear();
    if (status) {
        *status = {};
        // The clock the kernel stamps files' changes with (its last tick),
        // before the open: any write after the read is stamped no earlier.
        ::clock_gettime(CLOCK_REALTIME_COARSE, &status->clock_before);
    }
    int fd = -1;
    struct stat st {};
    const Io_result opened = Open_diary_file(path, fd, exists, &st);
    if (fd < 0)
        return opened;
    auto fail = [&](Io_step step, int e) {
        ::close(fd);
        bytes.clear();
        return Io_result::Failure(step, e, path);
    };
    // One byte more than the file holds: the read that finds the end needs
    // no second, larger buffer.
    bytes.resize(qsizetype(st.st_size) + 1);
    qsizetype done = 0;
    for (;;) {
        if (done == bytes.size()) {
            // The file may have grown since it was opened; never past the limit.
            if (done > File_size_limit)
                return fail(Io_step::Too_large, EFBIG);
            bytes.resize(qMin<qsizetype>(done + 4096 + done / 2, File_size_limit + 1));
        }
        const ssize_t n = Read_diary_fd(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0)
            return fail(Io_step::Read, errno);
        if (n == 0)
            break;
        done += n;
    }
    if (done > File_size_limit)
        return fail(Io_step::Too_large, EFBIG);
    bytes.truncate(done);
    ::close(fd);
    if (status) {
        status->file = st;
        status->known = true;
    }
    return Io_result::Success();
}

bool Same_as_read(const Read_status& read, const struct stat& now, const QByteArray& name)
{
    const struct stat& then = read.file;
    if (!read.known || now.st_dev != then.st_dev || now.st_ino != then.st_ino ||
        now.st_size != then.st_size || now.st_mtim.tv_sec != then.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != then.st_mtim.tv_nsec)
        return false;
    // These stamp with the kernel's clock, at steps of a nanosecond or of
    // a second; a file system over the network stamps with its server's.
    struct statfs fs {};
    if (::statfs(name.constData(), &fs) != 0)
        return false;
    constexpr unsigned long Own_clock[] = {EXT4_SUPER_MAGIC, XFS_SUPER_MAGIC, BTRFS_SUPER_MAGIC,
                                           TMPFS_MAGIC, F2FS_SUPER_MAGIC};
    if (std::find(std::begin(Own_clock), std::end(Own_clock),
                  static_cast<unsigned long>(fs.f_type)) == std::end(Own_clock))
        return false;
    // The step is at most the largest power of ten that divides the time's
    // nanoseconds (a whole second when they are 0). A write after the read
    // is stamped at or after clock_before, rounded down to a step: later
    // than the file's time when clock_before is a step past it.
    constexpr long long Second = 1000000000LL;
    long long step = 1;
    while (step < Second && then.st_mtim.tv_nsec % (step * 10) == 0)
        step *= 10;
    const long long changed = then.st_mtim.tv_sec * Second + then.st_mtim.tv_nsec;
    const long long before = read.clock_before.tv_sec * Second + read.clock_before.tv_nsec;
    return before >= changed + step;
}

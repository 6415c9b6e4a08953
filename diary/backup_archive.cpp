#include "diary/backup.h"
#include "diary/backup_internal.h"

#include "diary/photos.h"
#include "store/diary_files.h"

#include <QFile>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <fcntl.h>
#include <malloc.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using backup_internal::With_slash;

// A file of the diary that a backup takes: what holds the user's text in
// any form (days, indexes, messages, their exact texts, conflict copies of
// every kind, rescue files), the settings and a locked diary's key file,
// never a link. The files are taken as they are on the disk: a locked
// diary's backup holds its sealed files and the key that opens them.
bool Backed_up(const Folder_entry& entry, Diary_name kind)
{
    return entry.type == Entry_type::Regular &&
           (Holds_diary_text(kind) || kind == Diary_name::Settings ||
            kind == Diary_name::Lock_file);
}

// The archive being written, freed however the backup ends.
struct Archive_deleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct Entry_deleter {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

// errno of libarchive's last failure, or EIO when it named none.
int Archive_errno(archive* a)
{
    const int error = archive_errno(a);
    return error > 0 ? error : EIO;
}

class Archive_writer {
public:
    Archive_writer(const QString& app_dir_path, const std::atomic<bool>& cancel_flag)
        : app_dir(app_dir_path), cancel(cancel_flag)
    {}

    // Writes every file into the archive on fd. A failure of a diary file
    // names the file; a failure of the archive names archive_path.
    Io_result Write(int fd, const QStringList& files, const QString& archive_path,
                    const std::function<void(qint64 done)>& done_bytes)
    {
        writer.reset(archive_write_new());
        archive* a = writer.get();
        // No archive: out of memory, or libarchive could not be loaded.
        if (!a)
            return Io_result::Failure(Io_step::Write, errno == ELIBACC ? ELIBACC : ENOMEM,
                                      archive_path);
        if (archive_write_set_format_zip(a) != ARCHIVE_OK ||
            archive_write_set_options(a, "zip:compression=deflate") != ARCHIVE_OK ||
            archive_write_open_fd(a, fd) != ARCHIVE_OK)
            return Io_result::Failure(Io_step::Write, Archive_errno(a), archive_path);
        qint64 done = 0;
        for (const QString& relative : files) {
            if (cancel)
                return {};
            const Io_result r = Add(a, relative, archive_path, done, done_bytes);
            if (!r.Ok())
                return r;
        }
        if (archive_write_close(a) != ARCHIVE_OK)
            return Io_result::Failure(Io_step::Write, Archive_errno(a), archive_path);
        return Io_result::Success();
    }

private:
    Io_result Add(archive* a, const QString& relative, const QString& archive_path, qint64& done,
                  const std::function<void(qint64)>& done_bytes)
    {
        const QString path = app_dir + relative;
        const QByteArray encoded = QFile::encodeName(path);
        std::unique_ptr<archive_entry, Entry_deleter> entry(archive_entry_new());
        archive_entry_set_pathname(entry.get(), relative.toUtf8().constData());
        const bool folder = relative.endsWith(QLatin1Char('/'));
        const int fd = ::open(encoded.constData(),
                              (folder ? O_DIRECTORY : 0) | O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return Io_result{Io_step::Open, errno, path, folder};
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return Io_result{Io_step::Read, errno, path, folder};
        if (!folder && !S_ISREG(st.st_mode))
            return Io_result::Failure(Io_step::Not_a_regular_file, EINVAL, path);
        archive_entry_set_filetype(entry.get(), folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry.get(), st.st_mode & 0777);
        archive_entry_set_mtime(entry.get(), st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        archive_entry_set_size(entry.get(), folder ? 0 : st.st_size);
        if (archive_write_header(a, entry.get()) != ARCHIVE_OK)
            return Io_result::Failure(Io_step::Write, Archive_errno(a), archive_path);
        if (folder)
            return Io_result::Success();

        // Exactly the size the header gave: a file that grows meanwhile is
        // taken as it was when opened (the store replaces files by rename,
        // so the open file does not change).
        qint64 left = st.st_size;
        char buffer[65536];
        while (left > 0) {
            if (cancel)
                return {};
            const ssize_t n =
                ::read(fd, buffer, std::size_t(std::min<qint64>(left, sizeof buffer)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return Io_result::Failure(Io_step::Read, n < 0 ? errno : EIO, path);
            if (archive_write_data(a, buffer, std::size_t(n)) != n)
                return Io_result::Failure(Io_step::Write, Archive_errno(a), archive_path);
            left -= n;
            done += n;
            if (done_bytes)
                done_bytes(done);
        }
        return Io_result::Success();
    }

    QString app_dir;
    const std::atomic<bool>& cancel;
    std::unique_ptr<archive, Archive_deleter> writer;
};

}  // namespace

namespace backup_internal {

Io_result Write_archive(const QString& app_dir, const std::atomic<bool>& cancel, int fd,
                        const QStringList& files, const QString& archive_path,
                        const std::function<void(qint64 done)>& done_bytes)
{
    Archive_writer writer(app_dir, cancel);
    return writer.Write(fd, files, archive_path, done_bytes);
}

// Each file goes in with its own deflate stream, whose buffers (about a
// quarter of a megabyte) are made and freed again per file. With the C
// library's default thresholds they are mapped and unmapped, or the heap's
// top grown and trimmed, every time: tens of thousands of page faults and
// TLB flushes, twenty times the work of the compression itself. Once a
// backup runs, such buffers are kept in the heap and reused instead; the
// heap keeps at most a few megabytes unused.
void Keep_compression_buffers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        ::mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
        ::mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
    });
}

}  // namespace backup_internal

QStringList Diary_files(const QString& app_dir, Io_result& error)
{
    const QString dir = With_slash(app_dir);
    QStringList files;
    const Folder_listing top = List_folder(dir);
    error = top.error;
    if (!top.exists && error.Ok())
        error = Io_result::Folder_failure(Io_step::Read, ENOENT, dir);
    if (!error.Ok())
        return {};
    for (const Folder_entry& e : top.entries) {
        const Diary_name kind = Classify_top_name(e.name).kind;
        const QString name = QFile::decodeName(e.name);
        if (kind == Diary_name::Year_folder && e.type == Entry_type::Folder) {
            files.append(name + QLatin1Char('/'));
            const Folder_listing year = List_folder(dir + name);
            error = year.error;
            if (!error.Ok())
                return {};
            for (const Folder_entry& f : year.entries)
                if (Backed_up(f, Classify_year_name(f.name).kind))
                    files.append(name + QLatin1Char('/') + QFile::decodeName(f.name));
        } else if (kind != Diary_name::History_folder && Backed_up(e, kind)) {
            files.append(name);
        }
    }
    // The pictures kept with the days.
    files += Photo_files(dir, error);
    if (!error.Ok())
        return {};
    files.sort();
    return files;
}

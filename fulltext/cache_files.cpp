#include "fulltext/cache_files.h"

#include "fulltext/fulltext.h"
#include "store/diary_files.h"
#include "store/safe_replace.h"

#include <QFile>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool Make_private_file(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return ok;
}

bool Make_private(const QString& path)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QByteArray name = QFile::encodeName(path + QLatin1String(suffix));
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0) {
            if (*suffix && errno == ENOENT)
                continue;
            return false;
        }
        if (!S_ISREG(st.st_mode) || st.st_uid != ::getuid())
            return false;
        if ((st.st_mode & 077) != 0 && ::chmod(name.constData(), 0600) != 0)
            return false;
    }
    return true;
}

bool Private_cache_folder(const QString& folder)
{
    if (const Io_result made = Make_folders(folder);
        !made.Ok() && made.step != Io_step::Sync_folder)
        return false;
    const QByteArray name = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (st.st_uid == ::getuid() && (st.st_mode & 077) != 0)
        ::chmod(name.constData(), 0700);
    return true;
}

void Remove_stale_builds(const QString& cache_folder, const QString& cache_path)
{
    const QByteArray prefix =
        QFile::encodeName(cache_path.mid(cache_path.lastIndexOf(u'/') + 1)) + '.';
    const Folder_listing listing =
        List_folder(cache_folder, Listing_detail::Types, [&prefix](const char* name) {
            return std::strncmp(name, prefix.constData(), size_t(prefix.size())) == 0;
        });
    for (const Folder_entry& entry : listing.entries) {
        QByteArray rest = entry.name.mid(prefix.size());
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            if (rest.endsWith(suffix))
                rest.chop(qsizetype(std::strlen(suffix)));
        if (!rest.endsWith(".building") || entry.type == Entry_type::Folder)
            continue;
        bool number = false;
        const qint64 pid = rest.chopped(9).toLongLong(&number);
        if (!number || pid <= 0)
            continue;
        if (pid != ::getpid() && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH))
            continue;
        ::unlink(QFile::encodeName(cache_folder + QLatin1Char('/') + QFile::decodeName(entry.name))
                     .constData());
    }
}

QString Default_fulltext_cache_folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/sorane");
}

#include "diary/sealed_copies.h"

#include "store/diary_files.h"
#include "store/safe_replace.h"

#include <QFile>
#include <QHash>
#include <cerrno>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace sealed_copies {

namespace {

std::mutex ties_lock;
QHash<QString, QString>& Ties()
{
    static QHash<QString, QString> ties;
    return ties;
}

// The file's bytes as they are on disk, opened as every diary file is.
Io_result Read_raw(const QString& path, QByteArray& bytes, bool& exists)
{
    bytes.clear();
    int fd = -1;
    struct stat st {};
    const Io_result opened = Open_diary_file(path, fd, exists, &st);
    if (!opened.Ok() || fd < 0)
        return opened;
    bytes.resize(qsizetype(st.st_size));
    qsizetype done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = Read_diary_fd(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += n;
    }
    ::close(fd);
    if (error != 0) {
        bytes.clear();
        return Io_result::Failure(Io_step::Read, error, path);
    }
    return Io_result::Success();
}

}  // namespace

void Tie(const QString& place, const QString& diary_folder)
{
    QString key = place;
    while (key.size() > 1 && key.endsWith(QLatin1Char('/')))
        key.chop(1);
    const std::lock_guard<std::mutex> guard(ties_lock);
    Ties().insert(key, diary_folder);
}

QString Diary_of(const QString& path)
{
    const std::lock_guard<std::mutex> guard(ties_lock);
    const QHash<QString, QString>& ties = Ties();
    // The file itself, or the nearest folder above it that is tied.
    QString place = path;
    while (!place.isEmpty()) {
        if (const auto it = ties.constFind(place); it != ties.cend())
            return *it;
        const qsizetype slash = place.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            break;
        place.truncate(slash);
    }
    return {};
}

bool Locked(const QString& path)
{
    const QString diary = Diary_of(path);
    return !diary.isEmpty() && lock::Folder_is_locked(diary);
}

bool Key_of(const QString& path, lock::Diary_key& key)
{
    const QString diary = Diary_of(path);
    return !diary.isEmpty() && lock::Folder_is_locked(diary) && lock::Key_for(diary, key) &&
           key.Valid();
}

QString Copy_path(const QString& plain_path, const QString& diary_folder)
{
    const qsizetype slash = plain_path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = plain_path.lastIndexOf(QLatin1Char('.'));
    const QString sealed =
        (dot > slash ? plain_path.left(dot) : plain_path) + QLatin1String(Sealed_suffix);
    if (!lock::Folder_is_locked(diary_folder)) {
        // Unlocked since: the sealed copy is of no use any more.
        if (sealed != plain_path)
            QFile::remove(sealed);
        Tie(plain_path, diary_folder);
        return plain_path;
    }
    // The diary was locked after this copy was made: its words go.
    if (sealed != plain_path)
        QFile::remove(plain_path);
    Tie(sealed, diary_folder);
    return sealed;
}

Io_result Write(const QString& path, QByteArrayView bytes)
{
    if (!Locked(path))
        return Replace_file(path, bytes);
    lock::Diary_key key;
    if (!Key_of(path, key))
        return Io_result::Failure(Io_step::Locked, EACCES, path);
    return Replace_file(path, lock::Seal(key, bytes));
}

Io_result Read(const QString& path, QByteArray& bytes, bool& exists)
{
    QByteArray raw;
    const Io_result read = Read_raw(path, raw, exists);
    if (!read.Ok() || !exists) {
        bytes.clear();
        return read;
    }
    if (!lock::Is_sealed(raw)) {
        bytes = std::move(raw);
        return Io_result::Success();
    }
    bytes.clear();
    lock::Diary_key key;
    if (!Key_of(path, key))
        return Io_result::Failure(Io_step::Locked, EACCES, path);
    if (!lock::Open_sealed(key, raw, bytes))
        return Io_result::Failure(Io_step::Damaged_lock, EBADMSG, path);
    return Io_result::Success();
}

}  // namespace sealed_copies

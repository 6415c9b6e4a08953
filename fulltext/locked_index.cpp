#include "fulltext/locked_index.h"

#include "diary/folder_lock.h"
#include "diary/sealed_copies.h"
#include "fulltext/cache_files.h"
#include "fulltext/tokenizer.h"
#include "store/lock.h"
#include "store/safe_replace.h"

#include <QFile>
#include <QHash>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// The open databases that are sealed indexes: the index's code knows only
// paths and handles.
struct Open_index {
    QString path;
    bool made_here = false;
};
std::mutex registry_lock;
QHash<sqlite3*, Open_index>& Open_indexes()
{
    static QHash<sqlite3*, Open_index> open;
    return open;
}

// A finished build's connection, handed to the next open of the index it
// was sealed into (the same file, by its inode): the window's thread then
// neither reads nor opens again what the build's thread had in memory, and
// the index is never held twice.
struct Handed_over {
    QString path;
    ino_t inode = 0;
    sqlite3* handle = nullptr;
};
Handed_over& Hand_over()  // under registry_lock
{
    static Handed_over handed;
    return handed;
}
void Drop_hand_over()  // under registry_lock
{
    sqlite3_close_v2(Hand_over().handle);
    Hand_over() = {};
}

ino_t Inode_of(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// "<index>.<pid>.building" -> "<index>".
QString Index_of(const QString& path)
{
    if (!path.endsWith(QLatin1String(".building")))
        return path;
    const qsizetype pid_dot = path.lastIndexOf(QLatin1Char('.'), path.size() - 10);
    return pid_dot > 0 ? path.left(pid_dot) : path;
}

bool Key_of_index(const QString& path, lock::Diary_key& key)
{
    return sealed_copies::Key_of(Index_of(path), key);
}

void Remove_with_sqlite_files(const QString& path)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

// A connection to an empty in-memory database that SQLite can hand out as
// one block (memdb), or that takes image (allocated with sqlite3_malloc64).
bool Open_in_memory(Fulltext_index::Db& db, unsigned char* image, qint64 size)
{
    db.last_code = sqlite3_open_v2(":memory:", &db.handle,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (db.last_code != SQLITE_OK) {
        sqlite3_free(image);
        return false;
    }
    sqlite3_extended_result_codes(db.handle, 1);
    db.last_code =
        sqlite3_deserialize(db.handle, "main", image, size, size,
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
    if (db.last_code != SQLITE_OK)
        return false;
    // A hundred years take a few hundred megabytes; memdb's own ceiling is
    // one gigabyte.
    sqlite3_int64 limit = 8ll << 30;
    sqlite3_file_control(db.handle, "main", SQLITE_FCNTL_SIZE_LIMIT, &limit);
    // Sorting and FTS5's merges never spill into temporary files.
    if (!db.Exec("PRAGMA temp_store=MEMORY") || !Register_tokenizer(db.handle)) {
        db.last_code = SQLITE_ERROR;
        return false;
    }
    return true;
}

}  // namespace

QString Index_path_for(const QString& cache_folder, const QString& app_dir)
{
    const QString plain =
        cache_folder + QLatin1Char('/') + Folder_key(app_dir) + QStringLiteral(".sqlite");
    const QString path = sealed_copies::Copy_path(plain, app_dir);
    if (path == plain) {
        // Unlocked since: the sealed index is of no use any more.
        QFile::remove(plain.chopped(7) + QLatin1String(sealed_copies::Sealed_suffix));
        return plain;
    }
    // Locked since the plain index was made: its words go, with SQLite's
    // files and any build of it that was cut off.
    Remove_with_sqlite_files(plain);
    Remove_stale_builds(cache_folder, plain);
    return path;
}

bool Index_must_close(const QString& path, const QString& app_dir)
{
    if (path.isEmpty())
        return false;
    const bool sealed = Is_sealed_index(path);
    if (sealed != lock::Folder_is_locked(app_dir))
        return true;
    lock::Diary_key key;
    if (!sealed || Key_of_index(path, key))
        return false;
    // Locked again: a build's index waiting to be taken goes too.
    const std::lock_guard<std::mutex> guard(registry_lock);
    Drop_hand_over();
    return true;
}

bool Is_sealed_index(const QString& path)
{
    return Index_of(path).endsWith(QLatin1String(sealed_copies::Sealed_suffix));
}

bool Read_whole_file(const QString& path, QByteArray& bytes)
{
    bytes.clear();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        bytes.resize(qsizetype(st.st_size));
        qsizetype done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            done += n > 0 ? n : 0;
        }
    }
    ::close(fd);
    if (!ok)
        bytes.clear();
    return ok;
}

bool Open_sealed_index(Fulltext_index::Db& db, const QString& path, bool create)
{
    db.last_code = SQLITE_CANTOPEN;
    lock::Diary_key key;
    if (!Key_of_index(path, key))
        return false;
    unsigned char* image = nullptr;
    qint64 size = 0;
    if (!create) {
        const std::lock_guard<std::mutex> guard(registry_lock);
        Handed_over& handed = Hand_over();
        if (handed.handle && handed.path == path && handed.inode == Inode_of(path)) {
            db.handle = std::exchange(handed.handle, nullptr);
            db.inode = handed.inode;
            Open_indexes().insert(db.handle, {path, false});
            Drop_hand_over();
            return true;
        }
        Drop_hand_over();
    }
    if (!create) {
        QByteArray sealed;
        if (!Read_whole_file(path, sealed))
            return false;
        QByteArray plain;
        if (!lock::Open_sealed(key, sealed, plain)) {
            db.last_code = SQLITE_NOTADB;  // built again
            return false;
        }
        sealed.clear();
        size = plain.size();
        image = static_cast<unsigned char*>(sqlite3_malloc64(sqlite3_uint64(size)));
        if (!image) {
            db.last_code = SQLITE_NOMEM;
            return false;
        }
        std::memcpy(image, plain.constData(), size_t(size));
        sodium_memzero(plain.data(), size_t(plain.size()));
    }
    if (!Open_in_memory(db, image, size))
        return false;
    // The file's inode, as for any index: another copy of the program that
    // puts a new index in place is noticed by it.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        db.inode = st.st_ino;
    const std::lock_guard<std::mutex> guard(registry_lock);
    Open_indexes().insert(db.handle, {path, create});
    return true;
}

void Close_sealed_index(Fulltext_index::Db& db)
{
    Open_index open;
    {
        const std::lock_guard<std::mutex> guard(registry_lock);
        open = Open_indexes().take(db.handle);
    }
    // A build that stopped half-way left its transaction open: nothing kept.
    if (!open.made_here || !db.handle || !sqlite3_get_autocommit(db.handle))
        return;
    lock::Diary_key key;
    if (!Key_of_index(open.path, key))
        return;
    sqlite3_int64 size = 0;
    const unsigned char* image =
        sqlite3_serialize(db.handle, "main", &size, SQLITE_SERIALIZE_NOCOPY);
    if (!image || size <= 0)
        return;
    {
        const QByteArray sealed =
            lock::Seal(key, QByteArrayView(reinterpret_cast<const char*>(image), qsizetype(size)));
        // Its place is the cache folder, where nothing is registered: the
        // bytes go as they are, already sealed.
        if (!Replace_file(open.path, sealed).Ok())
            return;
    }
    const std::lock_guard<std::mutex> guard(registry_lock);
    Drop_hand_over();
    Hand_over() = {Index_of(open.path), Inode_of(open.path), std::exchange(db.handle, nullptr)};
}

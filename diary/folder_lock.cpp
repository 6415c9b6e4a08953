#include "diary/folder_lock.h"

#include "diary/program_folder.h"
#include "store/diary_files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

QString Folder_key(const QString& folder)
{
    const QByteArray hash =
        QCryptographicHash::hash(Real_folder_path(folder), QCryptographicHash::Sha256);
    return QStringLiteral("sorane-") + QString::fromLatin1(hash.toHex().left(32));
}

QString Default_lock_folder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime;
    // A folder under /tmp is only used when it is this user's own, closed to
    // others, and no link: another user could have made it first.
    const QString own = QDir::tempPath() + QStringLiteral("/sorane-%1").arg(::getuid());
    const QByteArray name = QFile::encodeName(own);
    ::mkdir(name.constData(), 0700);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return QString();
    return own;
}

Folder_lock::Folder_lock(const QString& program_folder, const QString& lock_folder)
{
    if (lock_folder.isEmpty())
        return;
    const QString key = Folder_key(program_folder);
    lock_path = In_folder(lock_folder, key + QStringLiteral(".lock"));
    server_path = In_folder(lock_folder, key + QStringLiteral(".socket"));
}

Folder_lock::~Folder_lock() = default;

Folder_lock::State Folder_lock::Take(int wait_ms)
{
    if (Holds())
        return State::Held;
    if (lock_path.isEmpty())
        return State::Unavailable;
    lock = std::make_unique<QLockFile>(lock_path);
    // The program stays open for hours or days: a live holder's lock must
    // never count as stale by its age. Only a holder that is gone (its
    // process no longer runs on this machine, or the machine was started
    // again since) makes the lock stale, and that is taken over at once.
    lock->setStaleLockTime(0);
    for (int attempt = 0;; ++attempt) {
        if (lock->tryLock(wait_ms) || (lock->error() == QLockFile::LockFailedError &&
                                       Remove_dead_lock() && lock->tryLock())) {
            // The lock file is made with the umask's mode; it is this user's
            // alone like every file the program makes.
            ::chmod(QFile::encodeName(lock_path).constData(), 0600);
            return State::Held;
        }
        const QLockFile::LockError error = lock->error();
        const QFileInfo in_place(lock_path);
        // A holder that let go between the try and this look leaves no
        // file: the lock is free again, and is tried again rather than
        // taken as one that cannot be made (which would write beside the
        // next holder).
        if (error == QLockFile::LockFailedError && !in_place.exists() && !in_place.isSymLink() &&
            attempt < 20)
            continue;
        lock.reset();
        // Something else in the lock's place (a folder, a device) is no
        // holder, and it would refuse every start.
        const bool lock_in_place = in_place.isFile() && !in_place.isSymLink();
        return error == QLockFile::LockFailedError && lock_in_place ? State::Held_by_other
                                                                    : State::Unavailable;
    }
}

bool Folder_lock::Remove_dead_lock()
{
    // A lock whose content cannot be read, or whose process number now
    // belongs to another copy of this program, looks alive to QLockFile. The
    // holder also keeps an advisory lock on the file, which ends with its
    // process: removing succeeds only when no live process keeps it. The
    // second lock keeps two starts from removing at the same time.
    QLockFile removing(lock_path + QStringLiteral(".rmlock"));
    return removing.tryLock() && lock->removeStaleLockFile();
}

void Folder_lock::Release() { lock.reset(); }

bool Folder_lock::Holds() const { return lock && lock->isLocked(); }

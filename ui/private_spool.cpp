#include "ui/private_spool.h"

#include <QFile>
#include <QStandardPaths>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

Private_spool::Private_spool(bool private_print)
{
    if (!private_print)
        return;
    const QByteArray runtime =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    struct statfs fs {};
    struct stat st {};
    if (runtime.isEmpty() || ::statfs(runtime.constData(), &fs) != 0 || fs.f_type != TMPFS_MAGIC ||
        ::stat(runtime.constData(), &st) != 0 || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
        return;
    had = qEnvironmentVariableIsSet("TMPDIR");
    old = qgetenv("TMPDIR");
    set = qputenv("TMPDIR", runtime);
}

Private_spool::~Private_spool()
{
    if (!set)
        return;
    if (had)
        qputenv("TMPDIR", old);
    else
        qunsetenv("TMPDIR");
}

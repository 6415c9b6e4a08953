#include "ui/sealed_picture.h"

#include "store/line_file.h"
#include "store/lock.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The file begins as a sealed file does; its first bytes only are read.
bool Begins_sealed(const QString& path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    char head[sizeof lock::Sealed_magic] = {};
    ssize_t n;
    do
        n = ::read(fd, head, sizeof head);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    return n == ssize_t(sizeof head) && lock::Is_sealed(QByteArrayView(head, sizeof head));
}

}  // namespace

Picture_place Open_picture(const QString& path, QByteArray& bytes, QString& error)
{
    bytes.clear();
    if (!Begins_sealed(path))
        return Picture_place::File;
    bool exists = false;
    const Io_result read = Read_file_bytes(path, bytes, exists);
    if (read.Ok() && exists && !lock::Is_sealed(bytes))
        return Picture_place::Memory;
    bytes.clear();
    if (read.step == Io_step::Damaged_lock)
        error = QStringLiteral("鍵が合わないか、ファイルが壊れています");
    else if (read.Ok() || read.step == Io_step::Locked)
        error = QStringLiteral("鍵がかかっています");
    else
        error = QStringLiteral("ファイルを読めません");
    return Picture_place::Failed;
}

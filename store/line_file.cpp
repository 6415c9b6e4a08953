#include "store/line_file.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Io_result Read_file_bytes(const QString& path, QByteArray& bytes, bool& exists)
{
    bytes.clear();
    exists = false;
    // O_NONBLOCK: opening a named pipe for reading would otherwise wait for
    // a writer that never comes. It is cleared once the file is known to be
    // a regular file.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT)
            return Io_result::Success();
        exists = true;
        if (e == ENXIO)  // a socket, or a device without its driver
            return Io_result::Failure(Io_step::Not_a_regular_file, e, path);
        return Io_result::Failure(Io_step::Open, e, path);
    }
    exists = true;
    auto fail = [&](Io_step step, int e) {
        ::close(fd);
        bytes.clear();
        return Io_result::Failure(step, e, path);
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(Io_step::Read, errno);
    if (S_ISDIR(st.st_mode))
        return fail(Io_step::Not_a_file, EISDIR);
    // Only a regular file (or a link to one) is read: a pipe, a device or a
    // socket would block, never end or give bytes that are no diary's.
    if (!S_ISREG(st.st_mode))
        return fail(Io_step::Not_a_regular_file, EINVAL);
    if (st.st_size > File_size_limit)
        return fail(Io_step::Too_large, EFBIG);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail(Io_step::Read, errno);

    // One byte more than the file holds: the read that finds the end needs
    // no second, larger buffer.
    bytes.resize(qsizetype(st.st_size) + 1);
    qsizetype done = 0;
    for (;;) {
        if (done == bytes.size()) {
            // The file may have grown since fstat; never past the limit.
            if (done > File_size_limit)
                return fail(Io_step::Too_large, EFBIG);
            bytes.resize(qMin<qsizetype>(done + 4096 + done / 2, File_size_limit + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(Io_step::Read, errno);
        }
        if (n == 0)
            break;
        done += n;
    }
    if (done > File_size_limit)
        return fail(Io_step::Too_large, EFBIG);
    bytes.truncate(done);
    ::close(fd);
    return Io_result::Success();
}

void For_each_line(QByteArrayView bytes, const std::function<void(QByteArrayView line)>& each)
{
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        qsizetype stop = end;
        if (stop > start && bytes[stop - 1] == '\r' && end < bytes.size())
            --stop;
        each(bytes.sliced(start, stop - start));
        start = next;
    }
}

QList<QByteArray> Split_lines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    For_each_line(bytes, [&lines](QByteArrayView line) { lines.append(line.toByteArray()); });
    return lines;
}

Io_result Read_line_file(const QString& path, QList<QByteArray>& lines, bool& exists)
{
    QByteArray bytes;
    const Io_result read = Read_file_bytes(path, bytes, exists);
    lines = read.Ok() ? Split_lines(bytes) : QList<QByteArray>{};
    return read;
}

QByteArray Join_lines(const QList<QByteArray>& lines)
{
    qsizetype size = 0;
    for (const QByteArray& line : lines)
        size += line.size() + 2;
    QByteArray out;
    out.reserve(size);
    for (const QByteArray& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

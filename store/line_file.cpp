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
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return Io_result::Success();
        return Io_result::Failure(Io_step::Open, errno, path);
    }
    exists = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return Io_result::Failure(Io_step::Read, e, path);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Io_result::Failure(Io_step::Not_a_file, EISDIR, path);
    }
    bytes.resize(qsizetype(st.st_size));
    qsizetype done = 0;
    for (;;) {
        if (done == bytes.size())
            bytes.resize(done + 4096 + done / 2);  // the file may have grown
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            ::close(fd);
            bytes.clear();
            return Io_result::Failure(Io_step::Read, e, path);
        }
        if (n == 0)
            break;
        done += n;
    }
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

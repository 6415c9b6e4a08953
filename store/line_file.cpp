#include "store/line_file.h"

#include "store/diary_files.h"

Io_result Read_file_bytes(const QString& path, QByteArray& bytes, bool& exists)
{
    return Read_diary_file(path, bytes, exists);
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

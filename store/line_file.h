#pragma once
// Reading the diary's files as bytes, and as CR LF lines.

#include "store/io_result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// The whole file, read as Read_diary_file reads it (store/diary_files.h).
// A missing file is no error: exists is false and bytes empty. A folder at
// the path is Io_step::Not_a_file; a pipe, device or socket
// Io_step::Not_a_regular_file; a symbolic link Io_step::Link_not_read; a
// file over File_size_limit bytes Io_step::Too_large. On any failure exists
// is true: something is at the path, and it must not be written over.
Io_result Read_file_bytes(const QString& path, QByteArray& bytes, bool& exists);

// The file's lines without their line ends. A line ends at LF, with or
// without a CR before it; a last line without a line end is a line too.
Io_result Read_line_file(const QString& path, QList<QByteArray>& lines, bool& exists);
QList<QByteArray> Split_lines(const QByteArray& bytes);
// Hands each line of the bytes, without its line end, to each in turn, as
// Split_lines would list them; the views point into bytes.
void For_each_line(QByteArrayView bytes, const std::function<void(QByteArrayView line)>& each);
// Each line followed by CR LF.
QByteArray Join_lines(const QList<QByteArray>& lines);

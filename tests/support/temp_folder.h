#pragma once
// Test helpers for files: a fresh program folder per test, and fixtures
// written as hex so that no fixture comes from the code under test.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

class Temp_folder {
public:
    Temp_folder();
    bool Ok() const { return dir.isValid(); }
    // The folder with a trailing "/", as the program folder is kept.
    QString Path() const { return dir.path() + QLatin1Char('/'); }
    QString File(const QString& relative) const { return Path() + relative; }

private:
    QTemporaryDir dir;
};

// "82 a0 0d 0a" -> bytes; blanks are ignored.
QByteArray Hex(const char* hex);
QByteArray Read_bytes(const QString& path);
// The settings file's bytes: the lines given, then the twenty reserved
// ones, each with CR LF.
QByteArray Ini(const QList<QByteArray>& head);
bool Write_bytes(const QString& path, const QByteArray& bytes);
// Mode bits (permissions) of a file or folder, or -1.
int Mode_of(const QString& path);
// Names in a folder, sorted, hidden ones included.
QStringList Entries(const QString& folder);
// Every file and folder under root (hidden ones included), by its path
// below root, with its bytes; a folder as "<dir>".
QMap<QString, QByteArray> File_tree(const QString& root);

// Permissions do not bind root. When this process is root, runs the current
// test function again in a child process as the user nobody and returns
// true (the caller then returns); failure is set to the child's output when
// the child failed. False when this process is not root.
bool Rerun_as_nobody(QString& failure);

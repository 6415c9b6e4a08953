#pragma once
// The program folder: the folder the diary's files live in, found from the
// running executable itself, and the one way a name is joined to a folder.

#include <QByteArray>
#include <QString>

struct Program_folder {
    QByteArray bytes;  // the folder as the file system names it, no trailing "/"
    QString path;      // the folder with exactly one trailing "/"
    // False when the folder could not be found, or when its name holds bytes
    // that no file name of this program can reproduce (a Shift_JIS name
    // copied from Windows): every path built from it would name another file.
    bool nameable = false;
};

// The real folder of the executable at exe_path, links followed
// ("/proc/self/exe" gives the running program's).
Program_folder Program_folder_of(const QByteArray& exe_path);

// The name inside the folder, with one "/" between them whether or not the
// folder ends with one ("/" and "sorane.txt" give "/sorane.txt").
QString In_folder(const QString& folder, const QString& name);

// The folder with exactly one trailing "/" ("/" stays "/"; empty stays
// empty).
QString Folder_with_slash(const QString& folder);

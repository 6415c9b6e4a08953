#include "diary/program_folder.h"

#include <QFile>
#include <climits>
#include <cstdlib>

Program_folder Program_folder_of(const QByteArray& exe_path)
{
    Program_folder out;
    char resolved[PATH_MAX];
    if (!::realpath(exe_path.constData(), resolved))
        return out;
    const QByteArray real(resolved);
    const qsizetype slash = real.lastIndexOf('/');
    if (slash < 0)
        return out;
    out.bytes = slash == 0 ? QByteArray("/") : real.left(slash);
    const QString decoded = QFile::decodeName(out.bytes);
    // The name must come back as the same bytes, or the diary would read and
    // write somewhere else than beside the program.
    out.nameable = !decoded.isEmpty() && QFile::encodeName(decoded) == out.bytes;
    out.path = out.nameable ? Folder_with_slash(decoded) : QString();
    return out;
}

QString Folder_with_slash(const QString& folder)
{
    if (folder.isEmpty())
        return folder;  // no folder: never taken for the root folder
    QString out = folder;
    while (out.size() > 1 && out.endsWith(QLatin1Char('/')))
        out.chop(1);
    if (!out.endsWith(QLatin1Char('/')))
        out += QLatin1Char('/');
    return out;
}

QString In_folder(const QString& folder, const QString& name)
{
    return Folder_with_slash(folder) + name;
}

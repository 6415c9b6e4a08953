#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

Temp_folder::Temp_folder() = default;

QByteArray Hex(const char* hex)
{
    QByteArray digits(hex);
    digits.replace(' ', "").replace('\n', "");
    return QByteArray::fromHex(digits);
}

QByteArray Read_bytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QMap<QString, QByteArray> File_tree(const QString& root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.insert(path.mid(root.size()),
                   it.fileInfo().isDir() ? QByteArray("<dir>") : Read_bytes(path));
    }
    return out;
}

bool Write_bytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

int Mode_of(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Ini(const QList<QByteArray>& head)
{
    QByteArray out;
    for (const QByteArray& line : head)
        out += line + "\r\n";
    for (int i = 1; i <= 20; ++i)
        out += "spare" + QByteArray::number(i) + "\r\n";
    return out;
}

bool Rerun_as_nobody(QString& failure)
{
    if (::geteuid() != 0)
        return false;
    QProcess child;
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                 QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                 QString::fromLatin1(QTest::currentTestFunction())});
    if (!child.waitForFinished(60000))
        failure = QStringLiteral("the run as nobody did not end");
    else if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        failure =
            QString::fromLocal8Bit(child.readAllStandardOutput() + child.readAllStandardError());
    return true;
}

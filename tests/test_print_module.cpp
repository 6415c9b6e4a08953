// The print module loaded as the program loads it, from beside the program:
// this test links no printing code of its own. A copy of it runs in a
// folder of its own, first without the module beside it, then with bytes
// that are no library there, and the module put back while it runs.

#include "support/temp_folder.h"
#include "ui/print_module.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <cstdio>

namespace {

bool Print_support_mapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6PrintSupport");
}

// The copy's part: asks for the module, then once more after the file named
// by its argument was copied beside it; tells what it found on stdout.
int Run_copy(const QString& module)
{
    QString out = Print_support_mapped() ? QStringLiteral("mapped at start\n") : QString();
    for (int attempt = 0; attempt < 2; ++attempt) {
        QString failure;
        const Print_calls* calls = Print_module(failure);
        out += calls ? QStringLiteral("loaded %1 %2\n")
                           .arg(calls->version)
                           .arg(Print_support_mapped() ? "mapped" : "not mapped")
                     : failure + QLatin1Char('\n');
        if (attempt == 0 && !module.isEmpty())
            QFile::copy(module, QCoreApplication::applicationDirPath() + "/sorane-print.so");
    }
    std::fputs(out.toUtf8().constData(), stdout);
    return 0;
}

}  // namespace

class Test_print_module : public QObject {
    Q_OBJECT

    // What the copy of this program tells, run in folder with module (a
    // file or nothing) put beside it on its second attempt.
    QString Copy_tells(const Temp_folder& folder, const QString& module)
    {
        const QString program = folder.File(QStringLiteral("test_print_module"));
        QFile::remove(program);
        [&] { QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program)); }();
        QProcess copy;
        copy.start(program, {QStringLiteral("--copy"), module});
        [&] { QVERIFY(copy.waitForFinished(60000)); }();
        return QString::fromUtf8(copy.readAllStandardOutput());
    }
    static QString Failure(const Temp_folder& folder, const QString& reason)
    {
        return QStringLiteral(
                   "印刷の部品を読み込めなかったため、印刷できません。\n%1\n%2\n"
                   "ソラネを入れ直してから、もう一度お試しください。日記はそのままです。\n")
            .arg(folder.File(QStringLiteral("sorane-print.so")), reason);
    }

private slots:
    void Printing_is_loaded_from_beside_the_program_at_first_use()
    {
        Temp_folder folder;
        const QString told = Copy_tells(folder, QStringLiteral(SORANE_PRINT_MODULE_FILE));
        // The first attempt finds nothing; the module put back is loaded at
        // the next, and Qt Print Support with it, not before.
        QCOMPARE(told, Failure(folder, QStringLiteral("ファイルがありません。")) +
                           QStringLiteral("loaded %1 mapped\n").arg(Print_calls_version));
    }

    void Bytes_that_are_no_library_are_told_and_never_run()
    {
        Temp_folder folder;
        QVERIFY(Write_bytes(folder.File(QStringLiteral("sorane-print.so")), "not a library"));
        const QString told = Copy_tells(folder, QString());
        const QStringList lines = told.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 9);
        QVERIFY2(!lines[2].isEmpty(), qPrintable(told));
        QCOMPARE(told, Failure(folder, lines[2]) + Failure(folder, lines[2]));
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "--copy")
        return Run_copy(argc >= 3 ? QString::fromLocal8Bit(argv[2]) : QString());
    Test_print_module test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_print_module.moc"

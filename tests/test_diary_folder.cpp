// Where the diary lives: the command line, the environment, the program's
// own folder, the home folder; and the folder made at the first start.

#include "diary/program_folder.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <cerrno>

namespace {

Diary_folder_inputs Inputs(const QString& program_folder, const QString& home)
{
    Diary_folder_inputs inputs;
    inputs.home = QFile::encodeName(home);
    inputs.working_folder = "/work/here";
    inputs.program = Program_folder_of(QFile::encodeName(program_folder + "sorane"));
    return inputs;
}

}  // namespace

class Test_diary_folder : public QObject {
    Q_OBJECT

private slots:
    void A_folder_named_by_the_user_comes_first()
    {
        Temp_folder own;
        QVERIFY(Write_bytes(own.File("sorane"), "x"));
        QVERIFY(Write_bytes(own.File("sorane.ini"), "x"));
        Diary_folder_inputs inputs = Inputs(own.Path(), QStringLiteral("/home/u"));
        inputs.sorane_home = "/srv/from-env";

        inputs.arguments = {"--diary", "/srv/arg"};
        Diary_folder_choice choice = Choose_diary_folder(inputs);
        QCOMPARE(choice.bytes, QByteArray("/srv/arg"));
        QCOMPARE(choice.source, Diary_folder_source::Argument);

        inputs.arguments = {"-style", "fusion", "--diary=relative/d"};
        QCOMPARE(Choose_diary_folder(inputs).bytes, QByteArray("/work/here/relative/d"));

        // "--diary" with nothing after it names no folder: never the
        // program's or the home folder in its place.
        inputs.arguments = {"--diary"};
        choice = Choose_diary_folder(inputs);
        QVERIFY(choice.bytes.isEmpty());
        QCOMPARE(choice.source, Diary_folder_source::Argument);
        Io_result failure;
        QVERIFY(!Open_diary_folder(choice.bytes, failure).nameable);

        // The environment, even beside a program folder holding a diary.
        inputs.arguments.clear();
        choice = Choose_diary_folder(inputs);
        QCOMPARE(choice.bytes, QByteArray("/srv/from-env"));
        QCOMPARE(choice.source, Diary_folder_source::Environment);
    }

    void A_per_user_install_keeps_the_diary_beside_the_program()
    {
        Temp_folder own;
        QVERIFY(Write_bytes(own.File("sorane"), "x"));
        const Diary_folder_choice choice =
            Choose_diary_folder(Inputs(own.Path(), QStringLiteral("/home/u")));
        QCOMPARE(choice.source, Diary_folder_source::Program);
        QCOMPARE(QFile::decodeName(choice.bytes) + '/', own.Path());
    }

    void A_program_in_a_system_folder_uses_the_home_folder()
    {
        // Even for root, who could write into /usr/bin.
        Diary_folder_inputs inputs = Inputs(QStringLiteral("/tmp/"), QStringLiteral("/home/u"));
        inputs.program = Program_folder_of("/usr/bin/env");
        QCOMPARE(inputs.program.bytes, QByteArray("/usr/bin"));
        Diary_folder_choice choice = Choose_diary_folder(inputs);
        QCOMPARE(choice.bytes, QByteArray("/home/u/sorane"));
        QCOMPARE(choice.source, Diary_folder_source::Home);

        inputs.home = "/";
        QCOMPARE(Choose_diary_folder(inputs).bytes, QByteArray("/sorane"));
        // No home folder to go to: no folder, rather than one in the
        // working folder.
        inputs.home.clear();
        QVERIFY(Choose_diary_folder(inputs).bytes.isEmpty());
        inputs.home = "relative";
        QVERIFY(Choose_diary_folder(inputs).bytes.isEmpty());
    }

    void A_read_only_program_folder_is_the_diary_only_when_it_holds_one()
    {
        // Permissions do not bind root: the case runs again as nobody.
        if (QString failure; Rerun_as_nobody(failure)) {
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        Temp_folder own;
        QVERIFY(Write_bytes(own.File("sorane"), "x"));
        QVERIFY(QFile::setPermissions(own.Path(), QFile::ReadOwner | QFile::ExeOwner));
        const Diary_folder_inputs inputs = Inputs(own.Path(), QStringLiteral("/home/u"));
        QCOMPARE(Choose_diary_folder(inputs).bytes, QByteArray("/home/u/sorane"));

        // A diary from Windows on a read-only medium, with the program: used
        // in place.
        QVERIFY(QFile::setPermissions(own.Path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(Write_bytes(own.File("sorane.ini"), "x"));
        QVERIFY(QFile::setPermissions(own.Path(), QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(Choose_diary_folder(inputs).source, Diary_folder_source::Program);
        QVERIFY(QFile::setPermissions(own.Path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void The_first_start_makes_the_folder_for_the_user_alone()
    {
        Temp_folder base;
        const QByteArray root = QFile::encodeName(base.Path());
        Io_result failure;
        const Program_folder made = Open_diary_folder(root + "new/sorane", failure);
        QVERIFY(failure.Ok());
        QVERIFY(made.nameable);
        QCOMPARE(made.path, base.Path() + "new/sorane/");
        QCOMPARE(Mode_of(base.File("new/sorane")), 0700);

        // A folder already there keeps its mode and its files; through a
        // link, the real folder is named.
        QVERIFY(QDir().mkpath(base.File("shared")));
        QVERIFY(QFile::setPermissions(base.File("shared"), QFile::ReadOwner | QFile::WriteOwner |
                                                               QFile::ExeOwner | QFile::ReadGroup |
                                                               QFile::ExeGroup));
        QVERIFY(Write_bytes(base.File("shared/sorane.ini"), "keep"));
        QVERIFY(QFile::link(base.File("shared"), base.File("link")));
        const Program_folder linked = Open_diary_folder(root + "link", failure);
        QVERIFY(linked.nameable);
        QCOMPARE(linked.path, base.Path() + "shared/");
        QCOMPARE(Mode_of(base.File("shared")), 0750);
        QCOMPARE(Read_bytes(base.File("shared/sorane.ini")), QByteArray("keep"));

        // A file in the way is never taken for the folder.
        QVERIFY(Write_bytes(base.File("file"), "x"));
        QVERIFY(!Open_diary_folder(root + "file", failure).nameable);
        QCOMPARE(failure.step, Io_step::Not_a_folder);
        QCOMPARE(failure.path, base.File("file"));
        failure = {};
        const Program_folder below = Open_diary_folder(root + "file/sorane", failure);
        QVERIFY(!below.nameable);
        QVERIFY(below.path.isEmpty());
        QCOMPARE(failure.step, Io_step::Make_folder);
        QCOMPARE(failure.error_number, ENOTDIR);
        QCOMPARE(failure.path, base.File("file/sorane"));
    }
};

QTEST_GUILESS_MAIN(Test_diary_folder)
#include "test_diary_folder.moc"

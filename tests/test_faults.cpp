// One case of each kind the fault campaign (scripts/faults) runs by the
// hundred: an injected failure, a kill, a folder the program may not write,
// and damaged files of each family. The real main window runs in
// fault_driver on a diary folder written here as bytes, as the day before
// left it; files are compared whole.

#include "store/exact_text.h"
#include "store/safe_replace.h"
#include "support/temp_folder.h"
#include "ui/io_message.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

const QDate Today = QDate::currentDate();
const QDate Yesterday = Today.addDays(-1);

QString Key(QDate d) { return d.toString(QStringLiteral("yyyy/MM/dd")); }
QString Day_name(QDate d) { return d.toString(QStringLiteral("MMdd")) + QStringLiteral(".txt"); }

QByteArray Settings_bytes(QDate last_run)
{
    QByteArray out = "0\r\n4590\r\n9645\r\n7020\r\n9510\r\nnomal\r\n1\r\n";
    out += Key(last_run).toLatin1() + "\r\n" + Key(last_run).toLatin1() + "\r\nsumi\r\n";
    for (int i = 1; i <= 20; ++i)
        out += "spare" + QByteArray::number(i) + "\r\n";
    return out;
}

// 昨日のわたしから。 (the message waiting in tomorrow.txt)
const QByteArray Waiting_message =
    Hex("8f 80 93 fa 82 cc 82 ed 82 bd 82 b5 82 a9 82 e7 81 42 0d 0a");
// 一昨日。 (the message received the day before)
const QByteArray Old_message = Hex("88 ea 8d ec 93 fa 81 42 0d 0a");
// 朝のうちに。 (today's day file as the morning left it)
const QByteArray Morning_text = Hex("92 a9 82 cc 82 a4 82 bf 82 c9 81 42 0d 0a");
// 豆まき。
const QByteArray Other_text = Hex("93 a4 82 dc 82 ab 81 42 0d 0a");

struct Run {
    int exit_code = -1;
    bool crashed = true;
    QStringList lines;
    QStringList Boxes() const { return lines.filter(QRegularExpression(QStringLiteral("^BOX "))); }
    bool Ended() const { return lines.contains(QStringLiteral("DONE ended=1")); }
};

Run Drive(const QStringList& prefix, const QString& folder,
          const QString& mode = QStringLiteral("scenario"))
{
    QStringList command = prefix;
    command << QStringLiteral(FAULT_DRIVER) << folder << Today.toString(Qt::ISODate) << mode;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(command.takeFirst(), command);
    Run r;
    if (!process.waitForStarted(10000) || !process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return r;
    }
    r.crashed = process.exitStatus() != QProcess::NormalExit;
    r.exit_code = process.exitCode();
    r.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    return r;
}

QStringList Leftovers(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, {QStringLiteral(".sorane-tmp-*")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    return out;
}

}  // namespace

class Test_faults : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Temp_folder> folder;
    QString year;
    QString day_path;    // today's day file, relative
    QString other_path;  // 3 February of this year, relative

    QString At(const QString& relative) const { return folder->File(relative); }
    QByteArray Index_bytes() const
    {
        return Key(Today).toLatin1() + "0" + Hex("89 ba 8f 91 82 ab") + "\r\n" +  // 下書き
               year.toLatin1() + "/02/030\r\n";
    }
    // The diary as yesterday's run left it; every file dated yesterday.
    void Seed()
    {
        QDir().mkpath(At(year));
        const QList<QPair<QString, QByteArray>> files = {
            {"sorane.ini", Settings_bytes(Yesterday)},
            {"tomorrow.txt", Waiting_message},
            {"yesterda.txt", Old_message},
            {year + "/keyword.txt", Index_bytes()},
            {day_path, Morning_text},
            {other_path, Other_text},
            // No start-of-day backup: its thread's
            // renames would race with the counted ones.
            {"sorane-linux.ini", "[backup]\ndaily=false\n"}};
        const QDateTime stamp(Yesterday, QTime(20, 0));
        for (const auto& [relative, bytes] : files) {
            QVERIFY(Write_bytes(At(relative), bytes));
            const utimbuf times{stamp.toSecsSinceEpoch(), stamp.toSecsSinceEpoch()};
            QCOMPARE(::utime(QFile::encodeName(At(relative)).constData(), &times), 0);
        }
    }
    QString Strace_skip()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
            return QStringLiteral("strace is not installed");
        QProcess p;
        p.start(QStringLiteral("strace"), {"-o", "/dev/null", "true"});
        if (!p.waitForFinished(10000) || p.exitCode() != 0)
            return QStringLiteral("strace cannot trace here");
        return {};
    }

private slots:
    void init()
    {
        folder = std::make_unique<Temp_folder>();
        QVERIFY(folder->Ok());
        year = QString::number(Today.year());
        day_path = year + QLatin1Char('/') + Day_name(Today);
        other_path = year + QStringLiteral("/0203.txt");
        if (day_path == other_path)
            other_path = year + QStringLiteral("/0204.txt");
        Seed();
    }

    // The disk refuses to put today's day file in place (the fifth rename:
    // the hand-over's record, settings, hand-over, index, day file; the
    // version's index lines are kept by a link, with no rename). The user is told which file
    // and why, the old text stays whole until the retry, and a second
    // run on what was left ends without a single failure.
    void Injected_failure_is_told_and_the_old_file_stays_whole()
    {
        if (const QString skip = Strace_skip(); !skip.isEmpty())
            QSKIP(qPrintable(skip));
        const Run run = Drive({"strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=rename", "-e",
                               "inject=rename:error=EACCES:when=5"},
                              folder->Path());
        QVERIFY(!run.crashed);
        QVERIFY2(run.Ended(), qPrintable(run.lines.join('\n')));
        QCOMPARE(
            run.Boxes(),
            QStringList({QStringLiteral("BOX 2/0 メモと思い出は保存しましたが、本文は保存できません"
                                        "でした。 | ファイル: %1 | "
                                        "理由: このファイルを扱う権限がありません。")
                             .arg(At(day_path))}));
        QCOMPARE(Read_bytes(At(other_path)), Other_text);
        QCOMPARE(Read_bytes(At("yesterda.txt")), Waiting_message);
        QCOMPARE(Leftovers(folder->Path()), QStringList());

        const Run again = Drive({}, folder->Path());
        QVERIFY(again.Ended());
        QVERIFY2(again.Boxes().isEmpty(), qPrintable(again.Boxes().join('\n')));
    }

    // Killed between recording today's start and handing tomorrow's message
    // over (the third rename, after the hand-over's record and the settings). The next start hands the waiting message
    // over and greets with it, instead of showing it as today's draft.
    void Killed_before_the_hand_over_the_next_start_hands_over()
    {
        if (const QString skip = Strace_skip(); !skip.isEmpty())
            QSKIP(qPrintable(skip));
        const Run killed = Drive({"strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=rename",
                                  "-e", "inject=rename:signal=KILL:when=3"},
                                 folder->Path());
        QVERIFY(!killed.Ended());
        QCOMPARE(Read_bytes(At("tomorrow.txt")), Waiting_message);
        QCOMPARE(Read_bytes(At("yesterda.txt")), Old_message);
        QVERIFY(Read_bytes(At("sorane.ini")).contains(Key(Today).toLatin1()));

        const Run next = Drive({}, folder->Path());
        QVERIFY(next.Ended());
        QVERIFY2(next.Boxes().isEmpty(), qPrintable(next.Boxes().join('\n')));
        QCOMPARE(next.lines.filter(QStringLiteral("GREETING")).size(), 1);
        QCOMPARE(Read_bytes(At("yesterda.txt")), Waiting_message);
        QCOMPARE(Read_bytes(At(other_path)), Other_text);
        QCOMPARE(Leftovers(folder->Path()), QStringList());
    }

    // The disk fails the first sync of one path: the hand-over's record, the
    // year folder after the index took the new record, or today's history
    // folder after the old version's record went in. Nothing of the day or
    // the messages may go missing, and the retry and the next run must not
    // take this program's own write for a change made elsewhere.
    void A_failed_sync_is_neither_a_loss_nor_a_conflict_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("box");
        QTest::newRow("the hand-over's record")
            << QStringLiteral(".sorane-handover")
            << QStringLiteral("メッセージの受け渡しの記録を、ディスクに書けませんでした。");
        QTest::newRow("the year folder after the index")
            << QStringLiteral("YEAR") << QStringLiteral("日記を保存できませんでした。");
        QTest::newRow("the history's folder of the day")
            << QStringLiteral("HISTORY")
            << QStringLiteral("の以前の版を、履歴に残せませんでした。");
    }
    void A_failed_sync_is_neither_a_loss_nor_a_conflict()
    {
        QFETCH(QString, path);
        QFETCH(QString, box);
        if (const QString skip = Strace_skip(); !skip.isEmpty())
            QSKIP(qPrintable(skip));
        const QString history_day =
            QStringLiteral("history/%1/%2").arg(year, Today.toString(QStringLiteral("MMdd")));
        const QString traced = path == QLatin1String("YEAR") ? At(year) : At(history_day);
        // The record is the first file a start writes; its data go through a
        // temporary name, so its first data sync is the run's first.
        const bool record = path == QLatin1String(".sorane-handover");
        const QString call = record ? QStringLiteral("fdatasync") : QStringLiteral("fsync");
        QStringList strace = {"strace", "-f", "-qq", "-o", "/dev/null"};
        if (!record)
            strace << "-P" << traced;
        const Run run = Drive(strace << "-e"
                                     << "trace=" + call << "-e"
                                     << "inject=" + call + ":error=EIO:when=1",
                              folder->Path());
        QVERIFY2(run.Ended(), qPrintable(run.lines.join('\n')));
        QVERIFY2(!run.Boxes().filter(box).isEmpty(), qPrintable(run.Boxes().join('\n')));
        QVERIFY2(run.Boxes().filter(QStringLiteral("書き換えられています")).isEmpty(),
                 qPrintable(run.Boxes().join('\n')));

        const Run next = Drive({}, folder->Path());
        QVERIFY(next.Ended());
        QVERIFY2(next.Boxes().isEmpty(), qPrintable(next.Boxes().join('\n')));
        // The message of yesterday was handed over, now or at this start.
        QCOMPARE(Read_bytes(At("yesterda.txt")), Waiting_message);
        QDirIterator it(folder->Path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        bool morning_kept = false;
        while (it.hasNext()) {
            const QString file = it.next();
            QVERIFY2(!file.contains(QStringLiteral(".conflict-")), qPrintable(file));
            morning_kept |= file.contains(history_day) && Read_bytes(file) == Morning_text;
        }
        QVERIFY(morning_kept);
        QVERIFY(!QFileInfo::exists(At(".sorane-handover")));
    }

    // A save of a day with characters code page 932 cannot hold, killed at
    // each of its renames (after the hand-over's record, the settings and
    // the hand-over): the history's copy of the day's old record (and of its
    // old exact text), the staged exact text, the index, the day file, the exact text's own name. Each part of the day reads old or new, exactly;
    // the new exact text is never lost; the next run tells no failure.
    void A_save_with_exact_text_killed_at_each_step_data()
    {
        QTest::addColumn<int>("rename");
        QTest::addColumn<bool>("new_memo");
        QTest::addColumn<bool>("new_text");
        QTest::addColumn<bool>("old_exact");  // the morning's text has an emoji too
        for (const bool old_exact : {false, true}) {
            const char* old = old_exact ? ", old exact" : "";
            // The history keeps the morning's exact text too, by a rename
            // of its own; the version's index lines are a link, no rename.
            const int kept = old_exact ? 1 : 0;
            if (old_exact)
                QTest::addRow("before the history's exact text%s", old)
                    << 4 << false << false << true;
            QTest::addRow("before the staged exact text%s", old)
                << 4 + kept << false << false << old_exact;
            QTest::addRow("before the index%s", old) << 5 + kept << false << false << old_exact;
            QTest::addRow("before the day file%s", old) << 6 + kept << true << false << old_exact;
            QTest::addRow("before the exact text's name%s", old)
                << 7 + kept << true << true << old_exact;
        }
    }
    void A_save_with_exact_text_killed_at_each_step()
    {
        QFETCH(int, rename);
        QFETCH(bool, new_memo);
        QFETCH(bool, new_text);
        QFETCH(bool, old_exact);
        if (const QString skip = Strace_skip(); !skip.isEmpty())
            QSKIP(qPrintable(skip));
        // 朝のうちに😀 as the morning saved it: 朝のうちに? and its companion.
        const QString old_text =
            old_exact ? QStringLiteral("朝のうちに😀") : QStringLiteral("朝のうちに。");
        if (old_exact) {
            QVERIFY(Write_bytes(At(day_path), Hex("92 a9 82 cc 82 a4 82 bf 82 c9 3f 0d 0a")));
            QVERIFY(Write_bytes(Companion_path(At(day_path)),
                                (QStringLiteral("下書き\n") + old_text).toUtf8()));
        }
        const QString text = QStringLiteral("絵文字😀と𠮷野家とcafé\n二行目");
        const QString memo = QStringLiteral("誕生日🎂");
        const QByteArray exact = (memo + QLatin1Char('\n') + text).toUtf8();
        const Run killed =
            Drive({"strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=rename", "-e",
                   QStringLiteral("inject=rename:signal=KILL:when=%1").arg(rename)},
                  folder->Path(), QStringLiteral("chars"));
        QVERIFY(!killed.Ended());
        auto check_day = [&] {
            Diary_store store(folder->Path());
            const Exact_day day = Read_exact_day(store, Today.year(), Today.month(), Today.day());
            QCOMPARE(day.text, new_text ? text : old_text);
            QCOMPARE(day.memo, new_memo ? memo : QStringLiteral("下書き"));
            QCOMPARE(day.flag, new_memo);
        };
        auto exact_kept = [&] {
            QDirIterator it(At(year), QDir::Files);
            while (it.hasNext()) {
                if (Read_bytes(it.next()) == exact)
                    return true;
            }
            return false;
        };
        check_day();
        QCOMPARE(exact_kept(), rename > (old_exact ? 5 : 4));

        const Run next = Drive({}, folder->Path(), QStringLiteral("view"));
        QVERIFY(next.Ended());
        QVERIFY2(next.Boxes().isEmpty(), qPrintable(next.Boxes().join('\n')));
        check_day();
        QCOMPARE(exact_kept(), rename > (old_exact ? 5 : 4));
        QCOMPARE(Read_bytes(At(other_path)), Other_text);
    }

    // The index and the day file of a save share one sync of their folder:
    // a power cut before it may keep either rename without the other. Both
    // mixes as such a cut leaves them: the run killed at that sync (after
    // both renames), then one file given back its old bytes. The day reads
    // each part old or new, with its exact characters; the version replaced
    // is in the history; the next run tells no failure and takes nothing for
    // a change made elsewhere.
    void A_power_cut_keeps_one_of_the_two_renames_data()
    {
        QTest::addColumn<bool>("index_kept");
        QTest::newRow("the day file's rename kept, the index's lost") << false;
        QTest::newRow("the index's rename kept, the day file's lost") << true;
    }
    void A_power_cut_keeps_one_of_the_two_renames()
    {
        QFETCH(bool, index_kept);
        if (const QString skip = Strace_skip(); !skip.isEmpty())
            QSKIP(qPrintable(skip));
        // The year folder's syncs in this run: the staged exact text's, then
        // the one for the index and the day file.
        const Run killed = Drive({"strace", "-f", "-qq", "-o", "/dev/null", "-P", At(year), "-e",
                                  "trace=fsync", "-e", "inject=fsync:signal=KILL:when=2"},
                                 folder->Path(), QStringLiteral("chars"));
        QVERIFY(!killed.Ended());
        const QString text = QStringLiteral("絵文字😀と𠮷野家とcafé\n二行目");
        const QString memo = QStringLiteral("誕生日🎂");
        {
            Diary_store store(folder->Path());
            const Exact_day both = Read_exact_day(store, Today.year(), Today.month(), Today.day());
            QCOMPARE(both.text, text);
            QCOMPARE(both.memo, memo);
        }
        if (index_kept)
            QVERIFY(Write_bytes(At(day_path), Morning_text));
        else
            QVERIFY(Write_bytes(At(year + "/keyword.txt"), Index_bytes()));
        auto check_day = [&] {
            Diary_store store(folder->Path());
            const Exact_day day = Read_exact_day(store, Today.year(), Today.month(), Today.day());
            QCOMPARE(day.text, index_kept ? QStringLiteral("朝のうちに。") : text);
            QCOMPARE(day.memo, index_kept ? memo : QStringLiteral("下書き"));
            QCOMPARE(day.flag, index_kept);
        };
        check_day();
        const QString history_day =
            QStringLiteral("history/%1/%2").arg(year, Today.toString(QStringLiteral("MMdd")));
        QStringList kept;
        for (const QString& name : QDir(At(history_day)).entryList(QDir::Files))
            kept << QString::fromLatin1(Read_bytes(At(history_day + '/' + name)).toHex());
        QVERIFY(kept.contains(QString::fromLatin1(Morning_text.toHex())));
        // The version's index lines: the old index itself, linked whole.
        QVERIFY(kept.contains(QString::fromLatin1(Index_bytes().toHex())));

        const Run next = Drive({}, folder->Path(), QStringLiteral("view"));
        QVERIFY(next.Ended());
        QVERIFY2(next.Boxes().isEmpty(), qPrintable(next.Boxes().join('\n')));
        check_day();
        QCOMPARE(Read_bytes(At(other_path)), Other_text);
        QVERIFY(QDir(At(year)).entryList({"*.conflict-*"}, QDir::Files).isEmpty());
    }

    // As an ordinary user, today's day file is read-only: the save is
    // refused with the file named, the file keeps its bytes, and every
    // other day is saved.
    void Read_only_day_file_as_an_ordinary_user()
    {
        const passwd* nobody = ::getpwnam("nobody");
        if (::geteuid() != 0 || !nobody ||
            QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("needs root to set up, the user nobody and setpriv");
        QDirIterator it(folder->Path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        QVERIFY(::chown(QFile::encodeName(folder->Path()).constData(), nobody->pw_uid,
                        nobody->pw_gid) == 0);
        while (it.hasNext())
            QVERIFY(::chown(QFile::encodeName(it.next()).constData(), nobody->pw_uid,
                            nobody->pw_gid) == 0);
        QVERIFY(::chmod(QFile::encodeName(At(day_path)).constData(), 0444) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder->Path()).constData(), 0755) == 0);
        // The temporary folder's parent must let nobody through.
        QDir parent(folder->Path());
        parent.cdUp();
        ::chmod(QFile::encodeName(parent.path()).constData(), 01777);

        const Run run = Drive({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"},
                              folder->Path());
        QVERIFY(!run.crashed);
        const QString refused = QStringLiteral("メモと思い出は保存しましたが、本文は保存できません"
                                               "でした。 | ファイル: %1 | "
                                               "理由: ファイルが読み取り専用になっています。")
                                    .arg(At(day_path));
        QVERIFY2(run.Boxes().filter(refused).size() >= 2, qPrintable(run.Boxes().join('\n')));
        QCOMPARE(Read_bytes(At(day_path)), Morning_text);
        QCOMPARE(Read_bytes(At("yesterda.txt")), Waiting_message);
        QVERIFY(Read_bytes(At(year + QLatin1Char('/') +
                              Today.addDays(Today.day() < 28 ? 1 : -1).toString("MMdd") + ".txt"))
                    .size() > 0);
        QCOMPARE(Leftovers(folder->Path()), QStringList());
    }

    // Damaged files of each family are shown, never crash, and are not
    // written back when nothing was typed; a damaged settings file is
    // written back whole with its first values.
    void Not_a_regular_file_of_each_kind_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("pipe");  // a named pipe; otherwise a link to /dev/zero
        QTest::newRow("pipe as today's day file") << QStringLiteral("DAY") << true;
        QTest::newRow("pipe as the reference day") << QStringLiteral("REFERENCE") << true;
        QTest::newRow("pipe as the settings file") << QStringLiteral("sorane.ini") << true;
        QTest::newRow("today's day file a link to /dev/zero") << QStringLiteral("DAY") << false;
    }
    void Not_a_regular_file_of_each_kind()
    {
        QFETCH(QString, file);
        QFETCH(bool, pipe);
        if (file == QLatin1String("DAY"))
            file = day_path;
        else if (file == QLatin1String("REFERENCE"))
            file = QString::number(Today.year() - 1) + QLatin1Char('/') + Day_name(Today);
        QDir().mkpath(QFileInfo(At(file)).path());
        QFile::remove(At(file));
        const QByteArray name = QFile::encodeName(At(file));
        if (pipe)
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        else
            QCOMPARE(::symlink("/dev/zero", name.constData()), 0);
        const Run run = Drive({}, folder->Path(), QStringLiteral("view"));
        QVERIFY(!run.crashed);
        QVERIFY2(run.Ended(), qPrintable(run.lines.join('\n')));
        const QString reason =
            pipe ? QStringLiteral("ファイルの場所に、ふつうのファイルではないもの"
                                  "（名前付きパイプやデバイス）があります。")
                 : QStringLiteral("ファイルの場所にリンクがあります。リンクの先は読みません。");
        QVERIFY2(!run.Boxes().filter(reason).isEmpty(), qPrintable(run.lines.join('\n')));
        struct stat st {};
        QCOMPARE(::lstat(name.constData(), &st), 0);
        QVERIFY(pipe ? S_ISFIFO(st.st_mode) : S_ISLNK(st.st_mode));
        QCOMPARE(Read_bytes(At(other_path)), Other_text);
        if (file == QLatin1String("sorane.ini")) {
            // Without settings nothing says whether the waiting message was
            // handed over: 明日へ (which the run opens with an empty box) must
            // not withdraw or write over a message written before today.
            QVERIFY2(!run.Boxes().filter(QStringLiteral("まだ受け渡せていません")).isEmpty(),
                     qPrintable(run.lines.join('\n')));
            QCOMPARE(Read_bytes(At("tomorrow.txt")), Waiting_message);
        }
    }

    void Failures_name_what_failed()
    {
        const QString path = QStringLiteral("/home/u/sorane/2026/1207.txt");
        const auto reason = [&path](Io_step step, int error_number) {
            return Io_reason(Io_result::Failure(step, error_number, path));
        };
        const QString folder_there =
            QStringLiteral("ファイルの場所に同じ名前のフォルダーがあります。");
        const QString file_there =
            QStringLiteral("フォルダーの場所に同じ名前のファイルがあります。");
        QCOMPARE(reason(Io_step::Not_a_file, EISDIR), folder_there);
        QCOMPARE(reason(Io_step::Open, EISDIR), folder_there);
        QCOMPARE(reason(Io_step::Not_a_folder, ENOTDIR), file_there);
        QCOMPARE(reason(Io_step::Open, ENOTDIR), file_there);
        QCOMPARE(reason(Io_step::Not_a_regular_file, EINVAL),
                 QStringLiteral("ファイルの場所に、ふつうのファイルではないもの"
                                "（名前付きパイプやデバイス）があります。"));
        QCOMPARE(reason(Io_step::Is_a_link, EINVAL),
                 QStringLiteral("ファイルの場所にリンクがあります。リンクは置き換えません。"));
        QCOMPARE(reason(Io_step::Too_large, EFBIG),
                 QStringLiteral("ファイルが大きすぎます（64MBを超えています）。"));

        // A folder the store could not make is called a folder.
        QVERIFY(Write_bytes(At("2030"), Other_text));
        const Io_result made = Make_folder(At("2030"));
        QCOMPARE(Io_message(QStringLiteral("フォルダーを作れませんでした。"), made),
                 QStringLiteral("フォルダーを作れませんでした。\nフォルダー: %1\n理由: %2")
                     .arg(At("2030"), file_there));
        QCOMPARE(Io_message(QStringLiteral("日記を保存できませんでした。"),
                            Io_result::Failure(Io_step::Write, ENOSPC, path)),
                 QStringLiteral("日記を保存できませんでした。\nファイル: %1\n"
                                "理由: ディスクがいっぱいです。")
                     .arg(path));
    }

    void Bad_files_of_each_family_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("index: ten characters only, NUL bytes, a lone CR")
            << QStringLiteral("INDEX")
            << (Key(Today).toLatin1() + "\r\n" + Key(Today).toLatin1() + "1\x00\x81\r\nA\rB\r\n");
        QTest::newRow("day file cut inside a two-byte character")
            << QStringLiteral("DAY") << Hex("93 72 92 86 82 c5 90 d8 82");
        QTest::newRow("message file of one byte") << QStringLiteral("tomorrow.txt") << Hex("82");
        QTest::newRow("settings: binary")
            << QStringLiteral("sorane.ini") << Hex("00 ff 0d 0d 0a 81 fe 7f 00 0a 0a 9a");
    }
    void Bad_files_of_each_family()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        if (file == QLatin1String("INDEX"))
            file = year + QStringLiteral("/keyword.txt");
        else if (file == QLatin1String("DAY"))
            file = day_path;
        QVERIFY(Write_bytes(At(file), bytes));
        const Run run = Drive({}, folder->Path(), QStringLiteral("view"));
        QVERIFY(!run.crashed);
        QVERIFY2(run.Ended(), qPrintable(run.lines.join('\n')));
        if (file == QLatin1String("sorane.ini")) {
            const QList<QByteArray> lines = Read_bytes(At(file)).split('\n');
            QCOMPARE(lines.size(), 31);
            QCOMPARE(lines.mid(0, 7), QList<QByteArray>({"0\r", "4590\r", "9645\r", "7020\r",
                                                         "9510\r", "nomal\r", "1\r"}));
        } else if (file == QLatin1String("tomorrow.txt")) {
            // A new day: the message was handed over as it was.
            QVERIFY(!QFile::exists(At(file)));
            QCOMPARE(Read_bytes(At("yesterda.txt")), bytes);
        } else {
            QCOMPARE(Read_bytes(At(file)), bytes);
        }
        QCOMPARE(Read_bytes(At(other_path)), Other_text);
    }
};

QTEST_MAIN(Test_faults)
#include "test_faults.moc"

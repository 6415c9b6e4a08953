// The command line run for real, without a display: the help and version,
// the option faults in Japanese, --add (bytes on disk, the history, the
// exact-text companion, and the hand-over to a window that holds the
// folder), --show, and --search's range and 思い出 filter; a window
// started without a runtime folder keeps Qt's note about it to itself; a
// program without its window's module still searches.

#include "diary/folder_lock.h"
#include "support/temp_folder.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

struct Run_result {
    int code = -1;
    QString out;
    QString err;
};

// 晴れ CR LF 散歩 CR LF, and the index record 2026/12/09, 思い出, memo 傘.
const QByteArray Day_bytes = Hex("90 b0 82 ea 0d 0a 8e 55 95 e0 0d 0a");
const QByteArray Record_bytes = Hex("32 30 32 36 2f 31 32 2f 30 39 31 8e 50 0d 0a");

}  // namespace

class Test_cli : public QObject {
    Q_OBJECT

    std::unique_ptr<Temp_folder> root;
    QString diary;  // the diary folder, made by each test that needs one

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "SORANE_HOME"})
            environment.remove(QString::fromLatin1(name));
        environment.insert("HOME", root->File("home"));
        environment.insert("XDG_RUNTIME_DIR", root->File("run"));
        environment.insert("XDG_CACHE_HOME", root->File("cache"));
        environment.insert("XDG_STATE_HOME", root->File("state"));
        return environment;
    }

    Run_result Run(const QStringList& arguments, const QByteArray& input = {},
                   const QString& program = QStringLiteral(SORANE_EXE))
    {
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.setWorkingDirectory(root->Path());
        process.start(program, arguments);
        process.write(input);
        process.closeWriteChannel();
        Run_result r;
        if (!process.waitForFinished(60000))
            return r;
        r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = QString::fromUtf8(process.readAllStandardOutput());
        r.err = QString::fromUtf8(process.readAllStandardError());
        return r;
    }

    void Small_diary()
    {
        QVERIFY(QDir().mkpath(diary + "2026") && QDir().mkpath(diary + "2025"));
        QVERIFY(Write_bytes(diary + "2026/1209.txt", Day_bytes));
        QVERIFY(Write_bytes(diary + "2026/keyword.txt",
                            Record_bytes + "2026/06/010\r\n"));             // 2026/06/01, no memo
        QVERIFY(Write_bytes(diary + "2026/0601.txt", Hex("89 4a 0d 0a")));  // 雨
        QVERIFY(Write_bytes(diary + "2025/0101.txt", Hex("89 4a 82 cc 93 fa")));  // 雨の日
        QVERIFY(Write_bytes(diary + "2025/keyword.txt", "2025/01/011\r\n"));
    }

private slots:
    void init()
    {
        root = std::make_unique<Temp_folder>();
        diary = root->File("diary/");
        QVERIFY(QDir().mkpath(root->File("home")) && QDir().mkpath(root->File("run")));
        QVERIFY(QFile::setPermissions(root->File("run"), QFileDevice::ReadOwner |
                                                             QFileDevice::WriteOwner |
                                                             QFileDevice::ExeOwner));
    }

    void Help_and_version_print_without_a_display_and_touch_no_diary()
    {
        const auto before = File_tree(root->Path());
        Run_result r = Run({"--help"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        for (const char* option : {"--add", "--show", "--search", "--export", "--diary", "--date",
                                   "--from", "--to", "--memory", "--force", "--version"})
            QVERIFY2(r.out.contains(QLatin1String(option)), option);
        QVERIFY(r.out.contains("日記の画面を開きます"));
        r = Run({"--version"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("ソラネ（sorane）2.0\n"));
        // Each command's help, wherever --help stands, also where a value
        // would be.
        const QList<QStringList> helps{{"--search", "--help"}, {"--help", "--search", "x"},
                                       {"--export", "--help"}, {"--export", "json", "out", "-h"},
                                       {"--add", "--help"},    {"--show", "2026/12/09", "--help"}};
        for (const QStringList& arguments : helps) {
            r = Run(arguments);
            QCOMPARE(r.code, 0);
            const QString command = arguments.contains("--help") && arguments[0] == "--help"
                                        ? arguments[1]
                                        : arguments[0];
            QVERIFY2(r.out.startsWith("使い方: sorane " + command), qPrintable(r.out));
            QVERIFY(r.out.contains("オプション:\n") && r.out.contains("--diary DIR"));
        }
        QCOMPARE(File_tree(root->Path()), before);
    }

    void Option_faults_are_told_in_japanese_with_exit_2()
    {
        Small_diary();
        const auto before = File_tree(root->Path());
        const QList<std::pair<QStringList, QString>> faults{
            {{"--bogus"}, "不明なオプションです: --bogus"},
            {{"-x"}, "不明なオプションです: -x"},
            {{"leftover"}, "余分な引数があります: leftover"},
            {{"--search", "雨", "--bogus=1"}, "不明なオプションです: --bogus"},
            {{"--search"}, "--search のあとに WORDS を指定してください。"},
            {{"--search", "雨", "--memory=yes"}, "--memory は値を取りません: --memory=yes"},
            {{"--add", "--date", "2026/12/09"}, "--add のあとに TEXT を指定してください。"},
            {{"--add", "x", "--date"}, "--date のあとに yyyy/mm/dd を指定してください。"},
            {{"--show", "--force"}, "不明なオプションです: --force"},
            {{"--export", "json"}, "書き出し先のフォルダーを一つ指定してください。"},
            {{"--add", "x", "--date", "2026/13/01"},
             "日付は 1990 から 2100 までの yyyy/mm/dd で指定してください: 2026/13/01"},
            {{"--show", "1989/12/31"},
             "日付は 1990 から 2100 までの yyyy/mm/dd で指定してください: 1989/12/31"},
            {{"--search", "雨", "--from", "2026/07/01", "--to", "2026/06/30"},
             "期間の始めの日が終わりの日より後になっています: --from 2026/07/01 --to 2026/06/30"},
        };
        for (const auto& [arguments, first_line] : faults) {
            const Run_result r = Run(arguments + QStringList{"--diary", diary});
            QCOMPARE(r.code, 2);
            QCOMPARE(r.err.section('\n', 0, 0), first_line);
            QVERIFY(r.out.isEmpty());
        }
        QCOMPARE(File_tree(root->Path()), before);
    }

    void Add_appends_a_paragraph_through_the_save()
    {
        Small_diary();
        Run_result r = Run({"--add", "ひとこと", "--date", "2026/12/09", "--diary", diary});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("2026/12/09 の日記に追加しました。\n"));
        // The old text ends with a line break: one more makes the blank line.
        const QByteArray once = Day_bytes + Hex("0d 0a 82 d0 82 c6 82 b1 82 c6 0d 0a");
        QCOMPARE(Read_bytes(diary + "2026/1209.txt"), once);
        // The memo and 思い出 stay: the index is as it was.
        QCOMPARE(Read_bytes(diary + "2026/keyword.txt"), Record_bytes + "2026/06/010\r\n");
        const QStringList kept = QDir(diary + "history/2026/1209").entryList({"*.txt"});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(Read_bytes(diary + "history/2026/1209/" + kept[0]), Day_bytes);

        // From standard input, CR LF and the final line breaks as a
        // terminal or an editor gives them.
        r = Run({"--add", "-", "--date", "2026-12-09", "--diary", diary}, "追記\r\n\r\n");
        QCOMPARE(r.code, 0);
        QCOMPARE(Read_bytes(diary + "2026/1209.txt"), once + Hex("0d 0a 92 c7 8b 4c 0d 0a"));

        // Today, in a year without a folder, with a character Shift_JIS
        // cannot hold: the day file has its substitute, the companion the
        // exact text, the index a record without memo.
        const QString today = QDate::currentDate().toString("yyyy/MM/dd");
        const QString year = today.left(4);
        const QString day_file = diary + year + "/" + QDate::currentDate().toString("MMdd");
        QVERIFY(QDir(diary + year).removeRecursively());
        r = Run({"--add", "𠮷野家", "--diary", diary});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("𠮷"), qPrintable(r.out));
        QCOMPARE(Read_bytes(day_file + ".txt"), QByteArray("?") + Hex("96 ec 89 c6 0d 0a"));
        QCOMPARE(Read_bytes(day_file + ".utf8.txt"), QByteArray("\n𠮷野家"));
        QCOMPARE(Read_bytes(diary + year + "/keyword.txt"), (today + "0\r\n").toLatin1());
    }

    void Two_additions_at_once_are_both_kept()
    {
        // Each holds the folder's lock in turn: neither writes over the
        // other's paragraph.
        Small_diary();
        QProcess shell;
        shell.setProcessEnvironment(Environment());
        shell.start("sh", {"-c",
                           "for t in a b c; do \"$0\" --add $t --date 2026/12/09 --diary \"$1\" "
                           ">/dev/null & done; wait",
                           QStringLiteral(SORANE_EXE), diary});
        QVERIFY(shell.waitForFinished(60000));
        const QByteArray day = Read_bytes(diary + "2026/1209.txt");
        QVERIFY2(day.startsWith(Day_bytes + "\r\n") && day.size() == Day_bytes.size() + 3 * 5,
                 day.constData());
        for (const char* t : {"\r\na\r\n", "\r\nb\r\n", "\r\nc\r\n"})
            QVERIFY(day.contains(t));
        QCOMPARE(QDir(diary + "history/2026/1209").entryList({"*.txt"}).size(), 3);
    }

    void Add_writes_nothing_it_cannot_write_whole()
    {
        Small_diary();
        const auto before = File_tree(diary);
        const QList<std::pair<QByteArray, QString>> inputs{
            {"", "加える文がありません。"},
            {"\r\n\n", "加える文がありません。"},
            {"\x82\xa0", "標準入力の文を UTF-8 として読めないため、追加しませんでした。"}};
        for (const auto& [input, first_line] : inputs) {
            const Run_result r = Run({"--add", "-", "--diary", diary}, input);
            QCOMPARE(r.code, 2);
            QCOMPARE(r.err.section('\n', 0, 0), first_line);
        }
        QCOMPARE(Run({"--add", "x", "--diary", root->File("none")}).err,
                 "日記のフォルダーがありません: " + root->File("none") + "\n");
        QCOMPARE(File_tree(diary), before);

        // A day that cannot be read is not written; the text read from
        // standard input is kept in a rescue file.
        QVERIFY(QFile::remove(diary + "2026/0601.txt") && QDir().mkpath(diary + "2026/0601.txt"));
        const Run_result r =
            Run({"--add", "-", "--date", "2026/06/01", "--diary", diary}, "消えない文\n");
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.startsWith("2026/06/01 の日記を読み込めないため、追加しませんでした。\n"
                                  "ファイル: " +
                                  diary + "2026/0601.txt"),
                 qPrintable(r.err));
        const QStringList rescues = QDir(diary).entryList({"sorane-rescue-*.txt"});
        QCOMPARE(rescues.size(), 1);
        QVERIFY(r.err.contains(rescues[0]));
        QVERIFY(Read_bytes(diary + rescues[0]).contains("消えない文"));
    }

    void Show_prints_the_exact_day_and_search_takes_a_range()
    {
        Small_diary();
        QVERIFY(Write_bytes(diary + "2026/1209.utf8.txt", "傘\n晴れ😀\n散歩"));
        QVERIFY(
            Write_bytes(diary + "2026/1209.txt", Hex("90 b0 82 ea 3f 0d 0a 8e 55 95 e0 0d 0a")));
        Run_result r = Run({"--show", "2026/12/09", "--diary", diary});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("2026/12/09\n思い出: あり\nメモ: 傘\n\n晴れ😀\n散歩\n"));
        r = Run({"--show=2025/01/01", "--diary", diary});
        QCOMPARE(r.out, QStringLiteral("2025/01/01\n思い出: あり\nメモ: \n\n雨の日\n"));
        r = Run({"--show", "2026/12/08", "--diary", diary});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err, QStringLiteral("2026/12/08 には何も書かれていません。\n"));

        const QStringList search{"--search", "雨", "--diary", diary};
        r = Run(search);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.count('\n'), 2);
        QVERIFY(r.out.startsWith("2025/01/01\t"));
        QCOMPARE(Run(search + QStringList{"--from", "2026/01/01"}).out.left(11), "2026/06/01\t");
        QCOMPARE(Run(search + QStringList{"--to", "2025-12-31"}).out.left(11), "2025/01/01\t");
        r = Run(search + QStringList{"--memory", "--from", "2025/01/02"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(Run(search + QStringList{"--memory"}).out.left(11), "2025/01/01\t");
    }

    void Add_while_a_window_holds_the_folder_is_written_once_by_the_window()
    {
        Small_diary();
        QProcess window;
        QProcessEnvironment environment = Environment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        window.setProcessEnvironment(environment);
        window.start(QStringLiteral(SORANE_EXE), {"--diary", diary});
        const QString server = Folder_lock(diary, root->File("run")).Server_path();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(server), 20000);
        // The window takes nothing before its start-up is done.
        Run_result r;
        QElapsedTimer waited;
        waited.start();
        do {
            r = Run({"--add", "画面へ", "--date", "2026/12/09", "--diary", diary});
        } while (r.code == 2 && r.err.contains("起動中") && waited.elapsed() < 20000);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out,
                 QStringLiteral("開いている日記の画面で、2026/12/09 の日記に追加しました。\n"));
        const QByteArray once = Day_bytes + Hex("0d 0a 89 e6 96 ca 82 d6 0d 0a");
        QCOMPARE(Read_bytes(diary + "2026/1209.txt"), once);
        QVERIFY(Read_bytes(diary + "2026/keyword.txt").startsWith(Record_bytes));
        QCOMPARE(QDir(diary + "history/2026/1209").entryList({"*.txt"}).size(), 1);

        window.terminate();
        QVERIFY(window.waitForFinished(20000));
        QCOMPARE(Read_bytes(diary + "2026/1209.txt"), once);
        // With the window gone, the command writes the day itself.
        QCOMPARE(Run({"--add", "後で", "--date", "2026/12/09", "--diary", diary}).out,
                 QStringLiteral("2026/12/09 の日記に追加しました。\n"));
    }

    // The export's files are renamed into place unsynced; each folder is
    // synced once, after every rename into it and before the export's record
    // is renamed, so that a crash never leaves a record naming files that
    // are not there.
    void Export_syncs_each_folder_once_before_its_record()
    {
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QSKIP("strace is not installed");
        Small_diary();
        QVERIFY(QDir().mkpath(diary + "2024"));
        QVERIFY(Write_bytes(diary + "2024/0301.txt", Hex("89 4a")));
        const QString out = root->File("out");
        const QString trace = root->File("export.trace");
        const Run_result r =
            Run({"-o", trace, "-f", "-y", "-e", "trace=fsync,rename,renameat,renameat2",
                 QStringLiteral(SORANE_EXE), "--export", "markdown", out, "--diary", diary},
                {}, strace);
        QCOMPARE(r.code, 0);
        QVERIFY(Read_bytes(out + "/2024.md").contains("雨"));
        QStringList renamed;    // names renamed into out, in order
        int synced_after = -1;  // how many were renamed when out was first synced
        int syncs = 0;
        for (const QString& line : QString::fromUtf8(Read_bytes(trace)).split(u'\n')) {
            if (line.contains(QLatin1String("fsync(")) && line.contains(out + ">")) {
                ++syncs;
                if (synced_after < 0)
                    synced_after = int(renamed.size());
            } else if (line.contains(QLatin1String("rename")) && !line.contains("= -1")) {
                const int to = line.lastIndexOf(out + "/");
                if (to >= 0)
                    renamed << line.mid(to + out.size() + 1).section(u'"', 0, 0);
            }
        }
        QCOMPARE(renamed, QStringList({"2024.md", "2025.md", "2026.md", ".sorane-export"}));
        QCOMPARE(synced_after, 3);  // after the years, before the record
        QCOMPARE(syncs, 2);         // and once more for the record
    }

    // The window lives in a module beside the program; the commands that
    // only read the diary run without it.
    void A_program_without_its_window_module_searches_and_tells_why_no_window_opens()
    {
        Small_diary();
        const QString program = root->File("bin/sorane");
        QVERIFY(QDir().mkpath(root->File("bin")) && QFile::copy(SORANE_EXE, program));
        const QString module = root->File("bin/sorane-window.so");
        const auto before = File_tree(diary);
        Run_result r = Run({"--search", "雨", "--diary", diary}, {}, program);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.startsWith("2025/01/01\t"), qPrintable(r.err));
        // With no index to read, the search made no cache folder either.
        QVERIFY(!QFileInfo::exists(root->File("cache")));
        const QString tail = QStringLiteral("できません。\n%1\nファイルがありません。\n"
                                            "ソラネを入れ直してから、もう一度お試しください。"
                                            "日記はそのままです。\n")
                                 .arg(module);
        r = Run({"--diary", diary}, {}, program);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, "画面の部品を読み込めなかったため、起動" + tail);
        r = Run({"--add", "--diary", diary}, "晴れ", program);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, "画面の部品を読み込めなかったため、実行" + tail);
        // Bytes that are no library: refused in the loader's words.
        QVERIFY(Write_bytes(module, "not a library"));
        r = Run({"--diary", diary}, {}, program);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("画面の部品を読み込めなかったため、起動できません。\n" + module +
                                  "\n") &&
                     !r.err.contains("ファイルがありません"),
                 qPrintable(r.err));
        QCOMPARE(File_tree(diary), before);
    }

    void A_window_started_without_a_runtime_folder_says_nothing_of_it()
    {
        QVERIFY(QDir().mkpath(diary));
        // Without XDG_RUNTIME_DIR Qt picks a folder under the temporary
        // folder itself; the lock's server lands there.
        const QString temporary = root->File("tmp");
        QVERIFY(QDir().mkpath(temporary));
        const QByteArray runtime_before = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray temporary_before = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(temporary));
        const QString fallback = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        qputenv("XDG_RUNTIME_DIR", runtime_before);
        qputenv("TMPDIR", temporary_before);
        QVERIFY(fallback.startsWith(temporary));

        QProcess window;
        QProcessEnvironment environment = Environment();
        environment.remove("XDG_RUNTIME_DIR");
        environment.insert("TMPDIR", temporary);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        window.setProcessEnvironment(environment);
        window.start(QStringLiteral(SORANE_EXE), {"--diary", diary});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(Folder_lock(diary, fallback).Server_path()),
                                 20000);
        window.terminate();
        QVERIFY(window.waitForFinished(20000));
        const QString said = QString::fromUtf8(window.readAllStandardError());
        QVERIFY2(!said.contains("XDG_RUNTIME_DIR") && !said.contains("QStandardPaths"),
                 qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(Test_cli)
#include "test_cli.moc"

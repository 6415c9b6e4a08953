// Replace_file and Make_folder: exact bytes and modes on disk, what is
// refused, leftovers, and every failing step, made real (a full tmpfs) or
// injected (strace), with the old file checked byte for byte each time.

#include "store/safe_replace.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// "日記\r\n古い内容\r\n" in code page 932.
const char* const Old_hex = "93fa 8b4c 0d0a 8cc3 82a2 93e0 9765 0d0a";
// "新しい\r\n" then bytes that must pass untouched: NUL, 0xFF, 0x80, 0xA0,
// 0xFD, a lone CR, and a line without its line break.
const char* const New_hex = "9056 82b5 82a2 0d0a 00ff 80a0 fd0d 8140 8e8a 0d0a 88ea";

struct Run_result {
    bool started = false;
    int exit_code = -1;
    QByteArray out;
};

Run_result Run(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run_result r;
    if (!process.waitForStarted(10000))
        return r;
    r.started = true;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return r;
    }
    r.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput();
    return r;
}

QString Strace() { return QStandardPaths::findExecutable(QStringLiteral("strace")); }

// Lines of an strace -o file without the process id that -f puts first;
// "+++ exited" and signal lines left out.
QStringList Trace_lines(const QString& file)
{
    static const QRegularExpression pid(QStringLiteral("^\\d+ +"));
    QStringList lines;
    const QString text = QString::fromLocal8Bit(Read_bytes(file));
    for (QString line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        line.remove(pid);
        if (!line.startsWith(QLatin1String("+++")) && !line.startsWith(QLatin1String("---")))
            lines << line;
    }
    return lines;
}

QString Call_name(const QString& line) { return line.left(line.indexOf(QLatin1Char('('))); }

// "write(3</x/.sorane-tmp-ab>, ..." -> "/x/.sorane-tmp-ab": the path strace
// -y shows for the first descriptor argument.
QString Fd_path(const QString& line)
{
    static const QRegularExpression fd(QStringLiteral("^[a-z0-9_]+\\(\\d+<([^>]*)>"));
    const auto match = fd.match(line);
    return match.hasMatch() ? match.captured(1) : QString();
}

bool Is_temp(const QString& name)
{
    return QFileInfo(name).fileName().startsWith(QLatin1String(Temp_prefix));
}

}  // namespace

class Test_safe_replace : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void new_file_and_folder_modes_data();
    void new_file_and_folder_modes();
    void replace_keeps_mode_and_writes_exact_bytes_data();
    void replace_keeps_mode_and_writes_exact_bytes();
    void owner_and_group_kept();
    void refused_targets_left_untouched();
    void make_folder_on_existing_names();
    void leftovers_removed_by_next_save();

    void full_disk_on_tmpfs();
    void injected_failures_data();
    void injected_failures();
    void short_writes_are_continued();
    void order_of_system_calls();
    void together_one_folder_sync_after_both_renames();
    void together_stops_at_a_failure_data();
    void together_stops_at_a_failure();

private:
    // Runs replace_tool under strace; returns the tool's result and leaves
    // the trace in trace_file.
    Run_result Traced(const QStringList& strace_options, const QStringList& tool_arguments,
                      const QString& trace_file);
    void Require_strace();

    mode_t saved_umask = 022;
    QString strace_skip;  // why strace cannot be used here, or empty
};

void Test_safe_replace::initTestCase()
{
    saved_umask = ::umask(022);
    ::umask(saved_umask);
    const QString strace = Strace();
    if (strace.isEmpty()) {
        strace_skip = QStringLiteral("strace is not installed");
    } else {
        const Run_result r = Run(strace, {"-o", "/dev/null", "true"});
        if (!r.started || r.exit_code != 0)
            strace_skip = QStringLiteral("strace cannot trace here (ptrace not permitted?)");
    }
}

void Test_safe_replace::cleanup() { ::umask(saved_umask); }

void Test_safe_replace::Require_strace()
{
    if (!strace_skip.isEmpty())
        QSKIP(qPrintable(strace_skip));
}

Run_result Test_safe_replace::Traced(const QStringList& strace_options,
                                     const QStringList& tool_arguments, const QString& trace_file)
{
    QStringList arguments{"-f", "-y", "-o", trace_file};
    arguments << strace_options << QStringLiteral(REPLACE_TOOL) << tool_arguments;
    return Run(Strace(), arguments);
}

// --- Bytes and modes -------------------------------------------------------

void Test_safe_replace::new_file_and_folder_modes_data()
{
    QTest::addColumn<int>("mask");
    QTest::newRow("umask 022") << 022;
    QTest::newRow("umask 0") << 0;
    QTest::newRow("umask 077") << 077;
    // A mask that takes the owner's own write and search bits: only an
    // explicit chmod after creating gives 0700 and 0600.
    QTest::newRow("umask 0277") << 0277;
}

void Test_safe_replace::new_file_and_folder_modes()
{
    QFETCH(int, mask);
    Temp_folder temp;
    QVERIFY(temp.Ok());
    ::umask(mode_t(mask));

    const QString folder = temp.File("2024");
    QVERIFY(Make_folder(folder).Ok());
    QCOMPARE(Mode_of(folder), 0700);

    const QString day = folder + "/20240131.txt";
    const QByteArray bytes = Hex(New_hex);
    const Io_result r = Replace_file(day, bytes);
    QVERIFY(r.Ok());
    QCOMPARE(Read_bytes(day), bytes);
    QCOMPARE(Mode_of(day), 0600);
    QCOMPARE(Entries(folder), QStringList{"20240131.txt"});

    // Empty content makes an empty file, not a missing one.
    const QString empty = temp.File("empty.txt");
    QVERIFY(Replace_file(empty, QByteArrayView()).Ok());
    QVERIFY(QFileInfo(empty).isFile());
    QCOMPARE(QFileInfo(empty).size(), 0);
    QCOMPARE(Mode_of(empty), 0600);
}

void Test_safe_replace::replace_keeps_mode_and_writes_exact_bytes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("old_bytes");
    QTest::addColumn<QByteArray>("new_bytes");
    // The umask in the test is 077: a kept 0640 shows it is not applied.
    QTest::newRow("0640, longer") << 0640 << Hex(Old_hex) << Hex(New_hex);
    QTest::newRow("0666, shorter: no tail of the old file")
        << 0666 << Hex(New_hex) << Hex("82a0 0d0a");
    QTest::newRow("0604, emptied") << 0604 << Hex(Old_hex) << QByteArray();
    QTest::newRow("0200, write-only") << 0200 << Hex(Old_hex) << Hex(New_hex);
}

void Test_safe_replace::replace_keeps_mode_and_writes_exact_bytes()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, old_bytes);
    QFETCH(QByteArray, new_bytes);
    Temp_folder temp;
    ::umask(077);
    const QString day = temp.File("day.txt");
    QVERIFY(Write_bytes(day, old_bytes));
    QVERIFY(::chmod(QFile::encodeName(day).constData(), mode_t(mode)) == 0);

    QVERIFY(Replace_file(day, new_bytes).Ok());
    QCOMPARE(Mode_of(day), mode);
    // Readable for the comparison (a write-only file is not, unless root).
    QVERIFY(::chmod(QFile::encodeName(day).constData(), mode_t(mode) | S_IRUSR) == 0);
    QCOMPARE(Read_bytes(day), new_bytes);
    QCOMPARE(QFileInfo(day).size(), new_bytes.size());
    QCOMPARE(Entries(temp.Path()), QStringList{"day.txt"});
}

void Test_safe_replace::owner_and_group_kept()
{
    if (::geteuid() != 0)
        QSKIP("giving a file to another user needs root");
    Temp_folder temp;
    const QString day = temp.File("day.txt");
    const QByteArray name = QFile::encodeName(day);
    QVERIFY(Write_bytes(day, Hex(Old_hex)));
    QVERIFY(::chown(name.constData(), 4242, 4343) == 0);
    QVERIFY(::chmod(name.constData(), 0640) == 0);

    QVERIFY(Replace_file(day, Hex(New_hex)).Ok());
    struct stat st {};
    QVERIFY(::stat(name.constData(), &st) == 0);
    QCOMPARE(int(st.st_uid), 4242);
    QCOMPARE(int(st.st_gid), 4343);
    QCOMPARE(int(st.st_mode & 07777), 0640);
    QCOMPARE(Read_bytes(day), Hex(New_hex));
}

// --- What is refused ---------------------------------------------------------

void Test_safe_replace::refused_targets_left_untouched()
{
    Temp_folder temp;
    const QByteArray old_bytes = Hex(Old_hex);
    const QByteArray new_bytes = Hex(New_hex);

    // A file without its owner's write bit, even though root could write it.
    for (const int mode : {0444, 0400, 0555}) {
        const QString day = temp.File(QStringLiteral("ro%1.txt").arg(mode, 0, 8));
        QVERIFY(Write_bytes(day, old_bytes));
        QVERIFY(::chmod(QFile::encodeName(day).constData(), mode_t(mode)) == 0);
        const Io_result r = Replace_file(day, new_bytes);
        QCOMPARE(r.step, Io_step::Read_only);
        QCOMPARE(r.path, day);
        QCOMPARE(Read_bytes(day), old_bytes);
        QCOMPARE(Mode_of(day), mode);
    }

    // A folder at the path, with or without a trailing slash.
    const QString folder = temp.File("2024");
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(Write_bytes(folder + "/inside.txt", old_bytes));
    for (const QString& path : {folder, folder + "/"}) {
        const Io_result r = Replace_file(path, new_bytes);
        QCOMPARE(r.step, Io_step::Not_a_file);
        QCOMPARE(r.path, path);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(Entries(folder), QStringList{"inside.txt"});
        QCOMPARE(Read_bytes(folder + "/inside.txt"), old_bytes);
    }

    // A link, to a file or dangling: it stays a link, its target unchanged.
    const QString target = temp.File("real.txt");
    QVERIFY(Write_bytes(target, old_bytes));
    const QString link = temp.File("link.txt");
    const QString dangling = temp.File("dangling.txt");
    QVERIFY(QFile::link(target, link));
    QVERIFY(QFile::link(temp.File("missing.txt"), dangling));
    for (const QString& path : {link, dangling}) {
        const Io_result r = Replace_file(path, new_bytes);
        QCOMPARE(r.step, Io_step::Is_a_link);
        QVERIFY(QFileInfo(path).isSymLink());
    }

    // A named pipe: refused without opening it (that would wait for a reader).
    const QString pipe = temp.File("pipe.txt");
    QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    {
        const Io_result r = Replace_file(pipe, new_bytes);
        QCOMPARE(r.step, Io_step::Not_a_regular_file);
        QCOMPARE(r.path, pipe);
        QVERIFY(!r.path_is_folder);
        struct stat st {};
        QVERIFY(::lstat(QFile::encodeName(pipe).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    }
    QCOMPARE(Read_bytes(target), old_bytes);
    QVERIFY(!QFileInfo::exists(temp.File("missing.txt")));

    // No folder to put the file in.
    const QString orphan = temp.File("none/day.txt");
    const Io_result r = Replace_file(orphan, new_bytes);
    QCOMPARE(r.step, Io_step::Open);
    QCOMPARE(r.error_number, ENOENT);
    QCOMPARE(r.path, orphan);

    QCOMPARE(Entries(temp.Path()),
             (QStringList{"2024", "dangling.txt", "link.txt", "pipe.txt", "real.txt", "ro400.txt",
                          "ro444.txt", "ro555.txt"}));
}

void Test_safe_replace::make_folder_on_existing_names()
{
    Temp_folder temp;
    ::umask(022);
    // An existing folder is left exactly as it was: mode and content.
    const QString folder = temp.File("2023");
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    QVERIFY(Write_bytes(folder + "/0101.txt", Hex(Old_hex)));
    QVERIFY(Make_folder(folder).Ok());
    QVERIFY(Make_folder(folder + "/").Ok());
    QCOMPARE(Mode_of(folder), 0755);
    QCOMPARE(Entries(folder), QStringList{"0101.txt"});
    QCOMPARE(Read_bytes(folder + "/0101.txt"), Hex(Old_hex));

    // A file of that name: refused, the file kept.
    const QString file = temp.File("2024");
    QVERIFY(Write_bytes(file, Hex(Old_hex)));
    Io_result r = Make_folder(file);
    QCOMPARE(r.step, Io_step::Not_a_folder);
    QCOMPARE(r.path, file);
    QVERIFY(r.path_is_folder);
    QVERIFY(QFileInfo(file).isFile());
    QCOMPARE(Read_bytes(file), Hex(Old_hex));

    // No parent: the error and its reason.
    r = Make_folder(temp.File("none/2025"));
    QCOMPARE(r.step, Io_step::Make_folder);
    QCOMPARE(r.error_number, ENOENT);

    // A trailing slash still makes the folder, 0700.
    QVERIFY(Make_folder(temp.File("2026/")).Ok());
    QCOMPARE(Mode_of(temp.File("2026")), 0700);
}

void Test_safe_replace::leftovers_removed_by_next_save()
{
    Temp_folder temp;
    const QString folder = temp.File("2024");
    QVERIFY(QDir().mkdir(folder));
    const QString day = folder + "/0131.txt";
    QVERIFY(Write_bytes(day, Hex(Old_hex)));
    // Leftovers of interrupted saves, and names that only look alike.
    for (const char* name : {".sorane-tmp-Ab12Cd", ".sorane-tmp-", ".sorane-tmp-x.txt"})
        QVERIFY(Write_bytes(folder + "/" + name, Hex(New_hex)));
    for (const char* name : {"sorane-tmp-keep", "a.sorane-tmp-keep", "0130.txt"})
        QVERIFY(Write_bytes(folder + "/" + name, Hex(Old_hex)));
    QVERIFY(QDir().mkdir(folder + "/.sorane-tmp-folder"));
    // A leftover in another folder is not this save's business.
    QVERIFY(Write_bytes(temp.File(".sorane-tmp-other"), Hex(New_hex)));
    // One that another save holds locked right now is not a leftover.
    const QString busy = folder + "/.sorane-tmp-busy01";
    QVERIFY(Write_bytes(busy, Hex(New_hex)));
    const int busy_fd = ::open(QFile::encodeName(busy).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(busy_fd >= 0);
    QVERIFY(::flock(busy_fd, LOCK_EX) == 0);

    QVERIFY(Replace_file(day, Hex(New_hex)).Ok());
    ::close(busy_fd);

    QCOMPARE(Read_bytes(day), Hex(New_hex));
    QCOMPARE(Entries(folder), (QStringList{".sorane-tmp-busy01", ".sorane-tmp-folder", "0130.txt",
                                           "0131.txt", "a.sorane-tmp-keep", "sorane-tmp-keep"}));
    QCOMPARE(Read_bytes(folder + "/0130.txt"), Hex(Old_hex));
    QVERIFY(QFileInfo::exists(temp.File(".sorane-tmp-other")));

    // Unlocked now, the next save removes it.
    QVERIFY(Replace_file(day, Hex(Old_hex)).Ok());
    QVERIFY(!QFileInfo::exists(busy));
    QCOMPARE(Read_bytes(day), Hex(Old_hex));
}

// --- Failures made real or injected -------------------------------------------

void Test_safe_replace::full_disk_on_tmpfs()
{
    // A 64 KiB tmpfs in a private mount namespace; the tool writes 200000
    // bytes into it. The first write is cut short by the full disk, the
    // next fails with ENOSPC.
    Temp_folder temp;
    const QString mount = temp.File("mnt");
    const QString out = temp.File("out");
    QVERIFY(QDir().mkdir(mount) && QDir().mkdir(out));
    QVERIFY(Write_bytes(out + "/fixture", Hex(Old_hex)));
    const QString trace = strace_skip.isEmpty() ? Strace() : QString();
    const QString script = QStringLiteral(
        "mount -t tmpfs -o size=64k sorane-full \"$1\" || exit 90\n"
        "cp \"$2/fixture\" \"$1/day.txt\" || exit 91\n"
        "if [ -n \"$4\" ]; then\n"
        "  \"$4\" -y -e trace=write -o \"$2/trace\" \"$3\" fill \"$1/day.txt\" 200000 61 > \"$2/result\"\n"
        "else\n"
        "  \"$3\" fill \"$1/day.txt\" 200000 61 > \"$2/result\"\n"
        "fi\n"
        "\"$3\" fill \"$1/new.txt\" 200000 61 > \"$2/result_new\"\n"
        "cp \"$1/day.txt\" \"$2/after\"\n"
        "ls -A \"$1\" > \"$2/entries\"\n");
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty())
        QSKIP("unshare is not installed: no private mount for a full disk");
    const Run_result r = Run(
        unshare, {"-m", "sh", "-c", script, "sh", mount, out, QStringLiteral(REPLACE_TOOL), trace});
    if (!r.started || r.exit_code == 90 || !QFileInfo::exists(out + "/result"))
        QSKIP(
            "cannot mount a tmpfs in a private mount namespace here (needs root or user namespaces)");
    QCOMPARE(r.exit_code, 0);

    const QByteArray expected = QByteArray("Write ") + QByteArray::number(ENOSPC) + '\n';
    QCOMPARE(Read_bytes(out + "/result"), expected);
    QCOMPARE(Read_bytes(out + "/result_new"), expected);
    QCOMPARE(Read_bytes(out + "/after"), Hex(Old_hex));
    QCOMPARE(Read_bytes(out + "/entries"), QByteArray("day.txt\n"));
    // The mount stayed inside the namespace.
    QCOMPARE(Entries(mount), QStringList());

    if (trace.isEmpty())
        return;
    // The trace shows the genuine short write and the ENOSPC after it.
    static const QRegularExpression short_write(
        QStringLiteral("^write\\(\\d+<[^>]*/\\.sorane-tmp-[^>]*>, .*, 200000\\) = (\\d+)$"));
    static const QRegularExpression no_space(
        QStringLiteral("^write\\(\\d+<[^>]*/\\.sorane-tmp-[^>]*>, .*, (\\d+)\\) = -1 ENOSPC"));
    const QStringList lines = Trace_lines(out + "/trace");
    QVERIFY2(lines.size() >= 2, qPrintable(lines.join('\n')));
    const auto first = short_write.match(lines[0]);
    QVERIFY2(first.hasMatch(), qPrintable(lines[0]));
    const qint64 written = first.captured(1).toLongLong();
    QVERIFY(written > 0 && written < 200000);
    const auto second = no_space.match(lines[1]);
    QVERIFY2(second.hasMatch(), qPrintable(lines[1]));
    QCOMPARE(second.captured(1).toLongLong(), 200000 - written);
}

void Test_safe_replace::injected_failures_data()
{
    QTest::addColumn<QString>("calls");     // the system calls to trace and inject
    QTest::addColumn<QString>("fault");     // error=... or retval=...
    QTest::addColumn<bool>("on_temp");      // inject at the first call on the temporary file
    QTest::addColumn<bool>("make_folder");  // Make_folder instead of Replace_file
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("new_content");  // the file holds the new bytes afterwards

    QTest::newRow("create temp EMFILE")
        << "openat"
        << "error=EMFILE" << true << false << "Open" << EMFILE << false;
    QTest::newRow("fchmod EPERM") << "fchmod"
                                  << "error=EPERM" << true << false << "Open" << EPERM << false;
    QTest::newRow("write EIO") << "write"
                               << "error=EIO" << true << false << "Write" << EIO << false;
    QTest::newRow("write EDQUOT") << "write"
                                  << "error=EDQUOT" << true << false << "Write" << EDQUOT << false;
    QTest::newRow("write returns 0") << "write"
                                     << "retval=0" << true << false << "Write" << ENOSPC << false;
    QTest::newRow("write EINTR, retried") << "write"
                                          << "error=EINTR" << true << false << "None" << 0 << true;
    QTest::newRow("fdatasync EIO") << "fdatasync"
                                   << "error=EIO" << true << false << "Sync" << EIO << false;
    QTest::newRow("close EIO") << "close"
                               << "error=EIO" << true << false << "Close" << EIO << false;
    QTest::newRow("rename EROFS") << "rename,renameat,renameat2"
                                  << "error=EROFS" << false << false << "Rename" << EROFS << false;
    QTest::newRow("folder fsync EIO")
        << "fsync"
        << "error=EIO" << false << false << "Sync_folder" << EIO << true;
    QTest::newRow("mkdir EDQUOT") << "mkdir,mkdirat"
                                  << "error=EDQUOT" << false << true << "Make_folder" << EDQUOT
                                  << false;
    QTest::newRow("folder chmod EPERM")
        << "chmod,fchmodat"
        << "error=EPERM" << false << true << "Make_folder" << EPERM << true;
    QTest::newRow("parent fsync EIO")
        << "fsync"
        << "error=EIO" << false << true << "Sync_folder" << EIO << true;
}

void Test_safe_replace::injected_failures()
{
    Require_strace();
    QFETCH(QString, calls);
    QFETCH(QString, fault);
    QFETCH(bool, on_temp);
    QFETCH(bool, make_folder);
    QFETCH(QString, step);
    QFETCH(int, error);
    QFETCH(bool, new_content);

    Temp_folder temp;
    const QString folder = temp.File("2024");
    const QString day = folder + "/0131.txt";
    const QString traces = temp.File("trace");
    auto prepare = [&] {
        QDir(folder).removeRecursively();
        if (make_folder)
            return true;
        return QDir().mkdir(folder) && Write_bytes(day, Hex(Old_hex)) &&
               ::chmod(QFile::encodeName(day).constData(), 0640) == 0;
    };
    const QStringList tool_arguments =
        make_folder
            ? QStringList{"folder", folder}
            : QStringList{"file", day, QString::fromLatin1(QByteArray(New_hex).replace(' ', ""))};

    // Which call to hit: counted in a dry run, as the path of the temporary
    // file is random and strace's -P cannot name it in advance.
    int when = 1;
    if (on_temp) {
        QVERIFY(prepare());
        const Run_result dry = Traced({"-e", "trace=" + calls}, tool_arguments, traces);
        QCOMPARE(dry.exit_code, 0);
        const QStringList lines = Trace_lines(traces);
        when = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].contains(QLatin1String(Temp_prefix))) {
                when = int(i) + 1;
                break;
            }
        }
        QVERIFY2(when > 0, qPrintable(lines.join('\n')));
    }

    QVERIFY(prepare());
    const QString inject = QStringLiteral("inject=%1:%2:when=%3").arg(calls, fault).arg(when);
    const Run_result r = Traced({"-e", "trace=" + calls, "-e", inject}, tool_arguments, traces);
    QVERIFY(r.started);

    // The fault hit the intended call.
    const QStringList lines = Trace_lines(traces);
    const QStringList injected = lines.filter(QStringLiteral("(INJECTED)"));
    QVERIFY2(injected.size() == 1, qPrintable(lines.join('\n')));
    QVERIFY(calls.split(',').contains(Call_name(injected[0])));
    if (on_temp)
        QVERIFY2(injected[0].contains(QLatin1String(Temp_prefix)), qPrintable(injected[0]));

    QCOMPARE(QString::fromLatin1(r.out.trimmed()), QStringLiteral("%1 %2").arg(step).arg(error));
    QCOMPARE(r.exit_code, step == QLatin1String("None") ? 0 : 1);

    if (make_folder) {
        QCOMPARE(QFileInfo(folder).isDir(), new_content);
        return;
    }
    QCOMPARE(Read_bytes(day), new_content ? Hex(New_hex) : Hex(Old_hex));
    QCOMPARE(Mode_of(day), 0640);
    QCOMPARE(Entries(folder), QStringList{"0131.txt"});
}

void Test_safe_replace::short_writes_are_continued()
{
    // Every write cut to 7 bytes by a preloaded shim; the bytes land where
    // they belong, and the file is whole.
    Temp_folder temp;
    const QString day = temp.File("day.txt");
    QVERIFY(Write_bytes(day, Hex(Old_hex)));
    const QByteArray new_bytes = Hex(New_hex) + Hex(Old_hex) + Hex(New_hex);
    const QStringList tool_arguments{"file", day, QString::fromLatin1(new_bytes.toHex())};
    const QString shim = QStringLiteral("LD_PRELOAD=" SHORT_WRITE_SHIM);

    if (!strace_skip.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", SHORT_WRITE_SHIM);
        environment.insert("SORANE_SHORT_WRITE", "7");
        const Run_result r = Run(QStringLiteral(REPLACE_TOOL), tool_arguments, environment);
        QCOMPARE(r.exit_code, 0);
        QCOMPARE(Read_bytes(day), new_bytes);
        return;
    }
    const QString traces = temp.File("trace");
    const Run_result r = Traced({"-E", shim, "-E", "SORANE_SHORT_WRITE=7", "-e", "trace=write"},
                                tool_arguments, traces);
    QCOMPARE(r.exit_code, 0);
    QCOMPARE(r.out, QByteArray("None 0\n"));
    QCOMPARE(Read_bytes(day), new_bytes);
    QCOMPARE(Entries(temp.Path()), (QStringList{"day.txt", "trace"}));

    int writes = 0;
    for (const QString& line : Trace_lines(traces)) {
        if (Is_temp(Fd_path(line))) {
            ++writes;
            QVERIFY2(line.endsWith(QLatin1String(") = 7")) || writes * 7 >= new_bytes.size(),
                     qPrintable(line));
        }
    }
    QCOMPARE(writes, int((new_bytes.size() + 6) / 7));
}

void Test_safe_replace::order_of_system_calls()
{
    Require_strace();
    Temp_folder temp;
    const QString folder = temp.File("2024");
    const QString day = folder + "/0131.txt";
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(Write_bytes(day, Hex(Old_hex)));
    const QString traces = temp.File("trace");
    const Run_result r =
        Traced({"-e", "trace=openat,fchmod,write,fdatasync,fsync,close,rename,renameat,renameat2"},
               {"file", day, QString::fromLatin1(QByteArray(New_hex).replace(' ', ""))}, traces);
    QCOMPARE(r.exit_code, 0);
    QCOMPARE(Read_bytes(day), Hex(New_hex));

    // Each effect on the temporary file and the folder, in trace order.
    QStringList effects;
    QString temp_path;
    for (const QString& line : Trace_lines(traces)) {
        const QString call = Call_name(line);
        const QString fd_path = Fd_path(line);
        if (call == QLatin1String("openat") && line.contains(QLatin1String(Temp_prefix)) &&
            line.contains(QLatin1String("O_CREAT|O_EXCL"))) {
            temp_path = line.section(QLatin1Char('"'), 1, 1);
            effects << "create temp";
        } else if (!temp_path.isEmpty() && fd_path == temp_path) {
            // Consecutive writes count as one; a write after the sync would not.
            if (effects.isEmpty() || effects.last() != call + " temp")
                effects << call + " temp";
        } else if (call.startsWith(QLatin1String("rename"))) {
            QVERIFY2(line.contains('"' + temp_path + "\", \"" + day + '"'), qPrintable(line));
            effects << "rename";
        } else if (call == QLatin1String("fsync")) {
            QCOMPARE(fd_path, folder);
            effects << "fsync folder";
        }
    }
    QCOMPARE(effects, (QStringList{"create temp", "fchmod temp", "write temp", "fdatasync temp",
                                   "close temp", "rename", "fsync folder"}));
}

// Two files of one folder: both written before either is flushed, each
// flushed before its rename, renamed in the order given, then one sync of
// the folder.
void Test_safe_replace::together_one_folder_sync_after_both_renames()
{
    Require_strace();
    Temp_folder temp;
    const QString folder = temp.File("2024");
    const QString index = folder + "/keyword.txt";
    const QString day = folder + "/0131.txt";
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(Write_bytes(index, Hex(Old_hex)));
    const QString traces = temp.File("trace");
    const QString new_hex = QString::fromLatin1(QByteArray(New_hex).replace(' ', ""));
    const Run_result r = Traced({"-e", "trace=openat,fdatasync,fsync,rename,renameat,renameat2"},
                                {"together", index, "0d0a", day, new_hex}, traces);
    QCOMPARE(r.out, QByteArray("None 0 2\n"));
    QCOMPARE(Read_bytes(index), QByteArray("\r\n"));
    QCOMPARE(Read_bytes(day), Hex(New_hex));

    QStringList effects;
    QStringList temps;
    for (const QString& line : Trace_lines(traces)) {
        const QString call = Call_name(line);
        if (call == QLatin1String("openat") && line.contains(QLatin1String("O_CREAT|O_EXCL"))) {
            temps << line.section(QLatin1Char('"'), 1, 1);
            effects << QStringLiteral("create %1").arg(temps.size());
        } else if (call == QLatin1String("fdatasync")) {
            effects << QStringLiteral("flush %1").arg(temps.indexOf(Fd_path(line)) + 1);
        } else if (call.startsWith(QLatin1String("rename"))) {
            effects << (line.contains('"' + index + '"') ? "rename index"
                        : line.contains('"' + day + '"') ? "rename day"
                                                         : "rename ?");
        } else if (call == QLatin1String("fsync")) {
            effects << (Fd_path(line) == folder ? "sync folder" : "sync ?");
        }
    }
    QCOMPARE(effects, (QStringList{"create 1", "create 2", "flush 1", "rename index", "flush 2",
                                   "rename day", "sync folder"}));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"0131.txt", "keyword.txt"}));
}

// A file that cannot be added, or a flush or rename that fails, stops the
// files after it; those before it are in place and their folder is synced, the
// rest keep their old bytes, and no temporary file stays.
void Test_safe_replace::together_stops_at_a_failure_data()
{
    QTest::addColumn<QString>(
        "fault");  // a strace injection, or "folder": a folder at the day's name
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("syncs");
    QTest::newRow("the second is a folder") << "folder"
                                            << "Not_a_file 21 1" << 1;
    QTest::newRow("the second rename fails") << "inject=rename:error=EACCES:when=2"
                                             << "Rename 13 1" << 1;
    QTest::newRow("the first rename fails") << "inject=rename:error=EACCES:when=1"
                                            << "Rename 13 0" << 0;
    QTest::newRow("the second flush fails") << "inject=fdatasync:error=EIO:when=2"
                                            << "Sync 5 1" << 1;
    QTest::newRow("the first flush fails") << "inject=fdatasync:error=EIO:when=1"
                                           << "Sync 5 0" << 0;
    QTest::newRow("the folder's sync fails") << "inject=fsync:error=EIO:when=1"
                                             << "Sync_folder 5 2" << 1;
}

void Test_safe_replace::together_stops_at_a_failure()
{
    Require_strace();
    QFETCH(QString, fault);
    QFETCH(QString, output);
    QFETCH(int, syncs);
    Temp_folder temp;
    const QString folder = temp.File("2024");
    const QString index = folder + "/keyword.txt";
    const QString day = folder + "/0131.txt";
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(Write_bytes(index, Hex(Old_hex)));
    if (fault == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(day));
    else
        QVERIFY(Write_bytes(day, Hex(Old_hex)));
    const QString traces = temp.File("trace");
    QStringList options{"-e", "trace=rename,fsync,fdatasync"};
    if (fault != QLatin1String("folder"))
        options << "-e" << fault;
    const Run_result r = Traced(options, {"together", index, "0d0a", day, "0d0a0d0a"}, traces);
    QCOMPARE(r.out, output.toLatin1() + '\n');
    const int in_place = output.section(QLatin1Char(' '), 2).toInt();
    QCOMPARE(Read_bytes(index), in_place >= 1 ? QByteArray("\r\n") : Hex(Old_hex));
    if (fault != QLatin1String("folder"))
        QCOMPARE(Read_bytes(day), in_place == 2 ? QByteArray("\r\n\r\n") : Hex(Old_hex));
    QCOMPARE(Trace_lines(traces).filter(QRegularExpression("^fsync\\(")).size(), syncs);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(Temp_prefix), QStringList());
}

QTEST_GUILESS_MAIN(Test_safe_replace)
#include "test_safe_replace.moc"

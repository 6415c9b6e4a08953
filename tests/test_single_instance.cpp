// One program per diary folder: a second start is refused while the first
// runs and brings the first forward, a lock left by a killed program is
// taken over, other folders are free, a link to the folder is the folder,
// and the refused start writes nothing. The first program runs as a child
// process: this test program itself, started with --first.

#include "app/single_instance.h"
#include "app/terminal_add.h"
#include "diary/folder_lock.h"
#include "support/diary_fixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTextStream>
#include <QtTest>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// The first program's part: takes the folder and reports on its output
// what happens, until it is killed.
int Run_first(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Single_instance instance(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    QTextStream out(stdout);
    const bool first = instance.Take_folder() == Single_instance::Start::First;
    out << (first && instance.Guarded() ? "held" : "refused") << Qt::endl;
    QObject::connect(&instance, &Single_instance::Come_forward_requested,
                     [&out] { out << "forward" << Qt::endl; });
    return app.exec();
}

}  // namespace

class Test_single_instance : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Temp_folder> diary;
    std::unique_ptr<QTemporaryDir> runtime;
    std::vector<std::unique_ptr<QProcess>> children;

    QString Lock_folder() const { return runtime->path(); }

    // Starts a first program on the folder; its first line says whether it
    // holds the folder.
    QProcess& Start_first(const QString& folder)
    {
        auto child = std::make_unique<QProcess>();
        child->setProgram(QCoreApplication::applicationFilePath());
        child->setArguments({QStringLiteral("--first"), folder, Lock_folder()});
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start();
        children.push_back(std::move(child));
        return *children.back();
    }
    // The child's next line, with this process's events running meanwhile
    // (it may be the first program the child asks).
    static QByteArray Next_line(QProcess& child, int wait_ms = 10000)
    {
        QDeadlineTimer deadline(wait_ms);
        while (!child.canReadLine() && !deadline.hasExpired())
            QTest::qWait(10);
        return child.readLine().trimmed();
    }
    static void Kill(QProcess& child)
    {
        child.kill();  // SIGKILL: no destructor, the lock file stays
        QVERIFY(child.waitForFinished());
    }

private slots:
    void init()
    {
        diary = std::make_unique<Temp_folder>();
        runtime = std::make_unique<QTemporaryDir>();
        QVERIFY(diary->Ok() && runtime->isValid());
    }
    void cleanup()
    {
        for (auto& child : children)
            if (child->state() != QProcess::NotRunning)
                Kill(*child);
        children.clear();
        Verify_no_window_left_open();
    }

    // ---- Two starts on one folder ------------------------------------------

    void A_second_lock_in_the_same_process_is_refused_and_the_first_keeps_it()
    {
        Folder_lock first(diary->Path(), Lock_folder());
        QCOMPARE(first.Take(), Folder_lock::State::Held);
        Folder_lock second(diary->Path(), Lock_folder());
        QCOMPARE(second.Take(), Folder_lock::State::Held_by_other);
        QVERIFY(first.Holds());
        QVERIFY(!second.Holds());
        QCOMPARE(Folder_lock(diary->Path(), Lock_folder()).Take(),
                 Folder_lock::State::Held_by_other);
        first.Release();
        QCOMPARE(second.Take(), Folder_lock::State::Held);
    }

    void A_second_start_brings_the_first_forward_tells_the_user_and_writes_nothing()
    {
        QProcess& first = Start_first(diary->Path());
        QCOMPARE(Next_line(first), QByteArray("held"));
        const QStringList runtime_before = Entries(Lock_folder());
        QCOMPARE(runtime_before.size(), 2);  // the lock and the first's socket

        Fake_platform fake;
        fake.Expect_box(Already_open_message(QDir(diary->Path()).absolutePath()), App_title,
                        Platform::Icon::Information, Platform::Buttons::Ok, Platform::Answer::Ok);
        Single_instance second(diary->Path(), Lock_folder());
        QVERIFY(!Open_as_only_program(second, fake, QDir(diary->Path()).absolutePath()));
        VERIFY_PLATFORM_CLEAN(fake);
        QVERIFY(second.First_came_forward());
        QCOMPARE(Next_line(first), QByteArray("forward"));
        QVERIFY(!second.Guarded());

        // Nothing in the diary folder, from either program; the lock lives
        // in the runtime folder only.
        QCOMPARE(Entries(diary->Path()), QStringList());
        QCOMPARE(Entries(Lock_folder()), runtime_before);
        QCOMPARE(first.state(), QProcess::Running);
    }

    void The_socket_is_the_users_alone_and_a_broken_request_stops_no_one()
    {
        // Whatever the umask, the socket is 0600, and the private folder
        // it was made in is gone.
        const mode_t umask_before = ::umask(0);
        QProcess& first = Start_first(diary->Path());
        const QByteArray held = Next_line(first);
        ::umask(umask_before);
        QCOMPARE(held, QByteArray("held"));
        const QString socket = Folder_lock(diary->Path(), Lock_folder()).Server_path();
        QCOMPARE(Entries(Lock_folder()),
                 QStringList(
                     {QFileInfo(Folder_lock(diary->Path(), Lock_folder()).Lock_path()).fileName(),
                      QFileInfo(socket).fileName()}));
        QFileInfo info(socket);
        QCOMPARE(Mode_of(socket) & 07777, 0600);
        QCOMPARE(info.ownerId(), ::getuid());

        // Half a request, then gone; nonsense; a connection that says
        // nothing and stays: the next start is still answered.
        auto half = std::make_unique<Local_client>();
        QVERIFY(half->Connect(socket, 2000));
        QVERIFY(half->Write_all(QByteArrayLiteral("add\n2026/12/09\n40\n"), 2000));
        Local_client nonsense;
        QVERIFY(nonsense.Connect(socket, 2000));
        QVERIFY(nonsense.Write_all(QByteArray(5000, 'x') + '\n', 2000));
        Local_client silent;
        QVERIFY(silent.Connect(socket, 2000));
        half.reset();
        Single_instance second(diary->Path(), Lock_folder());
        QCOMPARE(second.Take_folder(), Single_instance::Start::Already_open);
        QVERIFY(second.First_came_forward());
        QCOMPARE(Next_line(first), QByteArray("forward"));
        QByteArray answer;
        QCOMPARE(nonsense.Read_some(answer, 5000), Local_client::Read::Ended);
        QCOMPARE(answer, QByteArray());
        QCOMPARE(silent.Read_some(answer, 100), Local_client::Read::Silent);
    }

    void The_terminal_hands_over_only_to_a_listener_and_waits_for_its_word()
    {
        const QByteArray request = Add_request_bytes({2026, 12, 9}, QStringLiteral("画面へ"));
        const QString socket = Folder_lock(diary->Path(), Lock_folder()).Server_path();
        // Nobody listens: the terminal may write the day itself.
        QCOMPARE(Hand_over_to_window(socket, request).kind, Add_reply::Kind::No_answer);

        // A first program that cannot take the text says so, through the
        // whole request and its answer.
        QProcess& first = Start_first(diary->Path());
        QCOMPARE(Next_line(first), QByteArray("held"));
        Add_reply reply = Hand_over_to_window(socket, request);
        QCOMPARE(reply.kind, Add_reply::Kind::Failed);
        QCOMPARE(
            reply.message,
            QStringLiteral("日記の画面が文を受け付けられる状態にないため、追加しませんでした。"));
        Kill(first);

        // One that takes the request and closes without a word: the user is
        // sent to the window, and the terminal writes nothing.
        const QByteArray path = QFile::encodeName(socket);
        QVERIFY(::unlink(path.constData()) == 0);
        const int listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
        QVERIFY(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(::listen(listening, 1) == 0);
        QByteArray taken;
        std::thread mute([&] {
            const int fd = ::accept(listening, nullptr, nullptr);
            char buffer[256];
            while (taken.size() < request.size()) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                taken.append(buffer, n);
            }
            ::close(fd);
        });
        reply = Hand_over_to_window(socket, request);
        mute.join();
        ::close(listening);
        QCOMPARE(taken, request);
        QCOMPARE(reply.kind, Add_reply::Kind::Failed);
        QVERIFY(reply.message.startsWith(QStringLiteral(
            "この日記を開いている画面に文を渡しましたが、答えがありませんでした。")));
    }

    void The_message_says_the_diary_is_open_and_names_the_folder()
    {
        const QString text = Already_open_message(QStringLiteral("/home/ユーザー/sorane"));
        QVERIFY(text.startsWith(QStringLiteral("この日記はすでに開いています。\n")));
        QVERIFY(text.contains(QStringLiteral("フォルダー: /home/ユーザー/sorane\n")));
        QVERIFY(text.endsWith(QStringLiteral("開いている画面をお使いください。")));
    }

    // ---- Locks that are left, and locks that are alive ----------------------

    void A_lock_left_by_a_killed_program_is_taken_over()
    {
        QProcess& first = Start_first(diary->Path());
        QCOMPARE(Next_line(first), QByteArray("held"));
        Kill(first);
        QCOMPARE(Entries(Lock_folder()).size(), 2);  // lock and socket left behind

        // The next start takes the folder and listens where the dead one did.
        Single_instance next(diary->Path(), Lock_folder());
        QCOMPARE(next.Take_folder(), Single_instance::Start::First);
        QVERIFY(next.Guarded());
        QSignalSpy asked(&next, &Single_instance::Come_forward_requested);
        QProcess& later = Start_first(diary->Path());
        QCOMPARE(Next_line(later), QByteArray("refused"));
        QCOMPARE(asked.count(), 1);
    }

    void A_live_holder_is_never_taken_over_however_old_its_lock()
    {
        QProcess& first = Start_first(diary->Path());
        QCOMPARE(Next_line(first), QByteArray("held"));
        Folder_lock probe(diary->Path(), Lock_folder());
        QFile lock_file(probe.Lock_path());
        QVERIFY(lock_file.open(QIODevice::ReadWrite));
        QVERIFY(lock_file.setFileTime(QDateTime::currentDateTime().addDays(-3),
                                      QFileDevice::FileModificationTime));
        lock_file.close();
        QCOMPARE(probe.Take(), Folder_lock::State::Held_by_other);
    }

    void A_lock_naming_a_live_copy_that_does_not_hold_it_is_taken_over()
    {
        // Another copy of the program, on another folder, has the process
        // number a killed program had: the lock file names a running
        // process of the same name, but nobody holds it.
        Temp_folder other;
        QProcess& copy = Start_first(other.Path());
        QCOMPARE(Next_line(copy), QByteArray("held"));
        Folder_lock mine(diary->Path(), Lock_folder());
        const QByteArray contents =
            Read_bytes(Folder_lock(other.Path(), Lock_folder()).Lock_path());
        QVERIFY(contents.startsWith(QByteArray::number(copy.processId()) + '\n'));
        QVERIFY(Write_bytes(mine.Lock_path(), contents));
        QCOMPARE(mine.Take(), Folder_lock::State::Held);
        QCOMPARE(Next_line(copy, 200), QByteArray());  // nobody asked it anything
    }

    // ---- Which folder is which --------------------------------------------

    void Another_folder_is_free_and_a_link_to_the_folder_is_the_folder()
    {
        Folder_lock first(diary->Path(), Lock_folder());
        QCOMPARE(first.Take(), Folder_lock::State::Held);
        Temp_folder other;
        QCOMPARE(Folder_lock(other.Path(), Lock_folder()).Take(), Folder_lock::State::Held);

        const QString link = other.File(QStringLiteral("link"));
        QVERIFY(QFile::link(QDir(diary->Path()).absolutePath(), link));
        QCOMPARE(Folder_lock(link, Lock_folder()).Take(), Folder_lock::State::Held_by_other);
        QCOMPARE(Folder_lock(link + QStringLiteral("/"), Lock_folder()).Take(),
                 Folder_lock::State::Held_by_other);
        QCOMPARE(Folder_key(link), Folder_key(diary->Path()));
    }

    void Without_a_lock_folder_the_diary_still_opens_without_a_word()
    {
        // The runtime folder is a file, or a folder stands where the lock
        // goes, or there is no runtime folder: no lock can be made.
        const QString not_a_folder = diary->File(QStringLiteral("not-a-folder"));
        QVERIFY(Write_bytes(not_a_folder, "x"));
        QVERIFY(QDir().mkpath(Folder_lock(diary->Path(), Lock_folder()).Lock_path()));
        for (const QString& lock_folder : {not_a_folder, Lock_folder(), QString()}) {
            Fake_platform fake;
            Single_instance instance(diary->Path(), lock_folder);
            QVERIFY(Open_as_only_program(instance, fake, diary->Path()));
            QVERIFY(!instance.Guarded());
            VERIFY_PLATFORM_CLEAN(fake);
            QCOMPARE(fake.calls, QStringList());
        }
    }

    // ---- Coming forward ---------------------------------------------------

    void Coming_forward_restores_a_minimized_window_and_puts_its_modal_window_in_front()
    {
        QWidget window;
        window.setObjectName(QStringLiteral("Main_form"));
        window.showMinimized();
        QTRY_VERIFY(window.isMinimized());
        QDialog modal(&window);
        modal.setWindowModality(Qt::ApplicationModal);
        modal.show();
        QTRY_COMPARE(QApplication::activeModalWidget(), &modal);

        Bring_to_front(window);
        QVERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
        QTRY_VERIFY(modal.isActiveWindow());
        modal.close();
        window.close();
    }
};

int main(int argc, char* argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--first") == 0)
        return Run_first(argc, argv);
    QApplication app(argc, argv);
    Test_single_instance test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_single_instance.moc"

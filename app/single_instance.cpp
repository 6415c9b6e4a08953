#include "app/single_instance.h"

#include "platform/platform.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QByteArray Come_forward = QByteArrayLiteral("come-forward\n");
const QByteArray Came_forward = QByteArrayLiteral("ok\n");
// Long enough for a first program busy with a save to answer, short enough
// that the user is not left waiting for the message.
constexpr int Answer_wait_ms = 2000;
// A first program that no longer answers may be in its last moments, about
// to give the folder up.
constexpr int Ending_wait_ms = 2000;

// The socket's address for path; false when the path does not fit in one.
bool Address_of(const QByteArray& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || std::size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    return true;
}

int New_socket() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

// Waits up to the deadline for fd to be ready for events; false on time-out
// or failure.
bool Wait_for(int fd, short events, const QDeadlineTimer& deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, int(deadline.remainingTime()));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

// Binds a listening socket at path, the user's alone: it is made in a new
// private folder beside path, given mode 0600 there, and only then moved
// into its place (over a socket left by a program that is gone). Another
// user can never connect to it, whatever the umask. -1 on failure, with
// errno set.
int Listen_at(const QByteArray& path)
{
    QByteArray folder = path + ".XXXXXX";
    if (!::mkdtemp(folder.data()))
        return -1;
    const QByteArray inside = folder + "/s";
    sockaddr_un address{};
    const int fd = New_socket();
    bool ok = fd >= 0 && Address_of(inside, address);
    if (fd >= 0 && !ok)
        errno = ENAMETOOLONG;
    ok = ok && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
         ::chmod(inside.constData(), 0600) == 0 && ::listen(fd, SOMAXCONN) == 0 &&
         ::rename(inside.constData(), path.constData()) == 0;
    const int error = errno;
    ::unlink(inside.constData());
    ::rmdir(folder.constData());
    if (!ok) {
        if (fd >= 0)
            ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

// ---- The client's side ----------------------------------------------------

Local_client::~Local_client()
{
    if (fd >= 0)
        ::close(fd);
}

bool Local_client::Connect(const QString& path, int wait_ms)
{
    sockaddr_un address{};
    if (!Address_of(QFile::encodeName(path), address))
        return false;
    fd = New_socket();
    if (fd < 0)
        return false;
    const QDeadlineTimer deadline(wait_ms);
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return true;
        if (errno == EINTR)
            continue;
        // The listener's queue is full: it is busy, not gone.
        if (errno != EAGAIN || deadline.hasExpired())
            return false;
        ::usleep(10 * 1000);
    }
}

bool Local_client::Write_all(const QByteArray& bytes, int wait_ms)
{
    const QDeadlineTimer deadline(wait_ms);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + done, std::size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno == EAGAIN) {
            if (!Wait_for(fd, POLLOUT, deadline))
                return false;
        } else
            return false;
    }
    return true;
}

Local_client::Read Local_client::Read_some(QByteArray& into, int wait_ms)
{
    const QDeadlineTimer deadline(wait_ms);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            into.append(buffer, n);
            return Read::Bytes;
        }
        if (n == 0)
            return Read::Ended;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return Read::Ended;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(deadline.remainingTime()));
        if (ready == 0)
            return Read::Silent;
        if (ready < 0 && errno != EINTR)
            return Read::Ended;
    }
}

// ---- The first program's side ---------------------------------------------

// One later start's connection: what it brought, and the answer on its way.
class Single_instance::Connection : public QObject {
public:
    Connection(int socket, Single_instance& owner)
        : QObject(&owner), fd(socket), reader(fd, QSocketNotifier::Read),
          writer(fd, QSocketNotifier::Write)
    {
        writer.setEnabled(false);
        connect(&reader, &QSocketNotifier::activated, this, [this, &owner] {
            // What came before the other side closed is taken as it is.
            const bool open = Read_all();
            const QPointer<Connection> alive(this);
            if (!received.isEmpty())
                owner.Take_request(*this);
            if (alive && !open && !answering)
                Close();
        });
        connect(&writer, &QSocketNotifier::activated, this, [this] { Flush(); });
    }
    ~Connection() override
    {
        if (fd >= 0)
            ::close(fd);
    }

    QByteArray received;

    // Sends the answer, then closes the connection.
    void Answer(const QByteArray& bytes)
    {
        Hold();
        answering = true;
        pending += bytes;
        Flush();
    }
    void Close()
    {
        reader.setEnabled(false);
        writer.setEnabled(false);
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        deleteLater();
    }
    // While the answer is being made (a save, which may show a window),
    // nothing more is read: the request is whole.
    void Hold() { reader.setEnabled(false); }

private:
    // What came; false once the other side is gone.
    bool Read_all()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0)
                received.append(buffer, n);
            else if (n < 0 && errno == EINTR)
                continue;
            else
                return n < 0 && errno == EAGAIN;
        }
    }
    void Flush()
    {
        while (!pending.isEmpty()) {
            const ssize_t n =
                ::send(fd, pending.constData(), std::size_t(pending.size()), MSG_NOSIGNAL);
            if (n > 0) {
                pending.remove(0, n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN) {
                writer.setEnabled(true);
                return;
            } else {
                break;  // the other side is gone: nobody to answer
            }
        }
        Close();
    }

    int fd;
    QSocketNotifier reader;
    QSocketNotifier writer;
    QByteArray pending;
    bool answering = false;
};

Single_instance::Single_instance(const QString& program_folder, const QString& lock_folder,
                                 QObject* parent)
    : QObject(parent), lock(program_folder, lock_folder)
{}

Single_instance::~Single_instance()
{
    // The socket goes first: a start that still reaches it finds the lock
    // held; one that comes after finds the lock free.
    if (listening >= 0) {
        delete listening_notifier;
        ::close(listening);
        ::unlink(QFile::encodeName(lock.Server_path()).constData());
    }
    lock.Release();
}

Single_instance::Start Single_instance::Take_folder()
{
    Folder_lock::State state = lock.Take();
    if (state == Folder_lock::State::Held_by_other) {
        if (Ask_first_to_come_forward())
            return Start::Already_open;
        state = lock.Take(Ending_wait_ms);
        if (state == Folder_lock::State::Held_by_other)
            return Start::Already_open;
    }
    if (state == Folder_lock::State::Held)
        Listen();
    else
        // The diary opens unguarded, without a word to the user: the lock
        // folder is not the user's to mend, and a message at every start
        // would only stand between the user and the diary.
        qWarning("sorane: the diary folder is not locked against a second start (%s)",
                 qPrintable(lock.Lock_path().isEmpty() ? QStringLiteral("no runtime folder")
                                                       : lock.Lock_path()));
    return Start::First;
}

void Single_instance::Listen()
{
    // This program holds the lock, so a socket left there was left by a
    // program that is gone, and the new one takes its place.
    listening = Listen_at(QFile::encodeName(lock.Server_path()));
    if (listening < 0) {
        // A later start then only tells the user; the lock still guards.
        qWarning("sorane: no local server at %s: %s", qPrintable(lock.Server_path()),
                 std::strerror(errno));
        return;
    }
    listening_notifier = new QSocketNotifier(listening, QSocketNotifier::Read, this);
    connect(listening_notifier, &QSocketNotifier::activated, this,
            &Single_instance::Answer_next_start);
}

void Single_instance::Answer_next_start()
{
    for (;;) {
        const int fd = ::accept4(listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0)
            new Connection(fd, *this);
        else if (errno != EINTR && errno != ECONNABORTED)
            return;  // none waiting (or no room for one: it is taken next time)
    }
}

void Single_instance::Take_request(Connection& connection)
{
    // A request to come forward, or the text "sorane --add" hands over,
    // which may come in pieces.
    QByteArray& buffer = connection.received;
    if (buffer.startsWith(Come_forward)) {
        emit Come_forward_requested();
        connection.Answer(Came_forward);
        return;
    }
    bool bad = false;
    const std::optional<Add_request> request = Take_add_request(buffer, bad);
    if (request) {
        const QPointer<Connection> alive(&connection);
        connection.Hold();
        const Add_reply reply =
            add_handler ? add_handler(*request)
                        : Add_reply{Add_reply::Kind::Failed,
                                    QStringLiteral("日記の画面が文を受け付けられる状態に"
                                                   "ないため、追加しませんでした。")};
        if (!alive)
            return;
        connection.Answer(Add_reply_bytes(reply));
    } else if (bad) {
        connection.Close();
    }
}

bool Single_instance::Ask_first_to_come_forward()
{
    if (lock.Server_path().isEmpty())
        return false;
    Local_client first;
    if (!first.Connect(lock.Server_path(), Answer_wait_ms) ||
        !first.Write_all(Come_forward, Answer_wait_ms))
        return false;
    QByteArray answer;
    while (!answer.contains('\n'))
        if (first.Read_some(answer, Answer_wait_ms) != Local_client::Read::Bytes)
            return false;
    came_forward = answer.left(answer.indexOf('\n') + 1) == Came_forward;
    return came_forward;
}

QString Already_open_message(const QString& program_folder)
{
    return QStringLiteral("この日記はすでに開いています。\n"
                          "フォルダー: %1\n"
                          "同じ日記を二つの画面で書くと、あとで保存したほうだけが残るため、"
                          "ここでは開きません。開いている画面をお使いください。")
        .arg(program_folder);
}

bool Open_as_only_program(Single_instance& instance, Platform& platform,
                          const QString& program_folder)
{
    if (instance.Take_folder() == Single_instance::Start::First)
        return true;
    platform.Message_box(Already_open_message(program_folder), App_title,
                         Platform::Icon::Information, Platform::Buttons::Ok);
    return false;
}

void Bring_to_front(QWidget& window)
{
    // Before its start-up has shown it, the window stays hidden; a message
    // of the start-up may be open, and comes forward below.
    if (window.isVisible()) {
        if (window.isMinimized())
            window.showNormal();
        window.raise();
        window.activateWindow();
    }
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != &window) {
        modal->raise();
        modal->activateWindow();
    }
}

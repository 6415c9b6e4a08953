#include "app/single_instance.h"

#include "platform/platform.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace {

const QByteArray Come_forward = QByteArrayLiteral("come-forward\n");
const QByteArray Came_forward = QByteArrayLiteral("ok\n");
// Long enough for a first program busy with a save to answer, short enough
// that the user is not left waiting for the message.
constexpr int Answer_wait_ms = 2000;
// A first program that no longer answers may be in its last moments, about
// to give the folder up.
constexpr int Ending_wait_ms = 2000;

}  // namespace

Single_instance::Single_instance(const QString& program_folder, const QString& lock_folder,
                                 QObject* parent)
    : QObject(parent), lock(program_folder, lock_folder)
{}

Single_instance::~Single_instance()
{
    // The server goes first: a start that still reaches it finds the lock
    // held; one that comes after finds the lock free.
    if (server)
        server->close();
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
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // This program holds the lock, so a socket left there was left by a
    // program that is gone.
    QLocalServer::removeServer(lock.Server_path());
    if (!server->listen(lock.Server_path())) {
        // A later start then only tells the user; the lock still guards.
        qWarning("sorane: no local server at %s: %s", qPrintable(lock.Server_path()),
                 qPrintable(server->errorString()));
        return;
    }
    connect(server, &QLocalServer::newConnection, this, &Single_instance::Answer_next_start);
}

void Single_instance::Answer_next_start()
{
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // What the socket brought so far: a request to come forward, or
        // the text "sorane --add" hands over, which may come in pieces.
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->startsWith(Come_forward)) {
                emit Come_forward_requested();
                socket->write(Came_forward);
                socket->disconnectFromServer();
                return;
            }
            bool bad = false;
            const std::optional<Add_request> request = Take_add_request(*buffer, bad);
            if (request) {
                const QPointer<QLocalSocket> alive(socket);
                const Add_reply reply =
                    add_handler ? add_handler(*request)
                                : Add_reply{Add_reply::Kind::Failed,
                                            QStringLiteral("日記の画面が文を受け付けられる状態に"
                                                           "ないため、追加しませんでした。")};
                if (!alive)
                    return;
                socket->write(Add_reply_bytes(reply));
                socket->disconnectFromServer();
            } else if (bad) {
                socket->disconnectFromServer();
            }
        });
    }
}

bool Single_instance::Ask_first_to_come_forward()
{
    if (lock.Server_path().isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(lock.Server_path());
    if (!socket.waitForConnected(Answer_wait_ms))
        return false;
    socket.write(Come_forward);
    if (!socket.waitForBytesWritten(Answer_wait_ms))
        return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(Answer_wait_ms))
            return false;
    came_forward = socket.readLine() == Came_forward;
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

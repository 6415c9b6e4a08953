#pragma once
// One program per diary folder: the first start holds the folder's lock and
// listens on a local socket named after the folder; a second start finds the
// lock held, asks the first to bring its window to the front, tells the
// user and ends before anything is written.
//
// The socket is a plain Unix stream socket, 0600 in the user's runtime
// folder, watched with QSocketNotifier: the network module is never loaded.
// A second start writes "come-forward\n" and the first answers "ok\n";
// "sorane --add" writes its request (diary/add_command.h) and reads the
// answer until the first closes the connection.

#include "diary/add_command.h"
#include "diary/folder_lock.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class Platform;
class QSocketNotifier;
class QWidget;

// A connection to the program that listens at a socket path, every wait
// bounded by the milliseconds given.
class Local_client {
public:
    Local_client() = default;
    ~Local_client();
    Local_client(const Local_client&) = delete;
    Local_client& operator=(const Local_client&) = delete;

    // False when nobody listens there, or nobody took the connection in
    // time.
    bool Connect(const QString& path, int wait_ms);
    bool Write_all(const QByteArray& bytes, int wait_ms);
    enum class Read {
        Bytes,   // some bytes were added to into
        Ended,   // the other side closed the connection (or it broke)
        Silent,  // nothing came within wait_ms
    };
    Read Read_some(QByteArray& into, int wait_ms);

private:
    int fd = -1;
};

class Single_instance : public QObject {
    Q_OBJECT

public:
    enum class Start {
        First,        // this program holds the folder and listens
        Already_open  // another program holds it; it was asked to come forward
    };

    Single_instance(const QString& program_folder, const QString& lock_folder,
                    QObject* parent = nullptr);
    ~Single_instance() override;

    // Takes the folder, or finds it taken. A lock that cannot be made at all
    // counts as First: the lock's own trouble never keeps the user from the
    // diary.
    Start Take_folder();
    // True once the first program answered the request to come forward.
    bool First_came_forward() const { return came_forward; }
    bool Guarded() const { return lock.Holds(); }
    // Who writes what "sorane --add" hands over while this program holds
    // the folder; without one, the request is refused.
    void Set_add_handler(std::function<Add_reply(const Add_request&)> handler)
    {
        add_handler = std::move(handler);
    }

signals:
    // A later start on the same folder asked this program to come forward.
    void Come_forward_requested();

private:
    class Connection;

    void Listen();
    void Answer_next_start();
    // What a connection brought so far; it is answered once it holds a
    // whole request.
    void Take_request(Connection& connection);
    bool Ask_first_to_come_forward();

    Folder_lock lock;
    int listening = -1;
    QSocketNotifier* listening_notifier = nullptr;
    bool came_forward = false;
    std::function<Add_reply(const Add_request&)> add_handler;
};

// The start-up check in front of the main window: true when this program
// may open the diary. Otherwise the user was told that the diary is
// already open, and the program ends having written nothing.
bool Open_as_only_program(Single_instance& instance, Platform& platform,
                          const QString& program_folder);

// The message of a second start.
QString Already_open_message(const QString& program_folder);

// Shows the window, brought out of the taskbar if it was minimized, in
// front and active; a modal window open over it comes in front of it.
void Bring_to_front(QWidget& window);

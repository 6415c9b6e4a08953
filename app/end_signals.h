#pragma once
// SIGTERM, SIGHUP and SIGINT, turned into a Qt signal on the user-interface
// thread: the handler only writes the signal's number into a socket pair,
// and a socket notifier reads it back in the event loop.

#include <QObject>

class QSocketNotifier;

class End_signals : public QObject {
    Q_OBJECT

public:
    explicit End_signals(QObject* parent = nullptr);
    // Puts the previous handlers back.
    ~End_signals() override;

signals:
    void Received(int signal_number);

private:
    void Read_signal();

    QSocketNotifier* notifier = nullptr;
};

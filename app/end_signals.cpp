#include "app/end_signals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signal_fds[2] = {-1, -1};
constexpr int Handled[] = {SIGTERM, SIGHUP, SIGINT};
struct sigaction previous[std::size(Handled)];

extern "C" void On_end_signal(int number)
{
    const int saved_errno = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(signal_fds[0], &byte, 1);
    errno = saved_errno;
}

}  // namespace

End_signals::End_signals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signal_fds) != 0)
        return;
    notifier = new QSocketNotifier(signal_fds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &End_signals::Read_signal);
    for (size_t i = 0; i < std::size(Handled); ++i) {
        struct sigaction action {};
        action.sa_handler = On_end_signal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(Handled[i], &action, &previous[i]);
    }
}

End_signals::~End_signals()
{
    for (size_t i = 0; i < std::size(Handled); ++i)
        ::sigaction(Handled[i], &previous[i], nullptr);
    for (int& fd : signal_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void End_signals::Read_signal()
{
    char byte = 0;
    while (::read(signal_fds[1], &byte, 1) == 1)
        emit Received(int(byte));
}

#pragma once
// Ends the application once the first window has been painted: the paint
// pass that drew it finishes, then the event loop returns.

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

class Quit_after_first_paint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            // exit, not quit: quit would close the windows, and closing the
            // diary's window saves.
            // The paint pass that drew the window is over when this runs:
            // that moment goes to run_start, when it asks for it.
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    if (const char* fd = std::getenv("FIRST_PAINT_FD")) {
                        const std::int64_t now =
                            std::chrono::duration_cast<std::chrono::nanoseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count();
                        if (::write(std::atoi(fd), &now, sizeof now) != sizeof now)
                            std::_Exit(3);
                    }
                    QCoreApplication::exit(0);
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen = false;
};

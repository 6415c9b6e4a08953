#pragma once
// Ends the application once the first window has been painted: the paint
// pass that drew it finishes, then the event loop returns.

#include <QApplication>
#include <QEvent>
#include <QObject>

class Quit_after_first_paint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            // exit, not quit: quit would close the windows, and closing the
            // diary's window saves.
            QMetaObject::invokeMethod(
                qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen = false;
};

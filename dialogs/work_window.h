#pragma once
// A long piece of work the user waits for (locking or unlocking the whole
// diary): it runs off the window's thread while this window shows how far
// it is, and the window closes itself when the work has ended. It cannot be
// closed before: the work leaves every file whole at every moment, and
// ends what it started.

#include "platform/background_job.h"
#include "store/io_result.h"

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;

class Work_window : public QDialog {
    Q_OBJECT

public:
    using Work = std::function<Io_result(const Job_control&)>;

    Work_window(QWidget* parent, const QString& caption, Work work);

    // The work's result, once the window has closed.
    const Io_result& Outcome() const { return outcome; }
    bool Working() const { return job.Running(); }

    QLabel* Caption = nullptr;
    QProgressBar* Bar = nullptr;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Work to_do;
    Io_result outcome;
    bool started = false;
    Background_job<Io_result> job;
};

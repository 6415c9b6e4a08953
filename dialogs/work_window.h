#pragma once
// A long piece of work the user waits for (locking or unlocking the whole
// diary): it runs off the window's thread while this window shows how far
// it is, and the window closes itself when the work has ended. It cannot be
// closed before. When the work can be turned back, 中止 asks it to stop:
// it then undoes what it did and ends.

#include "platform/background_job.h"

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

class Work_window : public QDialog {
    Q_OBJECT

public:
    // The work looks at the control's cancel flag between its steps and
    // tells its progress through it.
    using Work = std::function<void(const Job_control&)>;

    Work_window(QWidget* parent, const QString& caption, Work work, bool can_stop);

    bool Working() const { return job.Running(); }
    bool Stop_asked() const { return job.Stop_asked(); }

    QLabel* Caption = nullptr;
    QProgressBar* Bar = nullptr;
    QPushButton* Stop = nullptr;  // 中止, when the work can be turned back

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Work to_do;
    bool started = false;
    Background_job<bool> job;
};

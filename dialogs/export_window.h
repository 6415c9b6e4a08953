#pragma once
// エクスポート: the whole diary or a range of dates written to a folder the
// user chooses, as Markdown, HTML, JSON or plain text files (diary/export.h).
// The export runs beside the window, which shows how far it is and can
// cancel it; the report at the end names any day that could not be read.

#include "platform/background_job.h"
#include "ui/placement.h"

#include <QDialog>
#include <QStringList>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class Export_window : public QDialog {
    Q_OBJECT

public:
    // today is the first "to" date offered.
    Export_window(const Dialog_host& main_host, const QString& app_dir, const QDate& today);
    ~Export_window() override;

    // Checks the choices and starts the export; false, with the reason
    // told, when it does not start.
    bool Start();
    bool Running() const { return job.Running(); }

    QComboBox* Format = nullptr;
    QCheckBox* Whole_diary = nullptr;
    QDateEdit* From = nullptr;
    QDateEdit* To = nullptr;
    QLineEdit* Folder = nullptr;
    QPushButton* Browse = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* Status = nullptr;
    QPushButton* Run = nullptr;
    QPushButton* Close = nullptr;

signals:
    // The export ended (done, cancelled or failed) and its report was shown.
    void Finished(const QString& summary);

protected:
    void reject() override;

private:
    void Browse_Click();
    void Show_progress(int done, int total);
    // Runs the export beside the window.
    void Run_worker(int format, const QString& out_dir, const QDate& from, const QDate& to,
                    bool replace);
    // kept: files there already that the export did not make and left;
    // the user is asked whether to write over them.
    void Export_ended(const QString& summary, bool ok, const QStringList& kept,
                      const QString& out_dir, const QDate& from, const QDate& to, int format);
    void Stop_worker();

    // What the export's run hands back to the window.
    struct Run_end {
        QString summary;
        bool ok = false;
        QStringList kept;
    };

    Dialog_host host;
    QString diary_dir;
    Background_job<Run_end> job{this};
};

#pragma once
// インポート: a diary kept in another program brought in (diary/import.h),
// from a folder of daily notes named by their dates or from a journal's
// JSON export. 読み込む reads the source beside the window and lists the
// days that already hold something here, each with a check box; 取り込む
// fills the empty days and appends the ticked ones below a separator line,
// a few days at a time so that the window stays usable, with a progress
// bar and キャンセル. The report at the end says what was done.

#include "diary/import.h"
#include "platform/background_job.h"
#include "ui/placement.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

class Import_window : public QDialog {
    Q_OBJECT

public:
    // diary_day_back loads the diary panel's own day into the session and
    // the panel again: the import writes other days through the session,
    // and gives it back between its steps.
    Import_window(const Dialog_host& main_host, Diary_session& diary_session,
                  std::function<void()> diary_day_back);
    ~Import_window() override;

    enum Source_kind {
        Daily_notes = 0,
        Journal_json = 1
    };

    // Reads the source named and lists its days; false, with the reason
    // told, when it does not start.
    bool Read_source();
    // Writes the days of the list; false when there is nothing to write.
    bool Start_import();
    bool Busy() const { return reading.Running() || importing; }
    const Import_plan& Plan() const { return plan; }

    QComboBox* Source = nullptr;
    QLineEdit* Path = nullptr;
    QPushButton* Browse = nullptr;
    QPushButton* Read = nullptr;
    QLabel* Counts = nullptr;
    QTreeWidget* List = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* Status = nullptr;
    QPushButton* Run = nullptr;
    QPushButton* Close = nullptr;

signals:
    // The source was read and listed.
    void Listed();
    // The import ended (done or cancelled) and its report was shown.
    void Finished(const QString& summary);

protected:
    void reject() override;

private:
    void Browse_Click();
    void Show_progress(int done, int total, const QString& doing);
    // What the reading hands back: the source read, then the plan made of it.
    struct Read_end {
        Import_source source;
        Import_plan plan;
    };
    void Source_taken(const Read_end& end);
    void Source_read(const Import_source& source, const Import_plan& read_plan);
    void Import_step();
    void Import_ended();
    void Set_busy(bool busy);
    void Stop_reading();

    Dialog_host host;
    Diary_session& session;
    std::function<void()> day_back;
    // The source read and planned off the window's thread, in two runs:
    // the reading of the source, then its comparison with the diary.
    Background_job<Read_end> reading{this};
    // キャンセル asked while the days are written.
    bool cancel = false;
    Import_plan plan;
    Import_report report;
    bool importing = false;
    qsizetype next_item = 0;
};

// A preview of a text for the list: its first characters, line breaks
// shown as "／".
QString Import_preview(const QString& text);

#pragma once
// Keeps the recovery record (diary/recovery.h) of the main window: written
// about two seconds after the last change to the diary panel's day or to an
// open 明日へ window's message (at most ten seconds after the first of a run
// of changes), at once when the window loses the focus, and removed once
// everything is on disk again. The writes run on their own thread. At
// start, the records an earlier run left are offered: put back into their
// day through the normal save, written out to a file, or left for later.

#include "diary/recovery.h"
#include "diary/session.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <functional>

class F_tomorrow;
class Main_form;
class Platform;
class QAction;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class QWidget;

// What the recovery record gets of the main window: the fields of the
// diary panel and 保存 to watch, the open 明日へ window, and the moves and
// the save that put a record back.
struct Recovery_host {
    Platform& platform;
    Diary_session& session;
    // Watched for its focus and for the 明日へ window made as its child.
    QWidget* window;
    QPlainTextEdit* Text2;
    QLineEdit* Text6;
    QCheckBox* Check1;
    QAction* Menu_save;
    const QPointer<F_tomorrow>& f_tomorrow;
    std::function<bool()> Ended;
    std::function<void(const Panel_date&)> Go_to_diary_day;
    std::function<Diary_session::Save_result(Diary_session::Who)> Save_day;
};

// Owned beside the window, never by it, and destroyed before it: its last
// act reads the window's fields.
class Recovery_control : public QObject {
    Q_OBJECT

public:
    explicit Recovery_control(Main_form& main_form,
                              const QString& folder = Recovery_files::Default_folder());
    // Brings the record up to date and waits for it to be on disk.
    ~Recovery_control() override;

    // Asks about each record an earlier run left on this diary folder.
    void Offer_earlier();
    // Writes (or removes) the record at once from what the window holds now.
    void Record_now();
    // Waits until what was posted is on disk.
    void Wait() { writer.Wait(); }
    // The pause after the last change before the record is written.
    void Set_delay(int ms) { delay_ms = ms; }
    const QString& Own_path() const { return files.Own_path(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Changed();
    // The outcome of a write, on the window's thread.
    void Written(const Io_result& result);
    Recovery_record Current() const;
    void Offer(const QString& path);
    bool Put_back(const Recovery_record& record);
    bool Keep_aside(const Recovery_record& record);
    // What of the record the files do not hold already.
    Recovery_record Not_on_disk(const Recovery_record& record);

    Recovery_host form;
    Recovery_files files;
    Recovery_writer writer;
    QTimer* timer = nullptr;
    QElapsedTimer first_change;
    int delay_ms = 2000;
    bool on_disk = false;  // a record of this run may be on disk
    std::optional<Recovery_record> last_posted;
    Panel_date last_date;
    QPointer<F_tomorrow> watched;
    bool failure_told = false;
};

// The question that offers an earlier run's record.
QString Recovery_question(const Recovery_record& record);

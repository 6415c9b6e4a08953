#pragma once
// The main window's part in backups: the daily backup at the first start of
// a day, ファイル → バックアップを作成, 設定 → バックアップの設定…, the
// progress in the bottom row while a backup runs, and the one message that
// tells how a backup failed (or, when the user asked for it, where it went).

#include "diary/backup.h"
#include "platform/background_job.h"
#include "platform/platform.h"
#include "ui/placement.h"

#include <QObject>

class Diary_session;
class QAction;
class QLabel;
class QMenu;
class QPushButton;

// What the backups get of the main window: its platform and session, the
// host of the settings window, the menus their items go into, and the two
// buttons of the bottom row that the progress sits between.
struct Backup_host {
    Platform& platform;
    Diary_session& session;
    Dialog_host dialog_host;
    QMenu* Menu_file;
    QAction* Menu_end;
    QMenu* Menu_settei;
    QPushButton* Command2;
    QPushButton* Command4;
};

class Backup_control : public QObject {
    Q_OBJECT

public:
    Backup_control(QObject* parent, const Backup_host& host);

    // After start-up: on the first start of a day, with daily backups on,
    // a backup starts in the background.
    void Start_of_day();
    void Menu_backup_Click();
    void Menu_backup_settings_Click();
    // The program ends: a running backup stops at once and leaves no file.
    void Stop();
    bool Running() const { return job.Running(); }

    QAction* Menu_backup = nullptr;
    QAction* Menu_backup_settings = nullptr;
    // "バックアップ中… 35%" between 明日へ and 終了 while a backup runs.
    QLabel* Progress_label = nullptr;

signals:
    // A backup ended (made, failed or nothing more to say), after its
    // message, if any, was answered.
    void Backup_done(const Backup_outcome& outcome);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Start(bool asked);
    void Show_progress(int percent);
    void Finished(const Backup_outcome& outcome);
    void Place_label();

    Backup_host form;
    // The backup itself, off the window's thread: progress and its end come
    // back here; the program's end cancels it and waits for its thread.
    Background_job<Backup_outcome> job;
    bool asked_by_user = false;
    int percent_shown = 0;
};

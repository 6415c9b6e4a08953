#pragma once
// The main window's part in the lock: 設定 → 日記に鍵をかける… on a plain
// diary and 鍵を外す… on a locked one, each with the conversion's progress
// off the window's thread; the recovery key shown once; 設定 → 鍵の設定…
// (the minutes without input after which the diary locks itself); and that
// idle lock: the day is saved as when the program ends, the windows stop
// showing the diary, the keys are forgotten and the password is asked
// again; the right one shows everything as it was.

#include "app/keyring.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

class Main_form;
class Platform;
class QAction;
class QMenu;
class QTimer;
class QWidget;

class Lock_control : public QObject {
    Q_OBJECT

public:
    explicit Lock_control(Main_form& main_form);
    ~Lock_control() override;

    // 日記に鍵をかける… or 鍵を外す…, by the folder's state.
    void Menu_lock_Click();
    void Menu_lock_settings_Click();
    // パスワードを変える…: the password now and the new one twice; the key
    // file is written anew, and a password kept in the keyring follows.
    void Menu_change_password_Click();
    // The idle time has run out (or a test says so).
    void Lock_now();
    // The idle time in milliseconds in place of the setting's minutes
    // (0: the setting's), for tests.
    void Set_idle_ms(int ms);
    // The diary is locked over the window now: its text is covered.
    bool Covered() const { return cover != nullptr; }

    QAction* Menu_lock = nullptr;
    QAction* Menu_lock_settings = nullptr;
    QAction* Menu_change_password = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build_lock_menu(QMenu* settei);
    void Lock_diary();
    // After a lock: the backups of the diary still plain, deleted if the
    // user says so (いいえ first).
    void Offer_to_remove_plain_backups(const QString& folder);
    void Unlock_diary();
    void Update_menu();
    // Starts the idle time again from now, when the diary is locked and
    // an idle time is set; stops it otherwise.
    void Restart_idle();
    int Idle_ms() const;
    QString Folder() const;
    bool Day_saved();
    void Cover();
    void Uncover();
    // A conversion or other long work shows its progress, or a password is
    // being asked for: the idle lock waits.
    bool Work_under_way() const;

    Main_form& form;
    Platform& platform;
    Desktop_keyring keyring;
    QTimer* idle = nullptr;
    int idle_ms_for_tests = 0;
    int idle_minutes = 10;
    QWidget* cover = nullptr;
    std::vector<QPointer<QWidget>> hidden;  // windows beside the diary, hidden while covered
    struct Covered_window {
        QPointer<QWidget> window;  // waiting for an answer: covered, not hidden
        QPointer<QWidget> sheet;
    };
    std::vector<Covered_window> covered;
};

#pragma once
// 設定 → 日記に鍵をかける…: says plainly what a lock means before anything
// is changed (the Windows program and every other tool can no longer read
// the folder; with the password and the recovery key both lost, nobody can
// read the diary again), then takes the new password, typed twice.

#include "ui/placement.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The words said before a lock, naming the diary folder.
QString Lock_warning_text(const QString& folder);

class Lock_setup_window : public QDialog {
    Q_OBJECT

public:
    Lock_setup_window(const Dialog_host& main_host, const QString& folder);

    // The password, once the window was accepted.
    QByteArray Password() const { return chosen; }

    void Ok_Click();

    QLabel* Warning = nullptr;
    QLineEdit* Password_field = nullptr;
    QLineEdit* Again_field = nullptr;
    QLabel* Status = nullptr;
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;

private:
    Dialog_host host;
    QByteArray chosen;
};

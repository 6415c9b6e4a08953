#pragma once
// The backup settings: the folder the backups go to, chosen by hand or with
// 参照…, and whether a backup is made on the first start of each day. OK
// takes what the window shows into the settings; キャンセル and the title
// bar's close leave them as they were.

#include "diary/backup.h"
#include "ui/placement.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

class Backup_settings_window : public QDialog {
    Q_OBJECT

public:
    Backup_settings_window(const Dialog_host& main_host, Backup_settings& backup_settings);

    void Browse_Click();  // "参照…"
    void Ok_Click();

    QLineEdit* Folder = nullptr;
    QPushButton* Browse = nullptr;
    QCheckBox* Daily = nullptr;
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;

private:
    Dialog_host host;
    Backup_settings& settings;
};

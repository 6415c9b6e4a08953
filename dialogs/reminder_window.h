#pragma once
// 設定 → お知らせ…: whether to be reminded, and at what time, when today's
// diary is still empty. The window only asks; its caller installs the
// schedule and keeps the choice.

#include "ui/placement.h"

#include <QDialog>
#include <QTime>

class QCheckBox;
class QTimeEdit;

class Reminder_window : public QDialog {
    Q_OBJECT

public:
    Reminder_window(const Dialog_host& host, bool on, QTime at);

    bool On() const;
    QTime At() const;

    QCheckBox* Check_on = nullptr;
    QTimeEdit* Time_at = nullptr;
};

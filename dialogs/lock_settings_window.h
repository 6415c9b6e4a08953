#pragma once
// 設定 → 鍵の設定…: after how many minutes without input a locked diary
// locks itself again (0: never). OK takes the number; キャンセル leaves it.

#include "ui/placement.h"

#include <QDialog>

class QSpinBox;

class Lock_settings_window : public QDialog {
    Q_OBJECT

public:
    Lock_settings_window(const Dialog_host& host, int idle_minutes);

    int Idle_minutes() const;

    QSpinBox* Minutes = nullptr;
};

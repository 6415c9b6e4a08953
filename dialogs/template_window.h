#pragma once
// 設定 → 新しい日のひな形…: the text put into today's diary panel while the
// day is empty (天気： / 気分： and the like). Left as it is, it is no
// writing: the day is not saved until the user changes it.

#include "ui/placement.h"

#include <QDialog>

class QPlainTextEdit;

class Template_window : public QDialog {
    Q_OBJECT

public:
    Template_window(const Dialog_host& host, const QString& text);

    QString Text() const;

    QPlainTextEdit* Text_template = nullptr;
};

#pragma once
// The recovery key, shown once right after the diary was locked: the only
// way into the diary when the password is lost. It can be copied and
// printed; 閉じる opens only once 「書き留めました」 is ticked, and the
// window cannot be closed otherwise, so that nobody clicks it away unread.

#include "ui/placement.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPainter;
class QPushButton;

class Recovery_key_window : public QDialog {
    Q_OBJECT

public:
    Recovery_key_window(const Dialog_host& main_host, const QString& recovery_text,
                        const QString& folder);

    void Copy_Click();
    void Print_Click();
    // Draws the page that 印刷… prints: what the key is for, the folder,
    // and the key in large letters.
    void Paint_page(QPainter& painter, const QRect& page) const;

    QLabel* Key = nullptr;
    QPushButton* Copy = nullptr;
    QPushButton* Print = nullptr;
    QCheckBox* Written_down = nullptr;
    QPushButton* Close = nullptr;

public slots:
    void reject() override;

private:
    Dialog_host host;
    QString key_text;
    QString folder_shown;
};

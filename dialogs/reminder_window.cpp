#include "dialogs/reminder_window.h"

#include "platform/app_title.h"
#include "ui/look.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

Reminder_window::Reminder_window(const Dialog_host& host, bool on, QTime at) : QDialog(host.window)
{
    setObjectName(QStringLiteral("Reminder_window"));
    setWindowTitle(App_title + QStringLiteral(" - お知らせ"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Set_window_look(*this, look::Yellow);

    auto* note = new QLabel(QStringLiteral("決めた時刻に今日の日記がまだ書かれていなければ、"
                                           "デスクトップに通知を出します。\n"
                                           "このプログラムを閉じていても知らせます。"),
                            this);
    Check_on = new QCheckBox(QStringLiteral("書き忘れを知らせる"), this);
    Check_on->setObjectName(QStringLiteral("Check_on"));
    Check_on->setChecked(on);
    Time_at = new QTimeEdit(at, this);
    Time_at->setObjectName(QStringLiteral("Time_at"));
    Time_at->setDisplayFormat(QStringLiteral("HH:mm"));
    Time_at->setEnabled(on);
    connect(Check_on, &QCheckBox::toggled, Time_at, &QWidget::setEnabled);

    auto* time_row = new QHBoxLayout;
    time_row->addWidget(new QLabel(QStringLiteral("時刻："), this));
    time_row->addWidget(Time_at);
    time_row->addStretch();
    auto* buttons = Ok_cancel_buttons(*this);

    auto* column = new QVBoxLayout(this);
    column->addWidget(note);
    column->addWidget(Check_on);
    column->addLayout(time_row);
    column->addWidget(buttons);
}

bool Reminder_window::On() const { return Check_on->isChecked(); }

QTime Reminder_window::At() const
{
    const QTime t = Time_at->time();
    return QTime(t.hour(), t.minute());
}

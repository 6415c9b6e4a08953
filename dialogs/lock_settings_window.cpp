#include "dialogs/lock_settings_window.h"

#include "platform/app_title.h"
#include "ui/look.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

Lock_settings_window::Lock_settings_window(const Dialog_host& host, int idle_minutes)
    : QDialog(host.window)
{
    setObjectName(QStringLiteral("Lock_settings_window"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Set_window_look(*this, look::Yellow);
    setWindowTitle(App_title);
    auto* label = new QLabel(QStringLiteral("何分操作がなければ鍵をかける(&M):"), this);
    Minutes = new QSpinBox(this);
    Minutes->setObjectName(QStringLiteral("Minutes"));
    Minutes->setRange(0, 24 * 60);
    Minutes->setSuffix(QStringLiteral(" 分"));
    Minutes->setSpecialValueText(QStringLiteral("かけない"));
    Minutes->setValue(idle_minutes);
    label->setBuddy(Minutes);
    auto* note = new QLabel(QStringLiteral("鍵をかける前に、書いている日記を保存します。\n"
                                           "0 にすると、操作がなくても鍵をかけません。"),
                            this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(Minutes, 0, 1);
    grid->addWidget(note, 1, 0, 1, 2);
    grid->addWidget(Ok_cancel_buttons(*this), 2, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    Minutes->setFocus();
}

int Lock_settings_window::Idle_minutes() const { return Minutes->value(); }

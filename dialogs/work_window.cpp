#include "dialogs/work_window.h"

#include "platform/app_title.h"
#include "ui/look.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

Work_window::Work_window(QWidget* parent, const QString& caption, Work work, bool can_stop)
    : QDialog(parent), to_do(std::move(work)), job(this)
{
    setObjectName(QStringLiteral("Work_window"));
    // No close button: the work ends the window.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    Set_window_look(*this, look::Main_green);
    setWindowTitle(App_title);
    Caption = new QLabel(caption, this);
    Caption->setObjectName(QStringLiteral("Caption"));
    Bar = new QProgressBar(this);
    Bar->setObjectName(QStringLiteral("Bar"));
    Bar->setRange(0, 0);
    Bar->setMinimumWidth(Bar->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 40);
    Bar->setFormat(QStringLiteral("%v / %m"));
    Stop = new QPushButton(QStringLiteral("中止"), this);
    Stop->setObjectName(QStringLiteral("Stop"));
    Stop->setAutoDefault(false);
    Stop->setVisible(can_stop);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Caption);
    column->addWidget(Bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(Stop);
    column->addLayout(row);
    column->setSizeConstraint(QLayout::SetFixedSize);
    connect(Stop, &QPushButton::clicked, this, [this] {
        job.Ask_to_stop();
        Stop->setEnabled(false);
        Caption->setText(QStringLiteral("中止しています。ここまでの作業を元に戻しています…"));
    });
}

void Work_window::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (started)
        return;
    started = true;
    job.Start(
        [work = to_do](const Job_control& control) {
            work(control);
            return true;
        },
        [this](bool) { QDialog::accept(); },
        [this](int done, int total) {
            Bar->setRange(0, std::max(total, 1));
            Bar->setValue(done);
        });
}

void Work_window::reject()
{
    // Esc and the like do nothing: the work ends the window.
}

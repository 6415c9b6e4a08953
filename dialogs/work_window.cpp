#include "dialogs/work_window.h"

#include "platform/app_title.h"
#include "ui/look.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

Work_window::Work_window(QWidget* parent, const QString& caption, Work work)
    : QDialog(parent), to_do(std::move(work)), job(this)
{
    setObjectName(QStringLiteral("Work_window"));
    // No close button: the work cannot be left halfway from here.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    Set_window_look(*this, look::Main_green);
    setWindowTitle(App_title);
    Caption = new QLabel(caption, this);
    Caption->setObjectName(QStringLiteral("Caption"));
    Caption->setWordWrap(true);
    Bar = new QProgressBar(this);
    Bar->setObjectName(QStringLiteral("Bar"));
    Bar->setRange(0, 0);
    Bar->setMinimumWidth(Bar->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 40);
    Bar->setFormat(QStringLiteral("%v / %m"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(Caption);
    column->addWidget(Bar);
    column->setSizeConstraint(QLayout::SetFixedSize);
}

void Work_window::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (started)
        return;
    started = true;
    job.Start([work = to_do](const Job_control& control) { return work(control); },
              [this](const Io_result& result) {
                  outcome = result;
                  QDialog::accept();
              },
              [this](int done, int total) {
                  Bar->setRange(0, std::max(total, 1));
                  Bar->setValue(done);
              });
}

void Work_window::reject()
{
    // Esc does nothing while the work runs; the work ends the window.
    if (!job.Running() && started)
        QDialog::reject();
}

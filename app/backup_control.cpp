#include "app/backup_control.h"

#include "dialogs/backup_settings_window.h"
#include "diary/session.h"
#include "platform/app_title.h"
#include "platform/clock.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QDir>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <iterator>

Backup_control::Backup_control(QObject* parent, const Backup_host& host)
    : QObject(parent), form(host), job(this)
{
    qRegisterMetaType<Backup_outcome>("Backup_outcome");
    Menu_backup = new QAction(QStringLiteral("バックアップを作成"), form.Menu_file);
    Menu_backup->setObjectName(QStringLiteral("Menu_backup"));
    form.Menu_file->insertAction(form.Menu_end, Menu_backup);
    form.Menu_file->insertSeparator(form.Menu_end);
    Menu_backup_settings = form.Menu_settei->addAction(QStringLiteral("バックアップの設定…"));
    Menu_backup_settings->setObjectName(QStringLiteral("Menu_backup_settings"));
    connect(Menu_backup, &QAction::triggered, this, &Backup_control::Menu_backup_Click);
    connect(Menu_backup_settings, &QAction::triggered, this,
            &Backup_control::Menu_backup_settings_Click);

    // The free space of the bottom row, between 明日へ and 終了; it follows
    // the two buttons wherever the layout puts them.
    Progress_label = new QLabel(form.Command2->parentWidget());
    Progress_label->setObjectName(QStringLiteral("Progress_label"));
    QFont small = Diary_font();
    small.setPointSizeF(9);
    Progress_label->setFont(small);
    Progress_label->setAlignment(Qt::AlignCenter);
    Progress_label->hide();
    form.Command2->installEventFilter(this);
    form.Command4->installEventFilter(this);
}

void Backup_control::Start_of_day()
{
    if (form.session.New_day() && Read_backup_settings(form.session.App_dir()).daily)
        Start(false);
}

void Backup_control::Menu_backup_Click() { Start(true); }

void Backup_control::Start(bool asked)
{
    const Backup_settings settings = Read_backup_settings(form.session.App_dir());
    const QString app_dir = form.session.App_dir();
    const QDate today = form.session.Time().Now().date();
    const bool started = job.Start(
        [app_dir, folder = settings.folder, today](const Job_control& control) {
            return Write_backup(app_dir, folder, today, control.Cancel_flag(),
                                [&control](int percent) { control.Progress(percent, 100); });
        },
        [this](const Backup_outcome& outcome) { Finished(outcome); },
        [this](int percent, int) { Show_progress(percent); });
    if (!started)
        return;
    asked_by_user = asked;
    Menu_backup->setEnabled(false);
    Place_label();
    Show_progress(0);
    Progress_label->show();
}

void Backup_control::Show_progress(int percent)
{
    percent_shown = percent;
    // The longest wording whose lines fit the free space: one line in a
    // wide window, two at the design width.
    const QString number = QStringLiteral("%1%").arg(percent);
    const QString wordings[] = {
        QStringLiteral("バックアップ中… ") + number, QStringLiteral("バックアップ中…\n") + number,
        QStringLiteral("バックアップ中\n") + number, QStringLiteral("バックアップ\n") + number};
    const QFontMetrics metrics(Progress_label->font());
    for (const QString& text : wordings) {
        const QStringList lines = text.split(QLatin1Char('\n'));
        const bool fits = std::all_of(lines.begin(), lines.end(), [&](const QString& line) {
            return metrics.horizontalAdvance(line) <= Progress_label->width();
        });
        if (fits || &text == &wordings[std::size(wordings) - 1]) {
            Progress_label->setText(text);
            return;
        }
    }
}

void Backup_control::Finished(const Backup_outcome& outcome)
{
    Progress_label->hide();
    Menu_backup->setEnabled(true);
    const QString kept = QStringLiteral("日記のファイルはそのままです。");
    if (!outcome.error.Ok() && outcome.path.isEmpty()) {
        Show_failure(form.platform, QStringLiteral("バックアップを作成できませんでした。"),
                     outcome.error, kept);
    } else if (!outcome.error.Ok()) {
        // Made, but the folder's sync could not be confirmed.
        Show_failure(form.platform,
                     QStringLiteral("バックアップを作成しましたが、ディスクへの書き込みを"
                                    "確かめられませんでした。"),
                     outcome.error, kept);
    } else if (!outcome.rotation_error.Ok()) {
        Show_failure(form.platform,
                     QStringLiteral("バックアップを作成しましたが、古いバックアップを"
                                    "削除できませんでした。"),
                     outcome.rotation_error);
    } else if (asked_by_user && !outcome.cancelled) {
        form.platform.Message_box(QStringLiteral("バックアップを作成しました。\nファイル: %1")
                                      .arg(QDir::toNativeSeparators(outcome.path)),
                                  App_title, Platform::Icon::Information, Platform::Buttons::Ok);
    }
    emit Backup_done(outcome);
}

void Backup_control::Menu_backup_settings_Click()
{
    Backup_settings settings = Read_backup_settings(form.session.App_dir());
    Backup_settings_window window(form.dialog_host, settings);
    if (form.platform.Run_modal(window) != QDialog::Accepted)
        return;
    if (const Io_result r = Write_backup_settings(form.session.App_dir(), settings); !r.Ok())
        Show_failure(form.platform, QStringLiteral("バックアップの設定を保存できませんでした。"),
                     r);
}

void Backup_control::Stop()
{
    job.Cancel();
    Progress_label->hide();
    Menu_backup->setEnabled(true);
}

bool Backup_control::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        Place_label();
    return QObject::eventFilter(watched, event);
}

void Backup_control::Place_label()
{
    const QRect left = form.Command4->geometry();
    const QRect right = form.Command2->geometry();
    const int gap = 2;
    Progress_label->setGeometry(left.right() + 1 + gap, left.top(),
                                std::max(0, right.left() - left.right() - 1 - 2 * gap),
                                left.height());
    if (Progress_label->isVisible())
        Show_progress(percent_shown);
}

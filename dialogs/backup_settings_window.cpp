#include "dialogs/backup_settings_window.h"

#include "platform/app_title.h"
#include "platform/platform.h"
#include "ui/look.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Backup_settings_window::Backup_settings_window(const Dialog_host& main_host,
                                               Backup_settings& backup_settings)
    : QDialog(main_host.window), host(main_host), settings(backup_settings)
{
    setObjectName(QStringLiteral("Backup_settings_window"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Set_window_look(*this, look::Yellow);
    setWindowTitle(App_title);

    auto* note =
        new QLabel(QStringLiteral("日記全体のバックアップ（zipファイル）を作るフォルダー"), this);
    Folder = new QLineEdit(QDir::toNativeSeparators(settings.folder), this);
    Folder->setObjectName(QStringLiteral("Folder"));
    Folder->setMinimumWidth(Folder->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 36);
    Browse = new QPushButton(QStringLiteral("参照…"), this);
    Browse->setObjectName(QStringLiteral("Browse"));
    Daily = new QCheckBox(QStringLiteral("毎日、その日の最初の起動でバックアップを作る"), this);
    Daily->setObjectName(QStringLiteral("Daily"));
    Daily->setChecked(settings.daily);
    Ok = new QPushButton(QStringLiteral("OK"), this);
    Ok->setObjectName(QStringLiteral("Ok"));
    Cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    for (QPushButton* b : {Browse, Ok, Cancel})
        b->setAutoDefault(false);
    Ok->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(note, 0, 0, 1, 2);
    grid->addWidget(Folder, 1, 0);
    grid->addWidget(Browse, 1, 1);
    grid->addWidget(Daily, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Ok);
    buttons->addWidget(Cancel);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(Browse, &QPushButton::clicked, this, &Backup_settings_window::Browse_Click);
    connect(Ok, &QPushButton::clicked, this, &Backup_settings_window::Ok_Click);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    Folder->setFocus();
}

void Backup_settings_window::Browse_Click()
{
    const QString chosen =
        QFileDialog::getExistingDirectory(this, QStringLiteral("バックアップのフォルダー"),
                                          QDir::fromNativeSeparators(Folder->text()));
    if (!chosen.isEmpty())
        Folder->setText(QDir::toNativeSeparators(chosen));
}

void Backup_settings_window::Ok_Click()
{
    const QString folder = QDir::fromNativeSeparators(Folder->text().trimmed());
    // Relative to what would be a guess; a line break could not be kept in
    // the settings file's one line.
    if (!QDir::isAbsolutePath(folder) || folder.contains(QLatin1Char('\n'))) {
        host.platform.Message_box(
            QStringLiteral("バックアップのフォルダーは、「/」で始まる場所で指定してください。"),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
        Folder->setFocus();
        return;
    }
    settings.folder = QDir::cleanPath(folder);
    if (!settings.folder.endsWith(QLatin1Char('/')))
        settings.folder += QLatin1Char('/');
    settings.daily = Daily->isChecked();
    accept();
}

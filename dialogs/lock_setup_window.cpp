#include "dialogs/lock_setup_window.h"

#include "dialogs/password_window.h"
#include "platform/app_title.h"
#include "ui/look.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QString Lock_warning_text(const QString& folder)
{
    return QStringLiteral(
               "日記に鍵をかけると、日記のフォルダーのファイルはすべて暗号化され、\n"
               "パスワードを知っている人がこのプログラムで開いたときにしか読めなくなります。\n\n"
               "・Windows 版のソラネや、テキストエディターなどほかのプログラムでは、\n"
               "　このフォルダーの日記を読めなくなります。\n"
               "・パスワードと、このあと表示する回復キーの両方をなくすと、\n"
               "　日記は誰にも（あなたにも）二度と読めなくなります。\n\n"
               "日記のフォルダー: %1")
        .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)));
}

Lock_setup_window::Lock_setup_window(const Dialog_host& main_host, const QString& folder)
    : QDialog(main_host.window), host(main_host)
{
    setObjectName(QStringLiteral("Lock_setup_window"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Set_window_look(*this, look::Yellow);
    setWindowTitle(QStringLiteral("日記に鍵をかける"));

    Warning = new QLabel(Lock_warning_text(folder), this);
    Warning->setObjectName(QStringLiteral("Warning"));
    Password_field = Secret_field(this, "Password_field");
    Again_field = Secret_field(this, "Again_field");
    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    QPalette red = Status->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    Status->setPalette(red);
    Ok = Dialog_button(this, "Ok", QStringLiteral("鍵をかける"));
    Cancel = Dialog_button(this, "Cancel", QStringLiteral("キャンセル"));
    Ok->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Warning, 0, 0, 1, 2);
    const int row = Add_field_rows(*grid, 1,
                                   {{QStringLiteral("パスワード(&P):"), Password_field},
                                    {QStringLiteral("もう一度(&A):"), Again_field}});
    grid->addWidget(Status, row, 0, 1, 2);
    Add_button_row(*grid, row + 1, {Ok, Cancel});

    connect(Ok, &QPushButton::clicked, this, &Lock_setup_window::Ok_Click);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    Password_field->setFocus();
}

void Lock_setup_window::Ok_Click()
{
    const QString problem = New_password_problem(Password_field->text(), Again_field->text());
    if (!problem.isEmpty()) {
        Status->setText(problem);
        Password_field->clear();
        Again_field->clear();
        Password_field->setFocus();
        return;
    }
    chosen = Password_field->text().toUtf8();
    Password_field->clear();
    Again_field->clear();
    accept();
}

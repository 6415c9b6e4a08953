#include "dialogs/password_window.h"

#include "platform/app_title.h"
#include "ui/look.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

QLineEdit* Secret_field(QWidget* parent, const char* name)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setEchoMode(QLineEdit::Password);
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 30);
    return field;
}

namespace {

QProgressBar* Busy_bar(QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QStringLiteral("Working"));
    bar->setRange(0, 0);  // moving without an end: the check has no steps
    bar->setTextVisible(false);
    bar->setMaximumHeight(bar->fontMetrics().height());
    bar->hide();
    return bar;
}

}  // namespace

QPushButton* Dialog_button(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

int Add_field_rows(QGridLayout& grid, int row,
                   std::initializer_list<std::pair<QString, QLineEdit*>> rows)
{
    for (const auto& [caption, field] : rows) {
        auto* label = new QLabel(caption, grid.parentWidget());
        label->setBuddy(field);
        grid.addWidget(label, row, 0);
        grid.addWidget(field, row, 1);
        ++row;
    }
    return row;
}

void Add_button_row(QGridLayout& grid, int row, std::initializer_list<QPushButton*> at_right,
                    QPushButton* at_left)
{
    auto* buttons = new QHBoxLayout;
    if (at_left)
        buttons->addWidget(at_left);
    buttons->addStretch();
    for (QPushButton* b : at_right)
        buttons->addWidget(b);
    grid.addLayout(buttons, row, 0, 1, 2);
    grid.setSizeConstraint(QLayout::SetFixedSize);
}

namespace {

// A password leaves the field's memory as soon as it was taken.
QByteArray Take_password(QLineEdit* field)
{
    const QByteArray utf8 = field->text().toUtf8();
    field->clear();
    return utf8;
}

void Show_status(QLabel* status, const QString& text, bool warning)
{
    QPalette palette = status->palette();
    palette.setColor(QPalette::WindowText, warning ? QColor(192, 0, 0) : QColor(Qt::black));
    status->setPalette(palette);
    status->setText(text);
}

}  // namespace

QString Wrong_password_text()
{
    return QStringLiteral("パスワードが違います。もう一度入力してください。");
}

QString Wrong_recovery_key_text()
{
    return QStringLiteral("回復キーが違います。\n書き留めた回復キーを確かめて、"
                          "もう一度入力してください。");
}

QString New_password_problem(const QString& password, const QString& again)
{
    if (password.size() < 8)
        return QStringLiteral("パスワードは8文字以上にしてください。");
    if (password != again)
        return QStringLiteral("2回入力したパスワードが一致しません。もう一度入力してください。");
    return {};
}

Password_window::Password_window(QWidget* parent, Purpose purpose, const QString& folder,
                                 Checker checker, const Keyring_offer& keyring)
    : QDialog(parent), check(std::move(checker)), purpose_shown(purpose), job(this)
{
    setObjectName(QStringLiteral("Password_window"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Set_window_look(*this, look::Main_green);
    setWindowTitle(App_title);

    const QString place = QDir::toNativeSeparators(QDir::cleanPath(folder));
    QString intro;
    switch (purpose) {
    case Purpose::Start:
        intro = QStringLiteral("この日記には鍵がかかっています。\nパスワードを入力してください。\n"
                               "日記のフォルダー: %1")
                    .arg(place);
        break;
    case Purpose::Idle:
        intro = QStringLiteral("しばらく操作がなかったため、日記に鍵をかけました。\n"
                               "続けるには、パスワードを入力してください。");
        break;
    case Purpose::Unlock:
        intro = QStringLiteral("日記の鍵を外します。\n"
                               "鍵を外すと、日記のファイルはすべて暗号化されない元の形に戻り、\n"
                               "このパソコンを使えるほかの人やほかのプログラムからも"
                               "読めるようになります。\n"
                               "よろしければ、パスワードを入力してください。");
        break;
    }
    Intro = new QLabel(intro, this);
    Intro->setObjectName(QStringLiteral("Intro"));
    Password_field = Secret_field(this, "Password_field");
    Remember_tick = new QCheckBox(QStringLiteral("このコンピューターに覚えておく"), this);
    Remember_tick->setObjectName(QStringLiteral("Remember_tick"));
    Remember_tick->setChecked(keyring.available && keyring.ticked);
    keyring_offered = keyring.available;
    Remember_tick->setEnabled(keyring.available);
    Remember_tick->setToolTip(keyring.available
                                  ? QStringLiteral("パスワードをデスクトップのキーリングに保存し、"
                                                   "次からは尋ねずに日記を開きます。")
                                  : keyring.why_not);
    Remember_tick->setVisible(purpose != Purpose::Unlock);
    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Working = Busy_bar(this);
    Recovery = Dialog_button(this, "Recovery", QStringLiteral("回復キーを使う…"));
    Recovery->setVisible(purpose != Purpose::Unlock);
    Ok = Dialog_button(
        this, "Ok", purpose == Purpose::Unlock ? QStringLiteral("鍵を外す") : QStringLiteral("OK"));
    Cancel = Dialog_button(this, "Cancel",
                           purpose == Purpose::Idle ? QStringLiteral("終了")
                                                    : QStringLiteral("キャンセル"));
    Ok->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Intro, 0, 0, 1, 2);
    Add_field_rows(*grid, 1, {{QStringLiteral("パスワード(&P):"), Password_field}});
    grid->addWidget(Remember_tick, 2, 1);
    grid->addWidget(Status, 3, 0, 1, 2);
    grid->addWidget(Working, 4, 0, 1, 2);
    Add_button_row(*grid, 5, {Ok, Cancel}, Recovery);

    connect(Ok, &QPushButton::clicked, this, &Password_window::Ok_Click);
    connect(Cancel, &QPushButton::clicked, this, &Password_window::reject);
    connect(Recovery, &QPushButton::clicked, this, [this] {
        if (!Checking())
            done(Use_recovery_key);
    });
    Password_field->setFocus();
}

bool Password_window::Remember() const
{
    return purpose_shown != Purpose::Unlock && keyring_offered && Remember_tick->isChecked();
}

void Password_window::Ok_Click()
{
    if (Checking())
        return;
    if (Password_field->text().isEmpty()) {
        Show_status(Status, QStringLiteral("パスワードを入力してください。"), true);
        Password_field->setFocus();
        return;
    }
    const QByteArray password = Take_password(Password_field);
    Set_checking(true);
    job.Start([checker = check, password](const Job_control&) { return checker(password); },
              [this, password](const Key_check& result) { Checked(result, password); });
}

void Password_window::Checked(const Key_check& result, const QByteArray& password)
{
    Set_checking(false);
    switch (result.outcome) {
    case Key_check::Outcome::Opened:
        opened_with = password;
        accept();
        return;
    case Key_check::Outcome::Wrong: Show_status(Status, Wrong_password_text(), true); break;
    case Key_check::Outcome::Failed: Show_status(Status, result.failure, true); break;
    }
    Password_field->setFocus();
}

void Password_window::Set_checking(bool checking)
{
    if (checking)
        Show_status(Status, QStringLiteral("パスワードを確かめています…"), false);
    Working->setVisible(checking);
    for (QWidget* w : std::initializer_list<QWidget*>{Password_field, Recovery, Ok, Cancel})
        w->setEnabled(!checking);
    Remember_tick->setEnabled(!checking && keyring_offered);
}

void Password_window::reject()
{
    // A check under way ends first: its outcome decides.
    if (!Checking())
        QDialog::reject();
}

Recovery_window::Recovery_window(QWidget* parent, Checker checker, Opened_by opened_by)
    : QDialog(parent), check(std::move(checker)), by(opened_by), job(this)
{
    const bool recovering = by == Opened_by::Recovery_key;
    setObjectName(recovering ? QStringLiteral("Recovery_window")
                             : QStringLiteral("Change_password_window"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Set_window_look(*this, look::Main_green);
    setWindowTitle(App_title);

    auto* intro = new QLabel(
        recovering ? QStringLiteral("日記に鍵をかけたときに書き留めた回復キーを入力し、\n"
                                    "新しいパスワードを決めてください。\n"
                                    "回復キーは、区切りの「-」や空白を省いても、"
                                    "小文字で入力してもかまいません。")
                   : QStringLiteral("今のパスワードを入力し、新しいパスワードを決めてください。\n"
                                    "日記のファイルはそのままで、鍵のファイルだけが"
                                    "書き換わります。\n回復キーは今までのものが使えます。"),
        this);
    if (recovering) {
        Recovery_field = new QLineEdit(this);
        Recovery_field->setObjectName(QStringLiteral("Recovery_field"));
        Recovery_field->setMinimumWidth(
            Recovery_field->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 40);
    } else {
        Recovery_field = Secret_field(this, "Current_password");
    }
    New_password = Secret_field(this, "New_password");
    New_password_again = Secret_field(this, "New_password_again");
    Status = new QLabel(this);
    Status->setObjectName(QStringLiteral("Status"));
    Working = Busy_bar(this);
    Ok = Dialog_button(this, "Ok", QStringLiteral("OK"));
    Cancel = Dialog_button(this, "Cancel", QStringLiteral("キャンセル"));
    Ok->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(intro, 0, 0, 1, 2);
    int row = Add_field_rows(
        *grid, 1,
        {{recovering ? QStringLiteral("回復キー(&R):") : QStringLiteral("今のパスワード(&C):"),
          Recovery_field},
         {QStringLiteral("新しいパスワード(&N):"), New_password},
         {QStringLiteral("もう一度(&A):"), New_password_again}});
    grid->addWidget(Status, row++, 0, 1, 2);
    grid->addWidget(Working, row++, 0, 1, 2);
    Add_button_row(*grid, row, {Ok, Cancel});

    connect(Ok, &QPushButton::clicked, this, &Recovery_window::Ok_Click);
    connect(Cancel, &QPushButton::clicked, this, &Recovery_window::reject);
    Recovery_field->setFocus();
}

void Recovery_window::Ok_Click()
{
    if (Checking())
        return;
    const bool recovering = by == Opened_by::Recovery_key;
    if (recovering ? Recovery_field->text().trimmed().isEmpty()
                   : Recovery_field->text().isEmpty()) {
        Show_status(Status,
                    recovering ? QStringLiteral("回復キーを入力してください。")
                               : QStringLiteral("今のパスワードを入力してください。"),
                    true);
        Recovery_field->setFocus();
        return;
    }
    if (const QString problem =
            New_password_problem(New_password->text(), New_password_again->text());
        !problem.isEmpty()) {
        Show_status(Status, problem, true);
        New_password->clear();
        New_password_again->clear();
        New_password->setFocus();
        return;
    }
    const QString recovery_text = Recovery_field->text();
    if (!recovering)
        Recovery_field->clear();
    const QByteArray password = Take_password(New_password);
    New_password_again->clear();
    Set_checking(true);
    job.Start([checker = check, recovery_text,
               password](const Job_control&) { return checker(recovery_text, password); },
              [this, password, recovering](const Key_check& result) {
                  Set_checking(false);
                  switch (result.outcome) {
                  case Key_check::Outcome::Opened:
                      opened_with = password;
                      Recovery_field->clear();
                      accept();
                      return;
                  case Key_check::Outcome::Wrong:
                      Show_status(Status,
                                  recovering ? Wrong_recovery_key_text() : Wrong_password_text(),
                                  true);
                      Recovery_field->setFocus();
                      break;
                  case Key_check::Outcome::Failed: Show_status(Status, result.failure, true); break;
                  }
              });
}

void Recovery_window::Set_checking(bool checking)
{
    if (checking)
        Show_status(Status,
                    by == Opened_by::Recovery_key ? QStringLiteral("回復キーを確かめています…")
                                                  : QStringLiteral("パスワードを確かめています…"),
                    false);
    Working->setVisible(checking);
    for (QWidget* w : std::initializer_list<QWidget*>{Recovery_field, New_password,
                                                      New_password_again, Ok, Cancel})
        w->setEnabled(!checking);
}

void Recovery_window::reject()
{
    if (!Checking())
        QDialog::reject();
}

#include "dialogs/versions_window.h"

#include "dialogs/history_window.h"
#include "platform/platform.h"
#include "ui/io_message.h"
#include "ui/line_marks.h"
#include "ui/look.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

Versions_window::Versions_window(const Dialog_host& main_host, const Panel_date& day,
                                 const QList<Other_version>& other_versions,
                                 const Day_entry& current_entry)
    : QDialog(main_host.window), host(main_host), versions(other_versions), current(current_entry)
{
    setObjectName(QStringLiteral("Versions_window"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    Set_window_look(*this, look::Light_yellow);
    setWindowTitle(
        QStringLiteral("%1年%2月%3日のほかの版").arg(day.year).arg(day.month).arg(day.day));
    setFont(Diary_font());

    auto* list_note = new QLabel(
        QStringLiteral("この日のほかの版（同期ソフトやほかのパソコンが残したファイル）"), this);
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setFont(List_font());
    auto* other_note = new QLabel(QStringLiteral("ほかの版"), this);
    auto* current_note =
        new QLabel(QStringLiteral("現在の日記（ここで書き直して、まとめられます）"), this);
    Other_record = new QLabel(this);
    Other_record->setObjectName(QStringLiteral("Other_record"));
    Current_record = new QLabel(Record_line(current.memo, current.flag), this);
    Current_record->setObjectName(QStringLiteral("Current_record"));
    Other_text = new QPlainTextEdit(this);
    Other_text->setObjectName(QStringLiteral("Other_text"));
    Other_text->setReadOnly(true);
    Current_text = new QPlainTextEdit(this);
    Current_text->setObjectName(QStringLiteral("Current_text"));
    Current_text->setPlainText(current.text);
    auto* explain = new QLabel(
        QStringLiteral("残さなかった版は「この日の履歴」に入ってから、ファイルが消えます。"), this);
    explain->setWordWrap(true);
    Keep_button = new QPushButton(QStringLiteral("今の日記を残す"), this);
    Keep_button->setObjectName(QStringLiteral("Keep_button"));
    Take_button = new QPushButton(QStringLiteral("この版にする"), this);
    Take_button->setObjectName(QStringLiteral("Take_button"));
    Merge_button = new QPushButton(QStringLiteral("書き直した日記にする"), this);
    Merge_button->setObjectName(QStringLiteral("Merge_button"));
    Close_button = new QPushButton(QStringLiteral("閉じる"), this);
    Close_button->setObjectName(QStringLiteral("Close_button"));
    for (QPushButton* b : {Keep_button, Take_button, Merge_button, Close_button})
        b->setAutoDefault(false);
    Merge_button->setEnabled(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(list_note, 0, 0, 1, 2);
    grid->addWidget(List1, 1, 0, 1, 2);
    grid->addWidget(other_note, 2, 0);
    grid->addWidget(current_note, 2, 1);
    grid->addWidget(Other_record, 3, 0);
    grid->addWidget(Current_record, 3, 1);
    grid->addWidget(Other_text, 4, 0);
    grid->addWidget(Current_text, 4, 1);
    grid->addWidget(explain, 5, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Keep_button);
    buttons->addWidget(Take_button);
    buttons->addWidget(Merge_button);
    buttons->addStretch();
    buttons->addWidget(Close_button);
    grid->addLayout(buttons, 6, 0, 1, 2);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(4, 4);

    for (const Other_version& v : versions)
        List1->addItem(v.name);
    connect(List1, &QListWidget::currentRowChanged, this, &Versions_window::List1_Click);
    connect(Current_text, &QPlainTextEdit::textChanged, this, &Versions_window::Current_changed);
    connect(Keep_button, &QPushButton::clicked, this, &Versions_window::Keep_Click);
    connect(Take_button, &QPushButton::clicked, this, &Versions_window::Take_Click);
    connect(Merge_button, &QPushButton::clicked, this, &Versions_window::Merge_Click);
    connect(Close_button, &QPushButton::clicked, this, &QDialog::reject);

    const QRect main = host.window ? host.window->frameGeometry() : QRect(0, 0, 900, 640);
    resize(std::max(760, main.width() - 40), std::max(520, main.height() - 40));
    move(main.center() - rect().center());
    List1->setCurrentRow(versions.isEmpty() ? -1 : 0);
    List1->setFocus();
}

void Versions_window::List1_Click()
{
    const int row = List1->currentRow();
    const bool readable = row >= 0 && row < versions.size() && versions[row].error.Ok();
    Keep_button->setEnabled(readable);
    Take_button->setEnabled(readable);
    Current_changed();
    if (!readable) {
        Other_text->clear();
        Other_record->clear();
        if (row >= 0 && row < versions.size())
            Show_failure(host.platform, QStringLiteral("ほかの版を読み込めませんでした。"),
                         versions[row].error);
        return;
    }
    const Other_version& v = versions[row];
    Other_text->setPlainText(v.entry.text);
    Other_record->setText(v.record_known ? Record_line(v.entry.memo, v.entry.flag)
                                         : QStringLiteral("メモ・思い出：今の日記と同じ"));
    Mark_differences();
}

void Versions_window::Current_changed()
{
    const int row = List1->currentRow();
    const bool readable = row >= 0 && row < versions.size() && versions[row].error.Ok();
    Merge_button->setEnabled(readable && Current_text->toPlainText() != current.text);
    if (readable)
        Mark_differences();
}

void Versions_window::Mark_differences()
{
    Mark_line_differences(*Other_text, Other_text->toPlainText(), *Current_text,
                          Current_text->toPlainText());
}

void Versions_window::Choose(Choice choice, const Day_entry& entry)
{
    chosen = Chosen{List1->currentRow(), choice, entry};
    accept();
}

void Versions_window::Keep_Click()
{
    if (Keep_button->isEnabled())
        Choose(Choice::Keep_current, current);
}

void Versions_window::Take_Click()
{
    if (!Take_button->isEnabled())
        return;
    const Other_version& v = versions[List1->currentRow()];
    Day_entry entry = v.entry;
    if (!v.record_known) {
        entry.memo = current.memo;
        entry.flag = current.flag;
    }
    Choose(Choice::Take_other, entry);
}

void Versions_window::Merge_Click()
{
    if (!Merge_button->isEnabled())
        return;
    Day_entry entry = current;
    entry.text = Current_text->toPlainText();
    Choose(Choice::Merged, entry);
}

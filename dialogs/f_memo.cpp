#include "dialogs/f_memo.h"

#include "ui/look.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

namespace {

constexpr Control_place F_memo_places[] = {
    {"Grid1", {60, 60, 6495, 3675}},       {"Text1", {60, 3780, 675, 435}},
    {"VScroll1", {720, 3780, 375, 435}},   {"Label1", {1260, 3840, 1395, 225}},
    {"Text2", {2640, 3780, 3915, 435}},    {"Command3", {2640, 4260, 1035, 435}},
    {"Command2", {4380, 4260, 1035, 435}}, {"Command1", {5520, 4260, 1035, 435}},
};

}  // namespace

F_memo::F_memo(const Dialog_host& main_host, Diary_session& diary_session, Show_day show_day)
    : Day_list_window(main_host, diary_session, std::move(show_day), "F_memo", 6600, 4740,
                      look::Light_cyan)
{
    Label1 = new QLabel(QStringLiteral("検索のｷｰﾜｰﾄﾞ"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Command3 = new QPushButton(QStringLiteral("検索"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command2 = new QPushButton(QStringLiteral("呼出し"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command1 = new QPushButton(QStringLiteral("終了"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    for (QPushButton* button : {Command3, Command2, Command1}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    Place_controls(*this, F_memo_places);

    setTabOrder(Text2, Command3);
    setTabOrder(Command3, Command2);
    setTabOrder(Command2, Command1);
    setTabOrder(Command1, Text1);
    setTabOrder(Text1, VScroll1);
    setTabOrder(VScroll1, Grid1);

    connect(Command3, &QPushButton::clicked, this, &F_memo::Command3_Click);
    connect(Command2, &QPushButton::clicked, this, &F_memo::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &F_memo::Command1_Click);
}

void F_memo::Form_Load()
{
    Load_common(QStringLiteral("メモの中の言葉を指定して検索をします"));
    Text2->clear();
    Text2->setFocus();
}

void F_memo::Command3_Click()
{
    const QString keyword = Text2->text();
    Rebuild_day_list([keyword](const QString& line) { return Keyword_test(line, keyword); });
}

void F_memo::Command2_Click() { Recall_selected_day(); }

// Esc does the same: the dialog's reject.
void F_memo::Command1_Click() { reject(); }

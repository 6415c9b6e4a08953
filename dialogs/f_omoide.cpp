#include "dialogs/f_omoide.h"

#include "ui/look.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

namespace {

constexpr Control_place F_omoide_places[] = {
    {"Grid1", {60, 60, 6495, 3795}},       {"Text1", {3000, 3900, 795, 435}},
    {"VScroll1", {3780, 3900, 375, 435}},  {"Command1", {4320, 3900, 1035, 435}},
    {"Command2", {5520, 3900, 1035, 435}},
};

}  // namespace

F_omoide::F_omoide(const Dialog_host& main_host, Diary_session& diary_session, Show_day show_day)
    : Day_list_window(main_host, diary_session, std::move(show_day), "F_omoide", 6615, 4380,
                      look::Light_yellow)
{
    Command1 = new QPushButton(QStringLiteral("呼出し"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("終了"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    for (QPushButton* button : {Command1, Command2}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    Place_controls(*this, F_omoide_places);

    setTabOrder(Command2, Command1);
    setTabOrder(Command1, Text1);
    setTabOrder(Text1, VScroll1);
    setTabOrder(VScroll1, Grid1);

    connect(Text1, &QLineEdit::textChanged, this, &F_omoide::Text1_Change);
    connect(Command1, &QPushButton::clicked, this, &F_omoide::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &F_omoide::Command2_Click);
}

void F_omoide::Form_Load()
{
    Load_common(QStringLiteral("『思い出』がチェックされている日です"));
    Command2->setFocus();
}

void F_omoide::Text1_Change() { Rebuild_day_list(Memory_test); }

void F_omoide::Command1_Click() { Recall_selected_day(); }

// Esc does the same: the dialog's reject.
void F_omoide::Command2_Click() { reject(); }

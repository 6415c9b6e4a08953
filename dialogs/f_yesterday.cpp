#include "dialogs/f_yesterday.h"

#include "platform/platform.h"
#include "store/exact_text.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {

constexpr Control_place F_yesterday_places[] = {
    {"Text1", {0, 0, 9375, 3495}},
    {"Command1", {8220, 3540, 1095, 435}},
};

}  // namespace

F_yesterday::F_yesterday(const Dialog_host& main_host, Diary_store& diary_store)
    : QDialog(main_host.window), host(main_host), store(diary_store)
{
    setObjectName(QStringLiteral("F_yesterday"));
    setModal(true);
    Set_window_look(*this, look::Yellow);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Paint_in_bands(*Text1->verticalScrollBar());
    // The message is shown, not kept: what is typed here would go nowhere.
    Text1->setReadOnly(true);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Place_controls(*this, F_yesterday_places);
    connect(Command1, &QPushButton::clicked, this, &F_yesterday::Command1_Click);
}

bool F_yesterday::Form_Load()
{
    Centre_over_main(*this, host, F_yesterday_client_width, F_yesterday_client_height);
    setWindowTitle(QStringLiteral("◆◇◆ 昨日のあなたから、メッセージが届いています ◆◇◆"));
    host.platform.Beep();
    const Text_read read = Read_exact_text_file(store.Yesterday_path());
    if (!read.result.Ok()) {
        Show_failure(host.platform,
                     QStringLiteral("昨日のあなたからのメッセージを読み込めませんでした。"),
                     read.result);
        return false;
    }
    Text1->setPlainText(read.text);
    Command1->setFocus();
    return true;
}

void F_yesterday::Command1_Click() { accept(); }

#include "dialogs/f_yesterday.h"

#include "app/io_message.h"
#include "app/main_form.h"
#include "app/twips.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QColor Greeting_yellow(255, 255, 0);

}  // namespace

F_yesterday::F_yesterday(Main_form& form) : QDialog(&form), form(form)
{
    setObjectName(QStringLiteral("F_yesterday"));
    setModal(true);
    QPalette yellow = palette();
    yellow.setColor(QPalette::Window, Greeting_yellow);
    setPalette(yellow);
    setAutoFillBackground(true);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPointSizeF(11.25);
    setFont(font);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The message is shown, not kept: what is typed here would go nowhere.
    Text1->setReadOnly(true);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    Text1->setGeometry(form.Pixels({0, 0, 9375, 3495}));
    Command1->setGeometry(form.Pixels({8220, 3540, 1095, 435}));
    connect(Command1, &QPushButton::clicked, this, &F_yesterday::Command1_Click);
}

bool F_yesterday::Form_Load()
{
    Centre_over_main_form(*this, form, F_yesterday_client_width, F_yesterday_client_height);
    setWindowTitle(QStringLiteral("◆◇◆ 昨日のあなたから、メッセージが届いています ◆◇◆"));
    form.platform.Beep();
    const Text_read read = form.store.Read_text_file(form.store.Yesterday_path());
    Tell_capped_read(form.platform, read);
    const Io_result& error = read.result;
    const QString& text = read.text;
    if (!error.ok()) {
        form.platform.Message_box(
            Io_message(QStringLiteral("昨日のあなたからのメッセージを読み込めませんでした。"),
                       error),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
        return false;
    }
    Text1->setPlainText(text);
    Command1->setFocus();
    return true;
}

void F_yesterday::Command1_Click() { accept(); }

void Main_form::Hand_over_messages_at_start()
{
    const QString today_key =
        Diary_store::Date_key(state.today.year(), state.today.month(), state.today.day());
    bool may_hand_over = state.new_day;
    // Today's start was recorded, but a failure or a kill stopped the
    // hand-over that should have followed: tomorrow's message is still
    // there from an earlier day (a message written today is never older
    // than today), so it is handed over now rather than shown as today's.
    if (!may_hand_over) {
        const QFileInfo tomorrow(store.Tomorrow_path());
        may_hand_over = tomorrow.isFile() && tomorrow.lastModified().date() < state.today;
    }
    // The day's start is made durable before any message moves: a program
    // killed later today must not take its next start for a new day again,
    // which would drop the message just received.
    if (state.last_run_date != today_key) {
        Settings now = state;
        now.last_run_date = today_key;
        if (state.new_day)
            now.fortune_state = QStringLiteral("mada");
        if (const Io_result r = store.Write_settings(now); !r.ok()) {
            Show_failure(QStringLiteral("設定ファイルを保存できませんでした。"), r,
                         state.new_day ? QStringLiteral(
                                             "メッセージの受け渡しは、次に起動するときに行います。")
                                       : QString());
            may_hand_over = false;
        }
    }
    if (may_hand_over) {
        // One rename drops the old message and moves the new one in.
        if (const Io_result r = store.Hand_over_messages(); r.step == Io_step::Sync_folder)
            Show_failure(
                QStringLiteral("メッセージの受け渡しを、ディスクに確かめられませんでした。"), r);
        else if (!r.ok())
            Show_failure(QStringLiteral("昨日のあなたからのメッセージを受け渡せませんでした。"), r,
                         QStringLiteral("メッセージのファイルは元のままです。"));
    }
    if (Diary_store::File_exists(store.Yesterday_path())) {
        F_yesterday greeting(*this);
        if (greeting.Form_Load())
            platform.Run_modal(greeting);
    }
}

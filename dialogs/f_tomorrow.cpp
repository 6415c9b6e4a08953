#include "dialogs/f_tomorrow.h"

#include "diary/session.h"
#include "platform/platform.h"
#include "store/exact_text.h"
#include "ui/chars_note.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

namespace {

constexpr Control_place F_tomorrow_places[] = {
    {"Label1", {2100, 120, 4950, 225}},    {"Text1", {0, 420, 9375, 2775}},
    {"Command2", {7620, 3240, 1455, 375}}, {"Label2", {2700, 3360, 3825, 225}},
    {"Text2", {0, 3660, 9375, 2355}},      {"Command1", {7620, 6120, 1455, 375}},
};

}  // namespace

F_tomorrow::F_tomorrow(const Dialog_host& main_host, Diary_session& diary_session)
    : QDialog(main_host.window), host(main_host), session(diary_session)
{
    setObjectName(QStringLiteral("F_tomorrow"));
    setModal(true);
    Set_window_look(*this, look::Light_cyan);
    const QPalette cyan = palette();

    auto label = [this, &cyan](QLabel*& l, const char* name, const QString& caption) {
        l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        l->setPalette(cyan);
        l->setAutoFillBackground(true);
    };
    auto text_area = [this](QPlainTextEdit*& area, const char* name) {
        area = new QPlainTextEdit(this);
        area->setObjectName(QLatin1String(name));
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        Paint_in_bands(*area->verticalScrollBar());
    };
    auto button = [this](QPushButton*& b, const char* name, const QString& caption) {
        b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
    };
    label(Label1, "Label1", QStringLiteral("明日のあなたへのメッセージを記入して下さい。"));
    text_area(Text1, "Text1");
    button(Command2, "Command2", QStringLiteral("↑コピー"));
    label(Label2, "Label2", QStringLiteral("昨日のあなたからのメッセージです。"));
    text_area(Text2, "Text2");
    button(Command1, "Command1", QStringLiteral("終了"));

    // The received message can be edited before ↑コピー brings it up into
    // the box that is kept; the edits themselves are never written.
    QPalette blue = Text2->palette();
    blue.setColor(QPalette::Text, look::Reference_blue);
    Text2->setPalette(blue);

    Place_controls(*this, F_tomorrow_places);
    // The labels fit their captions in whatever font stands in for the
    // design font.
    Label1->adjustSize();
    Label2->adjustSize();
    chars_note = new Chars_note(Text1);

    connect(Command2, &QPushButton::clicked, this, &F_tomorrow::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &F_tomorrow::Command1_Click);
}

bool F_tomorrow::Form_Load()
{
    Centre_over_main(*this, host, F_tomorrow_client_width, F_tomorrow_client_height);
    setWindowTitle(QStringLiteral("◆◇◆ 明日はもっと素晴らしい日になりますように ◆◇◆"));
    const Text_read received = Read_exact_text_file(session.Store().Yesterday_path());
    Text2->setPlainText(received.result.Ok() ? received.text : QString());
    if (!received.result.Ok())
        Show_failure(host.platform,
                     QStringLiteral("昨日のあなたからのメッセージを読み込めませんでした。"),
                     received.result);
    const Text_read message = Read_exact_text_file(session.Store().Tomorrow_path());
    if (!message.result.Ok()) {
        Show_failure(host.platform, QStringLiteral("明日へのメッセージを読み込めませんでした。"),
                     message.result);
        return false;
    }
    Text1->setPlainText(message.text);
    loaded_text = Text1->toPlainText();
    Text1->setFocus();
    return true;
}

void F_tomorrow::Command2_Click()
{
    QTextCursor end(Text1->document());
    end.movePosition(QTextCursor::End);
    end.insertText(Text2->toPlainText());
    Text1->setTextCursor(end);
    Text1->setFocus();
}

bool F_tomorrow::Save_message()
{
    const QString text = Text1->toPlainText();
    if (text.isEmpty()) {
        if (loaded_text.isEmpty())
            return true;
        // The user emptied the box: the message is withdrawn, and is not
        // delivered tomorrow.
        const Io_result r = session.Save_message(text);
        if (r.step == Io_step::Sync_folder) {
            Show_failure(host.platform,
                         QStringLiteral("明日へのメッセージを消したことを、ディスクに確かめられ"
                                        "ませんでした。"),
                         r);
        } else if (!r.Ok()) {
            Show_failure(host.platform, QStringLiteral("明日へのメッセージを消せませんでした。"), r,
                         QStringLiteral("前のメッセージは、明日に届きます。"));
            return false;
        }
        loaded_text = text;
        return true;
    }
    if (const Io_result r = session.Save_message(text); !r.Ok()) {
        Show_failure(host.platform, QStringLiteral("明日へのメッセージを保存できませんでした。"), r,
                     QStringLiteral("メッセージは画面に残っています。"));
        return false;
    }
    loaded_text = text;
    return true;
}

void F_tomorrow::Command1_Click()
{
    if (Save_message())
        accept();
}

void F_tomorrow::reject()
{
    const QString text = Text1->toPlainText();
    if (!text.isEmpty() && text != loaded_text) {
        const Platform::Answer answer = host.platform.Message_box(
            QStringLiteral("明日へのメッセージは、まだ保存されていません。\n"
                           "「はい」：保存して閉じます。\n"
                           "「いいえ」：保存せずに閉じます。\n"
                           "「キャンセル」：閉じずに、メッセージの画面に戻ります。"),
            App_title, Platform::Icon::Question, Platform::Buttons::Yes_no_cancel);
        // The program ended while the question was open: the message was
        // dealt with then, and the window is already closed.
        if (closed_without_user)
            return;
        if (answer == Platform::Answer::Cancel)
            return;
        if (answer == Platform::Answer::Yes && !Save_message())
            return;
    }
    QDialog::reject();
}

bool F_tomorrow::Message_unsaved() const { return Text1->toPlainText() != loaded_text; }

QString F_tomorrow::Message() const { return Text1->toPlainText(); }

void F_tomorrow::Message_kept() { loaded_text = Text1->toPlainText(); }

void F_tomorrow::Close_without_user()
{
    closed_without_user = true;
    done(QDialog::Rejected);
}

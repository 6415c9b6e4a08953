#include "dialogs/f_tomorrow.h"

#include "app/io_message.h"
#include "app/main_form.h"
#include "dialogs/f_yesterday.h"
#include "platform/cp932.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTextCursor>

namespace {

const QColor Light_cyan(128, 255, 255);
const QColor Received_blue(0, 0, 255);

// The question asked before a message with characters that code page 932
// cannot hold is written: each character once, in the order first met.
QString Unmappable_message_question(const QString& text)
{
    QString list;
    QSet<char32_t> seen;
    for (const cp932::Unmappable& u : cp932::Encode(text).unmappable) {
        if (seen.contains(u.character))
            continue;
        seen.insert(u.character);
        const QString substitute = cp932::Decode_text(u.substitute);
        list += QStringLiteral("「%1」→%2\n")
                    .arg(QString::fromUcs4(&u.character, 1),
                         substitute.isEmpty() ? QStringLiteral("（何も書かれません）")
                                              : QStringLiteral("「%1」").arg(substitute));
    }
    if (list.isEmpty())
        return {};
    return QStringLiteral(
               "次の文字は、メッセージのファイルの文字コード（シフトJIS）では表せません。\n") +
           list +
           QStringLiteral("\nこのように置き換えて保存しますか？\n"
                          "「いいえ」を選ぶと、何も保存せずにメッセージの画面に戻ります。");
}

}  // namespace

F_tomorrow::F_tomorrow(Main_form& form) : QDialog(&form), form(form)
{
    setObjectName(QStringLiteral("F_tomorrow"));
    setModal(true);
    QPalette cyan = palette();
    cyan.setColor(QPalette::Window, Light_cyan);
    setPalette(cyan);
    setAutoFillBackground(true);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPointSizeF(11.25);
    setFont(font);

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

    // The received message is shown, not kept: what is typed there would go
    // nowhere. ↑コピー brings it up into the box that is kept.
    Text2->setReadOnly(true);
    QPalette blue = Text2->palette();
    blue.setColor(QPalette::Text, Received_blue);
    Text2->setPalette(blue);

    Label1->setGeometry(form.Pixels({2100, 120, 4950, 225}));
    Text1->setGeometry(form.Pixels({0, 420, 9375, 2775}));
    Command2->setGeometry(form.Pixels({7620, 3240, 1455, 375}));
    Label2->setGeometry(form.Pixels({2700, 3360, 3825, 225}));
    Text2->setGeometry(form.Pixels({0, 3660, 9375, 2355}));
    Command1->setGeometry(form.Pixels({7620, 6120, 1455, 375}));
    // The labels fit their captions in whatever font stands in for the
    // design font.
    Label1->adjustSize();
    Label2->adjustSize();

    connect(Command2, &QPushButton::clicked, this, &F_tomorrow::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &F_tomorrow::Command1_Click);
}

bool F_tomorrow::Form_Load()
{
    Centre_over_main_form(*this, form, F_tomorrow_client_width, F_tomorrow_client_height);
    setWindowTitle(QStringLiteral("◆◇◆ 明日はもっと素晴らしい日になりますように ◆◇◆"));
    auto told = [this](const QString& headline, const Io_result& error) {
        form.platform.Message_box(Io_message(headline, error), App_title,
                                  Platform::Icon::Exclamation, Platform::Buttons::Ok);
    };
    const Text_read received = form.store.Read_text_file(form.store.Yesterday_path());
    Tell_capped_read(form.platform, received);
    Text2->setPlainText(received.result.ok() ? received.text : QString());
    if (!received.result.ok())
        told(QStringLiteral("昨日のあなたからのメッセージを読み込めませんでした。"),
             received.result);
    const Text_read read = form.store.Read_text_file(form.store.Tomorrow_path());
    Tell_capped_read(form.platform, read);
    const Io_result& error = read.result;
    const QString& message = read.text;
    if (!error.ok()) {
        told(QStringLiteral("明日へのメッセージを読み込めませんでした。"), error);
        return false;
    }
    Text1->setPlainText(message);
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
    // An empty box writes nothing: an earlier message of today stays.
    if (text.isEmpty())
        return true;
    Unmappable_policy policy = Unmappable_policy::Refuse;
    if (const QString question = Unmappable_message_question(text); !question.isEmpty()) {
        if (form.platform.Message_box(question, App_title, Platform::Icon::Question,
                                      Platform::Buttons::Yes_no) != Platform::Answer::Yes)
            return false;
        policy = Unmappable_policy::Substitute;
    }
    if (const Io_result r = form.store.Write_text_file(form.store.Tomorrow_path(), text, policy);
        !r.ok()) {
        form.platform.Message_box(
            Io_message(QStringLiteral("明日へのメッセージを保存できませんでした。"), r) +
                QStringLiteral("\n\nメッセージは画面に残っています。"),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
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
        const Platform::Answer answer = form.platform.Message_box(
            QStringLiteral("明日へのメッセージは、まだ保存されていません。\n"
                           "「はい」：保存して閉じます。\n"
                           "「いいえ」：保存せずに閉じます。\n"
                           "「キャンセル」：閉じずに、メッセージの画面に戻ります。"),
            App_title, Platform::Icon::Question, Platform::Buttons::Yes_no_cancel);
        if (answer == Platform::Answer::Cancel)
            return;
        if (answer == Platform::Answer::Yes && !Save_message())
            return;
    }
    QDialog::reject();
}

void Main_form::Command4_Click()
{
    F_tomorrow window(*this);
    if (window.Form_Load())
        platform.Run_modal(window);
}

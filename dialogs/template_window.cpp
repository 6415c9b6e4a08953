#include "dialogs/template_window.h"

#include "platform/app_title.h"
#include "ui/look.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

Template_window::Template_window(const Dialog_host& host, const QString& text)
    : QDialog(host.window)
{
    setObjectName(QStringLiteral("Template_window"));
    setWindowTitle(App_title + QStringLiteral(" - 新しい日のひな形"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Set_window_look(*this, look::Yellow);

    auto* note = new QLabel(QStringLiteral("今日の日記がまだ空のとき、本文に入れておく文です。\n"
                                           "書き足さなければ、その日は保存されません。"),
                            this);
    Text_template = new QPlainTextEdit(this);
    Text_template->setObjectName(QStringLiteral("Text_template"));
    Text_template->setFont(Diary_font());
    Text_template->setPlainText(text);
    Text_template->setMinimumSize(360, 160);
    auto* buttons = Ok_cancel_buttons(*this);

    auto* column = new QVBoxLayout(this);
    column->addWidget(note);
    column->addWidget(Text_template);
    column->addWidget(buttons);
}

QString Template_window::Text() const { return Text_template->toPlainText(); }

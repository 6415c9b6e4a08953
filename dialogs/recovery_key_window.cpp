#include "dialogs/recovery_key_window.h"

#include "platform/app_title.h"
#include "platform/platform.h"
#include "ui/look.h"
#include "ui/print_module.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

QFont Key_font(double points)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

}  // namespace

Recovery_key_window::Recovery_key_window(const Dialog_host& main_host, const QString& recovery_text,
                                         const QString& folder)
    : QDialog(main_host.window), host(main_host), key_text(recovery_text),
      folder_shown(QDir::toNativeSeparators(QDir::cleanPath(folder)))
{
    setObjectName(QStringLiteral("Recovery_key_window"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Set_window_look(*this, look::Yellow);
    setWindowTitle(QStringLiteral("回復キー"));

    auto* intro = new QLabel(
        QStringLiteral("日記に鍵をかけました。\n"
                       "下の回復キーは、パスワードを忘れたときに日記を開く、ただ一つの方法です。\n"
                       "回復キーが表示されるのは今だけです。\n"
                       "紙に書き留めるか印刷して、日記とは別の安全な場所にしまってください。"),
        this);
    Key = new QLabel(key_text, this);
    Key->setObjectName(QStringLiteral("Key"));
    Key->setFont(Key_font(14));
    Key->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Key->setAlignment(Qt::AlignCenter);
    Key->setFrameShape(QFrame::Box);
    Key->setMargin(8);
    QPalette white = Key->palette();
    white.setColor(QPalette::Window, Qt::white);
    Key->setAutoFillBackground(true);
    Key->setPalette(white);
    Copy = new QPushButton(QStringLiteral("コピー"), this);
    Copy->setObjectName(QStringLiteral("Copy"));
    Print = new QPushButton(QStringLiteral("印刷…"), this);
    Print->setObjectName(QStringLiteral("Print"));
    Written_down = new QCheckBox(QStringLiteral("書き留めました"), this);
    Written_down->setObjectName(QStringLiteral("Written_down"));
    Close = new QPushButton(QStringLiteral("閉じる"), this);
    Close->setObjectName(QStringLiteral("Close"));
    Close->setEnabled(false);
    for (QPushButton* b : {Copy, Print, Close})
        b->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(intro, 0, 0);
    grid->addWidget(Key, 1, 0);
    auto* tools = new QHBoxLayout;
    tools->addStretch();
    tools->addWidget(Copy);
    tools->addWidget(Print);
    grid->addLayout(tools, 2, 0);
    auto* end = new QHBoxLayout;
    end->addWidget(Written_down);
    end->addStretch();
    end->addWidget(Close);
    grid->addLayout(end, 3, 0);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(Copy, &QPushButton::clicked, this, &Recovery_key_window::Copy_Click);
    connect(Print, &QPushButton::clicked, this, &Recovery_key_window::Print_Click);
    connect(Written_down, &QCheckBox::toggled, Close, &QWidget::setEnabled);
    connect(Close, &QPushButton::clicked, this, &QDialog::accept);
    Written_down->setFocus();
}

void Recovery_key_window::Copy_Click() { QApplication::clipboard()->setText(key_text); }

void Recovery_key_window::Print_Click()
{
    QString failure;
    const Print_calls* calls = Print_module(failure);
    if (calls) {
        const Page_print printed = calls->print_page(
            this, QStringLiteral("回復キー"), QStringLiteral("回復キーの印刷"),
            [this](QDialog& dialog) { return host.platform.Run_modal(dialog); },
            [this](QPainter& painter, const QRect& page) { Paint_page(painter, page); });
        if (printed != Page_print::Failed)
            return;
        failure = QStringLiteral("回復キーを印刷できませんでした。\n"
                                 "プリンターの設定を確かめてください。");
    }
    host.platform.Message_box(failure, App_title, Platform::Icon::Exclamation,
                              Platform::Buttons::Ok);
}

void Recovery_key_window::Paint_page(QPainter& painter, const QRect& page) const
{
    const int margin = page.width() / 10;
    QRect area = page.adjusted(margin, margin, -margin, -margin);
    QFont text_font = Diary_font();
    text_font.setPointSizeF(12);
    painter.setFont(text_font);
    const QString words =
        QStringLiteral("ソラネ 日記の回復キー\n\n"
                       "パスワードを忘れたとき、この回復キーで日記を開き、"
                       "新しいパスワードを決められます。\n"
                       "日記とは別の安全な場所にしまってください。\n\n"
                       "日記のフォルダー: %1\n印刷した日: %2")
            .arg(folder_shown, QDate::currentDate().toString(QStringLiteral("yyyy年M月d日")));
    QRect used;
    painter.drawText(area, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, words, &used);
    area.setTop(used.bottom() + margin / 2);
    painter.setFont(Key_font(16));
    painter.drawText(area, Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop, key_text);
}

void Recovery_key_window::reject()
{
    // Esc and the title bar's close are 閉じる: only once the key is kept.
    if (Written_down->isChecked())
        QDialog::reject();
}

#include "dialogs/manual_window.h"

#include "platform/platform.h"
#include "store/line_file.h"
#include "ui/accessible.h"
#include "ui/io_message.h"
#include "ui/look.h"
#include "ui/reader_place.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QVBoxLayout>

Manual_window::Manual_window(const Dialog_host& main_host)
    : QDialog(main_host.window), host(main_host)
{
    setObjectName(QStringLiteral("Manual_window"));
    setWindowTitle(QStringLiteral("使い方"));
    setModal(false);
    Text1 = new QTextBrowser(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFont(Diary_font());
    Text1->setOpenLinks(false);
    Text1->setLineWrapMode(QTextEdit::WidgetWidth);
    auto* find_label = new QLabel(QStringLiteral("検索(&F):"), this);
    Find_words = new QLineEdit(this);
    Find_words->setObjectName(QStringLiteral("Find_words"));
    find_label->setBuddy(Find_words);
    Find_next = new QPushButton(QStringLiteral("次を検索(&N)"), this);
    Find_next->setObjectName(QStringLiteral("Find_next"));
    Find_next->setAutoDefault(false);
    Close_button = new QPushButton(QStringLiteral("閉じる"), this);
    Close_button->setObjectName(QStringLiteral("Close_button"));
    Close_button->setAutoDefault(false);

    auto* row = new QHBoxLayout;
    row->addWidget(find_label);
    row->addWidget(Find_words, 1);
    row->addWidget(Find_next);
    row->addStretch();
    row->addWidget(Close_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text1, 1);
    layout->addLayout(row);

    connect(Find_words, &QLineEdit::returnPressed, this, &Manual_window::Find_next_Click);
    connect(Find_next, &QPushButton::clicked, this, &Manual_window::Find_next_Click);
    connect(Close_button, &QPushButton::clicked, this, &QDialog::close);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        Find_words->setFocus();
        Find_words->selectAll();
    });
    setMinimumWidth(Twips_to_pixels(4500, Dpi_of(*main_host.window)));
    Set_accessible_texts(*this, Manual_window_texts);
    Name_the_rest(*this);
}

bool Manual_window::Show_manual(const QString& path)
{
    // The manual is the program's own file, not the diary's: a link to it
    // (a package's shared copy) is followed.
    const QString real = QFileInfo(path).canonicalFilePath();
    QByteArray bytes;
    bool exists = false;
    const Io_result read = Read_file_bytes(real.isEmpty() ? path : real, bytes, exists);
    if (!read.Ok() || !exists) {
        host.platform.Message_box(
            read.Ok()
                ? QStringLiteral("使い方のファイル（sorane.txt）が見つかりません。")
                : Io_message(QStringLiteral("使い方のファイルを読み込めませんでした。"), read),
            QStringLiteral("使い方を表示できません"), Platform::Icon::Critical,
            Platform::Buttons::Ok);
        return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (Text1->toPlainText() != text)
        Text1->setPlainText(text);
    if (!placed) {
        const double dpi = Dpi_of(*host.window);
        Place_reader_window(*this, host, &Own_settings::place_manual,
                            {Twips_to_pixels(9000, dpi), Twips_to_pixels(10500, dpi)});
        placed = true;
    }
    show();
    raise();
    activateWindow();
    Text1->setFocus();
    return true;
}

// The next place the words stand in the manual, from the caret on; at the
// end, from the start again. Words found nowhere ring the bell.
void Manual_window::Find_next_Click()
{
    const QString words = Find_words->text();
    if (words.isEmpty())
        return;
    if (Text1->find(words))
        return;
    QTextCursor start = Text1->textCursor();
    start.movePosition(QTextCursor::Start);
    Text1->setTextCursor(start);
    if (!Text1->find(words))
        host.platform.Beep();
}

void Show_manual_window(const Dialog_host& host, const QString& path)
{
    auto* window = host.window->findChild<Manual_window*>(QStringLiteral("Manual_window"),
                                                          Qt::FindDirectChildrenOnly);
    if (!window)
        window = new Manual_window(host);
    window->Show_manual(path);
}

#include "ui/chars_note.h"

#include "platform/cp932.h"
#include "ui/look.h"

#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

QString Chars_note_text(const QList<Unmappable_char>& characters)
{
    if (characters.isEmpty())
        return {};
    // A few of them are enough to recognise.
    constexpr int Shown = 6;
    QString listed;
    for (qsizetype i = 0; i < characters.size() && i < Shown; ++i)
        listed += characters.at(i).character;
    if (characters.size() > Shown)
        listed += QStringLiteral("…");
    return QStringLiteral("Windows版では「%1」が「?」で表示されます").arg(listed);
}

Chars_note::Chars_note(QPlainTextEdit* text, QLineEdit* memo)
    : QLabel(text), text_box(text), memo_field(memo)
{
    setObjectName(QStringLiteral("Chars_note"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    QFont small = Diary_font();
    small.setPointSizeF(9);
    setFont(small);
    setAutoFillBackground(true);
    QPalette note = palette();
    note.setColor(QPalette::Window, look::Light_yellow);
    note.setColor(QPalette::WindowText, Qt::black);
    setPalette(note);
    setFrameShape(QFrame::Box);
    setMargin(1);
    hide();
    connect(text_box, &QPlainTextEdit::textChanged, this, &Chars_note::Update);
    if (memo_field)
        connect(memo_field, &QLineEdit::textChanged, this, &Chars_note::Update);
    // The frame and the viewport inside it are laid out at different moments.
    text_box->installEventFilter(this);
    text_box->viewport()->installEventFilter(this);
}

void Chars_note::Update()
{
    const cp932::Encode_result memo = cp932::Encode(memo_field ? memo_field->text() : QString());
    const cp932::Encode_result text = cp932::Encode(text_box->toPlainText());
    const QString words = Chars_note_text(Unmappable_chars({&memo, &text}));
    if (words.isEmpty()) {
        hide();
        return;
    }
    if (words != this->text())
        setText(words);
    Place();
    show();
}

void Chars_note::Place()
{
    adjustSize();
    // Inside the frame, left of the scroll bar, on the bottom edge.
    const QRect inside = text_box->viewport()->geometry();
    const int width = std::min(sizeHint().width(), inside.width());
    setGeometry(inside.right() + 1 - width, inside.bottom() + 1 - sizeHint().height(), width,
                sizeHint().height());
}

bool Chars_note::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == text_box || watched == text_box->viewport()) &&
        event->type() == QEvent::Resize && !isHidden())
        Place();
    return QLabel::eventFilter(watched, event);
}

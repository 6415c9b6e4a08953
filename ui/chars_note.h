#pragma once
// A short note over the bottom right of a text box, shown while the text
// (or a memo field that goes with it) holds characters that code page 932
// cannot hold: they are kept exactly, but the Windows program shows its
// substitutes. The note never takes a click or the focus.

#include "diary/session.h"

#include <QLabel>

class QLineEdit;
class QPlainTextEdit;

// The note's words for these characters; empty when there are none.
QString Chars_note_text(const QList<Unmappable_char>& characters);

class Chars_note : public QLabel {
    Q_OBJECT

public:
    // Watches text and, when given, memo; lies over text.
    explicit Chars_note(QPlainTextEdit* text, QLineEdit* memo = nullptr);

    // Shows or hides the note for what the fields hold now.
    void Update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();
    QPlainTextEdit* text_box;
    QLineEdit* memo_field;
};

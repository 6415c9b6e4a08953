#pragma once
// The window of 明日へ: the message for tomorrow in the upper box, the
// message received today in the lower, blue box. 終了 keeps the message in
// "tomorrow.txt" (an emptied box withdraws it), exactly, characters code page
// 932 cannot hold included; closing the window otherwise asks before
// anything typed is dropped.

#include "ui/placement.h"

#include <QDialog>

class Chars_note;
class Diary_session;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class F_tomorrow : public QDialog {
    Q_OBJECT

public:
    // The session reads the message files and keeps the message.
    F_tomorrow(const Dialog_host& main_host, Diary_session& diary_session);

    // Places the window over the main window, sets the title and reads
    // "yesterda.txt", then "tomorrow.txt". False when "tomorrow.txt" could
    // not be read (the failure has been told): the window is then not shown,
    // so nothing can be written over a message it did not show.
    bool Form_Load();
    // ↑コピー: the received message after the one being written.
    void Command2_Click();
    // 終了: writes "tomorrow.txt", or removes it when the upper box was
    // emptied, and closes; a failure keeps the window open with its text.
    void Command1_Click();

    // Closing by the frame or Escape: asks first when the upper box holds
    // a message that was changed and not written.
    void reject() override;

    // For the ending with nobody to ask: whether the upper box differs from
    // what "tomorrow.txt" holds, its text, that the text was kept elsewhere,
    // and closing at once without a question.
    bool Message_unsaved() const;
    QString Message() const;
    void Message_kept();
    void Close_without_user();

    QLabel* Label1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;

private:
    // True when the message was written or there was nothing to write.
    bool Save_message();

    Dialog_host host;
    Diary_session& session;
    Chars_note* chars_note = nullptr;
    QString loaded_text;  // the upper box as read or last written
    bool closed_without_user = false;
};

inline constexpr double F_tomorrow_client_width = 9390;
inline constexpr double F_tomorrow_client_height = 6600;

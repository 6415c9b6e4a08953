#pragma once
// The greeting at start-up: the message the user left on the last day the
// program ran, shown on a yellow window with one beep.

#include "ui/placement.h"

#include <QDialog>

class Diary_store;
class QPlainTextEdit;
class QPushButton;

class F_yesterday : public QDialog {
    Q_OBJECT

public:
    F_yesterday(const Dialog_host& main_host, Diary_store& diary_store);

    // Places the window over the main window, sets the title, beeps and
    // reads "yesterda.txt". False when the file could not be read (the
    // failure has been told); the window is then not to be shown.
    bool Form_Load();
    void Command1_Click();

    QPlainTextEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;

private:
    Dialog_host host;
    Diary_store& store;
};

// Client areas of the message windows, in twips.
inline constexpr double F_yesterday_client_width = 9360;
inline constexpr double F_yesterday_client_height = 4005;

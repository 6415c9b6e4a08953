#pragma once
// The greeting at start-up: the message the user left on the last day the
// program ran, shown on a yellow window with one beep. Also the start-up
// hand-over that turns tomorrow's message into yesterday's on a new day.

#include "dialogs/placement.h"

#include <QDialog>

class Main_form;
class QPlainTextEdit;
class QPushButton;

class F_yesterday : public QDialog {
    Q_OBJECT

public:
    explicit F_yesterday(Main_form& form);

    // Places the window over the main window, sets the title, beeps and
    // reads "yesterda.txt". False when the file could not be read (the
    // failure has been told); the window is then not to be shown.
    bool Form_Load();
    void Command1_Click();

    QPlainTextEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;

private:
    Main_form& form;
};

// Client areas of the message windows, in twips.
inline constexpr double F_yesterday_client_width = 9360;
inline constexpr double F_yesterday_client_height = 4005;

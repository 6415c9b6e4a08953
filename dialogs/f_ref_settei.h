#pragma once
// The reference-diary setting: which day the reference panel shows when the
// program starts. OK stores the chosen option in ref_mode; CANSEL and the
// title bar's close leave it. The choice takes effect at the next start.

#include "ui/placement.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;

class F_ref_settei : public QDialog {
    Q_OBJECT

public:
    // The setting is ref_mode: the dialog shows it and, on OK, changes it.
    F_ref_settei(const Dialog_host& main_host, int& setting);

    void Command2_Click();  // "OK"
    void Command1_Click();  // "CANSEL"

    QLabel* Label1 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command1 = nullptr;

private:
    void Form_Load();

    Dialog_host host;
    int& ref_mode;
};

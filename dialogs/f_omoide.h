#pragma once
// The memory-days list: every day of one year whose index record carries
// the memory flag, earliest first. The list follows every change of the
// year text, typed or set by the spinner.

#include "dialogs/day_list_window.h"

class QPushButton;

class F_omoide : public Day_list_window {
    Q_OBJECT

public:
    F_omoide(const Dialog_host& main_host, Diary_session& diary_session, Show_day show_day);

    // Every opening: design state, the current year, its list.
    void Form_Load();
    void Text1_Change();
    void Command1_Click();
    void Command2_Click();

    QPushButton* Command1 = nullptr;  // 呼出し
    QPushButton* Command2 = nullptr;  // 終了
};

#pragma once
// The memo search: every day of one year whose whole index record holds
// the keyword, earliest first. The list is built only on "検索"; changing
// the year or the keyword afterwards leaves the shown result alone.

#include "dialogs/day_list_window.h"

class QLabel;
class QPushButton;

class F_memo : public Day_list_window {
    Q_OBJECT

public:
    F_memo(const Dialog_host& main_host, Diary_session& diary_session, Show_day show_day);

    // Every opening: design state, the current year, an empty keyword and
    // an empty list.
    void Form_Load();
    void Command3_Click();
    void Command2_Click();
    void Command1_Click();

    QLabel* Label1 = nullptr;
    QLineEdit* Text2 = nullptr;       // the keyword
    QPushButton* Command3 = nullptr;  // 検索
    QPushButton* Command2 = nullptr;  // 呼出し
    QPushButton* Command1 = nullptr;  // 終了
};

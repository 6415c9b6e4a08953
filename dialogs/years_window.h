#pragma once
// この日の百年: the diary panel's month and day in every year that has it,
// one block per year (the year and how long ago, the 思い出 mark, the memo
// and the whole text), on one page that scrolls as a whole and whose text
// can be selected and copied. A click on a year's heading shows that day
// in the reference panel. The window is modeless: the main window hands it
// each day its diary panel moves to while it is shown. Newest year first,
// or oldest first when the user chose so (remembered).

#include "dialogs/day_list_window.h"
#include "diary/this_day.h"
#include "ui/placement.h"

#include <QElapsedTimer>
#include <QWidget>
#include <functional>

class Diary_store;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class Years_window : public QWidget {
    Q_OBJECT

public:
    // this_year gives the year that "how many years ago" counts from.
    Years_window(const Dialog_host& main_host, Diary_store& diary_store, Show_day show_day,
                 std::function<int()> this_year);

    // Reads and shows the page of the month and day. The same date again
    // (the files may have changed) keeps the place the page was scrolled to.
    void Show_date(int month, int day);
    // Reads the shown date's page again.
    void Reload() { Show_date(page.month, page.day); }
    int Month() const { return page.month; }
    int Day() const { return page.day; }
    // The years in the order their blocks are shown.
    QList<int> Years_shown() const;
    // The year whose heading is the text block, or 0.
    int Year_of_block(int block_number) const;
    // A heading was clicked: the reference panel shows the day of that year.
    void Heading_Click(int year);
    // 古い年から was ticked or cleared: the order is kept and the page
    // shown again in it.
    void Check1_Click();

    QPlainTextEdit* Text1 = nullptr;  // the page
    QLabel* Label1 = nullptr;         // how many years the page shows
    QCheckBox* Check1 = nullptr;      // 古い年から
    QPushButton* Command1 = nullptr;  // 閉じる

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Place_beside_main();
    void Fill();

    Dialog_host host;
    Diary_store& store;
    Show_day show_reference_day;
    std::function<int()> current_year;
    This_day_page page;
    QElapsedTimer read_at;  // when the page was last read
    bool placed = false;
    bool filling = false;
};

// "1年前", "今年", "3年後": a year as seen from this year.
QString Years_ago(int year, int this_year);

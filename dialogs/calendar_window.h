#pragma once
// 日付を指定: a small window with a date entry and a calendar, to move the
// diary panel to any day from 1990 to 2100. The calendar marks the days
// that have an entry (bold) and the memory days (bold on a pink ground),
// from each shown year's index and folder, read once per opening.

#include "diary/this_day.h"
#include "ui/placement.h"

#include <QCalendarWidget>
#include <QDate>
#include <QDialog>
#include <memory>

class Diary_store;
class QDateEdit;
class QLabel;
class QPushButton;

// A calendar that marks the days of the years it shows.
class Marked_calendar : public QCalendarWidget {
    Q_OBJECT

public:
    Marked_calendar(Diary_store& diary_store, QWidget* parent = nullptr);
    // Marks the days of the month shown and of the days of the months
    // beside it that the page shows.
    void Mark_page(int year, int month);

private:
    void Mark_year(int year);
    Calendar_marks marks;
    QList<int> marked_years;
};

class Calendar_window : public QDialog {
    Q_OBJECT

public:
    Calendar_window(const Dialog_host& main_host, Diary_store& diary_store, const QDate& start);

    // The day chosen (after 移動).
    QDate Chosen() const;

    QLabel* Label1 = nullptr;
    QDateEdit* Date1 = nullptr;
    Marked_calendar* Calendar1 = nullptr;
    QLabel* Label2 = nullptr;         // what the marks mean
    QPushButton* Command1 = nullptr;  // 移動
    QPushButton* Command2 = nullptr;  // キャンセル

private:
    Dialog_host host;
};

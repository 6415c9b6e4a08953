#pragma once
// この日の履歴: the earlier versions of the diary panel's day, newest first,
// with the time a save replaced each and its size. The version selected is
// shown, read-only, beside the day as it is now, the lines that differ
// marked on both sides. 元に戻す closes the window with that version chosen
// (its text, and its memo and 思い出 when メモと思い出も戻す is ticked);
// the main window puts it into the panel and saves it as any edit.

#include "diary/day_history.h"
#include "diary/panel_date.h"
#include "diary/session.h"
#include "ui/placement.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class History_window : public QDialog {
    Q_OBJECT

public:
    History_window(const Dialog_host& main_host, const Day_history& day_history,
                   const Panel_date& day, const Day_entry& current_entry);

    void List1_Click();    // a version selected
    void Restore_Click();  // 元に戻す

    // What 元に戻す chose; nothing when the window was closed without it.
    const std::optional<Day_entry>& Chosen() const { return chosen; }
    // The version as read for the selected row (for the window's tests).
    const History_read& Shown_version() const { return shown; }

    QListWidget* List1 = nullptr;
    QLabel* Old_record = nullptr;
    QLabel* Current_record = nullptr;
    QPlainTextEdit* Old_text = nullptr;
    QPlainTextEdit* Current_text = nullptr;
    QCheckBox* Record_too = nullptr;
    QPushButton* Restore = nullptr;
    QPushButton* Close_button = nullptr;

private:
    void Mark_differences();

    Dialog_host host;
    const Day_history& history;
    Day_entry current;
    QList<History_version> versions;
    History_read shown;
    std::optional<Day_entry> chosen;
};

// A row of the list: "2026/12/09 21:15:03　1,234 バイト".
QString Version_row_text(const History_version& version);
// The memo and 思い出 line above a version's text.
QString Record_line(const QString& memo, bool flag);

#pragma once
// ほかの版: the other versions beside the diary panel's day (the copies a
// synchronising tool or this program left), one at a time beside the day
// as it is now, the lines that differ marked on both sides. The user keeps
// the current day, takes the other version, or writes the day anew from
// both in the current side and keeps that. The window only chooses: the
// main window keeps the version not kept in the history, saves the day and
// only then removes the copy.

#include "diary/other_versions.h"
#include "ui/placement.h"

#include <QDialog>
#include <optional>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class Versions_window : public QDialog {
    Q_OBJECT

public:
    enum class Choice {
        Keep_current,  // the day stays; the other version goes to the history
        Take_other,    // the other version becomes the day; the current one goes to the history
        Merged,  // the text written in the current side becomes the day; both go to the history
    };
    struct Chosen {
        int row = -1;  // the version settled
        Choice choice = Choice::Keep_current;
        Day_entry entry;  // the day as it is to be
    };

    Versions_window(const Dialog_host& main_host, const Panel_date& day,
                    const QList<Other_version>& other_versions, const Day_entry& current_entry);

    void List1_Click();      // a version selected
    void Keep_Click();       // 今の日記を残す
    void Take_Click();       // この版にする
    void Merge_Click();      // 書き直した日記にする
    void Current_changed();  // the current side edited

    // What was chosen; nothing when the window was closed without a choice.
    const std::optional<Chosen>& Choice_made() const { return chosen; }

    QListWidget* List1 = nullptr;
    QLabel* Other_record = nullptr;
    QLabel* Current_record = nullptr;
    QPlainTextEdit* Other_text = nullptr;
    QPlainTextEdit* Current_text = nullptr;
    QPushButton* Keep_button = nullptr;
    QPushButton* Take_button = nullptr;
    QPushButton* Merge_button = nullptr;
    QPushButton* Close_button = nullptr;

private:
    void Mark_differences();
    void Choose(Choice choice, const Day_entry& entry);

    Dialog_host host;
    QList<Other_version> versions;
    Day_entry current;
    std::optional<Chosen> chosen;
};

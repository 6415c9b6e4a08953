#pragma once
// この日の履歴: the earlier versions of the diary panel's day, newest first,
// with the time a save replaced each and its size. The version selected is
// shown, read-only, beside the day as it is now, the lines that differ
// marked on both sides. 元に戻す closes the window with that version chosen
// (its text, and its memo and 思い出 when メモと思い出も戻す is ticked);
// the main window puts it into the panel and saves it as any edit.
// Below, the pictures removed from the day (kept in its history), each of
// which 写真を日記に戻す copies back into the day; the text is not touched.

#include "diary/day_history.h"
#include "diary/panel_date.h"
#include "diary/session.h"
#include "ui/placement.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QGridLayout;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class Thumbnail_loader;
struct Thumbnail;

class History_window : public QDialog {
    Q_OBJECT

public:
    History_window(const Dialog_host& main_host, const Day_history& day_history,
                   const Panel_date& day, const Day_entry& current_entry);

    void List1_Click();     // a version selected
    void Restore_Click();   // 元に戻す
    void Put_back_Click();  // 写真を日記に戻す: the selected removed picture

    // How many removed pictures were put back while the window was open.
    int Photos_put_back() const { return photos_put_back; }
    // The removed pictures listed, oldest first.
    const QStringList& Removed_photos() const { return removed; }

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
    QListWidget* Removed_list = nullptr;  // the removed pictures, with thumbnails
    QPushButton* Put_back = nullptr;

private:
    void Mark_differences();
    void Set_up_removed_photos(QGridLayout& grid, int row);
    void Show_removed_state();
    void Removed_thumbnail(int index, const Thumbnail& thumbnail);

    Dialog_host host;
    const Day_history& history;
    Day_entry current;
    QList<History_version> versions;
    History_read shown;
    std::optional<Day_entry> chosen;
    QString app_dir;
    Panel_date date;
    QStringList removed;
    int photos_put_back = 0;
    Thumbnail_loader* thumbnails = nullptr;
};

// A row of the list: "2026/12/09 21:15:03　1,234 バイト".
QString Version_row_text(const History_version& version);
// The memo and 思い出 line above a version's text.
QString Record_line(const QString& memo, bool flag);

#pragma once
// 記録: how much was written in every year, as a picture (see
// dialogs/records_view.h), with the year of the month chart to choose and
// the picture to save as PNG. The counts are taken off the window's thread
// and kept (diary/records.h): in memory while the window lives and in a
// private file of the cache folder between runs, so that an opening counts
// only the years whose folder changed since (a day saved, here or
// elsewhere). The window is modeless and is counted again each time it
// comes to the front and each time the main window saves a day. Beside the picture, the words of the chosen year
// (dialogs/words_panel.h).

#include "dialogs/day_list_window.h"
#include "diary/records.h"
#include "platform/background_job.h"
#include "ui/placement.h"

#include <QDate>
#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>

class Diary_store;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class Records_view;
class Words_panel;

class Records_window : public QWidget {
    Q_OBJECT

public:
    // cache_folder holds the kept counts (empty: kept in memory only);
    // today gives the day the current run ends at.
    Records_window(const Dialog_host& main_host, Diary_store& diary_store, Show_day show_day,
                   QString cache_folder, std::function<QDate()> today,
                   std::function<void(const QString&)> search_word);
    ~Records_window() override;

    // Shows the window and brings the counts up to date.
    void Open();
    // Counts again what changed; the picture follows when done.
    void Refresh();
    // A count is under way (or its result not shown yet); the wait ends
    // when the last count asked for is shown.
    bool Counting() const;
    void Wait_for_counts();
    // 画像を保存…: the whole picture to a PNG file the user names.
    void Command1_Click();
    // Writes the picture to path (0600, replacing a file there); false with
    // a message to the user when it cannot.
    bool Save_picture(const QString& path);

    QComboBox* Combo1 = nullptr;      // the year of the month chart
    QPushButton* Command1 = nullptr;  // 画像を保存…
    QPushButton* Command2 = nullptr;  // 閉じる
    QLabel* Label1 = nullptr;         // a file that could not be read
    QProgressBar* Progress1 = nullptr;
    QScrollArea* Scroll1 = nullptr;
    Records_view* View1 = nullptr;
    Words_panel* Words1 = nullptr;
    class QSplitter* split = nullptr;

protected:
    void changeEvent(QEvent* event) override;

private:
    void Counted(QList<Year_tally> counted);

    Dialog_host host;
    Diary_store& store;
    Show_day show_reference_day;
    QString cache_path;
    std::function<QDate()> current_day;
    // Only the job's thread touches the cache while a count runs.
    std::unique_ptr<Records_cache> cache;
    bool cache_loaded = false;
    bool again = false;  // a refresh was asked while one ran
    bool placed = false;
    QElapsedTimer counted_at;
    Background_job<QList<Year_tally>> job;
};

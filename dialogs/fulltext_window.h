#pragma once
// 全文検索: the whole diary's text and memos searched for one or more words
// as the user types (after a short pause), newest first, with the date and
// weekday, the memory mark, the memo and a line around the first word
// found, the words marked; the days found are counted, per year as well.
// Double-click or Enter shows the day in the reference panel, as the other
// search windows do.
//
// The window keeps its index open while the program runs; while the index
// is being built it shows how far, and its searches read the files on a
// thread of their own, so that no search waits for the index.

#include "dialogs/day_list_window.h"
#include "fulltext/fulltext.h"
#include "platform/background_job.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;
class QTimer;
class Fulltext_hits_model;

class Fulltext_window : public QDialog {
    Q_OBJECT

public:
    // cache_folder holds the index (Default_fulltext_cache_folder()).
    Fulltext_window(const Dialog_host& main_host, const QString& app_dir,
                    const QString& cache_folder, Show_day show_day);
    ~Fulltext_window() override;

    // Every opening: placed over the main window, the field chosen with its
    // last words, and the list searched again (the diary may have changed).
    void Form_Load();
    // Searches now for what the field holds.
    void Run_search();
    // Shows the chosen day in the reference panel and closes, or says that
    // no day is chosen.
    void Recall_selected_day();

    QLineEdit* Words = nullptr;
    QSpinBox* First_year_box = nullptr;
    QSpinBox* Last_year_box = nullptr;
    QCheckBox* Fold_width = nullptr;
    QCheckBox* Fold_case = nullptr;
    QCheckBox* Fold_kana = nullptr;
    QTableView* Results = nullptr;
    QListWidget* Years = nullptr;
    QLabel* Count = nullptr;
    QLabel* Status = nullptr;
    QProgressBar* Progress = nullptr;
    QPushButton* Recall = nullptr;
    QPushButton* Close = nullptr;
    Fulltext_hits_model* model = nullptr;

    Fulltext_index& Index() { return *index; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Options_changed();
    void Show_progress();
    void Show_result(const Fulltext_result& result);
    void Open_index();

    Dialog_host host;
    QString diary_folder;
    bool placed = false;
    QString cache;
    Show_day show_reference_day;
    std::unique_ptr<Fulltext_index> index;
    QTimer* pause = nullptr;     // the short pause after typing
    QTimer* progress = nullptr;  // watches a build in the background
    // The files read for a search the index cannot answer yet.
    Background_job<Fulltext_result> scan{this};
};

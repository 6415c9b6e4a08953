#pragma once
// What the two search windows share: the list Grid1 with its header row and
// its empty last row, the year box Text1 with its spinner VScroll1, the
// placement over the main window, the rebuild of the list for a record
// test with the index records it found, the recall of the chosen day into
// the reference panel, and the close step that empties the records' count.
//
// Each window is created once and hidden between uses; every opening runs
// the window's Form_Load, which puts the controls back to their design
// state.

#include "platform/twips.h"
#include "store/day_list.h"
#include "ui/placement.h"

#include <QColor>
#include <QDialog>
#include <QSet>
#include <QStringList>
#include <functional>

class Diary_session;
class QLineEdit;
class QScrollBar;
class QTableWidget;

// Shows a day in the main window's reference panel.
using Show_day = std::function<void(int year, int month, int day)>;

class Day_list_window : public QDialog {
    Q_OBJECT

public:
    // Refills the list for the year in Text1 with the index records of that
    // year that pass the test. Row r (1 .. keyword_count) shows
    // keyword_lines[r]; below the last result stays one empty row.
    void Rebuild_day_list(const Record_test& test);
    // Hands the day of the current row to the reference panel (year,
    // month, day, in this order) and closes the window, or says that no
    // day is chosen and stays.
    void Recall_selected_day();
    // The close step, however the window closes: keyword_count goes back
    // to 0.
    void Form_QueryUnload();
    void VScroll1_Change();
    // The records the last rebuild found, 1 .. Keyword_count(); position 0
    // stands for the header row.
    const QStringList& Keyword_lines() const { return keyword_lines; }
    int Keyword_count() const { return keyword_count; }
    void Grid1_DblClick();

    QTableWidget* Grid1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QScrollBar* VScroll1 = nullptr;

    void done(int result) override;

protected:
    Day_list_window(const Dialog_host& main_host, Diary_session& diary_session, Show_day show_day,
                    const char* name, double width_twips, double height_twips,
                    const QColor& background);

    // The first steps of every opening: placement, title, the list back to
    // its header row and empty row, the year selector back to its design
    // state and then set to the current year (which raises Text1's change
    // once).
    void Load_common(const QString& title);
    void closeEvent(QCloseEvent* event) override;

private:
    void Setup_list();
    void Fill_list(const QStringList& lines, int count);
    void Set_row(int row, const QString& date, const QString& memo, const QColor& fixed);
    void Place_over_main();

    Dialog_host host;
    Diary_session& session;
    Show_day show_reference_day;
    QStringList keyword_lines;  // the index records listed, from position 1
    int photo_year = 0;         // the year of the list, and its days with pictures
    QSet<int> photo_days;
    int keyword_count = 0;
    double client_width;
    double client_height;
};

#pragma once
// The main window: the diary panel above, the reference panel below, the
// bottom row of buttons and the menu bar. It is the view of the diary
// session it owns: it shows the session's days, turns the user's actions
// into session calls, and what the session returns into questions and
// messages.

#include "diary/add_command.h"
#include "diary/reminder.h"
#include "diary/session.h"
#include "fortune/generator.h"
#include "platform/background_job.h"
#include "platform/platform.h"
#include "platform/twips.h"
#include "ui/placement.h"

#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <functional>

class Backup_control;
class Chars_note;
class Clock;
class Years_window;
class F_memo;
class F_omoide;
class F_tomorrow;
class Fulltext_window;
class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class Navigation_filter;
class Photo_control;
struct Recovery_host;

class Main_form : public QMainWindow {
    Q_OBJECT

public:
    using Save_result = Diary_session::Save_result;
    using Who = Diary_session::Who;

    Main_form(Platform& platform_layer, Clock& clock, const QString& app_dir,
              QWidget* parent = nullptr);
    ~Main_form() override;

    // Start-up. False when the program must end at once (the system date
    // lies outside the years the diary can hold); nothing is written then.
    bool Form_Load();
    // Shows the window in the state start-up restored (normal, minimized,
    // maximized).
    void Show_window();

    // The ending with nobody to ask (SIGTERM, SIGHUP, the session ending):
    // saves what it can (an open 明日へ window's message too), writes what
    // it could not save to a rescue file in the program folder or, when
    // that refuses it, in the user's own data folder, closes every modal
    // window still open, and ends.
    void End_without_user();
    // The session asks the program to save its data (it may or may not end
    // afterwards): saves as End_without_user does, without ending.
    void Save_for_session();
    // While a locked diary's key is gone (the idle lock), everything was
    // saved before and nothing can be written sealed: the endings and the
    // session's save write nothing.
    void Suspend_saving(bool suspended) { saving_suspended = suspended; }
    bool Ended() const { return ended; }
    // The file the last ending without a save wrote the day to, or empty.
    QString Rescue_path() const { return rescue_path; }

    // The diary session this window shows.
    Diary_session& Session() { return session; }
    // What the dialogs get of this window.
    Dialog_host Host();
    // Backups of the whole diary: their menu items, progress and messages.
    Backup_control* Backup() const { return backup; }
    // What the recovery record gets of this window.
    Recovery_host For_recovery();
    // A paragraph "sorane --add" handed over (app/terminal_add.cpp): added
    // to the panel when its day is being edited there, else written at once
    // through the save; refused while a question or dialog is open.
    Add_reply Add_from_terminal(const Add_request& request);

signals:
    // The program has ended; the application quits on it.
    void Program_ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Tests and benchmarks reach the handlers and the view state through
    // it (tests/support/main_form_probe.h); they find the controls by
    // their object names.
    friend struct Main_form_probe;

    // Writes the diary panel's day if it was edited; with Who::User a
    // failure is shown. Characters that code page 932 cannot hold are kept
    // exactly (see store/exact_text.h); Chars_note tells that the Windows
    // program shows substitutes for them.
    Save_result Save_day(Who who = Who::User);
    // Takes the window's state and placement and the reference panel's
    // date into the settings values and writes the settings file. The
    // endings call it and then write the day.
    Io_result Save_settings();

    void Command2_Click();
    void Menu_end_Click();
    // ファイル → 保存 (Ctrl+S): the diary panel's day now, with the questions
    // of leaving it.
    void Menu_save_Click();
    // The ending with a user to ask: saves settings and day; a failed save
    // lets the user stay. True when the program ends.
    bool Form_QueryUnload();

    void Form_Resize();

    // 明日へ opens F_tomorrow; at start-up a new day hands tomorrow's
    // message over and F_yesterday greets the user while a received
    // message exists.
    void Command4_Click();
    void Hand_over_messages_at_start();
    // Screen modes, layout, the reference setting and help (layout.cpp).
    void Command1_Click();
    void MENU_ref_default_Click();
    void Menu_tukaikata_Click();
    // What Form_Resize does for an outer size of W x H twips: the right-hand
    // controls follow the width, the text fields and the bottom row the
    // height, never below the design size; at a height of exactly 540 the
    // height layout is left as it was.
    void Lay_out(double w, double h);
    // A window that the settings placed off every screen is centred on the
    // primary screen at its size.
    void Bring_onto_screen();
    // 検索 → 思い出の日 and 検索 → メモ: each window is made on first use,
    // kept (hidden) afterwards, and shown modally.
    void Menu_omoide_Click();
    void Menu_memo_Click();
    // ファイル → この日の履歴: the day is saved when edited, then its earlier
    // versions are shown; a version chosen there goes into the panel and is
    // saved as any edit, so that the version it replaces is kept in turn.
    void Menu_history_Click();
    // ファイル → エクスポート…: the day is saved when edited, then the diary
    // is written out to a folder the user chooses (dialogs/export_window.h).
    void Menu_export_Click();
    // Saves the panel's day before a window that reads or writes the files
    // opens; false when the save failed or was declined, or the diary ended.
    bool Day_saved_for_a_window();
    // ファイル → インポート…: the day is saved when edited, then a diary kept
    // in another program is brought in (dialogs/import_window.h); the panel shows
    // its day as the files hold it afterwards.
    void Menu_import_Click();
    // ファイル → 印刷…: the day is saved when edited, then the panel's day or
    // a range of days is printed after a preview (dialogs/print_window.h).
    void Menu_print_Click();
    // ファイル → ほかの版… (versions.cpp): the copies of the panel's day
    // that synchronising tools or this program left, and the year's copies
    // of keyword.txt merged first.
    void Menu_versions_Click();
    QAction* Menu_versions = nullptr;
    F_omoide* f_omoide = nullptr;
    F_memo* f_memo = nullptr;
    // 検索 → この日の百年 and the 移動 menu (years.cpp). The page is made on
    // first use, kept (hidden) afterwards, and shown modeless: while it is
    // shown it follows the diary panel's month and day.
    void Menu_years_Click();
    void Menu_today_Click();
    void Menu_prev_day_Click();
    void Menu_next_day_Click();
    void Menu_calendar_Click();
    // Moves the diary panel to the day as its date bars do, through the
    // same steps: the day being left is saved first, and a failed or
    // declined save leaves the panel where it is. A date outside the bars'
    // ranges goes to the nearest day they can show.
    void Go_to_diary_day(const Panel_date& date);
    Years_window* years_window = nullptr;
    // 検索 → 全文検索 (Ctrl+F): the whole diary's text and memos, with its
    // index kept in the user's cache folder; made on first use and kept.
    void Menu_fulltext_Click();
    Fulltext_window* fulltext_window = nullptr;
    // 検索 → 記録 (records.cpp): how much was written in every year; made
    // on first use and kept, modeless.
    void Menu_records_Click();
    // A day was saved: the window, when shown, counts what changed.
    void Records_follow_save();
    class Records_window* records_window = nullptr;
    // The 明日へ window while it is open.
    QPointer<F_tomorrow> f_tomorrow;
    // The 占い button: the once-a-day gate, then the fortune window.
    void Command3_Click();

    // Shows a day in the diary panel: memo, memory flag and text from the
    // session, remembered as shown so that an unedited day is never written.
    void Load_diary_day(int year, int month, int day);
    // Shows the reference day in Text1.
    void Load_reference_text();
    // The window has become active again: an unedited diary day and the
    // reference day that changed on disk meanwhile are shown as the files
    // hold them now. An edited day stays as the user has it; its save finds
    // the change. Nothing is asked or told here.
    void Show_changes_on_disk();
    // Names in the window's title the first file beside the diary panel's
    // day that holds another version of it (a synchronising tool's
    // conflict copy, or this program's); the plain title when there is none.
    void Show_other_versions();

    Platform& platform;
    Diary_session session;
    // The fortune's generator; its state carries over from one fortune to
    // the next for the whole run.
    Fortune_generator fortune_generator;
    // Program-wide view state: On while the program moves the date bars
    // itself, so that their handlers do nothing (and before start-up);
    // resize_lock while start-up places the window.
    enum class Scroll_lock {
        Off,
        On
    };
    Scroll_lock scroll_lock = Scroll_lock::On;
    bool resize_lock = false;

    QPlainTextEdit* Text1 = nullptr;
    QPlainTextEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    QLineEdit* Text6 = nullptr;
    QLineEdit* Text7 = nullptr;
    QLineEdit* Text8 = nullptr;
    QLineEdit* Text9 = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QScrollBar* VScroll2 = nullptr;
    QScrollBar* VScroll3 = nullptr;
    QScrollBar* VScroll4 = nullptr;
    QScrollBar* VScroll5 = nullptr;
    QScrollBar* VScroll6 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QCheckBox* Check1 = nullptr;
    QLabel* Label1 = nullptr;
    QFrame* Shape1 = nullptr;
    Chars_note* chars_note = nullptr;
    QMenu* Menu_file = nullptr;
    QMenu* Menu_kensaku = nullptr;
    QMenu* Menu_settei = nullptr;
    QMenu* Menu_help = nullptr;
    QAction* Menu_save = nullptr;
    QAction* Menu_end = nullptr;
    QAction* Menu_omoide = nullptr;
    QAction* Menu_memo = nullptr;
    QAction* Menu_years = nullptr;
    QMenu* Menu_go = nullptr;
    QAction* Menu_today = nullptr;
    QAction* Menu_prev_day = nullptr;
    QAction* Menu_next_day = nullptr;
    QAction* Menu_calendar = nullptr;
    QAction* Menu_history = nullptr;
    QAction* Menu_export = nullptr;
    QAction* Menu_import = nullptr;
    QAction* Menu_print = nullptr;
    QAction* Menu_fulltext = nullptr;
    QAction* MENU_ref_default = nullptr;
    QAction* Menu_tukaikata = nullptr;
    Backup_control* backup = nullptr;
    Photo_control* photos = nullptr;  // the days' pictures (photo_control.*)

    // ---- Habits (habits.cpp) ----
    // 時刻を挿入 (Ctrl+;), 設定 → お知らせ… and 設定 → 新しい日のひな形…,
    // and the weekday beside each panel's date.
    void Build_habits();
    // The time (HH:MM, from the session's clock) at the caret in Text2.
    void Menu_time_Click();
    // Installs or removes the schedule that runs "sorane --remind", then
    // keeps the choice in the own settings.
    void Menu_reminder_Click();
    void Menu_template_Click();
    // Today's empty day gets the template in Text2 before it counts as
    // shown, so that the untouched template is never saved.
    void Put_day_template();
    // The panel holds the template as it was put there, unchanged: no
    // writing yet, for the fortune as for the save.
    bool Template_untouched() const;
    QString template_shown;  // the template put into the panel's day, or empty
    void Show_weekdays();
    QAction* Menu_time = nullptr;
    QAction* Menu_reminder = nullptr;
    QAction* Menu_template = nullptr;
    QLabel* Label_weekday1 = nullptr;  // the diary panel's, in the memo row
    QLabel* Label_weekday2 = nullptr;  // the reference panel's, in the bottom row
    // Where the reminder's schedule goes and how systemd is reached; called
    // on the job's thread, as asking systemd may take a while.
    std::function<Reminder_places()> reminder_places;
    std::unique_ptr<Background_job<Io_result>> reminder_job;

    // ---- Another computer writing now (disk_watch.cpp) ----
    // A watch on the diary folder and the diary panel's year folder. A
    // change there is looked at once it has settled: an unedited day, the
    // reference day and the title's other versions are shown as the files
    // hold them; a day being edited here that changed on disk is told at
    // once, with the question its save would ask (once for each state of
    // its files), while this window is active, else when it becomes active.
    void Build_disk_watch();
    void Watch_diary_folders();
    void Disk_settled();
    void Ask_about_change_on_disk();
    class QFileSystemWatcher* disk_watch = nullptr;
    class QTimer* disk_settle = nullptr;
    QByteArray disk_change_told;  // the files' state last asked about

    // Twips <-> pixels at this window's logical DPI.
    double Dpi() const;
    QRect Pixels(const Twips_rect& r) const { return To_pixels(r, Dpi()); }
    // The outer frame's place and size in twips, as the settings file holds
    // them, and back.
    Twips_rect Outer_twips() const;
    void Set_outer_twips(const Twips_rect& outer);

    // ---- Panel navigation (navigation.cpp) ----
    // The change handlers of the date bars: VScroll1..3 save the day being
    // left and load the new one; VScroll4..6 load the reference day.
    void VScroll1_Change();
    void VScroll2_Change();
    void VScroll3_Change();
    void VScroll4_Change();
    void VScroll5_Change();
    void VScroll6_Change();
    // Every character typed into the reference text is refused with a
    // message; key_code becomes 0.
    void Text1_KeyPress(char32_t& key_code);
    // Moves the reference panel to a day the way the search windows do:
    // the year, month and day bars in this order, one load per bar whose
    // value changes; a date outside the bars' ranges goes to the nearest
    // day they can show.
    void Show_reference_day(int year, int month, int day);
    // Text still being composed in an input method in Text2 or Text6 goes
    // into its field, so that it is saved with the rest.
    void Commit_composition();

    friend class Navigation_filter;
    void Build_navigation();
    // Takes the navigation's event filter off the form and its fields, so
    // that no event reaches it while the window is being torn down.
    void Stop_navigation();
    void Diary_bar_change(QScrollBar* bar, QLineEdit* field);
    void Reference_bar_change(QScrollBar* bar, QLineEdit* field);
    void Load_diary_position();
    void Put_diary_bars_back();
    // Sets the diary bars without running their handlers.
    void Set_diary_bars(const Panel_date& date);
    // What a diary bar's change and the moves of the 移動 menu share: save
    // the day being left, then load the asked one. bar and field are the
    // bar that moved and its date field, or null for a move by the menu.
    void Move_diary_panel(const Panel_date& asked, QScrollBar* bar, QLineEdit* field);
    // The date fields take a typed number: Enter moves the bar beside the
    // field there, through its change handler (date_fields.cpp).
    void Build_date_fields();
    void Date_field_entered(QLineEdit* field, QScrollBar* bar);
    void Show_date_fields();
    // The shortcuts and handlers of the year page and the moves (years.cpp).
    void Connect_year_actions();
    // The diary panel has moved to another day: the year page follows it.
    void Follow_diary_day();
    void Put_caret_at_end();
    Navigation_filter* navigation_filter = nullptr;
    bool diary_moving = false;  // a diary bar's change is being handled
    int blocked_count = 0;      // modal windows that have blocked this one

    void Build_controls();
    void Build_menus();
    void Apply_text2_height(double outer_height);
    void Connect_layout_handlers();
    // The diary panel's day as its fields hold it now, and back.
    Day_entry Current_entry() const;
    void Show_entry(const Day_entry& entry);
    // Shows the failures of a read, in the order the read met them.
    void Tell_day_read(const Diary_session::Day_read& read, const QString& headline,
                       const QString& note);
    // The session's plan for saving the day, with what is being composed.
    Diary_session::Day_plan Plan_day_save(Who who);
    Save_result Run_plan(Diary_session::Day_plan& plan);
    int Window_state() const;
    // The question before an ending that could not save everything; rescue
    // is the file the day would be written to, or empty.
    QString Rescue_question(const QString& rescue) const;
    // The message of an open 明日へ window, written as nobody can be asked
    // (windows.cpp).
    void Save_open_message();
    // Ends every modal run still open, questions included (windows.cpp).
    void Close_modal_windows();
    void Show_failure(const QString& headline, const Io_result& result,
                      const QString& note = QString());
    void Finish();

    // The placement last set from twips, to write the same values back when
    // the window did not move or change size.
    Twips_rect placed_twips{};
    QPoint placed_pos;
    QSize placed_client;
    bool placed = false;

    bool ended = false;
    bool saving_suspended = false;
    bool in_query = false;
    QString rescue_path;
};

// The headline of a failed save.
QString Save_failure_headline(const Diary_session::Day_plan& plan);
// The question when the day being saved changed on disk since it was
// loaded: yes keeps the files' version, no the panel's, cancel goes back.
QString Changed_on_disk_question(const Diary_session::Day_plan& plan, const QString& app_dir);
// The question when the version a save would replace could not be kept in
// the history: yes saves without it, no goes back.
QString History_question(const Diary_session::Day_plan& plan);
// The question before an emptied day's files are removed: yes removes them,
// no leaves them (the day's old text comes back), cancel goes back.
// marked: the day has the 思い出 mark, on disk or in the panel.
QString Removal_question(const Diary_session::Day_plan& plan, bool marked);
// What merging a year's copies of keyword.txt did, told to the user.
QString Index_merge_message(const struct Index_merge& merge, int year, const QString& app_dir);
// The window's title for a day with these other versions beside it.
QString Title_with_other_versions(const QStringList& other_versions);

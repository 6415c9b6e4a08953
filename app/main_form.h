#pragma once
// The main window: the diary panel above, the reference panel below, the
// bottom row of buttons and the menu bar; start-up (Form_Load), saving a
// day (Save_day) and the endings. It owns the program-wide state.

#include "app/twips.h"
#include "fortune/generator.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "store/settings.h"
#include "store/store.h"

#include <QDate>
#include <QMainWindow>
#include <QPoint>
#include <QSize>

class F_memo;
class F_omoide;
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

// State that lives for the whole run and that every window shares. The
// settings values are the inherited members (win_state ... spare_lines).
struct Program_state : Settings {
    QString app_dir;      // program folder, ends in "/"
    QString scroll_lock;  // "on" / "off"; empty before start-up, counts as "on"
    bool resize_lock = false;
    QStringList keyword_lines;  // in-memory index table of the search windows
    int keyword_count = 0;
    QDate today;  // the system date at start-up
    // Today lies after the last start's date (read before start-up moved it).
    bool new_day = false;
};

class Main_form : public QMainWindow {
    Q_OBJECT

public:
    enum class Save_result {
        Saved,      // the day was written
        Unchanged,  // nothing to write: unedited, or text and memo both empty
        Declined,   // the user chose to go back to the text; nothing written
        Failed,     // not written; the reason is in last_save_error
    };
    // Whether a user is there to answer questions (the close box, a button)
    // or not (a signal, the session ending).
    enum class Who {
        User,
        Nobody
    };

    Main_form(Platform& platform, Clock& clock, const QString& app_dir, QWidget* parent = nullptr);
    ~Main_form() override;

    // Start-up. False when the program must end at once (the system date
    // lies outside the years the diary can hold); nothing is written then.
    bool Form_Load();
    // Shows the window in the state start-up restored (normal, minimized,
    // maximized).
    void Show_window();

    // Writes the diary panel's day if it was edited. With Who::User a day
    // holding characters that code page 932 cannot hold is written only
    // after the user agreed to their substitutes, and a failure is shown.
    Save_result Save_day(Who who = Who::User);
    // Takes the window's state and placement and the reference panel's
    // date into the settings values and writes the settings file. The
    // endings call it and then write the day.
    Io_result Save_settings();

    void Command2_Click();
    void Menu_end_Click();
    // The ending with a user to ask: saves settings and day; a failed save
    // lets the user stay. True when the program ends.
    bool Form_QueryUnload();
    // The ending with nobody to ask (SIGTERM, SIGHUP, the session ending):
    // saves what it can, writes the day it could not save to a rescue file
    // in the program folder, and ends.
    void End_without_user();
    // The session asks the program to save its data (it may or may not end
    // afterwards): saves as End_without_user does, without ending.
    void Save_for_session();

    void Form_Resize();

    // The messages (dialogs/f_tomorrow.cpp, dialogs/f_yesterday.cpp): 明日へ
    // opens F_tomorrow; at start-up a new day hands tomorrow's message over
    // and F_yesterday greets the user while a received message exists.
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
    F_omoide* f_omoide = nullptr;
    F_memo* f_memo = nullptr;
    // The 占い button: the once-a-day gate, then the fortune window.
    void Command3_Click();
    // The fortune's generator; its state carries over from one fortune to
    // the next for the whole run.
    Fortune_generator fortune_generator;

    // Shows a day in the diary panel: memo, memory flag and text from the
    // store, remembered as loaded so that an unedited day is never written.
    void Load_diary_day(int year, int month, int day);
    // Shows the reference day of Text7..Text9 in Text1.
    void Load_reference_text();

    bool Ended() const { return ended; }
    // The file the last ending without a save wrote the day to, or empty.
    QString Rescue_path() const { return rescue_path; }
    Io_result Last_save_error() const { return last_save_error; }

    Platform& platform;
    Clock& clock;
    Diary_store store;
    Program_state state;

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
    QMenu* Menu_file = nullptr;
    QMenu* Menu_kensaku = nullptr;
    QMenu* Menu_settei = nullptr;
    QMenu* Menu_help = nullptr;
    QAction* Menu_end = nullptr;
    QAction* Menu_omoide = nullptr;
    QAction* Menu_memo = nullptr;
    QAction* MENU_ref_default = nullptr;
    QAction* Menu_tukaikata = nullptr;

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
    // value changes.
    void Show_reference_day(int year, int month, int day);
    // Text still being composed in an input method in Text2 or Text6 goes
    // into its field, so that it is saved with the rest.
    void Commit_composition();

private:
    friend class Navigation_filter;
    void Build_navigation();
    // Takes the navigation's event filter off the form and its fields, so
    // that no event reaches it while the window is being torn down.
    void Stop_navigation();
    void Diary_bar_change(QScrollBar* bar, QLineEdit* field);
    void Reference_bar_change(QScrollBar* bar, QLineEdit* field);
    void Load_diary_position();
    void Put_diary_bars_back();
    Navigation_filter* navigation_filter = nullptr;
    bool diary_moving = false;  // a diary bar's change is being handled
    int blocked_count = 0;      // modal windows that have blocked this one

signals:
    // The program has ended; the application quits on it.
    void Program_ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Day_plan {
        Save_result result = Save_result::Unchanged;  // Saved: go on and write
        Unmappable_policy policy = Unmappable_policy::Refuse;
        QString headline;  // for Failed
        Io_result error;   // for Failed
        QString text;      // the diary text and memo as they were planned
        QString memo;
    };

    void Build_controls();
    void Build_menus();
    void Apply_text2_height(double outer_height);
    void Connect_layout_handlers();
    Day_plan Plan_day_save(Who who);
    Save_result Write_day(const Day_plan& plan);
    Save_result Run_plan(const Day_plan& plan);
    QString Rescue_question(const QString& rescue_name) const;
    Io_result Write_rescue_file(const QString& path);
    QString New_rescue_path() const;
    void Show_failure(const QString& headline, const Io_result& result,
                      const QString& note = QString());
    void Finish();

    // The day shown in the diary panel as it was loaded or last saved.
    QString loaded_text;
    QString loaded_memo;
    bool loaded_flag = false;
    // False when the day's file or its index could not be read: its file is
    // then never written over by what the panel holds.
    bool day_loaded = true;
    Io_result load_error;
    Io_result last_save_error;
    QString last_save_headline;

    // The placement last set from twips, to write the same values back when
    // the window did not move or change size.
    Twips_rect placed_twips{};
    QPoint placed_pos;
    QSize placed_client;
    bool placed = false;

    bool ended = false;
    bool in_query = false;
    QString rescue_path;
};

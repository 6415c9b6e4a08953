#pragma once
// The diary as data, without any window: the program-wide state with its
// settings, the day being written in the diary panel, the reference day,
// start-up's steps, saving a day and the data side of the endings. It asks
// nothing and shows nothing: every step returns what happened, and the
// windows turn that into questions and messages.

#include "diary/day_history.h"
#include "diary/panel_date.h"
#include "diary/unmappable.h"
#include "platform/cp932.h"
#include "store/diary_files.h"
#include "store/settings.h"
#include "store/store.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Clock;
struct Read_now;

// State that lives for the whole run and that every window shares; the
// session keeps it, and windows change it through the session's methods.
struct Program_state {
    Settings settings;
    QDate today;  // the system date at start-up
    // The settings' dates, parsed once when the file was read: the last
    // start's date (invalid when the line held none) and the reference
    // day the program ended on.
    QDate last_run;
    std::optional<Panel_date> last_ref;
    // Today lies after the last start's date (read before start-up moved it).
    bool new_day = false;
};

// The diary panel's day as the user has it now.
struct Day_entry {
    QString text;  // line breaks "\n"
    QString memo;
    bool flag = false;
    friend bool operator==(const Day_entry&, const Day_entry&) = default;
};

class Diary_session {
public:
    enum class Save_result {
        Saved,  // the day was written
        // Nothing written to the day: unedited, text and memo both empty,
        // or the version another copy of the diary wrote was kept (then the
        // plan names the copy that holds the panel's version).
        Unchanged,
        Declined,  // the user chose to go back to the text; nothing written
        Failed,    // not written; the reason is in the plan or the result
        // Not written: the day's file or its index record changed on disk
        // since the day was loaded. The plan holds what the files hold now;
        // the user chooses the version to keep (Day_plan::keep), and the
        // plan is written again.
        Changed_on_disk,
    };
    // Whether a user is there to answer questions (the close box, a button)
    // or not (a signal, the session ending).
    enum class Who {
        User,
        Nobody
    };
    enum class Failure {
        None,
        Unreadable_day,  // the day could not be read: its files are kept
        Write,           // the store could not write the day
        // The index took the memo and the memory flag, the day file could
        // not be written: the text on disk is still the old one.
        Text_only,
        // The version the day's file and index hold now could not be kept
        // in a conflict copy, so nothing was written over it.
        Conflict_copy,
        // The version the save would replace could not be kept in the
        // history, so nothing was written over it. With the user's consent
        // (Day_plan::without_history) the plan is written again without it.
        // A removal is never done without it.
        History,
        // The day to be removed was changed elsewhere since it was loaded:
        // nothing was removed, and the day as its files hold it now is
        // loaded (Loaded_day()).
        Changed_before_removal,
    };
    // Which version of a day changed on disk becomes the day.
    enum class Keep {
        Undecided,
        Disk,  // the files' version; the panel's goes to a conflict copy
        Mine,  // the panel's version; the files' goes to a conflict copy
    };

    // A day as its two files hold it, byte for byte.
    struct Day_on_disk {
        Io_result error;         // either file could not be read
        QByteArray file;         // the day file; empty when there is none
        Day_record record;       // the day's lines of the index
        QByteArray index;        // the whole index as read
        Read_status index_read;  // what the index's read found
        // The names they were read by (see Diary_store::Read_day_file).
        QString path;
        QString index_path;
        // A folder, device or the like at the day file's name: nothing can
        // be read there, and the write refuses it with its own reason.
        bool file_in_the_way = false;
        bool folder_gone = false;  // no year folder: nothing was read
    };

    // A save of the diary panel's day, worked out before anything is
    // written. The day's text and memo are encoded once, here; the write
    // and the text shown afterwards come from these bytes.
    struct Day_plan {
        Save_result result = Save_result::Unchanged;  // Saved: ready to write
        Failure failure = Failure::None;
        Io_result error;
        Panel_date date;
        Day_entry entry;
        cp932::Encode_result text_bytes;
        cp932::Encode_result memo_bytes;
        // Characters code page 932 cannot hold: the day's files get their
        // substitutes, and its exact text goes to a companion; empty when none.
        QList<Unmappable_char> unmappable;
        Who who = Who::User;
        // Filled when Write_day found the day changed on disk: the day as
        // the files hold it now, and the conflict copy that will hold the
        // version not kept (written, once the plan has been carried out).
        Keep keep = Keep::Undecided;
        Day_on_disk disk;
        Day_entry disk_entry;
        QString conflict_copy;
        // Saved without keeping the version replaced: the user agreed after
        // keeping it failed.
        bool without_history = false;
        // The day's text and memo were emptied and the day has files: the
        // plan removes them (the day file, its index lines and its exact
        // text), once the user has agreed, keeping the last version in the
        // history first. Only a plan for a user is one.
        bool remove = false;
    };

    // The outcome of loading a day into a panel.
    struct Day_read {
        Io_result index_error;  // the year's index could not be read
        Io_result text_error;   // the day file could not be read
        qint64 file_size = 0;
    };

    enum class Settings_start {
        Created,
        Create_failed,
        Read,
        Read_failed
    };

    // The start-up hand-over of the messages.
    struct Hand_over {
        Io_result settings_error;  // today's start could not be recorded
        Io_result move_error;      // the message files could not be moved
        // The record that a hand-over was due could not be made or removed.
        Io_result record_error;
    };

    Diary_session(const QString& app_dir, Clock& time_source);

    Diary_store& Store() { return store; }
    const QString& App_dir() const { return store.App_dir(); }
    Clock& Time() { return clock; }

    // ---- The state of the run, as read at start and changed since.
    const Program_state& State() const { return state; }
    const QDate& Today() const { return state.today; }
    bool New_day() const { return state.new_day; }
    // The main window's state and outer frame as the settings hold them.
    Window_geometry Window() const;
    // Today's fortune was told, in this run or an earlier start of today.
    bool Fortune_told_today() const;
    // Today's fortune is told from now on; the settings file gets it at its
    // next write.
    void Record_fortune_told();
    Screen_mode Screen() const { return state.settings.screen_mode.Get(); }
    // The normal diary panel becomes wide; a wide one, or a word the
    // settings held that is no mode, becomes normal.
    void Switch_screen_mode();
    // Which day the reference panel shows at start (see
    // Start_reference_day); a value that is none of the choices is kept.
    int Reference_choice() const { return state.settings.ref_mode; }
    void Choose_reference(int ref_mode) { state.settings.ref_mode = ref_mode; }

    // ---- Start-up, step by step; the window shows what each returns.
    // Reads today's date; false when it lies outside the years the diary
    // holds (then nothing may be written).
    bool Read_today();
    // Whether this process may make files in the program folder. When it
    // may not, start-up says so once and makes nothing there: no year
    // folder, index, settings file or message hand-over.
    Io_result Check_program_folder();
    bool Program_folder_writable() const { return folder_writable; }
    Io_result Ensure_year_folder(int year) { return store.Ensure_year_folder(year); }
    Io_result Create_this_year_index();
    // Reads the settings file, or writes first_values as a new one. The
    // settings' dates are parsed here, once. A settings file that is there
    // but cannot be read (no permission, a folder at its name) is never
    // written over: the run goes on with first_values and Settings_writable()
    // is false from then on.
    Settings_start Read_settings(const Settings& first_values, Io_result& error);
    // The reference day that ref_mode chooses at start, in the bars' ranges.
    std::optional<Panel_date> Start_reference_day() const;
    // Records today's start in the settings file before any message moves;
    // on a new day (or with a hand-over that an earlier start of today left
    // unfinished) hands the messages over.
    Hand_over Hand_over_messages_at_start();
    bool Has_received_message() const;
    // Today's hand-over could not begin, and the next start tries it again.
    bool Hand_over_due() const { return hand_over_due; }
    // "tomorrow.txt" still holds a message from an earlier day that could
    // not be handed over: it is not today's draft, and 明日へ must not write
    // over it.
    bool Message_waiting() const { return message_waiting; }
    // The last steps: the fortune is new on a new day; today is the last
    // start's date.
    void Finish_start();

    // ---- The diary panel's day.
    const Panel_date& Diary_date() const { return diary_date; }
    const Day_entry& Loaded_day() const { return loaded; }
    bool Day_readable() const { return day_readable; }
    // Loads the day from its index record and file; what was read is kept
    // as loaded, so that an unedited day is never written.
    Day_read Load_diary_day(const Panel_date& date);
    // A day of a year without a folder: empty, nothing created by looking.
    void Load_empty_day(const Panel_date& date);
    bool Edited(const Day_entry& now) const { return !(now == loaded); }
    // The day as the panel's fields hold it once shown: a field may give
    // back a text a little different from what it was given (a lone CR
    // becomes a line break), and only what the user changes counts as an
    // edit.
    void Day_shown(const Day_entry& shown) { loaded = shown; }

    // Saving: the plan first (no file touched), then its execution. A day
    // whose text and memo are both empty is not saved; when it has files
    // and a user is there, the plan is to remove them (Day_plan::remove),
    // and the caller asks before it writes the plan.
    Day_plan Plan_day_save(const Day_entry& now, Who who);
    // Writes the plan: characters code page 932 cannot hold get their
    // substitutes in the day's files and are kept exactly in its companion;
    // afterwards Loaded_day() is the day as saved, exactly. Before anything is written, the
    // day's file and its index record are compared with what was loaded:
    // a day changed elsewhere is never written over unasked. With a user
    // the result is then Changed_on_disk, and the plan is written again
    // once plan.keep holds the choice; with nobody to ask, the files'
    // version stays and the panel's goes to a conflict copy, while the
    // session keeps the day as loaded, so that the next save with a user
    // asks again.
    Save_result Write_day(Day_plan& plan);
    // The diary panel's day changed on disk since it was loaded, and can be
    // read now (an unedited day is then loaded again).
    bool Diary_day_changed_on_disk();
    // The files in the day's year folder that hold another version of the
    // day, as "2026/1209.sync-conflict-….txt".
    QStringList Other_versions(const Panel_date& date);

    // A digest of the diary panel's day's files when they changed on disk
    // since the day was loaded and can be read now; empty otherwise. Two
    // changes to the same bytes give the same digest.
    QByteArray Diary_day_change_on_disk();
    // The bytes of a conflict copy of a version: its day file, after the
    // memo and the memory flag when they differ from those that stay.
    static QByteArray Conflict_copy_bytes(const QByteArray& file, const QByteArray& memo_bytes,
                                          bool flag, bool record_differs);

    // The earlier versions of the days, kept by every save that replaces a
    // day (on unless turned off, as the benchmarks do to compare).
    const Day_history& History() const { return history; }
    void Set_keep_history(bool on) { keep_history = on; }

    // ---- The reference panel's day.
    const Panel_date& Reference_date() const { return reference_date; }
    void Set_reference_date(const Panel_date& date) { reference_date = date; }
    // The reference day's text; empty when it could not be read.
    QString Load_reference_text(Day_read& read);

    // ---- Ending.
    // Writes the settings with the window's state and place and the
    // reference day. Settings that could not be read are not written: the
    // values are kept in memory only, and the result is a success.
    Io_result Save_settings(const Window_geometry& window);
    Io_result Write_settings();
    bool Settings_writable() const { return settings_writable; }
    // A new file name for the rescue of a day that could not be saved: in
    // the program folder, or in the user's own data folder when this
    // process may not make files in the program folder.
    QString New_rescue_path() const;
    // The user's own data folder for rescue files: $XDG_STATE_HOME/sorane/,
    // else ~/.local/state/sorane/ (with a trailing "/").
    static QString User_rescue_folder();
    struct Rescue_write {
        Io_result result;  // the failure of the last place tried
        QString path;      // where the text went; empty when nowhere
    };
    // Writes the rescue file at path; when that place refuses it, a new
    // file in the user's own data folder (made 0700) takes it.
    Rescue_write Write_rescue_file(const QString& path, const Day_entry& now) const;
    // The same for a message to tomorrow.
    Rescue_write Write_message_rescue(const QString& path, const QString& message) const;
    // The message to tomorrow: written to "tomorrow.txt" (with its
    // exact-text companion when it needs one); an empty one removes it.
    Io_result Save_message(const QString& message);
    // The same, as the ending with nobody to ask finds the message in the
    // open 明日へ window: one that cannot be written goes to a rescue file.
    struct Message_save {
        Io_result result;     // the message file's write or removal
        QString rescue_path;  // the rescue file written, or empty
    };
    Message_save Save_message_without_user(const QString& message);
    // The ending with nobody to ask: saves the settings and the day; a day
    // it cannot save goes to a rescue file.
    struct Unattended_save {
        Save_result day = Save_result::Unchanged;
        QString rescue_path;  // the rescue file written, or empty
    };
    Unattended_save Save_without_user(const Window_geometry& window, const Day_entry& now);

private:
    Program_state state;
    Clock& clock;
    Diary_store store;
    Panel_date diary_date;
    Panel_date reference_date;
    Day_entry loaded;
    // The day's file and index record as they were when the day was loaded
    // or last written.
    Day_on_disk loaded_disk;
    Day_on_disk Read_day_on_disk(const Panel_date& date);
    // The files hold something else than when the day was loaded.
    bool Changed_since_load(const Day_on_disk& now) const;
    Save_result Keep_version(Day_plan& plan);
    // Write_day for a plan that removes the day.
    Save_result Remove_day(Day_plan& plan);
    // The day's exact-text companion around the writes of its files (see
    // store/exact_text.h): kept aside when it no longer matches them, the
    // new one staged before them; and the exact text of the files' version
    // beside the conflict copy that takes it.
    // companion_now and companion_left as Settle_companions takes them.
    Io_result Stage_exact_day(const Day_plan& plan, const QString& day_path, const QDateTime& now,
                              const Read_now* companion_now = nullptr,
                              bool* companion_left = nullptr);
    Io_result Keep_exact_disk_version(const Day_plan& plan);
    Day_entry Exact_disk_entry(const Panel_date& date, const Day_on_disk& disk);
    void Keep_unmatched_aside(const QStringList& companions);
    // Keeps in the history the version of the day that the plan's write is
    // about to replace (as plan.disk holds it); the sync of its folder is
    // left to sync, to be run before the day file or its index is
    // replaced. day_path is the day file's; now is the save's time, read
    // once for all its steps. companion, when given, receives the day's
    // exact-text companion as read here, when it was. index_replaced: the
    // write replaces the year's index too, so that the old one may be
    // linked into the history for the version's lines.
    Io_result Keep_replaced_version(const Day_plan& plan, const QString& day_path,
                                    const QDateTime& now, History_sync& sync, bool index_replaced,
                                    std::optional<Read_now>* companion = nullptr);
    Day_history history;
    bool keep_history = true;
    // False when the day's file or its index could not be read: its file is
    // then never written over by what the panel holds.
    bool day_readable = true;
    Io_result load_error;
    bool settings_writable = true;
    bool folder_writable = true;
    // Today's hand-over of the messages could not begin (its record or
    // today's start could not be written): it is due again at the next start.
    bool hand_over_due = false;
    bool message_waiting = false;
    Rescue_write Write_rescue_text(const QString& path, const QString& text) const;
};

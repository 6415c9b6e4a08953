#include "diary/session.h"

#include "platform/clock.h"
#include "store/exact_text.h"

Diary_session::Diary_session(const QString& app_dir, Clock& time_source)
    : clock(time_source), store(app_dir), history(store.App_dir())
{}

Diary_session::Day_read Diary_session::Load_diary_day(const Panel_date& date)
{
    diary_date = date;
    day_readable = true;
    load_error = {};
    Day_read out;
    const Exact_day read = Read_exact_day(store, date.year, date.month, date.day);
    out.index_error = read.index_error;
    out.text_error = read.text_error;
    out.file_size = read.file_size;
    loaded_disk = {};
    loaded_disk.record = read.record;
    loaded_disk.file = read.file;
    // The memo stays even when the day has no file: a memo alone is a saved day.
    loaded = {read.text, read.memo, read.flag};
    if (!read.index_error.Ok()) {
        day_readable = false;
        load_error = read.index_error;
    }
    if (!read.text_error.Ok()) {
        day_readable = false;
        load_error = read.text_error;
    }
    loaded_disk.error = load_error;
    Keep_unmatched_aside(read.unmatched);
    return out;
}

void Diary_session::Keep_unmatched_aside(const QStringList& companions)
{
    // The day's files were changed elsewhere since their exact text was
    // written: the files win, and the exact text is kept beside them. One
    // that cannot be moved now stays, and the next save tries again.
    if (!folder_writable)
        return;
    for (const QString& companion : companions)
        Keep_companion_aside(companion, clock.Now());
}

void Diary_session::Load_empty_day(const Panel_date& date)
{
    diary_date = date;
    loaded = {};
    loaded_disk = {};
    day_readable = true;
    load_error = {};
}

QString Diary_session::Load_reference_text(Day_read& read)
{
    const Panel_date& d = reference_date;
    const Text_read text = Read_exact_text_file(store.Day_file_path(d.year, d.month, d.day));
    read = {};
    read.text_error = text.result;
    read.file_size = text.file_size;
    return text.result.Ok() ? text.text : QString();
}

Window_geometry Diary_session::Window() const
{
    const Settings& s = state.settings;
    return {s.win_state, {s.win_left, s.win_top, s.win_width, s.win_height}};
}

bool Diary_session::Fortune_told_today() const
{
    return state.settings.fortune_state.Get() == Fortune_state::Told;
}

void Diary_session::Record_fortune_told() { state.settings.fortune_state.Set(Fortune_state::Told); }

void Diary_session::Switch_screen_mode()
{
    Settings_word<Screen_mode>& mode = state.settings.screen_mode;
    mode.Set(mode.Get() == Screen_mode::Normal ? Screen_mode::Wide : Screen_mode::Normal);
}

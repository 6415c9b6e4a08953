#include "diary/session.h"

#include "platform/app_title.h"
#include "platform/clock.h"
#include "store/safe_replace.h"

#include <QFileInfo>
#include <QSet>

QString Panel_date::Key() const { return Diary_store::Date_key(year, month, day); }

QString Panel_date::Plain_text() const
{
    return QStringLiteral("%1/%2/%3").arg(year).arg(month).arg(day);
}

std::optional<Panel_date> Parse_panel_date(const QString& text)
{
    Panel_date d;
    if (!Parse_date_text(text, d.year, d.month, d.day))
        return std::nullopt;
    return d;
}

QList<Unmappable_char> Unmappable_chars(const QList<const cp932::Encode_result*>& encoded)
{
    QList<Unmappable_char> characters;
    QSet<char32_t> seen;
    for (const cp932::Encode_result* field : encoded) {
        for (const cp932::Unmappable& u : field->unmappable) {
            if (seen.contains(u.character))
                continue;
            seen.insert(u.character);
            characters.append(
                {QString::fromUcs4(&u.character, 1), cp932::Decode_text(u.substitute)});
        }
    }
    return characters;
}

Diary_session::Diary_session(const QString& app_dir, Clock& time_source)
    : clock(time_source), store(app_dir)
{}

bool Diary_session::Read_today()
{
    state.today = clock.Now().date();
    return state.today.year() >= First_year && state.today.year() <= Last_year;
}

Io_result Diary_session::Create_this_year_index()
{
    return store.Create_year_index(state.today.year(), Panel_date::Of(state.today).Key());
}

Diary_session::Settings_start Diary_session::Read_settings(const Settings& first_values,
                                                           Io_result& error)
{
    Settings_start outcome;
    if (!Diary_store::File_exists(store.Settings_path())) {
        state.settings = first_values;
        error = store.Write_settings(state.settings);
        outcome = error.Ok() ? Settings_start::Created : Settings_start::Create_failed;
    } else {
        const Settings_read read = store.Read_settings(first_values);
        error = read.result;
        state.settings = read.result.Ok() ? read.values : first_values;
        outcome = read.result.Ok() ? Settings_start::Read : Settings_start::Read_failed;
    }
    const std::optional<Panel_date> last_run = Parse_panel_date(state.settings.last_run_date);
    state.last_run = last_run ? last_run->Calendar_date() : QDate();
    state.last_ref = Parse_panel_date(state.settings.last_ref_date);
    state.new_day = !state.last_run.isValid() || state.today > state.last_run;
    return outcome;
}

std::optional<Panel_date> Diary_session::Start_reference_day() const
{
    const QDate& today = state.today;
    switch (state.settings.ref_mode) {
    case 1: return Panel_date{today.year() - 1, today.month(), today.day()}.Clamped();
    case 2: return Panel_date::Of(today.addDays(-1)).Clamped();
    case 3:
        if (state.last_ref)
            return state.last_ref->Clamped();
        return std::nullopt;
    default: return std::nullopt;
    }
}

Diary_session::Hand_over Diary_session::Hand_over_messages_at_start()
{
    Hand_over out;
    const QString today_key = Panel_date::Of(state.today).Key();
    bool may_hand_over = state.new_day;
    // Today's start was recorded, but a failure or a kill stopped the
    // hand-over that should have followed: tomorrow's message is still
    // there from an earlier day (a message written today is never older
    // than today), so it is handed over now rather than shown as today's.
    if (!may_hand_over) {
        const QFileInfo tomorrow(store.Tomorrow_path());
        may_hand_over = tomorrow.isFile() && tomorrow.lastModified().date() < state.today;
    }
    // The day's start is made durable before any message moves: a program
    // killed later today must not take its next start for a new day again,
    // which would drop the message just received.
    if (state.settings.last_run_date != today_key) {
        Settings now = state.settings;
        now.last_run_date = today_key;
        if (state.new_day)
            now.fortune_state = QStringLiteral("mada");
        out.settings_error = store.Write_settings(now);
        if (!out.settings_error.Ok())
            may_hand_over = false;
    }
    // One rename drops the old message and moves the new one in.
    if (may_hand_over)
        out.move_error = store.Hand_over_messages();
    return out;
}

bool Diary_session::Has_received_message() const
{
    return Diary_store::File_exists(store.Yesterday_path());
}

void Diary_session::Finish_start()
{
    if (state.new_day)
        state.settings.fortune_state = QStringLiteral("mada");
    state.settings.last_run_date = Panel_date::Of(state.today).Key();
}

Diary_session::Day_read Diary_session::Load_diary_day(const Panel_date& date)
{
    diary_date = date;
    day_readable = true;
    load_error = {};
    Day_read out;
    const Day_record record = store.Find_day_record(date.year, date.Key(), &out.index_error);
    loaded.flag = record.found && record.memory;
    // The memo stays even when the day has no file: a memo alone is a saved day.
    loaded.memo = record.found ? record.memo : QString();
    if (!out.index_error.Ok()) {
        day_readable = false;
        load_error = out.index_error;
    }
    const Text_read read =
        store.Read_text_file(store.Day_file_path(date.year, date.month, date.day));
    out.text_error = read.result;
    out.file_size = read.file_size;
    loaded.text = read.result.Ok() ? read.text : QString();
    if (!read.result.Ok()) {
        day_readable = false;
        load_error = read.result;
    }
    return out;
}

void Diary_session::Load_empty_day(const Panel_date& date)
{
    diary_date = date;
    loaded = {};
    day_readable = true;
    load_error = {};
}

Diary_session::Day_plan Diary_session::Plan_day_save(const Day_entry& now, Who who)
{
    Day_plan plan;
    plan.date = diary_date;
    plan.entry = now;
    if (!Edited(now))
        return plan;  // not edited since it was loaded or saved
    // Text and memo both empty: the day is not saved, and what was stored
    // for it stays as it was.
    if (now.text.isEmpty() && now.memo.isEmpty())
        return plan;
    plan.result = Save_result::Failed;
    if (!day_readable) {
        plan.failure = Failure::Unreadable_day;
        plan.error = load_error;
        return plan;
    }
    plan.memo_bytes = cp932::Encode(now.memo);
    plan.text_bytes = cp932::Encode(now.text);
    plan.unmappable = Unmappable_chars({&plan.memo_bytes, &plan.text_bytes});
    if (!plan.unmappable.isEmpty() && who == Who::Nobody) {
        plan.failure = Failure::Unstorable;
        plan.error = Io_result::Failure(
            Io_step::Encode, 0,
            store.Day_file_path(diary_date.year, diary_date.month, diary_date.day));
        return plan;
    }
    plan.result = Save_result::Saved;
    return plan;
}

Diary_session::Save_result Diary_session::Write_day(Day_plan& plan)
{
    if (plan.result != Save_result::Saved)
        return plan.result;
    const Panel_date& d = plan.date;
    auto failed = [&plan](const Io_result& r) {
        plan.result = Save_result::Failed;
        plan.failure = Failure::Write;
        plan.error = r;
        return Save_result::Failed;
    };
    // The index is written before the day file.
    if (const Io_result r = store.Ensure_year_folder(d.year); !r.Ok())
        return failed(r);
    if (const Io_result r =
            store.Store_day_record_bytes(d.year, d.Key(), plan.entry.flag, plan.memo_bytes.bytes);
        !r.Ok())
        return failed(r);
    if (const Io_result r = store.Write_text_bytes(store.Day_file_path(d.year, d.month, d.day),
                                                   plan.text_bytes.bytes);
        !r.Ok())
        return failed(r);
    if (plan.unmappable.isEmpty()) {
        loaded = plan.entry;
    } else {
        // What was written, so that the screen and the file agree.
        loaded = {cp932::Decode_text(plan.text_bytes.bytes),
                  cp932::Decode_text(plan.memo_bytes.bytes), plan.entry.flag};
    }
    return Save_result::Saved;
}

QString Diary_session::Load_reference_text(Day_read& read)
{
    const Panel_date& d = reference_date;
    const Text_read text = store.Read_text_file(store.Day_file_path(d.year, d.month, d.day));
    read = {};
    read.text_error = text.result;
    read.file_size = text.file_size;
    return text.result.Ok() ? text.text : QString();
}

Io_result Diary_session::Save_settings(int win_state, const Twips_rect& outer)
{
    Settings& s = state.settings;
    s.win_state = win_state;
    s.win_top = float(outer.top);
    s.win_left = float(outer.left);
    s.win_height = float(outer.height);
    s.win_width = float(outer.width);
    s.last_ref_date = reference_date.Plain_text();
    return store.Write_settings(s);
}

QString Diary_session::New_rescue_path() const
{
    const QString stem = store.App_dir() + QStringLiteral("sorane-rescue-") +
                         clock.Now().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString path = stem + QStringLiteral(".txt");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QStringLiteral("-%1.txt").arg(n);
    return path;
}

Io_result Diary_session::Write_rescue_file(const QString& path, const Day_entry& now) const
{
    const QString text =
        QStringLiteral(
            "%1 が保存できなかった日記です。\n日付: %2\n思い出: %3\nメモ: %4\n本文:\n%5\n")
            .arg(App_title, diary_date.Key(),
                 now.flag ? QStringLiteral("あり") : QStringLiteral("なし"), now.memo, now.text);
    return Replace_file(path, text.toUtf8());
}

Diary_session::Unattended_save Diary_session::Save_without_user(int win_state,
                                                                const Twips_rect& outer,
                                                                const Day_entry& now)
{
    Unattended_save out;
    Save_settings(win_state, outer);
    Day_plan plan = Plan_day_save(now, Who::Nobody);
    out.day = Write_day(plan);
    if (out.day == Save_result::Failed) {
        const QString rescue = New_rescue_path();
        if (Write_rescue_file(rescue, now).Ok())
            out.rescue_path = rescue;
    }
    return out;
}

#include "diary/session.h"

#include "platform/app_title.h"
#include "platform/clock.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/safe_replace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Anything at all at the path, a folder or a dangling link included.
bool Something_at(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 || errno != ENOENT;
}

bool May_make_files_in(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

}  // namespace

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
    : clock(time_source), store(app_dir), history(store.App_dir())
{}

bool Diary_session::Read_today()
{
    state.today = clock.Now().date();
    return state.today.year() >= First_year && state.today.year() <= Last_year;
}

Io_result Diary_session::Check_program_folder()
{
    const QString& folder = store.App_dir();
    folder_writable = May_make_files_in(folder);
    if (folder_writable)
        return Io_result::Success();
    return Io_result::Failure(Io_step::Open, errno, folder);
}

Io_result Diary_session::Create_this_year_index()
{
    return store.Create_year_index(state.today.year(), Panel_date::Of(state.today).Key());
}

Diary_session::Settings_start Diary_session::Read_settings(const Settings& first_values,
                                                           Io_result& error)
{
    Settings_start outcome;
    error = {};
    if (!Something_at(store.Settings_path())) {
        state.settings = first_values;
        // A folder the program may not write to was told about once
        // already; the settings stay in memory until the end.
        if (folder_writable)
            error = store.Write_settings(state.settings);
        outcome = error.Ok() ? Settings_start::Created : Settings_start::Create_failed;
    } else if (!Diary_store::File_exists(store.Settings_path())) {
        // A folder or the like at the settings' name: it is no settings
        // file to read, and nothing may be written in its place.
        error = Io_result::Failure(Io_step::Not_a_file, 0, store.Settings_path());
        state.settings = first_values;
        settings_writable = false;
        outcome = Settings_start::Read_failed;
    } else {
        const Settings_read read = store.Read_settings(first_values);
        error = read.result;
        state.settings = read.result.Ok() ? read.values : first_values;
        outcome = read.result.Ok() ? Settings_start::Read : Settings_start::Read_failed;
        // Settings that could not be read are never written over: their
        // reserved lines and the fortune's state would be lost.
        if (!read.result.Ok())
            settings_writable = false;
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

// The hand-over is one recoverable sequence that never looks at file times
// (a clock set back or ahead, or a message file copied in with its old time,
// would mislead them):
//   1. on a new day, the record ".sorane-handover" is written, durably, with
//      today's date and the plan: "move" when "tomorrow.txt" is there (it
//      becomes "yesterda.txt"), "drop" when it is not ("yesterda.txt" goes);
//   2. today's start is recorded in the settings, so that a later start of
//      today is no new day and never hands a message written today over;
//   3. the plan is carried out;
//   4. the record is removed, durably.
// A start on a day that is no new day finishes the plan of a record of
// today. Killed after step 3, "move" finds no "tomorrow.txt" any more and
// does nothing; "drop" may remove "yesterda.txt" again, which only a "move"
// could have brought back. A record of another day is left from a start that
// never reached step 2, and a new day writes its own record over it.
// A plan that fails at step 3 (a full disk, a file in the way) keeps its
// record, so that the next start finishes it: the record of a "move" names
// the message by a digest of its bytes, and a message rewritten in 明日へ
// since then is never handed over as yesterday's.
namespace {

QByteArray Message_digest(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

}  // namespace

Diary_session::Hand_over Diary_session::Hand_over_messages_at_start()
{
    Hand_over out;
    // No record of today's start can be written: the messages stay where
    // they are, and the user has been told why.
    if (!folder_writable || !settings_writable) {
        // Settings that could not be read do not say whether today is a new
        // day: a message last written before today is taken for one that is
        // waiting, so that 明日へ never writes over it.
        const QString tomorrow = store.Tomorrow_path();
        message_waiting =
            Diary_store::File_exists(tomorrow) &&
            (state.new_day || QFileInfo(tomorrow).lastModified().date() < state.today);
        return out;
    }
    const QString today_key = Panel_date::Of(state.today).Key();
    const QString record_path = store.Hand_over_record_path();
    QByteArray plan;
    QByteArray digest;  // of the message a "move" hands over; empty when not known
    // The waiting message, read when it is first needed: its digest goes
    // into a new day's record, and its bytes settle its exact text when it
    // moves. A read that failed is tried again.
    QByteArray message;
    bool message_exists = false;
    bool message_read = false;
    auto read_message = [&]() {
        if (message_read)
            return Io_result::Success();
        const Io_result r = Read_file_bytes(store.Tomorrow_path(), message, message_exists);
        message_read = r.Ok();
        return r;
    };
    if (state.new_day) {
        if (Diary_store::File_exists(store.Tomorrow_path())) {
            plan = QByteArrayLiteral("move");
            // A message that cannot be read now is moved as it is, unnamed.
            if (read_message().Ok() && message_exists)
                digest = Message_digest(message);
        } else {
            plan = QByteArrayLiteral("drop");
        }
        QByteArray record = today_key.toLatin1() + ' ' + plan;
        if (!digest.isEmpty())
            record += ' ' + digest;
        out.record_error = Replace_file(record_path, record + "\r\n");
        if (!out.record_error.Ok() && out.record_error.step != Io_step::Sync_folder) {
            // Nothing recorded, nothing moved: today's start is not recorded
            // either, so that the next start is a new day and tries again.
            hand_over_due = true;
            message_waiting = plan == "move";
            return out;
        }
    } else {
        QByteArray bytes;
        bool exists = false;
        if (Read_diary_file(record_path, bytes, exists).Ok() && exists) {
            const QList<QByteArray> fields = bytes.trimmed().split(' ');
            if ((fields.size() == 2 || fields.size() == 3) && fields[0] == today_key.toLatin1()) {
                plan = fields[1];
                digest = fields.value(2);
            }
        }
    }
    if (state.settings.last_run_date != today_key) {
        Settings now = state.settings;
        now.last_run_date = today_key;
        if (state.new_day)
            now.fortune_state = QStringLiteral("mada");
        out.settings_error = store.Write_settings(now);
        if (!out.settings_error.Ok()) {
            // Nothing moves before today's start is recorded; the record
            // goes too, and the next start begins the sequence again.
            ::unlink(QFile::encodeName(record_path).constData());
            hand_over_due = true;
            message_waiting = plan == "move";
            return out;
        }
    }
    if (plan == "move") {
        if (Diary_store::File_exists(store.Tomorrow_path())) {
            out.move_error = read_message();
            // Rewritten since the record was made: the message is today's own.
            const bool same = digest.isEmpty() || Message_digest(message) == digest;
            // An exact text that does not match the message is kept aside
            // rather than handed over with it.
            if (out.move_error.Ok() && same)
                out.move_error =
                    Settle_companions(store.Tomorrow_path(), message, nullptr, clock.Now());
            if (out.move_error.Ok() && same)
                out.move_error = store.Hand_over_messages();
        }
    } else if (plan == "drop") {
        if (!Diary_store::File_exists(store.Tomorrow_path()))
            out.move_error = store.Hand_over_messages();
    } else {
        return out;
    }
    // A plan that failed keeps its record for the next start; one that is
    // done but for the folder's sync has nothing left to do.
    if (!out.move_error.Ok() && out.move_error.step != Io_step::Sync_folder) {
        message_waiting = plan == "move";
        return out;
    }
    if (::unlink(QFile::encodeName(record_path).constData()) != 0 && errno != ENOENT)
        out.record_error = Io_result::Failure(Io_step::Remove, errno, record_path);
    else if (const Io_result synced = Sync_folder(store.App_dir()); !synced.Ok())
        out.record_error = synced;
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
    // A hand-over that did not begin leaves the last start's date as it
    // was: the settings written at the end must not make the next start of
    // today look like a day already handed over.
    if (!hand_over_due)
        state.settings.last_run_date = Panel_date::Of(state.today).Key();
}

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

Diary_session::Day_plan Diary_session::Plan_day_save(const Day_entry& now, Who who)
{
    Day_plan plan;
    plan.date = diary_date;
    plan.entry = now;
    plan.who = who;
    if (!Edited(now))
        return plan;  // not edited since it was loaded or saved
    // Text and memo both empty: the day is not saved. A day that has files
    // would come back as it was when it is loaded again; with a user to
    // ask, they are removed. With nobody to ask, they stay.
    const bool emptied = now.text.isEmpty() && now.memo.isEmpty();
    if (emptied &&
        (who == Who::Nobody || (loaded_disk.file.isEmpty() && !loaded_disk.record.found)))
        return plan;
    plan.result = Save_result::Failed;
    if (!day_readable) {
        plan.failure = Failure::Unreadable_day;
        plan.error = load_error;
        return plan;
    }
    if (emptied) {
        plan.remove = true;
        plan.result = Save_result::Saved;
        return plan;
    }
    plan.memo_bytes = cp932::Encode(now.memo);
    plan.text_bytes = cp932::Encode(now.text);
    plan.unmappable = Unmappable_chars({&plan.memo_bytes, &plan.text_bytes});
    plan.result = Save_result::Saved;
    return plan;
}

namespace {

// A memo as its record holds it: one line.
QByteArray One_line(QByteArray memo_bytes)
{
    return memo_bytes.replace('\r', ' ').replace('\n', ' ');
}

// The record holds another memo or flag than these.
bool Record_differs(const Day_record& record, const QByteArray& memo_bytes, bool flag)
{
    return record.memo_bytes != One_line(memo_bytes) || record.memory != flag;
}

}  // namespace

Diary_session::Day_on_disk Diary_session::Read_day_on_disk(const Panel_date& date)
{
    Day_on_disk out;
    bool file_exists = false;
    out.error = Read_file_bytes(store.Day_file_path(date.year, date.month, date.day), out.file,
                                file_exists);
    if (out.error.step == Io_step::Not_a_file || out.error.step == Io_step::Not_a_regular_file ||
        out.error.step == Io_step::Link_not_read) {
        out.file_in_the_way = true;
        out.error = {};
    }
    if (!out.error.Ok())
        return out;
    bool index_exists = false;
    out.error = Read_file_bytes(store.Keyword_file_path(date.year), out.index, index_exists);
    if (out.error.Ok())
        out.record = Day_record_in(out.index, date.Key());
    // A year folder that is gone altogether (a network drive away, the
    // folder moved) is no version of the day: the write finds the cause.
    if (!file_exists && !index_exists)
        out.folder_gone = !Diary_store::Folder_exists(store.Year_folder(date.year));
    return out;
}

bool Diary_session::Changed_since_load(const Day_on_disk& now) const
{
    if (now.folder_gone)
        return false;
    if (now.record.own_lines != loaded_disk.record.own_lines)
        return true;
    return !now.file_in_the_way && now.file != loaded_disk.file;
}

bool Diary_session::Diary_day_changed_on_disk()
{
    const Day_on_disk now = Read_day_on_disk(diary_date);
    return now.error.Ok() && !now.file_in_the_way && Changed_since_load(now);
}

QStringList Diary_session::Other_versions(const Panel_date& date)
{
    const QString folder = store.Year_folder(date.year).mid(store.App_dir().size());
    QStringList names = store.Other_versions(date.year, date.month, date.day);
    for (QString& name : names)
        name.prepend(folder + QLatin1Char('/'));
    return names;
}

QByteArray Diary_session::Conflict_copy_bytes(const QByteArray& file, const QByteArray& memo_bytes,
                                              bool flag, bool record_differs)
{
    // A copy whose memo and flag are those that stay is the day file itself,
    // byte for byte: renamed, it is the day again.
    if (!record_differs)
        return file;
    QByteArray out =
        cp932::Encode(QStringLiteral("メモ：")).bytes + One_line(memo_bytes) + "\r\n" +
        cp932::Encode(flag ? QStringLiteral("思い出：あり") : QStringLiteral("思い出：なし"))
            .bytes +
        "\r\n\r\n";
    return out + file;
}

Diary_session::Save_result Diary_session::Keep_version(Day_plan& plan)
{
    // The files' version stays; the panel's goes, whole, to the copy.
    const Io_result written =
        Replace_file(plan.conflict_copy,
                     Conflict_copy_bytes(
                         Diary_store::File_bytes_of(plan.text_bytes.bytes), plan.memo_bytes.bytes,
                         plan.entry.flag,
                         Record_differs(plan.disk.record, plan.memo_bytes.bytes, plan.entry.flag)));
    const bool copy_written = written.Ok() || written.step == Io_step::Sync_folder;
    const Io_result exact = copy_written && !plan.unmappable.isEmpty()
                                ? Replace_file(Companion_path(plan.conflict_copy),
                                               Companion_bytes({plan.entry.memo, plan.entry.text}))
                                : written;
    for (const Io_result& r : {written, exact}) {
        if (!r.Ok() && r.step != Io_step::Sync_folder) {
            plan.result = Save_result::Failed;
            plan.failure = Failure::Conflict_copy;
            plan.error = r;
            return Save_result::Failed;
        }
    }
    plan.result = Save_result::Unchanged;
    if (plan.who == Who::User) {
        loaded = plan.disk_entry;
        loaded_disk = plan.disk;
        day_readable = true;
        load_error = {};
    }
    return Save_result::Unchanged;
}

Io_result Diary_session::Keep_replaced_version(const Day_plan& plan, History_sync& sync)
{
    const Day_on_disk& disk = plan.disk;
    if (!keep_history || plan.without_history || disk.folder_gone || disk.file_in_the_way)
        return Io_result::Success();
    const Panel_date& d = plan.date;
    const QString day_path = store.Day_file_path(d.year, d.month, d.day);
    // The companion that speaks for the version replaced goes with it: the
    // save replaces that too.
    QByteArray exact;
    bool exists = false;
    if (Read_file_bytes(Companion_path(day_path), exact, exists).Ok() && exists) {
        const auto parsed = Parse_companion(exact);
        if (!parsed ||
            (!Text_matches(parsed->text, disk.file) && !Memo_matches(parsed->memo, disk.record)))
            exact.clear();
    }
    const History_keep kept = history.Keep(d.year, d.month, d.day, day_path, disk.file,
                                           disk.record.own_lines, clock.Now(), true, exact);
    if (!kept.unsynced_folder.isEmpty())
        sync.Defer(kept.unsynced_folder);
    return kept.error;
}

namespace {

// The index without the lines of the day whose key is given, every other
// byte as it was.
QByteArray Index_without(const QByteArray& index, QByteArrayView key)
{
    QByteArray out;
    out.reserve(index.size());
    for (qsizetype at = 0; at < index.size();) {
        const qsizetype line_end = index.indexOf('\n', at);
        const qsizetype end = line_end < 0 ? index.size() : line_end + 1;
        const QByteArrayView line = QByteArrayView(index).sliced(at, end - at);
        if (!line.startsWith(key))
            out += line;
        at = end;
    }
    return out;
}

}  // namespace

Diary_session::Save_result Diary_session::Remove_day(Day_plan& plan)
{
    const Panel_date& d = plan.date;
    auto failed = [&plan](Failure failure, const Io_result& r) {
        plan.result = Save_result::Failed;
        plan.failure = failure;
        plan.error = r;
        return Save_result::Failed;
    };
    const QString path = store.Day_file_path(d.year, d.month, d.day);
    plan.disk = Read_day_on_disk(d);
    if (!plan.disk.error.Ok())
        return failed(Failure::Unreadable_day, plan.disk.error);
    if (plan.disk.file_in_the_way)
        return failed(Failure::Write, Io_result::Failure(Io_step::Not_a_regular_file, 0, path));
    if (Changed_since_load(plan.disk) && plan.disk.file.isEmpty() && !plan.disk.record.found) {
        // Removed elsewhere already: what the user asked for.
        loaded = plan.entry;
        loaded_disk = plan.disk;
        return Save_result::Saved;
    }
    if (Changed_since_load(plan.disk)) {
        // Another copy of the diary wrote the day since: that is no text the
        // user chose to remove. It is shown, and nothing goes.
        loaded = Exact_disk_entry(d, plan.disk);
        loaded_disk = plan.disk;
        return failed(Failure::Changed_before_removal, {});
    }
    // The last version first, so that 元に戻す in the history brings it back.
    History_sync history_sync;
    if (const Io_result r = Keep_replaced_version(plan, history_sync); !r.Ok())
        return failed(Failure::History, r);
    // Exact texts that do not match the files are kept aside, as a save
    // keeps them.
    if (const Io_result r = Settle_companions(path, plan.disk.file, &plan.disk.record, clock.Now());
        !r.Ok())
        return failed(Failure::Write, r);
    if (plan.disk.record.found) {
        const QByteArray index = Index_without(plan.disk.index, d.Key().toLatin1());
        const Io_result r = Replace_file(store.Keyword_file_path(d.year), index);
        if (!r.Ok() && r.step != Io_step::Sync_folder)
            return failed(Failure::Write, r);
        // The memo and the mark are gone from the files, whatever comes next.
        loaded.memo.clear();
        loaded.flag = false;
        loaded_disk.record = {};
        loaded_disk.index = index;
    }
    // The kept version's name is on the disk before the day file goes.
    if (const Io_result r = history_sync.Run(); !r.Ok())
        return failed(Failure::History, r);
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        return failed(Failure::Write, Io_result::Failure(Io_step::Remove, errno, path));
    loaded_disk.file.clear();
    loaded.text.clear();
    // The exact text goes with its day, and the folder is synced for both.
    if (const Io_result r = Finish_companion(path, false); !r.Ok())
        return failed(Failure::Write, r);
    loaded = plan.entry;
    return Save_result::Saved;
}

Diary_session::Save_result Diary_session::Write_day(Day_plan& plan)
{
    if (plan.result != Save_result::Saved && plan.result != Save_result::Changed_on_disk)
        return plan.result;
    if (plan.remove)
        return Remove_day(plan);
    const Panel_date& d = plan.date;
    auto failed = [&plan](const Io_result& r) {
        plan.result = Save_result::Failed;
        plan.failure = Failure::Write;
        plan.error = r;
        return Save_result::Failed;
    };
    const QByteArray own_record =
        d.Key().toLatin1() + (plan.entry.flag ? '1' : '0') + One_line(plan.memo_bytes.bytes) + '\n';
    // The index as read by the check just now; after a question it is read
    // again when it is written.
    bool index_read_now = false;
    if (plan.keep == Keep::Undecided) {
        // One read of each file: what they hold now against what was loaded.
        plan.disk = Read_day_on_disk(d);
        if (!plan.disk.error.Ok()) {
            plan.result = Save_result::Failed;
            plan.failure = Failure::Unreadable_day;
            plan.error = plan.disk.error;
            return Save_result::Failed;
        }
        // A change that made the files what this save writes is none.
        auto holds_plan = [&plan, &own_record] {
            return plan.disk.record.own_lines == own_record &&
                   plan.disk.file == Diary_store::File_bytes_of(plan.text_bytes.bytes);
        };
        index_read_now = !plan.disk.folder_gone;
        if (Changed_since_load(plan.disk) && !holds_plan()) {
            plan.disk_entry = Exact_disk_entry(d, plan.disk);
            plan.conflict_copy = store.New_conflict_copy_path(d.year, d.month, d.day, clock.Now());
            if (plan.who == Who::User) {
                plan.result = Save_result::Changed_on_disk;
                return Save_result::Changed_on_disk;
            }
            plan.keep = Keep::Disk;
        }
    }
    if (plan.keep != Keep::Undecided) {
        if (const Io_result r = store.Ensure_year_folder(d.year); !r.Ok())
            return failed(r);
    }
    if (plan.keep == Keep::Disk)
        return Keep_version(plan);
    if (plan.keep == Keep::Mine) {
        const Day_on_disk& disk = plan.disk;
        if (disk.file.isEmpty() && !disk.record.found) {
            plan.conflict_copy.clear();  // the day was removed: nothing to keep
        } else {
            const Io_result copied = Replace_file(
                plan.conflict_copy,
                Conflict_copy_bytes(
                    disk.file, disk.record.memo_bytes, disk.record.memory,
                    Record_differs(disk.record, plan.memo_bytes.bytes, plan.entry.flag)));
            const Io_result exact = copied.Ok() || copied.step == Io_step::Sync_folder
                                        ? Keep_exact_disk_version(plan)
                                        : copied;
            for (const Io_result& r : {copied, exact}) {
                if (!r.Ok() && r.step != Io_step::Sync_folder) {
                    failed(r);
                    plan.failure = Failure::Conflict_copy;
                    return Save_result::Failed;
                }
            }
        }
    }
    plan.result = Save_result::Saved;
    // The exact text first (staged), then the index, then the day file.
    if (const Io_result r = store.Ensure_year_folder(d.year); !r.Ok())
        return failed(r);
    History_sync history_sync;
    if (const Io_result r = Keep_replaced_version(plan, history_sync); !r.Ok()) {
        failed(r);
        plan.failure = Failure::History;
        return Save_result::Failed;
    }
    if (const Io_result r = Stage_exact_day(plan); !r.Ok())
        return failed(r);
    QByteArray own_lines;
    const Io_result indexed =
        store.Store_day_record_bytes(d.year, d.Key(), plan.entry.flag, plan.memo_bytes.bytes,
                                     &own_lines, index_read_now ? &plan.disk.index : nullptr);
    // A failure of the folder's sync alone leaves the new record in place:
    // the next try must know it as this program's own, not as a change made
    // elsewhere.
    if (indexed.Ok() || indexed.step == Io_step::Sync_folder) {
        loaded_disk = plan.disk;
        loaded_disk.record = Day_record_in(own_lines, d.Key());
    }
    if (!indexed.Ok())
        return failed(indexed);
    // The index holds the new memo and flag, the day file its old text: that
    // is what the user is told, and what is remembered as on disk, so that
    // the text still counts as unsaved.
    auto text_not_replaced = [&](const Io_result& r, Failure failure) {
        failed(r);
        plan.failure = failure;
        // The staged exact text holds the memo the index now has.
        loaded.memo = plan.unmappable.isEmpty() ? cp932::Decode_text(plan.memo_bytes.bytes)
                                                : One_line_memo(plan.entry.memo);
        loaded.flag = plan.entry.flag;
        return Save_result::Failed;
    };
    // The kept version's name is on the disk before the day is replaced.
    if (const Io_result r = history_sync.Run(); !r.Ok())
        return text_not_replaced(r, Failure::History);
    QByteArray file;
    if (const Io_result r = store.Write_text_bytes(store.Day_file_path(d.year, d.month, d.day),
                                                   plan.text_bytes.bytes, &file);
        !r.Ok()) {
        if (r.step == Io_step::Sync_folder)
            loaded_disk.file = file;  // in place; only its durability is in doubt
        return text_not_replaced(r, Failure::Text_only);
    }
    loaded_disk.file = file;
    loaded = plan.entry;
    if (const Io_result r = Finish_companion(store.Day_file_path(d.year, d.month, d.day),
                                             !plan.unmappable.isEmpty());
        !r.Ok())
        return failed(r);
    return Save_result::Saved;
}

Io_result Diary_session::Stage_exact_day(const Day_plan& plan)
{
    const Panel_date& d = plan.date;
    const QString path = store.Day_file_path(d.year, d.month, d.day);
    // Exact texts that no longer match what the files hold now are kept
    // aside before anything is written over them.
    if (const Io_result r = Settle_companions(path, plan.disk.file, &plan.disk.record, clock.Now());
        !r.Ok())
        return r;
    if (plan.unmappable.isEmpty())
        return Io_result::Success();
    return Stage_companion(path, {plan.entry.memo, plan.entry.text});
}

Day_entry Diary_session::Exact_disk_entry(const Panel_date& d, const Day_on_disk& disk)
{
    const Exact_day exact = Read_exact_day(store, d.year, d.month, d.day);
    const Day_record& r = disk.record;
    // The files as read a moment ago, with the exact text and memo where
    // they still are what the companion matched.
    return {exact.file == disk.file ? exact.text : Diary_store::Text_of_file(disk.file),
            exact.record.own_lines == r.own_lines ? exact.memo : r.memo, r.found && r.memory};
}

Io_result Diary_session::Keep_exact_disk_version(const Day_plan& plan)
{
    const Panel_date& d = plan.date;
    const Exact_day disk = Read_exact_day(store, d.year, d.month, d.day);
    if (!disk.exact_text && !disk.exact_memo)
        return Io_result::Success();
    return Replace_file(Companion_path(plan.conflict_copy),
                        Companion_bytes({disk.memo, disk.text}));
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

Io_result Diary_session::Save_settings(int win_state, const Twips_rect& outer)
{
    Settings& s = state.settings;
    s.win_state = win_state;
    s.win_top = float(outer.top);
    s.win_left = float(outer.left);
    s.win_height = float(outer.height);
    s.win_width = float(outer.width);
    s.last_ref_date = reference_date.Plain_text();
    return Write_settings();
}

Io_result Diary_session::Write_settings()
{
    if (!settings_writable)
        return Io_result::Success();
    return store.Write_settings(state.settings);
}

QString Diary_session::User_rescue_folder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/sorane/");
}

namespace {

QString New_rescue_path_in(const QString& folder, const QDateTime& now)
{
    const QString stem =
        folder + QStringLiteral("sorane-rescue-") + now.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString path = stem + QStringLiteral(".txt");
    for (int n = 2; Something_at(path); ++n)
        path = stem + QStringLiteral("-%1.txt").arg(n);
    return path;
}

}  // namespace

QString Diary_session::New_rescue_path() const
{
    const QString folder =
        May_make_files_in(store.App_dir()) ? store.App_dir() : User_rescue_folder();
    return New_rescue_path_in(folder, clock.Now());
}

Diary_session::Rescue_write Diary_session::Write_rescue_text(const QString& path,
                                                             const QString& text) const
{
    Rescue_write out;
    const QString own = User_rescue_folder();
    // The user's own data folder is made on first use, for its owner only.
    auto make_own = [&own]() {
        const Io_result made = Make_folders(own.chopped(1));
        return made.step == Io_step::Sync_folder ? Io_result::Success() : made;
    };
    auto write = [&out, &text](const QString& to) {
        out.result = Replace_file(to, text.toUtf8());
        if (out.result.Ok() || out.result.step == Io_step::Sync_folder)
            out.path = to;
        return !out.path.isEmpty();
    };
    const bool in_own = QFileInfo(path).absolutePath() + QLatin1Char('/') == own;
    if (in_own) {
        if (const Io_result made = make_own(); !made.Ok()) {
            out.result = made;
            return out;
        }
    }
    if (write(path) || in_own)
        return out;
    // The place named refused the file: the user's own data folder takes it,
    // so that ending never means losing the text.
    if (const Io_result made = make_own(); !made.Ok()) {
        out.result = made;
        return out;
    }
    write(New_rescue_path_in(own, clock.Now()));
    return out;
}

Diary_session::Rescue_write Diary_session::Write_rescue_file(const QString& path,
                                                             const Day_entry& now) const
{
    const QString text =
        QStringLiteral(
            "%1 が保存できなかった日記です。\n日付: %2\n思い出: %3\nメモ: %4\n本文:\n%5\n")
            .arg(App_title, diary_date.Key(),
                 now.flag ? QStringLiteral("あり") : QStringLiteral("なし"), now.memo, now.text);
    return Write_rescue_text(path, text);
}

Diary_session::Rescue_write Diary_session::Write_message_rescue(const QString& path,
                                                                const QString& message) const
{
    const QString text = QStringLiteral("%1 が保存できなかった明日へのメッセージです。\n日付: %2\n"
                                        "メッセージ:\n%3\n")
                             .arg(App_title, Panel_date::Of(state.today).Key(), message);
    return Write_rescue_text(path, text);
}

Diary_session::Unattended_save Diary_session::Save_without_user(int win_state,
                                                                const Twips_rect& outer,
                                                                const Day_entry& now)
{
    Unattended_save out;
    Save_settings(win_state, outer);
    Day_plan plan = Plan_day_save(now, Who::Nobody);
    out.day = Write_day(plan);
    if (out.day == Save_result::Failed)
        out.rescue_path = Write_rescue_file(New_rescue_path(), now).path;
    return out;
}

Diary_session::Message_save Diary_session::Save_message_without_user(const QString& message)
{
    Message_save out;
    // An emptied message withdraws the one written before.
    if (message.isEmpty()) {
        out.result = Remove_exact_text_file(store.Tomorrow_path(), clock.Now());
        return out;
    }
    out.result = Write_exact_text_file(store, store.Tomorrow_path(), message, clock.Now());
    if (!out.result.Ok() && out.result.step != Io_step::Sync_folder)
        out.rescue_path = Write_message_rescue(New_rescue_path(), message).path;
    return out;
}

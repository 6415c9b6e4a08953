#include "diary/path_checks.h"
#include "diary/session.h"
#include "platform/clock.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/safe_replace.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <unistd.h>

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
            now.fortune_state.Set(Fortune_state::Not_told);
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
        state.settings.fortune_state.Set(Fortune_state::Not_told);
    // A hand-over that did not begin leaves the last start's date as it
    // was: the settings written at the end must not make the next start of
    // today look like a day already handed over.
    if (!hand_over_due)
        state.settings.last_run_date = Panel_date::Of(state.today).Key();
}

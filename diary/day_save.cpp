#include "diary/session.h"
#include "platform/clock.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/safe_replace.h"

#include <QFile>
#include <cerrno>
#include <optional>
#include <unistd.h>

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
    out.error =
        store.Read_day_file(date.year, date.month, date.day, out.path, out.file, file_exists);
    if (out.error.step == Io_step::Not_a_file || out.error.step == Io_step::Not_a_regular_file ||
        out.error.step == Io_step::Link_not_read) {
        out.file_in_the_way = true;
        out.error = {};
    }
    if (!out.error.Ok())
        return out;
    bool index_exists = false;
    out.error = store.Read_keyword_file(date.year, out.index_path, out.index, index_exists,
                                        &out.index_read);
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

Io_result Diary_session::Keep_replaced_version(const Day_plan& plan, const QString& day_path,
                                               const QDateTime& now, History_sync& sync,
                                               bool index_replaced,
                                               std::optional<Read_now>* companion)
{
    const Day_on_disk& disk = plan.disk;
    if (!keep_history || plan.without_history || disk.folder_gone || disk.file_in_the_way)
        return Io_result::Success();
    const Panel_date& d = plan.date;
    // The companion that speaks for the version replaced goes with it: the
    // save replaces that too.
    QByteArray exact;
    bool exists = false;
    const bool read = Read_file_bytes(Companion_path(day_path), exact, exists).Ok();
    if (read && companion)
        *companion = Read_now{exists, exact};
    if (read && exists) {
        const auto parsed = Parse_companion(exact);
        if (!parsed ||
            (!Text_matches(parsed->text, disk.file) && !Memo_matches(parsed->memo, disk.record)))
            exact.clear();
    }
    const History_keep kept = history.Keep(
        d.year, d.month, d.day, day_path, disk.file, disk.record.own_lines, now, true, exact,
        index_replaced ? Replaced_index{disk.index_path, &disk.index, &disk.index_read}
                       : Replaced_index{});
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
    plan.disk = Read_day_on_disk(d);
    const QString path = plan.disk.path;
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
    // The last version first, so that 元に戻す in the history brings it back;
    // its names are on the disk before the index or the day file changes.
    const QDateTime now = clock.Now();
    History_sync history_sync;
    if (const Io_result r =
            Keep_replaced_version(plan, path, now, history_sync, plan.disk.record.found);
        !r.Ok())
        return failed(Failure::History, r);
    if (const Io_result r = history_sync.Run(); !r.Ok())
        return failed(Failure::History, r);
    // Exact texts that do not match the files are kept aside, as a save
    // keeps them.
    if (const Io_result r = Settle_companions(path, plan.disk.file, &plan.disk.record, now);
        !r.Ok())
        return failed(Failure::Write, r);
    if (plan.disk.record.found) {
        const QByteArray index = Index_without(plan.disk.index, d.Key().toLatin1());
        const Io_result r = Replace_file(plan.disk.index_path, index);
        if (!r.Ok() && r.step != Io_step::Sync_folder)
            return failed(Failure::Write, r);
        // The memo and the mark are gone from the files, whatever comes next.
        loaded.memo.clear();
        loaded.flag = false;
        loaded_disk.record = {};
        loaded_disk.index = index;
    }
    const bool unlinked = ::unlink(QFile::encodeName(path).constData()) == 0;
    if (!unlinked && errno != ENOENT)
        return failed(Failure::Write, Io_result::Failure(Io_step::Remove, errno, path));
    loaded_disk.file.clear();
    loaded.text.clear();
    // The exact text goes with its day, and the folder is synced for both.
    if (const Io_result r = Finish_companion(path, false, unlinked); !r.Ok())
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
    // The names the files were read by a moment ago; after a question they
    // are looked up again.
    const QString day_path =
        index_read_now ? plan.disk.path : store.Day_file_path(d.year, d.month, d.day);
    // The exact text first (staged), then the index, then the day file. A
    // year folder whose files were just read (or found missing in it) is there.
    if (!index_read_now) {
        if (const Io_result r = store.Ensure_year_folder(d.year); !r.Ok())
            return failed(r);
    }
    const QDateTime now = clock.Now();
    History_sync history_sync;
    std::optional<Read_now> companion;
    if (const Io_result r =
            Keep_replaced_version(plan, day_path, now, history_sync,
                                  plan.disk.record.own_lines != own_record, &companion);
        !r.Ok()) {
        failed(r);
        plan.failure = Failure::History;
        return Save_result::Failed;
    }
    bool companion_left = true;
    if (const Io_result r = Stage_exact_day(plan, day_path, now, companion ? &*companion : nullptr,
                                            &companion_left);
        !r.Ok())
        return failed(r);
    const Diary_store::Index_update update =
        store.Day_record_update(d.year, d.Key(), plan.entry.flag, plan.memo_bytes.bytes,
                                index_read_now ? &plan.disk.index : nullptr, plan.disk.index_path);
    if (!update.error.Ok())
        return failed(update.error);
    // The index and the day file are in one folder: both are written and
    // flushed under temporary names, then renamed, index first, and the
    // folder synced once. A crash before that sync may leave either new
    // without the other; each mix reads as a day (each part of the exact
    // text is judged on its own), and the typing's recovery record, which
    // goes only once this save returns, still holds the whole entry.
    const QByteArray file = Diary_store::File_bytes_of(plan.text_bytes.bytes);
    Replace_together year_files;
    if (update.write) {
        if (const Io_result r = year_files.Add(update.path, update.bytes); !r.Ok())
            return failed(r);
    }
    // A day file that cannot be written leaves the index to take the memo
    // and the flag alone, as the user is told.
    const Io_result text_added = file.size() > File_size_limit
                                     ? Io_result::Failure(Io_step::Too_large, EFBIG, day_path)
                                     : year_files.Add(day_path, file);
    // The kept version's names are on the disk before the day's are replaced.
    if (const Io_result r = history_sync.Run(); !r.Ok()) {
        failed(r);
        plan.failure = Failure::History;
        return Save_result::Failed;
    }
    const Replace_together::Outcome put = year_files.Commit();
    const bool index_in_place = !update.write || put.in_place > 0;
    const bool text_in_place = text_added.Ok() && put.in_place == (update.write ? 2 : 1);
    // The new record in place (its durability in doubt at most): the next
    // try must know it as this program's own, not as a change made
    // elsewhere.
    if (index_in_place) {
        loaded_disk = plan.disk;
        loaded_disk.record = Day_record_in(update.own_lines, d.Key());
    }
    if (text_in_place)
        loaded_disk.file = file;
    if (!index_in_place)
        return failed(put.result);
    if (!text_in_place) {
        // The index holds the new memo and flag, the day file its old text:
        // that is what the user is told, and what is remembered as on disk,
        // so that the text still counts as unsaved. The staged exact text
        // holds the memo the index now has.
        failed(text_added.Ok() ? put.result : text_added);
        plan.failure = Failure::Text_only;
        loaded.memo = plan.unmappable.isEmpty() ? cp932::Decode_text(plan.memo_bytes.bytes)
                                                : One_line_memo(plan.entry.memo);
        loaded.flag = plan.entry.flag;
        return Save_result::Failed;
    }
    // Both in place, their folder's sync failed: the day stays unsaved, so
    // that the next save writes it again and syncs.
    if (!put.result.Ok())
        return failed(put.result);
    loaded = plan.entry;
    if (const Io_result r =
            Finish_companion(day_path, !plan.unmappable.isEmpty(), false, companion_left);
        !r.Ok())
        return failed(r);
    return Save_result::Saved;
}

Io_result Diary_session::Stage_exact_day(const Day_plan& plan, const QString& path,
                                         const QDateTime& now, const Read_now* companion_now,
                                         bool* companion_left)
{
    // Exact texts that no longer match what the files hold now are kept
    // aside before anything is written over them.
    if (const Io_result r = Settle_companions(path, plan.disk.file, &plan.disk.record, now,
                                              companion_now, companion_left);
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

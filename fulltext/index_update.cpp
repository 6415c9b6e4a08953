// Bringing the index up to date before a search: the year folders the
// watch says changed (or every one) are listed, a year whose listing has the
// digest the index recorded is left alone, and in the others only the day
// files and year indexes whose size, time or inode changed are read again.

#include "fulltext/fulltext.h"

#include "fulltext/index_db.h"
#include "fulltext/listing.h"
#include "fulltext/scan.h"
#include "store/diary_files.h"
#include "store/store.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <sys/stat.h>

namespace {

// More changed files than this are not read again in the user's thread: the
// index is built again in the background instead.
constexpr int Most_changes_in_place = 1500;

using File_sig = Fulltext_index::File_sig;
using Db = Fulltext_index::Db;

// The digest of each year folder's listing.
QHash<int, quint64> Digests_of(const std::vector<Listed_file>& listed)
{
    QHash<int, quint64> digests;
    for (const Listed_file& file : listed)
        digests[file.year] += File_digest(file.path, file.sig);
    return digests;
}

// The years whose listing differs from the one the index read: of the years
// listed again (scope), or of every year listed or recorded.
QSet<int> Years_to_compare(const std::optional<QSet<int>>& scope,
                           const QHash<int, quint64>& digests, const QHash<int, quint64>& recorded)
{
    QSet<int> compare;
    const auto consider = [&](int year) {
        const auto now = digests.constFind(year);
        const auto then = recorded.constFind(year);
        const bool same = now == digests.cend() ? then == recorded.cend()
                                                : then != recorded.cend() && *now == *then;
        if (!same)
            compare.insert(year);
    };
    if (scope) {
        for (const int year : *scope)
            consider(year);
    } else {
        for (auto it = digests.cbegin(); it != digests.cend(); ++it)
            consider(it.key());
        for (auto it = recorded.cbegin(); it != recorded.cend(); ++it)
            consider(it.key());
    }
    return compare;
}

bool Is_year_index(const QString& path)
{
    return path.mid(5).compare(QStringLiteral("keyword.txt"), Qt::CaseInsensitive) == 0;
}

// The date of a day file as the index records it ("2026/1209.txt").
int Date_of_path(int year, const QString& path)
{
    const QString name = path.mid(5);
    return Date_number(year, name.left(2).toInt(), name.mid(2, 2).toInt());
}

// What differs between the listing of the years compared and the index's
// record of their files.
struct Changes {
    std::map<int, QSet<int>> dirty;                     // year -> dates to read again
    QSet<int> memo_years;                               // years whose index changed
    std::vector<std::pair<QString, File_sig>> changed;  // new or changed files
    QStringList removed;                                // files gone
    QSet<int> memo_only;  // dates read again for their year's index alone
};

// listed holds the files of the years compared only.
Changes Changes_since(const std::vector<Listed_file>& listed, const QSet<int>& compare,
                      const QHash<QString, File_sig>& known_files)
{
    Changes changes;
    QSet<QString> seen;
    seen.reserve(qsizetype(listed.size()));
    for (const Listed_file& file : listed) {
        seen.insert(file.path);
        const auto known = known_files.constFind(file.path);
        if (known != known_files.cend() && *known == file.sig)
            continue;
        changes.changed.emplace_back(file.path, file.sig);
        if (file.date)
            changes.dirty[file.year].insert(file.date);
        else
            changes.memo_years.insert(file.year);
    }
    for (auto it = known_files.cbegin(); it != known_files.cend(); ++it) {
        const int year = it.key().left(4).toInt();
        if (seen.contains(it.key()) || !compare.contains(year))
            continue;
        changes.removed.append(it.key());
        if (Is_year_index(it.key()))
            changes.memo_years.insert(year);
        else
            changes.dirty[year].insert(Date_of_path(year, it.key()));
    }
    return changes;
}

// A year whose index changed: every day it had or has a record for is read
// again. False when SQLite failed.
bool Add_days_of_changed_indexes(Db& db, const QString& app_dir, Changes& changes)
{
    for (const int year : changes.memo_years) {
        QSet<int>& dates = changes.dirty[year];
        const QSet<int> file_changed = dates;
        Statement rows(db.handle, "SELECT id FROM days WHERE id BETWEEN ?1 AND ?2");
        rows.Bind(1, qint64(Date_number(year, 1, 1)));
        rows.Bind(2, qint64(Date_number(year, 12, 31)));
        int rc;
        while ((rc = rows.Step()) == SQLITE_ROW)
            dates.insert(int(rows.Int(0)));
        if (rc != SQLITE_DONE) {
            db.last_code = sqlite3_extended_errcode(db.handle);
            return false;
        }
        Diary_store store(app_dir);
        const QHash<int, Day_memo> memos = Read_year_memos(store, year, nullptr);
        for (auto it = memos.cbegin(); it != memos.cend(); ++it)
            dates.insert(it.key());
        for (const int date : dates)
            if (!file_changed.contains(date))
                changes.memo_only.insert(date);
    }
    return true;
}

// The day files and year indexes that could not be read.
struct Unread {
    QSet<int> days;
    QSet<int> years;
};

// Reads the days again into the index, inside the transaction already
// begun; false when SQLite failed. A day whose file cannot be read keeps its
// old row.
// A day whose file is as the index read it, and whose memo is the same,
// keeps its document (only its memory flag is written): a save changes the
// year's index, and every day of the year would otherwise be read again.
// False when the day must be read again; ok false when SQLite failed.
bool Memo_unchanged(Db& db, int date, const Day_memo& memo, bool& ok)
{
    Statement row(db.handle, "SELECT memory, memo FROM days WHERE id = ?1");
    row.Bind(1, qint64(date));
    const int rc = row.Step();
    if (rc != SQLITE_ROW) {
        ok = db.Done(row, rc == SQLITE_DONE);
        return false;
    }
    if (row.Text(1) != memo.memo)
        return false;
    if ((row.Int(0) != 0) != memo.memory) {
        row.Reset();
        Statement flag(db.handle, "UPDATE days SET memory = ?2 WHERE id = ?1");
        flag.Bind(1, qint64(date));
        flag.Bind(2, qint64(memo.memory));
        ok = db.Done(flag, flag.Run());
    }
    return true;
}

bool Read_days_again(Db& db, const QString& app_dir, const Fold_options& options,
                     const std::map<int, QSet<int>>& dirty, const QSet<int>& memo_only,
                     Unread& unread)
{
    Diary_store store(app_dir);
    Db::Inserts inserts(db.handle);
    bool ok = true;
    for (const auto& [year, dates] : dirty) {
        Io_result memo_error;
        const QHash<int, Day_memo> memos = Read_year_memos(store, year, &memo_error);
        if (!memo_error.Ok())
            unread.years.insert(year);
        for (const int date : dates) {
            const int month = date / 100 % 100;
            const int day = date % 100;
            if (ok && memo_only.contains(date) && memos.contains(date) &&
                Memo_unchanged(db, date, memos.value(date), ok))
                continue;
            const bool has_file = Diary_store::File_exists(store.Day_file_path(year, month, day));
            Io_result error;
            const QString text =
                has_file ? Read_day_for_search(store, year, month, day, &error) : QString();
            if (!error.Ok()) {
                unread.days.insert(date);
                continue;
            }
            ok = ok && db.Remove_day(date);
            if (ok && (has_file || memos.contains(date)))
                ok = db.Insert_day(inserts, Row_of(date, text, memos.value(date), options));
        }
    }
    return ok;
}

// A file that could not be read keeps no listing, so that the next search
// reads it again; its year keeps no digest, so that it is compared again.
void Leave_unread_for_next_time(Changes& changes, QHash<int, quint64>& digests,
                                const Unread& unread)
{
    std::erase_if(changes.changed, [&](const std::pair<QString, File_sig>& file) {
        const int year = file.first.left(4).toInt();
        if (Is_year_index(file.first))
            return unread.years.contains(year);
        return unread.days.contains(Date_of_path(year, file.first));
    });
    for (const int date : unread.days)
        digests.remove(date / 10000);
    for (const int year : unread.years)
        digests.remove(year);
}

}  // namespace

namespace {

// How long a whole listing vouches for the files: an edit made in place (a
// write into a day file, a chmod), which changes no folder, is found by
// the first search after this.
constexpr qint64 Listing_trusted_ns = 60'000'000'000;
// A folder changed this recently may change again within the same tick of
// its file system's clock, and keep its times: it is not vouched for.
constexpr qint64 Settling_ns = 2'000'000'000;

qint64 Now_ns()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The year folders' own times, as one number: a file made, removed or
// renamed in a folder (every save) changes them.
struct Folder_times {
    quint64 digest = 0;
    qint64 taken_ns = 0;
    bool settled = false;  // listed whole, and none changed a moment ago
};

Folder_times Year_folder_times(const QString& app_dir)
{
    Folder_times out;
    out.taken_ns = Now_ns();
    const Folder_listing listing = List_folder(
        app_dir, Listing_detail::Types, [](const char* name) { return std::strlen(name) == 4; });
    if (!listing.exists || !listing.error.Ok())
        return out;
    out.settled = true;
    const QByteArray base = QFile::encodeName(app_dir);
    for (const Folder_entry& entry : listing.entries) {
        struct stat st {};
        // A year folder reached through a link has the times of the folder.
        if (::stat((base + '/' + entry.name).constData(), &st) != 0) {
            out.settled = false;
            continue;
        }
        const qint64 ctime_ns = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
        const qint64 mtime_ns = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
        if (std::max(ctime_ns, mtime_ns) > out.taken_ns - Settling_ns)
            out.settled = false;
        out.digest += quint64(qHashMulti(0x2545f491, entry.name, ctime_ns, mtime_ns,
                                         quint64(st.st_ino), quint64(st.st_dev))) *
                          0x9e3779b97f4a7c15ull +
                      1;
    }
    return out;
}

const QString Folders_key = QStringLiteral("folders");

}  // namespace

// The year folders' times, when every file was listed a moment ago and no
// folder has changed since, say the index is current without a listing.
Fulltext_index::Update Fulltext_index::Bring_up_to_date(QString& trouble)
{
    // A command line ends after its search: no watch would tell it anything.
    const std::optional<QSet<int>> scope =
        start_mode == Start::Never ? std::nullopt : watch.Years_to_check(app_dir);
    if (scope)
        return Update_from_listing(scope, trouble);
    const Folder_times folders = Year_folder_times(app_dir);
    const QStringList recorded = db->Meta(Folders_key).split(QLatin1Char(' '));
    if (folders.settled && recorded.size() == 2 && recorded[0] == QString::number(folders.digest)) {
        const qint64 age = folders.taken_ns - recorded[1].toLongLong();
        if (age >= 0 && age < Listing_trusted_ns && Same_index_file())
            return Update::Current;
    }
    const Update update = Update_from_listing(scope, trouble);
    // Recorded only as taken before the listing: a folder changed since has
    // other times, and the next search lists it.
    if (update == Update::Current && folders.settled)
        db->Set_meta(Folders_key,
                     QStringLiteral("%1 %2").arg(folders.digest).arg(folders.taken_ns));
    return update;
}

bool Fulltext_index::Same_index_file()
{
    struct stat st {};
    return ::stat(QFile::encodeName(cache_path).constData(), &st) == 0 && st.st_ino == db->inode;
}

// Reads again what changed on disk since the index was brought up to date.
// Anything but Current: the index cannot be used now (trouble says why).
Fulltext_index::Update Fulltext_index::Update_from_listing(const std::optional<QSet<int>>& scope,
                                                           QString& trouble)
{
    const auto Failed = [this, &trouble] {
        trouble = db->Error();
        return db->Damaged() ? Update::Rebuild : Update::Failed;
    };
    // Another copy of the program may have put a new index in place.
    struct stat st {};
    if (::stat(QFile::encodeName(cache_path).constData(), &st) != 0) {
        trouble = QStringLiteral("索引のファイルがなくなったため、作り直しています。");
        return Update::Rebuild;
    }
    if (st.st_ino != db->inode && !Open_existing()) {
        trouble = QStringLiteral("索引のファイルが置き換えられて開けないため、作り直しています。");
        return Update::Rebuild;
    }

    if (scope && scope->isEmpty())
        return Update::Current;
    std::vector<Listed_file> listed = List_diary(app_dir, scope);
    // Only the years whose listing differs from the one the index read are
    // compared file by file.
    QHash<int, quint64> digests = Digests_of(listed);
    const QSet<int> compare = Years_to_compare(scope, digests, db->year_digests);
    if (compare.isEmpty())
        return Update::Current;
    for (const int year : compare)
        if (!db->Load_year_files(year))
            return Failed();
    std::erase_if(listed,
                  [&compare](const Listed_file& file) { return !compare.contains(file.year); });
    Changes changes = Changes_since(listed, compare, db->files);

    if (changes.changed.empty() && changes.removed.isEmpty()) {
        // Only the order or the digest's record differed.
        QSet<int> gone;  // years with no file left
        for (const int year : compare)
            if (!digests.contains(year))
                gone.insert(year);
        if (!db->Store_year_digests(digests, gone))
            return Failed();
        Note_digests(digests, gone);
        return Update::Current;
    }
    if (int(changes.changed.size() + size_t(changes.removed.size())) > Most_changes_in_place) {
        trouble = QStringLiteral("日記のファイルが多く変わったため、索引を作り直しています。");
        return Update::Rebuild;
    }
    if (!Add_days_of_changed_indexes(*db, app_dir, changes) || !db->Exec("BEGIN IMMEDIATE"))
        return Failed();
    Unread unread;
    db->dropped_docs = 0;
    bool ok = Read_days_again(*db, app_dir, options, changes.dirty, changes.memo_only, unread);
    Leave_unread_for_next_time(changes, digests, unread);

    QHash<int, quint64> compared;
    for (const int year : compare)
        if (digests.contains(year))
            compared.insert(year, digests.value(year));
    QSet<int> undigested = compare;
    for (auto it = compared.cbegin(); it != compared.cend(); ++it)
        undigested.remove(it.key());
    ok = ok && db->Store_files(changes.changed, changes.removed) &&
         db->Store_year_digests(compared, undigested) && db->Store_dropped() && db->Exec("COMMIT");
    if (!ok) {
        const Update failed = Failed();
        db->Exec("ROLLBACK");
        db->Load_year_digests();
        db->dropped_docs = 0;
        return failed;
    }
    for (const auto& [path, sig] : changes.changed)
        db->files.insert(path, sig);
    for (const QString& path : changes.removed)
        db->files.remove(path);
    Note_digests(compared, undigested);
    // The words of days read again stay in the index under documents no
    // longer any day's; when they are many, the index is made anew.
    // A command line that prints and ends uses it as it is.
    if (start_mode != Start::Never && db->Mostly_dropped()) {
        trouble = QStringLiteral("索引を整理するため、作り直しています。");
        return Update::Rebuild;
    }
    return Update::Current;
}

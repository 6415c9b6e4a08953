// Bringing the index up to date before a search: the year folders the
// watch says changed (or every one) are listed, a year whose listing has the
// digest the index recorded is left alone, and in the others only the day
// files and year indexes whose size, time or inode changed are read again.

#include "fulltext/fulltext.h"

#include "fulltext/index_db.h"
#include "fulltext/listing.h"
#include "fulltext/scan.h"
#include "store/store.h"

#include <QFile>
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
bool Read_days_again(Db& db, const QString& app_dir, const Fold_options& options,
                     const std::map<int, QSet<int>>& dirty, Unread& unread)
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

// Reads again what changed on disk since the index was brought up to date.
// Anything but Current: the index cannot be used now (trouble says why).
Fulltext_index::Update Fulltext_index::Bring_up_to_date(QString& trouble)
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

    const std::optional<QSet<int>> scope = watch.Years_to_check(app_dir);
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
    bool ok = Read_days_again(*db, app_dir, options, changes.dirty, unread);
    Leave_unread_for_next_time(changes, digests, unread);

    QHash<int, quint64> compared;
    for (const int year : compare)
        if (digests.contains(year))
            compared.insert(year, digests.value(year));
    QSet<int> undigested = compare;
    for (auto it = compared.cbegin(); it != compared.cend(); ++it)
        undigested.remove(it.key());
    ok = ok && db->Store_files(changes.changed, changes.removed) &&
         db->Store_year_digests(compared, undigested) && db->Exec("COMMIT");
    if (!ok) {
        const Update failed = Failed();
        db->Exec("ROLLBACK");
        db->Load_year_digests();
        return failed;
    }
    for (const auto& [path, sig] : changes.changed)
        db->files.insert(path, sig);
    for (const QString& path : changes.removed)
        db->files.remove(path);
    Note_digests(compared, undigested);
    return Update::Current;
}

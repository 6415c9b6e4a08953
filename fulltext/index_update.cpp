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

}  // namespace

// Reads again what changed on disk since the index was brought up to date.
// Anything but Current: the index cannot be used now (trouble says why).
Fulltext_index::Update Fulltext_index::Bring_up_to_date(QString& trouble)
{
    const auto Failed = [this] { return db->Damaged() ? Update::Rebuild : Update::Failed; };
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
    QHash<int, quint64> digests;
    for (const Listed_file& file : listed)
        digests[file.year] += File_digest(file.path, file.sig);
    QSet<int> compare;
    const auto consider = [&](int year) {
        const auto now = digests.constFind(year);
        const auto then = db->year_digests.constFind(year);
        const bool same = now == digests.cend() ? then == db->year_digests.cend()
                                                : then != db->year_digests.cend() && *now == *then;
        if (!same)
            compare.insert(year);
    };
    if (scope) {
        for (const int year : *scope)
            consider(year);
    } else {
        for (auto it = digests.cbegin(); it != digests.cend(); ++it)
            consider(it.key());
        for (auto it = db->year_digests.cbegin(); it != db->year_digests.cend(); ++it)
            consider(it.key());
    }
    if (compare.isEmpty())
        return Update::Current;
    for (const int year : compare) {
        if (!db->Load_year_files(year)) {
            trouble = db->Error();
            return Failed();
        }
    }
    std::erase_if(listed,
                  [&compare](const Listed_file& file) { return !compare.contains(file.year); });
    std::map<int, QSet<int>> dirty;  // year -> dates to read again
    QSet<int> memo_years;            // years whose index changed
    std::vector<std::pair<QString, File_sig>> changed;
    QSet<QString> seen;
    seen.reserve(qsizetype(listed.size()));
    for (const Listed_file& file : listed) {
        seen.insert(file.path);
        const auto known = db->files.constFind(file.path);
        if (known != db->files.cend() && *known == file.sig)
            continue;
        changed.emplace_back(file.path, file.sig);
        if (file.date)
            dirty[file.year].insert(file.date);
        else
            memo_years.insert(file.year);
    }
    QStringList removed;
    for (auto it = db->files.cbegin(); it != db->files.cend(); ++it) {
        const int year = it.key().left(4).toInt();
        if (seen.contains(it.key()) || !compare.contains(year))
            continue;
        removed.append(it.key());
        const QString name = it.key().mid(5);
        if (name.compare(QStringLiteral("keyword.txt"), Qt::CaseInsensitive) == 0)
            memo_years.insert(year);
        else
            dirty[year].insert(Date_number(year, name.left(2).toInt(), name.mid(2, 2).toInt()));
    }
    QSet<int> gone;  // years with no file left
    for (const int year : compare)
        if (!digests.contains(year))
            gone.insert(year);
    if (changed.empty() && removed.isEmpty()) {
        // Only the order or the digest's record differed.
        if (!db->Store_year_digests(digests, gone)) {
            trouble = db->Error();
            return Failed();
        }
        Note_digests(digests, gone);
        return Update::Current;
    }
    if (int(changed.size() + size_t(removed.size())) > Most_changes_in_place) {
        trouble = QStringLiteral("日記のファイルが多く変わったため、索引を作り直しています。");
        return Update::Rebuild;
    }
    // A year whose index changed: every day it had or has a record for.
    for (const int year : memo_years) {
        QSet<int>& dates = dirty[year];
        Statement rows(db->handle, "SELECT id FROM days WHERE id BETWEEN ?1 AND ?2");
        rows.Bind(1, qint64(Date_number(year, 1, 1)));
        rows.Bind(2, qint64(Date_number(year, 12, 31)));
        int rc;
        while ((rc = rows.Step()) == SQLITE_ROW)
            dates.insert(int(rows.Int(0)));
        if (rc != SQLITE_DONE) {
            db->last_code = sqlite3_extended_errcode(db->handle);
            trouble = db->Error();
            return Failed();
        }
        Diary_store store(app_dir);
        const QHash<int, Day_memo> memos = Read_year_memos(store, year, nullptr);
        for (auto it = memos.cbegin(); it != memos.cend(); ++it)
            dates.insert(it.key());
    }
    if (!db->Exec("BEGIN IMMEDIATE")) {
        trouble = db->Error();
        return Failed();
    }
    Diary_store store(app_dir);
    QHash<QString, File_sig> now;  // the listing by path, for the days read
    for (const Listed_file& file : listed)
        now.insert(file.path, file.sig);
    Db::Inserts inserts(db->handle);
    bool ok = true;
    QSet<int> failed_days;
    QSet<int> failed_years;
    for (const auto& [year, dates] : dirty) {
        Io_result memo_error;
        const QHash<int, Day_memo> memos = Read_year_memos(store, year, &memo_error);
        if (!memo_error.Ok())
            failed_years.insert(year);
        for (const int date : dates) {
            const int month = date / 100 % 100;
            const int day = date % 100;
            const bool has_file = Diary_store::File_exists(store.Day_file_path(year, month, day));
            Io_result error;
            const QString text =
                has_file ? Read_day_for_search(store, year, month, day, &error) : QString();
            if (!error.Ok()) {
                failed_days.insert(date);
                continue;
            }
            ok = ok && db->Remove_day(date);
            if (ok && (has_file || memos.contains(date)))
                ok = db->Insert_day(inserts, Row_of(date, text, memos.value(date), options));
        }
    }
    // A file that could not be read keeps no listing, so that the next
    // search reads it again.
    std::erase_if(changed, [&](const std::pair<QString, File_sig>& file) {
        const int year = file.first.left(4).toInt();
        const QString name = file.first.mid(5);
        if (name.compare(QStringLiteral("keyword.txt"), Qt::CaseInsensitive) == 0)
            return failed_years.contains(year);
        return failed_days.contains(
            Date_number(year, name.left(2).toInt(), name.mid(2, 2).toInt()));
    });
    // A year with a file that could not be read keeps no digest, so that it
    // is compared again at the next search.
    for (const int date : failed_days)
        digests.remove(date / 10000);
    for (const int year : failed_years)
        digests.remove(year);
    QHash<int, quint64> compared;
    for (const int year : compare)
        if (digests.contains(year))
            compared.insert(year, digests.value(year));
    QSet<int> undigested = compare;
    for (auto it = compared.cbegin(); it != compared.cend(); ++it)
        undigested.remove(it.key());
    ok = ok && db->Store_files(changed, removed) && db->Store_year_digests(compared, undigested) &&
         db->Exec("COMMIT");
    if (!ok) {
        trouble = db->Error();
        const Update failed = Failed();
        db->Exec("ROLLBACK");
        db->Load_year_digests();
        return failed;
    }
    for (const auto& [path, sig] : changed)
        db->files.insert(path, sig);
    for (const QString& path : removed)
        db->files.remove(path);
    Note_digests(compared, undigested);
    return Update::Current;
}

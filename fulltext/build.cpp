#include "fulltext/build.h"

#include "fulltext/index_db.h"
#include "fulltext/listing.h"
#include "fulltext/scan.h"
#include "platform/background_job.h"
#include "store/store.h"

#include <QFile>

using File_sig = Fulltext_index::File_sig;

bool Build_index(const QString& path, const QString& app_dir, const Fold_options& options,
                 const Job_control& job, QString& trouble)
{
    QFile::remove(path);
    Fulltext_index::Db db;
    if (!db.Open(path, true) || !db.Create_schema(app_dir, options)) {
        trouble = db.Error();
        return false;
    }
    const std::vector<Listed_file> files = List_diary(app_dir);
    const int total = int(files.size());
    int done = 0;
    job.Progress(done, total);
    Diary_store store(app_dir);
    if (!db.Exec("BEGIN")) {
        trouble = db.Error();
        return false;
    }
    Fulltext_index::Db::Inserts inserts(db.handle);
    QSet<int> failed_days;
    QSet<int> failed_years;
    bool ok = true;
    For_each_day_of_years(store, Dates_by_year(files, 0, 9999), options, nullptr, &failed_days,
                          &failed_years, &job.Cancel_flag(), [&](const Day_row& row) {
                              ok = ok && db.Insert_day(inserts, row);
                              job.Progress(++done, total);
                          });
    if (!ok || job.Cancelled()) {
        trouble = ok ? QStringLiteral("cancelled") : db.Error();
        return false;
    }
    std::vector<std::pair<QString, File_sig>> recorded;
    recorded.reserve(files.size());
    QHash<int, quint64> digests;
    QSet<int> incomplete;
    for (const Listed_file& file : files) {
        digests[file.year] += File_digest(file.path, file.sig);
        // A file that could not be read is left out, so that the next search
        // tries it again.
        if (file.date ? failed_days.contains(file.date) : failed_years.contains(file.year)) {
            incomplete.insert(file.year);
            continue;
        }
        recorded.emplace_back(file.path, file.sig);
    }
    for (const int year : incomplete)
        digests.remove(year);
    if (!db.Store_files(recorded, {}) || !db.Store_year_digests(digests, {}) ||
        !db.Exec("COMMIT") || !db.Exec("INSERT INTO fts(fts) VALUES('optimize')") ||
        // The pages the optimize freed are given back.
        !db.Exec("VACUUM") || !db.Exec("PRAGMA journal_mode=WAL")) {
        trouble = db.Error();
        return false;
    }
    job.Progress(total, total);
    return true;
}

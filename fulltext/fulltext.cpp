#include "fulltext/fulltext.h"

#include "diary/folder_lock.h"
#include "fulltext/build.h"
#include "fulltext/cache_files.h"
#include "fulltext/candidates.h"
#include "fulltext/day_line.h"
#include "fulltext/in_order.h"
#include "fulltext/index_db.h"
#include "fulltext/listing.h"
#include "fulltext/locked_index.h"
#include "fulltext/scan.h"
#include "store/store.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

Fulltext_index::Fulltext_index(const QString& diary_folder, const QString& cache,
                               const Fold_options& fold, Start start)
    : app_dir(Diary_store(diary_folder).App_dir()), cache_folder(cache), options(fold),
      start_mode(start)
{
    // A search that never builds reads the files while there is no index:
    // SQLite is loaded only for an index already made, and no cache folder
    // is made for it (where there is none, there is no index).
    if (start == Start::Never && !cache_folder.isEmpty()) {
        if (!QFileInfo::exists(cache_folder))
            return;
        if (Private_cache_folder(cache_folder)) {
            cache_path = Index_path_for(cache_folder, app_dir);
            if (!QFile::exists(cache_path))
                return;
        }
    }
    errno = 0;
    if (!Fulltext_index_available()) {
        // A library that could not be opened says ELIBACC (platform/lazy_library.h).
        unavailable =
            errno == ELIBACC
                ? QStringLiteral("SQLite を読み込めないため、"
                                 "索引を使わずに日記のファイルを直接検索しています。")
                : QStringLiteral("この環境の SQLite には全文検索の機能 (FTS5) がないため、"
                                 "索引を使わずに日記のファイルを直接検索しています。");
        return;
    }
    if (cache_folder.isEmpty() || !Private_cache_folder(cache_folder)) {
        unavailable = QStringLiteral("キャッシュのフォルダーを作れないため、"
                                     "索引を使わずに日記のファイルを直接検索しています。");
        return;
    }
    cache_path = Index_path_for(cache_folder, app_dir);
    Remove_stale_builds(cache_folder, cache_path);
    if (!Open_existing())
        Start_build();
}

Fulltext_index::~Fulltext_index()
{
    Stop_build();
    watch.Stop();
}

bool Fulltext_index::Open_existing()
{
    db.reset();
    if (!QFile::exists(cache_path))
        return false;
    auto opened = std::make_unique<Db>();
    if (!opened->Open(cache_path, false))
        return false;
    if (opened->Meta(QStringLiteral("format")) != Index_format ||
        opened->Meta(QStringLiteral("folding")) != options.Name() ||
        opened->Meta(QStringLiteral("diary")) != app_dir || !opened->Load_year_digests())
        return false;
    opened->Exec("PRAGMA synchronous=NORMAL");
    db = std::move(opened);
    watch.Stop();
    return true;
}

void Fulltext_index::Drop_cache(const QString& why)
{
    db.reset();
    last_trouble = why;
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(cache_path + QLatin1String(suffix));
}

void Fulltext_index::Start_build()
{
    // The index, even a damaged one, is left for the window to build again.
    if (start_mode == Start::Never)
        return;
    Stop_build();
    Drop_cache(last_trouble);
    Remove_stale_builds(cache_folder, cache_path);
    if (start_mode == Start::After_first_scan) {
        build_pending = true;
        return;
    }
    Run_build();
}

void Fulltext_index::Start_pending_build()
{
    if (!build_pending)
        return;
    build_pending = false;
    Run_build();
}

void Fulltext_index::Run_build()
{
    const QString building = cache_path + QStringLiteral(".%1.building").arg(qint64(::getpid()));
    auto work = [building, path = cache_path, diary = app_dir,
                 fold = options](const Job_control& job) {
        Build_outcome outcome;
        outcome.ok = Build_index(building, diary, fold, job, outcome.trouble) &&
                     ::rename(QFile::encodeName(building).constData(),
                              QFile::encodeName(path).constData()) == 0;
        if (!outcome.ok)
            QFile::remove(building);
        return outcome;
    };
    if (start_mode == Start::Foreground) {
        // In this thread, with a control of its own that nothing cancels.
        if (work(Job_control(std::make_shared<Job_control::State>(), 0)).ok)
            Open_existing();
        return;
    }
    build.Start([work](const Job_control& job) {
        // The build gives way to the window and to anything else running.
        ::setpriority(PRIO_PROCESS, ::gettid(), 10);
        return work(job);
    });
}

void Fulltext_index::Stop_build()
{
    build.Cancel();
    build_pending = false;
}

bool Fulltext_index::Building() const
{
    return build_pending || (build.Running() && !build.Finished());
}

bool Fulltext_index::Take_finished_build()
{
    const std::optional<Build_outcome> outcome = build.Take();
    if (!outcome)
        return false;
    if (!outcome->ok) {
        last_trouble = outcome->trouble;
        return false;
    }
    return Open_existing();
}

void Fulltext_index::Note_digests(const QHash<int, quint64>& digests, const QSet<int>& dropped)
{
    for (auto it = digests.cbegin(); it != digests.cend(); ++it)
        db->year_digests.insert(it.key(), it.value());
    for (const int year : dropped)
        db->year_digests.remove(year);
}

Fulltext_result Fulltext_index::Search(const Fulltext_search& search)
{
    // The diary was locked or unlocked while this index was open, or its
    // key was closed (the idle lock): the index in memory goes.
    if (Index_must_close(cache_path, app_dir)) {
        Stop_build();
        db.reset();
        cache_path = Index_path_for(cache_folder, app_dir);
    }
    Take_finished_build();
    if (!db && !Building() && unavailable.isEmpty() && !Open_existing())
        Start_build();
    QString trouble;
    Update update = db ? Bring_up_to_date(trouble) : Update::Failed;
    Fulltext_result result;
    result.words = Search_words(search.typed, options);
    if (update == Update::Current) {
        if (result.words.isEmpty())
            return result;
        if (Query_index(search, result))
            return result;
        trouble = db->Error();
        update = db->Damaged() ? Update::Rebuild : Update::Failed;
        result.hits.clear();
    }
    if (update == Update::Rebuild) {
        last_trouble = db && db->Damaged()
                           ? QStringLiteral("索引が壊れていたため、作り直しています。")
                           : trouble;
        Start_build();
    }
    if (search.wait_for_index && Building()) {
        result.pending = true;
        result.index_trouble =
            last_trouble.isEmpty() ? QStringLiteral("索引を作っています。") : last_trouble;
        return result;
    }
    // No usable index (being built, or gone wrong): the files themselves.
    result = Scan_diary(app_dir, search, options);
    Start_pending_build();
    if (!unavailable.isEmpty())
        result.index_trouble = unavailable;
    else if (Building())
        result.index_trouble =
            last_trouble.isEmpty() ? QStringLiteral("索引を作っています。") : last_trouble;
    else
        result.index_trouble = trouble.isEmpty() ? last_trouble : trouble;
    return result;
}

bool Fulltext_index::Query_index(const Fulltext_search& search, Fulltext_result& result)
{
    // The documents holding every pair of the words, each looked up by its
    // number: one no longer any day's is passed over.
    Statement query(db->handle, "SELECT d.id, d.memory, d.memo FROM fts CROSS JOIN days d"
                                " ON d.doc = fts.rowid WHERE fts MATCH ?3"
                                " AND d.id BETWEEN ?1 AND ?2");
    if (!query) {
        db->last_code = sqlite3_extended_errcode(db->handle);
        return false;
    }
    query.Bind(1, qint64(Date_number(search.first_year, 1, 1)));
    query.Bind(2, qint64(Date_number(search.last_year, 12, 31)));
    query.Bind(3, Index_query(result.words));
    int rc;
    while ((rc = query.Step()) == SQLITE_ROW)
        result.hits.push_back({int(query.Int(0)), query.Int(1) != 0, query.Text(2), std::nullopt});
    if (rc != SQLITE_DONE) {
        db->last_code = sqlite3_extended_errcode(db->handle);
        return false;
    }
    // A day read again has a document of a later number: the days are put
    // in order here.
    std::sort(result.hits.begin(), result.hits.end(),
              [newest_first = search.newest_first](const Fulltext_hit& a, const Fulltext_hit& b) {
                  return newest_first ? a.date > b.date : a.date < b.date;
              });
    // A day found by the pairs of a longer word is read to see it holds the
    // word.
    Check_candidates(app_dir, options, search, Index_query_exact(result.words), result);
    return true;
}

QList<Io_result> Fulltext_index::Files_not_indexed(int first_year, int last_year)
{
    QList<Io_result> errors;
    if (!db || Building())
        return errors;
    // A year whose every file the index took in has its listing's digest
    // recorded: only the others can hold a file it could not read.
    QSet<int> years;
    for (const int year : List_years(app_dir))
        if (year >= first_year && year <= last_year && !db->year_digests.contains(year))
            years.insert(year);
    if (years.isEmpty())
        return errors;
    Diary_store store(app_dir);
    for (const Listed_file& file : List_diary(app_dir, years)) {
        if (!db->Load_year_files(file.year))
            continue;
        // A file taken in may have lost its read permission since (which
        // changes neither its size nor its time): it is read again too.
        const auto known = db->files.constFind(file.path);
        if (known != db->files.cend() && *known == file.sig &&
            ::access(QFile::encodeName(store.App_dir() + file.path).constData(), R_OK) == 0)
            continue;
        Io_result error;
        if (file.date)
            Read_day_for_search(store, file.year, file.date / 100 % 100, file.date % 100, &error);
        else
            Read_year_memos(store, file.year, &error);
        if (!error.Ok())
            errors.append(error);
    }
    return errors;
}

std::vector<Snippet> Fulltext_index::Snippets_for(const std::vector<int>& dates,
                                                  const QStringList& words)
{
    // Each line is made from its day file, read and folded around the
    // first word: many on every core.
    const Line_words line_words = Line_words_of(words, options);
    const Diary_store store(app_dir);
    std::vector<Snippet> snippets(dates.size());
    Make_in_order(
        dates.size(), 256, [&](size_t i) { return Day_line(store, dates[i], line_words, options); },
        [&](size_t first, std::vector<Snippet>& made) {
            std::move(made.begin(), made.end(), snippets.begin() + qsizetype(first));
        });
    return snippets;
}

Snippet Fulltext_index::Snippet_for(int date, const QStringList& words)
{
    // The index keeps no text: the line is made from the day file.
    Diary_store store(app_dir);
    return Day_line(store, date, Line_words_of(words, options), options);
}

#include "diary/records.h"

#include "diary/folder_lock.h"
#include "diary/panel_date.h"
#include "diary/sealed_copies.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/safe_replace.h"
#include "store/store.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFileInfo>
#include <algorithm>

qint64 Written_characters(QStringView text)
{
    qint64 count = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            continue;
        // The two halves of a surrogate pair are one character; a lone
        // half (bytes that did not decode as a pair) counts as one too.
        if (c.isHighSurrogate() && i + 1 < size && text[i + 1].isLowSurrogate())
            ++i;
        ++count;
    }
    return count;
}

QByteArray Year_signature(const QString& year_folder)
{
    const Folder_listing listing = List_folder(year_folder, Listing_detail::Full);
    if (!listing.exists)
        return {};
    std::vector<const Folder_entry*> entries;
    entries.reserve(listing.entries.size());
    for (const Folder_entry& entry : listing.entries)
        entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [](const Folder_entry* a, const Folder_entry* b) { return a->name < b->name; });
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // A folder that could not be listed whole never matches a count.
    if (!listing.error.Ok())
        hash.addData(QByteArrayView("unlisted"));
    for (const Folder_entry* entry : entries) {
        const qint64 fields[] = {qint64(entry->type), entry->size, entry->mtime_ns,
                                 qint64(entry->inode), qint64(entry->mode)};
        hash.addData(entry->name);
        hash.addData(QByteArrayView("\0", 1));
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(fields), sizeof fields));
    }
    return hash.result();
}

Year_tally Count_year(Diary_store& store, int year)
{
    Year_tally tally;
    tally.year = year;
    const Year_files files = Read_year_files(store, year);
    if (!files.folder_error.Ok()) {
        tally.unreadable.append(files.folder_error);
        return tally;
    }
    if (!files.index_error.Ok())
        tally.unreadable.append(files.index_error);
    // The days with a file or a record: a name counts once, "1209.txt" and
    // "1209.TXT" alike.
    QList<int> numbers;
    for (const QByteArray& name : files.names) {
        const Name_class c = Classify_year_name(name);
        if (c.kind == Diary_name::Day_file && Is_diary_day(c.month, c.day))
            numbers.append(c.month * 100 + c.day);
    }
    for (auto it = files.records.cbegin(); it != files.records.cend(); ++it) {
        const QByteArray& key = it.key();  // "yyyy/mm/dd"
        if (key.size() != 10 || key.left(4).toInt() != year)
            continue;
        const int month = key.mid(5, 2).toInt();
        const int day = key.mid(8, 2).toInt();
        if (Is_diary_day(month, day))
            numbers.append(month * 100 + day);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (const int number : numbers) {
        const Exact_day exact = Read_exact_day(store, year, number / 100, number % 100, files);
        if (!exact.text_error.Ok()) {
            tally.unreadable.append(exact.text_error);
            continue;
        }
        const int characters = int(Written_characters(exact.text));
        if (characters == 0 && exact.memo.isEmpty() && !exact.flag)
            continue;
        tally.days.insert(number, {characters, exact.flag, exact.memo});
        if (characters > 0) {
            ++tally.days_written;
            tally.characters += characters;
        }
    }
    return tally;
}

QList<int> Year_folders(Diary_store& store, Io_result* error)
{
    QList<int> years;
    const Folder_listing listing = List_folder(store.App_dir());
    if (error)
        *error = listing.error;
    for (const Folder_entry& entry : listing.entries) {
        if (Classify_top_name(entry.name).kind != Diary_name::Year_folder)
            continue;
        const int year = entry.name.toInt();
        // A year folder may be a link to a folder, as the rest of the
        // program reads it.
        if (year >= First_year && year <= Last_year &&
            Diary_store::Folder_exists(store.Year_folder(year)))
            years.append(year);
    }
    std::sort(years.begin(), years.end());
    return years;
}

int Longest_run(QList<qint64> days)
{
    std::sort(days.begin(), days.end());
    int longest = 0;
    int run = 0;
    for (qsizetype i = 0; i < days.size(); ++i) {
        if (i > 0 && days[i] == days[i - 1])
            continue;
        run = (i > 0 && days[i] == days[i - 1] + 1) ? run + 1 : 1;
        longest = std::max(longest, run);
    }
    return longest;
}

int Current_run(QList<qint64> days, const QDate& today)
{
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    qint64 day = today.toJulianDay();
    if (!std::binary_search(days.cbegin(), days.cend(), day))
        --day;
    int run = 0;
    while (std::binary_search(days.cbegin(), days.cend(), day)) {
        ++run;
        --day;
    }
    return run;
}

QList<qint64> Written_days(const Year_tally& tally)
{
    QList<qint64> days;
    for (auto it = tally.days.cbegin(); it != tally.days.cend(); ++it) {
        const QDate date(tally.year, it.key() / 100, it.key() % 100);
        if (it->characters > 0 && date.isValid())
            days.append(date.toJulianDay());
    }
    return days;
}

QList<Year_tally> Records_cache::Refresh(Diary_store& store, const std::atomic<bool>* cancel,
                                         const std::function<void(int, int)>& progress)
{
    const QList<int> folders = Year_folders(store);
    QList<Year_tally> out;
    int done = 0;
    for (const int year : folders) {
        if (cancel && cancel->load())
            break;
        // The signature is taken before the files are read: a file changed
        // while they are read changes the next signature, so the count is
        // taken again then.
        const QByteArray signature = Year_signature(store.Year_folder(year));
        auto it = years.find(year);
        if (it == years.end() || it->signature != signature || !it->unreadable.isEmpty()) {
            Year_tally tally = Count_year(store, year);
            tally.signature = signature;
            it = years.insert(year, std::move(tally));
            changed = true;
        }
        out.append(*it);
        if (progress)
            progress(++done, int(folders.size()));
    }
    // Years whose folder has gone.
    for (auto it = years.begin(); it != years.end();) {
        if (!folders.contains(it.key())) {
            it = years.erase(it);
            changed = true;
        } else {
            ++it;
        }
    }
    return out;
}

namespace {

constexpr quint32 Cache_magic = 0x534f5243;  // "SORC"
constexpr quint32 Cache_version = 1;

}  // namespace

void Records_cache::Load(const QString& path)
{
    QByteArray bytes;
    bool exists = false;
    if (!sealed_copies::Read(path, bytes, exists).Ok() || !exists)
        return;
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint32 version = 0;
    qint32 count = 0;
    in >> magic >> version >> count;
    if (magic != Cache_magic || version != Cache_version || count < 0 || count > 200)
        return;
    QMap<int, Year_tally> loaded;
    for (qint32 i = 0; i < count; ++i) {
        Year_tally tally;
        qint32 year = 0;
        qint32 day_count = 0;
        in >> year >> tally.signature >> day_count;
        if (in.status() != QDataStream::Ok || day_count < 0 || day_count > 12 * 31)
            return;
        tally.year = year;
        for (qint32 d = 0; d < day_count; ++d) {
            qint32 number = 0;
            Day_tally day;
            in >> number >> day.characters >> day.memory >> day.memo;
            if (day.characters > 0) {
                ++tally.days_written;
                tally.characters += day.characters;
            }
            tally.days.insert(number, day);
        }
        loaded.insert(year, std::move(tally));
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return;
    years = std::move(loaded);
    changed = false;
}

Io_result Records_cache::Save(const QString& path)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    // Years with a file that could not be read are counted afresh.
    qint32 count = 0;
    for (const Year_tally& tally : years)
        count += tally.unreadable.isEmpty() ? 1 : 0;
    out << Cache_magic << Cache_version << count;
    for (const Year_tally& tally : years) {
        if (!tally.unreadable.isEmpty())
            continue;
        out << qint32(tally.year) << tally.signature << qint32(tally.days.size());
        for (auto it = tally.days.cbegin(); it != tally.days.cend(); ++it)
            out << qint32(it.key()) << it->characters << it->memory << it->memo;
    }
    const QString folder = QFileInfo(path).path();
    if (!Make_private_folders(folder))
        return Make_folders(folder);
    const Io_result written = sealed_copies::Write(path, bytes);
    if (written.Ok())
        changed = false;
    return written;
}

QString Records_cache_path(const QString& cache_folder, const QString& app_dir)
{
    return sealed_copies::Copy_path(cache_folder + QStringLiteral("/records-") +
                                        Folder_key(app_dir) + QStringLiteral(".dat"),
                                    app_dir);
}

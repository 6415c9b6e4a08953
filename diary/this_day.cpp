#include "diary/this_day.h"

#include "diary/backup.h"
#include "store/diary_files.h"
#include "store/exact_text.h"
#include "store/line_file.h"
#include "store/store.h"

#include <QFile>
#include <QFileInfo>

namespace {

// "1209.txt" or "1209.TXT" as month * 100 + day; 0 for any other name.
int Day_number_of_file(QByteArrayView name)
{
    const Name_class c = Classify_year_name(name);
    return c.kind == Diary_name::Day_file ? c.month * 100 + c.day : 0;
}

}  // namespace

This_day_page Read_this_day(Diary_store& store, int month, int day)
{
    This_day_page page;
    page.month = month;
    page.day = day;
    for (int year = First_year; year <= Last_year; ++year) {
        if (!Diary_store::Folder_exists(store.Year_folder(year)))
            continue;
        Year_of_day entry;
        entry.year = year;
        // The exact text and memo, with the characters Shift_JIS cannot hold
        // that a companion keeps, as the diary panel shows them.
        const Exact_day exact = Read_exact_day(store, year, month, day);
        entry.index_error = exact.index_error;
        entry.has_record = exact.record.found;
        entry.memory = exact.flag;
        entry.memo = exact.memo;
        entry.day.error = exact.text_error;
        entry.day.text = exact.text;
        // An empty day file reads like a missing one: only then look.
        entry.day.exists = !exact.file.isEmpty() || !exact.text_error.Ok() ||
                           QFileInfo::exists(store.Day_file_path(year, month, day));
        if (entry.has_record || entry.day.exists || !entry.index_error.Ok())
            page.years.append(std::move(entry));
    }
    return page;
}

namespace {

// The days the index marks: a memory flag, or a memo.
void Mark_index_records(Year_marks& marks, int year, QByteArrayView index)
{
    const QByteArray prefix = QString::number(year).toLatin1() + '/';
    For_each_line(index, [&](QByteArrayView line) {
        // "yyyy/mm/dd", the flag, the memo.
        if (line.size() < 10 || !line.startsWith(prefix) || line[7] != '/')
            return;
        bool month_ok = false;
        bool day_ok = false;
        const int month = line.sliced(5, 2).toInt(&month_ok);
        const int day = line.sliced(8, 2).toInt(&day_ok);
        if (!month_ok || !day_ok)
            return;
        const int number = month * 100 + day;
        if (line.size() > 10 && line[10] == '1')
            marks.days.insert(number, Day_mark::Memory);
        else if (line.size() > 11 && !marks.days.contains(number))
            marks.days.insert(number, Day_mark::Entry);
    });
}

}  // namespace

Year_marks Read_year_marks(Diary_store& store, int year)
{
    Year_marks marks;
    const QString folder = store.Year_folder(year);
    const Folder_listing listing = List_folder(folder);
    if (!listing.exists)
        return marks;
    for (const Folder_entry& entry : listing.entries) {
        if (const int number = Day_number_of_file(entry.name))
            marks.days.insert(number, Day_mark::Entry);
    }
    bool exists = false;
    QByteArray bytes;
    marks.error = Read_file_bytes(store.Keyword_file_path(year), bytes, exists);
    Mark_index_records(marks, year, bytes);
    return marks;
}

Year_marks Year_marks_of(int year, const Year_files& files)
{
    Year_marks marks;
    if (!files.folder_exists)
        return marks;
    for (const QByteArray& name : files.names) {
        if (const int number = Day_number_of_file(name))
            marks.days.insert(number, Day_mark::Entry);
    }
    marks.error = files.index_error;
    Mark_index_records(marks, year, files.index);
    return marks;
}

const Year_marks& Calendar_marks::Of_year(int year)
{
    auto found = years.find(year);
    if (found == years.end())
        found = years.insert(year, Read_year_marks(store, year));
    return *found;
}

std::optional<Panel_date> Calendar_step(const Panel_date& from, int days)
{
    QDate date = from.Calendar_date();
    if (!date.isValid()) {
        // 30 February and the like: from the real day next to it.
        const QDate first(from.year, from.month, 1);
        if (!first.isValid())
            return std::nullopt;
        if (days > 0)
            date = first.addMonths(1).addDays(days - 1);
        else
            date = first.addMonths(1).addDays(days);
    } else {
        date = date.addDays(days);
    }
    if (!date.isValid() || date.year() < First_year || date.year() > Last_year)
        return std::nullopt;
    return Panel_date::Of(date);
}

// One date in every year, read without a window: the page's years, memos,
// flags and texts from bytes written here; a day file that cannot be read;
// the calendar's marks from an index and a year folder; the steps of one
// day; the remembered order. Nothing here may write a diary file.

#include "diary/this_day.h"
#include "store/own_settings.h"
#include "store/store.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QtTest>

namespace {

QList<int> Years_of(const This_day_page& page)
{
    QList<int> years;
    for (const Year_of_day& y : page.years)
        years.append(y.year);
    return years;
}

const Year_of_day* Year_in(const This_day_page& page, int year)
{
    for (const Year_of_day& y : page.years) {
        if (y.year == year)
            return &y;
    }
    return nullptr;
}

// 晴れ。 CR LF 散歩した。 CR LF
const QByteArray Walk_file = Hex("90 b0 82 ea 81 42 0d 0a 8e 55 95 e0 82 b5 82 bd 81 42 0d 0a");
// 雨 CR LF
const QByteArray Rain_file = Hex("89 4a 0d 0a");

}  // namespace

class Test_this_day : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Temp_folder> folder;
    bool Put(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(folder->File(relative)).absolutePath());
        return Write_bytes(folder->File(relative), bytes);
    }

private slots:
    void init()
    {
        folder = std::make_unique<Temp_folder>();
        QVERIFY(folder->Ok());
    }

    void The_page_lists_each_year_with_a_file_or_a_record_oldest_first()
    {
        // 2025: file, memo 散歩 and the memory flag; 2020: a record only;
        // 2010: a file only, named in upper case; 1990 and 2100 at the ends
        // of the range; 2026 has other days only; 2101 lies outside.
        QVERIFY(Put("2025/1207.txt", Walk_file));
        QVERIFY(Put("2025/keyword.txt",
                    Hex("32 30 32 35 2f 31 32 2f 30 36 30 0d 0a"                  // 2025/12/060
                        "32 30 32 35 2f 31 32 2f 30 37 31 8e 55 95 e0 0d 0a")));  // 2025/12/071散歩
        QVERIFY(Put("2020/keyword.txt",
                    Hex("32 30 32 30 2f 31 32 2f 30 37 30 89 4a 0d 0a")));  // 2020/12/070雨
        QVERIFY(Put("2010/1207.TXT", Rain_file));
        QVERIFY(Put("1990/1207.txt", Rain_file));
        QVERIFY(Put("2100/1207.txt", Rain_file));
        QVERIFY(Put("2026/1206.txt", Rain_file));
        QVERIFY(Put("2026/keyword.txt", Hex("32 30 32 36 2f 31 32 2f 30 36 30 0d 0a")));
        QVERIFY(Put("2101/1207.txt", Rain_file));
        const auto before = File_tree(folder->Path());

        Diary_store store(folder->Path());
        const This_day_page page = Read_this_day(store, 12, 7);
        QCOMPARE(page.month, 12);
        QCOMPARE(page.day, 7);
        QCOMPARE(Years_of(page), (QList<int>{1990, 2010, 2020, 2025, 2100}));

        const Year_of_day* y2025 = Year_in(page, 2025);
        QVERIFY(y2025->has_record);
        QVERIFY(y2025->memory);
        QCOMPARE(y2025->memo, QStringLiteral("散歩"));
        QVERIFY(y2025->day.exists);
        QCOMPARE(y2025->day.text, QStringLiteral("晴れ。\n散歩した。"));
        const Year_of_day* y2020 = Year_in(page, 2020);
        QVERIFY(y2020->has_record);
        QVERIFY(!y2020->memory);
        QCOMPARE(y2020->memo, QStringLiteral("雨"));
        QVERIFY(!y2020->day.exists);
        QVERIFY(y2020->day.text.isEmpty());
        const Year_of_day* y2010 = Year_in(page, 2010);
        QVERIFY(!y2010->has_record);
        QCOMPARE(y2010->day.text, QStringLiteral("雨"));
        for (const Year_of_day& y : page.years) {
            QVERIFY(y.index_error.Ok());
            QVERIFY(y.day.error.Ok());
        }
        QCOMPARE(File_tree(folder->Path()), before);
    }

    void The_twenty_ninth_of_february_finds_the_leap_years()
    {
        QVERIFY(Put("2024/0229.txt", Rain_file));
        QVERIFY(Put("2020/0229.txt", Walk_file));
        QVERIFY(Put("2023/0228.txt", Rain_file));
        QVERIFY(Put("2023/0301.txt", Rain_file));
        Diary_store store(folder->Path());
        const This_day_page page = Read_this_day(store, 2, 29);
        QCOMPARE(Years_of(page), (QList<int>{2020, 2024}));
        QCOMPARE(page.years.at(0).day.text, QStringLiteral("晴れ。\n散歩した。"));
    }

    void A_date_without_entries_gives_an_empty_page()
    {
        QVERIFY(Put("2026/1207.txt", Rain_file));
        QVERIFY(QDir().mkpath(folder->File("2025")));
        Diary_store store(folder->Path());
        QVERIFY(Read_this_day(store, 3, 15).years.isEmpty());
        // An empty diary folder too.
        Temp_folder empty;
        Diary_store nothing(empty.Path());
        QVERIFY(Read_this_day(nothing, 12, 7).years.isEmpty());
    }

    void Files_that_cannot_be_read_are_reported_and_left_alone()
    {
        // A folder stands at 2024's day file, and at 2023's index.
        QVERIFY(QDir().mkpath(folder->File("2024/1207.txt")));
        QVERIFY(Put("2024/keyword.txt", Hex("32 30 32 34 2f 31 32 2f 30 37 30 89 4a 0d 0a")));
        QVERIFY(QDir().mkpath(folder->File("2023/keyword.txt")));
        QVERIFY(Put("2023/1207.txt", Rain_file));
        const auto before = File_tree(folder->Path());

        Diary_store store(folder->Path());
        const This_day_page page = Read_this_day(store, 12, 7);
        QCOMPARE(Years_of(page), (QList<int>{2023, 2024}));
        const Year_of_day* y2024 = Year_in(page, 2024);
        QVERIFY(y2024->day.exists);
        QCOMPARE(y2024->day.error.step, Io_step::Not_a_file);
        QVERIFY(y2024->day.text.isEmpty());
        QCOMPARE(y2024->memo, QStringLiteral("雨"));  // the rest of the year still shows
        const Year_of_day* y2023 = Year_in(page, 2023);
        QCOMPARE(y2023->index_error.step, Io_step::Not_a_file);
        QCOMPARE(y2023->day.text, QStringLiteral("雨"));
        QCOMPARE(File_tree(folder->Path()), before);
    }

    void The_calendar_marks_entries_and_memory_days_of_a_year()
    {
        QVERIFY(Put("2026/keyword.txt",
                    Hex("32 30 32 36 2f 31 31 2f 30 33 31 0d 0a"        // 11/03 memory, no memo
                        "32 30 32 36 2f 31 31 2f 31 30 30 0d 0a"        // 11/10 empty, with a file
                        "32 30 32 36 2f 31 31 2f 32 30 30 0d 0a"        // 11/20 empty, no file
                        "32 30 32 36 2f 31 31 2f 32 31 30 89 4a 0d 0a"  // 11/21 a memo
                        "32 30 32 35 2f 31 31 2f 32 32 31 0d 0a"        // another year's key
                        "32 30 32 36 2f 31 31 2f 31 30 31 0d 0a")));    // 11/10 again, flagged
        QVERIFY(Put("2026/1110.txt", Rain_file));
        QVERIFY(Put("2026/1125.TXT", Rain_file));
        QVERIFY(Put("2026/1126.conflict-20261126-101010.txt", Rain_file));
        QVERIFY(Put("2026/11260.txt", Rain_file));
        Diary_store store(folder->Path());
        const Year_marks marks = Read_year_marks(store, 2026);
        QVERIFY(marks.error.Ok());
        QCOMPARE(marks.days.value(1103, Day_mark::Entry), Day_mark::Memory);
        QCOMPARE(marks.days.value(1110, Day_mark::Entry), Day_mark::Memory);
        QVERIFY(!marks.days.contains(1120));
        QCOMPARE(marks.days.value(1121, Day_mark::Memory), Day_mark::Entry);
        QCOMPARE(marks.days.value(1125, Day_mark::Memory), Day_mark::Entry);
        QVERIFY(!marks.days.contains(1122));
        QVERIFY(!marks.days.contains(1126));
        QCOMPARE(marks.days.size(), 4);
        QVERIFY(Read_year_marks(store, 2030).days.isEmpty());

        // Each year is read once per calendar; a new calendar reads afresh.
        Calendar_marks calendar(store);
        QCOMPARE(calendar.Of_year(2026).days.size(), 4);
        QVERIFY(Put("2026/1201.txt", Rain_file));
        QCOMPARE(calendar.Of_year(2026).days.size(), 4);
        QCOMPARE(Calendar_marks(store).Of_year(2026).days.size(), 5);
    }

    void One_day_steps_over_months_years_and_impossible_dates()
    {
        const struct {
            Panel_date from;
            int days;
            std::optional<Panel_date> to;
        } cases[] = {
            {{2026, 12, 7}, 1, Panel_date{2026, 12, 8}},
            {{2026, 12, 31}, 1, Panel_date{2027, 1, 1}},
            {{2027, 1, 1}, -1, Panel_date{2026, 12, 31}},
            {{2024, 2, 28}, 1, Panel_date{2024, 2, 29}},
            {{2026, 2, 28}, 1, Panel_date{2026, 3, 1}},
            {{2026, 2, 30}, 1, Panel_date{2026, 3, 1}},
            {{2026, 2, 30}, -1, Panel_date{2026, 2, 28}},
            {{2024, 2, 31}, -1, Panel_date{2024, 2, 29}},
            {{2026, 4, 31}, 1, Panel_date{2026, 5, 1}},
            {{1990, 1, 1}, -1, std::nullopt},
            {{2100, 12, 31}, 1, std::nullopt},
            {{2100, 12, 30}, 1, Panel_date{2100, 12, 31}},
        };
        for (const auto& c : cases) {
            const std::optional<Panel_date> got = Calendar_step(c.from, c.days);
            QVERIFY2(got == c.to, qPrintable(c.from.Key() + QStringLiteral(" %1").arg(c.days)));
        }
    }

    void The_order_is_kept_in_the_programs_own_settings_file()
    {
        QVERIFY(Put("sorane-linux.ini", "[backup]\ndaily=false\n"));
        QVERIFY(!Read_oldest_first(folder->Path()));
        QVERIFY(Write_oldest_first(folder->Path(), true).Ok());
        QVERIFY(Read_oldest_first(folder->Path()));
        const QByteArray own = Read_bytes(folder->File("sorane-linux.ini"));
        QVERIFY2(own.contains("daily=false"), own.constData());
        QVERIFY(!QFileInfo::exists(folder->File("sorane.ini")));
        QVERIFY(Write_oldest_first(folder->Path(), false).Ok());
        QVERIFY(!Read_oldest_first(folder->Path()));
    }
};

QTEST_GUILESS_MAIN(Test_this_day)
#include "test_this_day.moc"

// The benchmarks' choice of days and years in a diary they are given.

#include "bench/bench_days.h"

#include "platform/cp932.h"
#include "store/day_list.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A day file of `size` bytes.
void Write_day(const QString& folder, const QString& name, qint64 size)
{
    Write(folder + QLatin1Char('/') + name, QByteArray(size, 'a'));
}

// An index of records "yyyy/mm/dd" + flag + memo, in code page 932 with CR LF.
void Write_index(const QString& folder, int year, const QStringList& records)
{
    QByteArray bytes;
    for (const QString& record : records)
        bytes += cp932::Encode(record).bytes + "\r\n";
    Write(folder + QStringLiteral("/%1/keyword.txt").arg(year), bytes);
}

Diary_day Day(int year, int month, int day, qint64 bytes)
{
    return {QDate(year, month, day), bytes};
}

QString Dates(const Day_pick& pick)
{
    QStringList out;
    for (const Diary_day& d : pick.days)
        out.append(Day_text(d));
    return out.join(QLatin1Char(' '));
}

}  // namespace

class Test_bench_days : public QObject {
    Q_OBJECT
private slots:
    void Size_bands()
    {
        const auto exact = Parse_size_band(u"2000");
        QVERIFY(exact);
        QCOMPARE(exact->low, 2000);
        QCOMPARE(exact->high, 2000);
        const auto band = Parse_size_band(u" 1500 - 2600 ");
        QVERIFY(band);
        QCOMPARE(band->low, 1500);
        QCOMPARE(band->high, 2600);
        for (const char16_t* bad : {u"", u"2600-1500", u"-5", u"1500-", u"2k", u"1-2-3"})
            QVERIFY2(!Parse_size_band(bad), qPrintable(QString::fromUtf16(bad)));

        const auto bands = Parse_size_bands(u"1500-2600,26000-32000");
        QVERIFY(bands);
        QCOMPARE(bands->size(), size_t(2));
        QCOMPARE(bands->at(1).low, 26000);
        QVERIFY(!Parse_size_bands(u"1500-2600,x"));
        QVERIFY(!Parse_size_bands(u""));

        QCOMPARE(Distance_from({10, 20}, 5), 5);
        QCOMPARE(Distance_from({10, 20}, 20), 0);
        QCOMPARE(Distance_from({10, 20}, 26), 6);
    }

    void Rough_sizes()
    {
        QCOMPARE(Rough_size(1500, 2600), QStringLiteral("~2 kB"));
        QCOMPARE(Rough_size(26000, 32000), QStringLiteral("~30 kB"));
        QCOMPARE(Rough_size(650, 700), QStringLiteral("~700 B"));
        QCOMPARE(Rough_size(4100, 4100), QStringLiteral("~4 kB"));
        QCOMPARE(Rough_size(0, 0), QStringLiteral("~0 B"));
    }

    // Only what the diary opens without a question: a valid day's file of at
    // most 32000 bytes with an index record; in date order across years.
    void Openable_days_of_a_folder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.path();
        Write_day(folder, QStringLiteral("2001/0101.txt"), 100);
        Write_day(folder, QStringLiteral("2001/0102.txt"), 200);    // no record
        Write_day(folder, QStringLiteral("2001/0103.txt"), 32001);  // over the limit
        Write_day(folder, QStringLiteral("2001/0104.txt"), 32000);
        Write_day(folder, QStringLiteral("2001/0230.txt"), 300);  // no such day
        Write_day(folder, QStringLiteral("2001/notes.txt"), 300);
        Write_index(folder, 2001,
                    {QStringLiteral("2001/01/040"), QStringLiteral("2001/01/010"),
                     QStringLiteral("2001/01/031"), QStringLiteral("2001/02/300")});
        Write_day(folder, QStringLiteral("1999/1231.txt"), 50);
        Write_index(folder, 1999, {QStringLiteral("1999/12/311散歩")});
        Write_day(folder, QStringLiteral("abcd/0101.txt"), 50);
        Write_day(folder, QStringLiteral("2002/0101.txt"), 50);  // a year without an index

        const std::vector<Diary_day> days = Openable_days(folder);
        QStringList found;
        for (const Diary_day& d : days)
            found.append(Day_text(d));
        QCOMPARE(found, (QStringList{QStringLiteral("1999/12/31 (50 bytes)"),
                                     QStringLiteral("2001/01/01 (100 bytes)"),
                                     QStringLiteral("2001/01/04 (32000 bytes)")}));
    }

    void One_day()
    {
        const std::vector<Diary_day> days = {Day(2000, 1, 1, 500), Day(2000, 1, 2, 2000),
                                             Day(2000, 1, 3, 2100), Day(2000, 1, 5, 900),
                                             Day(2000, 1, 6, 1100)};
        auto pick = Pick_day(days, {1500, 2600});
        QVERIFY(pick && pick->in_band);
        QCOMPARE(Dates(*pick), QStringLiteral("2000/01/02 (2000 bytes)"));

        // None of 1000 bytes exactly: 900 and 1100 are as near, the earlier wins.
        pick = Pick_day(days, {1000, 1000});
        QVERIFY(pick && !pick->in_band);
        QCOMPARE(Dates(*pick), QStringLiteral("2000/01/05 (900 bytes)"));

        pick = Pick_day(days, {26000, 32000});
        QVERIFY(pick && !pick->in_band);
        QCOMPARE(Dates(*pick), QStringLiteral("2000/01/03 (2100 bytes)"));

        QVERIFY(!Pick_day({}, {1, 2}));
    }

    void Two_neighbouring_days()
    {
        const std::vector<Diary_day> days = {
            Day(2000, 1, 30, 3000), Day(2000, 1, 31, 2000),  // in band, the first pair
            Day(2000, 2, 1, 2000),                           // a month apart from 01/31
            Day(2000, 2, 3, 2000),  Day(2000, 2, 4, 2500),   // in band too, but later
            Day(2000, 3, 1, 9000),  Day(2000, 3, 2, 9500),
        };
        auto pick = Pick_neighbours(days, {2000, 3000});
        QVERIFY(pick && pick->in_band);
        QCOMPARE(Dates(*pick), QStringLiteral("2000/01/30 (3000 bytes) 2000/01/31 (2000 bytes)"));

        pick = Pick_neighbours(days, {2000, 2600});
        QVERIFY(pick && pick->in_band);
        QCOMPARE(Dates(*pick), QStringLiteral("2000/02/03 (2000 bytes) 2000/02/04 (2500 bytes)"));

        // Nothing near 10000: the pair whose farther day is nearest.
        pick = Pick_neighbours(days, {10000, 10000});
        QVERIFY(pick && !pick->in_band);
        QCOMPARE(Dates(*pick), QStringLiteral("2000/03/01 (9000 bytes) 2000/03/02 (9500 bytes)"));

        // The farther days are as near (900 off); the nearer day decides.
        pick = Pick_neighbours(days, {2900, 2900});
        QVERIFY(pick && !pick->in_band);
        QCOMPARE(Dates(*pick), QStringLiteral("2000/01/30 (3000 bytes) 2000/01/31 (2000 bytes)"));

        // Days that are not neighbours in one month make no pair.
        QVERIFY(!Pick_neighbours({Day(2000, 1, 31, 10), Day(2000, 2, 1, 10), Day(2000, 2, 3, 10)},
                                 {10, 10}));
    }

    void Year_of_a_list()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.path();
        Write_index(folder, 2010, {QStringLiteral("2010/01/011散歩")});
        Write_index(folder, 2014,
                    {QStringLiteral("2014/01/010散歩"), QStringLiteral("2014/01/020")});
        Write_index(folder, 2018,
                    {QStringLiteral("2018/01/011旅行"), QStringLiteral("2018/01/021")});
        const auto walks = [](const QString& line) {
            return Keyword_test(line, QStringLiteral("散歩"));
        };

        auto pick = Pick_year(folder, 2014, walks);
        QVERIFY(pick && pick->wanted);
        QCOMPARE(pick->year, 2014);
        QCOMPARE(pick->records, 1);

        // 2010 and 2018 are as near to 2014; the earlier has memory days.
        pick = Pick_year(folder, 2014, Memory_test);
        QVERIFY(pick && !pick->wanted);
        QCOMPARE(pick->year, 2010);
        pick = Pick_year(folder, 2017, Memory_test);
        QVERIFY(pick && !pick->wanted);
        QCOMPARE(pick->year, 2018);
        QCOMPARE(pick->records, 2);

        QVERIFY(!Pick_year(folder, 2014, [](const QString& line) {
            return Keyword_test(line, QStringLiteral("会議"));
        }));
    }
};

QTEST_GUILESS_MAIN(Test_bench_days)
#include "test_bench_days.moc"

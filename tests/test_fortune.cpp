// The fortune: its tables, the generator and the drawing, with the clock
// faked and, where the order of every step matters, a scripted generator.

#include "fortune/draw_fortune.h"
#include "fortune/fortune_tables.h"
#include "fortune/generator.h"
#include "support/fake_clock.h"

#include <QSet>
#include <QtTest>
#include <cmath>
#include <deque>
#include <stdexcept>

namespace {

// A text from its UTF-16 code units, so a check does not rest on the same
// source characters as the table it checks.
QString Units(std::initializer_list<char16_t> units)
{
    return QString(reinterpret_cast<const QChar*>(units.begin()), qsizetype(units.size()));
}

// Plays back a fixed list of draws and writes every call into a shared log.
class Scripted_generator final : public Random_generator {
public:
    Scripted_generator(QStringList& call_log, std::deque<double> scripted_draws)
        : log(call_log), draws(std::move(scripted_draws))
    {}

    double Draw() override
    {
        log << QStringLiteral("draw");
        if (draws.empty()) {
            overdrawn = true;
            return 0.0;
        }
        const double u = draws.front();
        draws.pop_front();
        return u;
    }
    void Seed_from_clock(const QDateTime& now, quint64 tick) override
    {
        log << QStringLiteral("clock:") + now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        ticks << tick;
    }
    void Reseed(double x) override
    {
        log << QStringLiteral("reseed:") + QString::number(x, 'g', 12);
        if (after_reseed)
            after_reseed();
    }

    std::size_t Left() const { return draws.size(); }

    QStringList& log;
    std::deque<double> draws;
    QList<quint64> ticks;  // the tick of every seed from the clock
    bool overdrawn = false;
    std::function<void()> after_reseed;
};

class Recording_listener final : public Fortune_listener {
public:
    explicit Recording_listener(QStringList& call_log) : log(call_log) {}

    void Pass_events() override { log << QStringLiteral("events"); }
    void Wait_over() override { log << QStringLiteral("wait over"); }
    void Luck_told(const QString& luck) override
    {
        log << QStringLiteral("luck:") + luck;
        results << luck;
        if (throw_on_luck)
            throw std::runtime_error("listener failed");
    }
    void Color_told(const QString& color) override
    {
        log << QStringLiteral("color:") + color;
        results << color;
    }
    void Number_told(const QString& number) override
    {
        log << QStringLiteral("number:") + number;
        results << number;
    }
    void Advice_told(const QString& advice) override
    {
        log << QStringLiteral("advice:") + advice;
        results << advice;
    }
    bool Stop_requested() override
    {
        log << QStringLiteral("stop?");
        return stop && stop();
    }

    QStringList& log;
    QStringList results;
    std::function<bool()> stop;
    bool throw_on_luck = false;
};

// The drawing's calls without the listener's "stop?" answers.
QStringList Without_stop_questions(QStringList log)
{
    log.removeAll(QStringLiteral("stop?"));
    return log;
}

struct Counts {
    QList<int> bins;
    int total = 0;
};

// Pearson's statistic of the counts against the expected shares.
double Chi_square(const Counts& counts, const QList<double>& shares)
{
    double sum = 0;
    for (int i = 0; i < counts.bins.size(); ++i) {
        const double expected = shares[i] * counts.total;
        const double diff = counts.bins[i] - expected;
        sum += diff * diff / expected;
    }
    return sum;
}

// Every bin within five standard deviations of its expected share.
QString Bins_out_of_tolerance(const Counts& counts, const QList<double>& shares)
{
    QStringList out;
    for (int i = 0; i < counts.bins.size(); ++i) {
        const double p = shares[i];
        const double share = double(counts.bins[i]) / counts.total;
        const double sd = std::sqrt(p * (1 - p) / counts.total);
        if (std::abs(share - p) > 5 * sd)
            out << QStringLiteral("index %1: %2 % (expected %3 %)")
                       .arg(i)
                       .arg(share * 100, 0, 'f', 3)
                       .arg(p * 100, 0, 'f', 3);
    }
    return out.join(QStringLiteral("; "));
}

// L and T as they would come over many days of use: lengths from 1 to
// 32000, times across the day, midnight (T = 0) among them.
double Trial_seed(int trial)
{
    const qint64 length = 1 + (qint64(trial) * 7919) % 32000;
    const qint64 seconds = trial % 97 == 0 ? 0 : (qint64(trial) * 104729) % 86400;
    return length * (seconds / 86400.0);
}

}  // namespace

class Test_fortune : public QObject {
    Q_OBJECT

private slots:
    void tables()
    {
        QCOMPARE(luck_table.size(), std::size_t(10));
        QCOMPARE(color_table.size(), std::size_t(10));
        QCOMPARE(number_table.size(), std::size_t(10));
        QCOMPARE(advice_table.size(), std::size_t(30));

        // Whole tables, in order.
        QCOMPARE(QStringList(luck_table.begin(), luck_table.end()).join(u'|'),
                 QStringLiteral("大凶|凶|小凶|末吉|小吉|吉|中吉|大吉|極吉|ウルトラ吉"));
        QCOMPARE(QStringList(color_table.begin(), color_table.end()).join(u'|'),
                 QStringLiteral("赤|オレンジ|黄|緑|青|紫|白|黒|金|銀"));
        QCOMPARE(QStringList(advice_table.begin(), advice_table.end()).join(u'|'),
                 QStringLiteral("転ばぬ先の杖|手抜きは禁物|好奇心を大切に|愛こそはすべて|"
                                "理想は高く|誠意は通じる|アイデアは即実行|趣味を活かして|"
                                "自己主張は程々に|新進の心意気を|楽しいこと優先で|"
                                "わがままは禁物|自分に自信を|急がばまわれ|健康第一|"
                                "意地をはらずに|素直が一番|度胸一発|時には手抜きも大事|"
                                "気楽にやろう|天網恢恢疎にして漏らさず|優しさを大切に|"
                                "やまない雨は無い|笑顔が魅力的|友情は宝|家族を大切に|"
                                "限界に挑戦|信用第一|地球にやさしく|年長者を大事に"));

        // Code units, for the characters most easily typed wrong.
        QCOMPARE(luck_table[0], Units({0x5927, 0x51F6}));
        QCOMPARE(luck_table[8], Units({0x6975, 0x5409}));
        QCOMPARE(luck_table[9], Units({0x30A6, 0x30EB, 0x30C8, 0x30E9, 0x5409}));
        QCOMPARE(color_table[1], Units({0x30AA, 0x30EC, 0x30F3, 0x30B8}));
        QCOMPARE(color_table[9], Units({0x9280}));
        QCOMPARE(advice_table[9], Units({0x65B0, 0x9032, 0x306E, 0x5FC3, 0x610F, 0x6C17, 0x3092}));
        QCOMPARE(advice_table[13], Units({0x6025, 0x304C, 0x3070, 0x307E, 0x308F, 0x308C}));
        QCOMPARE(advice_table[20], Units({0x5929, 0x7DB2, 0x6062, 0x6062, 0x758E, 0x306B, 0x3057,
                                          0x3066, 0x6F0F, 0x3089, 0x3055, 0x305A}));
        // Full-width digits U+FF10 to U+FF19, one character each.
        for (int i = 0; i < 10; ++i)
            QCOMPARE(number_table[i], QString(QChar(char16_t(0xFF10 + i))));

        // No entry repeats another in its table.
        const QStringList advice(advice_table.begin(), advice_table.end());
        QCOMPARE(QSet<QString>(advice.begin(), advice.end()).size(), 30);
    }

    void inputs_of_the_seeds()
    {
        // L: code units, every line break two.
        QCOMPARE(Fortune_text_length(QString()), 0);
        QCOMPARE(Fortune_text_length(QStringLiteral("\n")), 2);
        QCOMPARE(Fortune_text_length(QStringLiteral("今日は晴れ\n\nまた明日")), 13);
        QCOMPARE(Fortune_text_length(QStringLiteral("a\r\nb")), 4);
        QCOMPARE(Fortune_text_length(QStringLiteral("a\rb")), 4);
        QCOMPARE(Fortune_text_length(QStringLiteral("a") + QChar(QChar::ParagraphSeparator)), 3);
        QCOMPARE(Fortune_text_length(QStringLiteral(" ")), 1);
        // A character outside the basic plane is two code units.
        QCOMPARE(Fortune_text_length(QStringLiteral("𠮷野家")), 4);

        // D: whole days since 30 December 1899.
        QCOMPARE(Ole_day_number(QDate(1899, 12, 30)), qint64(0));
        QCOMPARE(Ole_day_number(QDate(1900, 3, 1)), qint64(61));
        QCOMPARE(Ole_day_number(QDate(2000, 1, 1)), qint64(36526));
        QCOMPARE(Ole_day_number(QDate(2026, 12, 7)), qint64(46363));
        QCOMPARE(Ole_day_number(QDate(2100, 12, 31)), qint64(73415));

        // T: seconds since midnight over 86400.
        QCOMPARE(Time_of_day_fraction(QTime(0, 0, 0)), 0.0);
        QCOMPARE(Time_of_day_fraction(QTime(18, 0, 0)), 0.75);
        QCOMPARE(Time_of_day_fraction(QTime(21, 30, 15)), 77415 / 86400.0);
        QCOMPARE(Time_of_day_fraction(QTime(23, 59, 59, 999)), 86399 / 86400.0);
    }

    void generator_draws_in_range_with_24_bits()
    {
        Fortune_generator generator(12345);
        double low = 1, high = 0;
        int odd_24th_bit = 0;
        QSet<quint32> buckets;
        const int draws = 200000;
        for (int i = 0; i < draws; ++i) {
            const double u = generator.Draw();
            QVERIFY2(u >= 0.0 && u < 1.0, qPrintable(QString::number(u, 'g', 17)));
            low = std::min(low, u);
            high = std::max(high, u);
            const quint32 bucket = quint32(u * 16777216.0);
            odd_24th_bit += bucket & 1;
            if (i < 4096)
                buckets.insert(bucket);
        }
        QVERIFY(low < 1e-4);
        QVERIFY(high > 1 - 1e-4);
        // The 24th bit is set about half the time (a coarser generator never
        // sets it), and 4096 draws almost never share a 24-bit value (a
        // 16-bit generator would have about 128 repeats).
        QVERIFY2(std::abs(odd_24th_bit - draws / 2) < 2000,
                 qPrintable(QString::number(odd_24th_bit)));
        QVERIFY2(buckets.size() >= 4090, qPrintable(QString::number(buckets.size())));
    }

    void generator_reseed_mixes_into_the_state()
    {
        const QList<double> seeds = {0.0,           -0.0,     2.3148148148148147e-05,
                                     8.96006944444, 463630.0, 2349280000.0};
        for (const double x : seeds) {
            // Draw, re-seed with x, draw: even when x was used just before.
            Fortune_generator generator(777);
            generator.Reseed(x);
            const double first = generator.Draw();
            generator.Reseed(x);
            const double second = generator.Draw();
            generator.Reseed(x);
            const double third = generator.Draw();
            QVERIFY2(first != second && second != third && first != third,
                     qPrintable(QString::number(x, 'g', 17)));

            // The state after a re-seed depends on the state before it...
            Fortune_generator other(778);
            other.Reseed(x);
            QVERIFY(other.State() != Fortune_generator(777).State());
            Fortune_generator same(777);
            same.Reseed(x);
            QVERIFY(other.Draw() != same.Draw());
            // ...and on x, and on nothing else.
            Fortune_generator again(777);
            again.Reseed(x);
            Fortune_generator moved(777);
            moved.Reseed(x + 1);
            QVERIFY(again.State() != moved.State());
            QCOMPARE(again.Draw(), first);
        }

        // 1999 re-seeds with one x, as in the wait phase, never fall into a
        // short cycle.
        Fortune_generator generator(4242);
        QSet<quint64> states;
        for (int i = 0; i < 1999; ++i) {
            generator.Reseed(463630.0);
            states.insert(generator.State());
        }
        QCOMPARE(states.size(), 1999);
    }

    void generator_seed_from_clock()
    {
        const QDateTime noon(QDate(2026, 12, 7), QTime(12, 0, 0));
        Fortune_generator first(1), second(1);
        first.Seed_from_clock(noon, 5000);
        second.Seed_from_clock(noon.addSecs(1), 5000);
        QVERIFY(first.State() != second.State());
        QVERIFY(first.State() != Fortune_generator(1).State());
        // Within the same second the tick tells two seeds apart...
        Fortune_generator later_tick(1);
        later_tick.Seed_from_clock(noon, 5001);
        QVERIFY(later_tick.State() != first.State());
        // ...and so does the state before: the same time and tick again
        // still move the generator on.
        const quint64 before = first.State();
        first.Seed_from_clock(noon, 5000);
        QVERIFY(first.State() != before);
        // The seed reads nothing but the state, the time and the tick.
        Fortune_generator third(1);
        third.Seed_from_clock(noon, 5000);
        QCOMPARE(third.State(), before);
    }

    void luck_redraw_rule_data()
    {
        QTest::addColumn<QList<double>>("draws");
        QTest::addColumn<int>("luck");

        QTest::newRow("first 3 is final") << QList<double>{0.3} << 3;
        QTest::newRow("first 6 is final") << QList<double>{0.6999} << 6;
        QTest::newRow("first 2, second 5") << QList<double>{0.2999, 0.5} << 5;
        QTest::newRow("first 7, second 1 is final") << QList<double>{0.7, 0.1} << 1;
        QTest::newRow("first 0, second 8 is final") << QList<double>{0.0, 0.8999} << 8;
        QTest::newRow("first 8, second 2 is final") << QList<double>{0.85, 0.25} << 2;
        QTest::newRow("first 9, second 7 is final") << QList<double>{0.95, 0.75} << 7;
        QTest::newRow("second 9, third 4") << QList<double>{0.85, 0.99, 0.45} << 4;
        QTest::newRow("second 0, third 0 is final") << QList<double>{0.15, 0.05, 0.0} << 0;
        QTest::newRow("second 9, third 9 is final") << QList<double>{0.9, 0.9, 0.9999999999} << 9;
        QTest::newRow("second 0, third 7 is final") << QList<double>{0.25, 0.02, 0.7} << 7;
    }

    void luck_redraw_rule()
    {
        QFETCH(QList<double>, draws);
        QFETCH(int, luck);

        QStringList log;
        Scripted_generator generator(log, std::deque<double>(draws.begin(), draws.end()));
        int seeds_made = 0;
        const int drawn = Draw_luck_index(generator, [&] {
            ++seeds_made;
            return 8.5;
        });
        QCOMPARE(drawn, luck);
        QCOMPARE(generator.Left(), std::size_t(0));
        QVERIFY(!generator.overdrawn);
        // A fresh L x T before every draw, nothing else.
        QCOMPARE(seeds_made, int(draws.size()));
        QStringList expected;
        for (int i = 0; i < draws.size(); ++i)
            expected << QStringLiteral("reseed:8.5") << QStringLiteral("draw");
        QCOMPARE(log, expected);
    }

    void drawing_in_order()
    {
        Fake_clock clock;  // 7 December 2026, 21:30:15
        QStringList calls;
        Scripted_generator generator(calls, {
                                                3.5 / 2000,  // wait: 3 passes
                                                0.75,        // luck 7: again
                                                0.95,        // luck 9: again
                                                0.05,        // luck 0, final
                                                2.5 / 500,   // colour: 2 passes
                                                0.5,         // colour 5
                                                1.5 / 600,   // number: 1 pass
                                                0.99,        // number 9
                                                0.0,         // advice: no pass
                                                29.5 / 30,   // advice 29
                                            });
        Recording_listener listener(calls);
        const auto end = Draw_fortune(
            clock, generator, [] { return qint32(10); }, listener);

        QCOMPARE(end, Fortune_end::Told);
        QVERIFY(!generator.overdrawn);
        QCOMPARE(generator.Left(), std::size_t(0));
        // L = 10, D = 46363, T = 77415 / 86400.
        const QString by_date = QStringLiteral("reseed:463630");
        const QString by_time = QStringLiteral("reseed:8.96006944444");
        const QString clock_seed = QStringLiteral("clock:2026-12-07 21:30:15");
        const QString draw = QStringLiteral("draw");
        const QStringList expected = {
            clock_seed,
            draw,
            by_date,
            QStringLiteral("events"),
            QStringLiteral("stop?"),
            by_date,
            QStringLiteral("events"),
            QStringLiteral("stop?"),
            by_date,
            QStringLiteral("events"),
            QStringLiteral("stop?"),
            QStringLiteral("wait over"),
            by_time,
            draw,
            by_time,
            draw,
            by_time,
            draw,
            QStringLiteral("luck:大凶"),
            clock_seed,
            draw,
            by_time,
            by_time,
            by_time,
            draw,
            QStringLiteral("color:紫"),
            clock_seed,
            draw,
            by_date,
            by_time,
            draw,
            QStringLiteral("number:９"),
            clock_seed,
            draw,
            by_time,
            draw,
            QStringLiteral("advice:年長者を大事に"),
        };
        QCOMPARE(calls, expected);
        QCOMPARE(listener.results,
                 QStringList({QStringLiteral("大凶"), QStringLiteral("紫"), QStringLiteral("９"),
                              QStringLiteral("年長者を大事に")}));
        // Every seed from the clock takes a fresh steady tick from it.
        QCOMPARE(generator.ticks, QList<quint64>({1000, 2000, 3000, 4000}));
        QCOMPARE(clock.tick, quint64(4000));
    }

    void wait_phase_pass_counts()
    {
        // Below 1/2000 there is no pass and the wait is over at once; just
        // below 1 there are 1999 passes, one event pass each.
        for (const auto& [r, passes] :
             {std::pair{0.0004999, 0}, std::pair{0.0005, 1}, std::pair{0.99999999, 1999}}) {
            Fake_clock clock;
            QStringList log;
            Scripted_generator generator(log, {r, 0.5, 0.0, 0.5, 0.0, 0.5, 0.0, 0.5});
            Recording_listener listener(log);
            QCOMPARE(Draw_fortune(
                         clock, generator, [] { return qint32(2); }, listener),
                     Fortune_end::Told);
            QCOMPARE(int(log.count(QStringLiteral("events"))), passes);
            QCOMPARE(int(log.count(QStringLiteral("stop?"))), passes);
            const QStringList calls = Without_stop_questions(log);
            QCOMPARE(calls.indexOf(QStringLiteral("wait over")), 2 + 2 * passes);
            // Event passes come in the wait phase only.
            QCOMPARE(calls.lastIndexOf(QStringLiteral("events")),
                     passes == 0 ? -1 : 2 + 2 * passes - 1);
            QCOMPARE(calls.first(), QStringLiteral("clock:2026-12-07 21:30:15"));
            QVERIFY(calls.last().startsWith(QStringLiteral("advice:")));
        }
    }

    void every_seed_reads_length_and_clock_afresh()
    {
        // The text grows by one with every reading of L, and the clock moves
        // on a second with every re-seed, across midnight.
        Fake_clock clock;
        clock.now = QDateTime(QDate(2026, 12, 7), QTime(23, 59, 58));
        QStringList log;
        Scripted_generator generator(log, {3.5 / 2000, 0.5, 0.0, 0.5, 0.0, 0.5, 0.0, 0.5});
        generator.after_reseed = [&] { clock.now = clock.now.addSecs(1); };
        Recording_listener listener(log);
        qint32 length = 0;
        Draw_fortune(
            clock, generator, [&] { return ++length; }, listener);

        const QStringList calls = Without_stop_questions(log);
        QStringList reseeds;
        QStringList clocks;
        for (const QString& call : calls) {
            if (call.startsWith(QStringLiteral("reseed:")))
                reseeds << call.mid(7);
            if (call.startsWith(QStringLiteral("clock:")))
                clocks << call.mid(6);
        }
        // Wait: L = 1, 2, 3 by D = 46363, 46363, then 46364 past midnight.
        // Luck at 00:00:01 with L = 4; colour, number and advice at
        // 00:00:02, 00:00:03 and 00:00:04 with L = 5, 6 and 7.
        QCOMPARE(reseeds,
                 QStringList({QStringLiteral("46363"), QStringLiteral("92726"),
                              QStringLiteral("139092"), QString::number(4 * 1 / 86400.0, 'g', 12),
                              QString::number(5 * 2 / 86400.0, 'g', 12),
                              QString::number(6 * 3 / 86400.0, 'g', 12),
                              QString::number(7 * 4 / 86400.0, 'g', 12)}));
        QCOMPARE(clocks, QStringList({QStringLiteral("2026-12-07 23:59:58"),
                                      QStringLiteral("2026-12-08 00:00:02"),
                                      QStringLiteral("2026-12-08 00:00:03"),
                                      QStringLiteral("2026-12-08 00:00:04")}));
    }

    void stop_during_the_wait()
    {
        Fake_clock clock;
        QStringList log;
        Scripted_generator generator(log, {10.5 / 2000, 0.5, 0.5});
        Recording_listener listener(log);
        // The window is closed during the second event pass.
        listener.stop = [&] { return log.count(QStringLiteral("events")) == 2; };
        int lengths_read = 0;
        const auto end = Draw_fortune(
            clock, generator,
            [&] {
                ++lengths_read;
                return qint32(5);
            },
            listener);

        QCOMPARE(end, Fortune_end::Stopped);
        const QString by_date = QStringLiteral("reseed:231815");
        QCOMPARE(log,
                 QStringList({QStringLiteral("clock:2026-12-07 21:30:15"), QStringLiteral("draw"),
                              by_date, QStringLiteral("events"), QStringLiteral("stop?"), by_date,
                              QStringLiteral("events"), QStringLiteral("stop?")}));
        QVERIFY(listener.results.isEmpty());
        QCOMPARE(lengths_read, 2);
        QCOMPARE(generator.Left(), std::size_t(2));
    }

    void a_failing_report_ends_the_drawing()
    {
        Fake_clock clock;
        QStringList log;
        Scripted_generator generator(log, {0.0, 0.5, 0.5});
        Recording_listener listener(log);
        listener.throw_on_luck = true;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 Draw_fortune(
                                     clock, generator, [] { return qint32(1); }, listener));
        // The failure leaves the drawing at once: no seed, draw or report
        // after the luck.
        QCOMPARE(log.last(), QStringLiteral("luck:吉"));
        QCOMPARE(generator.Left(), std::size_t(1));
        QCOMPARE(generator.ticks.size(), 1);
    }

    void luck_shares_with_our_generator()
    {
        Fortune_generator generator(20261207);
        Counts counts{QList<int>(10, 0), 100000};
        for (int trial = 0; trial < counts.total; ++trial) {
            // All draws of one fortune re-seed with the same L x T.
            const double seed = Trial_seed(trial);
            ++counts.bins[Draw_luck_index(generator, [&] { return seed; })];
        }
        const QList<double> shares = {0.012, 0.072, 0.072, 0.172, 0.172,
                                      0.172, 0.172, 0.072, 0.072, 0.012};
        const QString off = Bins_out_of_tolerance(counts, shares);
        QVERIFY2(off.isEmpty(), qPrintable(off));
        // Nine degrees of freedom: above 44.8 happens once in a million.
        const double chi = Chi_square(counts, shares);
        QVERIFY2(chi < 44.8, qPrintable(QString::number(chi)));
    }

    void colour_number_and_advice_are_uniform()
    {
        Fortune_generator generator(46363);
        for (const int size : {Color_count, Number_count, Advice_count}) {
            Counts counts{QList<int>(size, 0), 100000};
            for (int trial = 0; trial < counts.total; ++trial)
                ++counts.bins[Draw_table_index(generator, Trial_seed(trial), size)];
            const QList<double> shares(size, 1.0 / size);
            const QString off = Bins_out_of_tolerance(counts, shares);
            QVERIFY2(off.isEmpty(), qPrintable(off));
            // Once in a million: 44.8 for 9 degrees of freedom, 80.4 for 29.
            const double chi = Chi_square(counts, shares);
            QVERIFY2(chi < (size == 10 ? 44.8 : 80.4), qPrintable(QString::number(chi)));
        }
    }

    void whole_fortunes_with_our_generator()
    {
        // Asked again and again within one second, and at midnight where
        // every L x T is 0: the results still differ from one fortune to the
        // next, and every text comes from its table.
        Fortune_generator generator;
        for (const QTime time : {QTime(0, 0, 0), QTime(21, 30, 15)}) {
            Fake_clock clock;
            clock.now = QDateTime(QDate(2026, 12, 7), time);
            QSet<QString> seen;
            for (int i = 0; i < 40; ++i) {
                QStringList log;
                Recording_listener listener(log);
                QCOMPARE(Draw_fortune(
                             clock, generator, [] { return qint32(120); }, listener),
                         Fortune_end::Told);
                QCOMPARE(listener.results.size(), 4);
                QVERIFY(std::find(luck_table.begin(), luck_table.end(), listener.results[0]) !=
                        luck_table.end());
                QVERIFY(std::find(color_table.begin(), color_table.end(), listener.results[1]) !=
                        color_table.end());
                QVERIFY(std::find(number_table.begin(), number_table.end(), listener.results[2]) !=
                        number_table.end());
                QVERIFY(std::find(advice_table.begin(), advice_table.end(), listener.results[3]) !=
                        advice_table.end());
                seen.insert(listener.results.join(u'|'));
            }
            QVERIFY2(seen.size() >= 30, qPrintable(QString::number(seen.size())));
        }
    }
};

QTEST_GUILESS_MAIN(Test_fortune)
#include "test_fortune.moc"

// How much was written: the counts of a generated diary against a plain
// count of what the test wrote (leap years, 29 February, 30 February, empty
// days, days of line breaks alone, companions with emoji), "sorane --stats"
// run for real (its bytes and exit codes), the runs of days, the kept
// counts following a changed day and surviving a new run, and the words of
// a fixed text against the analyser's own command.

#include "diary/records.h"
#include "diary/words.h"
#include "store/store.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

// Characters of code page 932 as the test writes them, one character each.
const char* const Palette[] = {"82 a0", "93 fa", "8b 4c", "41", "20", "81 40", "b1", "81 45"};

struct Expected_year {
    int days = 0;
    qint64 characters = 0;
};

struct Run_result {
    int code = -1;
    QByteArray out;
    QString err;
};

}  // namespace

class Test_records : public QObject {
    Q_OBJECT

    std::unique_ptr<Temp_folder> root;
    QString diary;

    // A diary of several years, each day drawn from a fixed sequence: no
    // file, an empty file, line breaks alone, a memo alone, or text.
    QMap<int, Expected_year> Generate()
    {
        QMap<int, Expected_year> expected;
        quint32 seed = 12345;
        auto next = [&seed](quint32 below) {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) % below;
        };
        for (const int year : {1990, 2000, 2023, 2024, 2100}) {
            const QString folder = diary + QString::number(year) + QLatin1Char('/');
            if (!QDir().mkpath(folder))
                return {};
            Expected_year& e = expected[year];
            QByteArray index;
            for (int month = 1; month <= 12; ++month) {
                for (int day = 1; day <= 31; ++day) {
                    const QByteArray name = QStringLiteral("%1%2.txt")
                                                .arg(month, 2, 10, QLatin1Char('0'))
                                                .arg(day, 2, 10, QLatin1Char('0'))
                                                .toLatin1();
                    const QByteArray key = QStringLiteral("%1/%2/%3")
                                               .arg(year)
                                               .arg(month, 2, 10, QLatin1Char('0'))
                                               .arg(day, 2, 10, QLatin1Char('0'))
                                               .toLatin1();
                    // 29 February of every year and 30 February hold text.
                    const bool february = month == 2 && (day == 29 || day == 30);
                    const quint32 kind = february ? 4 : next(8);
                    // The companions' days below.
                    if ((year == 2024 && month == 5 && day == 5) ||
                        (year == 2023 && month == 6 && day == 6))
                        continue;
                    if (kind == 0 || kind == 5 || kind == 6 ||
                        (day == 31 && !february && kind != 7))
                        continue;  // no file (and most 31sts, whatever the month)
                    QByteArray bytes;
                    if (kind == 2)
                        bytes = "\r\n\r\n";
                    if (kind == 3) {
                        index += key + "0" + Hex("89 4a") + "\r\n";  // memo 雨, no text
                        continue;
                    }
                    if (kind == 4 || kind == 7) {
                        const quint32 tokens = 1 + next(40);
                        int characters = 0;
                        for (quint32 t = 0; t < tokens; ++t) {
                            if (next(8) == 0) {
                                bytes += "\r\n";
                            } else {
                                bytes += Hex(Palette[next(std::size(Palette))]);
                                ++characters;
                            }
                        }
                        bytes += Hex("8f 49");  // 終
                        ++characters;
                        ++e.days;
                        e.characters += characters;
                        if (kind == 7)
                            index += key + "1" + Hex("8e 50") + "\r\n";  // 思い出, memo 傘
                    }
                    if (!Write_bytes(folder + QString::fromLatin1(name), bytes))
                        return {};
                }
            }
            if (!Write_bytes(folder + "keyword.txt", index))
                return {};
        }
        // Companions: 晴😀𠮷 / 散 is four characters, 😀👍 two.
        if (!Write_bytes(diary + "2024/0505.utf8.txt", "傘\n晴😀𠮷\n散") ||
            !Write_bytes(diary + "2024/0505.txt", Hex("90 b0 3f 3f 0d 0a 8e 55 0d 0a")) ||
            !Write_bytes(diary + "2024/keyword.txt", Read_bytes(diary + "2024/keyword.txt") +
                                                         "2024/05/051" + Hex("8e 50") + "\r\n") ||
            !Write_bytes(diary + "2023/0606.utf8.txt", "\n😀👍") ||
            !Write_bytes(diary + "2023/0606.txt", "??\r\n"))
            return {};
        expected[2024].days += 1;
        expected[2024].characters += 4;
        expected[2023].days += 1;
        expected[2023].characters += 2;
        return expected;
    }

    Run_result Run(const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "SORANE_HOME"})
            environment.remove(QString::fromLatin1(name));
        environment.insert("HOME", root->File("home"));
        environment.insert("XDG_CACHE_HOME", root->File("cache"));
        environment.insert("XDG_RUNTIME_DIR", root->File("run"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(root->Path());
        process.start(QStringLiteral(SORANE_EXE), arguments);
        Run_result r;
        if (!process.waitForFinished(60000))
            return r;
        r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = process.readAllStandardOutput();
        r.err = QString::fromUtf8(process.readAllStandardError());
        return r;
    }

private slots:
    void init()
    {
        root = std::make_unique<Temp_folder>();
        diary = root->File("diary/");
        QVERIFY(QDir().mkpath(diary));
    }

    void Stats_match_a_plain_count_of_a_generated_diary()
    {
        const QMap<int, Expected_year> expected = Generate();
        QVERIFY(!expected.isEmpty());
        // An empty year folder is a line of zeros; a folder that is no
        // year's is no line.
        QVERIFY(QDir().mkpath(diary + "2050"));
        QVERIFY(QDir().mkpath(diary + "1989"));
        QVERIFY(QDir().mkpath(diary + "history/2024"));
        QByteArray lines;
        int days = 0;
        qint64 characters = 0;
        for (const int year : {1990, 2000, 2023, 2024, 2050, 2100}) {
            const Expected_year e = expected.value(year);
            lines += QByteArray::number(year) + '\t' + QByteArray::number(e.days) + '\t' +
                     QByteArray::number(e.characters) + '\n';
            days += e.days;
            characters += e.characters;
        }
        lines +=
            "total\t" + QByteArray::number(days) + '\t' + QByteArray::number(characters) + '\n';
        const QMap<QString, QByteArray> before = File_tree(root->Path());
        Run_result r = Run({"--stats", "--diary", diary});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, lines);
        // It read and wrote nothing else: no cache, no lock, no file.
        QCOMPARE(File_tree(root->Path()), before);
    }

    void Stats_exit_codes_and_messages()
    {
        QVERIFY(QDir().mkpath(diary + "2026"));
        QVERIFY(Write_bytes(diary + "2026/1209.txt", Hex("90 b0 82 ea 0d 0a")));  // 晴れ
        Run_result r = Run({"--stats", "--diary", diary});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("2026\t1\t2\ntotal\t1\t2\n"));

        r = Run({"--stats", "--diary", root->File("none")});
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err,
                 QStringLiteral("日記のフォルダーがありません: %1\n").arg(root->File("none")));

        r = Run({"--stats", "2026", "--diary", diary});
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err, QStringLiteral("余分な引数があります: 2026\n"));
        r = Run({"--stats", "--from", "2026/01/01"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.startsWith(QStringLiteral("不明なオプションです: --from\n")));
        r = Run({"--stats", "--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("使い方: sorane --stats [--diary DIR]\n"));

        // A day behind a link is not read: the rest is counted, the file
        // named, and the end is 2.
        QVERIFY(Write_bytes(root->File("elsewhere.txt"), "secret"));
        QVERIFY(QFile::link(root->File("elsewhere.txt"), diary + "2026/1210.txt"));
        r = Run({"--stats", "--diary", diary});
        QCOMPARE(r.code, 2);
        QCOMPARE(r.out, QByteArray("2026\t1\t2\ntotal\t1\t2\n"));
        QVERIFY(r.err.startsWith(QStringLiteral("読み込めないファイルがあり、数に入れていません。\n"
                                                "ファイル: %1\n理由: ")
                                     .arg(diary + "2026/1210.txt")));
    }

    void Folders_that_cannot_be_listed_are_named()
    {
        if (QString failure; Rerun_as_nobody(failure)) {
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            return;
        }
        QVERIFY(QDir().mkpath(diary + "2025"));
        QVERIFY(Write_bytes(diary + "2025/0101.txt", Hex("89 4a")));
        Diary_store store(diary);
        const auto owner_only =
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        QVERIFY(QFile::setPermissions(diary + "2025", QFileDevice::Permissions()));
        const Year_tally tally = Count_year(store, 2025);
        QVERIFY(QFile::setPermissions(diary + "2025", owner_only));
        QCOMPARE(tally.unreadable.size(), 1);
        QCOMPARE(tally.unreadable[0].path + QLatin1Char('/'), store.Year_folder(2025) + '/');
        QCOMPARE(tally.days_written, 0);

        QVERIFY(QFile::setPermissions(diary, QFileDevice::ExeOwner));
        Io_result error;
        const QList<int> years = Year_folders(store, &error);
        QVERIFY(QFile::setPermissions(diary, owner_only));
        QVERIFY(years.isEmpty());
        QVERIFY(!error.Ok());
    }

    void Runs_cross_years_and_29_February()
    {
        auto jd = [](int y, int m, int d) { return QDate(y, m, d).toJulianDay(); };
        // 28 February to 1 March of a leap year is three days; of 2023, two.
        QCOMPARE(Longest_run({jd(2024, 2, 28), jd(2024, 2, 29), jd(2024, 3, 1)}), 3);
        QCOMPARE(Longest_run({jd(2023, 2, 28), jd(2023, 3, 1), jd(2023, 3, 2), jd(2023, 1, 5)}), 3);
        QCOMPARE(Longest_run({jd(2025, 12, 30), jd(2025, 12, 31), jd(2026, 1, 1), jd(2026, 1, 1),
                              jd(2024, 1, 1)}),
                 3);
        QCOMPARE(Longest_run({}), 0);
        const QList<qint64> days{jd(2026, 12, 7), jd(2026, 12, 8), jd(2026, 12, 9)};
        QCOMPARE(Current_run(days, QDate(2026, 12, 9)), 3);
        QCOMPARE(Current_run(days, QDate(2026, 12, 10)), 3);  // today not written yet
        QCOMPARE(Current_run(days, QDate(2026, 12, 11)), 0);

        // A day of 30 February has no place among the calendar's days.
        Year_tally tally;
        tally.year = 2024;
        tally.days.insert(229, {5, false, {}});
        tally.days.insert(230, {5, false, {}});
        tally.days.insert(301, {1, false, {}});
        tally.days.insert(302, {0, true, QStringLiteral("傘")});
        QCOMPARE(Written_days(tally), (QList<qint64>{jd(2024, 2, 29), jd(2024, 3, 1)}));
    }

    void Kept_counts_follow_a_changed_day_and_a_new_run()
    {
        QVERIFY(QDir().mkpath(diary + "2025"));
        QVERIFY(Write_bytes(diary + "2025/0101.txt", Hex("89 4a 82 cc 93 fa")));  // 雨の日
        Diary_store store(diary);
        Records_cache cache;
        QList<Year_tally> years = cache.Refresh(store);
        QCOMPARE(years.size(), 1);
        QCOMPARE(years[0].characters, 3);

        // Saved again: the same size, another time and inode.
        QVERIFY(Write_bytes(diary + "2025/0101.txt.new", Hex("90 b0 82 cc 93 fa")));
        QVERIFY(QFile::remove(diary + "2025/0101.txt"));
        QVERIFY(QFile::rename(diary + "2025/0101.txt.new", diary + "2025/0101.txt"));
        QVERIFY(Write_bytes(diary + "2025/0102.txt", Hex("41 0d 0a 42")));
        QVERIFY(QDir().mkpath(diary + "2026"));
        years = cache.Refresh(store);
        QCOMPARE(years.size(), 2);
        QCOMPARE(years[0].days_written, 2);
        QCOMPARE(years[0].characters, 5);
        QVERIFY(cache.Changed());

        const QString path = Records_cache_path(root->File("cache/sorane"), diary);
        QVERIFY(cache.Save(path).Ok());
        QCOMPARE(Mode_of(path), 0600);
        QCOMPARE(Mode_of(root->File("cache/sorane")), 0700);
        QCOMPARE(Mode_of(root->File("cache")), 0700);
        Records_cache again;
        again.Load(path);
        QCOMPARE(again.Refresh(store)[0].characters, 5);
        QVERIFY(!again.Changed());  // nothing was counted again
        // A folder gone drops its year; a damaged file is no count at all.
        QVERIFY(QDir(diary + "2026").removeRecursively());
        QCOMPARE(again.Refresh(store).size(), 1);
        QByteArray bytes = Read_bytes(path);
        bytes.chop(3);
        QVERIFY(Write_bytes(path, bytes));
        Records_cache damaged;
        damaged.Load(path);
        damaged.Refresh(store);
        QVERIFY(damaged.Changed());
    }

    void Words_are_counted_as_the_analyser_reads_them()
    {
        // Two days of the same month and one of another.
        QVERIFY(QDir().mkpath(diary + "2026"));
        // 今日は雨が降った。明日も雨が降るらしい。
        QVERIFY(Write_bytes(diary + "2026/0301.txt",
                            Hex("8d a1 93 fa 82 cd 89 4a 82 aa 8d 7e 82 c1 82 bd 81 42 96 be 93 fa "
                                "82 e0 89 4a 82 aa 8d 7e 82 e9 82 e7 82 b5 82 a2 81 42")));
        // 駅で傘を買ったので、三本目の傘になる。 and, exactly, 😀楽しい。
        QVERIFY(Write_bytes(diary + "2026/0302.utf8.txt",
                            "\n駅で傘を買ったので、三本目の傘になる。\n😀楽しい。"));
        QVERIFY(Write_bytes(diary + "2026/0302.txt",
                            Hex("89 77 82 c5 8e 50 82 f0 94 83 82 c1 82 bd 82 cc 82 c5 81 41 8e 4f "
                                "96 7b 96 da 82 cc 8e 50 82 c9 82 c8 82 e9 81 42 0d 0a 3f 8a 79 82 "
                                "b5 82 a2 81 42 0d 0a")));
        // 雨の日は本を読むことにしている。
        QVERIFY(Write_bytes(diary + "2026/0401.txt",
                            Hex("89 4a 82 cc 93 fa 82 cd 96 7b 82 f0 93 c7 82 de 82 b1 82 c6 82 c9 "
                                "82 b5 82 c4 82 a2 82 e9 81 42")));
        Diary_store store(diary);
        QList<Io_result> unreadable;
        const QStringList march = Texts_of(store, 2026, 3, &unreadable);
        QCOMPARE(march.size(), 2);
        QVERIFY(march[1].contains(QStringLiteral("😀楽しい")));
        const QStringList year = Texts_of(store, 2026, 0, &unreadable);
        QCOMPARE(year.size(), 3);
        QVERIFY(unreadable.isEmpty());

        Word_analyser analyser;
        QVERIFY2(analyser.Ok(), qPrintable(analyser.Error()));
        const QList<Word_count> words = Count_words(analyser, year, Nouns | Verbs, 100);
        const QList<Word_count> expected{
            {"雨", "名詞", 3},   {"降る", "動詞", 2}, {"傘", "名詞", 2},
            {"今日", "名詞", 1}, {"明日", "名詞", 1}, {"駅", "名詞", 1},
            {"買う", "動詞", 1}, {"本", "名詞", 1},   {"読む", "動詞", 1}};
        QCOMPARE(words, expected);
        QCOMPARE(Count_words(analyser, year, Nouns | Verbs, 2), expected.first(2));
        const QList<Word_count> with_adjectives =
            Count_words(analyser, year, Nouns | Verbs | Adjectives, 100);
        QCOMPARE(with_adjectives.size(), expected.size() + 1);
        QVERIFY(with_adjectives.contains(Word_count{"楽しい", "形容詞", 1}));
        // A circled number after a full-width blank, as the analyser gives it.
        QCOMPARE(analyser.Analyse(u"①洗濯　②掃除").size(), 4);
        QCOMPARE(Counted_word(analyser.Analyse(u"①洗濯　②掃除")[2], Nouns), QString());
        QCOMPARE(Counted_word(analyser.Analyse(u"①洗濯　②掃除")[3], Nouns), QStringLiteral("掃除"));
        QCOMPARE(Count_words(analyser, march, Verbs, 100),
                 (QList<Word_count>{{"降る", "動詞", 2}, {"買う", "動詞", 1}}));

        // The analyser's own command, where it is installed, reads the same
        // text into the same words: each word's count is the number of its
        // lines, by dictionary form and part, the suffixes (三本目's 本) apart.
        QProcess mecab;
        mecab.start(QStringLiteral("mecab"), {});
        if (!mecab.waitForStarted(10000))
            QSKIP("the mecab command is not installed; the library's words were checked");
        mecab.write(year.join(QLatin1Char('\n')).toUtf8() + '\n');
        mecab.closeWriteChannel();
        QVERIFY(mecab.waitForFinished(30000));
        QHash<QString, int> lines;
        for (const QByteArray& line : mecab.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> f = line.mid(line.indexOf('\t') + 1).split(',');
            if (f.size() > 6 && f[1] != "接尾")
                ++lines[QString::fromUtf8(f[6] + '/' + f[0])];
        }
        for (const Word_count& w : with_adjectives)
            QCOMPARE(lines.value(w.word + '/' + w.part), w.count);
    }
};

QTEST_GUILESS_MAIN(Test_records)
#include "test_records.moc"

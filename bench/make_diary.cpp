// Writes a realistic hundred-year diary (1990 to 2089) into a program
// folder, for the benchmarks: day files in code page 932 with CR LF (most a
// few hundred bytes, about one in eight a few kilobytes, some near 30000), a
// full index per year in the order the days were first saved, and a settings file. No file is over 32000
// bytes and there is no message from yesterday, so a start on it opens no
// window of its own.
//
//   make_diary [options] <folder> [first_year last_year]
//     --seed N           the random generator's seed (20261208)
//     --long-days P      percent of days near 30000 bytes (3)
//     --middle-days P    percent of days of a few kilobytes (12)
//     --help             this usage
// The same seed and shares write the same diary, byte for byte.

#include "platform/cp932.h"
#include "store/settings.h"
#include "store/store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>

namespace {

const char16_t* const Phrases[] = {
    u"今日は朝から雨が降っていた。",
    u"駅前の本屋で新しい文庫本を二冊買った。",
    u"昼は会社の近くの定食屋で焼き魚定食を食べた。",
    u"夕方、母から電話があり、週末に帰ることにした。",
    u"散歩の途中で桜がほころび始めているのに気づいた。",
    u"仕事は思ったより早く片づいたので、早めに帰宅した。",
    u"久しぶりに友人と会って、昔の話で盛り上がった。",
    u"夜は少し冷えたので、熱いお茶を入れて日記を書いている。",
    u"庭のトマトが赤くなってきた。",
    u"子どもの運動会。リレーで二位になって、本人はとても悔しそうだった。",
    u"病院で定期検診。特に問題はないと言われて安心した。",
    u"図書館で調べ物をしたあと、川沿いを歩いて帰った。",
    u"明日は早いので、今日はもう寝ることにする。",
    u"ＮＨＫのニュースで、台風が近づいていると言っていた。",
    u"買い物：牛乳、卵、食パン、りんご、洗剤。",
    u"①洗濯　②掃除　③銀行　④郵便局",
    u"今年もあと少し。来年こそは毎日書きたい。",
};

const char16_t* const Memos[] = {
    u"",     u"",     u"買い物", u"散歩",   u"誕生日", u"通院", u"旅行",     u"雨",
    u"晴れ", u"会議", u"同窓会", u"大掃除", u"初詣",   u"花見", u"引っ越し", u"ｶﾚｰ",
};

QByteArray Encoded(const QString& text)
{
    QByteArray bytes = cp932::Encode(text).bytes;
    bytes.replace("\n", "\r\n");
    return bytes;
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// A day's text of about `size` bytes: phrases, with a line break now and then.
QByteArray Day_text(std::mt19937& random, int size)
{
    static const std::vector<QByteArray> encoded_phrases = [] {
        std::vector<QByteArray> out;
        for (const char16_t* phrase : Phrases)
            out.push_back(Encoded(QString::fromUtf16(phrase)));
        return out;
    }();
    std::uniform_int_distribution<int> phrase(0, int(encoded_phrases.size()) - 1);
    std::uniform_int_distribution<int> coin(0, 3);
    QByteArray bytes;
    for (;;) {
        QByteArray next = encoded_phrases[size_t(phrase(random))];
        if (coin(random) == 0)
            next += "\r\n";
        if (bytes.size() + next.size() + 2 > size && !bytes.isEmpty())
            break;
        bytes += next;
    }
    return bytes + "\r\n";
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a diary for the benchmarks."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Program folder."));
    parser.addPositionalArgument(QStringLiteral("first_year"), QStringLiteral("First year (1990)."),
                                 QStringLiteral("[first_year"));
    parser.addPositionalArgument(QStringLiteral("last_year"), QStringLiteral("Last year (2089)."),
                                 QStringLiteral("last_year]"));
    const QCommandLineOption seed_option(QStringLiteral("seed"),
                                         QStringLiteral("Seed of the random generator (20261208)."),
                                         QStringLiteral("n"), QStringLiteral("20261208"));
    const QCommandLineOption long_option(QStringLiteral("long-days"),
                                         QStringLiteral("Percent of days near 30000 bytes (3)."),
                                         QStringLiteral("percent"), QStringLiteral("3"));
    const QCommandLineOption middle_option(
        QStringLiteral("middle-days"), QStringLiteral("Percent of days of a few kilobytes (12)."),
        QStringLiteral("percent"), QStringLiteral("12"));
    parser.addOptions({seed_option, long_option, middle_option});
    parser.process(app);
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1 && arguments.size() != 3)
        parser.showHelp(2);
    bool ok = true;
    const auto number = [&ok](const QString& text) {
        bool this_ok = false;
        const uint value = text.toUInt(&this_ok);
        ok = ok && this_ok;
        return int(std::min(value, 100000000u));
    };
    const int first_year = arguments.size() == 3 ? number(arguments[1]) : 1990;
    const int last_year = arguments.size() == 3 ? number(arguments[2]) : 2089;
    bool seed_ok = false;
    const std::uint32_t seed = parser.value(seed_option).toUInt(&seed_ok);
    const int long_percent = number(parser.value(long_option));
    const int middle_percent = number(parser.value(middle_option));
    if (!ok || !seed_ok || first_year < 1 || last_year > 9999 || first_year > last_year ||
        long_percent + middle_percent > 100)
        parser.showHelp(2);
    const QString folder = QDir(arguments[0]).absolutePath() + QLatin1Char('/');
    QDir().mkpath(folder);

    std::mt19937 random(seed);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> short_size(150, 900);
    std::uniform_int_distribution<int> middle_size(1200, 4000);
    std::uniform_int_distribution<int> long_size(26000, 31000);
    std::uniform_int_distribution<int> memo(0, int(std::size(Memos)) - 1);
    qint64 total_bytes = 0;
    int total_files = 0;

    for (int year = first_year; year <= last_year; ++year) {
        const QString year_folder =
            folder + QStringLiteral("%1/").arg(year, 4, 10, QLatin1Char('0'));
        QDir().mkpath(year_folder);
        std::vector<QDate> days;
        for (QDate d(year, 1, 1); d.year() == year; d = d.addDays(1))
            if (percent(random) < 82)
                days.push_back(d);
        // Mostly in date order, as a diary is written, with some days
        // first saved later.
        for (size_t i = 0; i + 1 < days.size(); ++i)
            if (percent(random) < 15)
                std::swap(days[i],
                          days[std::min(days.size() - 1, i + 1 + size_t(percent(random) % 20))]);
        QByteArray index;
        for (const QDate& d : days) {
            const int kind = percent(random);
            const int size = kind < long_percent                    ? long_size(random)
                             : kind < long_percent + middle_percent ? middle_size(random)
                                                                    : short_size(random);
            const QByteArray text = Day_text(random, size);
            const QString name = QStringLiteral("%1%2.txt")
                                     .arg(d.month(), 2, 10, QLatin1Char('0'))
                                     .arg(d.day(), 2, 10, QLatin1Char('0'));
            if (!Write(year_folder + name, text))
                return 1;
            total_bytes += text.size();
            ++total_files;
            const QString record = Diary_store::Date_key(year, d.month(), d.day()) +
                                   (percent(random) < 8 ? QLatin1Char('1') : QLatin1Char('0')) +
                                   QString::fromUtf16(Memos[memo(random)]);
            index += Encoded(record) + "\r\n";
        }
        if (!Write(year_folder + QStringLiteral("keyword.txt"), index))
            return 1;
    }

    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    Settings settings = Settings::First_values(1800, 4800, today);
    if (!Write(folder + QStringLiteral("sorane.ini"),
               Encoded(Settings_lines(settings).join(QLatin1Char('\n')) + QLatin1Char('\n'))))
        return 1;
    std::printf("%d day files, %lld bytes, years %d-%d, in %s\n", total_files, total_bytes,
                first_year, last_year, qPrintable(folder));
    return 0;
}

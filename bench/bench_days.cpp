#include "bench/bench_days.h"

#include "platform/cp932.h"
#include "store/store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

// The largest day the benchmarks pick: the size the Windows program's text
// box could hold, so that the figures stay comparable with older runs.
constexpr qint64 Largest_day_file = 32000;

bool All_digits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

QString Index_path(const QString& folder, int year)
{
    return QDir(folder).filePath(
        QStringLiteral("%1/keyword.txt").arg(year, 4, 10, QLatin1Char('0')));
}

// The years that have a folder of their own (four digits), in order.
std::vector<int> Year_folders(const QString& folder)
{
    std::vector<int> years;
    for (const QString& name : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name.size() == 4 && All_digits(name))
            years.push_back(name.toInt());
    }
    std::sort(years.begin(), years.end());
    return years;
}

// The index's lines without their line ends; an index that cannot be read
// has none.
QList<QByteArray> Index_lines(const QString& folder, int year)
{
    QFile file(Index_path(folder, year));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

}  // namespace

std::optional<Size_band> Parse_size_band(QStringView text)
{
    text = text.trimmed();
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    const QStringView low_text = dash < 0 ? text : text.first(dash).trimmed();
    const QStringView high_text = dash < 0 ? text : text.sliced(dash + 1).trimmed();
    if (!All_digits(low_text) || !All_digits(high_text))
        return std::nullopt;
    bool low_ok = false;
    bool high_ok = false;
    const Size_band band{low_text.toLongLong(&low_ok), high_text.toLongLong(&high_ok)};
    if (!low_ok || !high_ok || band.low > band.high)
        return std::nullopt;
    return band;
}

std::optional<std::vector<Size_band>> Parse_size_bands(QStringView text)
{
    std::vector<Size_band> bands;
    for (const QStringView part : text.split(QLatin1Char(','))) {
        const auto band = Parse_size_band(part);
        if (!band)
            return std::nullopt;
        bands.push_back(*band);
    }
    if (bands.empty())
        return std::nullopt;
    return bands;
}

qint64 Distance_from(const Size_band& band, qint64 size)
{
    return size < band.low ? band.low - size : size > band.high ? size - band.high : 0;
}

QString Rough_size(qint64 low, qint64 high)
{
    const double middle = (double(low) + double(high)) / 2;
    if (middle < 1)
        return QStringLiteral("~0 B");
    const double scale = std::pow(10.0, std::floor(std::log10(middle)));
    const qint64 rough = qint64(std::llround(middle / scale) * scale);
    if (rough < 1000)
        return QStringLiteral("~%1 B").arg(rough);
    if (rough < 1000000)
        return QStringLiteral("~%1 kB").arg(rough / 1000);
    return QStringLiteral("~%1 MB").arg(rough / 1000000);
}

QString Day_text(const Diary_day& day)
{
    return QStringLiteral("%1 (%2 bytes)")
        .arg(day.date.toString(QStringLiteral("yyyy/MM/dd")))
        .arg(day.bytes);
}

std::vector<Diary_day> Openable_days(const QString& folder)
{
    std::vector<Diary_day> days;
    for (const int year : Year_folders(folder)) {
        QSet<QByteArray> keys;
        for (const QByteArray& line : Index_lines(folder, year))
            keys.insert(line.left(10));
        const QDir year_folder(
            QDir(folder).filePath(QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'))));
        for (const QFileInfo& info :
             year_folder.entryInfoList({QStringLiteral("*.txt")}, QDir::Files)) {
            const QString base = info.completeBaseName();
            if (base.size() != 4 || !All_digits(base) || info.suffix() != QLatin1String("txt"))
                continue;
            const QDate date(year, base.first(2).toInt(), base.sliced(2).toInt());
            if (!date.isValid() || info.size() > Largest_day_file)
                continue;
            if (!keys.contains(Diary_store::Date_key(year, date.month(), date.day()).toLatin1()))
                continue;
            days.push_back({date, info.size()});
        }
    }
    std::sort(days.begin(), days.end(),
              [](const Diary_day& a, const Diary_day& b) { return a.date < b.date; });
    return days;
}

std::optional<Day_pick> Pick_day(const std::vector<Diary_day>& days, const Size_band& band)
{
    const Diary_day* best = nullptr;
    for (const Diary_day& day : days) {
        if (!best || Distance_from(band, day.bytes) < Distance_from(band, best->bytes))
            best = &day;
        if (Distance_from(band, day.bytes) == 0)
            break;
    }
    if (!best)
        return std::nullopt;
    return Day_pick{{*best}, Distance_from(band, best->bytes) == 0};
}

std::optional<Day_pick> Pick_neighbours(const std::vector<Diary_day>& days, const Size_band& band)
{
    std::optional<std::pair<size_t, std::tuple<qint64, qint64>>> best;
    for (size_t i = 0; i + 1 < days.size(); ++i) {
        const Diary_day& a = days[i];
        const Diary_day& b = days[i + 1];
        if (a.date.addDays(1) != b.date || a.date.month() != b.date.month())
            continue;
        const qint64 da = Distance_from(band, a.bytes);
        const qint64 db = Distance_from(band, b.bytes);
        const auto rank = std::make_tuple(std::max(da, db), std::min(da, db));
        if (!best || rank < best->second)
            best = std::make_pair(i, rank);
        if (std::get<0>(rank) == 0)
            break;
    }
    if (!best)
        return std::nullopt;
    return Day_pick{{days[best->first], days[best->first + 1]}, std::get<0>(best->second) == 0};
}

std::optional<Year_pick> Pick_year(const QString& folder, int wanted,
                                   const std::function<bool(const QString& line)>& test)
{
    std::optional<Year_pick> best;
    for (const int year : Year_folders(folder)) {
        int records = 0;
        for (const QByteArray& line : Index_lines(folder, year)) {
            if (!line.isEmpty() && test(cp932::Decode_text(line)))
                ++records;
        }
        if (records == 0)
            continue;
        if (!best || std::abs(year - wanted) < std::abs(best->year - wanted))
            best = Year_pick{year, records, year == wanted};
    }
    return best;
}

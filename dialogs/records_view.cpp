#include "dialogs/records_view.h"

#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace {

// The picture's measures, in logical pixels.
constexpr int Margin = 8;
constexpr int Line = 18;
constexpr int Summary_height = 2 * Line + 8;
constexpr int Chart_top = Margin + Summary_height;
constexpr int Chart_bars = 110;
constexpr int Chart_height = Line + Chart_bars + 16 + 14;
constexpr int Cell = 12;  // a day's square and the gap beside it
constexpr int Weekday_width = 18;
constexpr int Weeks = 54;  // a leap year that begins on a Saturday spans 54
constexpr int Grid_left = Margin + Weekday_width;
constexpr int Block_heading = Line + 12;
constexpr int Block_height = Block_heading + 7 * Cell + 12;
constexpr int Years_top = Chart_top + Chart_height;
constexpr int View_width = Grid_left + Weeks * Cell + Margin;

const QString Weekdays[] = {QStringLiteral("日"), QStringLiteral("月"), QStringLiteral("火"),
                            QStringLiteral("水"), QStringLiteral("木"), QStringLiteral("金"),
                            QStringLiteral("土")};

QString Number(qint64 n) { return QLocale(QLocale::English).toString(n); }

// How much was written, as a colour: nothing, then four steps.
QColor Colour_of(int characters)
{
    if (characters <= 0)
        return QColor(0xeb, 0xed, 0xf0);
    if (characters < 100)
        return QColor(0xc6, 0xe4, 0x8b);
    if (characters < 300)
        return QColor(0x7b, 0xc9, 0x6f);
    if (characters < 700)
        return QColor(0x23, 0x9a, 0x3b);
    return QColor(0x19, 0x61, 0x27);
}
const QColor Memory_ring(0xe0, 0x30, 0x60);

// Column and row of a day in its year's grid: weeks from the one that holds
// 1 January, weekdays from Sunday.
QPoint Grid_place(const QDate& date)
{
    const int first = QDate(date.year(), 1, 1).dayOfWeek() % 7;
    const int row = date.dayOfWeek() % 7;
    const int column = (date.dayOfYear() - 1 + first) / 7;
    return {column, row};
}

}  // namespace

Records_view::Records_view(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Records_view"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Records_view::Set_years(QList<Year_tally> counted, const QDate& now)
{
    today = now;
    shown_once = true;
    QList<qint64> all_days;
    for (const Year_tally& tally : counted)
        all_days += Written_days(tally);
    longest_all = Longest_run(all_days);
    current_all = Current_run(all_days, today);
    std::reverse(counted.begin(), counted.end());
    years = std::move(counted);
    longest_of.clear();
    for (const Year_tally& tally : years)
        longest_of.append(Longest_run(Written_days(tally)));
    if (!Tally_of(chart_year))
        chart_year = 0;
    setFixedSize(sizeHint());
    update();
}

void Records_view::Set_chart_year(int year)
{
    chart_year = year;
    update(QRect(0, Chart_top, width(), Chart_height));
}

QSize Records_view::sizeHint() const
{
    return {View_width, Years_top + int(years.size()) * Block_height + Margin};
}

int Records_view::Block_top(int index) const { return Years_top + index * Block_height; }

const Year_tally* Records_view::Tally_of(int year) const
{
    for (const Year_tally& tally : years)
        if (tally.year == year)
            return &tally;
    return nullptr;
}

QString Records_view::Summary_text() const
{
    int days = 0;
    qint64 characters = 0;
    for (const Year_tally& tally : years) {
        days += tally.days_written;
        characters += tally.characters;
    }
    return QStringLiteral("全部で %1 年　書いた日 %2 日　%3 字　いちばん長く続いたのは %4 日、"
                          "いまは %5 日続いています")
        .arg(years.size())
        .arg(Number(days), Number(characters))
        .arg(longest_all)
        .arg(current_all);
}

QString Records_view::Year_text(const Year_tally& tally) const
{
    const qsizetype index = &tally - years.constData();
    const int longest = index >= 0 && index < longest_of.size() ? longest_of[index] : 0;
    return QStringLiteral("%1年　書いた日 %2 日　%3 字　最長 %4 日続けて")
        .arg(tally.year)
        .arg(Number(tally.days_written), Number(tally.characters))
        .arg(longest);
}

QString Records_view::Day_tip(const QDate& date) const
{
    const Year_tally* tally = Tally_of(date.year());
    QString tip = QStringLiteral("%1年%2月%3日（%4）")
                      .arg(date.year())
                      .arg(date.month())
                      .arg(date.day())
                      .arg(Weekdays[date.dayOfWeek() % 7]);
    const Day_tally day = tally ? tally->days.value(date.month() * 100 + date.day()) : Day_tally();
    tip += day.characters > 0 ? QStringLiteral("　%1 字").arg(Number(day.characters))
                              : QStringLiteral("　書いていません");
    if (day.memory)
        tip += QStringLiteral("　★思い出");
    if (!day.memo.isEmpty())
        tip += QStringLiteral("\nメモ: ") + day.memo;
    return tip;
}

QRect Records_view::Cell_of(const QDate& date) const
{
    for (qsizetype i = 0; i < years.size(); ++i) {
        if (years[i].year != date.year())
            continue;
        const QPoint place = Grid_place(date);
        return QRect(Grid_left + place.x() * Cell,
                     Block_top(int(i)) + Block_heading + place.y() * Cell, Cell - 2, Cell - 2);
    }
    return {};
}

std::optional<QDate> Records_view::Day_at(const QPoint& point) const
{
    if (point.y() < Years_top || point.x() < Grid_left)
        return std::nullopt;
    const int index = (point.y() - Years_top) / Block_height;
    const int in_block = (point.y() - Years_top) % Block_height - Block_heading;
    if (index >= years.size() || in_block < 0 || in_block >= 7 * Cell)
        return std::nullopt;
    const int column = (point.x() - Grid_left) / Cell;
    const int row = in_block / Cell;
    const int year = years[index].year;
    const int first = QDate(year, 1, 1).dayOfWeek() % 7;
    const QDate date = QDate(year, 1, 1).addDays(column * 7 + row - first);
    if (date.year() != year || column >= Weeks)
        return std::nullopt;
    return date;
}

void Records_view::Draw_chart(QPainter& painter) const
{
    const Year_tally* tally = Tally_of(chart_year);
    if (!tally && !years.isEmpty())
        tally = &years.constFirst();
    if (!tally)
        return;
    qint64 months[12] = {};
    for (auto it = tally->days.cbegin(); it != tally->days.cend(); ++it)
        months[it.key() / 100 - 1] += it->characters;
    const qint64 highest = std::max<qint64>(1, *std::max_element(months, months + 12));
    painter.setPen(Qt::black);
    painter.drawText(QRect(Margin, Chart_top, View_width, Line), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("%1年の月ごとの文字数").arg(tally->year));
    const int base = Chart_top + Line + Chart_bars + 14;
    const int slot = (View_width - 2 * Margin) / 12;
    for (int m = 0; m < 12; ++m) {
        const int height = int(double(months[m]) / double(highest) * (Chart_bars - 4));
        const QRect bar(Margin + m * slot + 6, base - height, slot - 12, height);
        painter.fillRect(bar, QColor(0x23, 0x9a, 0x3b));
        painter.setPen(Qt::black);
        painter.drawText(QRect(Margin + m * slot, base - height - 14, slot, 14), Qt::AlignCenter,
                         months[m] > 0 ? Number(months[m]) : QString());
        painter.drawText(QRect(Margin + m * slot, base + 1, slot, 14), Qt::AlignCenter,
                         QStringLiteral("%1月").arg(m + 1));
    }
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawLine(Margin, base, View_width - Margin, base);
}

void Records_view::Draw_year(QPainter& painter, int index, const Year_tally& tally) const
{
    const int top = Block_top(index);
    painter.setPen(Qt::black);
    painter.drawText(QRect(Margin, top, View_width, Line), Qt::AlignLeft | Qt::AlignVCenter,
                     Year_text(tally));
    // The month numbers above the week where each month begins.
    QFont small = painter.font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    painter.save();
    painter.setFont(small);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    for (int m = 1; m <= 12; ++m) {
        const QPoint place = Grid_place(QDate(tally.year, m, 1));
        painter.drawText(QRect(Grid_left + place.x() * Cell, top + Line - 2, 4 * Cell, 12),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::number(m));
    }
    for (int row : {1, 3, 5})
        painter.drawText(QRect(Margin, top + Block_heading + row * Cell - 2, Weekday_width, Cell),
                         Qt::AlignLeft | Qt::AlignVCenter, Weekdays[row]);
    painter.restore();
    const QDate first(tally.year, 1, 1);
    const int days = first.daysInYear();
    for (int i = 0; i < days; ++i) {
        const QDate date = first.addDays(i);
        const QPoint place = Grid_place(date);
        const QRect cell(Grid_left + place.x() * Cell, top + Block_heading + place.y() * Cell,
                         Cell - 2, Cell - 2);
        const auto found = tally.days.constFind(date.month() * 100 + date.day());
        const int characters = found == tally.days.cend() ? 0 : found->characters;
        painter.fillRect(cell, Colour_of(characters));
        if (found != tally.days.cend() && found->memory) {
            painter.setPen(QPen(Memory_ring, 2));
            painter.drawRect(cell.adjusted(1, 1, -1, -1));
        }
        if (date == today) {
            painter.setPen(QPen(Qt::black, 1));
            painter.drawRect(cell.adjusted(0, 0, -1, -1));
        }
    }
}

void Records_view::Draw(QPainter& painter, const QRect& area) const
{
    painter.fillRect(area, Qt::white);
    painter.setPen(Qt::black);
    // Nothing to say before the first count.
    if (!shown_once)
        return;
    if (area.top() < Chart_top) {
        painter.drawText(QRect(Margin, Margin, View_width, Line), Qt::AlignLeft | Qt::AlignVCenter,
                         Summary_text());
        painter.drawText(QRect(Margin, Margin + Line, View_width, Line),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("色は一日の文字数（なし・100 字まで・300 字まで・700 "
                                        "字まで・それより多く）、赤い枠は思い出の日"));
    }
    if (area.top() < Years_top && area.bottom() >= Chart_top)
        Draw_chart(painter);
    const int first = std::max(0, (area.top() - Years_top) / Block_height);
    const int last = std::min(int(years.size()) - 1, (area.bottom() - Years_top) / Block_height);
    for (int i = first; i <= last; ++i)
        Draw_year(painter, i, years[i]);
}

void Records_view::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    Draw(painter, event->rect());
}

QImage Records_view::Picture() const
{
    const QSize size = sizeHint();
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setFont(font());
    Draw(painter, QRect(QPoint(0, 0), size));
    return image;
}

bool Records_view::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const std::optional<QDate> day = Day_at(help->pos()))
            QToolTip::showText(help->globalPos(), Day_tip(*day), this, Cell_of(*day));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void Records_view::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (const std::optional<QDate> day = Day_at(event->position().toPoint()); day && on_day_clicked)
        on_day_clicked(*day);
}

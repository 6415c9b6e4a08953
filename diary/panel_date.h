#pragma once
// A panel's date: year, month and day as the date bars hold them. Every
// combination of the bars' ranges is a position, 30 February included, so
// this is not a calendar date; its day file is named by its numbers.

#include <QDate>
#include <QString>
#include <algorithm>
#include <optional>

// The years the diary holds: the range of the year bars and year boxes.
inline constexpr int First_year = 1990;
inline constexpr int Last_year = 2100;

struct Panel_date {
    int year = First_year;
    int month = 1;
    int day = 1;

    static Panel_date Of(const QDate& date) { return {date.year(), date.month(), date.day()}; }
    // Each part brought into its bar's range.
    Panel_date Clamped() const
    {
        return {std::clamp(year, First_year, Last_year), std::clamp(month, 1, 12),
                std::clamp(day, 1, 31)};
    }
    // The calendar date, invalid for a position the calendar does not have.
    QDate Calendar_date() const { return QDate(year, month, day); }
    // "yyyy/mm/dd", the key of the day's index record.
    QString Key() const;
    // "y/m/d" without leading zeros, as the reference date is kept in the
    // settings file.
    QString Plain_text() const;

    friend bool operator==(const Panel_date&, const Panel_date&) = default;
};

// "2025/3/7" or "2025/03/07", as the settings file holds dates.
std::optional<Panel_date> Parse_panel_date(const QString& text);

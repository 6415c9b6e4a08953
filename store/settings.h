#pragma once
// The settings file "sorane.ini": thirty lines, one value each, always in
// the same order.

#include "store/io_result.h"

#include <QString>
#include <QStringList>

struct Settings {
    int win_state = 0;  // 0 normal, 1 minimized, 2 maximized
    float win_top = 0;  // outer frame, twips
    float win_left = 0;
    float win_height = 7020;
    float win_width = 9510;
    QString screen_mode = QStringLiteral("nomal");
    int ref_mode = 1;
    QString last_ref_date;  // y/m/d, zero-padded or not
    QString last_run_date;  // yyyy/mm/dd
    QString fortune_state = QStringLiteral("mada");
    QStringList spare_lines;  // 20 reserved lines, kept as read
    // The reserved lines' bytes as read. A line whose text is unchanged is
    // written back as these bytes: decoding and encoding again would give
    // a character with two codes its other code.
    QList<QByteArray> spare_bytes;

    // The values a new settings file starts with: window placement as
    // given, today for both dates, "spare1" to "spare20".
    static Settings First_values(float top, float left, const QString& today_key);
};

inline constexpr int Settings_line_count = 30;
inline constexpr int Spare_line_count = 20;

struct Settings_read {
    Settings values;
    Io_result result;
    // Lines that were missing or could not be read as their kind and were
    // given their first value instead (1-based line numbers).
    QList<int> replaced_lines;
};

// Reads the file; a missing line or a value of the wrong kind takes its
// value from first_values.
Settings_read Read_settings(const QString& path, const Settings& first_values);
Io_result Write_settings(const QString& path, const Settings& settings);

// The thirty lines as written to the file, without line ends.
QStringList Settings_lines(const Settings& settings);

// A window value as plain decimal text: 7020, 4365.5 (no blanks, no exponent).
QString Format_twips(float value);

// A date written year/month/day, zero-padded or not ("2025/3/7").
bool Parse_date_text(const QString& text, int& year, int& month, int& day);

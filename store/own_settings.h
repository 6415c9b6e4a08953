#pragma once
// This program's own settings, beside the diary in "sorane-linux.ini"
// (UTF-8, INI: "[group]" lines and "key=value" lines), which the Windows
// program neither reads nor needs. Every part reads and writes them here,
// one typed value each with its default; a value missing from the file, or
// one that does not read as its type, is its default.
//
// A write changes only the lines of the values that changed, and adds those
// the file lacks: every other line (a group or key this version does not
// know, a comment) stays as the file holds it. The file goes through Replace_file like every file of the
// diary (0600, synced, whole or not at all), and is never written over when
// it could not be read (a link, a folder, a file far too large).

#include "store/io_result.h"

#include <QString>
#include <functional>

struct Own_settings {
    QString backup_folder;                            // backup/folder: empty for the default
    bool backup_daily = true;                         // backup/daily
    bool this_day_oldest_first = false;               // this_day/oldest_first
    bool fulltext_width = true;                       // fulltext/width
    bool fulltext_case = true;                        // fulltext/case
    bool fulltext_kana = false;                       // fulltext/kana
    bool reminder_on = false;                         // reminder/on
    QString reminder_time = QStringLiteral("21:00");  // reminder/time, "HH:MM"
    QString day_template;                             // template/text: put into an empty today
    QString lock_minutes;                             // lock/idle_minutes: empty for 10, 0 never
    // windows/<name>: where the user left a window read beside the diary,
    // "x y width height" in pixels; empty until it was moved
    QString place_years;
    QString place_fulltext;
    QString place_history;
    QString place_import;
    QString place_manual;
    bool operator==(const Own_settings&) const = default;
};

struct Own_settings_read {
    Own_settings values;  // the defaults for what could not be read
    Io_result result;     // the file is there but could not be read
};

// "<app_dir>/sorane-linux.ini"
QString Own_settings_path(const QString& app_dir);
Own_settings_read Read_own_settings(const QString& app_dir);
// Reads the file as it is now, lets change alter the values, and writes
// those that changed (nothing when none did and the file is there).
Io_result Change_own_settings(const QString& app_dir,
                              const std::function<void(Own_settings&)>& change);

// Whether the page of this day in every year lists the oldest year first.
// The newest comes first until the user chooses otherwise.
bool Read_oldest_first(const QString& app_dir);
Io_result Write_oldest_first(const QString& app_dir, bool oldest_first);

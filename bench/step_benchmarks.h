#pragma once
// The in-process benchmarks of the diary's own actions, each against its
// floor (step_floors.h), taking turns sample by sample. Each prints its
// table row (harness.h) and adds to the notes which days and years it
// measured.

#include "bench/bench_days.h"

#include <QDate>
#include <QString>
#include <functional>
#include <vector>

class Main_form;

// Work that runs in the background while steps are timed: a backup, or
// the full-text index being built.
struct Background_work {
    QString during;  // " while a backup runs"
    QString started_what;
    std::function<bool()> running;
    std::function<void()> start;
    std::function<void()> cancel;
};

// While busy is given, its work runs through every sample, value and floor
// alike (it is started again when it ends).
void Bench_step(Main_form& form, const QString& folder, const std::vector<Diary_day>& days,
                const Size_band& band, int samples, const Background_work* busy = nullptr);

// A backup of the whole diary as the daily one runs: on its worker, timed
// from its start until the window hears of its end.
void Bench_backup(const QString& folder, const QString& backup_folder, int runs);

void Bench_save(Main_form& form, const QString& folder, const std::vector<Diary_day>& days,
                const Size_band& band, int samples, bool memo_too = false);

// The same save with the day's history kept and without it, taking turns:
// what keeping the version replaced adds to leaving an edited day. The
// versions it keeps are removed afterwards.
void Bench_history_save(Main_form& form, const QString& folder, const std::vector<Diary_day>& days,
                        const Size_band& band, int samples);

void Bench_memo_search(Main_form& form, const QString& folder, int wanted_year,
                       const QString& keyword, int samples);

void Bench_memory_days(Main_form& form, const QString& folder, int wanted_year, int samples);

// The page of one date over every year of the diary, opened from the menu
// with the window hidden before (made once, beforehand), until it is
// painted.
void Bench_this_day(Main_form& form, const QString& folder, const QDate& date, int samples);

void Bench_fortune(Main_form& form, const std::vector<Diary_day>& days, const Size_band& band,
                   int samples);

// Typing 1,000 characters into today's text with the recovery record kept
// against the same typing without it, taking turns. delay_ms is the pause
// after the last key before the record is written: the program's 2 s, and
// 0, a record after every key.
void Bench_typing(Main_form& form, const QString& state_folder, int delay_ms, int samples);

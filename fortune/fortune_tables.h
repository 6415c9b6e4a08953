#pragma once
// The four result tables of the fortune, indexed from 0. The luck table runs
// from the worst luck (0) to the best (9); the numbers are full-width digits.

#include <QString>
#include <array>

inline constexpr int Luck_count = 10;
inline constexpr int Color_count = 10;
inline constexpr int Number_count = 10;
inline constexpr int Advice_count = 30;

extern const std::array<QString, Luck_count> luck_table;
extern const std::array<QString, Color_count> color_table;
extern const std::array<QString, Number_count> number_table;
extern const std::array<QString, Advice_count> advice_table;

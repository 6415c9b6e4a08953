#include "store/day_list.h"

#include "store/store.h"

#include <algorithm>

bool Memory_test(const QString& line)
{
    return line.size() >= 11 && line.at(10) == QLatin1Char('1');
}

bool Keyword_test(const QString& line, const QString& keyword)
{
    return keyword.isEmpty() || line.contains(keyword, Qt::CaseSensitive);
}

std::optional<QString> Year_folder_name(const QString& year_text)
{
    const QString trimmed = year_text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QString digits;
    digits.reserve(trimmed.size());
    for (const QChar c : trimmed) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
        else if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19)  // ０ .. ９
            digits += QLatin1Char(char('0' + (c.unicode() - 0xFF10)));
        else
            return std::nullopt;
    }
    // As a number: leading zeros go, then the "0000" padding comes back.
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits.remove(0, 1);
    return digits.rightJustified(4, QLatin1Char('0'));
}

bool Code_unit_less(const QString& a, const QString& b)
{
    const char16_t* pa = QStringView(a).utf16();
    const char16_t* pb = QStringView(b).utf16();
    return std::lexicographical_compare(pa, pa + a.size(), pb, pb + b.size());
}

QList<Listed_record> Select_and_sort(const QStringList& lines, const Record_test& test)
{
    QList<Listed_record> records;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (test(lines.at(i)))
            records.append({lines.at(i), int(i + 1)});
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const Listed_record& a, const Listed_record& b) {
                         return Code_unit_less(a.line, b.line);
                     });
    return records;
}

Row_text Row_text_of(const QString& line)
{
    return {line.left(10), line.size() > 11 ? line.mid(11) : QString()};
}

std::optional<Key_date> Key_date_of(const QString& line)
{
    if (line.size() < 10)
        return std::nullopt;
    static constexpr int digit_places[] = {0, 1, 2, 3, 5, 6, 8, 9};
    for (const int i : digit_places) {
        if (line.at(i) < QLatin1Char('0') || line.at(i) > QLatin1Char('9'))
            return std::nullopt;
    }
    if (line.at(4) != QLatin1Char('/') || line.at(7) != QLatin1Char('/'))
        return std::nullopt;
    return Key_date{line.mid(0, 4).toInt(), line.mid(5, 2).toInt(), line.mid(8, 2).toInt()};
}

Day_list_read Read_day_list(const QString& app_dir, const QString& year_text,
                            const Record_test& test)
{
    Day_list_read out;
    const std::optional<QString> name = Year_folder_name(year_text);
    if (!name)
        return out;
    const QString folder = app_dir + *name;
    if (!Diary_store::Folder_exists(folder))
        return out;
    // A missing index reads as no lines and no error.
    const QStringList lines = Read_index_lines(Keyword_path_in(folder), &out.error);
    if (out.error.Ok())
        out.records = Select_and_sort(lines, test);
    return out;
}

#include "diary/panel_date.h"

#include "store/settings.h"
#include "store/store.h"

QString Panel_date::Key() const { return Diary_store::Date_key(year, month, day); }

QString Panel_date::Plain_text() const
{
    return QStringLiteral("%1/%2/%3").arg(year).arg(month).arg(day);
}

std::optional<Panel_date> Parse_panel_date(const QString& text)
{
    Panel_date d;
    if (!Parse_date_text(text, d.year, d.month, d.day))
        return std::nullopt;
    return d;
}

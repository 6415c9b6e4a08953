#include "dialogs/fulltext_hits_model.h"

#include "ui/photo_mark.h"

#include <QDate>
#include <QPoint>

namespace {

QString Date_with_weekday(int date)
{
    const QDate d(date / 10000, date / 100 % 100, date % 100);
    // A day the calendar does not have (30 February, from the date bars or
    // a diary from Windows) has no weekday.
    if (!d.isValid())
        return QStringLiteral("%1/%2/%3")
            .arg(date / 10000, 4, 10, QLatin1Char('0'))
            .arg(date / 100 % 100, 2, 10, QLatin1Char('0'))
            .arg(date % 100, 2, 10, QLatin1Char('0'));
    static const QString weekdays = QStringLiteral("月火水木金土日");
    return QStringLiteral("%1/%2/%3 (%4)")
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(d.month(), 2, 10, QLatin1Char('0'))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(weekdays.at(d.dayOfWeek() - 1));
}

}  // namespace

void Fulltext_hits_model::Set(Fulltext_index* source, const Fulltext_result& result)
{
    beginResetModel();
    source_index = source;
    hits = result.hits;
    words = result.words;
    snippets.clear();
    memos.clear();
    photo_years.clear();
    endResetModel();
}

QVariant Fulltext_hits_model::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char16_t* const captions[] = {u"年/月/日", u"思い出", u"メ　モ", u"本　文"};
    return QString::fromUtf16(captions[section]);
}

QVariant Fulltext_hits_model::data(const QModelIndex& cell, int role) const
{
    const Fulltext_hit* hit = Hit(cell.row());
    if (!hit)
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(cell.column() == Memory_column ? Qt::AlignCenter
                                                  : Qt::AlignLeft | Qt::AlignVCenter);
    if (cell.column() == Memory_column && Has_photos(hit->date)) {
        if (role == Qt::DecorationRole)
            return Photo_mark_icon();
        if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole)
            return Photo_mark_words();
    }
    if (role != Qt::DisplayRole && role != Marks_role)
        return {};
    switch (cell.column()) {
    case Date_column:
        return role == Qt::DisplayRole ? QVariant(Date_with_weekday(hit->date)) : QVariant();
    case Memory_column:
        return role == Qt::DisplayRole && hit->memory ? QVariant(QStringLiteral("★")) : QVariant();
    case Memo_column: return Marked_cell(Memo_of(*hit), role);
    case Text_column: return Marked_cell(Snippet_of_hit(*hit), role);
    }
    return {};
}

bool Fulltext_hits_model::Has_photos(int date) const
{
    if (!photo_days_of)
        return false;
    const int year = date / 10000;
    auto it = photo_years.find(year);
    if (it == photo_years.end())
        it = photo_years.insert(year, photo_days_of(year));
    return it->contains(date % 10000);
}

const Snippet& Fulltext_hits_model::Snippet_of_hit(const Fulltext_hit& hit) const
{
    auto it = snippets.find(hit.date);
    if (it == snippets.end())
        it = snippets.insert(hit.date,
                             source_index ? source_index->Snippet_for(hit.date, words) : Snippet{});
    return *it;
}

const Snippet& Fulltext_hits_model::Memo_of(const Fulltext_hit& hit) const
{
    auto it = memos.find(hit.date);
    if (it == memos.end())
        it = memos.insert(hit.date, source_index ? Marked(hit.memo, words, source_index->Options())
                                                 : Snippet{hit.memo, {}});
    return *it;
}

QVariant Fulltext_hits_model::Marked_cell(const Snippet& snippet, int role)
{
    if (role == Qt::DisplayRole)
        return snippet.text;
    QVariantList marks;
    for (const Snippet::Mark& mark : snippet.marks)
        marks.append(QPoint(int(mark.start), int(mark.length)));
    return marks;
}

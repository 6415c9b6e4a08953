#pragma once
// The days a full-text search found, as the 全文検索 window lists them: the
// date with its weekday, the memory mark, the memo and the line around the
// words, with where the words stand in the memo and the line.

#include "fulltext/fulltext.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <functional>
#include <vector>

enum Column {
    Date_column,
    Memory_column,
    Memo_column,
    Text_column,
    Column_count
};

// A role that hands the delegate the marks of a cell's text.
constexpr int Marks_role = Qt::UserRole + 1;

// The days found. The lines around the words are made only for the rows
// the view asks for, so a search that finds every day lists at once.
class Fulltext_hits_model : public QAbstractTableModel {
public:
    explicit Fulltext_hits_model(QObject* parent) : QAbstractTableModel(parent) {}

    void Set(Fulltext_index* source, const Fulltext_result& result);
    // The days of a year with pictures (month * 100 + day), asked once per
    // year a result lists; their rows have the camera in the 思い出 column.
    void Set_photo_days(std::function<QSet<int>(int year)> days_of_year)
    {
        photo_days_of = std::move(days_of_year);
    }
    bool Has_photos(int date) const;
    const Fulltext_hit* Hit(int row) const
    {
        return row >= 0 && size_t(row) < hits.size() ? &hits[size_t(row)] : nullptr;
    }
    const std::vector<Fulltext_hit>& Hits() const { return hits; }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(hits.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : Column_count;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QVariant data(const QModelIndex& cell, int role) const override;

    // The line around the words for the day (made once).
    const Snippet& Snippet_of_hit(const Fulltext_hit& hit) const;

private:
    const Snippet& Memo_of(const Fulltext_hit& hit) const;
    static QVariant Marked_cell(const Snippet& snippet, int role);

    Fulltext_index* source_index = nullptr;
    std::vector<Fulltext_hit> hits;
    QStringList words;
    mutable QHash<int, Snippet> snippets;
    mutable QHash<int, Snippet> memos;
    std::function<QSet<int>(int year)> photo_days_of;
    mutable QHash<int, QSet<int>> photo_years;
};

#pragma once
// Draws a cell of the 全文検索 window's list: its text with the words found
// on a marker background (the marks come from Fulltext_hits_model's
// Marks_role).

#include <QStyledItemDelegate>

class Fulltext_hits_delegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& cell) const override;
};

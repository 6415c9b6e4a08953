#include "dialogs/fulltext_hits_delegate.h"

#include "dialogs/fulltext_hits_model.h"

#include <QPainter>

void Fulltext_hits_delegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& cell) const
{
    const QVariantList marks = cell.data(Marks_role).toList();
    if (marks.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, cell);
        return;
    }
    QStyleOptionViewItem plain = option;
    initStyleOption(&plain, cell);
    const QString text = plain.text;
    const QFont font = plain.font;
    plain.text.clear();
    QStyledItemDelegate::paint(painter, plain, QModelIndex());
    painter->save();
    painter->setFont(font);
    const QFontMetrics metrics(font);
    const QRect area = option.rect.adjusted(4, 0, -2, 0);
    painter->setClipRect(area);
    const bool selected = option.state & QStyle::State_Selected;
    const QColor ink = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    int x = area.left();
    const int baseline = area.top() + (area.height() + metrics.ascent() - metrics.descent()) / 2;
    int at = 0;
    const auto draw = [&](const QString& part, bool marked) {
        const int width = metrics.horizontalAdvance(part);
        if (marked) {
            painter->fillRect(QRect(x, area.top() + 1, width, area.height() - 2),
                              QColor(255, 224, 64));
            painter->setPen(Qt::black);
        } else {
            painter->setPen(ink);
        }
        painter->drawText(x, baseline, part);
        x += width;
    };
    for (const QVariant& value : marks) {
        const QPoint mark = value.toPoint();
        if (mark.x() > at)
            draw(text.mid(at, mark.x() - at), false);
        draw(text.mid(mark.x(), mark.y()), true);
        at = mark.x() + mark.y();
        if (x > area.right())
            break;
    }
    if (at < text.size() && x <= area.right())
        draw(text.mid(at), false);
    painter->restore();
}

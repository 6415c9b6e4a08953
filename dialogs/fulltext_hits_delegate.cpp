#include "dialogs/fulltext_hits_delegate.h"

#include "dialogs/fulltext_hits_model.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

void Fulltext_hits_delegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& cell) const
{
    const QVariantList marks = cell.data(Marks_role).toList();
    if (marks.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, cell);
        return;
    }
    // The style draws the cell without its text (background, selection,
    // focus), then the text goes where the style puts a cell's text, in the
    // cell's font and ink, laid out in one piece as the other columns are:
    // only the words found stand on the marker.
    QStyleOptionViewItem plain = option;
    initStyleOption(&plain, cell);
    const QString text = plain.text;
    plain.text.clear();
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &plain, painter, view);

    plain.text = text;
    const QRect area =
        style->subElementRect(QStyle::SE_ItemViewItemText, &plain, view)
            .adjusted(style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1, 0, 0, 0);
    QList<QTextLayout::FormatRange> ranges;
    for (const QVariant& value : marks) {
        const QPoint mark = value.toPoint();
        QTextLayout::FormatRange range;
        range.start = mark.x();
        range.length = mark.y();
        range.format.setBackground(QColor(255, 224, 64));
        range.format.setForeground(QColor(Qt::black));
        ranges << range;
    }
    QTextLayout layout(text, plain.font);
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(wrap);
    layout.setFormats(ranges);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1e6);
    layout.endLayout();
    if (!line.isValid())
        return;

    painter->save();
    painter->setClipRect(area);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(option.palette.color(option.state & QStyle::State_Enabled ? QPalette::Normal
                                                                              : QPalette::Disabled,
                                         selected ? QPalette::HighlightedText : QPalette::Text));
    const qreal top = area.top() + (area.height() - line.height()) / 2;
    layout.draw(painter, QPointF(area.left(), top));
    painter->restore();
}

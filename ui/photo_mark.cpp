#include "ui/photo_mark.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// A camera drawn on a square of side pixels in ink: the body, the finder
// on top and the lens.
QPixmap Camera(int side, const QColor& ink, const QColor& paper)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = side / 16.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawRoundedRect(QRectF(5 * unit, 2.5 * unit, 6 * unit, 2.5 * unit), unit, unit);
    painter.drawRoundedRect(QRectF(1 * unit, 4 * unit, 14 * unit, 9.5 * unit), 2 * unit, 2 * unit);
    painter.setBrush(paper);
    painter.drawEllipse(QPointF(8 * unit, 8.75 * unit), 3.6 * unit, 3.6 * unit);
    painter.setBrush(ink);
    painter.drawEllipse(QPointF(8 * unit, 8.75 * unit), 2.2 * unit, 2.2 * unit);
    return pixmap;
}

}  // namespace

QIcon Photo_mark_icon()
{
    static const QIcon icon = [] {
        QIcon made;
        // On a selected row's highlight, white with a blue lens.
        const QColor blue(0x2F, 0x6F, 0xA8);
        for (const int side : {16, 24, 32, 48}) {
            made.addPixmap(Camera(side, blue, Qt::white));
            made.addPixmap(Camera(side, Qt::white, blue), QIcon::Selected);
        }
        return made;
    }();
    return icon;
}

#include "ui/photo_strip.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QToolTip>
#include <QWheelEvent>

namespace {

// The viewport's margins are the scroll area's own business; the column
// takes the right one as a line-number area takes the left.
struct Margin_setter : QAbstractScrollArea {
    static void Set(QAbstractScrollArea* area, const QMargins& margins)
    {
        void (QAbstractScrollArea::*set)(const QMargins&) = &Margin_setter::setViewportMargins;
        (area->*set)(margins);
    }
};

// Each picture's cell: the thumbnail's square and a gap below it.
constexpr int Gap = 6;
constexpr int Cell = Photo_strip::Thumb_size + Gap;
constexpr int Left = (Photo_strip::Column_width - Photo_strip::Thumb_size) / 2;

}  // namespace

Photo_strip::Photo_strip(QPlainTextEdit* text, bool removable)
    : QWidget(text), text_box(text), text_view(text->viewport()), can_remove(removable),
      loader(this)
{
    setAccessibleName(QStringLiteral("この日の写真"));
    setCursor(Qt::PointingHandCursor);
    // The column paints every pixel of itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
    text_view->installEventFilter(this);
    connect(&loader, &Thumbnail_loader::Ready, this, &Photo_strip::Thumbnail_ready);
    request_timer.setSingleShot(true);
    request_timer.setInterval(Request_delay_ms);
    connect(&request_timer, &QTimer::timeout, this,
            [this] { loader.Request(photo_paths, qRound(Thumb_size * devicePixelRatioF())); });
}

void Photo_strip::Show_photos(const QStringList& paths)
{
    if (paths == photo_paths && !paths.isEmpty())
        return;
    photo_paths = paths;
    ready = 0;
    placeholders = 0;
    scroll = 0;
    pixmaps = QList<QPixmap>(paths.size());
    tips.clear();
    for (const QString& path : paths)
        tips.append(path.mid(path.lastIndexOf(u'/') + 1));
    request_timer.stop();
    // What the last day asked for is of no use any more.
    loader.Request({}, 0);
    if (paths.isEmpty()) {
        Set_margin(0);
        hide();
        return;
    }
    Set_margin(Column_width);
    show();
    update();
    request_timer.start();
}

void Photo_strip::Thumbnail_ready(int index, const Thumbnail& thumbnail)
{
    if (index < 0 || index >= pixmaps.size())
        return;
    ++ready;
    const qreal ratio = devicePixelRatioF();
    if (thumbnail.image.isNull()) {
        ++placeholders;
        pixmaps[index] = QPixmap::fromImage(Photo_placeholder(tips[index], Thumb_size, ratio));
        tips[index] += QStringLiteral("\n") + thumbnail.error;
    } else {
        pixmaps[index] = QPixmap::fromImage(thumbnail.image);
        pixmaps[index].setDevicePixelRatio(ratio);
    }
    update(0, index * Cell - scroll, width(), Cell);
}

int Photo_strip::Content_height() const { return int(photo_paths.size()) * Cell + Gap; }

int Photo_strip::Index_at(const QPoint& point) const
{
    const int y = point.y() + scroll - Gap;
    if (y < 0 || point.x() < Left || point.x() >= Left + Thumb_size)
        return -1;
    const int index = y / Cell;
    if (index >= photo_paths.size() || y % Cell >= Thumb_size)
        return -1;
    return index;
}

void Photo_strip::Scroll_to(int offset)
{
    const int most = std::max(0, Content_height() - height());
    const int now = std::clamp(offset, 0, most);
    if (now != scroll) {
        scroll = now;
        update();
    }
}

void Photo_strip::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    const int first = std::max(0, (event->rect().top() + scroll - Gap) / Cell);
    for (int i = first; i < pixmaps.size(); ++i) {
        const int top = Gap + i * Cell - scroll;
        if (top > event->rect().bottom())
            break;
        const QRect square(Left, top, Thumb_size, Thumb_size);
        const QPixmap& pixmap = pixmaps[i];
        if (pixmap.isNull()) {
            painter.fillRect(square, QColor(0xEE, 0xEE, 0xEE));
            continue;
        }
        const QSizeF size = pixmap.deviceIndependentSize();
        painter.drawPixmap(QPointF(square.left() + (Thumb_size - size.width()) / 2,
                                   square.top() + (Thumb_size - size.height()) / 2),
                           pixmap);
    }
    // More pictures than the column shows: a small triangle at the cut edge,
    // pointing to them (the wheel scrolls the column).
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x40, 0x40, 0x40));
    const int middle = width() / 2;
    if (scroll > 0)
        painter.drawPolygon(
            QPolygon({QPoint(middle - 6, 8), QPoint(middle + 6, 8), QPoint(middle, 2)}));
    if (scroll + height() < Content_height()) {
        const int bottom = height() - 2;
        painter.drawPolygon(QPolygon({QPoint(middle - 6, bottom - 6),
                                      QPoint(middle + 6, bottom - 6), QPoint(middle, bottom)}));
    }
}

void Photo_strip::mousePressEvent(QMouseEvent* event)
{
    const int index = Index_at(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index >= 0)
        emit Open_requested(index);
    else
        QWidget::mousePressEvent(event);
}

void Photo_strip::wheelEvent(QWheelEvent* event)
{
    Scroll_to(scroll - event->angleDelta().y() * Cell / 120);
    event->accept();
}

bool Photo_strip::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = Index_at(help->pos());
        if (index >= 0)
            QToolTip::showText(help->globalPos(), tips[index], this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void Photo_strip::Set_margin(int right)
{
    // The same margin again would lay the text box's children out anew.
    if (margin != right) {
        Margin_setter::Set(text_box, QMargins(0, 0, right, 0));
        margin = right;
    }
    Place();
}

void Photo_strip::Place()
{
    const QRect view = text_view->geometry();
    setGeometry(view.right() + 1, view.top(), Column_width, view.height());
    Scroll_to(scroll);
}

bool Photo_strip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == text_view && event->type() == QEvent::Resize && isVisible())
        Place();
    return QWidget::eventFilter(watched, event);
}

void Photo_strip::contextMenuEvent(QContextMenuEvent* event)
{
    const int index = Index_at(event->pos());
    if (index < 0)
        return;
    QMenu menu(this);
    menu.addAction(QStringLiteral("表示"), this, [this, index] { emit Open_requested(index); });
    if (can_remove)
        menu.addAction(QStringLiteral("この写真を外す…"), this,
                       [this, index] { emit Remove_requested(index); });
    menu.exec(event->globalPos());
}

#include "ui/photo_strip.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>

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

QIcon Waiting_icon(int size, qreal ratio)
{
    QPixmap pixmap(qRound(size * ratio), qRound(size * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(QColor(0xEE, 0xEE, 0xEE));
    return QIcon(pixmap);
}

}  // namespace

Photo_strip::Photo_strip(QPlainTextEdit* text, bool removable)
    : QListWidget(text), text_box(text), text_view(text->viewport()), can_remove(removable),
      loader(this)
{
    setViewMode(QListView::IconMode);
    setFlow(QListView::TopToBottom);
    setWrapping(false);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setIconSize(QSize(Thumb_size, Thumb_size));
    setSpacing(2);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleName(QStringLiteral("この日の写真"));
    hide();
    text_view->installEventFilter(this);
    connect(&loader, &Thumbnail_loader::Ready, this, &Photo_strip::Thumbnail_ready);
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { emit Open_requested(row(item)); });
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit Open_requested(row(item)); });
}

void Photo_strip::Show_photos(const QStringList& paths)
{
    if (paths == photo_paths && !paths.isEmpty())
        return;
    photo_paths = paths;
    ready = 0;
    placeholders = 0;
    clear();
    if (paths.isEmpty()) {
        loader.Request({}, 0);
        Set_margin(0);
        hide();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QIcon waiting = Waiting_icon(Thumb_size, ratio);
    for (const QString& path : paths) {
        auto* item = new QListWidgetItem(waiting, QString(), this);
        item->setToolTip(QFileInfo(path).fileName());
        item->setSizeHint(QSize(Thumb_size + 6, Thumb_size + 6));
    }
    Set_margin(Column_width);
    show();
    loader.Request(paths, qRound(Thumb_size * ratio));
}

void Photo_strip::Thumbnail_ready(int index, const Thumbnail& thumbnail)
{
    QListWidgetItem* const it = item(index);
    if (!it)
        return;
    ++ready;
    const qreal ratio = devicePixelRatioF();
    if (thumbnail.image.isNull()) {
        ++placeholders;
        const QString name = QFileInfo(photo_paths.value(index)).fileName();
        it->setIcon(QIcon(QPixmap::fromImage(Photo_placeholder(name, Thumb_size, ratio))));
        it->setToolTip(name + QStringLiteral("\n") + thumbnail.error);
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(thumbnail.image);
    pixmap.setDevicePixelRatio(ratio);
    it->setIcon(QIcon(pixmap));
}

void Photo_strip::Set_margin(int right)
{
    Margin_setter::Set(text_box, QMargins(0, 0, right, 0));
    Place();
}

void Photo_strip::Place()
{
    const QRect view = text_view->geometry();
    setGeometry(view.right() + 1, view.top(), Column_width, view.height());
}

bool Photo_strip::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == text_view && event->type() == QEvent::Resize && isVisible())
        Place();
    return QListWidget::eventFilter(watched, event);
}

void Photo_strip::contextMenuEvent(QContextMenuEvent* event)
{
    QListWidgetItem* const it = itemAt(event->pos());
    if (!it)
        return;
    const int index = row(it);
    QMenu menu(this);
    menu.addAction(QStringLiteral("表示"), this, [this, index] { emit Open_requested(index); });
    if (can_remove)
        menu.addAction(QStringLiteral("この写真を外す…"), this,
                       [this, index] { emit Remove_requested(index); });
    menu.exec(event->globalPos());
}

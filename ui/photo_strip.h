#pragma once
// A day's pictures as a column of thumbnails along the right edge of a
// panel's text box, inside its frame beside the scroll bar. The text is
// narrowed by the column's width while the day has pictures, so that the
// column never lies over anything written; without pictures the text box is
// as it always was. The thumbnails come from a Thumbnail_loader: the column
// shows a grey square until each one is ready, and a picture that cannot be
// read shows a placeholder with its name.

#include "ui/photo_thumbnails.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class QPlainTextEdit;

class Photo_strip : public QWidget {
    Q_OBJECT

public:
    // Lies in text's frame; removable: the context menu offers removal.
    Photo_strip(QPlainTextEdit* text, bool removable);

    // Shows these pictures (none: the column goes and the text has its
    // whole width back). Never waits for a picture.
    void Show_photos(const QStringList& paths);
    const QStringList& Paths() const { return photo_paths; }
    // The tip a picture shows under the pointer: its name, and why it
    // cannot be shown when it cannot.
    QString Tip(int index) const { return tips.value(index); }
    // The picture under a point of the column, or -1.
    int Index_at(const QPoint& point) const;
    // Thumbnails ready so far, and the ones shown as placeholders.
    int Ready_count() const { return ready; }
    int Placeholder_count() const { return placeholders; }
    Thumbnail_loader& Loader() { return loader; }

    // The column's width, in the text box's pixels.
    static constexpr int Column_width = 92;
    static constexpr int Thumb_size = 76;
    // The pause between a day shown and its thumbnails asked for, in ms.
    static constexpr int Request_delay_ms = 80;

signals:
    void Open_requested(int index);
    void Remove_requested(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Thumbnail_ready(int index, const Thumbnail& thumbnail);
    void Place();
    void Set_margin(int right);
    int Content_height() const;
    void Scroll_to(int offset);

    QPlainTextEdit* text_box;
    QWidget* text_view;  // its viewport, known once: it is only compared with
    bool can_remove;
    QStringList photo_paths;
    QList<QPixmap> pixmaps;  // null until ready
    QStringList tips;
    int margin = 0;  // the text box's right viewport margin, as set here
    int scroll = 0;  // pixels of the column scrolled off at the top
    Thumbnail_loader loader;
    // The thumbnails are asked for a moment after the day is shown: the
    // step is painted first, and days passed quickly (an arrow key held)
    // never have their pictures read.
    QTimer request_timer;
    int ready = 0;
    int placeholders = 0;
};

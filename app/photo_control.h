#pragma once
// The pictures of the days in the main window: a column of thumbnails in
// each panel (Photos2 beside the diary text, Photos1 beside the reference
// text), ファイル → 写真を追加…, a picture pasted (Ctrl+V) into the diary
// text or files dropped on it, the viewer, and removal, which keeps the
// picture in the day's history. Pictures go to the diary panel's day; the
// day's text is never touched by any of it.

#include "diary/panel_date.h"
#include "ui/placement.h"

#include <QObject>
#include <QStringList>
#include <memory>

template <class Result>
class Background_job;
class Diary_session;
struct Thumbnail_prune;
class Photo_strip;
class Platform;
class QAction;
class QMenu;
class QMimeData;
class QPlainTextEdit;

struct Photo_host {
    Platform& platform;
    Diary_session& session;
    Dialog_host host;
    QPlainTextEdit* diary_text;      // Text2
    QPlainTextEdit* reference_text;  // Text1
    QMenu* file_menu;
    QAction* before;  // the menu item 写真を追加… goes before it
};

class Photo_control : public QObject {
    Q_OBJECT

public:
    Photo_control(QObject* parent, const Photo_host& photo_host);
    ~Photo_control() override;

    // The panels have moved to another day: their columns follow.
    void Diary_day_shown();
    void Reference_day_shown();

    // Copies the files into the diary panel's day; a file that is no picture
    // Qt can read, or that cannot be copied, is told. Returns how many were
    // added.
    int Add_files(const QStringList& files);
    // A pasted or dropped picture: the clipboard's own PNG or JPEG bytes when
    // it offers them, else a PNG of its image. False when it holds none.
    bool Add_mime_picture(const QMimeData& mime);
    // Asks, then moves the diary panel's picture to the day's history.
    void Remove_diary_photo(int index);
    // Opens the viewer on a panel's picture.
    void Open_photo(bool diary_panel, int index);

    Photo_strip* Diary_strip() const { return strip2; }
    Photo_strip* Reference_strip() const { return strip1; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Menu_photo_add_Click();
    void Refresh_both();
    Photo_host host;
    QWidget* diary_view;  // Text2's viewport, known once: it is only compared with
    Photo_strip* strip2 = nullptr;
    Photo_strip* strip1 = nullptr;
    QAction* Menu_photo_add = nullptr;
    // The thumbnail cache's pruning, once a while after the start.
    std::unique_ptr<Background_job<Thumbnail_prune>> prune;
};

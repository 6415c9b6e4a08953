#include "dialogs/history_window.h"

#include "diary/photos.h"
#include "platform/app_title.h"
#include "platform/platform.h"
#include "ui/accessible.h"
#include "ui/io_message.h"
#include "ui/line_marks.h"
#include "ui/look.h"
#include "ui/photo_thumbnails.h"
#include "ui/reader_place.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

QString Version_row_text(const History_version& version)
{
    return QStringLiteral("%1　%2 バイト")
        .arg(version.replaced.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")),
             QLocale(QLocale::English).toString(version.size));
}

QString Record_line(const QString& memo, bool flag)
{
    return QStringLiteral("メモ：%1　思い出：%2")
        .arg(memo, flag ? QStringLiteral("あり") : QStringLiteral("なし"));
}

History_window::History_window(const Dialog_host& main_host, const Day_history& day_history,
                               const Panel_date& day, const Day_entry& current_entry)
    : QDialog(main_host.window), host(main_host), history(day_history), current(current_entry),
      date(day)
{
    // The history folder is the diary folder's "history".
    app_dir = history.Folder();
    app_dir.chop(QStringLiteral("history").size());
    setObjectName(QStringLiteral("History_window"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    Set_window_look(*this, look::Light_yellow);
    setWindowTitle(QStringLiteral("%1年%2月%3日の履歴").arg(day.year).arg(day.month).arg(day.day));
    setFont(Diary_font());

    auto* list_note = new QLabel(
        QStringLiteral("以前の版（新しい順。日時は、その版が保存で置き換えられたときです）"), this);
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setFont(List_font());
    auto* old_note = new QLabel(QStringLiteral("選んだ版"), this);
    auto* current_note = new QLabel(QStringLiteral("現在の日記"), this);
    Old_record = new QLabel(this);
    Old_record->setObjectName(QStringLiteral("Old_record"));
    Current_record = new QLabel(Record_line(current.memo, current.flag), this);
    Current_record->setObjectName(QStringLiteral("Current_record"));
    auto text_area = [this](const char* name) {
        auto* area = new QPlainTextEdit(this);
        area->setObjectName(QLatin1String(name));
        area->setReadOnly(true);
        area->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        return area;
    };
    Old_text = text_area("Old_text");
    Current_text = text_area("Current_text");
    Current_text->setPlainText(current.text);
    Record_too = new QCheckBox(QStringLiteral("メモと思い出も戻す"), this);
    Record_too->setObjectName(QStringLiteral("Record_too"));
    Restore = new QPushButton(QStringLiteral("元に戻す"), this);
    Restore->setObjectName(QStringLiteral("Restore"));
    Close_button = new QPushButton(QStringLiteral("閉じる"), this);
    Close_button->setObjectName(QStringLiteral("Close_button"));
    for (QPushButton* b : {Restore, Close_button})
        b->setAutoDefault(false);
    Restore->setEnabled(false);
    Record_too->setEnabled(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(list_note, 0, 0, 1, 2);
    grid->addWidget(List1, 1, 0, 1, 2);
    grid->addWidget(old_note, 2, 0);
    grid->addWidget(current_note, 2, 1);
    grid->addWidget(Old_record, 3, 0);
    grid->addWidget(Current_record, 3, 1);
    grid->addWidget(Old_text, 4, 0);
    grid->addWidget(Current_text, 4, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Record_too);
    buttons->addStretch();
    buttons->addWidget(Restore);
    buttons->addWidget(Close_button);
    grid->addLayout(buttons, 6, 0, 1, 2);
    Set_up_removed_photos(*grid, 5);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(4, 3);

    connect(List1, &QListWidget::currentRowChanged, this, &History_window::List1_Click);
    connect(Restore, &QPushButton::clicked, this, &History_window::Restore_Click);
    connect(Close_button, &QPushButton::clicked, this, &QDialog::reject);

    versions = history.Versions(day.year, day.month, day.day);
    for (const History_version& v : versions)
        List1->addItem(Version_row_text(v));
    // Beside the main window where the screen has room, or where the user
    // left it.
    Place_reader_window(*this, host, &Own_settings::place_history, QSize(760, 520));
    Set_accessible_texts(*this, History_window_texts);
    Name_the_rest(*this);
    if (!versions.isEmpty())
        List1->setCurrentRow(0);
    List1->setFocus();
}

void History_window::List1_Click()
{
    const int row = List1->currentRow();
    shown = {};
    if (row < 0 || row >= versions.size()) {
        Old_text->clear();
        Old_record->clear();
        Restore->setEnabled(false);
        return;
    }
    shown = history.Read(versions[row]);
    if (!shown.error.Ok()) {
        Old_text->clear();
        Old_record->clear();
        Restore->setEnabled(false);
        Record_too->setEnabled(false);
        Show_failure(host.platform, QStringLiteral("以前の版を読み込めませんでした。"),
                     shown.error);
        return;
    }
    Old_text->setPlainText(shown.text);
    Old_record->setText(shown.record_known ? Record_line(shown.memo, shown.flag)
                                           : QStringLiteral("メモ・思い出：不明"));
    Record_too->setEnabled(shown.record_known);
    if (!shown.record_known)
        Record_too->setChecked(false);
    Restore->setEnabled(true);
    Mark_differences();
}

void History_window::Mark_differences()
{
    Mark_line_differences(*Old_text, shown.text, *Current_text, current.text);
}

void History_window::Restore_Click()
{
    if (!Restore->isEnabled())
        return;
    Day_entry entry = current;
    entry.text = shown.text;
    if (Record_too->isChecked() && shown.record_known) {
        entry.memo = shown.memo;
        entry.flag = shown.flag;
    }
    chosen = entry;
    accept();
}

void History_window::Set_up_removed_photos(QGridLayout& grid, int row)
{
    const Photo_listing listing = List_removed_photos(app_dir, date);
    removed = listing.paths;
    if (!listing.error.Ok())
        Show_failure(host.platform, QStringLiteral("外した写真の一覧を読み込めませんでした。"),
                     listing.error);
    if (removed.isEmpty())
        return;
    auto* box = new QGridLayout;
    auto* note = new QLabel(QStringLiteral("外した写真（選んで「写真を日記に戻す」で、"
                                           "この日の写真に戻ります。本文はそのままです）"),
                            this);
    note->setWordWrap(true);
    Removed_list = new QListWidget(this);
    Removed_list->setObjectName(QStringLiteral("Removed_list"));
    Removed_list->setAccessibleName(QStringLiteral("外した写真の一覧"));
    Removed_list->setViewMode(QListView::IconMode);
    Removed_list->setFlow(QListView::LeftToRight);
    Removed_list->setWrapping(false);
    Removed_list->setMovement(QListView::Static);
    const int side = 64;
    Removed_list->setIconSize(QSize(side, side));
    Removed_list->setGridSize(QSize(side + 104, side + QFontMetrics(font()).height() * 2 + 8));
    Removed_list->setFixedHeight(Removed_list->gridSize().height() +
                                 Removed_list->horizontalScrollBar()->sizeHint().height() + 6);
    Removed_list->setWordWrap(true);
    Removed_list->setTextElideMode(Qt::ElideMiddle);
    Put_back = new QPushButton(QStringLiteral("写真を日記に戻す"), this);
    Put_back->setObjectName(QStringLiteral("Put_back"));
    Put_back->setAccessibleName(QStringLiteral("写真を日記に戻す"));
    Put_back->setAutoDefault(false);
    const QImage waiting = Photo_placeholder(QString(), side, devicePixelRatioF());
    for (const QString& path : removed) {
        auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(waiting)),
                                         QFileInfo(path).fileName(), Removed_list);
        item->setToolTip(QDir::toNativeSeparators(path));
    }
    box->addWidget(note, 0, 0, 1, 2);
    box->addWidget(Removed_list, 1, 0);
    box->addWidget(Put_back, 1, 1, Qt::AlignBottom);
    grid.addLayout(box, row, 0, 1, 2);
    connect(Removed_list, &QListWidget::currentRowChanged, this,
            &History_window::Show_removed_state);
    connect(Put_back, &QPushButton::clicked, this, &History_window::Put_back_Click);
    thumbnails = new Thumbnail_loader(this);
    connect(thumbnails, &Thumbnail_loader::Ready, this, &History_window::Removed_thumbnail);
    thumbnails->Request(removed, qRound(side * devicePixelRatioF()));
    Removed_list->setCurrentRow(0);
    Show_removed_state();
}

void History_window::Removed_thumbnail(int index, const Thumbnail& thumbnail)
{
    QListWidgetItem* item = Removed_list ? Removed_list->item(index) : nullptr;
    if (!item)
        return;
    const int side = Removed_list->iconSize().width();
    QImage image = thumbnail.image;
    if (image.isNull())
        image = Photo_placeholder(item->text(), side, devicePixelRatioF());
    else
        image.setDevicePixelRatio(devicePixelRatioF());
    item->setIcon(QIcon(QPixmap::fromImage(image)));
}

// A picture whose name the day's folder holds is back already.
void History_window::Show_removed_state()
{
    if (!Removed_list)
        return;
    QStringList in_day;
    for (const QString& path : List_photos(app_dir, date).paths)
        in_day << QFileInfo(path).fileName();
    for (int i = 0; i < Removed_list->count(); ++i) {
        const QString name = QFileInfo(removed[i]).fileName();
        QListWidgetItem* item = Removed_list->item(i);
        const bool back = in_day.contains(name);
        item->setText(back ? name + QStringLiteral("\n（日記にあります）") : name);
        item->setData(Qt::UserRole, back);
    }
    const QListWidgetItem* item = Removed_list->currentItem();
    Put_back->setEnabled(item && !item->data(Qt::UserRole).toBool());
}

void History_window::Put_back_Click()
{
    const int row = Removed_list ? Removed_list->currentRow() : -1;
    if (row < 0 || row >= removed.size() || !Put_back->isEnabled())
        return;
    const Photo_added added = Put_back_photo(app_dir, date, removed[row]);
    if (added.path.isEmpty()) {
        if (added.result.step == Io_step::Rename && added.result.error_number == EEXIST)
            host.platform.Message_box(QStringLiteral("この写真は、すでにこの日の日記にあります。"),
                                      App_title, Platform::Icon::Information,
                                      Platform::Buttons::Ok);
        else
            Show_failure(host.platform, QStringLiteral("写真を日記に戻せませんでした。"),
                         added.result);
    } else {
        ++photos_put_back;
        if (!added.result.Ok())
            Show_failure(host.platform,
                         QStringLiteral("写真は日記に戻しましたが、ディスクへの書き込みを"
                                        "確かめられませんでした。"),
                         added.result);
    }
    Show_removed_state();
}

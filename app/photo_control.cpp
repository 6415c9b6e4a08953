#include "app/photo_control.h"

#include "dialogs/photo_window.h"
#include "diary/photos.h"
#include "diary/session.h"
#include "platform/background_job.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "ui/io_message.h"
#include "ui/photo_strip.h"
#include "ui/photo_thumbnails.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>
#include <QUrl>

namespace {

// The pictures a paste or a drop may carry as they were made, kept byte for
// byte; anything else is kept as a PNG of the image.
const struct {
    const char* mime;
    const char* suffix;
} Kept_formats[] = {{"image/png", "png"}, {"image/jpeg", "jpg"}};

QString Day_caption(const Panel_date& date)
{
    return QStringLiteral("%1年%2月%3日").arg(date.year).arg(date.month).arg(date.day);
}

QStringList Local_files(const QMimeData& mime)
{
    QStringList files;
    for (const QUrl& url : mime.urls())
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    return files;
}

// The suffix the copy gets: the file's own when it has a plain one, else
// the name of the format Qt found in it.
QString Suffix_for(const QString& path, const QByteArray& format)
{
    const QString own = QFileInfo(path).suffix().toLower();
    if (!own.isEmpty() && own.size() <= 5)
        return own;
    return format == "jpeg" ? QStringLiteral("jpg") : QString::fromLatin1(format);
}

}  // namespace

Photo_control::Photo_control(QObject* parent, const Photo_host& photo_host)
    : QObject(parent), host(photo_host), diary_view(photo_host.diary_text->viewport())
{
    setObjectName(QStringLiteral("Photo_control"));
    strip2 = new Photo_strip(host.diary_text, true);
    strip2->setObjectName(QStringLiteral("Photos2"));
    strip1 = new Photo_strip(host.reference_text, false);
    strip1->setObjectName(QStringLiteral("Photos1"));
    connect(strip2, &Photo_strip::Open_requested, this,
            [this](int index) { Open_photo(true, index); });
    connect(strip1, &Photo_strip::Open_requested, this,
            [this](int index) { Open_photo(false, index); });
    connect(strip2, &Photo_strip::Remove_requested, this, &Photo_control::Remove_diary_photo);

    Menu_photo_add = new QAction(QStringLiteral("写真を追加…"), host.file_menu);
    Menu_photo_add->setObjectName(QStringLiteral("Menu_photo_add"));
    // With the file menu's other items, above the line before 終了.
    QAction* before = host.before;
    const QList<QAction*> items = host.file_menu->actions();
    const qsizetype at = items.indexOf(before);
    if (at > 0 && items[at - 1]->isSeparator())
        before = items[at - 1];
    host.file_menu->insertAction(before, Menu_photo_add);
    connect(Menu_photo_add, &QAction::triggered, this, &Photo_control::Menu_photo_add_Click);

    host.diary_text->installEventFilter(this);
    // Back in the window: pictures a synchronising tool brought meanwhile.
    host.host.window->installEventFilter(this);
    diary_view->installEventFilter(this);

    // The thumbnail cache is pruned off the window's thread, a while after
    // the start, when the first days' thumbnails are made.
    prune = std::make_unique<Background_job<Thumbnail_prune>>(this);
    QTimer::singleShot(30000, this, [this] {
        prune->Start(
            [folder = Thumbnail_cache_folder()](const Job_control& control) {
                return Prune_thumbnail_cache(folder, Thumbnail_cache_limit, &control.Cancel_flag());
            },
            [](Thumbnail_prune) {});
    });
}

Photo_control::~Photo_control() = default;

void Photo_control::Diary_day_shown()
{
    strip2->Show_photos(List_photos(host.session.App_dir(), host.session.Diary_date()).paths);
}

void Photo_control::Reference_day_shown()
{
    strip1->Show_photos(List_photos(host.session.App_dir(), host.session.Reference_date()).paths);
}

void Photo_control::Refresh_both()
{
    Diary_day_shown();
    Reference_day_shown();
}

void Photo_control::Menu_photo_add_Click()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
    QFileDialog dialog(host.host.window, QStringLiteral("写真を追加"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters({QStringLiteral("画像 (%1)").arg(patterns.join(u' ')),
                           QStringLiteral("すべてのファイル (*)")});
    if (host.platform.Run_modal(dialog) != QDialog::Accepted)
        return;
    Add_files(dialog.selectedFiles());
}

int Photo_control::Add_files(const QStringList& files)
{
    const Panel_date date = host.session.Diary_date();
    const QString app_dir = host.session.App_dir();
    QStringList not_pictures;
    int added = 0;
    {
        const auto busy = host.platform.Busy_pointer();
        for (const QString& file : files) {
            // Only a regular file is opened: a pipe would hold the window.
            QImageReader reader(file);
            reader.setDecideFormatFromContent(true);
            if (!QFileInfo(file).isFile() || !reader.canRead()) {
                not_pictures.append(QFileInfo(file).fileName());
                continue;
            }
            const Photo_added r = Add_photo_file(
                app_dir, date, file, Suffix_for(file, reader.format()), host.session.Time().Now());
            if (!r.path.isEmpty())
                ++added;
            if (!r.result.Ok()) {
                Refresh_both();
                Show_failure(host.platform, QStringLiteral("写真を日記に入れられませんでした。"),
                             r.result);
                return added;
            }
        }
    }
    Refresh_both();
    if (!not_pictures.isEmpty())
        host.platform.Message_box(
            QStringLiteral("写真として読めないファイルは入れませんでした。\n%1")
                .arg(not_pictures.join(u'\n')),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
    return added;
}

bool Photo_control::Add_mime_picture(const QMimeData& mime)
{
    QByteArray bytes;
    QString suffix;
    for (const auto& kept : Kept_formats) {
        const QByteArray data = mime.data(QLatin1String(kept.mime));
        if (!data.isEmpty() && !QImage::fromData(data).isNull()) {
            bytes = data;
            suffix = QLatin1String(kept.suffix);
            break;
        }
    }
    if (bytes.isEmpty()) {
        if (!mime.hasImage())
            return false;
        const QImage image = qvariant_cast<QImage>(mime.imageData());
        if (image.isNull())
            return false;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            return false;
        suffix = QStringLiteral("png");
    }
    const Photo_added r =
        Add_photo_bytes(host.session.App_dir(), host.session.Diary_date(), bytes,
                        QStringLiteral("paste"), suffix, host.session.Time().Now());
    Refresh_both();
    if (!r.result.Ok())
        Show_failure(host.platform, QStringLiteral("貼り付けた写真を日記に入れられませんでした。"),
                     r.result);
    return true;
}

void Photo_control::Remove_diary_photo(int index)
{
    const QStringList& paths = strip2->Paths();
    if (index < 0 || index >= paths.size())
        return;
    const QString path = paths[index];
    const Panel_date date = host.session.Diary_date();
    const Platform::Answer answer = host.platform.Message_box(
        QStringLiteral("この写真を%1の日記から外しますか？\n%2\n"
                       "写真は消えずに、この日の履歴（history フォルダー）に残ります。")
            .arg(Day_caption(date), QFileInfo(path).fileName()),
        App_title, Platform::Icon::Question, Platform::Buttons::Yes_no);
    if (answer != Platform::Answer::Yes)
        return;
    const Photo_removed r = Remove_photo(host.session.App_dir(), date, path);
    Refresh_both();
    if (!r.result.Ok() && r.result.step != Io_step::Sync_folder)
        Show_failure(host.platform, QStringLiteral("写真を外せませんでした。"), r.result);
}

void Photo_control::Open_photo(bool diary_panel, int index)
{
    const Photo_strip* strip = diary_panel ? strip2 : strip1;
    if (index < 0 || index >= strip->Paths().size())
        return;
    const Panel_date date = diary_panel ? host.session.Diary_date() : host.session.Reference_date();
    Photo_window window(host.host, strip->Paths(), index, Day_caption(date));
    host.platform.Run_modal(window);
}

bool Photo_control::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == host.host.window && event->type() == QEvent::WindowActivate)
        Refresh_both();
    if (watched == host.diary_text && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste)) {
        // A picture alone on the clipboard goes to the day; text is pasted
        // as text, as it always was.
        const QMimeData* mime = QApplication::clipboard()->mimeData();
        if (mime && !mime->hasText() && !mime->hasUrls() && Add_mime_picture(*mime))
            return true;
    }
    if (watched == diary_view) {
        const auto type = event->type();
        if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const QMimeData* mime = drop->mimeData();
            const bool files = mime && !Local_files(*mime).isEmpty();
            const bool picture = mime && !files && mime->hasImage();
            if (!files && !picture)
                return false;
            drop->acceptProposedAction();
            if (type == QEvent::Drop) {
                if (files)
                    Add_files(Local_files(*mime));
                else
                    Add_mime_picture(*mime);
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

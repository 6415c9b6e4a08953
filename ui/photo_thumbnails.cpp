#include "ui/photo_thumbnails.h"

#include "store/diary_files.h"
#include "store/safe_replace.h"
#include "ui/sealed_picture.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

QString Cache_name(const QString& path, const struct stat& st, int size)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QFile::encodeName(path));
    hash.addData(QByteArrayLiteral("\n"));
    hash.addData(QByteArray::number(qint64(st.st_size)) + ' ' +
                 QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.' +
                 QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ' ' +
                 QByteArray::number(quint64(st.st_ino)) + ' ' + QByteArray::number(size));
    return QString::fromLatin1(hash.result().toHex()) + QStringLiteral(".png");
}

// Puts the thumbnail in the cache whole (a temporary name, then a rename),
// readable by its user alone. Not flushed to the disk: a thumbnail lost or
// cut by a crash does not read as a picture and is made again, and the
// window's thread shares the disk with these writes.
// The picture a thumbnail shows and the size asked for, in its PNG's text,
// for the pruning to tell whether it is still wanted.
const QString Source_key = QStringLiteral("Sorane-Source");
const QString Size_key = QStringLiteral("Sorane-Size");

void Keep_in_cache(const QString& path, const QByteArray& png)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".tmp-" + QByteArray::number(qint64(::getpid())) + '-' +
                            QByteArray::number(quintptr(QThread::currentThreadId()), 16);
    const int fd =
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const bool written = ::write(fd, png.constData(), size_t(png.size())) == png.size();
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.constData(), target.constData()) != 0)
        ::unlink(temp.constData());
}

// The first sealed picture of a run takes away every thumbnail kept on
// disk: some may show pictures of this diary from before it was locked. The
// folder is only a cache; the pictures of other diaries get theirs again.
void Remove_plain_thumbnails(const QString& cache_folder)
{
    static std::once_flag once;
    if (cache_folder.isEmpty())
        return;
    std::call_once(once, [&cache_folder] {
        const Folder_listing listing = List_folder(cache_folder);
        for (const Folder_entry& entry : listing.entries)
            if (entry.type == Entry_type::Regular)
                ::unlink(QFile::encodeName(cache_folder + u'/' + QFile::decodeName(entry.name))
                             .constData());
    });
}

QString Reader_error(const QImageReader& reader)
{
    switch (reader.error()) {
    case QImageReader::FileNotFoundError: return QStringLiteral("ファイルが見つかりません");
    case QImageReader::DeviceError: return QStringLiteral("ファイルを読めません");
    case QImageReader::UnsupportedFormatError: return QStringLiteral("画像の形式がわかりません");
    default: return QStringLiteral("画像が壊れています");
    }
}

}  // namespace

QString Thumbnail_cache_folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/sorane/thumbnails");
}

Thumbnail Make_thumbnail(const QString& path, int size, const QString& cache_folder)
{
    Thumbnail out;
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        out.error = QStringLiteral("ファイルを読めません");
        return out;
    }
    // A sealed picture is opened into memory, and its thumbnail is kept
    // nowhere on disk.
    QByteArray opened;
    const Picture_place place = Open_picture(path, opened, out.error);
    if (place == Picture_place::Failed)
        return out;
    if (place == Picture_place::Memory)
        Remove_plain_thumbnails(cache_folder);
    const QString cached = cache_folder.isEmpty() || place == Picture_place::Memory
                               ? QString()
                               : cache_folder + u'/' + Cache_name(path, st, size);
    if (!cached.isEmpty() && QFileInfo(cached).isFile()) {
        out.image.load(cached, "PNG");
        if (!out.image.isNull()) {
            // Used now: the pruning removes the least lately used first.
            // Touched at most once an hour, not at every day step.
            struct stat cache_st {};
            const QByteArray name = QFile::encodeName(cached);
            if (::stat(name.constData(), &cache_st) == 0 &&
                cache_st.st_mtim.tv_sec < ::time(nullptr) - 3600)
                ::utimensat(AT_FDCWD, name.constData(), nullptr, 0);
            return out;
        }
    }
    QBuffer opened_buffer(&opened);
    QImageReader reader;
    if (place == Picture_place::Memory && opened_buffer.open(QIODevice::ReadOnly))
        reader.setDevice(&opened_buffer);
    else
        reader.setFileName(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > size || full.height() > size))
        reader.setScaledSize(full.scaled(size, size, Qt::KeepAspectRatio));
    out.image = reader.read();
    if (out.image.isNull()) {
        out.error = Reader_error(reader);
        return out;
    }
    if (out.image.width() > size || out.image.height() > size)
        out.image = out.image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!cached.isEmpty() && Make_private_folders(cache_folder)) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage kept = out.image;
        kept.setText(Source_key, path);
        kept.setText(Size_key, QString::number(size));
        if (kept.save(&buffer, "PNG"))
            Keep_in_cache(cached, png);
    }
    return out;
}

Thumbnail_prune Prune_thumbnail_cache(const QString& cache_folder, qint64 max_bytes,
                                      const std::atomic<bool>* cancel)
{
    Thumbnail_prune out;
    struct Kept {
        QByteArray path;
        qint64 size;
        qint64 mtime_ns;
    };
    std::vector<Kept> kept;
    const Folder_listing listing = List_folder(cache_folder, Listing_detail::Full);
    const qint64 hour_ago_ns = (qint64(::time(nullptr)) - 3600) * 1000000000;
    for (const Folder_entry& e : listing.entries) {
        if (cancel && cancel->load())
            return out;
        if (e.type != Entry_type::Regular)
            continue;
        const QString path = cache_folder + u'/' + QFile::decodeName(e.name);
        const QByteArray native = QFile::encodeName(path);
        // A write cut short leaves its temporary file; one under way is
        // younger than an hour.
        if (e.name.contains(".tmp-")) {
            if (e.mtime_ns < hour_ago_ns && ::unlink(native.constData()) == 0)
                ++out.gone;
            continue;
        }
        if (!e.name.endsWith(".png"))
            continue;
        QImageReader reader(path, "PNG");
        const QString source = reader.text(Source_key);
        bool size_ok = false;
        const int size = reader.text(Size_key).toInt(&size_ok);
        struct stat st {};
        const bool wanted = !source.isEmpty() && size_ok &&
                            ::lstat(QFile::encodeName(source).constData(), &st) == 0 &&
                            S_ISREG(st.st_mode) &&
                            Cache_name(source, st, size) == QFile::decodeName(e.name);
        if (!wanted) {
            if (::unlink(native.constData()) == 0)
                ++out.gone;
            continue;
        }
        kept.push_back({native, e.size, e.mtime_ns});
        out.bytes += e.size;
    }
    std::sort(kept.begin(), kept.end(),
              [](const Kept& a, const Kept& b) { return a.mtime_ns < b.mtime_ns; });
    for (const Kept& k : kept) {
        if (out.bytes <= max_bytes || (cancel && cancel->load()))
            break;
        if (::unlink(k.path.constData()) == 0) {
            out.bytes -= k.size;
            ++out.too_many;
        }
    }
    return out;
}

QImage Photo_placeholder(const QString& name, int size, qreal device_pixel_ratio)
{
    const int pixels = qRound(size * device_pixel_ratio);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(device_pixel_ratio);
    image.fill(QColor(0xE0, 0xE0, 0xE0));
    QPainter painter(&image);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(QRectF(0.5, 0.5, size - 1, size - 1));
    QFont font = painter.font();
    font.setPixelSize(std::max(8, size / 9));
    painter.setFont(font);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.drawText(QRectF(3, 3, size - 6, size - 6), Qt::AlignCenter | Qt::TextWrapAnywhere,
                     QStringLiteral("表示できません\n") + name);
    return image;
}

Thumbnail_loader::Thumbnail_loader(QObject* parent)
    : QObject(parent), generation(std::make_shared<std::atomic<int>>(0)),
      cache_folder(Thumbnail_cache_folder())
{
    // One picture at a time: a large PNG is decoded whole, and the window
    // shares the machine.
    pool.setMaxThreadCount(1);
}

Thumbnail_loader::~Thumbnail_loader()
{
    ++*generation;
    pool.clear();
    pool.waitForDone();
}

void Thumbnail_loader::Request(const QStringList& paths, int size)
{
    const int run = ++*generation;
    pool.clear();
    for (int i = 0; i < paths.size(); ++i) {
        pool.start(
            [this, run, i, size, path = paths[i], shared = generation, folder = cache_folder] {
                if (shared->load() != run)
                    return;
                Thumbnail thumbnail = Make_thumbnail(path, size, folder);
                QMetaObject::invokeMethod(
                    this,
                    [this, run, i, shared, thumbnail = std::move(thumbnail)] {
                        if (shared->load() == run)
                            emit Ready(i, thumbnail);
                    },
                    Qt::QueuedConnection);
            });
    }
}

#pragma once
// Small pictures of the diary's photos, made off the window's thread and
// kept in the user's cache folder ($XDG_CACHE_HOME/sorane/thumbnails/,
// folder 0700, files 0600: they show the user's pictures), named by a hash
// of the photo's path, size, modification time and the thumbnail's size,
// so that a changed photo gets a new one. Deleting the folder is safe.

#include <QImage>
#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <memory>

// "…/.cache/sorane/thumbnails".
QString Thumbnail_cache_folder();

struct Thumbnail {
    QImage image;   // at most size x size pixels, turned as its EXIF says; null when unreadable
    QString error;  // why it could not be read, in Japanese
};

// Reads the thumbnail from the cache, or makes it from the photo (the
// decoder scales while it reads, so a large JPEG is never held whole) and
// keeps it there. Safe on any thread. cache_folder empty: no cache.
Thumbnail Make_thumbnail(const QString& path, int size, const QString& cache_folder);

// Keeps the cache small: removes the thumbnails of pictures no longer there
// (or changed since: their thumbnail has another name now), those that do
// not say which picture they show (made by an earlier version), leftovers
// of writes cut short, and then the oldest until the rest take at most
// max_bytes. A thumbnail shown is made young again (see Make_thumbnail), so
// "oldest" is the one least lately used. cancel stops between files. Meant
// for a thread of its own.
struct Thumbnail_prune {
    int gone = 0;      // of pictures no longer there, or unknown
    int too_many = 0;  // the oldest, for the size
    qint64 bytes = 0;  // what the cache holds afterwards
};
inline constexpr qint64 Thumbnail_cache_limit = 200ll * 1024 * 1024;
Thumbnail_prune Prune_thumbnail_cache(const QString& cache_folder, qint64 max_bytes,
                                      const std::atomic<bool>* cancel = nullptr);

// What a picture that cannot be shown looks like: a grey square with its
// name, size x size pixels.
QImage Photo_placeholder(const QString& name, int size, qreal device_pixel_ratio);

// Makes thumbnails one at a time on a thread of its own. A new request
// drops what is left of the last one; what arrives after that belongs to
// the new one only. Each result is delivered on this object's thread.
class Thumbnail_loader : public QObject {
    Q_OBJECT

public:
    explicit Thumbnail_loader(QObject* parent = nullptr);
    ~Thumbnail_loader() override;

    // Asks for the thumbnails of paths at size pixels; Ready comes once for
    // each, in this order, unless another request comes first.
    void Request(const QStringList& paths, int size);
    // Waits until the work asked for is done (tests and benchmarks).
    void Wait() { pool.waitForDone(); }

signals:
    void Ready(int index, const Thumbnail& thumbnail);

private:
    QThreadPool pool;
    std::shared_ptr<std::atomic<int>> generation;
    QString cache_folder;
};

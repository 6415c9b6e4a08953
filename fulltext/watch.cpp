#include "fulltext/watch.h"

#include "fulltext/listing.h"

#include <QDateTime>
#include <QFile>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

// How often, at most, a search lists every year folder although the watch
// on them reported nothing.
constexpr qint64 Whole_listing_every_ms = 60000;

}  // namespace

void Folder_watch::Watch_folders(const QString& app_dir)
{
    Stop();
    watch_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_fd < 0)
        return;
    constexpr uint32_t Folder_events = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                       IN_DELETE_SELF | IN_MOVE_SELF | IN_ATTRIB;
    if (::inotify_add_watch(watch_fd, QFile::encodeName(app_dir).constData(), Folder_events) < 0) {
        Stop();
        return;
    }
    for (const int year : List_years(app_dir)) {
        const QString folder = app_dir + QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
        const int wd = ::inotify_add_watch(watch_fd, QFile::encodeName(folder).constData(),
                                           Folder_events | IN_MODIFY | IN_CLOSE_WRITE);
        if (wd < 0) {
            // Out of watches: every search lists every folder instead.
            Stop();
            return;
        }
        watched_years.insert(wd, year);
    }
}

void Folder_watch::Stop()
{
    if (watch_fd >= 0)
        ::close(watch_fd);
    watch_fd = -1;
    watched_years.clear();
}

std::optional<QSet<int>> Folder_watch::Years_to_check(const QString& app_dir)
{
    // Changes the watch cannot see (a folder shared over the network) are
    // found by a whole listing now and then.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (watch_fd < 0 || now - last_full_check_ms > Whole_listing_every_ms) {
        // The watch is set before the listing, so that nothing falls between.
        Watch_folders(app_dir);
        last_full_check_ms = now;
        return std::nullopt;
    }
    QSet<int> years;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(watch_fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const auto year = watched_years.constFind(event->wd);
            // A year folder made, removed or renamed, a folder gone, or
            // events lost: everything is listed again.
            if (year == watched_years.cend() ||
                (event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF))) {
                Watch_folders(app_dir);
                last_full_check_ms = now;
                return std::nullopt;
            }
            years.insert(*year);
        }
    }
    return years;
}

#pragma once
// The watch on the diary folder and its year folders (inotify) that tells
// which year folders changed since the last search, so that a search lists
// only those. Every folder is listed at the first search and again at least
// once a minute, for changes no watch sees (a folder shared over the
// network), and whenever the watch cannot tell.

#include <QHash>
#include <QSet>
#include <QString>
#include <optional>

class Folder_watch {
public:
    Folder_watch() = default;
    ~Folder_watch() { Stop(); }
    Folder_watch(const Folder_watch&) = delete;
    Folder_watch& operator=(const Folder_watch&) = delete;

    // The year folders of the diary in app_dir to list again before a
    // search: those the watch saw change (none when nothing changed), or
    // every one (nothing) when the watch cannot tell.
    std::optional<QSet<int>> Years_to_check(const QString& app_dir);
    void Stop();

private:
    void Watch_folders(const QString& app_dir);

    int watch_fd = -1;              // inotify on the diary and year folders
    QHash<int, int> watched_years;  // watch -> year
    qint64 last_full_check_ms = 0;
};

// Another computer writing now: the diary folder and the diary panel's
// year folder are watched, so that a day a synchronising tool (or the
// Windows program on a shared drive) writes is seen while the window is
// open, not only when it is activated or the day is saved.

#include "app/main_form.h"

#include <QApplication>
#include <QFileSystemWatcher>
#include <QTimer>

namespace {

// A sync tool writes a temporary file, renames it, and may touch the
// folder again: the change is looked at once the folder has been quiet
// this long.
constexpr int Settle_ms = 300;

}  // namespace

void Main_form::Build_disk_watch()
{
    disk_watch = new QFileSystemWatcher(this);
    disk_settle = new QTimer(this);
    disk_settle->setSingleShot(true);
    disk_settle->setInterval(Settle_ms);
    connect(disk_watch, &QFileSystemWatcher::directoryChanged, disk_settle,
            qOverload<>(&QTimer::start));
    connect(disk_settle, &QTimer::timeout, this, &Main_form::Disk_settled);
}

void Main_form::Watch_diary_folders()
{
    if (!disk_watch || ended)
        return;
    // The diary folder shows a year folder made or removed; the year folder
    // the day's files and their copies.
    QStringList wanted{session.App_dir()};
    const QString year = session.Store().Year_folder(session.Diary_date().year);
    if (Diary_store::Folder_exists(year))
        wanted.append(year);
    for (QString& path : wanted) {
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
    }
    const QStringList watched = disk_watch->directories();
    for (const QString& path : watched) {
        if (!wanted.contains(path))
            disk_watch->removePath(path);
    }
    for (const QString& path : wanted) {
        if (!watched.contains(path))
            disk_watch->addPath(path);
    }
}

void Main_form::Disk_settled()
{
    Watch_diary_folders();
    if (ended)
        return;
    Show_changes_on_disk();
    Ask_about_change_on_disk();
}

void Main_form::Ask_about_change_on_disk()
{
    // Not over a question or another window, nor in the middle of a move
    // or a save; a window in the back is asked when it comes forward.
    if (ended || diary_moving || in_query || scroll_lock != Scroll_lock::Off ||
        QApplication::activeModalWidget() || !isActiveWindow())
        return;
    if (!session.Edited(Current_entry())) {
        disk_change_told.clear();
        return;
    }
    const QByteArray state = session.Diary_day_change_on_disk();
    if (state.isEmpty() || state == disk_change_told)
        return;
    Diary_session::Day_plan plan = Plan_day_save(Who::User);
    // Only the question of a day changed on disk is asked here: an emptied
    // day's removal waits for the user to leave it.
    if (ended || plan.remove || plan.result != Save_result::Saved)
        return;
    disk_change_told = state;
    const Save_result result = Run_plan(plan);
    if (result == Save_result::Failed)
        Show_failure(Save_failure_headline(plan), plan.error);
}

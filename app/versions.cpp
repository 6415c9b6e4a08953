// ファイル → ほかの版…: the other versions beside the diary panel's day,
// settled in Versions_window. Whatever is not kept goes into the day's
// history before its copy is removed; a copy is removed only after the
// user's choice has been written.

#include "app/main_form.h"

#include "dialogs/versions_window.h"
#include "diary/other_versions.h"
#include "platform/app_title.h"
#include "ui/io_message.h"

#include <QAction>

namespace {

QString Relative(const QString& path, const QString& app_dir)
{
    return path.startsWith(app_dir) ? path.mid(app_dir.size()) : path;
}

}  // namespace

QString Index_merge_message(const Index_merge& merge, int year, const QString& app_dir)
{
    QStringList names;
    for (const QString& path : merge.removed)
        names.append(Relative(path, app_dir));
    QString text =
        QStringLiteral(
            "%1年の索引ファイル（keyword.txt）のほかの版「%2」を、この日記にまとめました。")
            .arg(year)
            .arg(names.join(QStringLiteral("」「")));
    if (merge.added > 0)
        text += QStringLiteral("\nほかの版にだけあった%1日分のメモと思い出を加えました。")
                    .arg(merge.added);
    if (!merge.versions.isEmpty())
        text += QStringLiteral("\nメモや思い出が違っていた%1日分は、その日のほかの版"
                               "（.conflict-…）として残しました。")
                    .arg(merge.versions.size());
    return text;
}

void Main_form::Menu_versions_Click()
{
    // The panel's day is saved first, as for この日の履歴: the choice made
    // in the window is saved over the day as its files hold it.
    if (!Day_saved_for_a_window())
        return;
    Show_changes_on_disk();
    const Panel_date date = session.Diary_date();
    if (!Index_copies(session, date.year).isEmpty()) {
        const Index_merge merge = Merge_index_copies(session, date.year);
        if (!merge.removed.isEmpty())
            platform.Message_box(Index_merge_message(merge, date.year, session.App_dir()),
                                 App_title, Platform::Icon::Information, Platform::Buttons::Ok);
        if (!merge.error.Ok())
            Show_failure(QStringLiteral("索引ファイルのほかの版をまとめられませんでした。"),
                         merge.error);
        // The merge may have given the panel's day a record.
        Show_changes_on_disk();
    }
    const QList<Other_version> versions = Read_other_versions(session, date);
    if (versions.isEmpty()) {
        platform.Message_box(QStringLiteral("%1年%2月%3日の日記には、ほかの版がありません。")
                                 .arg(date.year)
                                 .arg(date.month)
                                 .arg(date.day),
                             App_title, Platform::Icon::Information, Platform::Buttons::Ok);
        return;
    }
    Versions_window window(Host(), date, versions, Current_entry());
    platform.Run_modal(window);
    if (ended || !window.Choice_made())
        return;
    const Versions_window::Chosen chosen = *window.Choice_made();
    const Other_version& version = versions[chosen.row];
    // The other version is kept unless it becomes the day itself; the day
    // it replaces is kept by the save.
    if (chosen.choice != Versions_window::Choice::Take_other) {
        if (const Io_result kept = Keep_other_version(session, date, version); !kept.Ok()) {
            Show_failure(QStringLiteral("ほかの版を履歴に残せなかったため、そのファイルを"
                                        "消しませんでした。"),
                         kept);
            return;
        }
    }
    if (chosen.choice != Versions_window::Choice::Keep_current) {
        Show_entry(chosen.entry);
        Put_caret_at_end();
        const Save_result saved = Save_day(Who::User);
        if (ended || saved == Save_result::Failed || saved == Save_result::Declined)
            return;
        // A question about a day changed meanwhile may have kept the files'
        // version: the copy is removed only when the chosen day is written.
        if (!(Current_entry() == chosen.entry) || session.Edited(Current_entry()))
            return;
    }
    if (const Io_result removed = Remove_other_version(version); !removed.Ok())
        Show_failure(QStringLiteral("ほかの版のファイルを消せませんでした。"), removed);
    Show_other_versions();
}

#include "diary/path_checks.h"
#include "diary/sealed_copies.h"
#include "diary/session.h"
#include "platform/app_title.h"
#include "platform/clock.h"
#include "store/exact_text.h"
#include "store/safe_replace.h"

#include <QDir>
#include <QFileInfo>

Io_result Diary_session::Save_settings(const Window_geometry& window)
{
    Settings& s = state.settings;
    const Twips_rect& outer = window.outer;
    s.win_state = window.state;
    s.win_top = float(outer.top);
    s.win_left = float(outer.left);
    s.win_height = float(outer.height);
    s.win_width = float(outer.width);
    s.last_ref_date = reference_date.Plain_text();
    return Write_settings();
}

Io_result Diary_session::Write_settings()
{
    if (!settings_writable)
        return Io_result::Success();
    return store.Write_settings(state.settings);
}

QString Diary_session::User_rescue_folder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/sorane/");
}

namespace {

QString New_rescue_path_in(const QString& folder, const QDateTime& now)
{
    const QString stem =
        folder + QStringLiteral("sorane-rescue-") + now.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString path = stem + QStringLiteral(".txt");
    for (int n = 2; Something_at(path); ++n)
        path = stem + QStringLiteral("-%1.txt").arg(n);
    return path;
}

}  // namespace

QString Diary_session::New_rescue_path() const
{
    const QString folder =
        May_make_files_in(store.App_dir()) ? store.App_dir() : User_rescue_folder();
    return New_rescue_path_in(folder, clock.Now());
}

Diary_session::Rescue_write Diary_session::Write_rescue_text(const QString& path,
                                                             const QString& text) const
{
    Rescue_write out;
    const QString own = User_rescue_folder();
    // The user's own data folder is made on first use, for its owner only.
    auto make_own = [&own]() {
        const Io_result made = Make_folders(own.chopped(1));
        return made.step == Io_step::Sync_folder ? Io_result::Success() : made;
    };
    // A locked diary's rescue file in the user's own folder is sealed with
    // its key, as the diary folder's files are.
    sealed_copies::Tie(own, store.App_dir());
    auto write = [&out, &text](const QString& to) {
        out.result = sealed_copies::Write(to, text.toUtf8());
        if (out.result.Ok() || out.result.step == Io_step::Sync_folder)
            out.path = to;
        return !out.path.isEmpty();
    };
    const bool in_own = QFileInfo(path).absolutePath() + QLatin1Char('/') == own;
    if (in_own) {
        if (const Io_result made = make_own(); !made.Ok()) {
            out.result = made;
            return out;
        }
    }
    if (write(path) || in_own)
        return out;
    // The place named refused the file: the user's own data folder takes it,
    // so that ending never means losing the text.
    if (const Io_result made = make_own(); !made.Ok()) {
        out.result = made;
        return out;
    }
    write(New_rescue_path_in(own, clock.Now()));
    return out;
}

Diary_session::Rescue_write Diary_session::Write_rescue_file(const QString& path,
                                                             const Day_entry& now) const
{
    const QString text =
        QStringLiteral(
            "%1 が保存できなかった日記です。\n日付: %2\n思い出: %3\nメモ: %4\n本文:\n%5\n")
            .arg(App_title, diary_date.Key(),
                 now.flag ? QStringLiteral("あり") : QStringLiteral("なし"), now.memo, now.text);
    return Write_rescue_text(path, text);
}

Diary_session::Rescue_write Diary_session::Write_message_rescue(const QString& path,
                                                                const QString& message) const
{
    const QString text = QStringLiteral("%1 が保存できなかった明日へのメッセージです。\n日付: %2\n"
                                        "メッセージ:\n%3\n")
                             .arg(App_title, Panel_date::Of(state.today).Key(), message);
    return Write_rescue_text(path, text);
}

Diary_session::Unattended_save Diary_session::Save_without_user(const Window_geometry& window,
                                                                const Day_entry& now)
{
    Unattended_save out;
    Save_settings(window);
    Day_plan plan = Plan_day_save(now, Who::Nobody);
    out.day = Write_day(plan);
    if (out.day == Save_result::Failed)
        out.rescue_path = Write_rescue_file(New_rescue_path(), now).path;
    return out;
}

Io_result Diary_session::Save_message(const QString& message)
{
    // An emptied message withdraws the one written before.
    if (message.isEmpty())
        return Remove_exact_text_file(store.Tomorrow_path(), clock.Now());
    return Write_exact_text_file(store, store.Tomorrow_path(), message, clock.Now());
}

Diary_session::Message_save Diary_session::Save_message_without_user(const QString& message)
{
    Message_save out;
    out.result = Save_message(message);
    if (!message.isEmpty() && !out.result.Ok() && out.result.step != Io_step::Sync_folder)
        out.rescue_path = Write_message_rescue(New_rescue_path(), message).path;
    return out;
}

// The endings: with a user to ask (終了, the window closed), with nobody to
// ask (signals, the desktop session ending), and the desktop session's
// request to save without ending.

#include "app/main_form.h"

#include "app/backup_control.h"
#include "dialogs/f_tomorrow.h"
#include "ui/io_message.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QScopeGuard>

int Main_form::Window_state() const { return isMinimized() ? 1 : isMaximized() ? 2 : 0; }

Io_result Main_form::Save_settings()
{
    return session.Save_settings({Window_state(), Outer_twips()});
}

QString Main_form::Rescue_question(const QString& rescue) const
{
    if (rescue.isEmpty())
        return QStringLiteral("このまま終了しますか？\n"
                              "「はい」：終了します。設定は前回の終了時のままになります。\n"
                              "「いいえ」：終了せずに、日記の画面に戻ります。");
    // The program folder refuses new files: the user's own folder takes the
    // text, named in full since the user would not look there.
    if (QFileInfo(rescue).absolutePath() + QLatin1Char('/') != session.App_dir())
        return QStringLiteral("このまま終了しますか？\n"
                              "「はい」：終了します。書いた日記は「%1」に書き出します。\n"
                              "「いいえ」：終了せずに、日記の画面に戻ります。")
            .arg(rescue);
    return QStringLiteral(
               "このまま終了しますか？\n"
               "「はい」：終了します。書いた日記は、プログラムのフォルダーの「%1」に書き出します。\n"
               "「いいえ」：終了せずに、日記の画面に戻ります。")
        .arg(QFileInfo(rescue).fileName());
}

void Main_form::Finish()
{
    ended = true;
    // Everything is saved: a backup still running stops without delaying
    // the end, and leaves no file.
    backup->Stop();
    emit Program_ended();
}

bool Main_form::Form_QueryUnload()
{
    if (ended)
        return true;
    if (in_query)
        return false;
    in_query = true;
    const auto leave = qScopeGuard([this] { in_query = false; });

    Diary_session::Day_plan plan = Plan_day_save(Who::User);
    if (ended)
        return true;
    if (plan.result == Save_result::Declined)
        return false;
    const Io_result settings_result = Save_settings();
    const Save_result day = Run_plan(plan);
    if (ended)
        return true;
    if (day == Save_result::Declined)
        return false;  // the day changed on disk, and the user went back to it
    const bool day_failed = day == Save_result::Failed;
    if (settings_result.Ok() && !day_failed) {
        Finish();
        return true;
    }

    QStringList parts;
    if (!settings_result.Ok())
        parts << Io_message(QStringLiteral("設定を保存できませんでした。"), settings_result);
    QString rescue;
    if (day_failed) {
        parts << Io_message(Save_failure_headline(plan), plan.error);
        rescue = session.New_rescue_path();
    }
    parts << Rescue_question(rescue);
    const Platform::Answer answer =
        platform.Message_box(parts.join(QStringLiteral("\n\n")), App_title,
                             Platform::Icon::Exclamation, Platform::Buttons::Yes_no);
    if (ended)
        return true;
    if (answer != Platform::Answer::Yes)
        return false;
    if (day_failed) {
        const Diary_session::Rescue_write written =
            session.Write_rescue_file(rescue, Current_entry());
        if (written.path.isEmpty()) {
            Show_failure(QStringLiteral("日記を書き出せませんでした。"), written.result,
                         QStringLiteral("終了せずに、日記の画面に戻ります。"));
            return false;
        }
        rescue_path = written.path;
        // The place named in the question refused the file at the last
        // moment; the user hears where the text went instead.
        if (written.path != rescue)
            platform.Message_box(
                QStringLiteral("書いた日記は「%1」に書き出しました。").arg(written.path), App_title,
                Platform::Icon::Information, Platform::Buttons::Ok);
    }
    Finish();
    return true;
}

void Main_form::Save_for_session()
{
    if (ended || saving_suspended)
        return;
    Commit_composition();
    Save_open_message();
    const Diary_session::Unattended_save saved =
        session.Save_without_user({Window_state(), Outer_twips()}, Current_entry());
    if (saved.day == Save_result::Saved)
        Text2->document()->setModified(false);
    if (!saved.rescue_path.isEmpty())
        rescue_path = saved.rescue_path;
}

void Main_form::End_without_user()
{
    if (ended)
        return;
    // Nobody is there to read a message: whatever cannot be saved goes to
    // the rescue file.
    Save_for_session();
    Finish();
    // No window may stay waiting for an answer nobody will give: 明日へ
    // (its message saved above) and any question still open are closed.
    if (f_tomorrow)
        f_tomorrow->Close_without_user();
    Close_modal_windows();
    close();
}

void Main_form::Command2_Click() { close(); }

void Main_form::Menu_end_Click() { close(); }

void Main_form::closeEvent(QCloseEvent* event)
{
    if (Form_QueryUnload())
        event->accept();
    else
        event->ignore();
}

// The windows the main window opens: the messages of 明日へ and of the
// start, the search windows and the day's history.

#include "app/locked_export.h"
#include "app/main_form.h"
#include "app/photo_control.h"
#include "dialogs/export_window.h"
#include "dialogs/f_memo.h"
#include "dialogs/f_omoide.h"
#include "dialogs/f_tomorrow.h"
#include "dialogs/f_yesterday.h"
#include "dialogs/fulltext_window.h"
#include "dialogs/history_window.h"
#include "dialogs/import_window.h"
#include "dialogs/print_window.h"
#include "diary/photos.h"
#include "platform/clock.h"
#include "ui/io_message.h"

#include <QApplication>

void Main_form::Command4_Click()
{
    if (session.Message_waiting()) {
        platform.Message_box(
            QStringLiteral("昨日のあなたからのメッセージを、まだ受け渡せていません。\n"
                           "受け渡しが済むまで、明日へのメッセージは書けません。"
                           "次に起動するときに、もう一度受け渡します。"),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
        return;
    }
    F_tomorrow window(Host(), session);
    if (!window.Form_Load())
        return;
    f_tomorrow = &window;
    platform.Run_modal(window);
    f_tomorrow = nullptr;
}

void Main_form::Save_open_message()
{
    if (!f_tomorrow || !f_tomorrow->Message_unsaved())
        return;
    const Diary_session::Message_save saved =
        session.Save_message_without_user(f_tomorrow->Message());
    if (saved.result.Ok() || saved.result.step == Io_step::Sync_folder ||
        !saved.rescue_path.isEmpty())
        f_tomorrow->Message_kept();
    if (!saved.rescue_path.isEmpty())
        rescue_path = saved.rescue_path;
}

void Main_form::Close_modal_windows()
{
    // The innermost first: each modal run returns to the one below it,
    // which finds the program ended.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog || !dialog->isVisible())
            break;
        dialog->done(QDialog::Rejected);
    }
}

void Main_form::Hand_over_messages_at_start()
{
    const Diary_session::Hand_over hand_over = session.Hand_over_messages_at_start();
    if (const Io_result& r = hand_over.settings_error; !r.Ok())
        Show_failure(QStringLiteral("設定ファイルを保存できませんでした。"), r,
                     session.New_day()
                         ? QStringLiteral("メッセージの受け渡しは、次に起動するときに行います。")
                         : QString());
    if (const Io_result& r = hand_over.record_error; !r.Ok())
        Show_failure(QStringLiteral("メッセージの受け渡しの記録を、ディスクに書けませんでした。"),
                     r,
                     session.Hand_over_due()
                         ? QStringLiteral("メッセージの受け渡しは、次に起動するときに行います。")
                         : QString());
    if (const Io_result& r = hand_over.move_error; r.step == Io_step::Sync_folder)
        Show_failure(QStringLiteral("メッセージの受け渡しを、ディスクに確かめられませんでした。"),
                     r);
    else if (!r.Ok())
        Show_failure(QStringLiteral("昨日のあなたからのメッセージを受け渡せませんでした。"), r,
                     QStringLiteral("メッセージのファイルは元のままです。"
                                    "受け渡しは、次に起動するときに行います。"));
    if (session.Has_received_message()) {
        F_yesterday greeting(Host(), session.Store());
        if (greeting.Form_Load())
            platform.Run_modal(greeting);
    }
}

void Main_form::Menu_omoide_Click()
{
    if (!f_omoide)
        f_omoide = new F_omoide(Host(), session, [this](int year, int month, int day) {
            Show_reference_day(year, month, day);
        });
    f_omoide->Form_Load();
    platform.Run_modal(*f_omoide);
}

void Main_form::Menu_memo_Click()
{
    if (!f_memo)
        f_memo = new F_memo(Host(), session, [this](int year, int month, int day) {
            Show_reference_day(year, month, day);
        });
    f_memo->Form_Load();
    platform.Run_modal(*f_memo);
}

bool Main_form::Day_saved_for_a_window()
{
    const Save_result saved = Save_day(Who::User);
    return !ended && saved != Save_result::Failed && saved != Save_result::Declined;
}

void Main_form::Menu_history_Click()
{
    // The panel's day is saved first: the window compares the versions with
    // the day as its files hold it, and a version put back must never
    // replace text that was not saved.
    if (!Day_saved_for_a_window())
        return;
    const Panel_date date = session.Diary_date();
    if (session.History().Versions(date.year, date.month, date.day).isEmpty() &&
        List_removed_photos(session.App_dir(), date).paths.isEmpty()) {
        platform.Message_box(QStringLiteral("%1年%2月%3日の日記には、以前の版がありません。\n"
                                            "以前の版は、書き換えた日記を保存するたびに残ります。")
                                 .arg(date.year)
                                 .arg(date.month)
                                 .arg(date.day),
                             App_title, Platform::Icon::Information, Platform::Buttons::Ok);
        return;
    }
    History_window window(Host(), session.History(), date, Current_entry());
    platform.Run_modal(window);
    if (window.Photos_put_back() && photos && !ended)
        photos->Diary_day_shown();
    if (ended || !window.Chosen())
        return;
    // The version chosen is an edit of the day like any other: its save
    // keeps the version it replaces in the history.
    Show_entry(*window.Chosen());
    Save_day(Who::User);
}

void Main_form::Menu_export_Click()
{
    // The files hold the panel's day as it is shown.
    if (!Day_saved_for_a_window() || !Plain_export_agreed(platform, session.App_dir()))
        return;
    Export_window window(Host(), session.App_dir(), session.Time().Now().date());
    platform.Run_modal(window);
}

void Main_form::Menu_import_Click()
{
    // The panel's day is saved first: the import may write to it, and never
    // over text that was not saved.
    if (!Day_saved_for_a_window())
        return;
    const auto day_back = [this] {
        Load_diary_position();
        Load_reference_text();
    };
    Import_window window(Host(), session, day_back);
    platform.Run_modal(window);
    if (!ended)
        day_back();
}

void Main_form::Menu_print_Click()
{
    // The files hold the panel's day as it is shown: the print reads them.
    if (!Day_saved_for_a_window())
        return;
    Print_window window(Host(), session.App_dir(), session.Diary_date());
    platform.Run_modal(window);
}

void Main_form::Menu_fulltext_Click()
{
    if (!fulltext_window)
        fulltext_window = new Fulltext_window(
            Host(), session.App_dir(), Default_fulltext_cache_folder(),
            [this](int year, int month, int day) { Show_reference_day(year, month, day); });
    fulltext_window->Form_Load();
    platform.Run_modal(*fulltext_window);
}

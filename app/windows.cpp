// The windows the main window opens: the messages of 明日へ and of the
// start, and the two search windows.

#include "app/main_form.h"
#include "dialogs/f_memo.h"
#include "dialogs/f_omoide.h"
#include "dialogs/f_tomorrow.h"
#include "dialogs/f_yesterday.h"
#include "ui/io_message.h"

void Main_form::Command4_Click()
{
    F_tomorrow window(Host(), session.Store());
    if (window.Form_Load())
        platform.Run_modal(window);
}

void Main_form::Hand_over_messages_at_start()
{
    const Diary_session::Hand_over hand_over = session.Hand_over_messages_at_start();
    if (const Io_result& r = hand_over.settings_error; !r.Ok())
        Show_failure(QStringLiteral("設定ファイルを保存できませんでした。"), r,
                     session.state.new_day
                         ? QStringLiteral("メッセージの受け渡しは、次に起動するときに行います。")
                         : QString());
    if (const Io_result& r = hand_over.move_error; r.step == Io_step::Sync_folder)
        Show_failure(QStringLiteral("メッセージの受け渡しを、ディスクに確かめられませんでした。"),
                     r);
    else if (!r.Ok())
        Show_failure(QStringLiteral("昨日のあなたからのメッセージを受け渡せませんでした。"), r,
                     QStringLiteral("メッセージのファイルは元のままです。"));
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

// Saving the diary panel's day: the session's plan, and the questions a
// plan may need (an emptied day, a day changed on disk, a history that
// could not keep the old version) before it is written.

#include "app/main_form.h"

#include "ui/io_message.h"

#include <QPlainTextEdit>

QString Save_failure_headline(const Diary_session::Day_plan& plan)
{
    switch (plan.failure) {
    case Diary_session::Failure::Unreadable_day:
        return QStringLiteral("読み込めなかった日記を上書きしないよう、保存しませんでした。");
    case Diary_session::Failure::Text_only:
        return QStringLiteral("メモと思い出は保存しましたが、本文は保存できませんでした。");
    case Diary_session::Failure::Conflict_copy:
        return QStringLiteral("書き換えられた日記の控えを作れなかったため、保存しませんでした。");
    case Diary_session::Failure::History:
        return plan.remove
                   ? QStringLiteral("以前の版を履歴に残せなかったため、日記を消しませんでした。")
                   : QStringLiteral("以前の版を履歴に残せなかったため、保存しませんでした。");
    case Diary_session::Failure::Changed_before_removal:
        return QStringLiteral("この日の日記は、読み込んだ後にほかのパソコンや同期ソフトなどで"
                              "書き換えられていたため、消しませんでした。\n"
                              "書き換えられた日記を表示します。");
    case Diary_session::Failure::Write:
    case Diary_session::Failure::None: break;
    }
    if (plan.remove)
        return QStringLiteral("日記を消せませんでした。");
    return QStringLiteral("日記を保存できませんでした。");
}

Diary_session::Day_plan Main_form::Plan_day_save(Who who)
{
    Commit_composition();
    // The text is taken from the field once; what is written is this very
    // text (the field cannot change under a modal question).
    return session.Plan_day_save(Current_entry(), who);
}

QString Changed_on_disk_question(const Diary_session::Day_plan& plan, const QString& app_dir)
{
    const QString copy = plan.conflict_copy.startsWith(app_dir)
                             ? plan.conflict_copy.mid(app_dir.size())
                             : plan.conflict_copy;
    // A day removed elsewhere leaves nothing to keep in a copy.
    const bool removed = plan.disk.file.isEmpty() && !plan.disk.record.found;
    const QString keep_mine =
        removed ? QStringLiteral("「いいえ」：ここで書いた日記で保存します。\n")
                : QStringLiteral("「いいえ」：ここで書いた日記で保存します。書き換えられた日記は"
                                 "「%1」に残します。\n")
                      .arg(copy);
    return QStringLiteral("%1年%2月%3日の日記は、読み込んだ後に、ほかのパソコンや同期ソフトなどで"
                          "書き換えられています。\n"
                          "「はい」：書き換えられた日記を残します。ここで書いた日記は「%4」に"
                          "書き出します。\n")
               .arg(plan.date.year)
               .arg(plan.date.month)
               .arg(plan.date.day)
               .arg(copy) +
           keep_mine + QStringLiteral("「キャンセル」：保存せずに、日記の画面に戻ります。");
}

QString History_question(const Diary_session::Day_plan& plan)
{
    return Io_message(QStringLiteral("%1年%2月%3日の日記の以前の版を、履歴に残せませんでした。")
                          .arg(plan.date.year)
                          .arg(plan.date.month)
                          .arg(plan.date.day),
                      plan.error) +
           QStringLiteral("\n\n「はい」：履歴に残さずに保存します。以前の版は残りません。\n"
                          "「いいえ」：保存せずに、日記の画面に戻ります。");
}

// marked: the day has the 思い出 mark, on disk or in the panel.
QString Removal_question(const Diary_session::Day_plan& plan, bool marked)
{
    return QStringLiteral("%1年%2月%3日の日記とメモを消しますか？\n"
                          "本文とメモが空になりました。この日のファイルを消します%4。\n"
                          "消す前の日記は「この日の履歴」に残り、「元に戻す」で戻せます。\n\n"
                          "「はい」：この日の日記を消します。\n"
                          "「いいえ」：消さずに、前の日記をそのまま残します。\n"
                          "「キャンセル」：日記の画面に戻ります。")
        .arg(plan.date.year)
        .arg(plan.date.month)
        .arg(plan.date.day)
        .arg(marked ? QStringLiteral("（思い出の印も消えます）") : QString());
}

Main_form::Save_result Main_form::Run_plan(Diary_session::Day_plan& plan)
{
    if (plan.remove) {
        // Emptying a day is how a day is removed; it is asked, since an
        // empty field is also what a slip of the hand leaves.
        const Platform::Answer answer = platform.Message_box(
            Removal_question(plan, plan.entry.flag || session.Loaded_day().flag), App_title,
            Platform::Icon::Question, Platform::Buttons::Yes_no_cancel);
        if (ended)
            return Save_result::Declined;
        if (answer == Platform::Answer::No) {
            plan.result = Save_result::Unchanged;
            return Save_result::Unchanged;
        }
        if (answer != Platform::Answer::Yes) {
            plan.result = Save_result::Declined;
            return Save_result::Declined;
        }
        const Save_result removed = session.Write_day(plan);
        if (removed == Save_result::Saved) {
            Text2->document()->setModified(false);
        } else if (plan.failure == Diary_session::Failure::Changed_before_removal) {
            Show_entry(session.Loaded_day());
            session.Day_shown(Current_entry());
            Text2->document()->setModified(false);
        }
        return removed;
    }
    Save_result result = session.Write_day(plan);
    if (result == Save_result::Changed_on_disk) {
        const Platform::Answer answer =
            platform.Message_box(Changed_on_disk_question(plan, session.App_dir()), App_title,
                                 Platform::Icon::Exclamation, Platform::Buttons::Yes_no_cancel);
        if (ended)
            return Save_result::Declined;
        if (answer != Platform::Answer::Yes && answer != Platform::Answer::No) {
            plan.result = Save_result::Declined;
            return Save_result::Declined;
        }
        plan.keep =
            answer == Platform::Answer::Yes ? Diary_session::Keep::Disk : Diary_session::Keep::Mine;
        result = session.Write_day(plan);
        if (plan.keep == Diary_session::Keep::Disk && result == Save_result::Unchanged) {
            // The files' version is the day now, in the panel too.
            Show_entry(session.Loaded_day());
            session.Day_shown(Current_entry());
            Text2->document()->setModified(false);
        }
        Show_other_versions();
    }
    if (result == Save_result::Failed && plan.failure == Diary_session::Failure::History &&
        plan.who == Who::User) {
        // Keeping the old version failed (a full disk, a folder in the
        // way): the user decides whether the new text is worth more than
        // the old version. Nothing is written without that answer.
        const Platform::Answer answer =
            platform.Message_box(History_question(plan), App_title, Platform::Icon::Exclamation,
                                 Platform::Buttons::Yes_no);
        if (ended)
            return Save_result::Declined;
        if (answer != Platform::Answer::Yes) {
            plan.result = Save_result::Declined;
            return Save_result::Declined;
        }
        plan.without_history = true;
        plan.result = Save_result::Saved;
        plan.failure = Diary_session::Failure::None;
        plan.error = {};
        result = session.Write_day(plan);
    }
    if (result == Save_result::Saved)
        Text2->document()->setModified(false);
    return result;
}

Main_form::Save_result Main_form::Save_day(Who who)
{
    Diary_session::Day_plan plan = Plan_day_save(who);
    if (ended)
        return Save_result::Declined;
    const Save_result result = Run_plan(plan);
    if (result == Save_result::Saved)
        Records_follow_save();
    if (result == Save_result::Failed && who == Who::User) {
        if (plan.failure == Diary_session::Failure::Changed_before_removal)
            platform.Message_box(Save_failure_headline(plan), App_title,
                                 Platform::Icon::Exclamation, Platform::Buttons::Ok);
        else
            Show_failure(Save_failure_headline(plan), plan.error);
    }
    return result;
}

void Main_form::Menu_save_Click()
{
    if (!ended)
        Save_day(Who::User);
}

// 設定 → 日記に鍵をかける… and 鍵を外す…, and the end of a conversion an
// earlier run left halfway: the conversion runs off the window's thread
// with its progress shown, and its outcome is told.

#include "app/lock_control.h"
#include "app/lock_start.h"
#include "app/main_form.h"
#include "app/recovery_control.h"
#include "dialogs/lock_setup_window.h"
#include "dialogs/password_window.h"
#include "dialogs/recovery_key_window.h"
#include "dialogs/work_window.h"
#include "diary/backup.h"
#include "diary/lock_conversion.h"
#include "diary/plain_backups.h"
#include "platform/app_title.h"
#include "platform/platform.h"
#include "store/lock.h"
#include "ui/io_message.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <memory>
#include <mutex>
#include <utility>

namespace {

// What a conversion hands back from its thread.
struct Conversion_outcome {
    std::mutex mutex;
    lock::Conversion conversion;
    QString recovery_text;
};

// Runs the conversion in a progress window; the window's 中止 turns it
// back when can_stop.
lock::Conversion Converted(
    Platform& platform, QWidget* parent, const QString& caption, bool can_stop,
    const std::function<lock::Conversion(const lock::Conversion_progress&, QString&)>& convert,
    QString* recovery_text = nullptr)
{
    const auto outcome = std::make_shared<Conversion_outcome>();
    Work_window work(
        parent, caption,
        [convert, outcome](const Job_control& control) {
            QString recovery;
            const lock::Conversion done = convert(
                [&control](int files_done, int all) {
                    control.Progress(files_done, all);
                    return !control.Cancelled();
                },
                recovery);
            std::lock_guard guard(outcome->mutex);
            outcome->conversion = done;
            outcome->recovery_text = recovery;
        },
        can_stop);
    platform.Run_modal(work);
    std::lock_guard guard(outcome->mutex);
    if (recovery_text)
        *recovery_text = std::exchange(outcome->recovery_text, QString());
    return outcome->conversion;
}

QString Plain_backups_question(const QString& folder, qsizetype count)
{
    return QStringLiteral("鍵をかける前の日記のバックアップを作りました。\n"
                          "このバックアップと、それより前のバックアップには\n"
                          "鍵がかかっていないため、誰でも読めます。\n"
                          "フォルダー: %1\n"
                          "鍵のかかっていないこの日記のバックアップ %2 個を消しますか？")
        .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)))
        .arg(count);
}

const QString Files_whole = QStringLiteral("日記のファイルは、どれも元の形か暗号化された形のまま"
                                           "読める状態です。");

}  // namespace

void Lock_control::Build_lock_menu(QMenu* settei)
{
    Menu_lock = new QAction(QStringLiteral("日記に鍵をかける…"), settei);
    Menu_lock->setObjectName(QStringLiteral("Menu_lock"));
    settei->insertAction(Menu_lock_settings, Menu_lock);
    connect(Menu_lock, &QAction::triggered, this, &Lock_control::Menu_lock_Click);
    Menu_change_password = new QAction(QStringLiteral("パスワードを変える…"), settei);
    Menu_change_password->setObjectName(QStringLiteral("Menu_change_password"));
    settei->insertAction(Menu_lock_settings, Menu_change_password);
    connect(Menu_change_password, &QAction::triggered, this,
            &Lock_control::Menu_change_password_Click);
    connect(settei, &QMenu::aboutToShow, this, &Lock_control::Update_menu);
    Update_menu();
}

void Lock_control::Update_menu()
{
    const bool locked = lock::Folder_is_locked(Folder());
    Menu_lock->setText(locked ? QStringLiteral("鍵を外す…") : QStringLiteral("日記に鍵をかける…"));
    Menu_lock_settings->setEnabled(locked);
    Menu_change_password->setEnabled(locked);
}

void Lock_control::Menu_change_password_Click()
{
    const QString folder = Folder();
    if (!lock::Folder_is_locked(folder))
        return;
    Recovery_window window(
        &form,
        [folder](const QString& password, const QByteArray& new_password) {
            QByteArray now = password.toUtf8();
            const Key_check check = Change_password(folder, now, new_password);
            now.fill('\0');
            return check;
        },
        Recovery_window::Opened_by::Password);
    if (platform.Run_modal(window) != QDialog::Accepted)
        return;
    // A password the keyring kept is the old one now.
    QByteArray password = window.Password();
    QString error;
    QByteArray kept = keyring.Available(&error) ? keyring.Look_up(folder) : QByteArray();
    const bool was_kept = !kept.isEmpty();
    kept.fill('\0');
    const bool stored = !was_kept || keyring.Store(folder, password, error);
    password.fill('\0');
    platform.Message_box(
        stored ? QStringLiteral("パスワードを変えました。\n"
                                "次からは新しいパスワードで日記を開いてください。")
               : QStringLiteral("パスワードを変えました。\n"
                                "キーリングに覚えたパスワードは新しくできませんでした。"
                                "次に開くときは新しいパスワードを入力してください。\n理由: %1")
                     .arg(error),
        App_title, stored ? Platform::Icon::Information : Platform::Icon::Exclamation,
        Platform::Buttons::Ok);
}

void Lock_control::Menu_lock_Click()
{
    if (lock::Folder_is_locked(Folder()))
        Unlock_diary();
    else
        Lock_diary();
    Update_menu();
    Restart_idle();
}

bool Lock_control::Day_saved()
{
    // Every file is converted, the day's too: what is typed goes to its
    // file first, with the questions of any save.
    const Recovery_host host = form.For_recovery();
    const auto saved = host.Save_day(Main_form::Who::User);
    return !host.Ended() && saved != Main_form::Save_result::Failed &&
           saved != Main_form::Save_result::Declined;
}

void Lock_control::Lock_diary()
{
    // Told before the user chooses a password for nothing.
    if (!lock::Crypto_ready()) {
        Show_failure(platform, QStringLiteral("日記に鍵をかけられませんでした。"),
                     lock::Crypto_missing(), QStringLiteral("日記のファイルは元のままです。"));
        return;
    }
    if (!Day_saved())
        return;
    const QString folder = Folder();
    Lock_setup_window setup(form.Host(), folder);
    if (platform.Run_modal(setup) != QDialog::Accepted)
        return;
    const QByteArray password = setup.Password();
    QString recovery_text;
    const lock::Conversion done = Converted(
        platform, &form,
        QStringLiteral("日記に鍵をかけています。日記のファイルを一つずつ暗号化しています…"), true,
        [folder, password](const lock::Conversion_progress& progress, QString& recovery) {
            return lock::Lock_folder(folder, password, recovery, progress);
        },
        &recovery_text);
    switch (done.status) {
    case lock::Conversion_status::Done: break;
    case lock::Conversion_status::Cancelled:
        platform.Message_box(QStringLiteral("日記に鍵をかけるのを中止しました。\n"
                                            "日記のファイルは元のままです。"),
                             App_title, Platform::Icon::Information, Platform::Buttons::Ok);
        return;
    case lock::Conversion_status::Backup_failed:
        Show_failure(platform,
                     QStringLiteral("鍵をかける前のバックアップを作れなかったため、"
                                    "日記に鍵をかけませんでした。"),
                     done.result, QStringLiteral("日記のファイルは元のままです。"));
        return;
    case lock::Conversion_status::Already_locked:
        platform.Message_box(QStringLiteral("この日記には、すでに鍵がかかっています。"), App_title,
                             Platform::Icon::Information, Platform::Buttons::Ok);
        return;
    default:
        Show_failure(platform, QStringLiteral("日記に鍵をかけられませんでした。"), done.result,
                     lock::Folder_is_locked(folder)
                         ? Files_whole + QStringLiteral("鍵をかける作業は、次の起動で最後まで"
                                                        "行います。")
                         : QStringLiteral("日記のファイルは元のままです。"));
        if (lock::Folder_is_locked(folder)) {
            // The window goes on reading the files sealed so far.
            lock::Diary_key key;
            if (Check_password(folder, password, key).outcome == Key_check::Outcome::Opened)
                Register_diary_key(folder, key);
        }
        if (recovery_text.isEmpty())
            return;
    }
    Recovery_key_window shown(form.Host(), recovery_text, folder);
    platform.Run_modal(shown);
    // The backup made before the lock holds the diary as it was, plain, as
    // do the daily ones before it: the user may delete them now.
    if (!done.backup_path.isEmpty())
        Offer_to_remove_plain_backups(folder);
}

void Lock_control::Offer_to_remove_plain_backups(const QString& folder)
{
    Io_result error;
    const QStringList plain = Plain_backups(folder, Read_backup_settings(folder).folder, error);
    if (plain.isEmpty())
        return;
    if (platform.Message_box(
            Plain_backups_question(QFileInfo(plain.constFirst()).path(), plain.size()), App_title,
            Platform::Icon::Question,
            Platform::Buttons::Yes_no_default_no) != Platform::Answer::Yes)
        return;
    int removed = 0;
    if (const Io_result r = Remove_backups(plain, removed);
        !r.Ok() && r.step != Io_step::Sync_folder)
        Show_failure(
            platform, QStringLiteral("鍵のかかっていないバックアップを消せませんでした。"), r,
            QStringLiteral("%1 個のうち %2 個を消しました。").arg(plain.size()).arg(removed));
}

void Lock_control::Unlock_diary()
{
    if (!Day_saved())
        return;
    const QString folder = Folder();
    const std::optional<lock::Diary_key> key =
        Ask_for_key(platform, &form, Password_window::Purpose::Unlock, folder, keyring, false);
    if (!key)
        return;
    const lock::Conversion done = Converted(
        platform, &form,
        QStringLiteral("日記の鍵を外しています。日記のファイルを一つずつ元の形に戻しています…"),
        true, [folder, k = *key](const lock::Conversion_progress& progress, QString&) {
            return lock::Unlock_folder(folder, k, progress);
        });
    switch (done.status) {
    case lock::Conversion_status::Done:
    case lock::Conversion_status::Not_locked: break;
    case lock::Conversion_status::Cancelled:
        platform.Message_box(QStringLiteral("日記の鍵を外すのを中止しました。\n"
                                            "日記には鍵がかかったままです。"),
                             App_title, Platform::Icon::Information, Platform::Buttons::Ok);
        Register_diary_key(folder, *key);
        return;
    default:
        Show_failure(platform, QStringLiteral("日記の鍵を外せませんでした。"), done.result,
                     Files_whole + QStringLiteral("鍵を外す作業は、次の起動で最後まで行います。"));
        if (lock::Folder_is_locked(folder))
            Register_diary_key(folder, *key);
        return;
    }
    // Plain from now on: nothing is sealed any more, and no password is
    // kept for a diary that has none.
    lock::Forget_keys();
    QString error;
    keyring.Remove(folder, error);
    platform.Message_box(QStringLiteral("日記の鍵を外しました。\n"
                                        "日記のファイルは、暗号化されない元の形に戻りました。"),
                         App_title, Platform::Icon::Information, Platform::Buttons::Ok);
}

bool Finish_left_conversion(Platform& platform, const QString& diary_folder,
                            const lock::Diary_key& key, lock::Key_state state)
{
    QString unused;
    const lock::Conversion done =
        Converted(platform, nullptr,
                  state == lock::Key_state::Locking
                      ? QStringLiteral("前回止まった、日記に鍵をかける作業を最後まで行っています…")
                      : QStringLiteral("前回止まった、日記の鍵を外す作業を最後まで行っています…"),
                  false, [diary_folder, key](const lock::Conversion_progress& progress, QString&) {
                      return lock::Finish_conversion(diary_folder, key, progress);
                  });
    if (!done.Ok()) {
        Show_failure(platform,
                     QStringLiteral("前回止まった作業を終えられないため、日記を開けません。"),
                     done.result, Files_whole + QStringLiteral("次の起動でもう一度試します。"));
        return false;
    }
    // Unlocked to the end: nothing is sealed any more.
    if (!lock::Folder_is_locked(diary_folder))
        lock::Forget_keys();
    return true;
}

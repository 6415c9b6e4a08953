#include "app/lock_start.h"

#include "app/keyring.h"
#include "platform/app_title.h"
#include "platform/platform.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QDir>
#include <memory>
#include <mutex>
#include <utility>

namespace {

Key_check Failed(const QString& headline, const Io_result& result)
{
    return {Key_check::Outcome::Failed, Io_message(headline, result)};
}

Key_check Of(lock::Open_result opened)
{
    switch (opened) {
    case lock::Open_result::Opened: return {Key_check::Outcome::Opened, {}};
    case lock::Open_result::Wrong_password:
    case lock::Open_result::Wrong_recovery_key: return {Key_check::Outcome::Wrong, {}};
    case lock::Open_result::Damaged_key_file:
        return {Key_check::Outcome::Failed,
                QStringLiteral("日記の鍵のファイル (%1) が壊れているため、日記を開けません。")
                    .arg(QString::fromLatin1(lock::Key_file_name))};
    case lock::Open_result::Out_of_memory:
        return {Key_check::Outcome::Failed,
                QStringLiteral("パスワードを確かめるためのメモリーが足りません。"
                               "ほかのプログラムを終了してから、もう一度試してください。")};
    }
    return {};
}

// The key a check found, handed from the check's thread to the window's.
struct Found_key {
    std::mutex mutex;
    lock::Diary_key key;
    void Put(const lock::Diary_key& k)
    {
        std::lock_guard guard(mutex);
        key = k;
    }
    lock::Diary_key Take()
    {
        std::lock_guard guard(mutex);
        return std::exchange(key, lock::Diary_key());
    }
};

}  // namespace

Key_check Check_password(const QString& diary_folder, const QByteArray& password_utf8,
                         lock::Diary_key& out)
{
    lock::Key_file file;
    if (const Io_result r = lock::Read_key_file(diary_folder, file); !r.Ok())
        return Failed(QStringLiteral("日記の鍵のファイルを読み込めませんでした。"), r);
    return Of(lock::Open_with_password(file, password_utf8, out));
}

namespace {

// The same diary key wrapped by a new password: no day file changes, the
// recovery key stays as it was written down, and a conversion under way
// stays under way.
Key_check Wrap_anew(const QString& diary_folder, const lock::Key_file& file,
                    const lock::Diary_key& key, const QByteArray& new_password_utf8,
                    const QString& not_written)
{
    lock::Key_file renewed = lock::With_new_password(file, key, new_password_utf8, file.limits);
    renewed.state = file.state;
    if (const Io_result r = lock::Write_key_file(diary_folder, renewed); !r.Ok())
        return Failed(not_written, r);
    return {Key_check::Outcome::Opened, {}};
}

}  // namespace

Key_check Check_recovery_key(const QString& diary_folder, const QString& recovery_text,
                             const QByteArray& new_password_utf8, lock::Diary_key& out)
{
    lock::Key_file file;
    if (const Io_result r = lock::Read_key_file(diary_folder, file); !r.Ok())
        return Failed(QStringLiteral("日記の鍵のファイルを読み込めませんでした。"), r);
    lock::Diary_key key;
    if (const Key_check opened = Of(lock::Open_with_recovery_key(file, recovery_text, key));
        opened.outcome != Key_check::Outcome::Opened)
        return opened;
    const Key_check renewed =
        Wrap_anew(diary_folder, file, key, new_password_utf8,
                  QStringLiteral("回復キーは正しいのですが、新しいパスワードを"
                                 "鍵のファイルに書き込めませんでした。"
                                 "パスワードは元のままです。"));
    if (renewed.outcome == Key_check::Outcome::Opened)
        out = key;
    return renewed;
}

Key_check Change_password(const QString& diary_folder, const QByteArray& password_utf8,
                          const QByteArray& new_password_utf8)
{
    lock::Key_file file;
    if (const Io_result r = lock::Read_key_file(diary_folder, file); !r.Ok())
        return Failed(QStringLiteral("日記の鍵のファイルを読み込めませんでした。"), r);
    lock::Diary_key key;
    if (const Key_check opened = Of(lock::Open_with_password(file, password_utf8, key));
        opened.outcome != Key_check::Outcome::Opened)
        return opened;
    return Wrap_anew(diary_folder, file, key, new_password_utf8,
                     QStringLiteral("新しいパスワードを鍵のファイルに書き込めませんでした。"
                                    "パスワードは元のままです。"));
}

void Register_diary_key(const QString& diary_folder, const lock::Diary_key& key)
{
    lock::Register_key(diary_folder, key);
}

std::optional<lock::Diary_key> Ask_for_key(Platform& platform, QWidget* parent,
                                           Password_window::Purpose purpose,
                                           const QString& diary_folder, Desktop_keyring& keyring,
                                           bool kept_in_keyring)
{
    const auto found = std::make_shared<Found_key>();
    QString why_not;
    const bool keyring_there = keyring.Available(&why_not);
    for (;;) {
        Password_window window(parent, purpose, diary_folder,
                               [diary_folder, found](const QByteArray& password) {
                                   lock::Diary_key key;
                                   const Key_check check =
                                       Check_password(diary_folder, password, key);
                                   if (check.outcome == Key_check::Outcome::Opened)
                                       found->Put(key);
                                   return check;
                               },
                               {keyring_there, why_not, kept_in_keyring});
        const int answer = platform.Run_modal(window);
        QByteArray password;
        bool remember = false;
        if (answer == QDialog::Accepted) {
            password = window.Password();
            remember = window.Remember();
        } else if (answer == Password_window::Use_recovery_key) {
            Recovery_window recovery(parent, [diary_folder, found](const QString& text,
                                                                   const QByteArray& new_password) {
                lock::Diary_key key;
                const Key_check check = Check_recovery_key(diary_folder, text, new_password, key);
                if (check.outcome == Key_check::Outcome::Opened)
                    found->Put(key);
                return check;
            });
            if (platform.Run_modal(recovery) != QDialog::Accepted)
                continue;  // back to the password
            platform.Message_box(QStringLiteral("新しいパスワードを設定しました。\n"
                                                "次からは新しいパスワードで日記を開いてください。"),
                                 App_title, Platform::Icon::Information, Platform::Buttons::Ok);
            password = recovery.Password();
            // A password kept before is the old one now.
            remember = kept_in_keyring && keyring_there;
        } else {
            return std::nullopt;
        }
        const lock::Diary_key key = found->Take();
        if (!key.Valid())
            return std::nullopt;
        QString error;
        if (remember && !keyring.Store(diary_folder, password, error))
            platform.Message_box(
                QStringLiteral(
                    "日記は開きましたが、パスワードをキーリングに覚えておけませんでした。"
                    "\n理由: %1")
                    .arg(error),
                App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
        else if (!remember && kept_in_keyring && keyring_there &&
                 !keyring.Remove(diary_folder, error))
            platform.Message_box(
                QStringLiteral("キーリングに覚えたパスワードを消せませんでした。\n理由: %1")
                    .arg(error),
                App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
        password.fill('\0');
        return key;
    }
}

bool Open_locked_diary(Platform& platform, const QString& diary_folder, Desktop_keyring& keyring)
{
    if (!lock::Folder_is_locked(diary_folder))
        return true;
    // The password window comes before the main window: the windows' font
    // is set up here first.
    Install_font_substitutions();
    lock::Key_file file;
    if (const Io_result r = lock::Read_key_file(diary_folder, file); !r.Ok()) {
        Show_failure(platform,
                     QStringLiteral("日記の鍵のファイルを読み込めないため、日記を開けません。"), r,
                     QStringLiteral("日記のファイルには何も書き込んでいません。"));
        return false;
    }
    if (!lock::Crypto_ready()) {
        Show_failure(platform,
                     QStringLiteral("この日記には鍵がかかっていますが、鍵を開けるための"
                                    "ライブラリーを読み込めないため、日記を開けません。"),
                     lock::Crypto_missing(),
                     QStringLiteral("日記のファイルには何も書き込んでいません。"));
        return false;
    }
    // A password the keyring keeps opens the diary without a question; one
    // that no longer opens it (changed on another computer) is asked anew.
    lock::Diary_key key;
    QByteArray kept = keyring.Look_up(diary_folder);
    bool opened = false;
    if (!kept.isEmpty())
        opened = lock::Open_with_password(file, kept, key) == lock::Open_result::Opened;
    const bool was_kept = !kept.isEmpty();
    kept.fill('\0');
    if (!opened) {
        std::optional<lock::Diary_key> asked = Ask_for_key(
            platform, nullptr, Password_window::Purpose::Start, diary_folder, keyring, was_kept);
        if (!asked)
            return false;
        key = *asked;
    }
    Register_diary_key(diary_folder, key);
    if (file.state == lock::Key_state::Locked)
        return true;
    // An earlier run was stopped while it locked or unlocked the diary:
    // that conversion ends now, before the diary is read.
    return Finish_left_conversion(platform, diary_folder, key, file.state);
}

#include "diary/lock_command.h"

#include "diary/command_line.h"
#include "diary/folder_lock.h"
#include "diary/lock_conversion.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

// The longest password read; a longer first line is cut here.
constexpr qsizetype Password_limit = 4096;

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

QString Locked_without_password(const QString& folder)
{
    return QStringLiteral("この日記には鍵がかかっています: %1\n"
                          "パスワードを標準入力の一行目で渡し、--password-stdin を付けて"
                          "実行してください。\n"
                          "例: sorane --search 言葉 --password-stdin < パスワードのファイル")
        .arg(Shown(folder));
}

QString Open_failure(lock::Open_result result, const QString& folder)
{
    switch (result) {
    case lock::Open_result::Wrong_password:
        return QStringLiteral(
            "パスワードが違います。日記は開きませんでした（何も書き換えていません）。");
    case lock::Open_result::Out_of_memory:
        return QStringLiteral("パスワードを確かめるためのメモリーが足りません。"
                              "ほかのプログラムを閉じてから、もう一度実行してください。");
    case lock::Open_result::Damaged_key_file:
    case lock::Open_result::Wrong_recovery_key:
    case lock::Open_result::Opened: break;
    }
    return QStringLiteral("鍵のファイルが壊れているため、日記を開けません。\nファイル: %1")
        .arg(Shown(lock::Key_file_path(folder)));
}

QString Key_file_failure(const Io_result& r)
{
    if (r.step == Io_step::Damaged_lock)
        return QStringLiteral("鍵のファイルが壊れているため、日記を開けません。\nファイル: %1")
            .arg(Shown(r.path));
    return QStringLiteral("鍵のファイルを読み込めませんでした。\nファイル: %1").arg(Shown(r.path));
}

// The password read and the diary's key opened with it; false with the
// message written.
bool Open_key(const QString& folder, const lock::Key_file& file, QTextStream& err,
              lock::Diary_key& key)
{
    const lock::Secret password = Read_password_line(err);
    if (password.Empty()) {
        err << QStringLiteral("パスワードを読み取れませんでした（標準入力の一行目が空です）。")
            << Qt::endl;
        return false;
    }
    const lock::Open_result opened = lock::Open_with_password(file, password.View(), key);
    if (opened != lock::Open_result::Opened) {
        err << Open_failure(opened, folder) << Qt::endl;
        return false;
    }
    return true;
}

QString Conversion_failure(const lock::Conversion& c, bool locking)
{
    const QString what = locking ? QStringLiteral("日記に鍵をかけられませんでした。")
                                 : QStringLiteral("日記の鍵を外せませんでした。");
    QString reason;
    switch (c.result.step) {
    case Io_step::Damaged_lock:
        reason = QStringLiteral("鍵のかかったファイルが壊れているか、別の鍵のものです。");
        break;
    case Io_step::Read_only:
        reason = QStringLiteral("ファイルが読み取り専用になっています。");
        break;
    case Io_step::Too_large: reason = QStringLiteral("ファイルが大きすぎます。"); break;
    default:
        reason = c.result.error_number != 0
                     ? QString::fromLocal8Bit(std::strerror(c.result.error_number))
                     : QStringLiteral("ファイルを読み書きできませんでした。");
    }
    return QStringLiteral("%1\nファイル: %2\n理由: %3").arg(what, Shown(c.result.path), reason);
}

}  // namespace

QCommandLineOption Password_stdin_option()
{
    return QCommandLineOption(
        QStringLiteral("password-stdin"),
        QStringLiteral("鍵のかかった日記のパスワードを標準入力の一行目から読みます。"));
}

lock::Secret Read_password_line(QTextStream& err)
{
    // From a terminal: asked for, and not shown as it is typed.
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios saved{};
    bool quiet = false;
    if (terminal) {
        err << QStringLiteral("パスワード: ") << Qt::flush;
        if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
            termios silent = saved;
            silent.c_lflag &= tcflag_t(~ECHO);
            quiet = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent) == 0;
        }
    }
    // Read through stdin's own buffer, so that what follows the first line
    // (the text of "--add -") is still there for the command.
    lock::Secret buffer(Password_limit);
    qsizetype size = 0;
    int c;
    while ((c = std::getc(stdin)) != EOF && c != '\n') {
        if (size < Password_limit)
            buffer.Data()[size++] = static_cast<unsigned char>(c);
    }
    if (size > 0 && buffer.Data()[size - 1] == '\r')
        --size;
    if (quiet) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err << Qt::endl;
    }
    return lock::Secret::Of(QByteArrayView(buffer.View().data(), size));
}

bool Open_locked_diary(const QCommandLineParser& parser, const QString& folder, QTextStream& err)
{
    if (!lock::Folder_is_locked(folder))
        return true;
    if (!parser.optionNames().contains(QStringLiteral("password-stdin"))) {
        err << Locked_without_password(folder) << Qt::endl;
        return false;
    }
    lock::Key_file file;
    if (const Io_result r = lock::Read_key_file(folder, file); !r.Ok()) {
        err << Key_file_failure(r) << Qt::endl;
        return false;
    }
    lock::Diary_key key;
    if (!Open_key(folder, file, err, key))
        return false;
    lock::Register_key(folder, key);
    return true;
}

int Run_lock_command(const QStringList& arguments, const QString& program_folder,
                     const QString& lock_folder, bool locking, QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    const QCommandLineOption command_option(
        locking ? QStringLiteral("lock") : QStringLiteral("unlock"),
        locking ? QStringLiteral("日記に鍵をかけます。") : QStringLiteral("日記の鍵を外します。"));
    const Command_help help{
        locking ? QStringLiteral("sorane --lock [--diary DIR] --password-stdin")
                : QStringLiteral("sorane --unlock [--diary DIR] --password-stdin"),
        locking ? QStringLiteral(
                      "日記のバックアップを作ってから、日記のすべてのファイルを標準入力の一行目の"
                      "パスワードで鍵をかけ、回復キーを一度だけ表示します。\n"
                      "鍵をかけた日記は、Windows 版やほかのプログラムでは読めなくなります。\n"
                      "終了コード: 0 鍵をかけた、2 エラー（何も変えていません）。")
                : QStringLiteral("標準入力の一行目のパスワードで日記を開き、すべてのファイルを"
                                 "鍵のないファイルに戻して、鍵のファイルを消します。\n"
                                 "終了コード: 0 鍵を外した、2 エラー。")};
    if (const std::optional<int> ended = Parse_command(
            parser, {command_option, Diary_option(), Help_option()}, help, arguments, out, err))
        return *ended;
    if (Refuse_extra_arguments(parser, 0, err))
        return 2;
    const QString folder = parser.isSet(QStringLiteral("diary"))
                               ? parser.value(QStringLiteral("diary"))
                               : program_folder;
    if (!QFileInfo(folder).isDir()) {
        err << QStringLiteral("日記のフォルダーがありません: %1").arg(folder) << Qt::endl;
        return 2;
    }
    if (!parser.optionNames().contains(QStringLiteral("password-stdin"))) {
        err << QStringLiteral("パスワードは標準入力の一行目で渡し、--password-stdin を付けて"
                              "ください。")
            << Qt::endl;
        return 2;
    }

    if (!lock::Crypto_ready()) {
        err << (locking ? QStringLiteral("日記に鍵をかけられませんでした。")
                        : QStringLiteral("日記の鍵を外せませんでした。"))
            << QStringLiteral("\n暗号化のライブラリー (libsodium.so.23) を読み込めませんでした。"
                              "日記のファイルは元のままです。")
            << Qt::endl;
        return 2;
    }

    // Nobody else writes the folder while its files change form.
    Folder_lock held(folder, lock_folder);
    if (held.Take() != Folder_lock::State::Held) {
        err << QStringLiteral("この日記を開いている画面があります。画面を閉じてから、"
                              "もう一度実行してください。")
            << Qt::endl;
        return 2;
    }

    lock::Key_file file;
    const bool has_key_file = lock::Folder_is_locked(folder);
    if (has_key_file) {
        if (const Io_result r = lock::Read_key_file(folder, file); !r.Ok()) {
            err << Key_file_failure(r) << Qt::endl;
            return 2;
        }
    }

    // A hundred years take minutes: on a terminal, how far it has come.
    lock::Conversion_progress progress;
    if (::isatty(STDERR_FILENO) == 1) {
        progress = [&err, locking, shown = -1](int done_files, int all) mutable {
            const int percent = all > 0 ? done_files * 100 / all : 100;
            if (percent != shown) {
                shown = percent;
                err << QStringLiteral("\r%1 %2% (%3 / %4)")
                           .arg(locking ? QStringLiteral("鍵をかけています…")
                                        : QStringLiteral("鍵を外しています…"))
                           .arg(percent)
                           .arg(done_files)
                           .arg(all)
                    << (done_files == all ? "\n" : "") << Qt::flush;
            }
            return true;
        };
    }
    lock::Conversion done;
    QString recovery;
    if (locking && !has_key_file) {
        const lock::Secret password = Read_password_line(err);
        if (password.Empty()) {
            err << QStringLiteral("パスワードが空です。鍵はかけませんでした。") << Qt::endl;
            return 2;
        }
        done = lock::Lock_folder(folder, password.View(), recovery, progress);
    } else if (locking && file.state == lock::Key_state::Locked) {
        err << QStringLiteral("この日記にはすでに鍵がかかっています: %1").arg(Shown(folder))
            << Qt::endl;
        return 2;
    } else if (!locking && !has_key_file) {
        err << QStringLiteral("この日記には鍵がかかっていません: %1").arg(Shown(folder))
            << Qt::endl;
        return 2;
    } else {
        // Unlocking, or a lock cut off before it was done: the password
        // opens the key, and the conversion goes on from where it stopped.
        lock::Diary_key key;
        if (!Open_key(folder, file, err, key))
            return 2;
        done = locking ? lock::Finish_conversion(folder, key, progress)
                       : lock::Unlock_folder(folder, key, progress);
    }

    switch (done.status) {
    case lock::Conversion_status::Done: break;
    case lock::Conversion_status::Backup_failed:
        err << QStringLiteral(
                   "鍵をかける前のバックアップを作れなかったため、鍵はかけませんでした。\n"
                   "ファイル: %1")
                   .arg(Shown(done.result.path))
            << Qt::endl;
        return 2;
    case lock::Conversion_status::Already_locked:
        err << QStringLiteral("この日記にはすでに鍵がかかっています: %1").arg(Shown(folder))
            << Qt::endl;
        return 2;
    case lock::Conversion_status::Not_locked:
        err << QStringLiteral("この日記には鍵がかかっていません: %1").arg(Shown(folder))
            << Qt::endl;
        return 2;
    case lock::Conversion_status::Other_key:
        err << QStringLiteral("鍵のファイルがこの日記のものではありません。") << Qt::endl;
        return 2;
    case lock::Conversion_status::Cancelled:
    case lock::Conversion_status::Failed:
        err << Conversion_failure(done, locking) << Qt::endl;
        return 2;
    }

    if (!locking) {
        out << QStringLiteral("日記の鍵を外しました: %1").arg(Shown(folder)) << Qt::endl;
        return 0;
    }
    out << QStringLiteral("日記に鍵をかけました: %1").arg(Shown(folder)) << '\n';
    if (!done.backup_path.isEmpty())
        out << QStringLiteral("鍵をかける前のバックアップ: %1\n"
                              "このバックアップには鍵がかかっていません。要らなくなったら"
                              "消してください。")
                   .arg(Shown(done.backup_path))
            << '\n';
    if (!recovery.isEmpty())
        out << QStringLiteral("回復キー: %1\n").arg(recovery)
            << QStringLiteral("回復キーは、いまだけ表示します。パスワードを忘れたときに日記を開く"
                              "ただ一つの方法です。書き留めて、日記とは別の安全な場所にしまって"
                              "ください。\n");
    out.flush();
    return 0;
}

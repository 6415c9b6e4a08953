#include "ui/io_message.h"

#include "platform/platform.h"
#include "store/store.h"

#include <QDir>
#include <cerrno>

namespace {

QString Errno_reason(int error_number)
{
    switch (error_number) {
    case ENOSPC: return QStringLiteral("ディスクがいっぱいです。");
    case EDQUOT: return QStringLiteral("ディスクの使用量の上限に達しています。");
    case EACCES:
    case EPERM: return QStringLiteral("このファイルを扱う権限がありません。");
    case EROFS: return QStringLiteral("読み取り専用のディスクです。");
    case ENOENT: return QStringLiteral("ファイルかフォルダーが見つかりません。");
    case EISDIR: return QStringLiteral("ファイルの場所に同じ名前のフォルダーがあります。");
    case ENOTDIR: return QStringLiteral("フォルダーの場所に同じ名前のファイルがあります。");
    case EIO: return QStringLiteral("ディスクの読み書きでエラーが起きました。");
    case ENAMETOOLONG: return QStringLiteral("ファイルの名前が長すぎます。");
    case EMFILE:
    case ENFILE: return QStringLiteral("開いているファイルが多すぎます。");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("ファイルがほかのプログラムに使われています。");
    case EFBIG: return QStringLiteral("ファイルが大きすぎます。");
    case ENOMEM: return QStringLiteral("メモリーが足りません。");
    case ELIBACC:
        return QStringLiteral(
            "プログラムに必要なライブラリーが見つからないか、読み込めませんでした。");
    default: break;
    }
    return QStringLiteral("システムのエラーが起きました（エラー番号 %1）。").arg(error_number);
}

QString Step_reason(Io_step step)
{
    switch (step) {
    case Io_step::Read_only: return QStringLiteral("ファイルが読み取り専用になっています。");
    case Io_step::Not_a_folder:
        return QStringLiteral("フォルダーの場所に同じ名前のファイルがあります。");
    case Io_step::Not_a_file:
        return QStringLiteral("ファイルの場所に同じ名前のフォルダーがあります。");
    case Io_step::Not_a_regular_file:
        return QStringLiteral(
            "ファイルの場所に、ふつうのファイルではないもの（名前付きパイプやデバイス）があります。");
    case Io_step::Is_a_link:
        return QStringLiteral("ファイルの場所にリンクがあります。リンクは置き換えません。");
    case Io_step::Link_not_read:
        return QStringLiteral("ファイルの場所にリンクがあります。リンクの先は読みません。");
    case Io_step::Too_large:
        return QStringLiteral("ファイルが大きすぎます（%1MBを超えています）。")
            .arg(File_size_limit / (1024 * 1024));
    case Io_step::Encode: return QStringLiteral("シフトJISで表せない文字があります。");
    case Io_step::Locked:
        return QStringLiteral(
            "鍵のかかった日記のファイルです。パスワードを入れるまで読むことも書くこともできません。");
    case Io_step::Damaged_lock:
        return QStringLiteral(
            "鍵のかかったファイルが壊れているか、書き換えられています。中身は読みません。");
    case Io_step::Open: return QStringLiteral("ファイルを開けませんでした。");
    case Io_step::Read: return QStringLiteral("ファイルを読み込めませんでした。");
    case Io_step::Write: return QStringLiteral("ファイルに書き込めませんでした。");
    case Io_step::Sync: return QStringLiteral("ディスクへの書き込みを確かめられませんでした。");
    case Io_step::Close: return QStringLiteral("ファイルを閉じられませんでした。");
    case Io_step::Rename: return QStringLiteral("新しいファイルを置けませんでした。");
    case Io_step::Sync_folder:
        return QStringLiteral("フォルダーへの書き込みを確かめられませんでした。");
    case Io_step::Make_folder: return QStringLiteral("フォルダーを作れませんでした。");
    case Io_step::Remove: return QStringLiteral("ファイルを削除できませんでした。");
    case Io_step::None: break;
    }
    return {};
}

}  // namespace

QString Io_reason(const Io_result& result)
{
    // A fault of the file's kind or place says more than the errno behind it.
    switch (result.step) {
    case Io_step::Read_only:
    case Io_step::Not_a_folder:
    case Io_step::Not_a_file:
    case Io_step::Not_a_regular_file:
    case Io_step::Is_a_link:
    case Io_step::Link_not_read:
    case Io_step::Too_large:
    case Io_step::Encode:
    case Io_step::Locked:
    case Io_step::Damaged_lock: return Step_reason(result.step);
    default: break;
    }
    if (result.error_number != 0)
        return Errno_reason(result.error_number);
    return Step_reason(result.step);
}

QString Io_message(const QString& headline, const Io_result& result)
{
    return QStringLiteral("%1\n%2: %3\n理由: %4")
        .arg(headline,
             result.path_is_folder ? QStringLiteral("フォルダー") : QStringLiteral("ファイル"),
             QDir::toNativeSeparators(result.path), Io_reason(result));
}

void Show_failure(Platform& platform, const QString& headline, const Io_result& result,
                  const QString& note)
{
    QString text = Io_message(headline, result);
    if (!note.isEmpty())
        text += QStringLiteral("\n\n") + note;
    platform.Message_box(text, App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok);
}

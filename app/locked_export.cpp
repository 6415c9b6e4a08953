#include "app/locked_export.h"

#include "platform/app_title.h"
#include "platform/platform.h"
#include "store/lock.h"

QString Locked_export_question()
{
    return QStringLiteral(
        "この日記には鍵がかかっていますが、書き出すファイルには鍵がかかりません。\n"
        "書き出したファイルは、パスワードを知らない人でも開いて読めます。"
        "同期しているフォルダーや共有のフォルダーに書き出すと、ほかのコンピューターからも"
        "読めます。\n\n鍵をかけずに書き出しますか？");
}

bool Plain_export_agreed(Platform& platform, const QString& app_dir)
{
    if (!lock::Folder_is_locked(app_dir))
        return true;
    return platform.Message_box(Locked_export_question(), App_title, Platform::Icon::Exclamation,
                                Platform::Buttons::Yes_no) == Platform::Answer::Yes;
}

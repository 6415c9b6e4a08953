// The 占い button: at most one fortune a day, and never for an empty diary.

#include "app/main_form.h"
#include "dialogs/f_uranai.h"
#include "fortune/draw_fortune.h"

#include <QPlainTextEdit>

void Main_form::Command3_Click()
{
    // The told state comes first: an empty diary on a day whose fortune was
    // told still hears that it was told.
    if (session.Fortune_told_today()) {
        platform.Message_box(QStringLiteral("本日の占いはもう終わっています"), App_title,
                             Platform::Icon::None, Platform::Buttons::Ok);
        return;
    }
    // Only the exactly empty text is refused; blanks or a line break pass.
    // The new day's template left as it was is no writing either.
    if (Text2->toPlainText().isEmpty() || Template_untouched()) {
        // The two sentences are joined by a lone carriage return; the
        // platform layer shows it as a line break.
        platform.Message_box(
            QStringLiteral("この占いは、今日の日記の内容を解析して明日の運気を予測するものです。") +
                QChar(u'\r') + QStringLiteral("まず、今日の日記をつけて下さい。"),
            App_title, Platform::Icon::None, Platform::Buttons::Ok);
        return;
    }

    // Told from this moment, and written at once, so that a program killed
    // after the fortune does not tell a second one today. The day itself is
    // not written here.
    session.Record_fortune_told();
    if (const Io_result r = Save_settings(); !r.Ok())
        Show_failure(QStringLiteral("占いを済ませたことを設定ファイルに保存できませんでした。"), r,
                     QStringLiteral("終了するときに、もう一度保存します。"));

    F_uranai window(Host(), session.Time(), fortune_generator,
                    Fortune_text_length(Text2->toPlainText()));
    platform.Run_modal(window);
}

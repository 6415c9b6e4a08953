#include "diary/show_command.h"

#include "diary/command_line.h"
#include "diary/panel_date.h"
#include "platform/clock.h"
#include "store/exact_text.h"
#include "store/store.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

int Run_show_command(const QStringList& arguments, const QString& program_folder, Clock& clock,
                     const std::function<QString(const Io_result&)>& reason, QTextStream& out,
                     QTextStream& err)
{
    // "--show=2026/12/09" is "--show 2026/12/09".
    QStringList given;
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1String("--show="))) {
            given << QStringLiteral("--show") << argument.mid(7);
        } else {
            given << argument;
        }
    }
    QCommandLineParser parser;
    const QCommandLineOption show_option(QStringLiteral("show"),
                                         QStringLiteral("一日の日記を表示します。"));
    const Command_help help{
        QStringLiteral("sorane --show [yyyy/mm/dd] [--diary DIR]"),
        QStringLiteral("一日（省略時は今日）の日付、思い出、メモを一行ずつ、空行のあとに本文を、"
                       "書いたとおりの文字（UTF-8）で表示します。本文の最後にも改行が付きます。\n"
                       "終了コード: 0 表示した、1 その日には何も書かれていない、2 エラー。")};
    if (const std::optional<int> ended = Parse_command(
            parser, {show_option, Diary_option(), Help_option()}, help, given, out, err))
        return *ended;
    const QStringList positional = parser.positionalArguments();
    if (Refuse_extra_arguments(parser, 1, err))
        return 2;
    std::optional<Panel_date> date = Panel_date::Of(clock.Now().date());
    if (!positional.isEmpty())
        date = Diary_date_argument(positional.constFirst());
    if (!date || !(date->Clamped() == *date)) {
        err << QStringLiteral("日付は %1 から %2 までの yyyy/mm/dd で指定してください: %3")
                   .arg(First_year)
                   .arg(Last_year)
                   .arg(positional.isEmpty() ? QStringLiteral("今日") : positional.constFirst())
            << Qt::endl;
        return 2;
    }
    const std::optional<QString> diary = Diary_folder_of(parser, program_folder, err);
    if (!diary)
        return 2;
    Diary_store store(*diary);
    Exact_day day;
    if (Diary_store::Folder_exists(store.Year_folder(date->year)))
        day = Read_exact_day(store, date->year, date->month, date->day);
    for (const Io_result& failure : {day.index_error, day.text_error}) {
        if (failure.Ok())
            continue;
        err << QStringLiteral("%1 の日記を読み込めませんでした。\nファイル: %2\n理由: %3")
                   .arg(date->Key(), QDir::toNativeSeparators(failure.path), reason(failure))
            << Qt::endl;
        return 2;
    }
    if (day.text.isEmpty() && day.memo.isEmpty() && !day.flag) {
        err << QStringLiteral("%1 には何も書かれていません。").arg(date->Key()) << Qt::endl;
        return 1;
    }
    out << date->Key() << '\n'
        << QStringLiteral("思い出: ")
        << (day.flag ? QStringLiteral("あり") : QStringLiteral("なし")) << '\n'
        << QStringLiteral("メモ: ") << day.memo << "\n\n";
    if (!day.text.isEmpty())
        out << day.text << '\n';
    out.flush();
    return 0;
}

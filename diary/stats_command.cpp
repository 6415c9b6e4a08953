#include "diary/stats_command.h"

#include "diary/command_line.h"
#include "diary/records.h"
#include "store/store.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

int Run_stats_command(const QStringList& arguments, const QString& program_folder,
                      const std::function<QString(const Io_result&)>& reason, QTextStream& out,
                      QTextStream& err)
{
    QCommandLineParser parser;
    const QCommandLineOption stats_option(
        QStringLiteral("stats"), QStringLiteral("書いた日数と文字数を年ごとに表示します。"));
    const Command_help help{
        QStringLiteral("sorane --stats [--diary DIR]"),
        QStringLiteral("年のフォルダーごとに古い順で「年<タブ>書いた日数<タブ>文字数」を、"
                       "最後に「total<タブ>日数<タブ>文字数」を表示します。\n"
                       "本文に改行のほかに何かある日を書いた日とし、文字数には改行とメモを"
                       "数えません（絵文字も一文字）。日記は読むだけで、何も書きません。\n"
                       "終了コード: 0 表示した、2 エラー。")};
    if (const std::optional<int> ended = Parse_command(
            parser, {stats_option, Diary_option(), Help_option()}, help, arguments, out, err))
        return *ended;
    if (Refuse_extra_arguments(parser, 0, err))
        return 2;
    const std::optional<QString> diary = Diary_folder_of(parser, program_folder, err);
    if (!diary)
        return 2;
    Diary_store store(*diary);
    int total_days = 0;
    qint64 total_characters = 0;
    QList<Io_result> unreadable;
    Io_result listing;
    const QList<int> years = Year_folders(store, &listing);
    if (!listing.Ok()) {
        err << QStringLiteral("日記のフォルダーを読み込めませんでした。\nフォルダー: %1\n理由: %2")
                   .arg(QDir::toNativeSeparators(listing.path), reason(listing))
            << Qt::endl;
        return 2;
    }
    for (const int year : years) {
        const Year_tally tally = Count_year(store, year);
        out << year << '\t' << tally.days_written << '\t' << tally.characters << '\n';
        total_days += tally.days_written;
        total_characters += tally.characters;
        unreadable += tally.unreadable;
    }
    out << "total\t" << total_days << '\t' << total_characters << '\n';
    out.flush();
    for (const Io_result& failure : unreadable)
        err << QStringLiteral("読み込めないファイルがあり、数に入れていません。\n"
                              "ファイル: %1\n理由: %2")
                   .arg(QDir::toNativeSeparators(failure.path), reason(failure))
            << Qt::endl;
    return unreadable.isEmpty() ? 0 : 2;
}

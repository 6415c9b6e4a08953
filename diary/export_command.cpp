#include "diary/export_command.h"

#include "diary/command_line.h"
#include "diary/export.h"
#include "store/lock.h"
#include "store/safe_replace.h"
#include "store/store.h"

#include <QDir>
#include <QRegularExpression>
#include <QTextStream>

namespace {

// "2026/12/09" (or "2026-12-09"), four digits of year, two of month and
// two of day; an invalid date for anything else ("-2026/01/01", "2026/1/1").
QDate Date_argument(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{4})([/-])(\\d{2})\\2(\\d{2})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return QDate();
    return QDate(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
}

// A locked diary is exported only with its key open (--password-stdin),
// and the user is told that what is written is not locked.
bool Locked_export_allowed(const QString& diary, QTextStream& err)
{
    if (!lock::Folder_is_locked(diary))
        return true;
    lock::Diary_key key;
    if (!lock::Key_for(diary, key)) {
        err << QStringLiteral("この日記には鍵がかかっています。書き出すには --password-stdin を"
                              "付けて、パスワードを標準入力から渡してください。")
            << Qt::endl;
        return false;
    }
    err << QStringLiteral("この日記には鍵がかかっていますが、書き出すファイルには鍵がかかりません。"
                          "パスワードを知らない人でも読めます。")
        << Qt::endl;
    return true;
}

}  // namespace

int Run_export_command(const QStringList& arguments, const QString& program_folder,
                       QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    const QString description = QStringLiteral(
        "日記を UTF-8 のファイルに書き出します（markdown、html、json、text）。\n"
        "OUT_DIR: 書き出し先のフォルダー（なければ作ります）。\n"
        "終了コード: 0 すべて書き出した、2 エラー（読めなかった日があった、書き込めなかった、"
        "書き出し先にほかのファイルがあった）。");
    const QCommandLineOption export_option(
        QStringLiteral("export"), QStringLiteral("書き出す形式: markdown、html、json、text。"),
        QStringLiteral("FORMAT"));
    const QCommandLineOption from_option(QStringLiteral("from"),
                                         QStringLiteral("この日から（yyyy/mm/dd）。"),
                                         QStringLiteral("yyyy/mm/dd"));
    const QCommandLineOption to_option(QStringLiteral("to"),
                                       QStringLiteral("この日まで（yyyy/mm/dd）。"),
                                       QStringLiteral("yyyy/mm/dd"));
    const QCommandLineOption force_option(
        QStringLiteral("force"),
        QStringLiteral(
            "この書き出しが作ったのではないファイルも上書きします（別の日記のフォルダーには"
            "書き出しません）。"));
    const Command_help help{
        QStringLiteral("sorane --export FORMAT OUT_DIR [--from yyyy/mm/dd] [--to yyyy/mm/dd] "
                       "[--force] [--diary DIR]"),
        description};
    if (const std::optional<int> ended = Parse_command(
            parser,
            {export_option, force_option, from_option, to_option, Diary_option(), Help_option()},
            help, arguments, out, err))
        return *ended;
    const std::optional<Export_format> format = Export_format_named(parser.value(export_option));
    if (!format) {
        err << QStringLiteral("形式は markdown、html、json、text のどれかです: %1")
                   .arg(parser.value(export_option))
            << Qt::endl;
        return 2;
    }
    if (parser.positionalArguments().size() != 1) {
        err << QStringLiteral("書き出し先のフォルダーを一つ指定してください。") << Qt::endl;
        return 2;
    }
    Export_range range;
    for (const auto& [option, date] :
         {std::pair{&from_option, &range.from}, {&to_option, &range.to}}) {
        if (!parser.isSet(*option))
            continue;
        *date = Date_argument(parser.value(*option));
        if (!date->isValid()) {
            err << QStringLiteral("日付は yyyy/mm/dd で指定してください: %1")
                       .arg(parser.value(*option))
                << Qt::endl;
            return 2;
        }
    }
    if (range.from.isValid() && range.to.isValid() && range.from > range.to) {
        err << QStringLiteral("期間の始めの日が終わりの日より後になっています: --from %1 --to %2")
                   .arg(parser.value(from_option), parser.value(to_option))
            << Qt::endl;
        return 2;
    }
    const std::optional<QString> diary = Diary_folder_of(parser, program_folder, err);
    if (!diary)
        return 2;
    if (!Locked_export_allowed(*diary, err))
        return 2;
    const QString out_dir = parser.positionalArguments().constFirst();
    const QString refusal = Export_refusal(*diary, out_dir);
    if (!refusal.isEmpty()) {
        err << refusal << Qt::endl;
        return 2;
    }
    if (!Make_private_folders(out_dir)) {
        err << QStringLiteral("書き出し先のフォルダーを作れませんでした: %1").arg(out_dir)
            << Qt::endl;
        return 2;
    }
    Diary_store store(*diary);
    const Export_report report =
        Run_export(store, *format, out_dir, range, {},
                   parser.isSet(force_option) ? Existing_files::Replace : Existing_files::Keep);
    QString summary = Export_summary(report);
    if (!report.kept_files.isEmpty())
        summary += QStringLiteral("\n上書きするには --force を付けて、もう一度実行してください。");
    if (report.Ok()) {
        out << summary << Qt::endl;
        return 0;
    }
    err << summary << Qt::endl;
    return 2;
}

#include "diary/program_help.h"

#include "diary/command_line.h"

#include <QTextStream>
#include <cstring>

#ifndef SORANE_VERSION
#define SORANE_VERSION "0"
#endif

Program_command Command_of(int argc, const char* const* argv)
{
    static const struct {
        const char* name;
        Program_command command;
    } commands[] = {{"search", Program_command::Search}, {"export", Program_command::Export},
                    {"add", Program_command::Add},       {"show", Program_command::Show},
                    {"remind", Program_command::Remind}, {"stats", Program_command::Stats},
                    {"lock", Program_command::Lock},     {"unlock", Program_command::Unlock}};
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--") == 0)
            break;
        if (std::strncmp(argument, "--", 2) != 0)
            continue;
        for (const auto& c : commands) {
            const std::size_t length = std::strlen(c.name);
            if (std::strncmp(argument + 2, c.name, length) == 0 &&
                (argument[2 + length] == '\0' || argument[2 + length] == '='))
                return c.command;
        }
    }
    return Program_command::Window;
}

QString Program_help_text()
{
    return QStringLiteral(
        "ソラネ — 百年日記\n"
        "\n"
        "使い方:\n"
        "  sorane [--diary DIR]\n"
        "      日記の画面を開きます。\n"
        "  sorane --add TEXT [--date yyyy/mm/dd] [--diary DIR]\n"
        "      一日（省略時は今日）の最後に、一行空けて TEXT を段落として加え、保存します。\n"
        "      TEXT が - のときは標準入力（UTF-8）から読みます。画面が開いていれば画面に渡します。\n"
        "  sorane --show [yyyy/mm/dd] [--diary DIR]\n"
        "      一日（省略時は今日）の日付、思い出、メモ、本文を表示します。\n"
        "  sorane --search WORDS [--from yyyy/mm/dd] [--to yyyy/mm/dd] [--memory] [--diary DIR]\n"
        "      本文とメモを全文検索し、見つかった日を「年/月/日<タブ>前後の文」で表示します。\n"
        "  sorane --export FORMAT OUT_DIR [--from yyyy/mm/dd] [--to yyyy/mm/dd] [--force] "
        "[--diary DIR]\n"
        "      日記を UTF-8 のファイル（markdown、html、json、text）に書き出します。\n"
        "  sorane --remind [--at HH:MM] [--diary DIR]\n"
        "      今日の日記に何も書かれていなければ、デスクトップに通知を出します。\n"
        "  sorane --stats [--diary DIR]\n"
        "      年ごとに「年<タブ>書いた日数<タブ>文字数」を、最後に合計を表示します。\n"
        "  sorane --lock [--diary DIR] --password-stdin\n"
        "      バックアップを作ってから日記に鍵をかけ、回復キーを一度だけ表示します。\n"
        "  sorane --unlock [--diary DIR] --password-stdin\n"
        "      日記の鍵を外し、すべてのファイルを鍵のないファイルに戻します。\n"
        "\n"
        "オプション:\n"
        "  --diary DIR         日記のフォルダー（省略時は環境変数 SORANE_HOME、プログラムの"
        "フォルダー、~/sorane の順）\n"
        "  --date yyyy/mm/dd   --add で文を加える日\n"
        "  --from yyyy/mm/dd   --search と --export の期間の始めの日\n"
        "  --to yyyy/mm/dd     --search と --export の期間の終わりの日\n"
        "  --memory            --search で思い出の日だけを探します\n"
        "  --force             --export で、この書き出しが作ったのではないファイルも上書きします\n"
        "  --at HH:MM          --remind で、その時刻まで待ってから毎日知らせます\n"
        "  --password-stdin    鍵のかかった日記のパスワードを標準入力の一行目から読みます\n"
        "  -h, --help          この説明を表示します（コマンドと一緒なら、そのコマンドの説明）\n"
        "  -v, --version       版を表示します\n"
        "\n"
        "日付は yyyy/mm/dd（または yyyy-mm-dd）で、1990 年から 2100 年まで。\n"
        "終了コード: 0 成功、1 見つからなかった（--search）・何も書かれていない日（--show）、"
        "2 エラー。\n"
        "詳しくは man sorane をご覧ください。\n");
}

QString Version_text()
{
    return QStringLiteral("ソラネ（sorane）%1").arg(QLatin1String(SORANE_VERSION));
}

std::optional<int> Check_window_arguments(const QStringList& arguments, QTextStream& out,
                                          QTextStream& err)
{
    QList<QCommandLineOption> options{
        Diary_option(), Help_option(),
        QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")}, QString())};
    // What Qt's own start takes from the command line (QGuiApplication and
    // QApplication), so that a session manager's "-session" and the like
    // still reach it.
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display",
                             "geometry", "style", "stylesheet", "title", "name"})
        options << QCommandLineOption(QString::fromLatin1(name), QString(),
                                      QStringLiteral("VALUE"));
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
        options << QCommandLineOption(QString::fromLatin1(name), QString());
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != QLatin1String("--"); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            out << Program_help_text();
            out.flush();
            return 0;
        }
        if (argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
            out << Version_text() << Qt::endl;
            return 0;
        }
    }
    QString fault = Argument_fault(options, arguments);
    if (fault.isEmpty()) {
        // Words that are no option, and no option's value.
        QCommandLineParser parser;
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions(options);
        if (!parser.parse(arguments))
            fault = QStringLiteral("引数を読み取れません: %1")
                        .arg(arguments.mid(1).join(QLatin1Char(' ')));
        else if (!parser.positionalArguments().isEmpty())
            fault = QStringLiteral("余分な引数があります: %1")
                        .arg(parser.positionalArguments().join(QLatin1Char(' ')));
    }
    if (fault.isEmpty())
        return std::nullopt;
    err << fault << '\n' << QStringLiteral("使い方は sorane --help で表示します。") << Qt::endl;
    return 2;
}

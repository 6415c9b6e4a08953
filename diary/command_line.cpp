#include "diary/command_line.h"

#include "diary/lock_command.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <cstring>

QCommandLineOption Diary_option()
{
    return QCommandLineOption(
        QStringLiteral("diary"),
        QStringLiteral("日記のフォルダー（省略時はプログラムのフォルダー）。"),
        QStringLiteral("DIR"));
}

QCommandLineOption Help_option()
{
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("この説明を表示します。"));
}

namespace {

const QCommandLineOption* Option_named(const QList<QCommandLineOption>& options,
                                       const QString& name)
{
    for (const QCommandLineOption& option : options)
        if (option.names().contains(name))
            return &option;
    return nullptr;
}

bool Takes_value(const QCommandLineOption& option) { return !option.valueName().isEmpty(); }

// The name of an option argument ("--date=x" gives "date"), or empty for
// an argument that is no option ("-" alone is standard input).
QString Option_name(const QString& argument)
{
    if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-"))
        return {};
    const QString body = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    return body.section(QLatin1Char('='), 0, 0);
}

bool Is_help(const QString& argument)
{
    return argument == QLatin1String("-h") || argument == QLatin1String("--help");
}

}  // namespace

QString Argument_fault(const QList<QCommandLineOption>& options, const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--"))
            break;
        const QString name = Option_name(argument);
        if (name.isEmpty())
            continue;
        const QString shown = argument.section(QLatin1Char('='), 0, 0);
        const QCommandLineOption* option = Option_named(options, name);
        if (!option)
            return QStringLiteral("不明なオプションです: %1").arg(shown);
        const bool with_value = argument.contains(QLatin1Char('='));
        if (!Takes_value(*option)) {
            if (with_value)
                return QStringLiteral("%1 は値を取りません: %2").arg(shown, argument);
            continue;
        }
        if (with_value)
            continue;
        // An option of this command where the value should be is a value
        // left out, not the value: "--add --date 2026/12/09". Such a value
        // is given as "--add=--date".
        if (i + 1 >= arguments.size() || arguments[i + 1] == QLatin1String("--") ||
            (arguments[i + 1].startsWith(QLatin1String("--")) &&
             Option_named(options, Option_name(arguments[i + 1]))))
            return QStringLiteral("%1 のあとに %2 を指定してください。")
                .arg(shown, option->valueName());
        ++i;
    }
    return {};
}

QString Option_lines(const QList<QCommandLineOption>& options)
{
    QStringList heads;
    qsizetype width = 0;
    for (const QCommandLineOption& option : options) {
        QStringList names;
        for (const QString& name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString head = names.join(QStringLiteral(", "));
        if (Takes_value(option))
            head += QLatin1Char(' ') + option.valueName();
        width = std::max(width, head.size());
        heads << head;
    }
    QString lines;
    for (qsizetype i = 0; i < options.size(); ++i)
        lines += QStringLiteral("  ") + heads[i].leftJustified(width + 2) +
                 options[i].description() + QLatin1Char('\n');
    return lines;
}

std::optional<int> Parse_command(QCommandLineParser& parser,
                                 const QList<QCommandLineOption>& command_options,
                                 const Command_help& help, const QStringList& arguments,
                                 QTextStream& out, QTextStream& err)
{
    // Every command on a diary folder opens a locked one with the password.
    QList<QCommandLineOption> options = command_options;
    for (const QCommandLineOption& option : command_options)
        if (option.names().contains(QStringLiteral("diary")))
            options << Password_stdin_option();
    parser.addOptions(options);
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != QLatin1String("--"); ++i) {
        if (Is_help(arguments[i])) {
            out << QStringLiteral("使い方: ") << help.usage << "\n\n"
                << help.description << "\n\n"
                << QStringLiteral("オプション:\n") << Option_lines(options);
            out.flush();
            return 0;
        }
    }
    QString fault = Argument_fault(options, arguments);
    // The check above reads the arguments as the parser does; the parser's
    // own refusal, should it differ, is still told in Japanese.
    if (fault.isEmpty() && !parser.parse(arguments))
        fault =
            QStringLiteral("引数を読み取れません: %1").arg(arguments.mid(1).join(QLatin1Char(' ')));
    if (!fault.isEmpty()) {
        err << fault << '\n' << QStringLiteral("使い方: ") << help.usage << Qt::endl;
        return 2;
    }
    return std::nullopt;
}

bool Refuse_extra_arguments(const QCommandLineParser& parser, qsizetype allowed, QTextStream& err)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() <= allowed)
        return false;
    err << QStringLiteral("余分な引数があります: %1")
               .arg(positional.mid(allowed).join(QLatin1Char(' ')))
        << Qt::endl;
    return true;
}

std::optional<QString> Diary_folder_of(const QCommandLineParser& parser,
                                       const QString& program_folder, QTextStream& err)
{
    const QString diary = parser.isSet(QStringLiteral("diary"))
                              ? parser.value(QStringLiteral("diary"))
                              : program_folder;
    if (!QFileInfo(diary).isDir()) {
        err << QStringLiteral("日記のフォルダーがありません: %1").arg(diary) << Qt::endl;
        return std::nullopt;
    }
    if (!Open_locked_diary(parser, diary, err))
        return std::nullopt;
    return diary;
}

std::optional<Panel_date> Diary_date_argument(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{4})([/-])([0-9]{2})\\2([0-9]{2})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const Panel_date date{m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt()};
    if (!(date.Clamped() == date))
        return std::nullopt;
    return date;
}

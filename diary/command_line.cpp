#include "diary/command_line.h"

#include <QFileInfo>
#include <QTextStream>
#include <cstring>

bool Has_command_option(int argc, const char* const* argv, const char* name)
{
    const std::size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strncmp(argument, "--", 2) == 0 && std::strncmp(argument + 2, name, length) == 0 &&
            (argument[2 + length] == '\0' || argument[2 + length] == '='))
            return true;
    }
    return false;
}

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

std::optional<int> Parse_command(QCommandLineParser& parser, const QStringList& arguments,
                                 QTextStream& out, QTextStream& err)
{
    if (!parser.parse(arguments)) {
        err << parser.errorText() << Qt::endl;
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << parser.helpText();
        out.flush();
        return 0;
    }
    return std::nullopt;
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
    return diary;
}

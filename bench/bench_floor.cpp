// The floor of start-up: the work nobody can avoid. A main window with two
// plain text fields in the diary's font, holding today's text and the text
// of the same day a year earlier, read and decoded from the same files.
//
//   bench_floor <program folder>
//     --help     this usage

#include "bench/first_paint.h"
#include "platform/cp932.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QFile>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

QString Read_day(const QString& folder, const QDate& date)
{
    QFile file(folder + date.toString(QStringLiteral("/yyyy/MMdd.txt")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    bytes.chop(2);
    return cp932::Decode_text(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The floor of start-up: two text fields, ended after the first paint."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Program folder."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    Quit_after_first_paint quit;
    app.installEventFilter(&quit);
    const QString folder = parser.positionalArguments().constFirst();
    const QDate today = QDate::currentDate();

    QFont::insertSubstitutions(
        QStringLiteral("ＭＳ ゴシック"),
        {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP")});
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPointSizeF(11.25);

    QMainWindow window;
    auto* client = new QWidget(&window);
    client->setFont(font);
    auto* layout = new QVBoxLayout(client);
    auto* upper = new QPlainTextEdit(client);
    auto* lower = new QPlainTextEdit(client);
    layout->addWidget(upper);
    layout->addWidget(lower);
    window.setCentralWidget(client);
    upper->setPlainText(Read_day(folder, today));
    lower->setPlainText(Read_day(folder, today.addYears(-1)));
    window.resize(634, 468);
    window.show();
    return app.exec();
}

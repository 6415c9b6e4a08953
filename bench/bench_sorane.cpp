// The diary's own start-up, for the benchmarks: the main window on the given
// program folder, ended right after its first paint without the ending's
// saves (nothing is written by ending here).
//
//   bench_sorane <program folder>
//     --help     this usage

#include "app/main_form.h"
#include "bench/first_paint.h"
#include "platform/clock_real.h"
#include "platform/platform_real.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The diary's start-up, ended after its first paint."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("Program folder."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    Quit_after_first_paint quit;
    app.installEventFilter(&quit);
    Real_platform platform;
    Real_clock clock;
    Main_form form(platform, clock, parser.positionalArguments().constFirst());
    if (!form.Form_Load())
        return 1;
    form.Show_window();
    return app.exec();
}

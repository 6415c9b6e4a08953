#include "bench/step_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <cstdio>
#include <cstdlib>

namespace {

// The value of a size option, or the usage error.
std::vector<Size_band> Bands_of(QCommandLineParser& parser, const QCommandLineOption& option,
                                const QString& fallback)
{
    const QString text = parser.isSet(option) ? parser.value(option) : fallback;
    const auto bands = Parse_size_bands(text);
    if (!bands) {
        std::fprintf(stderr, "bench_steps: --%s: \"%s\" is not a list of sizes\n",
                     qPrintable(option.names().constFirst()), qPrintable(text));
        std::exit(2);
    }
    return *bands;
}

}  // namespace

Step_options Parse_step_options(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The in-process benchmarks: value against floor, one table row each."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("Program folder (written into: give it a copy)."));
    const QCommandLineOption samples_option(
        QStringLiteral("samples"), QStringLiteral("Samples of each benchmark, at least 3 (41)."),
        QStringLiteral("n"), QStringLiteral("41"));
    const QCommandLineOption only_option(
        QStringLiteral("only"),
        QStringLiteral(
            "Benchmarks to run, of step,save,search,years,fortune,backup,fulltext,typing (all)."),
        QStringLiteral("names"),
        QStringLiteral("step,save,search,years,fortune,backup,fulltext,typing"));
    const QCommandLineOption recovery_option(
        QStringLiteral("recovery"),
        QStringLiteral("The recovery record kept while the others run, on or off (on)."),
        QStringLiteral("on|off"), QStringLiteral("on"));
    const QString default_sizes = QStringLiteral("1500-2600,26000-32000");
    const QCommandLineOption sizes_option(
        QStringLiteral("sizes"),
        QStringLiteral("Day file sizes in bytes, SIZE or LOW-HIGH, for step, save and "
                       "fortune, one row each (1500-2600,26000-32000)."),
        QStringLiteral("bands"), default_sizes);
    const QCommandLineOption step_sizes_option(
        QStringLiteral("step-sizes"), QStringLiteral("Sizes of the neighbouring days (--sizes)."),
        QStringLiteral("bands"));
    const QCommandLineOption save_sizes_option(QStringLiteral("save-sizes"),
                                               QStringLiteral("Sizes of the edited day (--sizes)."),
                                               QStringLiteral("bands"));
    const QCommandLineOption fortune_sizes_option(
        QStringLiteral("fortune-sizes"),
        QStringLiteral("Sizes of the day under the fortune (--sizes)."), QStringLiteral("bands"));
    const QCommandLineOption word_option(
        QStringLiteral("word"),
        QStringLiteral("A memo search word, once per row; \"\" for the empty keyword "
                       "(散歩 and \"\")."),
        QStringLiteral("word"));
    const QCommandLineOption year_option(QStringLiteral("year"),
                                         QStringLiteral("Year of the search lists (this year)."),
                                         QStringLiteral("yyyy"));
    parser.addOptions({samples_option, only_option, sizes_option, step_sizes_option,
                       save_sizes_option, fortune_sizes_option, word_option, year_option,
                       recovery_option});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    const QString folder =
        QDir(parser.positionalArguments().constFirst()).absolutePath() + QLatin1Char('/');
    bool number_ok = false;
    const int samples = std::max(3, parser.value(samples_option).toInt(&number_ok));
    if (!number_ok)
        parser.showHelp(2);
    const QStringList only = parser.value(only_option).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QString sizes = parser.value(sizes_option);
    const auto step_sizes = Bands_of(parser, step_sizes_option, sizes);
    const auto save_sizes = Bands_of(parser, save_sizes_option, sizes);
    const auto fortune_sizes = Bands_of(parser, fortune_sizes_option, sizes);
    const QStringList words = parser.isSet(word_option)
                                  ? parser.values(word_option)
                                  : QStringList{QStringLiteral("散歩"), QString()};
    const int year = parser.isSet(year_option) ? parser.value(year_option).toInt(&number_ok)
                                               : QDate::currentDate().year();
    if (!number_ok)
        parser.showHelp(2);

    Step_options options;
    options.folder = folder;
    options.samples = samples;
    options.only = only;
    options.recovery = parser.value(recovery_option) != QLatin1String("off");
    options.step_sizes = step_sizes;
    options.save_sizes = save_sizes;
    options.fortune_sizes = fortune_sizes;
    options.words = words;
    options.year = year;
    return options;
}

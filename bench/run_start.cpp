// Runs programs as whole processes again and again and prints, for each,
// the median wall time and the median peak resident memory of its runs.
// Several programs (separated by "--") take turns round by round, so that a
// change in the machine's load falls on all of them alike.
//
//   run_start [--runs N] [--until-drawn SHIM | --until-painted] <program>
//             [arguments...] [-- <program> [arguments...]]...
//     --runs N             runs of each program (31)
//     --until-drawn SHIM   under X: the time from the start to the first
//                          drawing into a window, as told by the shim
//                          preloaded into each program (first_drawing.so);
//                          each program is then ended by SIGTERM
//     --until-painted      the time from the start to the end of the first
//                          paint pass, as told by the program itself
//                          through FIRST_PAINT_FD (bench/first_paint.h); the
//                          program then ends on its own
//     --help               this usage
// prints one line per program: <median ms> <median peak KiB>, then
// "<fastest ms> <slowest ms>" on a line of its own per program, and with
// --until-painted one more line per program: "<median ms to its end>".
// Everything from the first program on is the programs' own, options
// included.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Command {
    std::vector<QByteArray> arguments;
    std::vector<char*> argv;  // into arguments, ends in nullptr
    std::vector<double> times;
    std::vector<double> ends;  // to the process's end, with --until-painted
    std::vector<long> peaks;
};

template <typename T>
T Median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    int runs = 0;
    QByteArray shim;
    bool until_painted = false;
    std::vector<Command> commands(1);
    {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        parser.setApplicationDescription(QStringLiteral(
            "Runs programs in turn and prints each one's median wall time and peak memory."));
        parser.addHelpOption();
        parser.setOptionsAfterPositionalArgumentsMode(
            QCommandLineParser::ParseAsPositionalArguments);
        const QCommandLineOption runs_option(QStringLiteral("runs"),
                                             QStringLiteral("Runs of each program (31)."),
                                             QStringLiteral("n"), QStringLiteral("31"));
        parser.addOption(runs_option);
        const QCommandLineOption drawn_option(
            QStringLiteral("until-drawn"),
            QStringLiteral("Time to the first drawing under X, told by this preloaded shim."),
            QStringLiteral("shim"));
        parser.addOption(drawn_option);
        const QCommandLineOption painted_option(
            QStringLiteral("until-painted"),
            QStringLiteral("Time to the end of the first paint pass, told by the program."));
        parser.addOption(painted_option);
        parser.addPositionalArgument(
            QStringLiteral("program"),
            QStringLiteral("A program and its arguments; \"--\" starts the next."),
            QStringLiteral("<program> [arguments...] [-- <program> [arguments...]]..."));
        parser.process(app);
        shim = QFile::encodeName(parser.value(drawn_option));
        until_painted = parser.isSet(painted_option);
        if (until_painted && !shim.isEmpty())
            parser.showHelp(2);
        bool runs_ok = false;
        runs = parser.value(runs_option).toInt(&runs_ok);
        if (!runs_ok || runs < 1)
            parser.showHelp(2);
        for (const QString& argument : parser.positionalArguments()) {
            if (argument == QLatin1String("--"))
                commands.emplace_back();
            else
                commands.back().arguments.push_back(QFile::encodeName(argument));
        }
        for (Command& c : commands) {
            if (c.arguments.empty())
                parser.showHelp(2);
            for (QByteArray& a : c.arguments)
                c.argv.push_back(a.data());
            c.argv.push_back(nullptr);
        }
    }

    for (int round = 0; round < runs; ++round) {
        for (Command& c : commands) {
            // With a shim, the child tells through this pipe when it first
            // drew; with --until-painted, when its first paint pass ended.
            const bool telling = !shim.isEmpty() || until_painted;
            int told[2] = {-1, -1};
            if (telling && ::pipe2(told, O_CLOEXEC) != 0)
                return 1;
            const auto start = std::chrono::steady_clock::now();
            const pid_t child = fork();
            if (child < 0)
                return 1;
            if (child == 0) {
                // The programs' own chatter (Qt's warnings) stays out of
                // the table.
                const int null = ::open("/dev/null", O_WRONLY);
                if (null >= 0)
                    ::dup2(null, 2);
                if (telling)
                    ::fcntl(told[1], F_SETFD, 0);
                if (until_painted)
                    ::setenv("FIRST_PAINT_FD", QByteArray::number(told[1]).constData(), 1);
                if (!shim.isEmpty()) {
                    ::setenv("FIRST_DRAWING_FD", QByteArray::number(told[1]).constData(), 1);
                    ::setenv("LD_PRELOAD", shim.constData(), 1);
                }
                execv(c.argv[0], c.argv.data());
                _exit(127);
            }
            double ms = 0;
            if (telling) {
                ::close(told[1]);
                std::int64_t drawn = 0;
                pollfd wait_for{told[0], POLLIN, 0};
                const bool got = ::poll(&wait_for, 1, 60000) == 1 &&
                                 ::read(told[0], &drawn, sizeof drawn) == sizeof drawn;
                ::close(told[0]);
                if (!shim.isEmpty())
                    ::kill(child, SIGTERM);
                if (!got) {
                    std::fprintf(stderr, "run_start: %s told no first drawing or paint\n",
                                 c.argv[0]);
                    ::waitpid(child, nullptr, 0);
                    return 1;
                }
                const auto start_ns =
                    std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch())
                        .count();
                ms = double(drawn - start_ns) / 1e6;
            }
            int status = 0;
            rusage usage{};
            if (wait4(child, &status, 0, &usage) != child ||
                (shim.isEmpty() && (!WIFEXITED(status) || WEXITSTATUS(status) != 0))) {
                std::fprintf(stderr, "run_start: %s failed\n", c.argv[0]);
                return 1;
            }
            const double whole =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            if (!telling)
                ms = whole;
            c.ends.push_back(whole);
            c.times.push_back(ms);
            c.peaks.push_back(usage.ru_maxrss);
        }
    }
    for (const Command& c : commands)
        std::printf("%.1f %ld\n", Median(c.times), Median(c.peaks));
    for (const Command& c : commands)
        std::printf("%.1f %.1f\n", *std::min_element(c.times.begin(), c.times.end()),
                    *std::max_element(c.times.begin(), c.times.end()));
    if (until_painted) {
        for (const Command& c : commands)
            std::printf("%.1f\n", Median(c.ends));
    }
    return 0;
}

// Runs programs as whole processes again and again and prints, for each,
// the median wall time and the median peak resident memory of its runs.
// Several programs (separated by "--") take turns round by round, so that a
// change in the machine's load falls on all of them alike.
//
//   run_start <runs> <program> [arguments...] [-- <program> [arguments...]]...
// prints one line per program: <median ms> <median peak KiB>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Command {
    std::vector<char*> argv;  // ends in nullptr
    std::vector<double> times;
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
    if (argc < 3)
        return 2;
    const int runs = std::atoi(argv[1]);
    if (runs < 1)
        return 2;
    std::vector<Command> commands(1);
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            commands.emplace_back();
            continue;
        }
        commands.back().argv.push_back(argv[i]);
    }
    for (Command& c : commands) {
        if (c.argv.empty())
            return 2;
        c.argv.push_back(nullptr);
    }

    for (int round = 0; round < runs; ++round) {
        for (Command& c : commands) {
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
                execv(c.argv[0], c.argv.data());
                _exit(127);
            }
            int status = 0;
            rusage usage{};
            if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
                WEXITSTATUS(status) != 0) {
                std::fprintf(stderr, "run_start: %s failed\n", c.argv[0]);
                return 1;
            }
            c.times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
            c.peaks.push_back(usage.ru_maxrss);
        }
    }
    for (const Command& c : commands)
        std::printf("%.1f %ld\n", Median(c.times), Median(c.peaks));
    return 0;
}

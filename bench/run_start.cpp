// Runs a program as a whole process again and again and prints the median
// wall time and the median peak resident memory of its runs.
//
//   run_start <runs> <program> [arguments...]
// prints: <median ms> <median peak KiB>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc < 3)
        return 2;
    const int runs = std::atoi(argv[1]);
    std::vector<double> times;
    std::vector<long> peaks;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            execv(argv[2], argv + 2);
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "run_start: %s failed\n", argv[2]);
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        peaks.push_back(usage.ru_maxrss);
    }
    std::sort(times.begin(), times.end());
    std::sort(peaks.begin(), peaks.end());
    std::printf("%.1f %ld\n", times[times.size() / 2], peaks[peaks.size() / 2]);
    return 0;
}

// Runs one command several times and prints "MEDIAN_SECONDS PEAK_KIB
// MEDIAN_CPU_SECONDS": the median wall-clock time of the runs, the largest
// resident set of any run and the median processor time (user + system),
// from wait4's resource usage of that child alone. Processor time is the
// steadier figure on a busy machine, where wall time includes waiting.
//   measure RUNS COMMAND [ARGS...]
// The command's output goes to /dev/null; a failing run fails the measure.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: measure RUNS COMMAND [ARGS...]\n");
        return 2;
    }
    int runs = std::max(1, std::atoi(argv[1]));
    std::vector<double> seconds;
    std::vector<double> cpu;
    long peak = 0;
    for (int i = 0; i < runs; ++i) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        auto start = std::chrono::steady_clock::now();
        pid_t pid;
        if (posix_spawnp(&pid, argv[2], &actions, nullptr, argv + 2, environ) != 0) {
            std::perror(argv[2]);
            return 1;
        }
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) < 0) {
            std::perror("wait4");
            return 1;
        }
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        posix_spawn_file_actions_destroy(&actions);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "%s failed (status %d)\n", argv[2], status);
            return 1;
        }
        peak = std::max(peak, usage.ru_maxrss);
        auto secondsOf = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
        cpu.push_back(secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime));
    }
    std::printf("%.6f %ld %.6f\n", median(seconds), peak, median(cpu));
    return 0;
}

// bench_runner: runs two programs alternately, N times each, and reports
// the wall time and peak resident set of every run (median, 10th and 90th
// percentile). Both must exit with the expected status every time.
//
//   bench_runner RUNS STATUS PROGRAM_A PROGRAM_B
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Sample {
    double micros;
    long maxRssKb;
};

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

bool runOnce(const char* program, int expectedStatus, Sample& sample) {
    char* argv[] = {const_cast<char*>(program), nullptr};
    pid_t pid;
    const double start = now();
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) {
        sample = {0, 0};
        return false;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    sample = {now() - start, usage.ru_maxrss};
    return WIFEXITED(status) && WEXITSTATUS(status) == expectedStatus;
}

template <typename T>
T percentile(std::vector<T> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

void report(const char* name, const std::vector<Sample>& samples) {
    std::vector<double> micros;
    std::vector<long> rss;
    for (const auto& s : samples) {
        micros.push_back(s.micros);
        rss.push_back(s.maxRssKb);
    }
    std::printf(
        "%-10s time us: median %7.0f  p10 %7.0f  p90 %7.0f   peak RSS kB: median %5ld  max %5ld\n",
        name, percentile(micros, 0.5), percentile(micros, 0.1), percentile(micros, 0.9),
        percentile(rss, 0.5), percentile(rss, 1.0));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_runner RUNS STATUS PROGRAM_A PROGRAM_B\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    const int status = std::atoi(argv[2]);
    std::vector<Sample> a, b;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        Sample sample;
        failures += runOnce(argv[3], status, sample) ? 0 : 1;
        a.push_back(sample);
        failures += runOnce(argv[4], status, sample) ? 0 : 1;
        b.push_back(sample);
    }
    std::printf("%d runs each, alternating\n", runs);
    report("probe", a);
    report("floor", b);
    std::vector<double> ta, tb;
    for (int i = 0; i < runs; ++i) {
        ta.push_back(a[i].micros);
        tb.push_back(b[i].micros);
    }
    std::vector<long> ra, rb;
    for (int i = 0; i < runs; ++i) {
        ra.push_back(a[i].maxRssKb);
        rb.push_back(b[i].maxRssKb);
    }
    std::printf(
        "probe/floor: median time %.2fx, median peak RSS %.2fx\n",
        percentile(ta, 0.5) / percentile(tb, 0.5),
        static_cast<double>(percentile(ra, 0.5)) / static_cast<double>(percentile(rb, 0.5)));
    if (failures != 0) {
        std::printf("%d runs did not end with status %d\n", failures, status);
        return 1;
    }
    return 0;
}

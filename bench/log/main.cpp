// Cost of logging: a Print that the level filters out, and an entry written
// to a text file with and without the flush after each write.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "log/Log.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Body>
double NanosecondsPerCall(int count, Body&& body) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) body(i);
    const auto elapsed = std::chrono::duration<double, std::nano>(Clock::now() - start);
    return elapsed.count() / count;
}

double FileEntryCost(const std::filesystem::path& dir, BOOL flush, int count) {
    CLog log;
    log.Init(u"BENCH", FALSE, 5, TRUE);
    log.SetFlush(flush);
    const auto path = dir / (flush ? "flushed.log" : "unflushed.log");
    if (!log.OpenFile(path.u16string().c_str(), CLog::kTextOutput, FALSE, 0)) return -1;
    return NanosecondsPerCall(count, [&](int i) { CLog::Print(&log, 5, u"BENCH", u"entry %d of the benchmark", i); });
}

}  // namespace

int main() {
    char pattern[] = "/tmp/lumetra-bench-log-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::filesystem::path dir = pattern;

    CLog quiet;
    quiet.Init(u"BENCH", FALSE, 0, TRUE);
    const double filtered = NanosecondsPerCall(20'000'000, [&](int i) {
        CLog::Print(&quiet, 5, u"BENCH", u"filtered %d", i);
    });
    std::printf("filtered-out Print:          %8.2f ns\n", filtered);
    std::printf("text file entry, no flush:   %8.2f us\n", FileEntryCost(dir, FALSE, 50'000) / 1000);
    std::printf("text file entry, with flush: %8.2f us\n", FileEntryCost(dir, TRUE, 500) / 1000);

    std::filesystem::remove_all(dir);
    return 0;
}

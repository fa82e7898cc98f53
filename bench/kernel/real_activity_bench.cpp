// How well the real machine's activity reaches the LEDs: the activity filter
// runs in-process on this machine's volumes, a poller reads its masks every
// 50 ms as the GUI does, and this program makes real bursts of direct
// writes (each with fsync) and direct reads on a file of the volume of
// DIR, each burst starting at another point of the poll interval. Printed
// beside the goals, with the sampling period used:
//   capture   windows (50 ms poll intervals) that had I/O and showed the bit
//   false     windows without I/O that showed it, not counting the one after
//   latency   from a burst's start to the first poll that shows it
//   cost      the sampler thread's CPU time over the run, % of one core, and
//             the sampling alone (samples in a row, no wake-ups); on a busy
//             machine the thread's wake-ups cost more than the sampling
// Other programs' I/O on the same disk shows in "false": run it on a quiet
// volume (a loop device, a USB stick) for clean figures.
//
//   real_activity_bench [--dir DIR] [--period MS] [--bursts N]
#include <fcntl.h>
#include <time.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "blinkor/LedIoctl.h"
#include "kernel/io_requests.h"
#include "kernel/real/real_machine.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr std::size_t kBlock = 65536;

struct Operation {
    Clock::time_point start, end;
    bool write;
};
struct Poll {
    Clock::time_point at;
    ACTIVITY_MASKS masks;
};

ACTIVITY_MASKS ReadMasks(PFILE_OBJECT control) {
    ACTIVITY_MASKS masks{};
    kern::DeviceControl(control, IOCTL_LED_GET_ACTIVITY, nullptr, 0, &masks, sizeof masks, UserMode);
    return masks;
}

// Alternating bursts of writes and reads of `length`, each followed by
// twice as long a pause and a part of a poll interval, so that the bursts
// start at points spread over the interval. The file is filled first (that
// is I/O too, and counts as a write); the caller removes it once the masks
// are no longer read, since its removal writes to the volume.
std::vector<Operation> MakeBursts(const std::string& file, int bursts, std::chrono::milliseconds length) {
    std::vector<Operation> ops;
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_DIRECT, 0600);
    const bool direct = fd >= 0;
    if (!direct) fd = ::open(file.c_str(), O_RDWR | O_CREAT, 0600);
    void* block = nullptr;
    if (fd < 0 || posix_memalign(&block, 4096, kBlock) != 0) return ops;
    std::memset(block, 0x5A, kBlock);
    Operation fill{Clock::now(), {}, true};
    for (int i = 0; i < 64; ++i)
        if (::pwrite(fd, block, kBlock, off_t(i) * kBlock) < 0) break;
    ::fsync(fd);
    fill.end = Clock::now();
    ops.push_back(fill);
    std::this_thread::sleep_for(length * 2);
    for (int b = 0; b < bursts; ++b) {
        const bool write = b % 2 == 0;
        const auto end = Clock::now() + length;
        for (int i = 0; Clock::now() < end; ++i) {
            Operation op{Clock::now(), {}, write};
            const off_t at = off_t(i % 64) * off_t(kBlock);
            if (write) {
                if (::pwrite(fd, block, kBlock, at) < 0) break;
                ::fsync(fd);
            } else {
                if (!direct) ::posix_fadvise(fd, at, kBlock, POSIX_FADV_DONTNEED);
                if (::pread(fd, block, kBlock, at) < 0) break;
            }
            op.end = Clock::now();
            ops.push_back(op);
        }
        std::this_thread::sleep_for(length * 2 + std::chrono::milliseconds(b * 17 % kPoll.count()));
    }
    std::free(block);
    ::close(fd);
    return ops;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Figures {
    int had = 0, shown = 0, quiet = 0, false_lit = 0;
    std::vector<double> latencies;
};

Figures Analyse(const std::vector<Operation>& ops, const std::vector<Poll>& polls, DWORD bit, bool write) {
    Figures f;
    bool previous_had = false;
    for (std::size_t i = 1; i < polls.size(); ++i) {
        const auto from = polls[i - 1].at, to = polls[i].at;
        const bool had = std::any_of(ops.begin(), ops.end(), [&](const Operation& op) {
            return op.write == write && op.start < to && op.end > from;
        });
        const bool lit = ((write ? polls[i].masks.WriteMask : polls[i].masks.ReadMask) & bit) != 0;
        if (had) {
            ++f.had;
            f.shown += lit;
        } else if (!previous_had) {
            ++f.quiet;
            f.false_lit += lit;
        }
        previous_had = had;
    }
    // Burst starts: an operation that follows a pause of more than 200 ms.
    for (std::size_t i = 0; i < ops.size(); ++i) {
        if (ops[i].write != write || (i > 0 && ops[i].start - ops[i - 1].end < std::chrono::milliseconds(200))) continue;
        for (const Poll& p : polls)
            if (p.at >= ops[i].start && ((write ? p.masks.WriteMask : p.masks.ReadMask) & bit)) {
                f.latencies.push_back(Ms(p.at - ops[i].start));
                break;
            }
    }
    std::sort(f.latencies.begin(), f.latencies.end());
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = "/tmp";
    long period_ms = long(kern::real::kDefaultSamplingPeriod.count()), bursts = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--dir") dir = argv[i + 1];
        else if (arg == "--period") period_ms = std::atol(argv[i + 1]);
        else if (arg == "--bursts") bursts = std::atol(argv[i + 1]);
    }
    char state[] = "/tmp/real-activity-bench-XXXXXX";
    if (!mkdtemp(state)) return 1;
    ::setenv("LUMETRA_ROOT", state, 1);  // the letter store of this run
    kern::real::RealMachine machine;
    kern::real::RealMachineOptions options;
    options.modules = {{BLINKOR_MODULE_PATH, u"\\FileSystem\\Blinkor"}};
    options.period = std::chrono::milliseconds(period_ms);
    std::string error;
    if (!NT_SUCCESS(machine.Build(options, &error))) {
        std::fprintf(stderr, "real_activity_bench: %s\n", error.c_str());
        return 1;
    }
    // The volume of DIR: the mounted volume whose mount point is the longest prefix.
    WCHAR letter = 0;
    std::size_t best = 0;
    for (const auto& v : machine.Volumes())
        if (v.mounted && v.letter && dir.rfind(v.mount_point, 0) == 0 && v.mount_point.size() >= best) {
            letter = v.letter;
            best = v.mount_point.size();
        }
    if (!letter) {
        std::fprintf(stderr, "real_activity_bench: %s is on no volume with a letter\n", dir.c_str());
        return 1;
    }
    const DWORD bit = 1u << (letter - u'A');
    PFILE_OBJECT control = nullptr;
    if (!NT_SUCCESS(kern::OpenFile(u"\\DosDevices\\Blinkor", GENERIC_READ, UserMode, &control))) return 1;

    std::vector<Poll> polls;
    std::atomic<bool> stop{false};
    const auto cpu_before = machine.Sampler().CpuTime();
    const auto started = Clock::now();
    std::thread poller([&] {
        for (auto next = Clock::now(); !stop; next += kPoll) {
            std::this_thread::sleep_until(next);
            polls.push_back({Clock::now(), ReadMasks(control)});
        }
    });
    const std::string file = dir + "/real-activity-bench.dat";
    const auto ops = MakeBursts(file, int(bursts), std::chrono::milliseconds(500));
    stop = true;
    poller.join();
    ::unlink(file.c_str());
    const double wall_ms = Ms(Clock::now() - started);
    const double cpu_ms = std::chrono::duration<double, std::milli>(machine.Sampler().CpuTime() - cpu_before).count();
    // The sampling itself, without the thread's wake-ups: samples in a row.
    timespec before{}, after{};
    constexpr int kSamples = 2000;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
    for (int i = 0; i < kSamples; ++i) machine.Sampler().SampleOnce();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
    const double sample_us = ((after.tv_sec - before.tv_sec) * 1e9 + (after.tv_nsec - before.tv_nsec)) / kSamples / 1000;
    machine.Stop();
    kern::CloseFile(control);
    std::system((std::string("rm -rf ") + state).c_str());

    std::printf("real activity on %c: (%s), sampling period %ld ms, masks polled every 50 ms, %zu operations\n",
                char(letter), dir.c_str(), period_ms, ops.size());
    for (bool write : {true, false}) {
        const Figures f = Analyse(ops, polls, bit, write);
        const double capture = f.had ? 100.0 * f.shown / f.had : 0;
        const double median = f.latencies.empty() ? 0 : f.latencies[f.latencies.size() / 2];
        const double worst = f.latencies.empty() ? 0 : f.latencies.back();
        std::printf("%-6s capture %5.1f %% of %3d windows with I/O   (goal >= 95 %%)\n", write ? "writes" : "reads",
                    capture, f.had);
        std::printf("%-6s false   %5d of %3d windows without I/O (goal 0)\n", "", f.false_lit, f.quiet);
        std::printf("%-6s latency median %.0f ms, worst %.0f ms over %zu bursts (goal <= %ld ms: one period and one poll)\n",
                    "", median, worst, f.latencies.size(), period_ms + 50);
    }
    std::printf("sampler cost %.3f %% of one core for the thread with its wake-ups (%.1f ms CPU in %.1f s, %llu samples) "
                "(goal <= 0.3 %%)\n",
                100.0 * cpu_ms / wall_ms, cpu_ms, wall_ms / 1000, static_cast<unsigned long long>(machine.Sampler().Samples()));
    std::printf("sampling  %.1f us per sample, %.3f %% of one core at this period (goal <= 0.3 %%)\n", sample_us,
                100.0 * sample_us / (1000.0 * double(period_ms)));
    return 0;
}

// Turns the kernel's I/O counters into busy and idle per volume. At a fixed
// short period it reads /proc/diskstats through one kept-open descriptor and
// the "inflight" file of each watched block device whose diskstats line
// shows requests in flight (kept open; read only then, to tell reads from
// writes), and,
// for network volumes, the NFS and CIFS per-mount operation counters. A
// volume is reading while its completed reads changed since the previous
// sample or reads are in flight, and the same for writes: the completed
// counters catch the short requests that finish between two samples, the
// in-flight counters the long ones that have not finished yet.
//
// A volume stays busy for a linger time after the last sample that found it
// active, so that the GUI's poll, which comes at its own times, sees even a
// burst that began and ended between two of its polls.
//
// The default period, 20 ms, is what the goals allow on a small virtual
// machine: every sample wakes a thread and has the kernel format a line of
// every block device, and at 10 ms that costs more than 0.3 % of a core
// there (docs/kernel.md has the figures), while 20 ms still shows >= 95 %
// of 50 ms windows with I/O.
//
// The sink hears only of changes. Thread rule: every method may be called
// from any thread; the sink runs on the sampling thread (or in SampleOnce's
// caller) with the sampler's lock held, so after Remove(id) returns no call
// for `id` is running or will come.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "kernel/real/disk_stats.h"
#include "kernel/real/network_stats.h"
#include "kernel/real/system_files.h"

namespace kern::real {

inline constexpr std::chrono::milliseconds kDefaultSamplingPeriod{20};

struct Busy {
    bool reading = false;
    bool writing = false;
    bool operator==(const Busy&) const = default;
};

// One volume's counters at one sample.
struct CounterSample {
    std::uint64_t reads = 0;  // completed
    std::uint64_t writes = 0;
    std::uint64_t reads_in_flight = 0;
    std::uint64_t writes_in_flight = 0;
};

// Busy from two consecutive samples (no previous: only what is in flight).
Busy DetectActivity(const std::optional<CounterSample>& previous, const CounterSample& now);

class ActivitySampler {
public:
    using Sink = std::function<void(std::uint64_t id, Busy busy)>;

    // `linger`: how long a volume stays busy after the last sample that found
    // it active (0: only as long as samples find it active). The host keeps
    // it one poll interval of the GUI, 50 ms.
    ActivitySampler(SystemFiles files, std::chrono::microseconds period, Sink sink,
                    std::chrono::milliseconds linger = std::chrono::milliseconds(0));
    ~ActivitySampler();

    // A block device by its numbers; its inflight file is `sysfs_dir`/inflight.
    void AddBlockDevice(std::uint64_t id, std::uint32_t major, std::uint32_t minor, const std::string& sysfs_dir);
    void AddNfsMount(std::uint64_t id, const std::string& mount_point);
    void AddCifsShare(std::uint64_t id, const std::string& unc);
    void Remove(std::uint64_t id);

    void SampleOnce();
    void Start();
    void Stop();

    std::chrono::microseconds Period() const { return m_period; }
    // CPU time the sampling thread has used (read through its CPU clock, so
    // the thread pays nothing for it) and the samples it took.
    std::chrono::nanoseconds CpuTime() const;
    std::uint64_t Samples() const { return m_samples.load(); }

private:
    enum class SourceKind { Block, Nfs, Cifs };
    struct Source {
        SourceKind kind = SourceKind::Block;
        std::uint32_t major = 0, minor = 0;
        int inflight_fd = -1;
        std::string key;  // NFS mount point or CIFS share
        std::optional<CounterSample> last;
        Busy busy;
        std::uint64_t read_seen = 0, write_seen = 0;  // tick (ms) of the last sample that found it active
    };
    void Add(std::uint64_t id, Source source);
    void Loop();
    std::optional<std::string_view> ReadKept(int* fd, const std::string& path);
    CounterSample BlockCounters(Source& source, const std::vector<DiskStats>& stats, bool* found);

    const SystemFiles m_files;
    const std::chrono::microseconds m_period;
    const std::chrono::milliseconds m_linger;
    const Sink m_sink;
    std::mutex m_lock;  // guards the sources and the kept descriptors; held while the sink runs
    std::map<std::uint64_t, Source> m_sources;
    int m_diskstatsFd = -1, m_mountstatsFd = -1, m_cifsFd = -1;
    std::string m_buffer;

    mutable std::mutex m_runLock;  // guards m_running, for the thread's sleep
    std::condition_variable m_wake;
    bool m_running = false;
    std::thread m_thread;
    std::optional<clockid_t> m_cpuClock;  // the running thread's CPU clock; guarded by m_runLock
    std::atomic<std::int64_t> m_cpuNanoseconds{0};  // the thread's total once it ended
    std::atomic<std::uint64_t> m_samples{0};
};

}  // namespace kern::real

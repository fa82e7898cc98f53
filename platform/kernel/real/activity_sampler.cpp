#include "kernel/real/activity_sampler.h"

#include <fcntl.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "base/clock.h"

namespace kern::real {
namespace {

std::int64_t CpuNanoseconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

void CloseFd(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

}  // namespace

Busy DetectActivity(const std::optional<CounterSample>& previous, const CounterSample& now) {
    Busy busy{now.reads_in_flight > 0, now.writes_in_flight > 0};
    if (previous) {
        busy.reading |= now.reads != previous->reads;
        busy.writing |= now.writes != previous->writes;
    }
    return busy;
}

ActivitySampler::ActivitySampler(SystemFiles files, std::chrono::microseconds period, Sink sink,
                                 std::chrono::milliseconds linger)
    : m_files(std::move(files)), m_period(period), m_linger(linger), m_sink(std::move(sink)) {}

ActivitySampler::~ActivitySampler() {
    Stop();
    for (auto& [id, source] : m_sources) CloseFd(&source.inflight_fd);
    CloseFd(&m_diskstatsFd);
    CloseFd(&m_mountstatsFd);
    CloseFd(&m_cifsFd);
}

void ActivitySampler::Add(std::uint64_t id, Source source) {
    std::lock_guard lock(m_lock);
    if (const auto old = m_sources.find(id); old != m_sources.end()) CloseFd(&old->second.inflight_fd);
    m_sources[id] = std::move(source);
}

void ActivitySampler::AddBlockDevice(std::uint64_t id, std::uint32_t major, std::uint32_t minor,
                                     const std::string& sysfs_dir) {
    Source s;
    s.major = major;
    s.minor = minor;
    s.inflight_fd = ::open(m_files.Path(sysfs_dir + "/inflight").c_str(), O_RDONLY | O_CLOEXEC);
    Add(id, std::move(s));
}

void ActivitySampler::AddNfsMount(std::uint64_t id, const std::string& mount_point) {
    Source s;
    s.kind = SourceKind::Nfs;
    s.key = mount_point;
    Add(id, std::move(s));
}

void ActivitySampler::AddCifsShare(std::uint64_t id, const std::string& unc) {
    Source s;
    s.kind = SourceKind::Cifs;
    s.key = unc;
    Add(id, std::move(s));
}

void ActivitySampler::Remove(std::uint64_t id) {
    std::lock_guard lock(m_lock);
    const auto it = m_sources.find(id);
    if (it == m_sources.end()) return;
    CloseFd(&it->second.inflight_fd);
    m_sources.erase(it);
}

// Reads a whole file through a descriptor kept open across samples (files of
// /proc and /sys give fresh contents at every read from offset 0). One read
// usually takes it all; the buffer grows when it does not.
std::optional<std::string_view> ActivitySampler::ReadKept(int* fd, const std::string& path) {
    if (*fd < 0) *fd = ::open(m_files.Path(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (*fd < 0) return std::nullopt;
    if (m_buffer.size() < 16384) m_buffer.resize(16384);
    std::size_t used = 0;
    for (;;) {
        const ssize_t n = ::pread(*fd, m_buffer.data() + used, m_buffer.size() - used, off_t(used));
        if (n < 0) return std::nullopt;
        used += std::size_t(n);
        if (used < m_buffer.size()) break;
        m_buffer.resize(m_buffer.size() * 2);
    }
    return std::string_view(m_buffer.data(), used);
}

CounterSample ActivitySampler::BlockCounters(Source& source, const std::vector<DiskStats>& stats, bool* found) {
    CounterSample sample;
    *found = false;
    std::uint64_t in_progress = 0;
    for (const DiskStats& s : stats) {
        if (s.major != source.major || s.minor != source.minor) continue;
        sample.reads = s.reads;
        sample.writes = s.WriteClass();
        in_progress = s.in_progress;
        *found = true;
        break;
    }
    // Nothing in flight on its diskstats line: the inflight file would say
    // 0 and 0, and is not read (the read counts requests in the kernel).
    if (*found && in_progress == 0) return sample;
    char text[64];
    const ssize_t n = source.inflight_fd >= 0 ? ::pread(source.inflight_fd, text, sizeof text, 0) : -1;
    if (n > 0) {
        if (const auto f = ParseInFlight(std::string_view(text, std::size_t(n)))) {
            sample.reads_in_flight = f->reads;
            sample.writes_in_flight = f->writes;
        }
    }
    return sample;
}

void ActivitySampler::SampleOnce() {
    std::lock_guard lock(m_lock);
    if (m_sources.empty()) return;
    bool any_block = false, any_nfs = false, any_cifs = false;
    for (const auto& [id, s] : m_sources) {
        any_block |= s.kind == SourceKind::Block;
        any_nfs |= s.kind == SourceKind::Nfs;
        any_cifs |= s.kind == SourceKind::Cifs;
    }
    std::vector<DiskStats> disks;
    std::map<std::string, OperationCounts> nfs, cifs;
    const auto watched = [&](std::uint32_t major, std::uint32_t minor) {
        return std::any_of(m_sources.begin(), m_sources.end(), [&](const auto& s) {
            return s.second.kind == SourceKind::Block && s.second.major == major && s.second.minor == minor;
        });
    };
    if (any_block) disks = ParseDiskStats(ReadKept(&m_diskstatsFd, "/proc/diskstats").value_or(""), watched);
    if (any_nfs) nfs = ParseNfsMountStats(ReadKept(&m_mountstatsFd, "/proc/self/mountstats").value_or(""));
    if (any_cifs) cifs = ParseCifsStats(ReadKept(&m_cifsFd, "/proc/fs/cifs/Stats").value_or(""));
    const ULONGLONG now_ms = GetTickCount64();  // the replaceable clock, so tests need not wait
    for (auto& [id, source] : m_sources) {
        CounterSample now;
        bool found = false;
        if (source.kind == SourceKind::Block) {
            now = BlockCounters(source, disks, &found);
        } else {
            const auto& table = source.kind == SourceKind::Nfs ? nfs : cifs;
            const auto it = table.find(source.key);
            found = it != table.end();
            if (found) now = {it->second.reads, it->second.writes, 0, 0};
        }
        Busy busy = found ? DetectActivity(source.last, now) : Busy{};
        source.last = found ? std::optional(now) : std::nullopt;
        // Busy lasts until the volume has been quiet for the linger time, so
        // that a burst shorter than a poll of the masks is seen by one.
        if (busy.reading) source.read_seen = now_ms;
        if (busy.writing) source.write_seen = now_ms;
        busy.reading |= source.busy.reading && now_ms - source.read_seen < ULONGLONG(m_linger.count());
        busy.writing |= source.busy.writing && now_ms - source.write_seen < ULONGLONG(m_linger.count());
        if (busy == source.busy) continue;
        source.busy = busy;
        m_sink(id, busy);
    }
}

void ActivitySampler::Start() {
    std::lock_guard lock(m_runLock);
    if (m_running) return;
    m_running = true;
    m_thread = std::thread([this] { Loop(); });
    clockid_t clock;
    if (pthread_getcpuclockid(m_thread.native_handle(), &clock) == 0) m_cpuClock = clock;
}

void ActivitySampler::Stop() {
    {
        std::lock_guard lock(m_runLock);
        if (!m_running) return;
        m_running = false;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

// Samples on a fixed grid of the monotonic clock, so the period does not
// drift by the time each sample takes.
void ActivitySampler::Loop() {
    auto next = std::chrono::steady_clock::now();
    std::unique_lock lock(m_runLock);
    while (m_running) {
        lock.unlock();
        SampleOnce();
        ++m_samples;
        next += m_period;
        const auto now = std::chrono::steady_clock::now();
        if (next < now) next = now;
        lock.lock();
        m_wake.wait_until(lock, next, [&] { return !m_running; });
    }
    m_cpuNanoseconds = CpuNanoseconds(CLOCK_THREAD_CPUTIME_ID);
}

// The thread's whole time, its waits' system calls too.
std::chrono::nanoseconds ActivitySampler::CpuTime() const {
    std::lock_guard lock(m_runLock);
    if (m_running && m_cpuClock) return std::chrono::nanoseconds(CpuNanoseconds(*m_cpuClock));
    return std::chrono::nanoseconds(m_cpuNanoseconds.load());
}

}  // namespace kern::real

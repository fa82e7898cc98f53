// The process-wide event sink and the in-memory sink.
#include "eventlog/eventlog.h"

namespace plat {
namespace {

struct SinkSlot {
    std::mutex mutex;  // guards sink
    std::shared_ptr<EventSink> sink;
};

SinkSlot& Slot() {
    static SinkSlot* slot = new SinkSlot;  // outlives static destructors
    return *slot;
}

}  // namespace

std::shared_ptr<EventSink> InstallEventSink(std::shared_ptr<EventSink> sink) {
    auto& slot = Slot();
    std::lock_guard lock(slot.mutex);
    std::swap(slot.sink, sink);
    return sink;
}

std::shared_ptr<EventSink> CurrentEventSink() {
    auto& slot = Slot();
    std::lock_guard lock(slot.mutex);
    if (!slot.sink) slot.sink = std::make_shared<SyslogSink>();
    return slot.sink;
}

bool MemoryEventSink::Report(const EventRecord& record) {
    std::lock_guard lock(m_mutex);
    m_records.push_back(record);
    return true;
}

std::vector<EventRecord> MemoryEventSink::Records() const {
    std::lock_guard lock(m_mutex);
    return m_records;
}

}  // namespace plat

// How an emulated file system answers file requests: at once, held (pending)
// until the machine completes them, or failed. Holding and failing are rules
// the machine sets per request class; held packets are completed later,
// by default at DISPATCH_LEVEL as a completion from an interrupt's deferred
// routine would be.
#pragma once

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

#include "kernel/kernel.h"

namespace kern::sim {

enum class RequestClass { Read, Write, Other };
RequestClass ClassOf(UCHAR major);

class RequestEngine {
public:
    // The next `count` requests of `cls` are held (pending).
    void Hold(RequestClass cls, int count);
    // The next `count` requests of `cls` fail with `status`.
    void Fail(RequestClass cls, int count, NTSTATUS status);
    // Every request on `file` is held until completed, whatever the rules
    // (the real machine's activity requests); Release ends that.
    void HoldRequestsOn(PFILE_OBJECT file);
    void Release(PFILE_OBJECT file);
    // Applies the first rule for the packet's class: STATUS_PENDING means the
    // packet was taken and marked pending (the caller returns
    // STATUS_PENDING); an error status means fail it; STATUS_SUCCESS means
    // no rule applies.
    NTSTATUS Decide(PIRP irp);
    // Whether fast I/O may answer now (no hold or fail rule pending).
    bool FastIoAllowed() const;
    // Completes every held packet of `cls` (Other: all), only those on
    // `file` when given, with `status`; returns how many. At DISPATCH_LEVEL
    // unless `at_passive`.
    int CompleteHeld(RequestClass cls, NTSTATUS status, bool at_passive = false, PFILE_OBJECT file = nullptr);
    std::size_t HeldCount() const;

private:
    struct Rule {
        RequestClass cls;
        int count;
        NTSTATUS status;  // STATUS_PENDING: hold
    };
    bool TakeRule(PIRP irp, NTSTATUS* status);

    mutable std::mutex m_lock;  // guards the rules and the held list; never held while completing
    std::vector<Rule> m_rules;
    std::deque<PIRP> m_held;
    std::vector<PFILE_OBJECT> m_heldFiles;
};

}  // namespace kern::sim

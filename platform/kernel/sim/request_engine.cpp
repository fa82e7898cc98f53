#include "kernel/sim/request_engine.h"

#include <algorithm>

namespace kern::sim {

RequestClass ClassOf(UCHAR major) {
    switch (major) {
        case IRP_MJ_READ:
        case IRP_MJ_QUERY_INFORMATION:
        case IRP_MJ_QUERY_EA:
        case IRP_MJ_QUERY_VOLUME_INFORMATION:
        case IRP_MJ_QUERY_SECURITY: return RequestClass::Read;
        case IRP_MJ_WRITE:
        case IRP_MJ_SET_INFORMATION:
        case IRP_MJ_SET_EA:
        case IRP_MJ_FLUSH_BUFFERS:
        case IRP_MJ_SET_VOLUME_INFORMATION:
        case IRP_MJ_SET_SECURITY: return RequestClass::Write;
        default: return RequestClass::Other;
    }
}

void RequestEngine::Hold(RequestClass cls, int count) {
    std::lock_guard lock(m_lock);
    m_rules.push_back({cls, count, STATUS_PENDING});
}

void RequestEngine::Fail(RequestClass cls, int count, NTSTATUS status) {
    std::lock_guard lock(m_lock);
    m_rules.push_back({cls, count, status});
}

bool RequestEngine::TakeRule(PIRP irp, NTSTATUS* status) {
    const RequestClass cls = ClassOf(IoGetCurrentIrpStackLocation(irp)->MajorFunction);
    const auto it = std::find_if(m_rules.begin(), m_rules.end(), [&](const Rule& r) { return r.cls == cls; });
    if (it == m_rules.end()) return false;
    *status = it->status;
    if (--it->count <= 0) m_rules.erase(it);
    return true;
}

void RequestEngine::HoldRequestsOn(PFILE_OBJECT file) {
    std::lock_guard lock(m_lock);
    m_heldFiles.push_back(file);
}

void RequestEngine::Release(PFILE_OBJECT file) {
    std::lock_guard lock(m_lock);
    std::erase(m_heldFiles, file);
}

NTSTATUS RequestEngine::Decide(PIRP irp) {
    std::lock_guard lock(m_lock);
    NTSTATUS status = STATUS_SUCCESS;
    const PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    const bool held_file = file && std::find(m_heldFiles.begin(), m_heldFiles.end(), file) != m_heldFiles.end();
    if (held_file) status = STATUS_PENDING;
    else if (!TakeRule(irp, &status)) return STATUS_SUCCESS;
    if (status == STATUS_PENDING) {
        IoMarkIrpPending(irp);
        m_held.push_back(irp);
    }
    return status;
}

bool RequestEngine::FastIoAllowed() const {
    std::lock_guard lock(m_lock);
    return m_rules.empty();
}

int RequestEngine::CompleteHeld(RequestClass cls, NTSTATUS status, bool at_passive, PFILE_OBJECT file) {
    std::vector<PIRP> done;
    {
        std::lock_guard lock(m_lock);
        for (auto it = m_held.begin(); it != m_held.end();) {
            const PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(*it);
            const RequestClass held = ClassOf(location->MajorFunction);
            if ((cls == RequestClass::Other || held == cls) && (!file || location->FileObject == file)) {
                done.push_back(*it);
                it = m_held.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (PIRP irp : done) {
        KIRQL old_irql = KeGetCurrentIrql();
        if (!at_passive) KeRaiseIrql(DISPATCH_LEVEL, &old_irql);
        irp->IoStatus.Status = status;
        irp->IoStatus.Information = NT_SUCCESS(status) ? IoGetCurrentIrpStackLocation(irp)->Parameters.Read.Length : 0;
        IofCompleteRequest(irp, IO_DISK_INCREMENT);
        if (!at_passive) KeLowerIrql(old_irql);
    }
    return int(done.size());
}

std::size_t RequestEngine::HeldCount() const {
    std::lock_guard lock(m_lock);
    return m_held.size();
}

}  // namespace kern::sim

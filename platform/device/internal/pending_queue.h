// Requests that a device answered as pending, waiting for their completion
// time on the platform clock. One thread completes them: it copies the
// result into the caller's buffers, writes the status block (Status last),
// sets the caller's event and signals the file handle.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/nt_types.h"
#include "base/wintypes.h"

namespace plat::device::detail {

class FileObject;

struct PendingRequest {
    std::uint64_t due_tick = 0;
    std::shared_ptr<FileObject> file;
    IO_STATUS_BLOCK* io_status = nullptr;
    HANDLE event = nullptr;
    void* out = nullptr;
    std::vector<BYTE> output;  // bytes to copy to `out`
    NTSTATUS status = 0;
    ULONG information = 0;
};

void QueuePending(PendingRequest request);
// Completes at once every queued request of `file` (its handle is closing).
void CompletePendingOf(const FileObject* file);

}  // namespace plat::device::detail

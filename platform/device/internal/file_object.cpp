#include "device/internal/file_object.h"

#include <algorithm>
#include <cstring>

#include "base/clock.h"
#include "device/internal/pending_queue.h"

namespace plat::device::detail {

NTSTATUS FileObject::Control(HANDLE event, IO_STATUS_BLOCK* io_status, ULONG code, const void* in, ULONG in_length,
                             void* out, ULONG out_length) {
    const ULONG access = ACCESS_FROM_CTL_CODE(code);
    if (((access & FILE_READ_ACCESS) && !m_canRead) || ((access & FILE_WRITE_ACCESS) && !m_canWrite))
        return STATUS_ACCESS_DENIED;
    if (event && !LookupHandleAs<Event>(event)) return STATUS_INVALID_HANDLE;

    std::lock_guard request_lock(m_requestMutex);
    // Buffered transfer: the device sees private copies, so the caller may
    // pass one buffer as input and output. As with one system buffer, the
    // output starts out holding the input bytes.
    const auto* in_bytes = static_cast<const BYTE*>(in);
    std::vector<BYTE> input(in_bytes, in_bytes + in_length);
    std::vector<BYTE> output(out_length, 0);
    std::copy_n(input.begin(), std::min(in_length, out_length), output.begin());
    if (event) ResetEvent(event);
    const IoResult result = m_file->Control(code, input, output);

    const ULONG information = NT_ERROR(result.status) ? 0 : std::min(result.information, out_length);
    output.resize(information);
    if (result.pending_ms) {
        {
            std::lock_guard lock(StateMutex());
            ++m_pending;
            io_status->Information = 0;
            io_status->Status = STATUS_PENDING;
        }
        QueuePending(PendingRequest{CurrentClock().TickMs() + *result.pending_ms, shared_from_this(), io_status, event,
                                    out, std::move(output), result.status, information});
        return STATUS_PENDING;
    }
    if (information) std::memcpy(out, output.data(), information);
    io_status->Information = information;
    io_status->Status = result.status;
    if (event) SetEvent(event);
    return result.status;
}

void FileObject::OnClose() { CompletePendingOf(this); }

}  // namespace plat::device::detail

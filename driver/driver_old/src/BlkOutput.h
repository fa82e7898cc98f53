// The caller's output buffer, filled piece by piece. A piece that does not
// fit is not written at all, so a partial answer always ends on a piece
// boundary and Used() is its exact length.
#pragma once

#include "BlkTypes.h"

namespace blinkor {

class OutputCursor {
public:
    OutputCursor(PVOID output, ULONG length) : m_out(static_cast<BYTE*>(output)), m_room(length) {}

    // Copies `size` bytes in; false (nothing written) when they do not fit.
    bool Put(const void* piece, SIZE_T size) {
        if (size > m_room - m_used) return false;
        RtlCopyMemory(m_out + m_used, piece, size);
        m_used += static_cast<ULONG>(size);
        return true;
    }
    // Copies a header and a tail as one piece, followed by `zeros` zero bytes.
    bool Put(const void* head, SIZE_T head_size, const void* tail, SIZE_T tail_size, SIZE_T zeros) {
        if (head_size + tail_size + zeros > m_room - m_used) return false;
        BYTE* at = m_out + m_used;
        RtlCopyMemory(at, head, head_size);
        if (tail_size) RtlCopyMemory(at + head_size, tail, tail_size);
        RtlZeroMemory(at + head_size + tail_size, zeros);
        m_used += static_cast<ULONG>(head_size + tail_size + zeros);
        return true;
    }
    ULONG Used() const { return m_used; }

    // The status block of a walk that stopped (overflow) or finished.
    NTSTATUS Finish(bool complete, PIO_STATUS_BLOCK status) const {
        status->Status = complete ? STATUS_SUCCESS : STATUS_BUFFER_OVERFLOW;
        status->Information = m_used;
        return status->Status;
    }

private:
    BYTE* m_out;
    ULONG m_room;
    ULONG m_used = 0;
};

}  // namespace blinkor

// The six control requests of the control device. One routine serves both
// the request-packet path and the fast I/O path; the status block gets the
// status and the number of bytes written.
#include "BlkRoutines.h"

namespace blinkor {
namespace {

NTSTATUS Finish(const ControlArgs& args, NTSTATUS status, ULONG_PTR information) {
    args.Status->Status = status;
    args.Status->Information = information;
    return status;
}

// A buffered request without output space has a system buffer only when it
// carries input, so a zero length counts as no output buffer.
bool HasOutput(const ControlArgs& args) { return args.Output && args.OutputLength > 0; }

NTSTATUS GetVersion(const ControlArgs& args) {
    if (!args.Output || args.OutputLength < sizeof(ULONG)) return Finish(args, STATUS_INVALID_PARAMETER, 0);
    const ULONG version = kInterfaceVersion;
    RtlCopyMemory(args.Output, &version, sizeof version);
    return Finish(args, STATUS_SUCCESS, sizeof version);
}

NTSTATUS GetActivity(const ControlArgs& args) {
    if (!args.Output || args.OutputLength < sizeof(ACTIVITY_MASKS)) {
        return Finish(args, STATUS_INVALID_PARAMETER, 0);
    }
    const ACTIVITY_MASKS masks = CollectActivity();
    RtlCopyMemory(args.Output, &masks, sizeof masks);
    return Finish(args, STATUS_SUCCESS, sizeof masks);
}

NTSTATUS SetEvent(const ControlArgs& args, EventSlot slot) {
    if (!args.Input || args.InputLength < sizeof(ULONG)) return Finish(args, STATUS_INVALID_PARAMETER, 0);
    // The client sends a 32-bit handle value.
    ULONG value = 0;
    RtlCopyMemory(&value, args.Input, sizeof value);
    const NTSTATUS status = RegisterEvent(slot, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value)), args.Irp);
    // STATUS_NOT_SUPPORTED sends the request back as a packet: leave the
    // status block alone.
    if (status == STATUS_NOT_SUPPORTED && !args.Irp) return status;
    return Finish(args, status, 0);
}

}  // namespace

NTSTATUS ControlRequest(const ControlArgs& args) {
    switch (args.Code) {
        case IOCTL_LED_GET_VERSION: return GetVersion(args);
        case IOCTL_LED_DUMP_STATE:
            if (!HasOutput(args)) return Finish(args, STATUS_INVALID_PARAMETER, 0);
            return DumpState(args.Output, args.OutputLength, args.Status);
        case IOCTL_LED_GET_DRIVES:
            if (!HasOutput(args)) return Finish(args, STATUS_INVALID_PARAMETER, 0);
            return GetDrives(args.Output, args.OutputLength, args.Status);
        case IOCTL_LED_GET_ACTIVITY: return GetActivity(args);
        case IOCTL_LED_SET_CHANGE_EVENT: return SetEvent(args, kChangeSlot);
        case IOCTL_LED_SET_ACTIVITY_EVENT: return SetEvent(args, kActivitySlot);
        default: return Finish(args, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

}  // namespace blinkor

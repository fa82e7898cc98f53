#include "base/message_text.h"

#include "base/last_error.h"
#include "base/text.h"

namespace {

struct Message {
    DWORD code;
    const char16_t* text;
};

constexpr Message kMessages[] = {
    {0, u"The operation completed successfully."},
    {2, u"The system cannot find the file specified."},
    {3, u"The system cannot find the path specified."},
    {5, u"Access is denied."},
    {6, u"The handle is invalid."},
    {8, u"Not enough memory resources are available to process this command."},
    {13, u"The data is invalid."},
    {29, u"The system cannot write to the specified device."},
    {31, u"A device attached to the system is not functioning."},
    {32, u"The process cannot access the file because it is being used by another process."},
    {53, u"The network path was not found."},
    {87, u"The parameter is incorrect."},
    {112, u"There is not enough space on the disk."},
    {206, u"The filename or extension is too long."},
    {223, u"The file size exceeds the limit allowed and cannot be saved."},
    {258, u"The wait operation timed out."},
    {1223, u"The operation was canceled by the user."},
    {2220, u"The group name could not be found."},
    {10004, u"A blocking operation was interrupted by a call to WSACancelBlockingCall."},
    {10013, u"An attempt was made to access a socket in a way forbidden by its access permissions."},
    {10022, u"An invalid argument was supplied."},
    {10035, u"A non-blocking socket operation could not be completed immediately."},
    {10038, u"An operation was attempted on something that is not a socket."},
    {10048, u"Only one usage of each socket address (protocol/network address/port) is normally permitted."},
    {10049, u"The requested address is not valid in its context."},
    {10053, u"An established connection was aborted by the software in your host machine."},
    {10054, u"An existing connection was forcibly closed by the remote host."},
    {10055, u"An operation on a socket could not be performed because the system lacked sufficient buffer space or "
            u"because a queue was full."},
    {10057, u"A request to send or receive data was disallowed because the socket is not connected."},
    {10060, u"A connection attempt failed because the connected party did not properly respond after a period of "
            u"time."},
    {10061, u"No connection could be made because the target machine actively refused it."},
    {10093, u"Either the application has not called WSAStartup, or WSAStartup failed."},
    {11001, u"No such host is known."},
};

constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;

}  // namespace

std::u16string SystemMessageText(DWORD error) {
    for (const auto& m : kMessages)
        if (m.code == error) return m.text;
    return {};
}

DWORD FormatMessageW(DWORD flags, const void*, DWORD message_id, DWORD, WCHAR* buffer, DWORD size, void*) {
    const std::u16string text = (flags & FORMAT_MESSAGE_FROM_SYSTEM) ? SystemMessageText(message_id) : u"";
    if (text.empty() || !buffer || size == 0) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(plat::CopyToField(buffer, size, text));
}

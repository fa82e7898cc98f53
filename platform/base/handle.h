// The handle table. A HANDLE names a kernel-style object (event, thread,
// device file, socket event, ...) that any platform piece may define by
// deriving from HandleObject. Handle values are never reused within a
// process, so a stale handle is reported as invalid, never confused with a
// newer object.
#pragma once

#include <memory>

#include "base/wintypes.h"

namespace plat {

class HandleObject {
public:
    virtual ~HandleObject() = default;
    // Runs when CloseHandle removes the handle from the table. The object
    // itself lives on while other references to it exist (a waiting thread).
    virtual void OnClose() {}
};

HANDLE RegisterHandle(std::shared_ptr<HandleObject> object);
std::shared_ptr<HandleObject> LookupHandle(HANDLE handle);

template <typename T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Number of open handles, for leak checks in tests.
std::size_t OpenHandleCount();

}  // namespace plat

// Removes the handle; ERROR_INVALID_HANDLE (and FALSE) for an unknown one.
BOOL CloseHandle(HANDLE handle);

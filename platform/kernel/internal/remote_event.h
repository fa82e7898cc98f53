// Event objects that stand for an event of a user-mode client process: the
// object a driver gets from ObReferenceObjectByHandle in the client's context.
// Setting it sets the client's own event.
#pragma once

#include <memory>

#include "kernel/kernel.h"

namespace kern::detail {

// A new event object (one reference) linked to `handle` of `process`.
PKEVENT CreateRemoteEvent(const std::shared_ptr<ClientProcess>& process, ULONG handle);
// Called by KeSetEvent for an event with a remote link.
void SignalRemoteEvent(PVOID link);

}  // namespace kern::detail

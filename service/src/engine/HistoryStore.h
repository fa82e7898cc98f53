// The history of the drives: every DeviceNode as one REG_BINARY value of
// its 1320-byte image, named "<device type>.<device number>", below a key of
// the machine's registry, reached through the native registry calls.
//
// The key is created when only it is missing; when its parent is missing,
// both operations fail and nothing is written or read.
//
// A save writes each value with one NtSetValueKey, which the registry
// commits as one transaction: a process that dies in the middle of a save
// leaves every value either as it was or as the new image, never torn.
//
// The volatile subkey "Fresh" marks a machine boot. When loading finds it
// already there, the service was restarted without a machine restart and the
// stored cache stamps stay valid (a restart within 300 seconds answers from
// the stored data). When it has to be created (the first start after a boot)
// or cannot be created, the stamps are cleared: a drive goes through a power
// cycle with the machine, so its stored values are no longer current.
#pragma once

#include <string_view>

#include "base/ntstatus.h"
#include "engine/DeviceNode.h"

namespace history {

// The product's key, which an installer creates, and the history below it.
inline constexpr char16_t kProductKey[] = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1";
inline constexpr char16_t kHistoryKey[] = u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Smart";

// Opens `key` as Save and Load do (creating it when only it is missing):
// STATUS_SUCCESS when the history can be kept there, else why not
// (STATUS_OBJECT_NAME_NOT_FOUND: its parent is missing; STATUS_ACCESS_DENIED:
// the store cannot be written by this process).
NTSTATUS Probe(std::u16string_view key);

// Writes every node of the list starting at `first`. False for an empty
// list, when the key cannot be opened, or at the first value that cannot be
// written (the values before it are written).
bool Save(std::u16string_view key, const DeviceNode* first);

// Appends the stored nodes, in the store's order, to the empty list `*head`.
// Values of another type or size are skipped. Run-time fields (link, handle,
// self-test start) come back as zeros. False when `*head` is not empty or the
// key cannot be opened.
bool Load(std::u16string_view key, DeviceNode** head);

}  // namespace history

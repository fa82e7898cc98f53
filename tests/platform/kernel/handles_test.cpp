// Handle resolution: a user-mode request's handles belong to the client
// process that sent it, and setting an event that stands for a client's
// event reaches that client; kernel handles stay the kernel's.
#include <map>
#include <vector>

#include "kernel_test_support.h"

namespace {

// A client process with a table of handles: value -> is an event.
class FakeProcess final : public kern::ClientProcess {
public:
    explicit FakeProcess(std::map<ULONG, bool> handles) : m_handles(std::move(handles)) {}
    NTSTATUS CheckEventHandle(ULONG handle, ACCESS_MASK) override {
        const auto it = m_handles.find(handle);
        if (it == m_handles.end()) return STATUS_INVALID_HANDLE;
        return it->second ? STATUS_SUCCESS : STATUS_OBJECT_TYPE_MISMATCH;
    }
    void SignalEvent(ULONG handle) override { signalled.push_back(handle); }
    std::string Describe() const override { return "fake"; }
    std::vector<ULONG> signalled;

private:
    std::map<ULONG, bool> m_handles;
};

using HandleTest = ktest::KernelTest;

PVOID Reference(ULONG handle, KPROCESSOR_MODE mode, NTSTATUS* status, POBJECT_TYPE type = *ExEventObjectType) {
    PVOID object = reinterpret_cast<PVOID>(0x1);  // poison: must be cleared on failure
    *status = ObReferenceObjectByHandle(reinterpret_cast<HANDLE>(ULONG_PTR(handle)), EVENT_MODIFY_STATE, type, mode,
                                        &object, nullptr);
    return object;
}

TEST_F(HandleTest, AClientEventIsResolvedInItsProcessAndSignalledThere) {
    auto first = std::make_shared<FakeProcess>(std::map<ULONG, bool>{{0x104, true}});
    auto second = std::make_shared<FakeProcess>(std::map<ULONG, bool>{{0x104, true}});
    PVOID event = nullptr;
    NTSTATUS status;
    {
        kern::ScopedProcess as_first(first);
        event = Reference(0x104, UserMode, &status);
        ASSERT_EQ(status, STATUS_SUCCESS);
    }
    EXPECT_EQ(kern::CurrentProcess(), nullptr);
    KIRQL old_irql;
    KeRaiseIrql(DISPATCH_LEVEL, &old_irql);  // drivers set events under spin locks
    KeSetEvent(static_cast<PKEVENT>(event), IO_NO_INCREMENT, FALSE);
    KeLowerIrql(old_irql);
    EXPECT_EQ(first->signalled, std::vector<ULONG>{0x104});
    EXPECT_TRUE(second->signalled.empty());
    ObDereferenceObject(event);
}

TEST_F(HandleTest, BadClientHandlesFailWithTheirStatusAndNoObject) {
    auto process = std::make_shared<FakeProcess>(std::map<ULONG, bool>{{0x200, false}});
    kern::ScopedProcess as_client(process);
    struct Case {
        ULONG handle;
        POBJECT_TYPE type;
        NTSTATUS expected;
    };
    const Case cases[] = {
        {0x300, *ExEventObjectType, STATUS_INVALID_HANDLE},
        {0x200, *ExEventObjectType, STATUS_OBJECT_TYPE_MISMATCH},
        {0, *ExEventObjectType, STATUS_INVALID_HANDLE},
        {0x200, *IoFileObjectType, STATUS_OBJECT_TYPE_MISMATCH},
    };
    for (const Case& c : cases) {
        NTSTATUS status;
        EXPECT_EQ(Reference(c.handle, UserMode, &status, c.type), nullptr);
        EXPECT_EQ(status, c.expected) << "handle " << c.handle;
    }
}

TEST_F(HandleTest, KernelHandlesAreNotReachableFromUserMode) {
    UNICODE_STRING link = Us(u"\\??\\K:"), target = Us(u"\\Device\\K");
    ASSERT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_SUCCESS);
    OBJECT_ATTRIBUTES oa;
    InitializeObjectAttributes(&oa, &link, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    HANDLE handle = nullptr;
    ASSERT_EQ(ZwOpenSymbolicLinkObject(&handle, GENERIC_READ, &oa), STATUS_SUCCESS);
    const auto value = ULONG(reinterpret_cast<ULONG_PTR>(handle));
    NTSTATUS status;
    EXPECT_EQ(Reference(value, UserMode, &status, nullptr), nullptr);
    EXPECT_EQ(status, STATUS_INVALID_HANDLE);
    EXPECT_EQ(Reference(value, KernelMode, &status), nullptr);
    EXPECT_EQ(status, STATUS_OBJECT_TYPE_MISMATCH) << "a link is not an event";
    PVOID object = Reference(value, KernelMode, &status, nullptr);
    ASSERT_EQ(status, STATUS_SUCCESS);
    EXPECT_EQ(kern::ObjectName(object), u"\\??\\K:");
    ObDereferenceObject(object);
    EXPECT_EQ(ZwClose(handle), STATUS_SUCCESS);
    EXPECT_EQ(ZwClose(handle), STATUS_INVALID_HANDLE);
}

TEST_F(HandleTest, AnEventOfAClientThatLeftIsSetQuietly) {
    PVOID event = nullptr;
    {
        auto process = std::make_shared<FakeProcess>(std::map<ULONG, bool>{{0x10, true}});
        kern::ScopedProcess as_client(process);
        NTSTATUS status;
        event = Reference(0x10, UserMode, &status);
        ASSERT_EQ(status, STATUS_SUCCESS);
    }  // the process is gone; the driver still holds its reference
    EXPECT_EQ(KeSetEvent(static_cast<PKEVENT>(event), IO_NO_INCREMENT, FALSE), 0);
    EXPECT_EQ(KeReadStateEvent(static_cast<PKEVENT>(event)), 1);
    ObDereferenceObject(event);
}

TEST_F(HandleTest, ReferencesCountUpAndDown) {
    auto process = std::make_shared<FakeProcess>(std::map<ULONG, bool>{{0x10, true}});
    kern::ScopedProcess as_client(process);
    NTSTATUS status;
    PVOID event = Reference(0x10, UserMode, &status);
    ObReferenceObject(event);
    EXPECT_EQ(ObDereferenceObject(event), 1);
    EXPECT_EQ(ObDereferenceObject(event), 0);
}

}  // namespace

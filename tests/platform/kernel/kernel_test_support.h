// Helpers shared by the kernel tests: a fresh kernel per test with bug checks
// turned into exceptions, and small in-test drivers built from plain
// dispatch routines.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "kernel/kernel.h"

namespace ktest {

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        kern::ResetKernel();
        m_previous = kern::SetBugCheckHandler([](ULONG, const std::string&) {});
    }
    void TearDown() override { kern::SetBugCheckHandler(m_previous); }

    // A driver whose every major function is `dispatch`.
    static PDRIVER_OBJECT MakeDriver(const std::u16string& name, PDRIVER_DISPATCH dispatch) {
        static PDRIVER_DISPATCH pending_dispatch;
        pending_dispatch = dispatch;
        PDRIVER_OBJECT driver = nullptr;
        const NTSTATUS status = kern::CreateDriver(name, [](PDRIVER_OBJECT d, PUNICODE_STRING) {
            for (auto& f : d->MajorFunction) f = pending_dispatch;
            return STATUS_SUCCESS;
        }, &driver);
        EXPECT_EQ(status, STATUS_SUCCESS);
        return driver;
    }

    static PDEVICE_OBJECT MakeDevice(PDRIVER_OBJECT driver, const std::u16string& name = u"",
                                     DEVICE_TYPE type = FILE_DEVICE_DISK_FILE_SYSTEM, ULONG extension = 0) {
        std::u16string text = name;
        UNICODE_STRING unicode{USHORT(text.size() * 2), USHORT(text.size() * 2), text.data()};
        PDEVICE_OBJECT device = nullptr;
        EXPECT_EQ(IoCreateDevice(driver, extension, name.empty() ? nullptr : &unicode, type, 0, FALSE, &device),
                  STATUS_SUCCESS);
        return device;
    }

    static UNICODE_STRING Us(const char16_t* text) {
        UNICODE_STRING s;
        RtlInitUnicodeString(&s, text);
        return s;
    }

private:
    kern::BugCheckHandler m_previous;
};

}  // namespace ktest

// Shared fixture of the application tests: a private registry (LUMETRA_ROOT)
// for each test, the headless window backend, direct access to registry
// values, and the error boxes the code under test shows.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "registry/registry.h"
#include "scoped_root.h"

namespace apptest {

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct ShownBox {
    std::u16string caption;
    std::u16string text;
    bool errorIcon = false;
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static void SetValue(HKEY root, const WCHAR* path, const WCHAR* name, DWORD type, const void* data, DWORD size);
    static void SetDword(HKEY root, const WCHAR* path, const WCHAR* name, DWORD value);
    static void SetString(HKEY root, const WCHAR* path, const WCHAR* name, const std::u16string& value);
    static std::optional<RawValue> Value(HKEY root, const WCHAR* path, const WCHAR* name);

    // Every message box shown from now on is recorded and answered.
    void RecordBoxes();
    std::vector<ShownBox> m_boxes;

    ScopedRoot m_root;
};

// A test resource library's folder (built by this folder's CMakeLists).
std::string LibraryDir(const std::string& name);

}  // namespace apptest

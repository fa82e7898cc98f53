// The sample resource library the control and framework tests build from,
// loaded once per test.
#pragma once

#include "resource/module.h"
#include "ui_test_support.h"

namespace uitest {

class SampleTest : public UiTest {
protected:
    void SetUp() override;
    void TearDown() override;
    HMODULE m_library = nullptr;
};

}  // namespace uitest

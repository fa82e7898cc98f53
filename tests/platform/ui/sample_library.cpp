#include "sample_library.h"

#include "resource/module.h"
#include "ui/framework_app.h"

namespace uitest {

void SampleTest::SetUp() {
    UiTest::SetUp();
    m_library = LoadLibraryW(plat::resource::WindowsPath(SAMPLE_LIBRARY).c_str());
    ASSERT_NE(m_library, nullptr) << GetLastError();
    AfxSetResourceHandle(m_library);
}

void SampleTest::TearDown() {
    UiTest::TearDown();
    AfxSetResourceHandle(nullptr);
    if (m_library) FreeLibrary(m_library);
}

}  // namespace uitest

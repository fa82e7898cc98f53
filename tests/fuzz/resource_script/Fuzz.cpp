// The resource compiler's input: resource scripts with broken blocks,
// numbers and quoting, menus nested too deep, and file names that are not
// image files. The script is compiled as if it stood beside the sample
// library's images, so its file resources can name them.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "resource/resource_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string kScript = LUMETRA_SOURCE_DIR "/tests/platform/resource/sample/fuzz.rcs";
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto result = plat::resource::CompileResourceScript(text, kScript);
    if (!result.ok() && result.error.rfind(kScript + ":", 0) != 0) std::abort();  // errors name file and line
    return 0;
}

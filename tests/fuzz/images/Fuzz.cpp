// The BMP and PNG decoders on damaged files: sizes that overflow, rows that
// run past the data, palettes shorter than the bit depth needs.
#include <cstdint>
#include <cstdlib>

#include "ui/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto bitmap = plat::ui::DecodeImage({data, size});
    if (bitmap && (bitmap->Width() <= 0 || bitmap->Height() <= 0)) std::abort();
    return 0;
}

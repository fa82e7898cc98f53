// The animation clip parser on damaged RIFF files: chunk sizes past the
// end, lists inside lists, frame formats that do not match the frames.
#include <cstdint>
#include <cstdlib>

#include "ui/avi_clip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto clip = plat::ui::ParseAviClip({data, size});
    if (clip) {
        for (const auto& frame : clip->frames)
            if (!frame) std::abort();
    }
    return 0;
}

// The resource table of a damaged resource library, as the loader reads it
// in place, and every resource in it handed to the parser of its type:
// strings, menus, dialog templates, bitmaps, icons and clips.
#include <cstdint>
#include <cstdlib>

#include "resource/resource_blob.h"
#include "resource/resource_types.h"
#include "resource/templates.h"
#include "ui/avi_clip.h"
#include "ui/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace plat::resource;
    const std::span<const uint8_t> block(data, size);
    const auto views = ParseResources(block);
    if (!views) return 0;
    for (const ResourceView& view : *views) {
        // Every resource lies inside the block.
        if (view.data.size() && (view.data.data() < data || view.data.data() + view.data.size() > data + size))
            std::abort();
        switch (view.type) {
        case RT_MENU: ParseMenu(view.data); break;
        case RT_DIALOG: ParseDialog(view.data); break;
        case RT_BITMAP:
        case RT_ICON: plat::ui::DecodeImage(view.data); break;
        case RT_AVI: plat::ui::ParseAviClip(view.data); break;
        default: break;
        }
    }
    return 0;
}

// The GUI settings "bin" as ReadBin takes it from the registry: any length,
// fields cut short. A block that was read must store and read back to the
// same fields.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Settings.h"
#include "archive/ZmArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CZmArchive stored(data, static_cast<DWORD>(size));
    GuiSettings read = settings::Defaults(u"");
    settings::ReadBin(stored, read);

    CZmArchive again;
    settings::WriteBin(read, again);
    if (again.GetLength(TRUE) != settings::kBinSize) std::abort();
    again.Seek(0, 0);
    GuiSettings reread = settings::Defaults(u"");
    settings::ReadBin(again, reread);
    for (const settings::BinField& field : settings::kBinLayout) {
        if (field.wide ? read.*field.wide != reread.*field.wide : read.*field.narrow != reread.*field.narrow)
            std::abort();
    }
    return 0;
}

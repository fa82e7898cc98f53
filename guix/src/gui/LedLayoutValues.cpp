#include "LedLayoutValues.h"

#include "skin/SkinRecord.h"

LedLayoutValues LedLayoutValues::Parse(std::u16string_view text) {
    LedLayoutValues layout;
    skin::SkinRecordReader reader(text);
    for (int& value : layout.values) {
        reader.Skip();
        value = reader.Number();
    }
    return layout;
}

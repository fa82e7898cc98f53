#include "resource/templates.h"

#include "resource/byte_stream.h"

namespace plat::resource {
namespace {

void WriteMenuLevel(ByteWriter& w, const std::vector<MenuItemTemplate>& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItemTemplate& item = items[i];
        WORD flags = WORD(item.flags & ~(MFT_POPUP | MFT_END));
        if (!item.items.empty()) flags |= MFT_POPUP;
        if (i + 1 == items.size()) flags |= MFT_END;
        w.U16(flags);
        if (!(flags & MFT_POPUP)) w.U16(item.id);
        w.Text(item.text);
        if (flags & MFT_POPUP) WriteMenuLevel(w, item.items);
    }
}

bool ReadMenuLevel(ByteReader& r, std::vector<MenuItemTemplate>& items, int depth) {
    if (depth > 16) return false;  // a hostile template cannot recurse without bound
    for (;;) {
        MenuItemTemplate item;
        const WORD flags = WORD(r.U16());
        if (!(flags & MFT_POPUP)) item.id = WORD(r.U16());
        item.text = r.Text();
        item.flags = WORD(flags & ~MFT_END);
        if (r.Failed()) return false;
        if ((flags & MFT_POPUP) && !ReadMenuLevel(r, item.items, depth + 1)) return false;
        items.push_back(std::move(item));
        if (flags & MFT_END) return true;
    }
}

void WriteBox(ByteWriter& w, SHORT x, SHORT y, SHORT cx, SHORT cy) {
    for (SHORT v : {x, y, cx, cy}) w.U16(WORD(v));
}

void ReadBox(ByteReader& r, SHORT& x, SHORT& y, SHORT& cx, SHORT& cy) {
    for (SHORT* v : {&x, &y, &cx, &cy}) *v = SHORT(WORD(r.U16()));
}

}  // namespace

std::vector<std::uint8_t> SerializeMenu(const std::vector<MenuItemTemplate>& items) {
    ByteWriter w;
    w.U16(0);  // version
    w.U16(0);  // header size beyond these two words
    WriteMenuLevel(w, items);
    return std::move(w.Out());
}

std::optional<std::vector<MenuItemTemplate>> ParseMenu(std::span<const std::uint8_t> data) {
    ByteReader r(data);
    if (r.U16() != 0 || r.U16() != 0) return std::nullopt;
    std::vector<MenuItemTemplate> items;
    if (!ReadMenuLevel(r, items, 0)) return std::nullopt;
    return items;
}

std::vector<std::uint8_t> SerializeDialog(const DialogTemplate& d) {
    ByteWriter w;
    w.U32(d.style);
    w.U32(d.exStyle);
    w.U16(WORD(d.items.size()));
    WriteBox(w, d.x, d.y, d.cx, d.cy);
    w.Text(d.caption);
    w.U16(d.pointSize);
    w.Text(d.faceName);
    for (const DialogItemTemplate& item : d.items) {
        w.U32(item.style);
        w.U32(item.exStyle);
        WriteBox(w, item.x, item.y, item.cx, item.cy);
        w.U16(item.id);
        w.Text(item.className);
        w.Text(item.text);
    }
    return std::move(w.Out());
}

std::optional<DialogTemplate> ParseDialog(std::span<const std::uint8_t> data) {
    ByteReader r(data);
    DialogTemplate d;
    d.style = r.U32();
    d.exStyle = r.U32();
    const std::uint32_t count = r.U16();
    ReadBox(r, d.x, d.y, d.cx, d.cy);
    d.caption = r.Text();
    d.pointSize = WORD(r.U16());
    d.faceName = r.Text();
    for (std::uint32_t i = 0; i < count && !r.Failed(); ++i) {
        DialogItemTemplate item;
        item.style = r.U32();
        item.exStyle = r.U32();
        ReadBox(r, item.x, item.y, item.cx, item.cy);
        item.id = WORD(r.U16());
        item.className = r.Text();
        item.text = r.Text();
        d.items.push_back(std::move(item));
    }
    if (r.Failed()) return std::nullopt;
    return d;
}

}  // namespace plat::resource

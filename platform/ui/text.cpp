#include "ui/text.h"

#include <utility>
#include <algorithm>

#include "base/text.h"
#include "ui/device_context.h"
#include "ui/font.h"

using namespace plat::ui;

namespace {

std::u32string Decode(LPCWSTR text, int count) {
    const std::size_t n = count < 0 ? plat::WideLength(text) : std::size_t(count);
    std::u32string out;
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
    return out;
}

struct Line {
    std::u32string text;
    int underline = -1;  // index of the character a prefix marks
};

// Measures and draws lines the same way, so DT_CALCRECT matches drawing.
class Layout {
public:
    Layout(Font& font, UINT format) : m_font(font), m_format(format) {}

    int Advance(const std::u32string& s, std::size_t i, int x) {
        if (s[i] == U'\t' && (m_format & DT_EXPANDTABS)) {
            const int stop = 8 * m_font.AverageWidth();
            return stop - (x % stop);
        }
        int a = m_font.GlyphFor(s[i]).advance;
        if (i + 1 < s.size()) a += m_font.Kerning(s[i], s[i + 1]);
        return a;
    }

    int Width(const std::u32string& s) {
        int x = 0;
        for (std::size_t i = 0; i < s.size(); ++i) x += Advance(s, i, x);
        return x;
    }

    Line StripPrefix(const std::u32string& s) {
        Line line;
        if (m_format & DT_NOPREFIX) {
            line.text = s;
            return line;
        }
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == U'&' && i + 1 < s.size()) {
                ++i;
                if (s[i] != U'&') line.underline = int(line.text.size());
            }
            line.text.push_back(s[i]);
        }
        return line;
    }

    std::vector<Line> Lines(const std::u32string& all, int width) {
        std::vector<std::u32string> raw;
        if (m_format & DT_SINGLELINE) {
            std::u32string one;
            for (char32_t c : all)
                if (c != U'\r' && c != U'\n') one.push_back(c);
            raw.push_back(one);
        } else {
            std::u32string cur;
            for (char32_t c : all) {
                if (c == U'\r') continue;
                if (c == U'\n') {
                    raw.push_back(std::exchange(cur, {}));
                } else {
                    cur.push_back(c);
                }
            }
            raw.push_back(cur);
        }
        std::vector<Line> lines;
        for (const auto& r : raw) {
            Line line = StripPrefix(r);
            if ((m_format & DT_WORDBREAK) && !(m_format & DT_SINGLELINE)) BreakWords(line, width, &lines);
            else lines.push_back(line);
        }
        if (m_format & DT_END_ELLIPSIS)
            for (Line& l : lines) Ellipsize(l, width);
        return lines;
    }

private:
    void BreakWords(Line line, int width, std::vector<Line>* out) {
        while (Width(line.text) > width) {
            std::size_t cut = line.text.size();
            while (cut > 0 && (line.text[cut - 1] != U' ' || Width(line.text.substr(0, cut - 1)) > width)) --cut;
            if (cut == 0) break;  // one word wider than the box stays whole
            out->push_back(Line{line.text.substr(0, cut - 1), line.underline < int(cut) ? line.underline : -1});
            line.underline = line.underline >= int(cut) ? line.underline - int(cut) : -1;
            line.text.erase(0, cut);
        }
        out->push_back(line);
    }

    void Ellipsize(Line& line, int width) {
        if (Width(line.text) <= width) return;
        const std::u32string dots = U"...";
        while (!line.text.empty() && Width(line.text + dots) > width) line.text.pop_back();
        line.text += dots;
        if (line.underline >= int(line.text.size()) - 3) line.underline = -1;
    }

    Font& m_font;
    UINT m_format;
};

std::uint8_t Blend(unsigned dst, unsigned src, unsigned coverage) {
    return std::uint8_t((src * coverage + dst * (255 - coverage) + 127) / 255);
}

// The text colour laid over a pixel with the glyph's coverage; the pixel's
// alpha byte is cleared, as for every other GDI drawing.
std::uint32_t BlendPixel(std::uint32_t d, std::uint32_t color, unsigned cov) {
    return (std::uint32_t(Blend((d >> 16) & 255, (color >> 16) & 255, cov)) << 16) |
           (std::uint32_t(Blend((d >> 8) & 255, (color >> 8) & 255, cov)) << 8) | Blend(d & 255, color & 255, cov);
}

void DrawGlyph(Bitmap& bmp, const Region& clip, const Glyph& g, int penX, int baseline, std::uint32_t color) {
    const RECT box{penX + g.left, baseline - g.top, penX + g.left + g.width, baseline - g.top + g.height};
    const bool direct = bmp.BitsPerPixel() == 32;  // whole rows of pixels, no per-pixel format checks
    for (const RECT& c : clip.Rects()) {
        const RECT r = Intersect(c, box);
        for (int y = r.top; y < r.bottom; ++y) {
            const std::uint8_t* coverage = &g.coverage[std::size_t(y - box.top) * g.width];
            auto* row = direct ? reinterpret_cast<std::uint32_t*>(bmp.Row(y)) : nullptr;
            for (int x = r.left; x < r.right; ++x) {
                const unsigned cov = coverage[x - box.left];
                if (!cov) continue;
                if (direct) row[x] = BlendPixel(row[x], color, cov);
                else bmp.Set(x, y, BlendPixel(bmp.Get(x, y), color, cov));
            }
        }
    }
}

void FillBox(Bitmap& bmp, const Region& clip, const RECT& box, std::uint32_t color) {
    for (const RECT& c : clip.Rects()) {
        const RECT r = Intersect(c, box);
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) bmp.Set(x, y, color);
    }
}

// Draws one line with its top-left at (x, y) in target coordinates.
void DrawLine(DeviceContext& dc, Bitmap& bmp, const Region& clip, Layout& layout, const Line& line, int x, int y) {
    Font& font = *dc.font;
    const int width = layout.Width(line.text);
    if (dc.bkMode == OPAQUE) FillBox(bmp, clip, RECT{x, y, x + width, y + font.CellHeight()}, ArgbFromColorRef(dc.bkColor));
    const std::uint32_t color = ArgbFromColorRef(dc.textColor);
    const int baseline = y + font.Ascent();
    int pen = 0;
    for (std::size_t i = 0; i < line.text.size(); ++i) {
        const int advance = layout.Advance(line.text, i, pen);
        if (line.text[i] != U'\t') DrawGlyph(bmp, clip, font.GlyphFor(line.text[i]), x + pen, baseline, color);
        if (int(i) == line.underline) FillBox(bmp, clip, RECT{x + pen, baseline + 1, x + pen + advance, baseline + 2}, color);
        pen += advance;
    }
}

}  // namespace

int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT* rect, UINT format) {
    auto dc = LookupDC(hdc);
    if (!dc || !rect || !text || !dc->font) return 0;
    Font& font = *dc->font;
    Layout layout(font, format);
    const std::vector<Line> lines = layout.Lines(Decode(text, count), Width(*rect));
    const int lineHeight = font.CellHeight();
    const int total = lineHeight * int(lines.size());
    int widest = 0;
    for (const Line& l : lines) widest = std::max(widest, layout.Width(l.text));

    if (format & DT_CALCRECT) {
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int top = rect->top;
    const bool single = format & DT_SINGLELINE;
    if (single && (format & DT_VCENTER)) top = rect->top + (Height(*rect) - lineHeight) / 2;
    else if (single && (format & DT_BOTTOM)) top = rect->bottom - lineHeight;

    const RECT area = (format & DT_NOCLIP) ? RECT{-100000, -100000, 100000, 100000} : *rect;
    DrawOn(hdc, area, [&](DeviceContext& d, Bitmap& bmp, const Region& clip) {
        int y = top;
        for (const Line& line : lines) {
            const int w = layout.Width(line.text);
            int x = rect->left;
            if (format & DT_CENTER) x = rect->left + (Width(*rect) - w) / 2;
            else if (format & DT_RIGHT) x = rect->right - w;
            DrawLine(d, bmp, clip, layout, line, x + d.origin.x, y + d.origin.y);
            y += lineHeight;
        }
    });
    return (single && (format & (DT_VCENTER | DT_BOTTOM))) ? top - rect->top + lineHeight : total;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
    auto dc = LookupDC(hdc);
    if (!dc || !text || !dc->font) return FALSE;
    Layout layout(*dc->font, DT_NOPREFIX);
    const Line line{Decode(text, count), -1};
    const RECT area{x, y, x + layout.Width(line.text), y + dc->font->CellHeight()};
    return DrawOn(hdc, area, [&](DeviceContext& d, Bitmap& bmp, const Region& clip) {
        DrawLine(d, bmp, clip, layout, line, x + d.origin.x, y + d.origin.y);
    });
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size) {
    auto dc = LookupDC(hdc);
    if (!dc || !size || (!text && count != 0) || !dc->font) return FALSE;
    Layout layout(*dc->font, DT_NOPREFIX);
    size->cx = text ? layout.Width(Decode(text, count)) : 0;
    size->cy = dc->font->CellHeight();
    return TRUE;
}

// Fonts: a LOGFONTW resolved through fontconfig to a FreeType face (DejaVu
// Sans when nothing matches), at a pixel size, with a glyph cache. Bold and
// italic are synthesised when the matched file lacks them.
//
// Height follows Windows: lfHeight < 0 is the em height in pixels, > 0 the
// cell height (ascent + descent), 0 a default of 16 pixels of cell height.
// Glyphs are anti-aliased 8-bit coverage masks with light hinting, which
// keeps small skin text crisp without colour fringes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/object_table.h"
#include "ui/ui_constants.h"

namespace plat::ui {

struct Glyph {
    int left = 0;     // pen position to the bitmap's left edge
    int top = 0;      // baseline to the bitmap's top edge (up is positive)
    int width = 0;
    int height = 0;
    int advance = 0;  // pixels
    std::vector<std::uint8_t> coverage;
};

class FontFace;

class Font final : public UiObject {
public:
    explicit Font(const LOGFONTW& log);
    const LOGFONTW& Log() const { return m_log; }
    int Ascent() const { return m_ascent; }
    int Descent() const { return m_descent; }
    int CellHeight() const { return m_ascent + m_descent; }
    int AverageWidth() const { return m_averageWidth; }
    bool Valid() const { return m_face != nullptr; }
    // The file the face was loaded from (for diagnostics and tests).
    std::string FilePath() const;

    // Cached; safe from any thread.
    const Glyph& GlyphFor(char32_t c);
    // Extra advance between two characters from the face's kerning table.
    int Kerning(char32_t left, char32_t right);
    int TextWidth(std::u32string_view text);

private:
    LOGFONTW m_log;
    std::shared_ptr<FontFace> m_face;
    int m_pixelSize = 0;  // FreeType size in pixels (em height)
    int m_ascent = 0;
    int m_descent = 0;
    int m_averageWidth = 0;
    bool m_embolden = false;
    bool m_oblique = false;
    std::mutex m_mutex;  // guards the cache and the shared FreeType face
    std::unordered_map<char32_t, Glyph> m_glyphs;
    std::unordered_map<std::uint64_t, int> m_kerning;
    bool m_hasKerning = false;
};

// Font weight and slant requested, resolved to a file by fontconfig.
std::string ResolveFontFile(const std::string& family, int weight, bool italic, int* face_index);

}  // namespace plat::ui

HFONT CreateFontIndirectW(const LOGFONTW* log);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strike_out, DWORD charset, DWORD out_precision, DWORD clip_precision,
                  DWORD quality, DWORD pitch_and_family, LPCWSTR face);
// Height in tenths of a point at the screen's 96 dots per inch.
HFONT CreatePointFontW(int point_size_tenths, LPCWSTR face, HDC hdc);
BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics);

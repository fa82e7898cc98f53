#include "ui/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <cmath>
#include <map>

#include "base/last_error.h"
#include "base/text.h"
#include "base/win_errors.h"
#include "ui/device_context.h"

namespace plat::ui {

// One loaded face file, shared by every font that resolves to it. FreeType
// faces are not thread-safe; every use holds `mutex`.
class FontFace {
public:
    FT_Face face = nullptr;
    std::string path;
    std::mutex mutex;
    ~FontFace() {
        if (face) FT_Done_Face(face);
    }
};

namespace {

constexpr const char* kFallbackFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Library {
    std::mutex mutex;
    FT_Library ft = nullptr;
    std::map<std::pair<std::string, int>, std::weak_ptr<FontFace>> faces;
    Library() {
        FT_Init_FreeType(&ft);
        FcInit();
    }
};

Library& Lib() {
    static Library* lib = new Library;
    return *lib;
}

std::shared_ptr<FontFace> LoadFace(const std::string& path, int index) {
    Library& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto& slot = lib.faces[{path, index}];
    if (auto existing = slot.lock()) return existing;
    auto face = std::make_shared<FontFace>();
    if (!lib.ft || FT_New_Face(lib.ft, path.c_str(), index, &face->face) != 0) return nullptr;
    face->path = path;
    slot = face;
    return face;
}

int FcWeight(int weight) {
    if (weight >= 800) return FC_WEIGHT_EXTRABOLD;
    if (weight >= 600) return FC_WEIGHT_BOLD;
    if (weight >= 500) return FC_WEIGHT_MEDIUM;
    if (weight > 0 && weight < 350) return FC_WEIGHT_LIGHT;
    return FC_WEIGHT_REGULAR;
}

}  // namespace

std::string ResolveFontFile(const std::string& family, int weight, bool italic, int* face_index) {
    *face_index = 0;
    std::string result;
    std::lock_guard lock(Lib().mutex);  // fontconfig's default configuration is shared
    FcPattern* pattern = FcPatternCreate();
    if (!family.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("DejaVu Sans"));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeight(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult res;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &res)) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) result = reinterpret_cast<char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, face_index);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return result;
}

Font::Font(const LOGFONTW& log) : m_log(log) {
    const std::string family = Utf16ToUtf8(FieldView(log.lfFaceName, LF_FACESIZE));
    const int weight = log.lfWeight ? log.lfWeight : FW_NORMAL;
    int index = 0;
    std::string file = ResolveFontFile(family, weight, log.lfItalic != 0, &index);
    m_face = file.empty() ? nullptr : LoadFace(file, index);
    if (!m_face) m_face = LoadFace(kFallbackFile, 0);
    if (!m_face) return;
    FT_Face f = m_face->face;
    m_hasKerning = FT_HAS_KERNING(f);
    m_embolden = weight >= 600 && !(f->style_flags & FT_STYLE_FLAG_BOLD);
    m_oblique = log.lfItalic && !(f->style_flags & FT_STYLE_FLAG_ITALIC);

    // Cell height (ascent + descent) in font units, to turn a positive
    // lfHeight into an em size.
    const double cellUnits = double(f->ascender - f->descender);
    const double em = f->units_per_EM ? double(f->units_per_EM) : 2048.0;
    int height = log.lfHeight;
    if (height == 0) height = 16;
    m_pixelSize = height < 0 ? -height : std::max(1, int(std::lround(height * em / cellUnits)));
    m_ascent = int(std::ceil(f->ascender * m_pixelSize / em));
    m_descent = int(std::ceil(-f->descender * m_pixelSize / em));
    m_averageWidth = std::max(1, GlyphFor(U'x').advance);
}

std::string Font::FilePath() const { return m_face ? m_face->path : std::string(); }

const Glyph& Font::GlyphFor(char32_t c) {
    std::lock_guard lock(m_mutex);
    auto it = m_glyphs.find(c);
    if (it != m_glyphs.end()) return it->second;
    Glyph g;
    if (m_face) {
        std::lock_guard faceLock(m_face->mutex);
        FT_Face f = m_face->face;
        FT_Set_Pixel_Sizes(f, 0, FT_UInt(m_pixelSize));
        const FT_UInt index = FT_Get_Char_Index(f, c);
        if (FT_Load_Glyph(f, index, FT_LOAD_TARGET_LIGHT) == 0) {
            if (m_embolden) FT_GlyphSlot_Embolden(f->glyph);
            if (m_oblique) FT_GlyphSlot_Oblique(f->glyph);
            if (FT_Render_Glyph(f->glyph, FT_RENDER_MODE_NORMAL) == 0) {
                const FT_Bitmap& bm = f->glyph->bitmap;
                g.left = f->glyph->bitmap_left;
                g.top = f->glyph->bitmap_top;
                g.width = int(bm.width);
                g.height = int(bm.rows);
                g.advance = int((f->glyph->advance.x + 32) >> 6);
                g.coverage.resize(std::size_t(g.width) * g.height);
                for (int y = 0; y < g.height; ++y)
                    for (int x = 0; x < g.width; ++x) g.coverage[std::size_t(y) * g.width + x] = bm.buffer[y * bm.pitch + x];
            }
        }
    }
    return m_glyphs.emplace(c, std::move(g)).first->second;
}

int Font::Kerning(char32_t left, char32_t right) {
    if (!m_hasKerning) return 0;
    const std::uint64_t key = (std::uint64_t(left) << 32) | right;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_kerning.find(key);
        if (it != m_kerning.end()) return it->second;
    }
    int value = 0;
    {
        std::lock_guard faceLock(m_face->mutex);
        FT_Face f = m_face->face;
        FT_Set_Pixel_Sizes(f, 0, FT_UInt(m_pixelSize));
        FT_Vector k{};
        FT_Get_Kerning(f, FT_Get_Char_Index(f, left), FT_Get_Char_Index(f, right), FT_KERNING_DEFAULT, &k);
        value = int(k.x >> 6);
    }
    std::lock_guard lock(m_mutex);
    m_kerning.emplace(key, value);
    return value;
}

int Font::TextWidth(std::u32string_view text) {
    int width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        width += GlyphFor(text[i]).advance;
        if (i + 1 < text.size()) width += Kerning(text[i], text[i + 1]);
    }
    return width;
}

}  // namespace plat::ui

using namespace plat::ui;

HFONT CreateFontIndirectW(const LOGFONTW* log) {
    if (!log) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto font = std::make_shared<Font>(*log);
    if (!font->Valid()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HFONT>(RegisterObject(std::move(font)));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strike_out, DWORD charset, DWORD out_precision, DWORD clip_precision, DWORD quality,
                  DWORD pitch_and_family, LPCWSTR face) {
    LOGFONTW log;
    log.lfHeight = height;
    log.lfWidth = width;
    log.lfEscapement = escapement;
    log.lfOrientation = orientation;
    log.lfWeight = weight;
    log.lfItalic = BYTE(italic);
    log.lfUnderline = BYTE(underline);
    log.lfStrikeOut = BYTE(strike_out);
    log.lfCharSet = BYTE(charset);
    log.lfOutPrecision = BYTE(out_precision);
    log.lfClipPrecision = BYTE(clip_precision);
    log.lfQuality = BYTE(quality);
    log.lfPitchAndFamily = BYTE(pitch_and_family);
    if (face) plat::CopyToField(log.lfFaceName, LF_FACESIZE, face);
    return CreateFontIndirectW(&log);
}

HFONT CreatePointFontW(int point_size_tenths, LPCWSTR face, HDC) {
    LOGFONTW log;
    // Tenths of a point at 96 dpi, rounded, as an em height.
    log.lfHeight = -int(std::lround(point_size_tenths * 96.0 / 720.0));
    log.lfWeight = FW_NORMAL;
    log.lfCharSet = DEFAULT_CHARSET;
    if (face) plat::CopyToField(log.lfFaceName, LF_FACESIZE, face);
    return CreateFontIndirectW(&log);
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* tm) {
    auto dc = LookupDC(hdc);
    if (!dc || !tm || !dc->font) return FALSE;
    Font& f = *dc->font;
    *tm = TEXTMETRICW{};
    tm->tmHeight = f.CellHeight();
    tm->tmAscent = f.Ascent();
    tm->tmDescent = f.Descent();
    tm->tmAveCharWidth = f.AverageWidth();
    tm->tmMaxCharWidth = f.GlyphFor(U'W').advance;
    tm->tmWeight = f.Log().lfWeight ? f.Log().lfWeight : FW_NORMAL;
    tm->tmItalic = f.Log().lfItalic;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = u'?';
    tm->tmBreakChar = u' ';
    tm->tmCharSet = f.Log().lfCharSet;
    return TRUE;
}

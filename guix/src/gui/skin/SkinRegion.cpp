#include "skin/SkinRegion.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace skin {
namespace {

// Whether a pixel lies in the transparent range [key, min(255, key + tolerance)]
// of every channel.
class KeyTest {
public:
    explicit KeyTest(MaskKey key) : m_key(key) {}
    bool Transparent(std::uint32_t pixel) const {
        return In((pixel >> 16) & 0xFF, GetRValue(m_key.key)) && In((pixel >> 8) & 0xFF, GetGValue(m_key.key)) &&
               In(pixel & 0xFF, GetBValue(m_key.key));
    }

private:
    bool In(std::uint32_t value, int key) const {
        return int(value) >= key && int(value) <= std::min(255, key + m_key.tolerance);
    }
    MaskKey m_key;
};

// The region-data block: rectangles and their bounding rectangle, turned
// into a region and combined into the result when full and at the end.
class RunCollector {
public:
    explicit RunCollector(int flush_count) : m_flushCount(flush_count) { Restart(); }

    bool Add(const RECT& run) {
        if (m_rects.size() == m_rects.capacity()) m_rects.reserve(m_rects.capacity() + kGrowth);
        m_rects.push_back(run);
        m_bound.left = std::min(m_bound.left, run.left);
        m_bound.top = std::min(m_bound.top, run.top);
        m_bound.right = std::max(m_bound.right, run.right);
        m_bound.bottom = std::max(m_bound.bottom, run.bottom);
        return int(m_rects.size()) < m_flushCount || Flush();
    }

    // Combines what is collected into the result and starts an empty block.
    bool Flush() {
        std::vector<std::uint8_t> block(sizeof(RGNDATAHEADER) + m_rects.size() * sizeof(RECT));
        RGNDATAHEADER header;
        header.nCount = DWORD(m_rects.size());
        header.nRgnSize = DWORD(m_rects.size() * sizeof(RECT));
        header.rcBound = m_bound;
        std::memcpy(block.data(), &header, sizeof header);
        if (!m_rects.empty()) std::memcpy(block.data() + sizeof header, m_rects.data(), header.nRgnSize);
        OwnedRegion part(ExtCreateRegion(nullptr, DWORD(block.size()), reinterpret_cast<const RGNDATA*>(block.data())));
        Restart();
        if (!part) return false;
        if (!m_result) m_result = std::move(part);
        else if (CombineRgn(m_result.Get(), m_result.Get(), part.Get(), RGN_OR) == ERROR_REGION) return false;
        return true;
    }

    OwnedRegion Result() { return std::move(m_result); }

private:
    static constexpr std::size_t kGrowth = 100;

    void Restart() {
        m_rects.clear();
        m_rects.shrink_to_fit();
        m_rects.reserve(kGrowth);
        m_bound = RECT{INT_MAX, INT_MAX, 0, 0};
    }

    int m_flushCount;
    std::vector<RECT> m_rects;
    RECT m_bound{};
    OwnedRegion m_result;
};

}  // namespace

OwnedRegion RegionFromPixels(const PixelImage& mask, MaskKey key, int flush_count) {
    if (mask.Empty()) return {};
    const KeyTest test(key);
    RunCollector runs(std::max(flush_count, 1));
    for (int y = 0; y < mask.height; ++y) {
        int x = 0;
        while (x < mask.width) {
            while (x < mask.width && test.Transparent(mask.At(x, y))) ++x;
            const int start = x;
            while (x < mask.width && !test.Transparent(mask.At(x, y))) ++x;
            if (x > start && !runs.Add(RECT{start, y, x, y + 1})) return {};
        }
    }
    if (!runs.Flush()) return {};
    return runs.Result();
}

OwnedRegion RegionFromMask(HBITMAP mask, MaskKey key) { return RegionFromPixels(ReadPixels(mask), key); }

}  // namespace skin

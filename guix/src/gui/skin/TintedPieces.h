// The bitmap pieces of one control and their tinted copies. Tinting touches
// every pixel, so the copies are made once per colour index: they are
// rebuilt, all together, only when a paint asks for another index than the
// one they were made for, or after a piece was replaced.
//
// Thread rule: used by the control's paint, on the GUI thread.
#pragma once

#include <vector>

#include "skin/GdiHandle.h"

namespace skin {

class TintedPieces {
public:
    explicit TintedPieces(std::size_t count) : m_sources(count), m_copies(count) {}

    void SetSource(std::size_t index, OwnedBitmap piece);
    HBITMAP Source(std::size_t index) const { return m_sources[index].Get(); }
    // Makes the copies for `colour_index` unless they are made for it.
    void Refresh(int colour_index);
    // The copy of piece `index` as of the last Refresh (null for a missing piece).
    HBITMAP Tinted(std::size_t index) const { return m_copies[index].Get(); }

    // The colour index the copies were made for; -1 when none are made.
    int MadeFor() const { return m_madeFor; }
    // How often the copies were made (a diagnostic the tests read).
    int Rebuilds() const { return m_rebuilds; }

private:
    std::vector<OwnedBitmap> m_sources;
    std::vector<OwnedBitmap> m_copies;
    int m_madeFor = -1;
    int m_rebuilds = 0;
};

}  // namespace skin

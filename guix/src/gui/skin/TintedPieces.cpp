#include "skin/TintedPieces.h"

#include "skin/SkinTint.h"

namespace skin {

void TintedPieces::SetSource(std::size_t index, OwnedBitmap piece) {
    m_sources[index] = std::move(piece);
    m_madeFor = -1;
}

void TintedPieces::Refresh(int colour_index) {
    if (colour_index == m_madeFor) return;
    for (std::size_t i = 0; i < m_sources.size(); ++i) m_copies[i] = TintedCopy(m_sources[i].Get(), colour_index);
    m_madeFor = colour_index;
    ++m_rebuilds;
}

}  // namespace skin

#include "skin/SkinTooltip.h"

#include "ui/message_queue.h"

namespace skin {

constexpr UINT_PTR kToolId = 1;

void SkinTooltip::Set(CWnd& control, const std::u16string& text, BOOL activate) {
    if (!m_tip.m_hWnd) {
        if (!m_tip.Create(&control)) return;
        m_tip.Activate(FALSE);
        m_hasTool = false;
    }
    if (!m_hasTool) m_hasTool = m_tip.AddTool(&control, text.c_str(), nullptr, kToolId);
    else m_tip.UpdateTipText(text.c_str(), &control, kToolId);
    // An empty tip never shows (as on Windows), rather than as an empty box.
    m_tip.Activate(activate && !text.empty());
}

void SkinTooltip::Relay(HWND control, UINT message, WPARAM wp, LPARAM lp) {
    if (!m_tip.m_hWnd || message < WM_MOUSEFIRST || message > WM_MOUSELAST) return;
    MSG msg{control, message, wp, lp, DWORD(GetMessageTime()), {}};
    m_tip.RelayEvent(&msg);
}

}  // namespace skin

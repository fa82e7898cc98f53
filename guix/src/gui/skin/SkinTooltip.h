// The tooltip of one skinned control: a tooltip control made on first use,
// with one tool (id 1) over the control's client area. It starts
// deactivated; SetTooltip adds the tool or changes its text and then
// activates or deactivates it (a tool without text stays inactive, since
// an empty tip never shows). The control relays its mouse messages to it.
//
// Thread rule: GUI thread.
#pragma once

#include <string>

#include "ui/framework_controls.h"

namespace skin {

class SkinTooltip {
public:
    void Set(CWnd& control, const std::u16string& text, BOOL activate);
    // Hands a mouse message of the control to the tooltip, once it exists.
    void Relay(HWND control, UINT message, WPARAM wp, LPARAM lp);
    bool Exists() const { return m_tip.m_hWnd != nullptr; }
    const CToolTipCtrl& Control() const { return m_tip; }

private:
    CToolTipCtrl m_tip;
    bool m_hasTool = false;
};

}  // namespace skin

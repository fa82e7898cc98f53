// CBitmapBtn: an owner-drawn push button drawn entirely from four bitmap
// pieces of its own size (normal, hover, pressed, disabled), tinted with the
// colour index of its parent skinned dialog. It knows nothing of skins
// beyond that index: names, indices and notifications are CSkinButton's.
//
// The piece shown follows the toggle flag T (from the record), the state
// flag S (the latched look, set from outside), the hover flag H (the mouse
// is over the button) and the item's selected (Sel) and disabled (Dis)
// states; see ChooseButtonLook. A toggle button never shows the disabled
// piece: its latched state stays visible while it is disabled.
//
// Hover tracking: the first mouse move over the button sets the hover flag
// and captures the mouse; a move that finds another window under the
// cursor clears it and, unless the left button is down, releases the
// capture. A move with the left button down that did not start over the
// button (a drag from elsewhere) changes nothing. Losing the focus clears
// the flag; losing the capture repaints.
//
// Thread rule: GUI thread, except SetState, which any thread may call (it
// stores the flag and invalidates).
#pragma once

#include <atomic>
#include <string>

#include "skin/SkinTooltip.h"
#include "skin/TintedPieces.h"
#include "ui/framework_controls.h"

enum class ButtonLook : std::size_t { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

//   T  S          H    shown
//   0  any        1    pressed if Sel, else hover
//   0  1          0    pressed
//   0  0          0    pressed if Sel, else disabled if Dis, else normal
//   1  1 or Sel   any  pressed
//   1  0, no Sel  1    hover
//   1  0, no Sel  0    normal
ButtonLook ChooseButtonLook(bool toggle, bool state, bool hover, bool selected, bool disabled);

class CBitmapBtn : public CButton {
public:
    CBitmapBtn() = default;

    // Takes the four pieces, each of the button's size.
    void SetPieces(skin::OwnedBitmap normal, skin::OwnedBitmap hover, skin::OwnedBitmap pressed,
                   skin::OwnedBitmap disabled);
    void SetTooltip(const std::u16string& text, BOOL activate);
    // The latched look; repaints when it changed. Any thread.
    void SetState(BOOL state);
    BOOL GetState() const { return m_state.load(); }
    void SetToggle(bool toggle) { m_toggle = toggle; }
    bool IsToggle() const { return m_toggle; }
    bool IsHovered() const { return m_hover.load(); }
    // The look the next paint shows for the given item states.
    ButtonLook CurrentLook(bool selected, bool disabled) const;

    const skin::TintedPieces& Pieces() const { return m_pieces; }
    const skin::SkinTooltip& Tooltip() const { return m_tooltip; }

    void PreSubclassWindow() override;
    void DrawItem(DRAWITEMSTRUCT* dis) override;
    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override;

protected:
    int OnCreate(CREATESTRUCTW* cs) override;
    BOOL OnEraseBkgnd(HDC) override { return FALSE; }
    void OnMouseMove(UINT flags, POINT point) override;
    void OnKillFocus(HWND next) override;
    void OnCaptureChanged(HWND capture) override;

    // The hover tracking that follows the default handling of a mouse move.
    void TrackHover(UINT flags);
    void SetHover(bool hover);
    // Refreshes the tinted copies for the parent dialog's colour index.
    void RefreshTint();

    skin::TintedPieces m_pieces{4};

private:
    skin::SkinTooltip m_tooltip;
    std::atomic<bool> m_hover{false};
    std::atomic<bool> m_state{false};
    bool m_toggle = false;
};

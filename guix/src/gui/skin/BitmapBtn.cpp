#include "skin/BitmapBtn.h"

#include "process/system_procs.h"
#include "resource/module.h"
#include "skin/SkinBitmaps.h"
#include "skin/SkinControl.h"

ButtonLook ChooseButtonLook(bool toggle, bool state, bool hover, bool selected, bool disabled) {
    if (toggle) {
        if (state || selected) return ButtonLook::Pressed;
        return hover ? ButtonLook::Hover : ButtonLook::Normal;
    }
    if (hover) return selected ? ButtonLook::Pressed : ButtonLook::Hover;
    if (state || selected) return ButtonLook::Pressed;
    return disabled ? ButtonLook::Disabled : ButtonLook::Normal;
}

void CBitmapBtn::SetPieces(skin::OwnedBitmap normal, skin::OwnedBitmap hover, skin::OwnedBitmap pressed,
                           skin::OwnedBitmap disabled) {
    m_pieces.SetSource(std::size_t(ButtonLook::Normal), std::move(normal));
    m_pieces.SetSource(std::size_t(ButtonLook::Hover), std::move(hover));
    m_pieces.SetSource(std::size_t(ButtonLook::Pressed), std::move(pressed));
    m_pieces.SetSource(std::size_t(ButtonLook::Disabled), std::move(disabled));
    if (m_hWnd) Invalidate(FALSE);
}

void CBitmapBtn::SetTooltip(const std::u16string& text, BOOL activate) { m_tooltip.Set(*this, text, activate); }

void CBitmapBtn::SetState(BOOL state) {
    if (m_state.exchange(state != FALSE) != (state != FALSE) && m_hWnd) Invalidate(FALSE);
}

ButtonLook CBitmapBtn::CurrentLook(bool selected, bool disabled) const {
    return ChooseButtonLook(m_toggle, m_state.load(), m_hover.load(), selected, disabled);
}

// Whatever type the button was made with, it is drawn by its owner; a
// default push button starts hovered, as the default look was its hint.
void CBitmapBtn::PreSubclassWindow() {
    const DWORD style = DWORD(GetWindowLongW(m_hWnd, GWL_STYLE));
    if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) m_hover = true;
    SetWindowLongW(m_hWnd, GWL_STYLE, LONG((style | BS_OWNERDRAW) & ~WS_TABSTOP));
}

// Visual styles go off (blank theme names), through uxtheme's
// SetWindowTheme looked up at run time: a system without it has none to
// switch off. The owner-draw style is set again in case creation replaced it.
int CBitmapBtn::OnCreate(CREATESTRUCTW* cs) {
    const int result = CButton::OnCreate(cs);
    using SetWindowThemeProc = HRESULT (*)(HWND, LPCWSTR, LPCWSTR);
    if (HMODULE uxtheme = GetModuleHandleW(u"uxtheme.dll"))
        if (FARPROC proc = GetProcAddress(uxtheme, "SetWindowTheme"))
            reinterpret_cast<SetWindowThemeProc>(reinterpret_cast<void*>(proc))(m_hWnd, u" ", u" ");
    SetWindowLongW(m_hWnd, GWL_STYLE, LONG(DWORD(GetWindowLongW(m_hWnd, GWL_STYLE)) | BS_OWNERDRAW));
    return result;
}

void CBitmapBtn::RefreshTint() { m_pieces.Refresh(skin::detail::ParentColorIndex(m_hWnd)); }

void CBitmapBtn::DrawItem(DRAWITEMSTRUCT* dis) {
    RefreshTint();
    const ButtonLook look = CurrentLook(dis->itemState & ODS_SELECTED, dis->itemState & ODS_DISABLED);
    RECT client;
    GetClientRect(&client);
    skin::DrawBitmapPart(dis->hDC, 0, 0, client.right, client.bottom, m_pieces.Tinted(std::size_t(look)));
}

LRESULT CBitmapBtn::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
    m_tooltip.Relay(m_hWnd, message, wp, lp);
    return CButton::WindowProc(message, wp, lp);
}

void CBitmapBtn::OnMouseMove(UINT flags, POINT) {
    Default();
    TrackHover(flags);
}

void CBitmapBtn::TrackHover(UINT flags) {
    const bool left_down = (flags & MK_LBUTTON) != 0;
    if (left_down && !m_hover) return;
    if (GetCapture() != m_hWnd && GetActiveWindow() && GetParent()) {
        m_hover = true;
        SetCapture(m_hWnd);
        Invalidate(FALSE);
        return;
    }
    POINT cursor;
    GetCursorPos(&cursor);
    if (WindowFromPoint(cursor) == m_hWnd) return;
    SetHover(false);
    if (!left_down) ReleaseCapture();
}

void CBitmapBtn::SetHover(bool hover) {
    if (m_hover.exchange(hover) != hover) Invalidate(FALSE);
}

void CBitmapBtn::OnKillFocus(HWND) {
    Default();
    m_hover = false;
    Invalidate(FALSE);
}

// The message comes once the capture has gone elsewhere, so there is
// nothing left to release (releasing now would take it from its new owner).
void CBitmapBtn::OnCaptureChanged(HWND) {
    Default();
    if (m_hover) Invalidate(FALSE);
}

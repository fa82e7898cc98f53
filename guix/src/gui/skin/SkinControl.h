// What the skin adds to each general bitmap control: a name (for
// notifications and look-ups by name), an index (its position in the
// dialog's list of its kind) and the way to its parent dialog.
//
// The dialog may delete controls while one of them is still handling a
// message: a button whose click closes the dialog, a slider whose move
// lays the dialog out again. So every skinned control counts the messages
// it is handling, and the dialog frees a removed control only once no
// skinned control of the thread is inside a handler (SkinControlsBusy).
#pragma once

#include <string>

#include "ui/framework_wnd.h"

class CSkinDialog;

namespace skin {

// Whether a skinned control of the calling thread is handling a message.
bool SkinControlsBusy();

namespace detail {
void EnterControlHandler();
void LeaveControlHandler();
// The skinned dialog a control belongs to; null when the parent is none.
CSkinDialog* SkinDialogOf(HWND control);
// The low byte of that dialog's colour index; 0 without one.
int ParentColorIndex(HWND control);
// Removes the border and tab-stop styles, which a skinned control never shows.
void DropFrameStyles(HWND control);
}  // namespace detail

template <class Base>
class SkinControl : public Base {
public:
    const std::u16string& Name() const { return m_name; }
    int Index() const { return m_index; }
    void SetIdentity(std::u16string name, int index) {
        m_name = std::move(name);
        m_index = index;
    }

    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override {
        detail::EnterControlHandler();
        const LRESULT result = Base::WindowProc(message, wp, lp);
        detail::LeaveControlHandler();
        return result;
    }

protected:
    CSkinDialog* Dialog() const { return detail::SkinDialogOf(this->m_hWnd); }
    void DropFrameStyles() const { detail::DropFrameStyles(this->m_hWnd); }

private:
    std::u16string m_name;
    int m_index = 0;
};

}  // namespace skin

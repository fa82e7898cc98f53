#include "skin/SkinControl.h"

#include "skin/SkinDialog.h"

namespace skin {
namespace {

thread_local int t_handlerDepth = 0;

}  // namespace

bool SkinControlsBusy() { return t_handlerDepth > 0; }

namespace detail {

void EnterControlHandler() { ++t_handlerDepth; }
void LeaveControlHandler() { --t_handlerDepth; }

CSkinDialog* SkinDialogOf(HWND control) {
    HWND parent = control ? ::GetParent(control) : nullptr;
    return parent ? dynamic_cast<CSkinDialog*>(CWnd::FromHandlePermanent(parent)) : nullptr;
}

int ParentColorIndex(HWND control) {
    const CSkinDialog* dialog = SkinDialogOf(control);
    return dialog ? dialog->GetColorIndex() & 0xFF : 0;
}

void DropFrameStyles(HWND control) {
    const DWORD style = DWORD(GetWindowLongW(control, GWL_STYLE));
    SetWindowLongW(control, GWL_STYLE, LONG(style & ~(WS_BORDER | WS_TABSTOP)));
}

}  // namespace detail
}  // namespace skin

// The skinned dialog's controls, look-ups, notifications, painting and
// dragging. Loading is in SkinDialogLoading.cpp, snapping and auto-hide in
// SkinDialogDocking.cpp, the image sets in SkinDialogImages.cpp.
#include "skin/SkinDialog.h"

#include "skin/SkinBitmaps.h"
#include "ui/registered_messages.h"

namespace {

// Posted to the dialog to free removed controls once no handler runs.
UINT FreeRetiredMessage() {
    static const UINT message = RegisterWindowMessageW(u"LumexSkinFreeRetired");
    return message;
}

template <class Control>
Control* At(const std::vector<std::unique_ptr<Control>>& list, std::size_t index) {
    return index < list.size() ? list[index].get() : nullptr;
}

template <class Control>
bool ValidIndex(const std::vector<std::unique_ptr<Control>>& list, int index) {
    return index >= 0 && std::size_t(index) < list.size();
}

}  // namespace

CSkinDialog::CSkinDialog(UINT template_id, CWnd* parent) : CDialog(template_id, parent) {}

// The window goes first, while this class's handlers still run; then the
// controls (which are its children) and the images.
CSkinDialog::~CSkinDialog() {
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    RetireAllControls();
    std::lock_guard lock(m_controlsMutex);
    m_retired.clear();
}

BOOL CSkinDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    return TRUE;
}

// Controls draw themselves; the background never paints over them.
void CSkinDialog::PreSubclassWindow() {
    SetWindowLongW(m_hWnd, GWL_STYLE, LONG(DWORD(GetWindowLongW(m_hWnd, GWL_STYLE)) | WS_CLIPCHILDREN));
    CDialog::PreSubclassWindow();
}

LRESULT CSkinDialog::WindowProc(UINT message, WPARAM wp, LPARAM lp) {
    if (message == FreeRetiredMessage()) {
        FreeRetiredControls();
        return 0;
    }
    return CDialog::WindowProc(message, wp, lp);
}

// --- Controls -------------------------------------------------------------

template <class Control>
Control* CSkinDialog::FindIn(const ControlList<Control>& list, std::u16string_view name) {
    for (const auto& control : list)
        if (control->Name() == name) return control.get();
    return nullptr;
}

// The windows go at once; the objects wait until no skinned control is
// inside a handler, since the one being clicked may be among them.
template <class Control>
void CSkinDialog::Retire(ControlList<Control>& list) {
    ControlList<Control> gone;
    {
        std::lock_guard lock(m_controlsMutex);
        gone.swap(list);
    }
    for (auto& control : gone) {
        if (control->m_hWnd && ::IsWindow(control->m_hWnd)) control->DestroyWindow();
        std::lock_guard lock(m_controlsMutex);
        m_retired.push_back(std::move(control));
    }
    FreeRetiredControls();
}

void CSkinDialog::RetireAllControls() {
    Retire(m_buttons);
    Retire(m_sliders);
    Retire(m_labels);
    Retire(m_progress);
}

void CSkinDialog::FreeRetiredControls() {
    std::vector<std::unique_ptr<CWnd>> gone;
    {
        std::lock_guard lock(m_controlsMutex);
        if (m_retired.empty()) return;
        if (skin::SkinControlsBusy()) {
            if (m_hWnd) PostMessage(FreeRetiredMessage());
            return;
        }
        gone.swap(m_retired);
    }
}

void CSkinDialog::DeleteButtons() { Retire(m_buttons); }
void CSkinDialog::DeleteSliders() { Retire(m_sliders); }
void CSkinDialog::DeleteLabels() { Retire(m_labels); }

template <class Control>
std::size_t CSkinDialog::CountOf(const ControlList<Control>& list) const {
    std::lock_guard lock(m_controlsMutex);
    return list.size();
}

template <class Control>
Control* CSkinDialog::AtIndex(const ControlList<Control>& list, std::size_t index) const {
    std::lock_guard lock(m_controlsMutex);
    return At(list, index);
}

template <class Control>
Control* CSkinDialog::Named(const ControlList<Control>& list, std::u16string_view name) const {
    std::lock_guard lock(m_controlsMutex);
    return FindIn(list, name);
}

std::size_t CSkinDialog::ButtonCount() const { return CountOf(m_buttons); }
std::size_t CSkinDialog::SliderCount() const { return CountOf(m_sliders); }
std::size_t CSkinDialog::LabelCount() const { return CountOf(m_labels); }
std::size_t CSkinDialog::ProgressCount() const { return CountOf(m_progress); }
CSkinButton* CSkinDialog::Button(std::size_t index) const { return AtIndex(m_buttons, index); }
CSkinSlider* CSkinDialog::Slider(std::size_t index) const { return AtIndex(m_sliders, index); }
CSkinLabel* CSkinDialog::Label(std::size_t index) const { return AtIndex(m_labels, index); }
CSkinProgress* CSkinDialog::Progress(std::size_t index) const { return AtIndex(m_progress, index); }
CSkinButton* CSkinDialog::FindButton(std::u16string_view name) const { return Named(m_buttons, name); }
CSkinSlider* CSkinDialog::FindSlider(std::u16string_view name) const { return Named(m_sliders, name); }
CSkinLabel* CSkinDialog::FindLabel(std::u16string_view name) const { return Named(m_labels, name); }
CSkinProgress* CSkinDialog::FindProgress(std::u16string_view name) const { return Named(m_progress, name); }

std::vector<CSkinLabel*> CSkinDialog::LabelsInside(const RECT& outer) const {
    std::vector<CSkinLabel*> inside;
    std::lock_guard lock(m_controlsMutex);
    for (const auto& label : m_labels) {
        RECT r;
        ::GetWindowRect(label->m_hWnd, &r);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        if (r.left > outer.left && r.top > outer.top && r.right < outer.right && r.bottom < outer.bottom)
            inside.push_back(label.get());
    }
    return inside;
}

// --- By name --------------------------------------------------------------

CSkinLabel* CSkinDialog::LabelByNameOrIndex(std::u16string_view name, int index) const {
    if (name.empty() && ValidIndex(m_labels, index)) return m_labels[std::size_t(index)].get();
    return FindIn(m_labels, name);
}

void CSkinDialog::SetLabelText(std::u16string_view name, std::u16string_view text) {
    std::lock_guard lock(m_controlsMutex);
    if (CSkinLabel* label = FindIn(m_labels, name)) label->SetText(text);
}

void CSkinDialog::SetLabelColor(std::u16string_view name, int index, COLORREF colour) {
    std::lock_guard lock(m_controlsMutex);
    if (CSkinLabel* label = LabelByNameOrIndex(name, index)) label->SetTextColor(colour);
}

void CSkinDialog::SetLabelTooltip(std::u16string_view name, int index, const std::u16string& text) {
    std::lock_guard lock(m_controlsMutex);
    if (CSkinLabel* label = LabelByNameOrIndex(name, index)) label->SetTooltip(text, TRUE);
}

void CSkinDialog::SetProgressPos(std::u16string_view name, int percent) {
    std::lock_guard lock(m_controlsMutex);
    if (CSkinProgress* progress = FindIn(m_progress, name)) progress->SetPos(percent);
}

void CSkinDialog::SetSliderPos(std::u16string_view name, int position) {
    std::lock_guard lock(m_controlsMutex);
    if (CSkinSlider* slider = FindIn(m_sliders, name)) {
        slider->SetPos(position);
        slider->Invalidate(FALSE);
    }
}

void CSkinDialog::EnableButton(std::u16string_view name, BOOL enable) {
    std::lock_guard lock(m_controlsMutex);
    if (CSkinButton* button = FindIn(m_buttons, name)) button->EnableWindow(enable);
}

void CSkinDialog::SetButtonState(std::u16string_view name, BOOL state) {
    std::lock_guard lock(m_controlsMutex);
    if (CSkinButton* button = FindIn(m_buttons, name)) button->SetState(state);
}

// --- Notifications ----------------------------------------------------------

void CSkinDialog::OnSkinProgress(const std::u16string&) {}
void CSkinDialog::OnSkinButton(const std::u16string&) {}
void CSkinDialog::OnSkinSlider(const std::u16string&, int, int) {}
void CSkinDialog::OnSkinLabel(const std::u16string&) {}
void CSkinDialog::OnSkinMouseMove(const std::u16string&, int, int) {}

// The name is taken under the lock and the handler runs without it, so a
// handler may change the controls.
template <class Control>
bool CSkinDialog::NameOf(const ControlList<Control>& list, int index, std::u16string* name) const {
    std::lock_guard lock(m_controlsMutex);
    if (!ValidIndex(list, index)) return false;
    *name = list[std::size_t(index)]->Name();
    return true;
}

void CSkinDialog::OnSkinButtonIndex(int index) {
    if (std::u16string name; NameOf(m_buttons, index, &name)) OnSkinButton(name);
}

void CSkinDialog::OnSkinSliderIndex(int index, int code, int position) {
    if (std::u16string name; NameOf(m_sliders, index, &name)) OnSkinSlider(name, code, position);
}

void CSkinDialog::OnSkinLabelIndex(int index) {
    if (std::u16string name; NameOf(m_labels, index, &name)) OnSkinLabel(name);
}

void CSkinDialog::OnSkinProgressIndex(int index) {
    if (std::u16string name; NameOf(m_progress, index, &name)) OnSkinProgress(name);
}

// --- Painting and dragging ------------------------------------------------

void CSkinDialog::RepaintControls() {
    std::lock_guard lock(m_controlsMutex);
    auto repaint = [](const auto& list) {
        for (const auto& control : list) InvalidateRect(control->m_hWnd, nullptr, FALSE);
    };
    repaint(m_buttons);
    repaint(m_sliders);
    repaint(m_labels);
    repaint(m_progress);
}

BOOL CSkinDialog::OnEraseBkgnd(HDC dc) {
    DrawBackground(dc);
    return TRUE;
}

void CSkinDialog::OnPaint() {
    StoreWindowRect();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    {
        std::lock_guard lock(m_imagesMutex);
        skin::DrawBitmap(dc, 0, 0, m_working.Get(skin::SkinRole::Face));
    }
    RepaintControls();
    EndPaint(m_hWnd, &ps);
}

void CSkinDialog::OnActivate(UINT, HWND, BOOL) {
    Default();
    Invalidate(FALSE);
}

void CSkinDialog::OnShowWindow(BOOL show, UINT) {
    Default();
    if (show) Invalidate(TRUE);
}

// Any point of the dialog drags it, as its caption would.
void CSkinDialog::OnLButtonDown(UINT, POINT point) {
    ClientToScreen(m_hWnd, &point);
    PostMessage(WM_NCLBUTTONDOWN, WPARAM(HTCAPTION), MAKELPARAM(point.x, point.y));
}

// The controls are children: their windows go with the dialog's, and the
// objects are freed once their handlers have returned.
void CSkinDialog::OnDestroy() {
    KillTimer(kAutoHideTimer);
    CDialog::OnDestroy();
    RetireAllControls();
    // A window made again starts undocked.
    m_docked = m_hidden = false;
    m_edge = skin::kEdgeNone;
}
